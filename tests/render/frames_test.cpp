// The component's page frames filled with a few rows, drawn to PNG and kept as baselines: the
// bill frame d_print around a purchase order, and the settlement frames d_printcharge_* with
// their settlement head, the settled documents and the charges.
#include <gtest/gtest.h>

#include <map>

#include "engine/datastore.h"
#include "engine/library.h"
#include "layout/report_layout.h"
#include "render/page_output.h"
#include "render_test_support.h"
#include "report_defs/report_defs.h"

namespace print::render {
namespace {

using engine::DataStore;

// Sample values by column name; other columns get values made from the row number.
const std::map<std::string, std::vector<std::string>> kSamples = {
    {"goodsname",
     {"康师傅红烧牛肉面", "农夫山泉天然水", "金龙鱼调和油", "旺旺雪饼", "蒙牛纯牛奶",
      "清风原木纸巾"}},
    {"guige", {"105g×24", "550ml×24", "5L×4", "520g×10", "250ml×16", "3层×10包"}},
    {"unit", {"箱", "箱", "桶", "袋", "箱", "提"}},
    {"storename", {"南京路一店", "淮海路二店", "徐家汇店", "五角场店"}},
    {"refkind", {"进货单", "退货单", "进货单", "进货单"}},
    {"chargename", {"进场费", "促销服务费", "条码费"}},
    {"supname", {"上海华联食品有限公司"}},
    {"bank", {"中国工商银行上海分行南京路支行"}},
    {"opername", {"张伟"}},
    {"memo", {"按合同约定结算"}},
};

void fillRows(DataStore& report, int rows) {
    for (int r = 1; r <= rows; ++r) {
        const long row = report.InsertRow(0);
        int c = 0;
        for (const engine::TableColumn& column : report.columns()) {
            ++c;
            std::string text;
            if (auto it = kSamples.find(column.name); it != kSamples.end()) {
                text = it->second[static_cast<size_t>(r - 1) % it->second.size()];
            } else {
                switch (column.type) {
                    case ValueType::Long:
                        text = std::to_string(r);
                        break;
                    case ValueType::Number:
                        text = std::to_string(r * 37 % 100 + 1) + ".50";
                        break;
                    case ValueType::Date:
                        text = "2026-12-0" + std::to_string(r % 9 + 1);
                        break;
                    case ValueType::DateTime:
                        text = "2026-12-08 10:30:00";
                        break;
                    default:
                        text = std::to_string(690100 + r * 7);
                        break;
                }
            }
            auto value = parseValue(text, column.type);
            ASSERT_TRUE(value) << column.name << " " << text;
            ASSERT_EQ(report.SetItem(row, c, *value), 1) << column.name;
        }
    }
}

class Frames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        report_defs::install();
        engine::LibrarySearchList::application().append(
            std::make_shared<engine::FolderLibrary>(DEMO_DEFS_DIR));
    }

    // The frame as the print window fills it, with a date that does not change from day to day.
    void open(const std::string& frame, const std::string& title) {
        ASSERT_EQ(report.SetDataObject(frame), 1) << frame;
        ASSERT_EQ(report.Modify("st_coname.text='华联超市连锁有限公司' "
                                "st_address.text='地  址: 上海市南京东路100号    联系电话: "
                                "021-63224466' st_repname.text='" +
                                title +
                                "' st_printoper.text='制单人: 张伟' "
                                "st_printdate.expression=\"'日  期: 2026-12-08 10:30'\""),
                  "");
    }

    DataStore& child(const std::string& name) {
        DataStore* nested = nullptr;
        EXPECT_EQ(report.GetChild(name, nested), 1) << name;
        return *nested;
    }

    QImage firstPage() {
        auto page = layout::layoutOf(report).displayList(1);
        EXPECT_TRUE(page.ok());
        return renderPage(*page.value(), 60, PagePainter(layout::layoutOf(report).fontMetrics()));
    }

    DataStore report;
};

TEST_F(Frames, BillFrameAroundAPurchaseOrder) {
    open("d_print", "采购订单");
    ASSERT_EQ(report.Modify("dw_report.dataobject='d_demo_order_detail'"), "");
    fillRows(child("dw_report"), 6);
    EXPECT_TRUE(test::matchesBaseline(firstPage(), "frame_d_print"));
}

TEST_F(Frames, SettlementFramesWithHeadDocumentsAndCharges) {
    for (const char* frame :
         {"d_printcharge_1", "d_printcharge_2", "d_printcharge_3", "d_printcharge_9"}) {
        open(frame, "供应商结算单");
        ASSERT_EQ(report.Modify("dw_report.dataobject='d_demo_settle_detail'"), "");
        fillRows(child("dw_head"), 1);
        fillRows(child("dw_report"), 4);
        fillRows(child("dw_charge"), 3);
        EXPECT_TRUE(test::matchesBaseline(firstPage(), std::string("frame_") + frame)) << frame;
    }
}

}  // namespace
}  // namespace print::render
