// What an operator saved is what loads: the title he gave, the template's flags in the save
// dialog, the list without his masks; the header's conditions obey the same rights as the list;
// the dialog hands him the name to type over.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

// A bill header whose conditions print under the title: a bill number and a cost total.
const char* const kCostHeader = R"srd(release 9;
datawindow(units=0 processing=0 )
detail(height=200 )
table(column=(type=char(20) name=billno dbname="billno" )
 column=(type=decimal(2) name=cost dbname="cost" ) )
text(band=detail text="单号" x="9" y="8" height="60" width="200" name=billno_t )
column(band=detail id=1 x="220" y="8" height="60" width="400" name=billno )
text(band=detail text="进价总额" x="9" y="88" height="60" width="200" name=cost_t )
column(band=detail id=2 x="220" y="88" height="60" width="400" name=cost tag="COST" )
)srd";

// This site lets nobody but its managers see cost prices (fields tagged COST).
class NoCostRights : public service::HostServices {
public:
    bool f_coltag_denicolumn(service::HostContext& host, std::string_view tag) override {
        return host.gs_role == "00" || tag != "COST";
    }
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SavedLayouts : public PrintWindowTest {
protected:
    Operator& reportOperator(const std::string& operid) {
        Operator& op = addOperator(operid);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        return op;
    }
    // A clerk whose prices are masked ("01"), or a manager who sees them ("00").
    Operator& billOperator(const std::string& operid, const std::string& role) {
        Operator& op = addOperator(operid, {}, std::make_unique<NoCostRights>());
        op.host.gs_role = role;
        op.host.gs_opergh = "555";
        op.host.gs_path = tempPath("out_" + operid);
        op.create(op.dw_header, kCostHeader);
        const long row = op.dw_header.InsertRow(0);
        op.dw_header.SetItem(row, "billno", Value("YS20240315001"));
        op.dw_header.SetItem(row, "cost", Value(*Decimal::parse("11750")));
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        op.create(op.dw_detail2, kGoodsReport);
        fillGifts(op.dw_detail2);
        return op;
    }
    std::string print(Operator& op, const std::string& script) {
        return op.run(
            [&] { op.host.gnu_print.of_print(&op.dw_detail, std::string("商品清单,月结")); },
            script);
    }
    std::string printBill(Operator& op, const std::string& script, bool gifts = false) {
        return op.run(
            [&] {
                if (gifts)
                    op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail, &op.dw_detail2);
                else
                    op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail);
            },
            script);
    }
    std::string column(const std::string& sql) {
        std::string out;
        sqlca.query(sql, {}, [&](const std::vector<Value>& r) {
            out += (out.empty() ? "" : ",") + (r[0].isNull() ? std::string("null") : r[0].toText());
            return true;
        });
        return out;
    }
};

TEST_P(SavedLayouts, ATitleGivenOnThePagePanelIsTheTitleThatLoads) {
    Operator& a = reportOperator("A");
    const std::string saved = print(
        a,
        "click uob_preview\nclick tabpage_page\nset tabpage_page.dw_height 1 docname 月度销售明细\n"
        "click uob_save\ntype sle_name 甲\ncheck cbx_default on\nclick uob_ok\n"
        "describe dw_preview st_repname.text\n");
    EXPECT_EQ(a.boxes(), std::vector<std::string>{"提示 | 打印模板保存成功！ | None! | OK! -> 1"});
    EXPECT_EQ(saved, "月度销售明细\n.\n");
    // The next request, whose title is 商品清单, opens the template as it was saved.
    EXPECT_EQ(print(a, "describe dw_preview st_repname.text DataWindow.Print.DocumentName\n"),
              "月度销售明细\n商品清单\n.\n");
}

TEST_P(SavedLayouts, TheSaveDialogOpensWithTheShownTemplatesFlags) {
    Operator& a = reportOperator("A");
    print(a,
          "click uob_preview\nclick uob_save\nshow cbx_priv\nshow cbx_default\n"
          "type sle_name 甲\ncheck cbx_default on\nclick uob_ok\n"
          "click uob_save\ntype sle_name 乙\ncheck cbx_priv off\nclick uob_ok\n");
    a.boxes();
    // The window opens on the default 甲: saved over without a change, it stays the default.
    const std::string out =
        print(a,
              "click uob_preview\nclick uob_save\nshow cbx_priv\nshow cbx_default\n"
              "answer 1\nclick uob_ok\n"
              "doubleclick dw_template 1\nclick uob_preview\nclick uob_save\nshow cbx_priv\n"
              "show cbx_default\nclick uob_cancel\n");
    EXPECT_EQ(out,
              "visible=1 enabled=1 checked=1 text=公共(允许其他人访问)\n.\n"
              "visible=1 enabled=1 checked=1 text=缺省模板\n.\n"
              "visible=1 enabled=1 checked=0 text=公共(允许其他人访问)\n.\n"
              "visible=1 enabled=0 checked=0 text=缺省模板\n.\n");
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "甲");
    EXPECT_EQ(print(a, "show w_print\n"), "visible=1 enabled=1 text=打印 - 甲\n.\n");
}

TEST_P(SavedLayouts, ATemplateKeepsNoMasksAndEachOperatorSeesWhatHisRightsAllow) {
    Operator& clerk = billOperator("C", "01");
    const std::string shown =
        printBill(clerk,
                  "click uob_preview\nclick uob_save\ncheck cbx_default on\nclick uob_ok\n"
                  "describe dw_preview.dw_report price.format\n",
                  true);
    EXPECT_EQ(shown, "***\n.\n");
    std::string stored;
    ASSERT_EQ(sqlca.selectBlob("SELECT bpdetaildw FROM T_GOODSPRINT2", {}, stored), 0);
    EXPECT_EQ(stored.find("***"), std::string::npos) << stored;
    EXPECT_NE(stored.find("#,##0.00"), std::string::npos);

    // The manager sees the prices from the clerk's template; the clerk sees stars again.
    Operator& manager = billOperator("M", "00");
    EXPECT_EQ(printBill(manager,
                        "describe dw_preview.dw_report price.format "
                        "Evaluate('String(price, \"#,##0.00\")',1)\n"),
              "#,##0.00\n2.50\n.\n");
    EXPECT_EQ(printBill(clerk, "describe dw_preview.dw_report price.format\n"), "***\n.\n");
    // Saved again by the manager, it still holds the real format.
    printBill(manager, "click uob_preview\nclick uob_save\nclick uob_ok\n");
    ASSERT_EQ(sqlca.selectBlob("SELECT bpdetaildw FROM T_GOODSPRINT2", {}, stored), 0);
    EXPECT_EQ(stored.find("***"), std::string::npos);
}

TEST_P(SavedLayouts, ConditionTextsUnderTheTitleObeyTheColumnRights) {
    Operator& clerk = billOperator("C", "01");
    const std::string psr = tempPath("bill.psr");
    const std::string out = printBill(clerk,
                                      "describe dw_preview st_text_1.text st_text_2.text\n"
                                      "filename " +
                                          psr + "\nclick uob_saveas\n");
    EXPECT_EQ(out, "单号: YS20240315001\n进价总额: ***\n.\n");
    const std::string file = slurp(psr);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.find("11750"), std::string::npos);

    Operator& manager = billOperator("M", "00");
    EXPECT_EQ(printBill(manager, "describe dw_preview st_text_2.text\n"), "进价总额: 11750\n.\n");
}

TEST_P(SavedLayouts, TheNameToTypeIsSelectedWhenTheDialogOpensAndAfterARefusal) {
    Operator& b = reportOperator("B");
    print(b, "click uob_preview\nclick uob_save\ntype sle_name 甲\nclick uob_ok\n");
    b.boxes();
    Operator& a = reportOperator("A");
    const std::string out = print(a,
                                  "click uob_preview\nclick uob_save\nshow sle_name\n"
                                  "type sle_name 甲\nclick uob_ok\nshow sle_name\n"
                                  "type sle_name 乙\nclick uob_ok\n");
    EXPECT_EQ(out,
              "visible=1 enabled=1 focus=1 selection=0,6 text=新的打印模板\n.\n"
              "visible=1 enabled=1 focus=1 selection=0,1 text=甲\n.\n");
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 该名称已被其他人使用，请重新命名！ | None! | OK! -> 1",
                             "提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(column("SELECT rtname || rtoperid FROM T_RPT_MODONE ORDER BY rtoperid"), "乙A,甲B");
}

PRINT_DB_BACKENDS(SavedLayouts);

}  // namespace
}  // namespace print::print_window::test
