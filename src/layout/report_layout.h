// Page layout of a report: its pages, the display list of each page, the preview state, hit
// testing and moving or resizing objects with the mouse.
//
// Every report has one `ReportLayout` (`layoutOf(report)`), made on first use; it is also the
// report's `engine::ReportPages`, through which the engine asks for page numbers. It reads the
// report through its model (bands, groups, objects, print properties, rows) and lays it out
// lazily: the first page is found without looking at the rows of later pages, the page count
// without building any page's display list, and only the display lists asked for are built (a
// few recent ones are kept). What it worked out is kept until the report changes: a Modify
// lays the pages out again from row heights already measured, and a changed cell measures its
// own row again; a nested report keeps its own measurements when only the outer report
// changed.
//
// Pages come from the print properties: Print.Paper.Size (the platform's paper numbering;
// 0 is the default paper, A4; 256 is a custom size from Print.CustomPage.Width and Length in the
// report's units), Print.Orientation (1 landscape), Print.Margin.*, Print.Scale (a factor; 0 or
// nothing is 1). Bands flow as the platform prints them: the header at the top of every page,
// the footer at its bottom, group headers, detail rows and group trailers, the summary after
// the last row; nested reports whose height grows with their rows break across pages with
// their header repeated.
//
// Placing objects in a band instance: a text, column or computed field with height.autosize is
// as tall as its lines; objects wholly below an object that grew move down with it, and one
// marked slideup moves up by as much as the nearest object above it shrank (or all of it, when
// that one is hidden). A band grows with its objects; with height.autosize it also shrinks.
// What reaches beyond its band is cut off there. Text wraps when its box holds two lines or
// grows with them (between any two Chinese characters, at blanks in other text), else it is one
// line cut off at the box. A nested report shows its own rows for each row of the report that
// holds it (nested arguments do not select rows); its footer follows its rows with trail_footer,
// else it sits at the bottom of the room the report has on the page. A grid (processing 1) places
// its detail fields left to right in the order of their x, hidden ones taking no room; headings
// and the fields of other bands at a field's x go with it.
//
// Failures: layout itself never fails. A property that does not read as a number counts as 0,
// an expression that cannot be evaluated gives the property's default, and an unknown paper
// code is A4. Functions that take a page or a position answer -1, "" or an Error when there is
// no such page or nothing is there, as each says. Nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/result.h"
#include "engine/report_pages.h"
#include "layout/display_list.h"
#include "layout/font_metrics.h"

namespace print::layout {

using engine::DataStore;
using engine::RowFocusIndicator;
class LayoutEngine;

// The paper and margins of a report's pages, read from its print properties.
struct PageSetup {
    int paperSize = 0;  // the code asked for (0: the default paper)
    bool landscape = false;
    double paperWidth = 0;  // points, orientation applied
    double paperHeight = 0;
    double marginLeft = 0;  // points
    double marginTop = 0;
    double marginRight = 0;
    double marginBottom = 0;
    double scale = 1;  // the factor the report's content is printed at

    PageRect printable() const;
};

// Which edges of an object a drag moves: all four when it moves the object, one or two when it
// resizes it from an edge or a corner. For a line, left and top stand for its first end point
// (x1, y1), right and bottom for its second.
struct DragEdges {
    bool left = false;
    bool top = false;
    bool right = false;
    bool bottom = false;

    bool moving() const { return left && top && right && bottom; }
    friend bool operator==(const DragEdges&, const DragEdges&) = default;
};

// What a press of the left button takes: the topmost named object of the report whose own box
// holds the point (for a line, the point lies within ReportLayout::kGrip of it), and what a drag
// from there does to it. Within kGrip of an edge, inside the box, a resizeable object is resized
// from that edge (from that corner near two edges); elsewhere a moveable one is moved. A press
// beside an object takes nothing, however near it is. The view, the engine's drag and the
// designer all decide by this one answer.
struct Press {
    std::string object;  // "" over nothing, or over an unnamed object on top
    std::string band;
    long row = 0;
    std::string kind;
    PageRect box;    // the object's box (for a line, the box spanning its end points)
    PagePoint from;  // a line's end points
    PagePoint to;
    DragEdges edges;  // none: a drag from here changes nothing

    bool drags() const { return !object.empty() && edges != DragEdges{}; }
};

// A band of fixed height taller than a page holds: its name ("detail", "trailer.1",
// "dw_report.detail" in a nested report), and when it is the header and footer together that
// leave no room, the footer's name in `alongWith`; its height and the room, in points.
struct TallBand {
    std::string band;
    std::string alongWith;
    double height = 0;
    double room = 0;
};

// A drag under way: the object, the edges being moved and where the object would be if the
// drag ended now (for the view to draw its outline).
struct DragState {
    std::string object;
    std::string band;
    long row = 0;
    DragEdges edges;
    PageRect start;  // the object's box when the drag began
    PageRect box;    // its box now
    PagePoint from;  // a line's end points now (unused for other kinds)
    PagePoint to;
};

class ReportLayout final : public engine::ReportPages {
public:
    explicit ReportLayout(DataStore& report);
    ~ReportLayout() override;
    ReportLayout(const ReportLayout&) = delete;
    ReportLayout& operator=(const ReportLayout&) = delete;

    // --- fonts ------------------------------------------------------------------------------
    // The metrics this report and the reports nested in it measure text with; null returns to
    // those of the report it is nested in, or the process default.
    void setFontMetrics(std::shared_ptr<const FontMetrics> metrics);
    std::shared_ptr<const FontMetrics> fontMetrics() const;

    // --- pages ------------------------------------------------------------------------------
    PageSetup pageSetup() const;
    // The number of pages; at least 1 for a report with a definition (a report without rows
    // prints its header, summary and footer), 0 for a report without one.
    long pageCount() override;
    // Whether every band of fixed height fits on a page (those of nested reports included): a
    // taller one would print in slices across pages, so printing refuses it with an Error
    // naming the band and the heights. `tallBand` gives the first such band, for a message of
    // one's own.
    Status checkBands();
    std::optional<TallBand> tallBand();
    // The display list of page `page` (1-based); an Error naming the page count when there is
    // no such page.
    Result<std::shared_ptr<const PageDisplayList>> displayList(long page);
    // The display list of page `page` as the preview first shows it: laid out without waiting
    // for the rest of a long report. When the count of pages is not known after a few pages
    // more, PageCount() on the page answers null (a footer "page 1 of N" shows nothing rather
    // than a wrong N) and the list says countPending; once countPages has finished the count,
    // this gives the page with it. Paper and files take displayList, never this.
    Result<std::shared_ptr<const PageDisplayList>> previewList(long page);
    // Lays out up to `pages` more pages towards the page count, so that a caller can finish it
    // a little at a time; true once the count is known (pageCount() then answers at once).
    bool countPages(long pages);
    // The page on which row `row` of the report begins; -1 when there is no such row.
    long pageOfRow(long row) override;
    // The page on which row `row` of the nested report shown by object `reportObject` begins;
    // -1 when there is no such object or row.
    long pageOfNestedRow(std::string_view reportObject, long row) override;
    // The first and last row of the report on page `page`; {0, 0} when the page shows none.
    std::pair<long, long> rowsOnPage(long page) override;
    // Forgets everything worked out, as if the report had changed entirely.
    void invalidate();

    // --- preview ----------------------------------------------------------------------------
    // The page the preview shows (1-based; 0 for a report without pages).
    long currentPage() override;
    // Shows page `page`; 1, or -1 when there is no such page (the shown page stays).
    int setCurrentPage(long page) override;
    // Print.Preview.Zoom in percent (100 when not a positive number; at most 1000) and
    // Print.Preview.Rulers.
    int previewZoom() const;
    bool previewRulers() const;
    RowFocusIndicator rowFocusIndicator() const { return m_focusIndicator; }
    void setRowFocusIndicator(RowFocusIndicator indicator) override {
        m_focusIndicator = indicator;
    }

    // --- pointer and hit testing, in points on the shown page -------------------------------
    void setPointer(PagePoint point) { m_pointer = point; }
    PagePoint pointer() const { return m_pointer; }
    // The pointer in the report's own units (its `units`), measured from the paper's top-left
    // corner, as scripts and the window layer give it.
    void setPointerInUnits(double x, double y) { m_pointer = pointInUnits(x, y); }
    // A point or offset given in the report's own units, in points.
    PagePoint pointInUnits(double x, double y) const;
    std::pair<double, double> pointerInUnits() const;
    // What a press at `point` takes (see Press); an empty Press over nothing.
    Press pressAt(PagePoint point);
    // "name<TAB>row" of the object a press at the pointer takes, "" over nothing (or over an
    // unnamed object). Over a header the row is the first row on the page, over a footer the
    // last one.
    std::string objectAtPointer() override;
    // "band<TAB>row" of the band under the pointer, "" over nothing.
    std::string bandAtPointer() override;

    // --- moving and resizing with the mouse, in points on the shown page --------------------
    // Starts the drag a press at `point` makes (pressAt). False when it drags nothing.
    bool beginDrag(PagePoint point);
    // Starts the drag of `press`, taken at `point` before whatever the press itself changed in
    // the report (a window that draws grips around the object it selects).
    bool beginDrag(const Press& press, PagePoint point);
    // Moves the drag to `point`; false when no drag is under way.
    bool moveDrag(PagePoint point);
    // The drag follows the pointer only to an inch beyond the paper's edges, where the preview
    // still shows it: an object is never dragged out of reach. The press point is held to the
    // same bounds, so a release where the button went down changes nothing, wherever that is.
    PagePoint onPaper(PagePoint point) const;
    static constexpr double kDragBeyondPaper = 72;
    // Ends the drag at `point` and writes the new geometry into the definition, as Modify would
    // in the report's units: x, y, width and height (x1, y1, x2, y2 for a line). 1 when the
    // geometry changed, 0 when it did not, -1 when no drag was under way or the change was
    // refused (the definition is then as before).
    int endDrag(PagePoint point);
    void cancelDrag() { m_drag.reset(); }
    const std::optional<DragState>& drag() const { return m_drag; }

    // --- for the report's expressions (Page(), PageCount(), aggregates for page) -------------
    long pageForExpression(long row) const override;
    long pageCountForExpression() const override;
    std::pair<long, long> pageRangeForExpression(long row) const override;

    // The engine behind this layout, for the layouts of outer reports.
    LayoutEngine& layoutEngine() { return *m_engine; }

    // Margin in points inside an edge within which a drag resizes rather than moves (at most a
    // quarter of the object's size, so that a small object can still be moved); also how near
    // a line a press takes it.
    static constexpr double kGrip = 3;

private:
    std::unique_ptr<LayoutEngine> m_engine;
    RowFocusIndicator m_focusIndicator = RowFocusIndicator::Off;
    PagePoint m_pointer;
    long m_currentPage = 1;
    std::optional<DragState> m_drag;
    bool m_dragLine = false;
    PagePoint m_dragOrigin;
    PagePoint m_dragFrom;  // a dragged line's end points when the drag began
    PagePoint m_dragTo;
};

// The layout of `report`, made on first use and kept with the report until it is destroyed.
ReportLayout& layoutOf(const DataStore& report);

}  // namespace print::layout
