#include <gtest/gtest.h>

#include "common/text.h"
#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

class SettingsPages : public PrintWindowTest {
protected:
    std::string run(const std::string& script) { return runGoodsReport(script); }
};

TEST_P(SettingsPages, PrinterSettingsReadAndWriteOnlyWhatChanged) {
    const std::string out = run(
        "click uob_preview\n"
        "describe tabpage_setup.dw_set Evaluate('scale',1) Evaluate('copies',1) "
        "Evaluate('compute_1',1) Evaluate('compute_2',1) Evaluate('papersize',1)\n"
        "describe dw_preview DataWindow.Print.Scale\n"
        "click uob_preview\n"
        "describe dw_preview DataWindow.Print.Scale DataWindow.Print.Copies\n"
        "click uob_preview\n"
        "set tabpage_setup.dw_set 1 scale 150\n"
        "set tabpage_setup.dw_set 1 copies 0\n"
        "set tabpage_setup.dw_set 1 papersize 9\n"
        "set tabpage_setup.dw_set 1 orientation 1\n"
        "set tabpage_setup.dw_set 1 pagerange 1,3,5-10\n"
        "describe tabpage_setup.dw_set Evaluate('compute_1',1) Evaluate('compute_2',1) "
        "t_paper.visible Evaluate('If( orientation =\"1\" ,height,width)/80',1)\n"
        "click uob_preview\n"
        "describe dw_preview DataWindow.Print.Scale DataWindow.Print.Copies "
        "DataWindow.Print.Paper.Size DataWindow.Print.Orientation DataWindow.Print.Page.Range\n");
    EXPECT_EQ(out,
              // The frame's unset scale shows as 100 and stays unset after an untouched round.
              "100\n1\n21.00厘米\n29.70厘米\n9\n.\n0\n.\n0\n1\n.\n"
              "21.00厘米\n29.70厘米\n1\n37.125\n.\n"
              "1.5\n1\n9\n1\n1,3,5-10\n.\n");
}

TEST_P(SettingsPages, ThePaperTableHas117RowsWithoutCodes48And49) {
    const std::string out =
        run("describe tabpage_setup.dw_set.papersize Evaluate('rowcount()',1) "
            "Evaluate('paper',10) Evaluate('paperid',49) Evaluate('paperid',48)\n"
            "modify dw_preview DataWindow.Print.Paper.Size=48\n"
            "click uob_preview\n"
            "describe tabpage_setup.dw_set t_paper.visible Evaluate('compute_1',1)\n"
            "set tabpage_setup.dw_set 1 papersize 49\n"
            "describe tabpage_setup.dw_set Evaluate('papersize',1)\n");
    // A code the table lacks reads as an unknown size; the list does not take it either.
    EXPECT_EQ(out, "117\nA4 210 x 297 毫米\n50\n47\n.\n\n.\n0\n未知    \n.\n48\n.\n");
}

TEST_P(SettingsPages, PageContentWritesHeightsItemsAndMovesItemsBetweenBands) {
    const std::string out =
        run("click uob_preview\nclick tab_setup.tabpage_page\n"
            "describe tabpage_page.dw_font Evaluate('name',1) Evaluate('band',1) "
            "Evaluate('fontheight',1) Evaluate('rowcount()',1)\n"
            "set tabpage_page.dw_height 1 headerh 2500\n"
            "set tabpage_page.dw_height 1 docname O'Brien 的报表?\n"
            "set tabpage_page.dw_font 1 band footer\n"
            "set tabpage_page.dw_font 2 align 2\n"
            "click uob_preview\n"
            "describe dw_preview DataWindow.Header.Height st_coname.band st_repname.text "
            "st_repname.alignment\n");
    EXPECT_EQ(out, "st_coname\nheader\n-12\n20\n.\n2500\nfooter\n\"O'Brien 的报表?\"\n2\n.\n");
}

TEST_P(SettingsPages, ReadingThenApplyingWithoutEditsChangesNothing) {
    Operator& a = goodsOperator();
    std::string before, after;
    a.runWith([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
              [&](w_print& w) {
                  // Values that come back quoted, an expression and grid lines printed only.
                  w.dw_preview.Modify("st_repname.text='报表?' st_coname.visible='1~tif(1=1,1,0)'");
                  engine::DataWindowChild* list = nullptr;
                  ASSERT_EQ(w.dw_preview.GetChild("dw_report", list), 1);
                  list->Modify("DataWindow.Grid.Lines=3 price.visible='1~tif(1=1,1,0)'");
                  w.tabpage_setup.of_setdwobject(w.dw_preview);
                  w.tabpage_page.of_setdwobject(w.dw_preview);
                  w.tabpage_text.of_setdwobject(w.dw_preview);
                  w.tabpage_column.of_setdwobject(w.dw_preview);
                  before = w.dw_preview.Describe("DataWindow.Syntax") +
                           list->Describe("DataWindow.Syntax");
                  for (int round = 0; round < 2; ++round) {
                      w.clickPreview();
                      w.clickPreview();
                  }
                  ASSERT_EQ(w.dw_preview.GetChild("dw_report", list), 1);
                  after = w.dw_preview.Describe("DataWindow.Syntax") +
                          list->Describe("DataWindow.Syntax");
              });
    EXPECT_EQ(after, before);
}

TEST_P(SettingsPages, TheFontDialogConvertsHeightsAndACancelChangesNothing) {
    Operator& a = goodsOperator();
    a.runWith(
        [&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
        [&](w_print& w) {
            w.clickPreview();
            a.services.queueFont(std::nullopt);
            w.tabpage_page.dw_font.operatorButton(3, "b_font");
            EXPECT_EQ(a.services.fontDialogs().back().height, 9);  // -9 as 9 points
            a.services.queueFont(platform::FontChoice{"黑体", 10, 700, true, false, false, 255});
            w.tabpage_page.dw_font.operatorButton(3, "b_font");
            w.clickPreview();
            EXPECT_EQ(w.dw_preview.Describe("st_address.font.face st_address.font.height "
                                            "st_address.font.weight st_address.font.italic "
                                            "st_address.color st_repname.font.height"),
                      "黑体\n-10\n700\n1\n255\n-18");
        });
}

TEST_P(SettingsPages, TheCaptionSwitchOfHeaderTextsRestoresTextAndTag) {
    Operator& a = goodsOperator();
    a.runWith(
        [&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
        [&](w_print& w) {
            a.host.gnu_print.of_settexttodw(w.dw_preview, "门店@S01\t供应商@O'Brien", 2, 1000);
            w.tabpage_text.of_setdwobject(w.dw_preview);
            EXPECT_EQ(w.tabpage_text.dw_font.RowCount(), 2);
            w.tabpage_text.dw_font.operatorSetItem(2, "title", "N");
            w.tabpage_text.of_setdwitem();
            EXPECT_EQ(w.dw_preview.Describe("st_text_2.text st_text_2.tag"), "O'Brien\n供应商");
            w.tabpage_text.dw_font.operatorSetItem(2, "title", "Y");
            w.tabpage_text.of_setdwitem();
            EXPECT_EQ(w.dw_preview.Describe("st_text_2.text st_text_2.tag"),
                      "供应商: O'Brien\n&供应商");
        });
}

TEST_P(SettingsPages, ColumnsAreListedInOrderAndReshownByTheList) {
    const std::string out =
        run("click uob_preview\nclick tab_setup.tabpage_column\n"
            "describe tabpage_column.dw_column Evaluate('rowcount()',1) Evaluate('text',1) "
            "Evaluate('text',5)\n"
            "set tabpage_column.dw_column 2 visible 0\n"
            "row tabpage_column.dw_column 4\n"
            "click tabpage_column.uob_up\n"
            "set tabpage_column.dw_column 3 width 400\n"
            "click uob_preview\n"
            "describe dw_preview.dw_report goodsname.visible price.x qty.x price.width amount.x "
            "sum_hspsje.x\n"
            "click uob_preview\n"
            "row tabpage_column.dw_column 1\nclick tabpage_column.uob_up\n"
            "row tabpage_column.dw_column 5\nclick tabpage_column.uob_down\n");
    // Reshown in the list's order with the 9-unit gaps between them; the total goes with its
    // column.
    EXPECT_EQ(out, "5\n行号\n金额\n.\n0\n168\n577\n400\n816\n816\n.\n");
}

TEST_P(SettingsPages, ZoomEntriesRulersAndNavigation) {
    Operator& a = goodsOperator();
    const std::string out =
        run("set uo_option.dw_zoom 1 zoom 75%\n"
            "describe dw_preview DataWindow.Print.Preview.Zoom\n"
            "set uo_option.dw_zoom 1 zoom 75\n"
            "describe dw_preview DataWindow.Print.Preview.Zoom\n"
            "click uo_option.cbx_rulers\n"
            "describe dw_preview DataWindow.Print.Preview.Rulers\n");
    EXPECT_EQ(out, "100\n.\n75\n.\nno\n.\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "提示 | 输入的应为比例的百分数，即75%应输入为75 。 | Exclamation! | OK! -> 1"}));
}

TEST_P(SettingsPages, TheViewBarPagesThroughTheNestedListsPages) {
    Operator& a = addOperator("A");
    a.create(a.dw_detail, kGoodsReport);
    // Enough rows for several pages of the frame.
    for (int i = 0; i < 300; ++i) {
        const long row = a.dw_detail.InsertRow(0);
        a.dw_detail.SetItem(row, 2, Value("商品 " + std::to_string(i)));
    }
    const std::string out =
        a.run([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
              "show dw_preview\n"
              "click uo_option.uob_next\n"
              "show dw_preview\n"
              "click uo_option.uob_last\n"
              "show dw_preview\n"
              "click uo_option.uob_next\n"
              "show dw_preview\n"
              "click uo_option.uob_prior\n"
              "show dw_preview\n"
              "click uo_option.uob_first\n"
              "show dw_preview\n");
    std::vector<std::string> pages;
    for (size_t at = out.find("page="); at != std::string::npos; at = out.find("page=", at + 1))
        pages.push_back(out.substr(at + 5, out.find(' ', at) - at - 5));
    ASSERT_EQ(pages.size(), 6u) << out;
    const std::string count = pages[0].substr(pages[0].find('/'));
    const long last = std::stol(count.substr(1));
    ASSERT_GT(last, 2) << out;
    EXPECT_EQ(pages[0], "1" + count);
    EXPECT_EQ(pages[1], "2" + count);
    EXPECT_EQ(pages[2], std::to_string(last) + count);
    EXPECT_EQ(pages[3], std::to_string(last) + count);  // stays on the last page
    EXPECT_EQ(pages[4], std::to_string(last - 1) + count);
    EXPECT_EQ(pages[5], "1" + count);
}

TEST_P(SettingsPages, TheCurrentPrinterIsTheOneAPrintWouldUse) {
    const std::string script =
        "click uob_preview\n"
        "describe tabpage_setup.dw_set Evaluate('printer',1)\n";
    // No printer named and none on the system; then the system's default; then the report's.
    EXPECT_EQ(run(script), "无\n.\n");
    goodsOperator().services.setDefaultPrinter("Office-Laser");
    EXPECT_EQ(run(script), "Office-Laser\n.\n");
    EXPECT_EQ(run("modify dw_preview DataWindow.Printer='Warehouse'\n" + script),
              "\n.\nWarehouse\n.\n");
}

PRINT_DB_BACKENDS(SettingsPages);

}  // namespace
}  // namespace print::print_window::test
