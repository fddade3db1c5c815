// Layout with any Modify text applied to a report of every band kind, with a nested report that
// breaks across pages: every page lays out, and the pointer and a drag answer, without a crash
// or a layout that never ends.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/datastore.h"
#include "engine/library.h"
#include "layout/report_layout.h"

namespace {
const char* kList = R"def(release 9;
datawindow(units=1 )
header(height=20 )
summary(height=20 )
footer(height=10 )
detail(height=18 )
table(column=(type=long name=n dbname="n" ) column=(type=char(40) name=t dbname="t" ) )
text(band=header text="n" x="0" y="0" height="18" width="60" name=n_t )
column(band=detail id=1 x="0" y="0" height="18" width="60" name=n )
column(band=detail id=2 x="70" y="0" height="18" width="80" height.autosize=yes name=t )
compute(band=summary expression="sum(n for all)" x="0" y="0" height="18" width="60" name=s )
)def";

const char* kFrame = R"def(release 9;
datawindow(units=1 print.paper.size=70 print.margin.top=10 print.margin.bottom=10 )
header(height=30 )
summary(height=20 )
footer(height=20 )
detail(height=60 )
table(column=(type=char(10) name=a dbname="a" ) column=(type=decimal(2) name=b dbname="b" ) )
group(level=1 header.height=16 trailer.height=16 by=("a" ) newpage=yes resetpagecount=yes )
text(band=header text="Title 标题" x="0" y="0" height="28" width="200" name=st_title moveable=1 resizeable=1 )
column(band=header.1 id=1 x="0" y="0" height="16" width="100" name=a_h )
column(band=detail id=1 x="0" y="0" height="16" width="100" name=a height.autosize=yes moveable=1 )
report(band=detail dataobject="d_list" x="0" y="20" height="30" width="200" height.autosize=yes trail_footer=yes name=dw_report )
text(band=detail text="after" x="0" y="52" height="8" width="100" slideup=allabove name=st_after )
compute(band=trailer.1 expression="sum(b for group 1)" x="0" y="0" height="16" width="100" name=c )
compute(band=footer expression="page() + '/' + pageCount()" x="0" y="0" height="18" width="100" name=p )
line(band=footer x1="0" y1="1" x2="200" y2="1" name=ln resizeable=1 )
)def";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = [] {
        auto lib = std::make_shared<print::engine::MemoryLibrary>();
        lib->put("d_list", kList);
        print::engine::LibrarySearchList::application().setLibraries({lib});
        return true;
    }();
    (void)registered;
    std::string text(reinterpret_cast<const char*>(data), size);
    print::engine::DataStore report;
    std::string error;
    if (report.Create(kFrame, error) != 1) std::abort();
    for (int i = 0; i < 3; ++i) {
        long row = report.InsertRow(0);
        report.SetItem(row, "a", print::Value(i < 2 ? "x" : "y"));
    }
    print::engine::DataStore* list = nullptr;
    if (report.GetChild("dw_report", list) == 1) {
        for (int i = 1; i <= 40; ++i) {
            long row = list->InsertRow(0);
            list->SetItem(row, "n", print::Value(static_cast<int64_t>(i)));
            list->SetItem(row, "t", print::Value(i % 5 ? "short" : "一段会换行的长一些的文字"));
        }
    }
    report.Modify(text);
    if (list) list->Modify(text);
    auto& layout = print::layout::layoutOf(report);
    long pages = layout.pageCount();
    for (long p = 1; p <= pages && p <= 50; ++p)
        if (!layout.displayList(p).ok()) std::abort();
    layout.setPointer({30, 40});
    report.GetObjectAtPointer();
    report.GetBandAtPointer();
    if (layout.beginDrag({30, 40})) layout.endDrag({45, 60});
    report.ScrollNextPage();
    return 0;
}
