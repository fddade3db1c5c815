// The columns, page and text pages on the demo's order 305 and sales report: the order of the
// columns carries their totals along and keeps the report's gaps, a text moved into another band
// stays on the page, and the page shows the band heights the report took.
#include <gtest/gtest.h>

#include <sstream>

#include "common/text.h"
#include "demo_documents.h"

namespace print::print_window::test {
namespace {

class DemoSettings : public DemoDocuments {
protected:
    // Plays `script` on the print window of `document`, then hands the window to `check`;
    // returns what the script printed.
    std::string play(DemoDocument& document, const std::string& script,
                     const std::function<void(w_print&)>& check = {}) {
        std::ostringstream out;
        document.op->runWith(document.print, [&](w_print& w) {
            std::istringstream in(script);
            std::ostringstream err;
            platform::HeadlessDriver driver(document.op->services);
            platform::OperatorScript player(driver, in, out, err);
            player.run(w);
            EXPECT_FALSE(player.failed()) << err.str();
            if (check) check(w);
        });
        return out.str();
    }

    // Where the first row's `object` of the list is printed on the first page.
    static std::optional<layout::PageRect> printed(w_print& w, const std::string& object) {
        auto page = layout::layoutOf(w.dw_preview).displayList(1);
        if (!page.ok()) return std::nullopt;
        for (const layout::PlacedObject& o : page.value()->objects)
            if (!o.tag.report.empty() && o.tag.object == object) return o.box;
        return std::nullopt;
    }

    // The total `total` is printed under `column`, right edges together.
    static void expectUnder(w_print& w, const std::string& total, const std::string& column) {
        const auto t = printed(w, total), c = printed(w, column);
        ASSERT_TRUE(t && c) << total << " " << column;
        EXPECT_NEAR(t->right(), c->right(), 0.01) << total << " under " << column;
    }
};

TEST_P(DemoSettings, ColumnsMovedUpOrDownTakeTheirTotalsAlong) {
    // Order 305: 含税金额 (row 9) one place up, before 含税进价.
    DemoDocument order = order305();
    const std::string out = play(order,
                                 "click uob_preview\n"
                                 "click tab_setup.tabpage_column\n"
                                 "row tabpage_column.dw_column 9\n"
                                 "click tabpage_column.uob_up\n"
                                 "click uob_preview\n"
                                 "describe dw_preview.dw_report amount.x amount_t.x sum_hsjjje.x "
                                 "price.x price_t.x\n",
                                 [](w_print& w) { expectUnder(w, "sum_hsjjje", "amount"); });
    EXPECT_EQ(out, "2492\n2492\n2492\n2801\n2801\n.\n");

    // The sales report: 数量 (row 7) one place down, after 销售金额; 合计 stays in front.
    DemoDocument report = salesReport();
    const std::string moved = play(report,
                                   "click uob_preview\n"
                                   "click tab_setup.tabpage_column\n"
                                   "row tabpage_column.dw_column 7\n"
                                   "click tabpage_column.uob_down\n"
                                   "click uob_preview\n"
                                   "describe dw_preview.dw_report amount.x sum_amount.x qty.x "
                                   "sum_qty.x total_t.x\n",
                                   [](w_print& w) {
                                       expectUnder(w, "sum_qty", "qty");
                                       expectUnder(w, "sum_amount", "amount");
                                       expectUnder(w, "sum_cost", "cost");
                                   });
    EXPECT_EQ(moved, "2303\n2303\n2692\n2692\n9\n.\n");

    // Settlement 508: 含税金额 (row 6) one place up. The QR code in front aggregates it too,
    // but is not under it: it stays.
    DemoDocument settlement = settlement508();
    const std::string qr =
        play(settlement,
             "click uob_preview\n"
             "click tab_setup.tabpage_column\n"
             "row tabpage_column.dw_column 6\n"
             "click tabpage_column.uob_up\n"
             "click uob_preview\n"
             "describe dw_preview.dw_report hspsje.x storename.x settle_code.x\n");
    EXPECT_EQ(qr, "1175\n1524\n9\n.\n");
}

TEST_P(DemoSettings, AnOrderThatEndsWhereItStartedChangesNothingAndWidthsKeepTheGaps) {
    for (int document = 0; document < 2; ++document) {
        DemoDocument d = document == 0 ? order305() : salesReport();
        const std::string out = play(d,
                                     "syntax dw_preview.dw_report\n"
                                     "click uob_preview\n"
                                     "click tab_setup.tabpage_column\n"
                                     "row tabpage_column.dw_column 3\n"
                                     "click tabpage_column.uob_down\n"
                                     "click tabpage_column.uob_up\n"
                                     "click uob_preview\n"
                                     "syntax dw_preview.dw_report\n");
        const size_t end = out.find("\n.\n") + 3;
        EXPECT_EQ(out.substr(end), out.substr(0, end)) << document;
    }
    // 商品名称 from 620 to 700: every column to its right moves 80 on, its total with it.
    DemoDocument order = order305();
    const std::string out = play(order,
                                 "click uob_preview\n"
                                 "click tab_setup.tabpage_column\n"
                                 "set tabpage_column.dw_column 4 width 700\n"
                                 "click uob_preview\n"
                                 "describe dw_preview.dw_report goodsname.width guige.x "
                                 "amount.x sum_hsjjje.x\n",
                                 [](w_print& w) { expectUnder(w, "sum_hsjjje", "amount"); });
    EXPECT_EQ(out, "700\n1885\n2841\n2841\n.\n");
}

TEST_P(DemoSettings, ATextMovedIntoAnotherBandStaysOnThePageAndThePageShowsTheHeightsTaken) {
    DemoDocument report = salesReport();
    const std::string out = play(
        report,
        // The title (header, y 1100, 700 high) into the 1500-high footer; the condition text
        // st_text_1 into the footer as well.
        "click uob_preview\n"
        "click tab_setup.tabpage_page\n"
        "set tabpage_page.dw_font 2 band footer\n"
        "set tabpage_page.dw_height 1 summary 3000\n"
        "click tab_setup.tabpage_text\n"
        "set tabpage_text.dw_font 1 band footer\n"
        "click uob_preview\n"
        "describe dw_preview st_repname.band st_repname.y st_repname.height "
        "DataWindow.Footer.Height DataWindow.Summary.Height\n"
        "click uob_preview\n"
        // A report without attachments has no summary band: the page says so.
        "describe tabpage_page.dw_height Evaluate('summary',1)\n",
        [](w_print& w) {
            EXPECT_TRUE(w.dw_preview.placedObject("st_repname"));
            EXPECT_TRUE(w.dw_preview.placedObject("st_text_1"));
            const long y = parseInteger(w.dw_preview.Describe("st_text_1.y")).value_or(-1);
            const long h = parseInteger(w.dw_preview.Describe("st_text_1.height")).value_or(-1);
            EXPECT_EQ(w.dw_preview.Describe("st_text_1.band"), "footer");
            EXPECT_GE(y, 0);
            EXPECT_LE(y + h, 1500);
        });
    EXPECT_EQ(out, "footer\n800\n700\n1500\n0\n.\n0\n.\n");
}

INSTANTIATE_TEST_SUITE_P(Sqlite, DemoSettings, testing::Values(db::Backend::Sqlite),
                         db::test::backendName);

}  // namespace
}  // namespace print::print_window::test
