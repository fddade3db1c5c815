// The component's page frame d_print holding a sales list of any number of rows, as the
// layout and designer benchmarks measure it.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/datastore.h"
#include "engine/library.h"
#include "layout/report_layout.h"

namespace bench {

using namespace print;
using namespace print::engine;
using namespace print::layout;

// A sales list as hosts nest in the frame: six columns, formatted amounts, a summary total.
inline const char* kList = R"srd(release 9;
datawindow(units=3 timer_interval=0 color=16777215 processing=0 )
header(height=600 color="536870912" )
summary(height=500 color="536870912" )
footer(height=0 color="536870912" )
detail(height=500 color="536870912" )
table(column=(type=long name=lineno dbname="lineno" ) column=(type=char(10) name=goodsid dbname="goodsid" ) column=(type=char(40) name=goodsname dbname="goodsname" ) column=(type=decimal(2) name=qty dbname="qty" ) column=(type=decimal(2) name=price dbname="price" ) column=(type=date name=saledate dbname="saledate" ) )
text(band=header alignment="2" text="行号" border="2" color="0" x="0" y="50" height="500" width="1500" name=lineno_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="商品编码" border="2" color="0" x="1500" y="50" height="500" width="2500" name=goodsid_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="商品名称" border="2" color="0" x="4000" y="50" height="500" width="6000" name=goodsname_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="数量" border="2" color="0" x="10000" y="50" height="500" width="2500" name=qty_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="单价" border="2" color="0" x="12500" y="50" height="500" width="2500" name=price_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
text(band=header alignment="2" text="日期" border="2" color="0" x="15000" y="50" height="500" width="3000" name=saledate_t font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=1 alignment="1" border="0" color="0" x="0" y="50" height="400" width="1500" name=lineno font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=2 alignment="0" border="0" color="0" x="1500" y="50" height="400" width="2500" name=goodsid font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=3 alignment="0" border="0" color="0" x="4000" y="50" height="400" width="6000" name=goodsname font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=4 alignment="1" border="0" color="0" x="10000" y="50" height="400" width="2500" format="#,##0.00" name=qty font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=5 alignment="1" border="0" color="0" x="12500" y="50" height="400" width="2500" format="￥#,##0.00" name=price font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
column(band=detail id=6 alignment="2" border="0" color="0" x="15000" y="50" height="400" width="3000" format="yyyy-mm-dd" name=saledate font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
compute(band=summary alignment="1" expression="sum(qty * price for all)" border="0" color="0" x="12500" y="50" height="400" width="5500" format="合计 ￥#,##0.00" name=total font.face="宋体" font.height="-9" background.mode="1" background.color="536870912" )
)srd";

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

// Makes `frame` the frame d_print with its list d_bench_list holding `rows` rows; the list is
// returned through `list`.
inline void buildFrame(DataStore& frame, DataStore*& list, long rows, bool autosize = false) {
    static bool installed = [] {
        auto lib = std::make_shared<MemoryLibrary>();
        lib->put("d_bench_list", kList);
        lib->put("d_print_tmp",
                 readFile(std::filesystem::path(BENCH_REPORT_DEFS) / "d_print_tmp.srd"));
        LibrarySearchList::application().setLibraries({lib});
        return true;
    }();
    (void)installed;
    std::string error;
    if (frame.Create(readFile(std::filesystem::path(BENCH_REPORT_DEFS) / "d_print.srd"),
                     error) != 1)
        throw std::runtime_error(error);
    if (!frame.Modify("dw_report.dataobject='d_bench_list'").empty() ||
        frame.GetChild("dw_report", list) != 1)
        throw std::runtime_error("no nested list");
    if (autosize && !list->Modify("goodsname.height.autosize=yes").empty())
        throw std::runtime_error("no autosize");
    RowData& data = list->rowData();
    for (long i = 1; i <= rows; ++i) {
        uint32_t id = data.newRow();
        data.columns[0].set(id, Value(static_cast<int64_t>(i)));
        data.columns[1].set(id, Value(std::to_string(100000 + i).insert(0, 1, 'G')));
        data.columns[2].set(id, Value("商品名称 " + std::to_string(i % 977)));
        data.columns[3].set(id, Value(Decimal(static_cast<int64_t>(i % 13 + 1))));
        data.columns[4].set(id, Value(*Decimal::parse("12.50")));
        data.columns[5].set(id, Value(*Date::fromYmd(2024, 1 + static_cast<int>(i % 12), 1)));
        data.primary.push_back(id);
    }
    data.touch();
}

struct FrameReport {
    DataStore frame;
    DataStore* list = nullptr;

    explicit FrameReport(long rows, bool autosize = false) {
        buildFrame(frame, list, rows, autosize);
    }

    // As a newly opened preview: nothing laid out yet.
    void forget() {
        layoutOf(frame).invalidate();
        layoutOf(*list).invalidate();
    }
};

}  // namespace bench
