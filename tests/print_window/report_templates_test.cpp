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
        fillGoods(op.dw_detail);
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

namespace print::print_window::test {
namespace {

class ReportWindow : public PrintWindowTest {
protected:
    Operator& reportOperator(const std::string& operid, const std::string& library = {}) {
        Operator& op = addOperator(operid, library);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        return op;
    }
    std::string print(Operator& op, const std::string& script,
                      const std::string& docname = "商品清单,月结") {
        return op.run([&] { op.host.gnu_print.of_print(&op.dw_detail, docname); }, script);
    }
    // Saves the shown layout under `name` from settings mode.
    static std::string save(const std::string& name, bool pub = true, bool def = false) {
        return "click uob_save\ntype sle_name " + name + "\ncheck cbx_priv " +
               (pub ? "on" : "off") + "\n" +
               (pub ? std::string("check cbx_default ") + (def ? "on" : "off") + "\n" : "") +
               "answer 1\nclick uob_ok\n";
    }
    std::string column(const std::string& sql) {
        std::string out;
        sqlca.query(sql, {}, [&](const std::vector<Value>& r) {
            out += (out.empty() ? "" : ",") + r[0].toText();
            return true;
        });
        return out;
    }
};

TEST_P(ReportWindow, StartUpRefusesRequestsItCannotPrint) {
    Operator& a = reportOperator("A");
    a.dw_detail.Reset();
    print(a, "");
    EXPECT_EQ(
        a.boxes(),
        (std::vector<std::string>{"提示 | 该表没有数据，不能打印！ | Exclamation! | OK! -> 1"}));
    EXPECT_EQ(a.services.openedWindowNames(), (std::vector<std::string>{"w_print", "w_printtmp"}));

    // A report request for a null DataWindow reaches the window, which refuses it and stays
    // empty until closed.
    a.run([&] { a.host.gnu_print.of_print(static_cast<DataWindowControl*>(nullptr)); },
          "show dw_template\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"错误 | 打印出现错误(参数错误)！ | StopSign! | OK! -> 1"}));
    EXPECT_EQ(a.host.gnu_print.is_mode, "");
}

TEST_P(ReportWindow, TheDefaultTemplateOpensWithTheWindowAndOneDefaultStaysPerDocument) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("甲", true, true) + save("乙", true, false));
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "甲");
    Operator& b = reportOperator("B");
    // B's window opens on A's public default; his own default then replaces it for everybody.
    const std::string out = print(b, "show uob_exit\nclick uob_preview\n" + save("丙", true, true));
    EXPECT_EQ(b.window, nullptr);
    EXPECT_EQ(b.boxes(),
              (std::vector<std::string>{"提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "丙");
    EXPECT_EQ(column("SELECT rtname || rtoperid FROM T_RPT_MODONE ORDER BY rtoperid, rtname"),
              "乙A,甲A,丙B");
    // Saving as non-default leaves the default where it is.
    print(a, "click uob_preview\n" + save("丁", true, false));
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE WHERE rtdefault = 'Y'"), "丙");
}

TEST_P(ReportWindow, TheWindowTitleFollowsTheTemplate) {
    Operator& a = reportOperator("A");
    const std::string out = print(
        a, "show w_print\nclick uob_preview\n" + save("月结模板", true, true) + "show w_print\n");
    EXPECT_EQ(out,
              "visible=1 enabled=1 text=打印 - 新的打印模板\n.\n"
              "visible=1 enabled=1 text=打印 - 月结模板\n.\n");
    EXPECT_EQ(print(a, "show w_print\nshow uob_preview\n"),
              "visible=1 enabled=1 text=打印 - 月结模板\n.\nvisible=1 enabled=1 text=设 置\n.\n");
}

TEST_P(ReportWindow, OnlyPublicNamesOfOthersBlockASaveAndOverwritesAsk) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("公共") + save("私有", false));
    a.boxes();
    Operator& b = reportOperator("B");
    print(b, "click uob_preview\n" + save("公共") + "click uob_cancel\n" + save("私有"));
    EXPECT_EQ(b.boxes(), (std::vector<std::string>{
                             "提示 | 该名称已被其他人使用，请重新命名！ | None! | OK! -> 1",
                             "提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    // A saves over his public template: the question names it public; Cancel writes nothing.
    // His private 私有 is now blocked by B's public one; his private 自用 asks plainly and,
    // saved again as the dialog opens on it, stays private.
    print(a,
          "click uob_preview\n"
          "click uob_save\ntype sle_name 公共\nanswer 2\nclick uob_ok\nclick uob_cancel\n"
          "click uob_save\ntype sle_name 私有\ncheck cbx_priv off\nclick uob_ok\n"
          "click uob_cancel\n" +
              save("自用", false) + "click uob_save\ntype sle_name 自用\nanswer 1\nclick uob_ok\n");
    EXPECT_EQ(
        a.boxes(),
        (std::vector<std::string>{
            "提示 | 该模板名称已存在，且为公共模板，您的修改将影响到其他人对此模板的使用！"
            "您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 2",
            "提示 | 该名称已被其他人使用，请重新命名！ | None! | OK! -> 1",
            "提示 | 打印模板保存成功！ | None! | OK! -> 1",
            "提示 | 该模板名称已存在，您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 1",
            "提示 | 打印模板保存成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(column("SELECT rtname || rtoperid || rtflag FROM T_RPT_MODONE ORDER BY rtoperid, "
                     "rtname"),
              "公共A0,私有A1,自用A1,私有B0");
}

TEST_P(ReportWindow, ClearingPublicClearsAndDisablesDefault) {
    Operator& a = reportOperator("A");
    const std::string out = print(a,
                                  "click uob_preview\nclick uob_save\nshow cbx_priv\n"
                                  "check cbx_default on\ncheck cbx_priv off\nshow cbx_default\n"
                                  "check cbx_priv on\nshow cbx_default\nclick uob_cancel\n");
    EXPECT_EQ(out,
              "visible=1 enabled=1 checked=1 text=公共(允许其他人访问)\n.\n"
              "visible=1 enabled=0 checked=0 text=缺省模板\n.\n"
              "visible=1 enabled=1 checked=0 text=缺省模板\n.\n");
}

TEST_P(ReportWindow, AStaleLibraryCopyIsReplacedAndACurrentOneReused) {
    Operator& a = reportOperator("A");
    Operator& b = reportOperator("B");
    // A saves; B loads it (his library now holds a copy); A changes the list and saves again.
    print(a, "click uob_preview\n" + save("共享"));
    print(b, "click uob_preview\ndoubleclick dw_template 1\n");
    print(a,
          "click uob_preview\ndoubleclick dw_template 1\n"
          "modify dw_preview.dw_report goodsname_t.text='品名'\nclick uob_preview\n" +
              save("共享") + "answer 1\n");
    a.boxes();
    // B's copy records an older stamp than the row's: he sees A's change.
    const std::string out = print(b,
                                  "click uob_preview\ndoubleclick dw_template 1\n"
                                  "describe dw_preview.dw_report goodsname_t.text\n");
    EXPECT_EQ(out, "品名\n.\n");
    // Loading again with no change in between reuses the copy.
    const std::string before = db::libraryDirectory(b.host.gnu_print.is_printlib);
    print(b, "click uob_preview\ndoubleclick dw_template 1\n");
    EXPECT_EQ(db::libraryDirectory(b.host.gnu_print.is_printlib), before);
    EXPECT_TRUE(b.boxes().empty());
}

TEST_P(ReportWindow, ReloadingTheOpenTemplateAsksFirst) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("模板一"));
    a.boxes();
    print(a,
          "click uob_preview\ndoubleclick dw_template 1\nclick uob_preview\nanswer 2\n"
          "doubleclick dw_template 1\nclick uob_preview\nanswer 1\ndoubleclick dw_template 1\n");
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 您需要重新装入该模板吗？ | Question! | OKCancel! -> 2",
                             "提示 | 您需要重新装入该模板吗？ | Question! | OKCancel! -> 1"}));
}

TEST_P(ReportWindow, DeletingTemplates) {
    Operator& a = reportOperator("A");
    // Listed by name: 其他, 普通, 默认 (the default).
    print(a, "click uob_preview\n" + save("默认", true, true) + save("普通") + save("其他"));
    a.boxes();
    Operator& b = reportOperator("B");
    print(b, "click uob_preview\nrclick dw_template 2\nmenu m_delete\n");
    EXPECT_EQ(b.boxes(),
              (std::vector<std::string>{
                  "提示 | 该模板的所有者不是您本人，您不能删除该模板！ | None! | OK! -> 1"}));
    // A's window opens on the default: that one cannot go; 普通 goes without a question.
    print(a,
          "click uob_preview\nrclick dw_template 3\nmenu m_delete\n"
          "rclick dw_template 2\nmenu m_delete\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"提示 | 不能删除当前打开的模板！ | None! | OK! -> 1",
                                        "提示 | 删除模板成功！ | None! | OK! -> 1"}));
    // With 其他 open, deleting the default asks; Cancel keeps it, OK deletes it.
    print(a,
          "click uob_preview\ndoubleclick dw_template 1\nclick uob_preview\n"
          "rclick dw_template 2\nanswer 2\nmenu m_delete\nanswer 1\nmenu m_delete\n");
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 您确信要删除模板[默认]吗? | Question! | OKCancel! -> 2",
                             "提示 | 您确信要删除模板[默认]吗? | Question! | OKCancel! -> 1",
                             "提示 | 删除模板成功！ | None! | OK! -> 1"}));
    EXPECT_EQ(column("SELECT rtname FROM T_RPT_MODONE"), "其他");
    EXPECT_EQ(column("SELECT count(*) FROM T_RPT_MODTWO"), "1");
}

TEST_P(ReportWindow, ATemplateGoneMeanwhileIsReportedAndNothingChanges) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("甲") + save("乙"));
    a.boxes();
    a.runWith([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
              [&](w_print& w) {
                  w.clickPreview();
                  // Another operator deletes both templates while the list still shows them.
                  ASSERT_EQ(sqlca.execute("DELETE FROM T_RPT_MODONE"), 0);
                  ASSERT_EQ(sqlca.commit(), 0);
                  w.dw_template.SetRow(1);
                  w.ue_loadtemplate();
                  w.ue_deltemplate();
                  EXPECT_EQ(w.is_tmpname, "新的打印模板");
                  EXPECT_EQ(w.title(), "打印 - 新的打印模板");
              });
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 装入模板失败(NOT FOUND)！ | None! | OK! -> 1",
                             "提示 | 该模板已不存在，可能已被删除！ | None! | OK! -> 1"}));
}

TEST_P(ReportWindow, ARowWithoutItsReportSyntaxDoesNotLoad) {
    Operator& a = reportOperator("A");
    print(a, "click uob_preview\n" + save("甲"));
    a.boxes();
    ASSERT_EQ(sqlca.execute("UPDATE T_RPT_MODTWO SET rtcdata = NULL"), 0);
    ASSERT_EQ(sqlca.execute("UPDATE T_RPT_MODONE SET rtoperdate = NULL"), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    print(a, "click uob_preview\ndoubleclick dw_template 1\n");
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "提示 | 装入模板失败(DATAWINODW SYNTAX为空)！ | None! | OK! -> 1"}));
}

PRINT_DB_BACKENDS(ReportWindow);

}  // namespace
}  // namespace print::print_window::test
