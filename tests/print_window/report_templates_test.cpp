#include <gtest/gtest.h>

#include "db/library_file.h"
#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

using platform::DataWindowControl;

class ReportTemplates : public PrintWindowTest {
protected:
    Operator& reportOperator(const std::string& operid, const std::string& library = {}) {
        Operator& op = addOperator(operid, library);
        op.create(op.dw_detail, kGoodsReport);
        return op;
    }
    void print(Operator& op, const std::string& script,
               const std::string& docname = "商品清单,月结") {
        op.run([&] { op.host.gnu_print.of_print(&op.dw_detail, docname); }, script);
    }
    // The rows of T_RPT_MODONE as "docname|name|oper|flag|default".
    std::vector<std::string> templateRows() {
        std::vector<std::string> rows;
        sqlca.query(
            "SELECT rtdocname, rtname, rtoperid, rtflag, rtdefault FROM T_RPT_MODONE "
            "ORDER BY rtname, rtoperid",
            {}, [&](const std::vector<Value>& r) {
                rows.push_back(r[0].toText() + "|" + r[1].toText() + "|" + r[2].toText() + "|" +
                               r[3].toText() + "|" + r[4].toText());
                return true;
            });
        return rows;
    }
};

TEST_P(ReportTemplates, ANewLayoutShowsTheRowsUnderTheTitleAndGoesWhenTheWindowCloses) {
    Operator& a = reportOperator("A");
    std::string libraryEntry;
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("销售明细,月结报表")); },
              "describe dw_preview st_repname.text DataWindow.Print.DocumentName st_coname.text\n"
              "describe dw_preview st_address.text st_printoper.text\n"
              "describe dw_preview.dw_report DataWindow.Column.Count\n"
              "describe dw_preview dw_report.dataobject\n");
    EXPECT_EQ(out,
              "销售明细\n销售明细\n华联超市有限公司\n.\n"
              "地  址: 上海市 O'Brien 路 8 号   联系电话: 021-5555\n打印员: [0A] 操作员A\n.\n"
              "5\n.\n" +
                  out.substr(out.rfind("dp_tmpT"), out.size() - out.rfind("dp_tmpT")));
    EXPECT_TRUE(a.boxes().empty());
    // The unsaved layout's library entry is gone with the window.
    EXPECT_EQ(db::libraryDirectory(a.host.gnu_print.is_printlib), "");
}

TEST_P(ReportTemplates, SavedTemplatesAreListedForTheirOwnerAndPublicOnesForEverybody) {
    Operator& a = reportOperator("A");
    print(a,
          "click uob_preview\n"
          "click uob_save\n"
          "type sle_name 月结模板\n"
          "answer 1\n"
          "click uob_ok\n"
          "click uob_save\n"
          "type sle_name 私人模板\n"
          "check cbx_priv off\n"
          "answer 1\n"
          "click uob_ok\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"提示 | 打印模板保存成功！ | None! | OK! -> 1",
                                        "提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(templateRows(),
              (std::vector<std::string>{"月结|月结模板|A|0|N", "月结|私人模板|A|1|N"}));

    Operator& b = reportOperator("B");
    const std::string out =
        b.run([&] { b.host.gnu_print.of_print(&b.dw_detail, std::string("商品清单,月结")); },
              "describe dw_template Evaluate('name',1) Evaluate('rowcount()',1)\n"
              "click uob_preview\n"
              "doubleclick dw_template 1\n"
              "describe dw_preview st_repname.text\n");
    EXPECT_EQ(out, "月结模板\n1\n.\n商品清单\n.\n");
}

PRINT_DB_BACKENDS(ReportTemplates);

}  // namespace
}  // namespace print::print_window::test
