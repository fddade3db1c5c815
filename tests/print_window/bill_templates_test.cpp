#include <gtest/gtest.h>

#include "db/library_file.h"
#include "engine/library.h"
#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

class BillWindow : public PrintWindowTest {
protected:
    Operator& billOperator(const std::string& operid,
                           std::unique_ptr<service::HostServices> hostServices = nullptr) {
        Operator& op = addOperator(operid, {}, std::move(hostServices));
        op.create(op.dw_header, kBillHeader);
        fillHeader(op.dw_header);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        op.create(op.dw_detail2, kGoodsReport);
        fillGifts(op.dw_detail2);
        auto host = std::make_shared<engine::MemoryLibrary>("(host)");
        host->put("d_print_order", print_order());
        host->put("d_reckoning_head", kBillHeader);
        host->put("dl_reckoning_exdw", kChargeLines);
        op.hostLibraries.push_back(host);
        return op;
    }
    // The host's own frame of order bills: the component's frame plus the order's texts.
    static std::string print_order() {
        std::string frame = *engine::LibrarySearchList::application().find("d_print").value();
        for (const char* name : {"st_arrivetime", "st_uppersum", "st_lowersum", "st_memo"})
            frame += std::string(
                         "text(band=summary text=\"\" x=\"200\" y=\"100\" height=\"380\" "
                         "width=\"19000\" name=") +
                     name + " )\n";
        return frame;
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

TEST_P(BillWindow, ANewBillLayoutHidesOperatorDateAndPageAndMarksGiftRows) {
    Operator& a = billOperator("A");
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail, &a.dw_detail2); },
              "describe dw_preview st_printoper.visible st_printdate.visible st_pageno.visible "
              "st_repname.text\n"
              "describe dw_preview.dw_report Evaluate('rowcount()',1) rowno.format\n"
              "describe dw_preview.dw_report Evaluate('rowno',6) Evaluate('String(rowno, "
              "If(rowno = 6, \"####\", \"赠品####\"))',6)\n");
    EXPECT_EQ(out,
              "0\n0\n0\n收货单\n.\n7\n\"[general]\tIf(rowno=GetRow(),\"####\",\"赠品####\")\"\n.\n"
              "1\n赠品1\n.\n");
    EXPECT_TRUE(a.boxes().empty());
}

TEST_P(BillWindow, SettlementBillsShowAmountsInWordsAndPadToTwelveRows) {
    Operator& a = billOperator("A");
    // 508: the list's own total (282.60) in words, and 12 rows.
    a.host.gnu_print.is_accessory.clear();
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print("508", &a.dw_header, &a.dw_detail); },
              "describe dw_preview.dw_report Evaluate('rowcount()',1)\n");
    EXPECT_EQ(out, "12\n.\n");
    // Twelve rows or more are left as they are.
    for (int i = 0; i < 8; ++i) a.dw_detail.InsertRow(0);
    const std::string more =
        a.run([&] { a.host.gnu_print.of_print("508", &a.dw_header, &a.dw_detail); },
              "describe dw_preview.dw_report Evaluate('rowcount()',1)\n");
    EXPECT_EQ(more, "13\n.\n");
}

TEST_P(BillWindow, OrderBillsFillTheHostsFrame) {
    Operator& a = billOperator("A");
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print("305", &a.dw_header, &a.dw_detail); },
              "describe dw_preview st_arrivetime.text st_memo.text\n");
    EXPECT_EQ(out,
              "交付时间要求 : 首批最迟于2024年03月20日前交付, 全部要求在2024年03月30日前交付,"
              "否则此单自动失效。\n请按时送货，O'Brien 负责\n.\n");
}

TEST_P(BillWindow, AChargeBillTakesTheFrameOfItsSettlementCategory) {
    Operator& a = billOperator("A");
    a.create(a.dw_detail2, kChargeLines);
    fillCharges(a.dw_detail2);
    const std::string out = a.run(
        [&] {
            a.host.gnu_print.of_print("J01", &a.dw_header, &a.dw_detail, &a.dw_detail2,
                                      std::string("Y"));
        },
        "describe dw_preview st_subtitle.text DataWindow.Print.DocumentName\n"
        "describe dw_preview.dw_charge Evaluate('rowcount()',1)\n"
        "describe dw_preview.dw_head Evaluate('rowcount()',1) Evaluate('seqno',1)\n");
    EXPECT_EQ(out, "结算类别: 其他费用\n供应商费用结算\n.\n2\n.\n1\nS0001\n.\n");
    EXPECT_TRUE(a.boxes().empty());
}

// The host of this site lets nobody see cost prices (columns tagged COST).
class NoCostRights : public service::HostServices {
public:
    bool f_coltag_denicolumn(service::HostContext&, std::string_view tag) override {
        return tag != "COST";
    }
};

TEST_P(BillWindow, MaskedColumnsForOperatorsWithoutRightsButNotForPrivilegedOnes) {
    struct Case {
        std::string opergh, role;
        bool masked;
    };
    // PRIVOPER holds "123,abcd": those operators see everything, in any letter case; so does
    // role 00.
    const Case cases[] = {{"555", "01", true},
                          {"123", "01", false},
                          {"ABCD", "01", false},
                          {"abcd", "01", false},
                          {"555", "00", false}};
    int n = 0;
    for (const Case& c : cases) {
        Operator& op = billOperator("M" + std::to_string(++n), std::make_unique<NoCostRights>());
        op.host.gs_opergh = c.opergh;
        op.host.gs_role = c.role;
        std::set<std::string> masked;
        op.runWith([&] { op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail); },
                   [&](w_print& w) {
                       masked = w.maskedColumns();
                       engine::DataWindowChild* list = nullptr;
                       ASSERT_EQ(w.dw_preview.GetChild("dw_report", list), 1);
                       EXPECT_EQ(list->Describe("price.format"), c.masked ? "***" : "#,##0.00")
                           << c.opergh;
                       EXPECT_EQ(list->GetItemText(1, "price"), c.masked ? "***" : "2.50");
                   });
        EXPECT_EQ(masked, c.masked ? std::set<std::string>{"price"} : std::set<std::string>{})
            << c.opergh << " " << c.role;
    }
    // Copied rows (a bill with a second detail) are masked as well.
    Operator& op = billOperator("M9", std::make_unique<NoCostRights>());
    op.host.gs_opergh = "555";
    op.runWith(
        [&] { op.host.gnu_print.of_print("101", &op.dw_header, &op.dw_detail, &op.dw_detail2); },
        [&](w_print& w) { EXPECT_EQ(w.maskedColumns(), std::set<std::string>{"price"}); });
}

TEST_P(BillWindow, BillTemplatesSaveUnderTheOpenNameWithoutAQuestion) {
    Operator& a = billOperator("A");
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              "click uob_preview\nclick uob_save\nshow cbx_priv\ntype sle_name 收货单A\n"
              "check cbx_default on\nclick uob_ok\n"
              // The open default opens the dialog as it is: saved again, it stays the default.
              "click uob_save\nshow cbx_default\nclick uob_ok\n"
              "click uob_save\ntype sle_name 收货单B\ncheck cbx_default off\nclick uob_ok\n"
              "click uob_save\ntype sle_name 收货单A\nanswer 2\nclick uob_ok\nclick uob_cancel\n"
              "click uob_save\ncheck cbx_default on\nclick uob_ok\n"
              "click uob_save\ntype sle_name 收货单A\ncheck cbx_default off\nanswer 1\n"
              "click uob_ok\n"
              "click uob_save\ntype sle_name 收货单B\nanswer 2\nclick uob_ok\nclick uob_cancel\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1",
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1",
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1",
                  "提示 | 该模板名称已存在，且为缺省模板，您的修改将影响到其他人对此模板的"
                  "使用！您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 2",
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1",
                  "提示 | 该模板名称已存在，您确信要保存并覆盖该模板吗？ | Question! | "
                  "OKCancel! -> 1",
                  "提示 | 打印模板保存成功！ | None! | OK! -> 1",
                  "提示 | 该模板名称已存在，且为缺省模板，您的修改将影响到其他人对此模板的"
                  "使用！您确信要保存并覆盖该模板吗？ | Question! | OKCancel! -> 2"}));
    EXPECT_EQ(column("SELECT bpname || bpdefault FROM T_GOODSPRINT1 ORDER BY bpname"),
              "收货单AN,收货单BY");
    EXPECT_EQ(out,
              "visible=0 enabled=0 checked=0 text=公共(允许其他人访问)\n.\n"
              "visible=1 enabled=1 checked=1 text=缺省模板\n.\n");
}

TEST_P(BillWindow, WhenBillsMayNotUseTemplatesTheSettingsPagesAndSaveAreHidden) {
    Operator& a = billOperator("A");
    a.host.gs_isbillprinttmp = "N";
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print("101", &a.dw_header, &a.dw_detail); },
              "click uob_preview\nshow uob_save\nshow uob_new\nshow tabpage_page\n"
              "show tabpage_text\nshow tabpage_column\nshow tabpage_setup\n");
    EXPECT_EQ(out,
              "visible=0 enabled=1 text=保 存\n.\nvisible=0 enabled=1 text=新模板\n.\n"
              "visible=0 enabled=1 text=页面内容\n.\nvisible=0 enabled=1 text=页面文本设置\n.\n"
              "visible=0 enabled=1 text=表格列设置\n.\nvisible=1 enabled=1 text=打印设置\n.\n");
}

PRINT_DB_BACKENDS(BillWindow);

}  // namespace
}  // namespace print::print_window::test
