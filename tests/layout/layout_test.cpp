// Page layout: paper and units, text breaking, bands flowing into pages, nested reports over
// many pages, what a change lays out again, the preview's page moves, hit testing and dragging.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <cmath>

#include "engine/datastore.h"
#include "engine/library.h"
#include "engine/row_import.h"
#include "layout/layout_text.h"
#include "layout/layout_units.h"
#include "layout/report_layout.h"

using namespace print;
using namespace print::engine;
using namespace print::layout;

namespace {

std::unique_ptr<DataStore> makeReport(const std::string& syntax) {
    auto r = std::make_unique<DataStore>();
    std::string error;
    EXPECT_EQ(r->Create(syntax, error), 1) << error;
    return r;
}

std::string datawindow(const std::string& attrs) {
    return "release 9;\ndatawindow(" + attrs + " )\n";
}

// A one-column list: `rows` rows of `detailHeight` units, a header and a footer.
std::string list(int units, int detailHeight, const std::string& extra = "") {
    return datawindow("units=" + std::to_string(units) +
                      " print.paper.size=9 print.margin.top=96 print.margin.bottom=96 " + extra) +
           "header(height=" + std::to_string(detailHeight) +
           " )\nfooter(height=" + std::to_string(detailHeight) +
           " )\ndetail(height=" + std::to_string(detailHeight) +
           " )\ntable(column=(type=long name=n dbname=\"n\" ) )\n";
}

void fill(DataStore& r, long rows) {
    for (long i = 1; i <= rows; ++i) r.SetItem(r.InsertRow(0), 1, Value(static_cast<int64_t>(i)));
}

std::shared_ptr<const PageDisplayList> page(DataStore& r, long n) {
    auto list = layoutOf(r).displayList(n);
    EXPECT_TRUE(list.ok()) << (list.ok() ? "" : list.error().message);
    return list.ok() ? list.value() : std::make_shared<PageDisplayList>();
}

std::vector<std::string> texts(const PageDisplayList& p, const std::string& object) {
    std::vector<std::string> out;
    for (const auto& item : p.items)
        if (const auto* t = std::get_if<TextRun>(&item.shape); t && item.tag.object == object)
            out.push_back(t->text);
    return out;
}

const PlacedObject* placed(const PageDisplayList& p, const std::string& object, long row = -1) {
    for (const auto& o : p.objects)
        if (o.tag.object == object && (row < 0 || o.tag.row == row)) return &o;
    return nullptr;
}

PagePoint centre(const PageRect& r) {
    return {r.x + r.width / 2, r.y + r.height / 2};
}

// Fixed metrics that count the widths asked for, to see what layout measures.
class CountingMetrics : public FontMetrics {
public:
    mutable std::atomic<long> calls{0};
    double width(const FontSpec& f, std::string_view t) const override {
        ++calls;
        return m_fixed.width(f, t);
    }
    double ascent(const FontSpec& f) const override { return m_fixed.ascent(f); }
    double descent(const FontSpec& f) const override { return m_fixed.descent(f); }
    double lineSpacing(const FontSpec& f) const override { return m_fixed.lineSpacing(f); }

private:
    FixedFontMetrics m_fixed;
};

class LibraryScope {
public:
    explicit LibraryScope(std::shared_ptr<MemoryLibrary> lib)
        : m_saved(LibrarySearchList::application().libraries()) {
        LibrarySearchList::application().setLibraries({std::move(lib)});
    }
    ~LibraryScope() { LibrarySearchList::application().setLibraries(m_saved); }

private:
    std::vector<std::shared_ptr<DefinitionLibrary>> m_saved;
};

// --- paper, units, scale ------------------------------------------------------------------------

TEST(LayoutPages, PaperSizesAreThePhysicalSheets) {
    auto paper = [](const std::string& attrs) {
        auto r = makeReport(datawindow("units=3 " + attrs) + "detail(height=100 )\n");
        PageSetup s = layoutOf(*r).pageSetup();
        return std::pair{std::round(s.paperWidth * 100) / 100,
                         std::round(s.paperHeight * 100) / 100};
    };
    using P = std::pair<double, double>;
    EXPECT_EQ(paper(""), (P{595.28, 841.89}));                      // the default paper is A4
    EXPECT_EQ(paper("print.paper.size=9"), (P{595.28, 841.89}));    // A4
    EXPECT_EQ(paper("print.paper.size=1"), (P{612, 792}));          // Letter
    EXPECT_EQ(paper("print.paper.size=12"), (P{728.5, 1031.81}));   // B4 (JIS) 257 x 364 mm
    EXPECT_EQ(paper("print.paper.size=93"), (P{413.86, 609.45}));   // PRC 16K 146 x 215 mm
    EXPECT_EQ(paper("print.paper.size=20"), (P{297.07, 684}));      // envelope #10, upright
    EXPECT_EQ(paper("print.paper.size=76"), (P{1190.55, 841.89}));  // A3 rotated 420 x 297
    EXPECT_EQ(paper("print.paper.size=48"), (P{595.28, 841.89}));   // no such code: A4
    EXPECT_EQ(paper("print.paper.size=93 print.orientation=1"), (P{609.45, 413.86}));
    EXPECT_EQ(paper("print.paper.size=93 print.orientation=2"), (P{413.86, 609.45}));
    // A custom size is in the report's units; without both lengths it is A4.
    EXPECT_EQ(paper("print.paper.size=256 print.custompage.width=10000 "
                    "print.custompage.length=15000"),
              (P{283.46, 425.2}));
    EXPECT_EQ(paper("print.paper.size=256 print.custompage.width=10000"), (P{595.28, 841.89}));
    // The settings pages change them with Modify; the pages follow.
    auto r = makeReport(datawindow("units=2") + "detail(height=100 )\n");
    EXPECT_NEAR(layoutOf(*r).pageSetup().paperWidth, 595.28, 0.01);
    EXPECT_EQ(r->Modify("DataWindow.Print.Paper.Size=256 DataWindow.Print.CustomPage.Width=4000 "
                        "DataWindow.Print.CustomPage.Length=6000 DataWindow.Print.Orientation=1"),
              "");
    EXPECT_EQ(r->Describe("DataWindow.Print.CustomPage.Width"), "4000");
    EXPECT_NEAR(layoutOf(*r).pageSetup().paperWidth, 432, 1e-9);
    EXPECT_NEAR(layoutOf(*r).pageSetup().paperHeight, 288, 1e-9);
}

TEST(LayoutPages, MarginsAndCustomSizesInEachUnitSystem) {
    // 96 units across and down in each system, in points.
    struct Case {
        int units;
        double across;
        double down;
    };
    for (Case c : {Case{0, 15.75, 18}, Case{1, 72, 72}, Case{2, 6.91, 6.91}, Case{3, 2.72, 2.72}}) {
        SCOPED_TRACE(c.units);
        auto r = makeReport(datawindow("units=" + std::to_string(c.units) +
                                       " print.margin.left=96 print.margin.top=96 "
                                       "print.margin.right=0 print.margin.bottom=0 "
                                       "print.paper.size=256 print.custompage.width=960 "
                                       "print.custompage.length=960") +
                            "detail(height=10 )\n");
        PageSetup s = layoutOf(*r).pageSetup();
        EXPECT_NEAR(s.marginLeft, c.across, 0.01);
        EXPECT_NEAR(s.marginTop, c.down, 0.01);
        EXPECT_NEAR(s.paperWidth, c.across * 10, 0.06);
        EXPECT_NEAR(s.paperHeight, c.down * 10, 0.06);
        // Margins not given are the platform's, whatever the units.
        auto bare =
            makeReport(datawindow("units=" + std::to_string(c.units)) + "detail(height=10 )\n");
        EXPECT_NEAR(layoutOf(*bare).pageSetup().marginLeft, 18.05, 0.01);
        EXPECT_NEAR(layoutOf(*bare).pageSetup().marginBottom, 18, 0.01);
    }
}

TEST(LayoutPages, ScaleZoomAndRulersReadAsTheSettingsPagesWriteThem) {
    auto setup = [](const std::string& attrs) {
        return makeReport(datawindow("units=1 " + attrs) + "detail(height=10 )\n");
    };
    EXPECT_EQ(layoutOf(*setup("")).pageSetup().scale, 1);
    EXPECT_EQ(layoutOf(*setup("print.scale=0")).pageSetup().scale, 1);
    EXPECT_EQ(layoutOf(*setup("print.scale=0.5")).pageSetup().scale, 0.5);
    EXPECT_EQ(layoutOf(*setup("print.scale=-2")).pageSetup().scale, 1);
    EXPECT_EQ(layoutOf(*setup("print.scale=100")).pageSetup().scale, 20);
    EXPECT_EQ(layoutOf(*setup("")).previewZoom(), 100);
    EXPECT_EQ(layoutOf(*setup("print.preview.zoom=150")).previewZoom(), 150);
    EXPECT_EQ(layoutOf(*setup("print.preview.zoom=0")).previewZoom(), 100);
    EXPECT_EQ(layoutOf(*setup("print.preview.zoom=abc")).previewZoom(), 100);
    EXPECT_EQ(layoutOf(*setup("print.preview.zoom=99999")).previewZoom(), 1000);
    EXPECT_FALSE(layoutOf(*setup("")).previewRulers());
    EXPECT_TRUE(layoutOf(*setup("print.preview.rulers=Yes")).previewRulers());
    auto r = setup("");
    EXPECT_EQ(r->Modify("DataWindow.Print.Preview.Rulers='yes' DataWindow.Print.Preview.Zoom=75"),
              "");
    EXPECT_TRUE(layoutOf(*r).previewRulers());
    EXPECT_EQ(layoutOf(*r).previewZoom(), 75);
}

TEST(LayoutPages, AScaledReportFitsMoreRowsOnAPage) {
    auto full = makeReport(list(1, 100));
    auto half = makeReport(list(1, 100, "print.scale=0.5"));
    fill(*full, 100);
    fill(*half, 100);
    // A4 is 1122.5 px high less 2 x 96 px margins: 9 rows of 100 px besides header and footer,
    // 16 of 50 px.
    EXPECT_EQ(layoutOf(*full).rowsOnPage(1), (std::pair{1L, 7L}));
    EXPECT_EQ(layoutOf(*half).rowsOnPage(1), (std::pair{1L, 16L}));
    EXPECT_EQ(layoutOf(*half).pageCount(), 7);
}

// --- text ---------------------------------------------------------------------------------------

std::vector<std::string> lines(std::string_view text, double width, bool wrap = true) {
    FixedFontMetrics fm;
    FontSpec font;
    font.size = 10;  // a Chinese character 10 points wide, others 5
    std::vector<std::string> out;
    for (const TextLine& l : breakLines(fm, font, text, width, wrap)) out.push_back(l.text);
    return out;
}

TEST(LayoutText, ChineseBreaksBetweenAnyTwoCharactersLatinAtBlanks) {
    using V = std::vector<std::string>;
    EXPECT_EQ(lines("一二三四五六七", 30), (V{"一二三", "四五六", "七"}));
    EXPECT_EQ(lines("alpha beta gamma", 50), (V{"alpha beta", "gamma"}));
    // Closing punctuation stays with the line before it, even past the width.
    EXPECT_EQ(lines("一二三。四", 30), (V{"一二三。", "四"}));
    // A word wider than the line breaks between its characters.
    EXPECT_EQ(lines("abcdefghijkl", 20), (V{"abcd", "efgh", "ijkl"}));
    EXPECT_EQ(lines("ab 中文cd", 25), (V{"ab 中", "文cd"}));
    EXPECT_EQ(lines("一\r\n二\n\n三", 100), (V{"一", "二", "", "三"}));
    EXPECT_EQ(lines("alpha beta gamma", 10, false), (V{"alpha beta gamma"}));
    EXPECT_EQ(lines("", 10), (V{""}));
    // Nothing loops on a line too narrow for any character.
    EXPECT_EQ(lines("一二", 0), (V{"一", "二"}));
}

TEST(LayoutText, WrappedAutosizedAndJustifiedTextRuns) {
    auto r = makeReport(datawindow("units=1 print.paper.size=9") + "detail(height=40 )\n" +
                        "table(column=(type=char(100) name=t dbname=\"t\" ) )\n" +
                        "data(\"甲乙丙丁戊己庚辛\" \"one two three four\" )\n" +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"40\" height=\"16\" "
                        "height.autosize=yes alignment=\"3\" font.height=\"-7.5\" name=t )\n" +
                        "column(band=detail id=1 x=\"100\" y=\"0\" width=\"40\" height=\"16\" "
                        "font.height=\"-7.5\" name=clipped )\n" +
                        "line(band=detail x1=\"0\" y1=\"30\" x2=\"100\" y2=\"30\" name=under )\n");
    auto p = page(*r, 1);
    // 40 px is 30 points: four Chinese characters of 7.5 points, or six Latin letters.
    EXPECT_EQ(texts(*p, "t"),
              (std::vector<std::string>{"甲乙丙丁", "戊己庚辛", "one two", "three", "four"}));
    // A box one line high shows one line, cut off at its edge.
    EXPECT_EQ(texts(*p, "clipped"),
              (std::vector<std::string>{"甲乙丙丁戊己庚辛", "one two three four"}));
    int justified = 0, left = 0;
    for (const auto& item : p->items) {
        const auto* t = std::get_if<TextRun>(&item.shape);
        if (!t || item.tag.object != "t") continue;
        (t->align == TextAlign::Justify ? justified : left)++;
    }
    EXPECT_EQ(justified, 3);  // the last line of each paragraph is not spread
    EXPECT_EQ(left, 2);
    // Two lines of 9 points grow the 12-point box by 6 points: the line under it moves down
    // with it, and the band grows as much.
    EXPECT_NEAR(placed(*p, "under", 1)->from.y - placed(*p, "under", 1)->box.y, 0, 1e-9);
    EXPECT_NEAR(p->bands[0].box.height, 30 + 6, 1e-9);
    EXPECT_NEAR(placed(*p, "under", 1)->from.y, p->bands[0].box.y + 22.5 + 6, 1e-9);
}

// --- flow ---------------------------------------------------------------------------------------

TEST(LayoutFlow, RowsFlowBetweenHeaderAndFooterOfEveryPage) {
    auto r = makeReport(list(1, 100) +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"50\" "
                        "height=\"20\" name=n )\n");
    fill(*r, 20);
    EXPECT_EQ(layoutOf(*r).pageCount(), 3);
    EXPECT_EQ(layoutOf(*r).rowsOnPage(2), (std::pair{8L, 14L}));
    EXPECT_EQ(layoutOf(*r).rowsOnPage(3), (std::pair{15L, 20L}));
    EXPECT_EQ(layoutOf(*r).pageOfRow(14), 2);
    EXPECT_EQ(layoutOf(*r).pageOfRow(15), 3);
    EXPECT_EQ(layoutOf(*r).pageOfRow(21), -1);
    auto p = page(*r, 2);
    EXPECT_EQ(p->bands.front().tag.band, "header");
    EXPECT_EQ(p->bands.front().tag.row, 8);
    EXPECT_EQ(p->bands.back().tag.band, "footer");
    EXPECT_EQ(p->bands.back().tag.row, 14);
    EXPECT_EQ(texts(*p, "n").front(), "8");
    auto missing = layoutOf(*r).displayList(4);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "page 4 does not exist: the report has 3 pages");
}

TEST(LayoutFlow, AReportWithoutRowsHasOnePageAndOneWithoutDefinitionNone) {
    auto r = makeReport(list(1, 100));
    EXPECT_EQ(layoutOf(*r).pageCount(), 1);
    EXPECT_EQ(layoutOf(*r).rowsOnPage(1), (std::pair{0L, 0L}));
    DataStore empty;
    EXPECT_EQ(layoutOf(empty).pageCount(), 0);
    auto none = layoutOf(empty).displayList(1);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().message, "the report has no definition");
    EXPECT_EQ(empty.ScrollNextPage(), -1);
    EXPECT_EQ(empty.GetObjectAtPointer(), "");
}

TEST(LayoutFlow, HostileSizesStillGivePagesThatEnd) {
    // A band taller than the paper: one row per page, cut off.
    auto tall = makeReport(list(1, 999999999));
    fill(*tall, 5);
    EXPECT_EQ(layoutOf(*tall).pageCount(), 5);
    // Bands of no height: every row on one page, nothing drawn for them.
    auto flat = makeReport(list(1, 0) +
                           "column(band=detail id=1 x=\"0\" y=\"0\" width=\"50\" "
                           "height=\"20\" name=n )\n");
    fill(*flat, 1000);
    EXPECT_EQ(layoutOf(*flat).pageCount(), 1);
    EXPECT_TRUE(texts(*page(*flat, 1), "n").empty());
    // Margins wider than the paper and negative sizes.
    auto squeezed = makeReport(list(1, -50, "print.margin.top=99999 print.margin.bottom=99999") +
                               "text(band=detail text=\"x\" x=\"-1e300\" y=\"0\" width=\"-5\" "
                               "height=\"1e999\" font.height=\"-99999\" name=t )\n");
    fill(*squeezed, 3);
    EXPECT_EQ(layoutOf(*squeezed).pageCount(), 1);
    EXPECT_TRUE(layoutOf(*squeezed).displayList(1).ok());
}

TEST(LayoutFlow, GroupsBreakPagesAndRestartTheirCount) {
    auto r = makeReport(
        list(1, 100) +
        "group(level=1 header.height=100 trailer.height=100 by=(\"k\" ) newpage=yes "
        "resetpagecount=yes )\n" +
        "compute(band=footer expression=\"page() + '/' + pageCount()\" x=\"0\" y=\"0\" "
        "width=\"200\" height=\"20\" name=pageno )\n" +
        "compute(band=trailer.1 expression=\"count(n for group 1)\" x=\"0\" y=\"0\" width=\"200\" "
        "height=\"20\" name=counted )\n");
    // Redefine the table with a group column.
    r = makeReport(datawindow("units=1 print.paper.size=9") +
                   "header(height=100 )\nfooter(height=100 )\ndetail(height=100 )\n"
                   "table(column=(type=long name=n dbname=\"n\" ) column=(type=char(1) name=k "
                   "dbname=\"k\" ) )\n"
                   "group(level=1 header.height=100 trailer.height=100 by=(\"k\" ) newpage=yes "
                   "resetpagecount=yes )\n"
                   "compute(band=footer expression=\"page() + '/' + pageCount()\" x=\"0\" "
                   "y=\"0\" width=\"200\" height=\"20\" name=pageno )\n"
                   "compute(band=trailer.1 expression=\"count(n for group 1)\" x=\"0\" y=\"0\" "
                   "width=\"200\" height=\"20\" name=counted )\n");
    for (int i = 1; i <= 12; ++i) {
        long row = r->InsertRow(0);
        r->SetItem(row, 1, Value(static_cast<int64_t>(i)));
        r->SetItem(row, 2, Value(i <= 2 ? "a" : "b"));
    }
    // Group a: header, 2 rows, trailer on page 1; group b starts page 2 with 10 rows: 5 a page.
    EXPECT_EQ(layoutOf(*r).pageCount(), 3);
    EXPECT_EQ(texts(*page(*r, 1), "pageno"), (std::vector<std::string>{"1/1"}));
    EXPECT_EQ(texts(*page(*r, 2), "pageno"), (std::vector<std::string>{"1/2"}));
    EXPECT_EQ(texts(*page(*r, 3), "pageno"), (std::vector<std::string>{"2/2"}));
    EXPECT_EQ(texts(*page(*r, 1), "counted"), (std::vector<std::string>{"2"}));
    EXPECT_EQ(texts(*page(*r, 3), "counted"), (std::vector<std::string>{"10"}));
    EXPECT_EQ(r->Describe("Evaluate('page()', 12)"), "2");
}

// A frame whose one row holds a nested list of `rows` rows.
struct Frame {
    std::shared_ptr<MemoryLibrary> lib = std::make_shared<MemoryLibrary>();
    LibraryScope scope{lib};
    std::unique_ptr<DataStore> frame;
    DataStore* child = nullptr;

    Frame(long rows, bool autosizeRows = false) {
        lib->put(
            "d_rows",
            datawindow("units=1") +
                "header(height=30 )\nsummary(height=20 )\n"
                "detail(height=20 )\ntable(column=(type=long name=n dbname=\"n\" ) "
                "column=(type=char(200) name=t dbname=\"t\" ) )\n"
                "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" name=n )\n"
                "column(band=detail id=2 x=\"100\" y=\"0\" width=\"60\" height=\"20\" name=t" +
                std::string(autosizeRows ? " height.autosize=yes" : "") +
                " )\n"
                "compute(band=summary expression=\"sum(n for all)\" x=\"0\" y=\"0\" "
                "width=\"200\" height=\"20\" name=total )\n");
        frame = makeReport(
            datawindow("units=1 print.paper.size=9 print.margin.top=0 print.margin.bottom=0") +
            "header(height=100 )\nfooter(height=50 )\ndetail(height=100 )\n"
            "table(column=(type=char(1) name=f dbname=\"f\" ) )\ndata(\"1\" )\n"
            "text(band=header text=\"Title\" x=\"0\" y=\"0\" width=\"300\" height=\"30\" "
            "name=st_title )\n"
            "report(band=detail dataobject=\"d_rows\" x=\"0\" y=\"0\" width=\"600\" "
            "height=\"100\" height.autosize=yes trail_footer=yes name=dw_report )\n"
            "compute(band=footer expression=\"'第' + page() + '页 共' + pageCount() + '页'\" "
            "x=\"0\" y=\"0\" width=\"300\" height=\"20\" name=st_pageno )\n");
        EXPECT_EQ(frame->GetChild("dw_report", child), 1);
        std::string text;
        text.reserve(static_cast<size_t>(rows) * 16);
        text = "n\tt\n";
        for (long i = 1; i <= rows; ++i)
            text += std::to_string(i) + "\t" +
                    (autosizeRows && i % 3 == 0 ? "长备注需要换行" : "x") + "\n";
        auto imported = importRows(*child, text, "rows");
        EXPECT_TRUE(imported.ok());
    }
};

TEST(LayoutNested, AHundredThousandRowsGiveTheRightPagesAndPageNumbers) {
    Frame f(100000);
    // A4 is 1122.5 px: 100 px of header and 50 of footer leave 972.5; the list's header takes 30
    // on every page, leaving room for 47 rows of 20 px; the last page holds its summary too.
    long pages = (100000 + 46) / 47;
    EXPECT_EQ(layoutOf(*f.frame).pageCount(), pages);
    EXPECT_EQ(texts(*page(*f.frame, 1), "st_pageno"),
              (std::vector<std::string>{"第1页 共" + std::to_string(pages) + "页"}));
    auto last = page(*f.frame, pages);
    EXPECT_EQ(texts(*last, "st_pageno"),
              (std::vector<std::string>{"第" + std::to_string(pages) + "页 共" +
                                        std::to_string(pages) + "页"}));
    EXPECT_EQ(texts(*last, "total"), (std::vector<std::string>{"5000050000"}));
    auto middle = page(*f.frame, 1000);
    EXPECT_EQ(texts(*middle, "n").front(), std::to_string(999 * 47 + 1));
    EXPECT_EQ(layoutOf(*f.frame).pageOfNestedRow("dw_report", 47001), 1001);
    EXPECT_EQ(layoutOf(*f.frame).pageOfNestedRow("dw_report", 100000), pages);
    EXPECT_EQ(layoutOf(*f.frame).pageOfNestedRow("dw_nothing", 1), -1);
    // The nested list's objects are tagged with the report they come from.
    const PlacedObject* n = placed(*middle, "n");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->tag.report, "dw_report");
    EXPECT_EQ(n->tag.row, 46954);
}

TEST(LayoutNested, FirstPageMeasuresOnlyItsOwnRows) {
    auto metrics = std::make_shared<CountingMetrics>();
    installDefaultFontMetrics(metrics);
    Frame f(3000, true);
    // The frame's footer asks for the page count: take it out to see the first page alone.
    EXPECT_EQ(f.frame->Modify("destroy st_pageno"), "");
    metrics->calls = 0;
    page(*f.frame, 1);
    long firstPage = metrics->calls;
    EXPECT_LT(firstPage, 400);
    metrics->calls = 0;
    long pages = layoutOf(*f.frame).pageCount();
    long allRows = metrics->calls;
    EXPECT_GT(allRows, 3000);
    // A change to the frame lays its pages out again from the rows already measured.
    metrics->calls = 0;
    EXPECT_EQ(f.frame->Modify("st_title.text='Other'"), "");
    EXPECT_EQ(layoutOf(*f.frame).pageCount(), pages);
    EXPECT_EQ(metrics->calls, 0);
    // A change to one row measures that row again, not the others.
    f.child->SetItem(1500, "t", Value("很长很长很长很长的备注"));
    EXPECT_EQ(layoutOf(*f.frame).pageCount(), pages);
    EXPECT_LT(metrics->calls, 20);
    EXPECT_GT(metrics->calls, 0);
    // A change to the list's header keeps the heights of its rows.
    metrics->calls = 0;
    EXPECT_EQ(f.child->Modify("DataWindow.Header.Height=40"), "");
    layoutOf(*f.frame).pageCount();
    EXPECT_EQ(metrics->calls, 0);
    installDefaultFontMetrics(nullptr);
}

TEST(LayoutNested, NestedReportsMeasureWithTheMetricsGivenToTheFrame) {
    Frame f(100, true);
    auto metrics = std::make_shared<CountingMetrics>();
    layoutOf(*f.frame).setFontMetrics(metrics);
    EXPECT_EQ(layoutOf(*f.child).fontMetrics(), metrics);
    layoutOf(*f.frame).pageCount();
    EXPECT_GT(metrics->calls, 100);
    layoutOf(*f.frame).setFontMetrics(nullptr);
    EXPECT_NE(layoutOf(*f.child).fontMetrics(), metrics);
}

TEST(LayoutNested, ANestedReportThatKeepsItsBoxShowsWhatFits) {
    Frame f(50);
    EXPECT_EQ(f.frame->Modify("dw_report.height.autosize=no"), "");
    EXPECT_EQ(layoutOf(*f.frame).pageCount(), 1);
    auto p = page(*f.frame, 1);
    // 100 px: the list's header and three rows of 20 px, cut off at the box.
    EXPECT_EQ(texts(*p, "n"), (std::vector<std::string>{"1", "2", "3"}));
    for (const auto& item : p->items) {
        if (item.tag.report == "dw_report") {
            EXPECT_TRUE(item.clip.has_value());
        }
    }
}

// --- preview ------------------------------------------------------------------------------------

TEST(LayoutPreview, PagesMoveAndAnswerTheRowAtTheirTop) {
    auto r = makeReport(list(1, 100));
    fill(*r, 20);
    ReportLayout& l = layoutOf(*r);
    EXPECT_EQ(l.currentPage(), 1);
    EXPECT_EQ(r->ScrollPriorPage(), 1);
    EXPECT_EQ(r->ScrollNextPage(), 8);
    EXPECT_EQ(l.currentPage(), 2);
    EXPECT_EQ(r->ScrollNextPage(), 15);
    EXPECT_EQ(r->ScrollNextPage(), 15);  // the last page stays
    EXPECT_EQ(l.currentPage(), 3);
    EXPECT_EQ(r->ScrollToRow(9), 1);
    EXPECT_EQ(l.currentPage(), 2);
    EXPECT_EQ(r->GetRow(), 9);
    EXPECT_EQ(r->ScrollToRow(0), 1);  // the first row, on the first page
    EXPECT_EQ(l.currentPage(), 1);
    EXPECT_EQ(l.setCurrentPage(4), -1);
    EXPECT_EQ(l.currentPage(), 1);
    EXPECT_EQ(l.setCurrentPage(3), 1);
    // Fewer rows: the preview stays on the last page there is.
    for (int i = 0; i < 15; ++i) r->DeleteRow(1);
    EXPECT_EQ(l.currentPage(), 1);
    EXPECT_EQ(r->SetRowFocusIndicator(RowFocusIndicator::Hand), 1);
    EXPECT_EQ(l.rowFocusIndicator(), RowFocusIndicator::Hand);
}

TEST(LayoutPreview, ANestedListsLastRowShowsTheFramesLastPage) {
    Frame f(1000);
    long pages = layoutOf(*f.frame).pageCount();
    EXPECT_EQ(f.child->ScrollToRow(f.child->RowCount()), 1);
    EXPECT_EQ(layoutOf(*f.frame).currentPage(), pages);
    EXPECT_EQ(f.child->ScrollToRow(48), 1);
    EXPECT_EQ(layoutOf(*f.frame).currentPage(), 2);
}

// --- hit testing and dragging, in each unit system ----------------------------------------------

// A length of the platform's units (a pixel is 32/7 across and 4 down) in units of `units`,
// so that the objects below are of one size on paper in every unit system.
long inUnits(int units, long platformUnits) {
    double inches = platformUnits / 384.0;
    switch (units) {
        case 1:
            return std::lround(inches * 96);
        case 2:
            return std::lround(inches * 1000);
        case 3:
            return std::lround(inches * 2540);
        default:
            return platformUnits;
    }
}

// Objects at known places: a header text, detail texts (one without a name), a footer line.
std::string pointerReport(int units) {
    auto u = [&](long v) { return "\"" + std::to_string(inUnits(units, v)) + "\""; };
    return datawindow("units=" + std::to_string(units) + " print.paper.size=9") +
           "header(height=" + u(200) + " )\nfooter(height=" + u(200) +
           " )\ndetail(height=" + u(200) + " )\ntable(column=(type=long name=n dbname=\"n\" ) )\n" +
           "text(band=header text=\"head\" x=" + u(100) + " y=" + u(20) + " width=" + u(400) +
           " height=" + u(100) + " name=st_head moveable=1 resizeable=1 )\n" +
           "column(band=detail id=1 x=" + u(100) + " y=" + u(20) + " width=" + u(400) +
           " height=" + u(100) + " name=n moveable=1 )\n" +
           "text(band=detail text=\"fixed\" x=" + u(600) + " y=" + u(20) + " width=" + u(300) +
           " height=" + u(100) + " name=st_fixed )\n" + "text(band=detail text=\"?\" x=" + u(1400) +
           " y=" + u(20) + " width=" + u(100) + " height=" + u(100) + " )\n" +
           "line(band=footer x1=" + u(100) + " y1=" + u(100) + " x2=" + u(900) + " y2=" + u(100) +
           " name=ln_foot resizeable=1 moveable=1 )\n";
}

class LayoutPointer : public testing::TestWithParam<int> {};

TEST_P(LayoutPointer, ObjectsAndBandsUnderThePointer) {
    auto r = makeReport(pointerReport(GetParam()));
    fill(*r, 3);
    auto p = page(*r, 1);
    ReportLayout& l = layoutOf(*r);
    auto at = [&](PagePoint point) {
        l.setPointer(point);
        return std::pair{r->GetObjectAtPointer(), r->GetBandAtPointer()};
    };
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(at(centre(placed(*p, "n", 2)->box)), (P{"n\t2", "detail\t2"}));
    // The same place given in the report's own units.
    PagePoint n2 = centre(placed(*p, "n", 2)->box);
    double perX = placed(*p, "n", 2)->box.width / inUnits(GetParam(), 400);
    double perY = placed(*p, "n", 2)->box.height / inUnits(GetParam(), 100);
    l.setPointerInUnits(n2.x / perX, n2.y / perY);
    EXPECT_EQ(r->GetObjectAtPointer(), "n\t2");
    EXPECT_NEAR(l.pointerInUnits().first, n2.x / perX, 1e-9);
    // Over the header the row is the page's first, over the footer its last.
    EXPECT_EQ(at(centre(placed(*p, "st_head")->box)), (P{"st_head\t1", "header\t1"}));
    const PlacedObject* line = placed(*p, "ln_foot");
    EXPECT_EQ(at({line->from.x + 5, line->from.y + 1}), (P{"ln_foot\t3", "footer\t3"}));
    // An unnamed object answers nothing; neither does the page outside the bands.
    const PlacedObject* unnamed = placed(*p, "", 1);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(at(centre(unnamed->box)), (P{"", "detail\t1"}));
    EXPECT_EQ(at({1, 1}), (P{"", ""}));
    const PlacedObject* gap = placed(*p, "n", 3);
    EXPECT_EQ(at({gap->box.x - 1, gap->box.y}), (P{"", "detail\t3"}));
}

TEST_P(LayoutPointer, DraggingWritesTheNewGeometryInTheReportsUnits) {
    auto r = makeReport(pointerReport(GetParam()));
    fill(*r, 3);
    ReportLayout& l = layoutOf(*r);
    auto p = page(*r, 1);
    const PlacedObject* head = placed(*p, "st_head");
    // Points per unit across and down, from where the object was placed.
    int units = GetParam();
    long x = inUnits(units, 100), y = inUnits(units, 20), w = inUnits(units, 400),
         h = inUnits(units, 100);
    double perX = head->box.width / w, perY = head->box.height / h;
    auto geometry = [&](long a, long b, long c, long d) {
        return std::to_string(a) + "\n" + std::to_string(b) + "\n" + std::to_string(c) + "\n" +
               std::to_string(d);
    };
    // Move by 25 units across and 10 down.
    PagePoint start = centre(head->box);
    ASSERT_TRUE(l.beginDrag(start));
    EXPECT_TRUE(l.drag()->edges.moving());
    EXPECT_TRUE(l.moveDrag({start.x + 10 * perX, start.y}));
    EXPECT_NEAR(l.drag()->box.x, head->box.x + 10 * perX, 1e-9);
    EXPECT_EQ(l.endDrag({start.x + 25 * perX, start.y + 10 * perY}), 1);
    EXPECT_EQ(r->Describe("st_head.x st_head.y st_head.width st_head.height"),
              geometry(x + 25, y + 10, w, h));
    // Resize from the bottom-right corner of the moved object.
    p = page(*r, 1);
    head = placed(*p, "st_head");
    ASSERT_TRUE(l.beginDrag({head->box.right(), head->box.bottom()}));
    EXPECT_EQ(l.drag()->edges, (DragEdges{false, false, true, true}));
    EXPECT_EQ(l.endDrag({head->box.right() + 50 * perX, head->box.bottom() - 5 * perY}), 1);
    EXPECT_EQ(r->Describe("st_head.x st_head.y st_head.width st_head.height"),
              geometry(x + 25, y + 10, w + 50, h - 5));
    // From the left edge: x and width change together, and never below one unit of width.
    p = page(*r, 1);
    head = placed(*p, "st_head");
    ASSERT_TRUE(l.beginDrag({head->box.x, centre(head->box).y}));
    EXPECT_EQ(l.drag()->edges, (DragEdges{true, false, false, false}));
    EXPECT_EQ(l.endDrag({head->box.right() + 100, centre(head->box).y}), 1);
    EXPECT_EQ(r->Describe("st_head.x st_head.width"), std::to_string(x + 25 + w + 50 - 1) + "\n1");
    // A line's end point moves alone.
    p = page(*r, 1);
    const PlacedObject* line = placed(*p, "ln_foot");
    ASSERT_TRUE(l.beginDrag(line->to));
    EXPECT_EQ(l.endDrag({line->to.x - 100 * perX, line->to.y + 50 * perY}), 1);
    EXPECT_EQ(r->Describe("ln_foot.x1 ln_foot.y1 ln_foot.x2 ln_foot.y2"),
              geometry(inUnits(units, 100), inUnits(units, 100), inUnits(units, 900) - 100,
                       inUnits(units, 100) + 50));
    // An object that is neither moveable nor resizeable stays; so does a click without moving.
    p = page(*r, 1);
    EXPECT_FALSE(l.beginDrag(centre(placed(*p, "st_fixed", 1)->box)));
    EXPECT_EQ(l.endDrag({0, 0}), -1);
    ASSERT_TRUE(l.beginDrag(centre(placed(*p, "n", 1)->box)));
    EXPECT_EQ(l.endDrag(centre(placed(*p, "n", 1)->box)), 0);
}

INSTANTIATE_TEST_SUITE_P(Units, LayoutPointer, testing::Values(0, 1, 2, 3));

TEST(LayoutPointerExpressions, DraggingKeepsAnExpressionOnTheGeometry) {
    auto r = makeReport(datawindow("units=1 print.paper.size=9") + "detail(height=100 )\n" +
                        "table(column=(type=long name=n dbname=\"n\" ) )\ndata(1 )\n" +
                        "text(band=detail text=\"x\" x=\"10~tif(n > 5, 300, 10)\" y=\"0\" "
                        "width=\"100\" height=\"50\" moveable=1 name=st_x )\n");
    auto p = page(*r, 1);
    ReportLayout& l = layoutOf(*r);
    ASSERT_TRUE(l.beginDrag(centre(placed(*p, "st_x")->box)));
    EXPECT_EQ(l.endDrag({centre(placed(*p, "st_x")->box).x + 15, 40}), 1);
    EXPECT_EQ(r->Describe("st_x.x"), "\"30\tif(n > 5, 300, 10)\"");
}

// --- rows from tab-separated text ---------------------------------------------------------------

TEST(LayoutRowImport, RowsAreReadOrRefusedWholeWithTheLineNamed) {
    auto r = makeReport(datawindow("units=1") +
                        "table(column=(type=long name=n dbname=\"n\" ) column=(type=date name=d "
                        "dbname=\"d\" ) column=(type=char(5) name=s dbname=\"s\" ) )\n"
                        "data(7 \"2024-01-01\" \"keep\" )\n");
    auto refused = [&](const std::string& text) {
        auto result = importRows(*r, text, "in.tsv");
        EXPECT_FALSE(result.ok());
        return result.ok() ? std::string() : result.error().message;
    };
    EXPECT_EQ(refused(""), "in.tsv line 1: the first line must name the columns");
    EXPECT_EQ(refused("n\tx\n1\t2\n"), "in.tsv line 1: the report has no column 'x'");
    EXPECT_EQ(refused("n\td\n1\t2024-02-30\n"),
              "in.tsv line 2: '2024-02-30' does not fit column 'd', which holds a date "
              "(YYYY-MM-DD)");
    EXPECT_EQ(refused("n\n1\n99999999999999999999\n"),
              "in.tsv line 3: '99999999999999999999' does not fit column 'n', which holds a "
              "whole number");
    EXPECT_EQ(refused("n\ts\n1\n"),
              "in.tsv line 2: it has 1 values where the first line names 2 "
              "columns");
    // Nothing was lost on the way.
    EXPECT_EQ(r->RowCount(), 1);
    EXPECT_EQ(r->GetItemString(1, "s").value_or(""), "keep");
    auto read = importRows(*r, "s\tn\r\nab\t\r\n\t3\r\n\r\n", "in.tsv");
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), 2);
    EXPECT_TRUE(r->GetItem(1, "n")->isNull());
    EXPECT_EQ(r->GetItemString(2, "s").value_or("null"), "");
    EXPECT_EQ(r->GetItemString(2, "n").value_or(""), "3");
}

}  // namespace

namespace {

// --- what the painter relies on -----------------------------------------------------------------

TEST(LayoutColours, DefinitionColoursBecomeRgbOrTransparent) {
    EXPECT_EQ(resolveColor(255), 0xFF0000u);       // red is 255 in blue-green-red
    EXPECT_EQ(resolveColor(16711680), 0x0000FFu);  // blue
    EXPECT_EQ(resolveColor(32768), 0x008000u);
    EXPECT_EQ(resolveColor(536870912), std::nullopt);  // transparent
    EXPECT_EQ(resolveColor(553648127), std::nullopt);  // transparent with a cached white
    EXPECT_EQ(resolveColor(570425344), std::nullopt);  // transparent and window text
    EXPECT_EQ(resolveColor(1073741824), 0xFFFFFFu);    // window background
    EXPECT_EQ(resolveColor(1090519039), 0xFFFFFFu);    // ... whatever low bits it carries
    EXPECT_EQ(resolveColor(33554432), 0x000000u);      // window text
    EXPECT_EQ(resolveColor(67108864), 0xF0F0F0u);      // button face
    EXPECT_EQ(resolveColor(134217746), 0x000000u);     // system colour 18, button text
    EXPECT_EQ(resolveColor(134217752), 0xFFFFE1u);     // system colour 24, tooltip background
    EXPECT_EQ(resolveColor(-1), 0x000000u);
}

TEST(LayoutDump, TextIsQuotedAndNumbersRounded) {
    PageDisplayList page;
    page.page = 2;
    page.paperWidth = 100.004;
    page.paperHeight = -0.001;
    TextRun run;
    run.text = "a\"b\\c\td\ne";
    run.font.face = "宋体";
    run.font.size = 9;
    run.font.italic = true;
    run.box = {1.006, 2.5, 3, 4};
    page.items.push_back({{"t", "detail", 3, "dw_report"}, run, std::nullopt, 0xABCDEF});
    EXPECT_EQ(dumpDisplayList(page),
              "page 2 paper=100x0 printable=0,0,0,0\n"
              "text [detail 3 t @dw_report] 1.01,2.5,3,4 base=0 w=0 font=\"宋体\",9,400,italic "
              "color=000000 left \"a\\\"b\\\\c\\td\\ne\" bg=abcdef\n");
}

// --- bands and nested reports -------------------------------------------------------------------

TEST(LayoutNested, FooterAtTheSlicesBottomOrAfterItsRowsAndAnEmptyList) {
    Frame f(100);
    EXPECT_EQ(f.child->Modify("DataWindow.Footer.Height=20"), "");
    EXPECT_EQ(f.child->Modify("create text(band=footer text=\"page end\" x=\"0\" y=\"0\" "
                              "width=\"100\" height=\"20\" name=st_end )"),
              "");
    auto endOf = [&](long n) {
        auto p = page(*f.frame, n);
        for (const auto& b : p->bands)
            if (b.tag.band == "footer" && b.tag.report == "dw_report") return b.box.y;
        return -1.0;
    };
    double trailing = endOf(1);
    EXPECT_EQ(f.frame->Modify("dw_report.trail_footer=no"), "");
    double bottom = endOf(1);
    // At the bottom the footer sits just above the frame's footer (50 px = 37.5 pt).
    EXPECT_NEAR(bottom, page(*f.frame, 1)->paperHeight - 37.5 - 15, 1e-6);
    EXPECT_LT(trailing, bottom);
    // Without rows the list still shows its header and summary.
    f.child->Reset();
    auto p = page(*f.frame, 1);
    std::vector<std::string> bands;
    for (const auto& b : p->bands)
        if (b.tag.report == "dw_report") bands.push_back(b.tag.band);
    EXPECT_EQ(bands, (std::vector<std::string>{"header", "summary", "footer"}));
    EXPECT_EQ(texts(*p, "total"), (std::vector<std::string>{"0"}));
}

TEST(LayoutFlow, AHugeTextGrowingWithItsLinesGoesOnPageAfterPage) {
    auto r = makeReport(datawindow("units=1 print.paper.size=9") + "detail(height=20 )\n" +
                        "table(column=(type=char(4000000) name=t dbname=\"t\" ) )\n" +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"10\" height=\"20\" "
                        "height.autosize=yes name=t )\n");
    r->SetItem(r->InsertRow(0), 1, Value(std::string(300000, 'x')));
    // One character a line, at most 65,536 lines: page after page of them, none lost.
    const PageSetup setup = layoutOf(*r).pageSetup();
    const double perPage = std::floor(setup.printable().height / 12);
    EXPECT_EQ(layoutOf(*r).pageCount(), static_cast<long>(std::ceil(65536 / perPage)));
    EXPECT_EQ(texts(*page(*r, 1), "t").size(), static_cast<size_t>(perPage));
    EXPECT_EQ(texts(*page(*r, 2), "t").size(), static_cast<size_t>(perPage));
}

// Content taller than a page: an autosize row goes on at a line boundary on the next page; a
// band of fixed height that no page holds is an error naming it.
TEST(LayoutFlow, ARowTallerThanAPageGoesOnAtALineBoundary) {
    // Row 2 holds a remark of 300 lines; the rows around it are one line each.
    std::string remark;
    std::vector<std::string> lines;
    for (int i = 1; i <= 300; ++i) {
        lines.push_back("line " + std::to_string(i));
        remark += lines.back() + (i < 300 ? "\n" : "");
    }
    auto t = makeReport(datawindow("units=1 print.paper.size=9 print.margin.top=96 "
                                   "print.margin.bottom=96") +
                        "header(height=20 )\nfooter(height=20 )\ndetail(height=20 )\n" +
                        "table(column=(type=char(10000) name=memo dbname=\"memo\" ) )\n" +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"300\" height=\"20\" "
                        "height.autosize=yes name=memo )\n" +
                        "text(band=footer text=\"footer\" x=\"0\" y=\"0\" width=\"300\" "
                        "height=\"20\" name=foot )\n");
    t->SetItem(t->InsertRow(0), 1, Value(std::string("before")));
    t->SetItem(t->InsertRow(0), 1, Value(remark));
    t->SetItem(t->InsertRow(0), 1, Value(std::string("after")));
    const long pages = layoutOf(*t).pageCount();
    ASSERT_GT(pages, 2);
    std::vector<std::string> printed;
    for (long n = 1; n <= pages; ++n) {
        auto p = page(*t, n);
        const double bottom = p->printable.bottom();
        for (const auto& item : p->items) {
            const auto* run = std::get_if<TextRun>(&item.shape);
            if (!run || item.tag.object != "memo") continue;
            printed.push_back(run->text);
            // Every line stands whole on its page, above the footer.
            EXPECT_GE(run->box.y, p->printable.y - 1e-6) << n;
            EXPECT_LE(run->box.bottom(), bottom - 15 + 1e-6) << n;
        }
        EXPECT_EQ(texts(*p, "foot"), (std::vector<std::string>{"footer"})) << n;
    }
    std::vector<std::string> expected = {"before"};
    expected.insert(expected.end(), lines.begin(), lines.end());
    expected.push_back("after");
    EXPECT_EQ(printed, expected);
    // The remark begins on a page of its own (it does not fit below row 1); the pages it goes
    // on to do not count as where a row begins.
    EXPECT_EQ(layoutOf(*t).pageOfRow(2), 2);
    EXPECT_EQ(layoutOf(*t).pageOfRow(3), pages);
    EXPECT_TRUE(layoutOf(*t).checkBands().ok());
}

TEST(LayoutFlow, AFixedBandNoPageHoldsIsAnErrorNamingIt) {
    auto tall = makeReport(datawindow("units=1 print.paper.size=9") +
                           "header(height=100000 )\ndetail(height=20 )\n"
                           "table(column=(type=long name=n dbname=\"n\" ) )\n");
    fill(*tall, 3);
    Status fits = layoutOf(*tall).checkBands();
    ASSERT_FALSE(fits.ok());
    EXPECT_EQ(fits.error().message,
              "the band \"header\" is 75000.0 pt high, more than the 805.9 pt a page holds of it");
    auto detail = makeReport(list(1, 20) + "column(band=detail id=1 x=\"0\" y=\"0\" "
                                           "width=\"50\" height=\"20\" name=n )\n");
    fill(*detail, 3);
    ASSERT_EQ(detail->Modify("DataWindow.Detail.Height=1200"), "");
    fits = layoutOf(*detail).checkBands();
    ASSERT_FALSE(fits.ok());
    EXPECT_EQ(fits.error().message.rfind("the band \"detail\" is 900.0 pt high", 0), 0u)
        << fits.error().message;
    ASSERT_EQ(detail->Modify("DataWindow.Detail.Height=20"), "");
    EXPECT_TRUE(layoutOf(*detail).checkBands().ok());
    // Yet every row is still laid out, in slices, never lost.
    ASSERT_EQ(detail->Modify("DataWindow.Detail.Height=1200"), "");
    long rows = 0;
    for (long n = 1; n <= layoutOf(*detail).pageCount(); ++n)
        for (const auto& o : page(*detail, n)->objects) rows += o.tag.object == "n";
    EXPECT_GE(rows, 3);
}

// A number wider than its box runs past it on the side its alignment leaves free, one warning
// an object and page; text is cut at its box.
TEST(LayoutText, ANumberIsDrawnWholeAndTextIsCutAtItsBox) {
    auto r = makeReport(list(1, 20) +
                        "column(band=detail id=1 alignment=\"1\" x=\"100\" y=\"0\" "
                        "width=\"20\" height=\"20\" format=\"#,##0.00\" name=n )\n"
                        "compute(band=detail alignment=\"0\" expression=\"n * 1000\" x=\"200\" "
                        "y=\"0\" width=\"20\" height=\"40\" format=\"#,##0\" name=big )\n"
                        "compute(band=detail expression=\"'text ' + string(n)\" x=\"300\" "
                        "y=\"0\" width=\"20\" height=\"20\" name=words )\n");
    fill(*r, 3);
    auto p = page(*r, 1);
    int numbers = 0;
    for (const auto& item : p->items) {
        const auto* run = std::get_if<TextRun>(&item.shape);
        if (!run) continue;
        if (item.tag.object == "n" || item.tag.object == "big") {
            ++numbers;
            ASSERT_GT(run->textWidth, run->box.width);
            // Whole: nothing clips it across, and it stays one line however tall its box.
            if (item.clip) {
                EXPECT_LE(item.clip->x, 0);
                EXPECT_GE(item.clip->right(), p->paperWidth);
            }
        } else if (item.tag.object == "words") {
            ASSERT_TRUE(item.clip);
            EXPECT_EQ(item.clip->width, run->box.width);
        }
    }
    EXPECT_EQ(numbers, 6);
    EXPECT_EQ(p->warnings, (std::vector<std::string>{"n (1.00) is wider than its box",
                                                     "big (1,000) is wider than its box"}));
    EXPECT_NE(dumpDisplayList(*p).find("warning \"n (1.00) is wider than its box\""),
              std::string::npos);
}

TEST(LayoutFlow, ExpressionsSeeTheCurrentRowAndThePages) {
    auto r = makeReport(list(1, 100) +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"50\" height=\"20\" "
                        "font.weight=\"400~tif(currentrow() = getrow(), 700, 400)\" name=n )\n" +
                        "compute(band=detail expression=\"page()\" x=\"60\" y=\"0\" width=\"50\" "
                        "height=\"20\" name=pg )\n");
    fill(*r, 20);
    auto weightOf = [&](long row) {
        for (const auto& item : page(*r, 1)->items)
            if (const auto* t = std::get_if<TextRun>(&item.shape);
                t && item.tag.object == "n" && item.tag.row == row)
                return t->font.weight;
        return 0;
    };
    EXPECT_EQ(weightOf(1), 700);
    EXPECT_EQ(weightOf(2), 400);
    r->SetRow(2);
    EXPECT_EQ(weightOf(1), 400);
    EXPECT_EQ(weightOf(2), 700);
    EXPECT_EQ(texts(*page(*r, 3), "pg").front(), "3");
    EXPECT_EQ(r->Describe("Evaluate('pagecount()', 1) Evaluate('page()', 15)"), "3\n3");
}

TEST(LayoutPointerGrid, DraggingAGridColumnMovesItFromWhereItIsShown) {
    auto r = makeReport(datawindow("units=1 processing=1 print.paper.size=9") +
                        "header(height=20 )\ndetail(height=20 )\n"
                        "table(column=(type=long name=a dbname=\"a\" ) column=(type=long name=b "
                        "dbname=\"b\" ) column=(type=long name=c dbname=\"c\" ) )\ndata(1 2 3 )\n"
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
                        "name=a moveable=1 )\n"
                        "column(band=detail id=2 x=\"100\" y=\"0\" width=\"100\" height=\"20\" "
                        "name=b visible=\"0\" )\n"
                        "column(band=detail id=3 x=\"200\" y=\"0\" width=\"100\" height=\"20\" "
                        "name=c moveable=1 )\n");
    auto p = page(*r, 1);
    // b is hidden, so c is shown where b would be.
    EXPECT_NEAR(placed(*p, "c")->box.x - placed(*p, "a")->box.x, 75, 1e-9);
    ReportLayout& l = layoutOf(*r);
    // c moves 60 px left of where it is shown (100), not of its x (200).
    PagePoint c = centre(placed(*p, "c")->box);
    ASSERT_TRUE(l.beginDrag(c));
    EXPECT_EQ(l.endDrag({c.x - 60 * 0.75, c.y}), 1);
    EXPECT_EQ(r->Describe("c.x"), "40");
    p = page(*r, 1);
    EXPECT_LT(placed(*p, "a")->box.x, placed(*p, "c")->box.x);
    PagePoint a = centre(placed(*p, "a")->box);
    ASSERT_TRUE(l.beginDrag(a));
    EXPECT_EQ(l.endDrag({a.x + 50 * 0.75, a.y}), 1);
    EXPECT_EQ(r->Describe("a.x"), "50");
    p = page(*r, 1);
    EXPECT_LT(placed(*p, "c")->box.x, placed(*p, "a")->box.x);
}

// A total goes with its grid column wherever the grid shows it, at its own distance from it:
// the one whose aggregate names the column, and the one whose box spans the column's alone.
TEST(LayoutPointerGrid, TotalsGoWithTheirColumnWhereverTheGridShowsIt) {
    auto r = makeReport(
        datawindow("units=1 processing=1 print.paper.size=9") +
        "header(height=20 )\nsummary(height=20 )\ndetail(height=20 )\n"
        "table(column=(type=long name=a dbname=\"a\" ) column=(type=long name=b dbname=\"b\" ) "
        "column=(type=long name=c dbname=\"c\" ) )\ndata(1 2 3 4 5 6 )\n"
        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" name=a )\n"
        "column(band=detail id=2 x=\"100\" y=\"0\" width=\"100\" height=\"20\" name=b )\n"
        "column(band=detail id=3 x=\"200\" y=\"0\" width=\"100\" height=\"20\" name=c )\n"
        "compute(band=summary expression=\"sum(c for all)\" x=\"230\" y=\"0\" width=\"70\" "
        "height=\"20\" name=sum_c )\n"
        "text(band=summary text=\"b\" x=\"95\" y=\"0\" width=\"110\" height=\"20\" "
        "name=under_b )\n"
        "text(band=summary text=\"all\" x=\"0\" y=\"0\" width=\"300\" height=\"20\" "
        "name=across )\n"
        "compute(band=summary expression=\"'c: ' + string(sum(c for all))\" x=\"0\" y=\"0\" "
        "width=\"90\" height=\"20\" name=elsewhere )\n");
    auto offset = [&](const PageDisplayList& p, const char* total, const char* column) {
        return (placed(p, total)->box.x - placed(p, column, 1)->box.x) / 0.75;
    };
    auto p = page(*r, 1);
    EXPECT_NEAR(offset(*p, "sum_c", "c"), 30, 1e-9);
    EXPECT_NEAR(offset(*p, "under_b", "b"), -5, 1e-9);
    const double across = placed(*p, "across")->box.x;
    ASSERT_EQ(r->Modify("a.width='150'"), "");
    p = page(*r, 1);
    EXPECT_NEAR(placed(*p, "c", 1)->box.x - placed(*p, "a", 1)->box.x, 250 * 0.75, 1e-9);
    EXPECT_NEAR(offset(*p, "sum_c", "c"), 30, 1e-9);
    EXPECT_NEAR(offset(*p, "under_b", "b"), -5, 1e-9);
    // A text that spans several columns belongs to none of them; a field that names a column
    // but is not under it goes with the column it is under.
    EXPECT_NEAR(placed(*p, "across")->box.x, across, 1e-9);
    EXPECT_NEAR(offset(*p, "elsewhere", "a"), 0, 1e-9);
    // A hidden column takes its totals with it.
    ASSERT_EQ(r->Modify("b.visible='0'"), "");
    p = page(*r, 1);
    EXPECT_EQ(placed(*p, "under_b"), nullptr);
    EXPECT_NEAR(offset(*p, "sum_c", "c"), 30, 1e-9);
}

}  // namespace

namespace {

TEST(LayoutText, CellsShowWhatGetItemTextShows) {
    auto r = makeReport(
        datawindow("units=1 print.paper.size=9") + "detail(height=20 )\n" +
        "table(column=(type=decimal(2) name=amount dbname=\"amount\" ) column=(type=char(1) "
        "name=state dbname=\"state\" values=\"open\tO/closed\tC/\" ) column=(type=date name=d "
        "dbname=\"d\" ) column=(type=long name=flag dbname=\"flag\" ) )\n" +
        "data(1234.5 \"C\" \"2024-03-05\" 1 -7 \"O\" null 0 )\n" +
        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" name=plain )\n" +
        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
        "editmask.mask=\"###,##0.00\" name=masked )\n" +
        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
        "format=\"0.0~tif(amount < 0, '(0.00)', '0.0')\" name=formatted )\n" +
        "column(band=detail id=2 x=\"0\" y=\"0\" width=\"100\" height=\"20\" ddlb.limit=0 "
        "name=state )\n" +
        "column(band=detail id=3 x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
        "format=\"yyyy年mm月dd日;无\" name=d )\n" +
        "column(band=detail id=4 x=\"0\" y=\"0\" width=\"100\" height=\"20\" "
        "checkbox.text=\"已审\" checkbox.on=\"1\" checkbox.off=\"0\" name=flag )\n");
    auto p = page(*r, 1);
    // GetItemText shows a column with its first column object; layout shows every object of a
    // column with its own format.
    for (const char* name : {"plain", "state", "d", "flag"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(texts(*p, name),
                  (std::vector<std::string>{r->GetItemText(1, name), r->GetItemText(2, name)}));
    }
    EXPECT_EQ(texts(*p, "masked"), (std::vector<std::string>{"1,234.50", "-7.00"}));
    EXPECT_EQ(texts(*p, "formatted"), (std::vector<std::string>{"1234.5", "-(7.00)"}));
    EXPECT_EQ(texts(*p, "state"), (std::vector<std::string>{"closed", "open"}));
    EXPECT_EQ(texts(*p, "d"), (std::vector<std::string>{"2024年03月05日", "无"}));
}

}  // namespace

// A column or computed field with barcode.type draws its value as bars; one that cannot be
// encoded draws nothing on paper, a red cross on screen only, and warns once a page.
TEST(LayoutBarcodes, AValueIsBarsAndOneThatCannotBeEncodedIsWarnedOf) {
    auto r = makeReport(list(1, 60) +
                        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"200\" height=\"60\" "
                        "format=\"#,##0\" barcode.type=\"ean13~tif(n > 0, 'ean13', '')\" "
                        "name=n )\n"
                        "compute(band=detail expression=\"'bill ' + string(n)\" x=\"220\" y=\"0\" "
                        "width=\"200\" height=\"60\" barcode.type=code128 barcode.text=no "
                        "name=code )\n");
    for (const int64_t value : {int64_t{6905123470003}, int64_t{6905123470004}, int64_t{-5}})
        r->SetItem(r->InsertRow(0), 1, Value(value));
    r->SetItem(r->InsertRow(0), 1, Value());
    auto p = page(*r, 1);
    std::map<long, int> bars, crosses;
    std::vector<std::string> runs;
    for (const auto& item : p->items) {
        const auto* shape = std::get_if<BoxShape>(&item.shape);
        if (item.tag.object == "n" && shape && item.previewOnly) crosses[item.tag.row]++;
        // Bars are filled black; the cell's own white background is not one.
        if (item.tag.object == "n" && shape && !item.previewOnly &&
            shape->brush.style == BrushStyle::Solid && shape->brush.color == 0)
            bars[item.tag.row]++;
        if (item.tag.object == "n" && std::holds_alternative<LineShape>(item.shape) &&
            item.previewOnly)
            crosses[item.tag.row]++;
        if (const auto* t = std::get_if<TextRun>(&item.shape)) runs.push_back(t->text);
    }
    // The value itself is encoded, not its display format ("6,905,123,470,003").
    EXPECT_GT(bars[1], 20);
    EXPECT_EQ(crosses[1], 0);
    EXPECT_EQ(bars[2], 0);      // a wrong check digit: nothing a scanner could misread
    EXPECT_EQ(crosses[2], 3);   // the box and its two diagonals, on screen
    EXPECT_EQ(bars[3] + crosses[3], 0);  // the expression chose no barcode: text
    EXPECT_EQ(bars[4] + crosses[4], 0);  // null: nothing
    EXPECT_NE(std::find(runs.begin(), runs.end(), "-5"), runs.end());
    // The human-readable digits under the EAN-13; none under the code without them.
    EXPECT_NE(std::find(runs.begin(), runs.end(), "905123"), runs.end());
    EXPECT_EQ(std::count(runs.begin(), runs.end(), "bill 6905123470003"), 0);
    EXPECT_EQ(p->warnings, (std::vector<std::string>{
                               "n (6905123470004) cannot be drawn as EAN-13: Error 275: Invalid "
                               "check digit '4', expecting '3'"}));
    // A value too long for its code is quoted shortened and on one line.
    auto longValue = makeReport(list(1, 60) +
                                "compute(band=detail expression=\"fill('x', 300) + '~r~n' + "
                                "string(n)\" x=\"0\" y=\"0\" width=\"200\" height=\"60\" "
                                "barcode.type=code128 name=code )\n");
    longValue->SetItem(longValue->InsertRow(0), 1, Value(int64_t{7}));
    auto lp = page(*longValue, 1);
    ASSERT_EQ(lp->warnings.size(), 1u);
    EXPECT_EQ(lp->warnings[0].substr(0, 50), "code (" + std::string(40, 'x') + "…)");
    EXPECT_EQ(lp->warnings[0].find('\n'), std::string::npos);
    // Within its box, every bar.
    const PlacedObject* box = placed(*p, "n", 1);
    ASSERT_TRUE(box);
    for (const auto& item : p->items)
        if (const auto* bar = std::get_if<BoxShape>(&item.shape);
            bar && item.tag.row == 1 && item.tag.object == "n" && bar->brush.color == 0) {
            EXPECT_GE(bar->box.x, box->box.x - 1e-6);
            EXPECT_LE(bar->box.right(), box->box.right() + 1e-6);
        }
}

// --- the preview's first page and pages mended after a change -----------------------------------

TEST(LayoutPreview, AFirstPageShowsBeforeTheCountAndPaperAlwaysGetsTheCount) {
    auto metrics = std::make_shared<CountingMetrics>();
    installDefaultFontMetrics(metrics);
    {
        Frame f(3000, true);
        ReportLayout& layout = layoutOf(*f.frame);
        auto first = layout.previewList(1);
        ASSERT_TRUE(first.ok());
        // Rows of later pages are not measured for it, and its footer shows no count rather
        // than a wrong one.
        const long forFirst = metrics->calls;
        EXPECT_TRUE(first.value()->countPending);
        EXPECT_EQ(texts(*first.value(), "st_pageno"), std::vector<std::string>{});
        // Counted a few pages at a time, then shown again with the count.
        long steps = 0;
        while (!layout.countPages(8)) ++steps;
        EXPECT_GT(steps, 3);
        EXPECT_LT(forFirst * 5, metrics->calls.load());
        const long pages = layout.pageCount();
        const std::vector<std::string> counted{"第1页 共" + std::to_string(pages) + "页"};
        auto shown = layout.previewList(1);
        ASSERT_TRUE(shown.ok());
        EXPECT_FALSE(shown.value()->countPending);
        EXPECT_EQ(texts(*shown.value(), "st_pageno"), counted);
        EXPECT_EQ(dumpDisplayList(*shown.value()), dumpDisplayList(*page(*f.frame, 1)));
        // Paper never waits for a count: it asks for the whole report at once.
        layout.invalidate();
        auto preview = layout.previewList(2);
        ASSERT_TRUE(preview.ok());
        EXPECT_TRUE(preview.value()->countPending);
        auto printed = page(*f.frame, 2);
        EXPECT_FALSE(printed->countPending);
        EXPECT_EQ(texts(*printed, "st_pageno"),
                  (std::vector<std::string>{"第2页 共" + std::to_string(pages) + "页"}));
    }
    {
        // A short report, or one of rows of one height, is counted before its first page shows.
        Frame shortList(100, true);
        auto first = layoutOf(*shortList.frame).previewList(1);
        ASSERT_TRUE(first.ok());
        EXPECT_FALSE(first.value()->countPending);
        EXPECT_EQ(texts(*first.value(), "st_pageno"), (std::vector<std::string>{"第1页 共3页"}));
        Frame fixedRows(100000);
        first = layoutOf(*fixedRows.frame).previewList(1);
        ASSERT_TRUE(first.ok());
        EXPECT_FALSE(first.value()->countPending);
    }
    installDefaultFontMetrics(nullptr);
}

// Each change, then the page as mended against the page laid out afresh.
void expectMendedAsFresh(DataStore& report, long number, const std::vector<std::string>& changes) {
    page(report, number);
    for (const std::string& change : changes) {
        ASSERT_EQ(report.Modify(change), "") << change;
        const std::string mended = dumpDisplayList(*page(report, number));
        layoutOf(report).invalidate();
        EXPECT_EQ(mended, dumpDisplayList(*page(report, number))) << "after " << change;
    }
}

TEST(LayoutChanges, AMovedObjectIsDrawnAgainAloneAndThePageIsAsLaidOutAfresh) {
    auto metrics = std::make_shared<CountingMetrics>();
    installDefaultFontMetrics(metrics);
    Frame f(3000, true);
    EXPECT_EQ(f.frame->Modify("create text(band=header text=\"Sub\" x=\"0\" y=\"40\" "
                              "width=\"300\" height=\"30\" name=st_sub moveable=1 )\n"
                              "create line(band=header x1=\"0\" y1=\"90\" x2=\"600\" y2=\"90\" "
                              "name=ln_head )"),
              "");
    ReportLayout& layout = layoutOf(*f.frame);
    const long pages = layout.pageCount();
    page(*f.frame, 2);
    // A nudge of a header object measures nothing but that object, and keeps the pages.
    metrics->calls = 0;
    EXPECT_EQ(f.frame->Modify("st_title.x=7"), "");
    auto nudged = page(*f.frame, 2);
    EXPECT_LE(metrics->calls, 2);
    EXPECT_EQ(layout.pageCount(), pages);
    EXPECT_EQ(placed(*nudged, "st_title")->box.x, placed(*page(*f.frame, 2), "st_title")->box.x);
    expectMendedAsFresh(
        *f.frame, 2,
        {"st_title.x=9 st_sub.y=45", "ln_head.x2=500", "st_pageno.x=20", "st_sub.visible=0",
         "st_sub.visible=1", "st_title.y=-10", "st_title.text='Another'", "st_sub.height=200",
         // Made again as the designer makes its selection marks.
         "destroy ln_head create line(band=header x1=\"0\" y1=\"95\" "
         "x2=\"600\" y2=\"95\" name=ln_head )",
         // Not mended but laid out again: a band's height, a list object.
         "DataWindow.Header.Height=120", "dw_report.x=10"});
    installDefaultFontMetrics(nullptr);
}

// A report changed object by object is drawn as the same report read afresh: what was made of
// an object before is used again only while the object and the table's columns are the same.
TEST(LayoutChanges, ChangedColumnsAndObjectsDrawAsTheReportReadAfresh) {
    auto r = makeReport(
        "release 9;\ndatawindow(units=0 )\ndetail(height=72 )\n"
        "table(column=(type=char(10) name=a dbname=\"a\" ) column=(type=char(10) name=b "
        "dbname=\"b\" ) column=(type=long name=c dbname=\"c\" ) )\n"
        "data(\"a1\" \"b1\" 1 \"a2\" \"b2\" 2 )\n"
        "column(band=detail id=1 x=\"0\" y=\"0\" width=\"300\" height=\"60\" name=a )\n"
        "column(band=detail id=2 x=\"300\" y=\"0\" width=\"300\" height=\"60\" name=b )\n"
        "column(band=detail id=3 x=\"600\" y=\"0\" width=\"300\" height=\"60\" name=c )\n");
    page(*r, 1);
    for (const char* change :
         {"c.values='one\t1/two\t2/'", "destroy column b", "a.x=20", "c.values=''",
          "create column(band=detail id=2 x=\"900\" y=\"0\" "
          "width=\"300\" height=\"60\" name=c2 )"}) {
        ASSERT_EQ(r->Modify(change), "") << change;
        auto fresh = makeReport(r->syntax());
        EXPECT_EQ(dumpDisplayList(*page(*r, 1)), dumpDisplayList(*page(*fresh, 1)))
            << "after " << change;
    }
}
