// The layout engine behind ReportLayout: the report read into bands and objects with their
// properties compiled, the flow of bands and rows into pages, and the page builder.
//
// A report's body is a flow of items: for each row the headers of the groups it begins, its
// detail band and the trailers of the groups it ends; then the summary. A band instance that
// holds nested reports growing with their rows is split into segments (the band's own parts
// between them, and each nested report's flow), so that it can break across pages. A position
// in the flow (`FlowPos`) names the item and, inside a split band, the segment and the
// position in the nested report's own flow.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/datastore.h"
#include "engine/expression.h"
#include "layout/display_list.h"
#include "layout/layout_text.h"
#include "layout/layout_units.h"
#include "layout/report_layout.h"

namespace print::layout {

// The layout reads the report through the engine's model throughout.
using namespace print::engine;

// A property value: a constant, or `default<TAB>expression` evaluated per row.
struct Prop {
    std::string constant;
    std::shared_ptr<const Expression> expr;
    // The constant read once as a number (clamped to what layout takes) and as a flag, so that
    // rows do not read the text again.
    std::optional<double> number;
    std::optional<bool> flag;
};

enum class ObjKind {
    Text,
    Column,
    Compute,
    Line,
    Rectangle,
    RoundRectangle,
    Ellipse,
    Bitmap,
    Report,
    GroupBox,
    Button,
    Graph,
    Other
};

enum class SlideUp { No, AllAbove, DirectlyAbove };

struct ObjectModel {
    const ReportObject* source = nullptr;
    ObjKind kind = ObjKind::Other;
    std::string name;
    std::string kindName;
    std::string band;  // lower case
    Prop x, y, width, height, x1, y1, x2, y2, visible, border, color, bgMode, bgColor;
    Prop fontFace, fontHeight, fontWeight, italic, underline, strike, charset, escapement;
    Prop alignment, text, format, penStyle, penWidth, penColor, brushHatch, brushColor;
    Prop filename, ellipseWidth, ellipseHeight;
    Prop barcodeType, barcodeText;  // a column or computed field drawn as a barcode
    std::shared_ptr<const Expression> expression;  // a computed field's
    int column = -1;                               // a column object's table column
    bool plainColumn = false;  // shows its value through its format alone (no code table)
    bool autosize = false;
    bool moveable = false;
    bool resizeable = false;
    bool trailFooter = false;
    bool invert = false;
    bool variable = false;  // geometry or visibility varies by row
    SlideUp slide = SlideUp::No;
    // Of all its attributes, and of all but its position and size: what tells a moved object
    // from a changed one when the definition changes.
    uint64_t fingerprint = 0;
    uint64_t looks = 0;
    DataStore* child = nullptr;   // a report object's nested report
    std::optional<double> gridX;  // where a grid places it (report units)
    bool gridHidden = false;
};

struct BandModel {
    std::string name;
    uint64_t signature = 0;  // of everything its row heights depend on
    Prop height;
    Prop color;
    bool autosize = false;
    std::vector<const ObjectModel*> objects;  // drawing order
    std::vector<const ObjectModel*> flows;    // nested reports growing with their rows, by y
    bool uniform = true;                      // the same height for every row
    double fixedHeight = 0;                   // points, when uniform
    // Every object where it is declared, whatever the others do: one height, nothing that
    // grows, slides or holds a nested report.
    bool fixedPlaces = false;
};

struct GroupModel {
    int level = 1;
    bool newPage = false;
    bool resetPageCount = false;
    BandModel header;
    BandModel trailer;
};

struct LayoutModel {
    PageSetup page;
    UnitScale units;
    double px = 0;  // points per report unit across and down, print scale applied
    double py = 0;
    bool grid = false;
    int gridLines = 0;
    std::optional<uint32_t> background;
    BandModel header, detail, summary, footer, foreground, backgroundBand;
    std::vector<GroupModel> groups;  // by level
    std::deque<ObjectModel> objects;
    std::vector<DataStore*> children;  // the nested reports of report objects
    // Of everything but the objects: the report's, bands', groups' and columns' attributes.
    uint64_t frame = 0;
    // Of everything where the pages break depends on: page size, groups, and each band's
    // height (for a band of one height for every row, that height alone).
    uint64_t flowSignature = 0;
};

enum class Stage : uint8_t { Header, Detail, Trailer, Summary, End };

// How a report's own header and footer go with its flow: not at all (the outermost report's
// are the page's), or on every slice of a nested report, the footer after the slice's rows or
// at the bottom of the slice.
enum class FlowMode { Page, NestedTrailing, NestedBottom };

struct FlowPos {
    long row = 1;
    Stage stage = Stage::Header;
    int level = 0;                         // group index for Header and Trailer
    int segment = 0;                       // the next segment of a split band
    std::shared_ptr<const FlowPos> inner;  // position in that segment's nested report
    // Points of the band instance printed on earlier pages: a band taller than a page goes on
    // from here on the next one.
    double offset = 0;

    bool sameShape(const FlowPos& other) const;
};

// How a text, column or computed field shows in one row.
struct TextBlock2 {
    std::vector<TextLine> lines;
    FontSpec font;
    double lineSpacing = 0;
    double ascent = 0;
    std::optional<uint32_t> formatColor;  // from a colour prefix of the display format
    // A number (a numeric column shown through its format, or a computed number): one line,
    // drawn whole even where it is wider than its box.
    bool number = false;
};

struct Placement {
    const ObjectModel* obj = nullptr;
    PageRect box;  // relative to the band's origin
    PagePoint from, to;
    double declaredTop = 0;
    double declaredBottom = 0;
    std::optional<TextBlock2> text;  // measured already when it decided the height
};

struct BandInstance {
    double height = 0;
    std::vector<Placement> objects;  // visible ones, drawing order
};

class LayoutEngine;

// What Page(), PageCount() and aggregates for page see while a page is drawn.
struct PageContext {
    long physical = 1;  // the page of the outermost report
    long first = 0;     // this report's first and last row on the page
    long last = 0;
    LayoutEngine* top = nullptr;  // the report whose page is drawn
};

// Where drawn items go and what they are tagged with.
struct DrawTarget {
    PageDisplayList* page = nullptr;
    double x = 0;  // origin of the report's coordinates on the page
    double y = 0;
    double width = 0;  // of the report's area, for band boxes
    std::string reportPath;
    std::optional<PageRect> clip;
    long physical = 1;
    LayoutEngine* top = nullptr;
    std::vector<LayoutEngine*>* touched = nullptr;  // reports given a page context
};

// The rows of a nested report one walk placed.
struct NestedSlice {
    const ObjectModel* object = nullptr;
    long first = 0;
    long last = 0;
};

struct WalkResult {
    FlowPos end;
    double used = 0;
    bool done = false;
    bool placedAny = false;
    long firstRow = 0;
    long lastRow = 0;
    std::vector<NestedSlice> slices;
};

// A part of a split band: the band's own objects between nested reports, or a nested report.
struct Segment {
    const ObjectModel* flow = nullptr;  // null for a part of the band itself
    double top = 0;                     // declared, points
    double bottom = 0;
};

class LayoutEngine {
public:
    explicit LayoutEngine(DataStore& report);

    DataStore& report() { return m_report; }
    void setMetrics(std::shared_ptr<const FontMetrics> metrics);
    std::shared_ptr<const FontMetrics> metrics() const;

    // The model for the report as it is now (rebuilt after a change of its definition).
    const LayoutModel& model();
    // A key that changes whenever anything this report's pages depend on changes, its nested
    // reports included.
    uint64_t stateKey();
    // The same, leaving out this report's own definition (its changes are followed object by
    // object through the model's generations).
    uint64_t restKey();
    // A key that changes whenever where pages break may change.
    uint64_t pagesKey();

    long pageCount();
    // With `waitForCount` false, PageCount() on the page answers -1 (not known yet) when the
    // count is not known after a few pages more; the list then says countPending.
    Result<std::shared_ptr<const PageDisplayList>> page(long number, bool waitForCount = true);
    // Lays out up to `pages` more pages towards the count; true once the count is known.
    bool countPages(long pages);
    long pageOfRow(long row);
    long pageOfNestedRow(std::string_view object, long row);
    std::pair<long, long> rowsOnPage(long number);
    void invalidate();

    // While a page is drawn: the page and this report's rows on it.
    const std::optional<PageContext>& context() const { return m_context; }
    long logicalPage(long physical);
    long logicalCount(long physical);
    long pageForExpression(long row);
    long pageCountForExpression();
    std::pair<long, long> pageRangeForExpression(long row);

    // --- flow (used by outer reports on their nested ones) ----------------------------------
    FlowPos begin();
    WalkResult walk(const FlowPos& start, double avail, bool atTop, FlowMode mode,
                    DrawTarget* draw);
    long rowCount() const { return m_report.RowCount(); }

    // --- evaluation helpers -------------------------------------------------------------------
    std::string text(const Prop& p, long row);
    double number(const Prop& p, long row, double fallback = 0);
    bool flag(const Prop& p, long row, bool fallback);
    std::optional<uint32_t> color(const Prop& p, long row, std::optional<uint32_t> fallback);

private:
    friend class BandLayouter;

    void ensureModel();
    void buildModel();
    void buildBand(BandModel& band, std::string name, const AttributeList* attrs,
                   std::string_view heightName, std::string_view colorName,
                   std::string_view autosizeName);
    void applyGrid();
    static bool totalsBand(const std::string& band);
    std::unordered_map<const ObjectModel*, std::vector<ObjectModel*>> totalsUnder(
        const std::vector<ObjectModel*>& cells);
    // The properties an object model reads (layout_model.cpp), and their defaults for a kind
    // of object, made once.
    static constexpr size_t kObjectPropertyCount = 34;
    const std::array<Prop, kObjectPropertyCount>& kindDefaults(const std::string& kind);
    std::unordered_map<std::string, std::array<Prop, kObjectPropertyCount>> m_kindDefaults;
    Prop makeProp(std::string value);
    // The model each object of the report was last made into, with the attributes it was made
    // from: a change of one object (the designer's nudge of one among thousands) makes only
    // that object again. Kept while the report's table columns stay the same.
    struct MadeObject {
        std::string kind;
        std::string name;
        const DataStore* child = nullptr;
        std::vector<Attribute> attrs;
        ObjectModel model;
    };
    std::unordered_map<const ReportObject*, MadeObject> m_madeObjects;
    uint64_t m_madeColumns = 0;

    // flow
    FlowPos normalize(FlowPos pos);
    FlowPos next(FlowPos pos);
    bool itemExists(const FlowPos& pos);
    const BandModel& bandOf(const FlowPos& pos) const;
    std::string bandName(const FlowPos& pos) const;
    long rowOf(const FlowPos& pos);
    long groupEnd(int index, long row);
    long groupStart(int index, long row);
    long nextBoundary(long row);
    double itemHeight(const FlowPos& pos);
    double bandHeight(const BandModel& band, long row);
    bool splits(const BandModel& band, long row);
    std::vector<Segment> segments(const BandModel& band, long row);
    WalkResult walkSplit(const FlowPos& pos, double avail, bool atTop, DrawTarget* draw);

    // bands and objects
    BandInstance layoutBand(const BandModel& band, long row, bool forDrawing);
    // Draws the band's objects at `y` of the report's area; with `part`, only the objects that
    // begin in that part of the band, moved up by the part's top.
    struct BandPart {
        double top = 0;
        double from = 0;
        double to = 0;
    };
    // With `slice`, only that part of the band (from, to; band coordinates) shows, at `y` + from:
    // a band taller than a page is printed a page's worth at a time.
    struct BandSlice {
        double from = 0;
        double to = 0;
    };
    void drawBand(const BandModel& band, const BandInstance& instance, long row, double y,
                  DrawTarget& draw, const BandPart* part = nullptr,
                  const BandSlice* slice = nullptr);
    // Where a page's worth of a band that does not fit on a page ends: the lowest point at or
    // above `limit` that cuts no line of its texts in two (and no text whose lines are not
    // known), or `from` when every such point is at or above `from`.
    double sliceEnd(const BandInstance& instance, double from, double limit) const;
    // The band instance of a band printed in slices, kept while the report is unchanged: each
    // page of it would otherwise measure all of its text again.
    std::shared_ptr<const BandInstance> slicedInstance(const BandModel& band, long row);
    struct SlicedCache {
        std::string band;
        long row = 0;
        uint64_t key = 0;
        std::shared_ptr<const BandInstance> instance;
    };
    SlicedCache m_sliced;
    void drawObject(const Placement& p, long row, const std::string& band, DrawTarget& draw,
                    double ox, double oy, std::optional<PageRect> bandClip = std::nullopt);
    void drawNested(const ObjectModel& obj, const PageRect& box, DrawTarget& draw);
    // A column or computed field with `barcode.type`: its value as a symbol in `box`, or a
    // warning and a red cross shown on screen only when the value cannot be encoded.
    void drawBarcodeOf(const ObjectModel& obj, long row, const PageRect& box, const ItemTag& tag,
                       DrawTarget& draw, std::optional<PageRect> clip);
    std::optional<TextBlock2> textOf(const ObjectModel& obj, long row, double width, double height,
                                     bool autosize);
    std::string contentOf(const ObjectModel& obj, long row, std::optional<uint32_t>& color,
                          bool& number);
    FontSpec fontOf(const ObjectModel& obj, long row);
    // How far the text of an object keeps from its box's left and right edges: in a grid, off
    // the grid lines drawn at a cell's edges; elsewhere nothing.
    double textInset(const ObjectModel& obj) const;
    static constexpr double kGridTextInset = 1.5;  // points

    // pagination
    struct PageRun {
        long first = 1;
        long count = 1;
        FlowPos start;
        long stride = 0;
    };
    double bodyHeight(long firstRow, double& headerHeight, double& footerHeight);
    FlowPos pageStart(long number);
    WalkResult measurePage(long number);
    bool extendPages();
    void ensurePages(long upTo);
    void tryStride();
    LayoutEngine* innermost(const FlowPos& pos, const FlowPos*& innerPos);
    FlowPos advance(const FlowPos& pos, long rows);
    // A page built, with what it was built from: a change of the definition that only moved
    // objects drawn by themselves is mended into it rather than building it again.
    struct BuiltPage {
        long number = 0;
        std::shared_ptr<PageDisplayList> list;
        uint64_t restKey = 0;
        uint64_t generation = 0;
        long firstRow = 0;  // this report's rows on the page
        long lastRow = 0;
        long headerRow = 0;  // the rows its header and footer show
        long footerRow = 0;
    };
    std::shared_ptr<PageDisplayList> buildPage(long number, BuiltPage& built);
    // How many items and placed objects the last page built held.
    size_t m_pageItems = 0;
    size_t m_pageObjects = 0;
    // Where an object of a band whose objects keep their declared places goes for a row;
    // false when it is hidden.
    bool placeObject(const ObjectModel& o, long row, Placement& p);
    void checkState();

public:
    // Whether page `number` exists, laying out no further than needed to know.
    bool hasPage(long number);
    // A band of fixed height taller than the room a page leaves it, in this report or a report
    // nested in it: its name and heights; nullopt when every band fits.
    std::optional<TallBand> bandTooTall(double room, const std::string& path);
    void clearContext() { m_context.reset(); }

private:
    DataStore& m_report;
    std::shared_ptr<const FontMetrics> m_metrics;
    std::optional<LayoutModel> m_model;
    // Each new model is a generation; of the last few, which named objects alone changed (and
    // changed only what can be drawn again by themselves), or nullopt when more changed.
    uint64_t m_generation = 0;
    struct ModelChange {
        uint64_t generation = 0;
        std::optional<std::vector<std::string>> names;
    };
    std::deque<ModelChange> m_changes;
    std::optional<std::vector<std::string>> movedObjects(const LayoutModel& before,
                                                         const LayoutModel& after) const;
    bool drawnAlone(const LayoutModel& model, const ObjectModel& object) const;
    uint64_t m_modelDefinition = 0;
    uint64_t m_modelSchema = 0;
    uint64_t m_modelDefaults = 0;  // which default metrics the model was made with

    // row heights of bands whose height varies by row, by band name and row id
    // Heights by row id, NaN where not measured yet: eight bytes a row.
    struct Heights {
        uint64_t signature = 0;
        std::vector<double> byId;
    };
    std::unordered_map<std::string, Heights> m_heights;
    uint64_t m_heightsData = 0;

    // pages
    uint64_t m_pagesKey = 0;
    std::vector<PageRun> m_runs;
    std::vector<long> m_sectionStarts;  // pages where a group resets the page count
    FlowPos m_nextStart;
    bool m_complete = false;
    long m_known = 0;
    std::list<BuiltPage> m_recent;
    // Page `built` with the objects named in the changes since it was built drawn again; null
    // when they cannot be mended in (the page is then built again).
    std::shared_ptr<PageDisplayList> mendPage(const BuiltPage& built);
    // While a page is built for the preview's first look: PageCount() does not wait for the
    // rest of the report, and says so when it had to answer without the count.
    bool m_lazyCount = false;
    long m_countWalks = 0;  // pages it may still lay out for the count
    bool m_countPending = false;

    std::optional<PageContext> m_context;
};

}  // namespace print::layout
