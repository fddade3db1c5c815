// The display list of one printed page: everything a painter draws, already laid out.
//
// Layout turns a report and its rows into one `PageDisplayList` per page. The painter (screen,
// PNG, PDF, printer), hit testing and the golden tests all read it; none of them looks at the
// report definition again. Items are listed in drawing order: later items are drawn over
// earlier ones.
//
// Geometry: every coordinate and length is in points (1/72 inch) as a double, with the origin
// at the top-left corner of the paper and y growing downwards. Page size, margins, the print
// scale and the report's units are already applied; the preview zoom is not (the view applies
// it). Colours are 0xRRGGBB; system colours and the definition's transparent colours are
// resolved by layout (transparent means the item has no brush or background).
//
// Each item is tagged with where it comes from: the object name (empty for an unnamed object
// or for a band's own background and the grid lines), the band as Describe(name.band) answers
// it ("header", "detail", "summary", "footer", "header.1", "trailer.1", "foreground",
// "background"), the row of that report it shows (0 where no row applies), and the nested
// report it belongs to as the path of report object names from the outermost report
// ("" for the outermost, "dw_report" for its nested report, "dw_report/dw_sub" one deeper).
//
// A number (a numeric column or computed field) is drawn whole: where it is wider than its box it
// runs past the box on the side its alignment leaves free, and the page carries a warning naming
// the object. Text is cut off at its box.
//
// `dumpDisplayList` writes a page as stable text, one line per item, for golden tests and
// `printctl render --dump`; its format changes only when the display list gains information.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "layout/font_metrics.h"

namespace print::layout {

struct PagePoint {
    double x = 0;
    double y = 0;

    friend bool operator==(const PagePoint&, const PagePoint&) = default;
};

struct PageRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool contains(PagePoint p) const {
        return p.x >= x && p.x <= right() && p.y >= y && p.y <= bottom();
    }
    friend bool operator==(const PageRect&, const PageRect&) = default;
};

// pen.style of the definition: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none.
enum class PenStyle { Solid, Dash, Dot, DashDot, DashDotDot, None };

struct Pen {
    PenStyle style = PenStyle::Solid;
    double width = 0;  // points; 0 is the thinnest line the device draws
    uint32_t color = 0;

    friend bool operator==(const Pen&, const Pen&) = default;
};

// brush.hatch of the definition: 0 horizontal, 1 bdiagonal (/), 2 vertical, 3 cross,
// 4 fdiagonal (\), 5 diagcross, 6 solid, 7 transparent.
enum class BrushStyle { Horizontal, BDiagonal, Vertical, Cross, FDiagonal, DiagCross, Solid, None };

struct Brush {
    BrushStyle style = BrushStyle::None;
    uint32_t color = 0;  // the fill, or the hatch lines' colour

    friend bool operator==(const Brush&, const Brush&) = default;
};

enum class TextAlign { Left, Right, Center, Justify };

// One laid-out line of a text, column or computed field (an object with several lines gives
// one run per line, top to bottom).
struct TextRun {
    std::string text;  // UTF-8, without the line break; trailing blanks of a wrapped line dropped
    FontSpec font;
    uint32_t color = 0;
    // Where the line goes within `box`. Justify spreads the line's spare width over its blanks,
    // or between its characters when it has no blank (Chinese text); the last line of a
    // paragraph is never Justify but Left.
    TextAlign align = TextAlign::Left;
    PageRect box;           // the line's box: the object's width, one line spacing high
    double baseline = 0;    // y of the baseline (box.y + the font's ascent)
    double textWidth = 0;   // the width layout measured for `text`
    double escapement = 0;  // font.escapement in degrees, counter-clockwise (0 normally)

    friend bool operator==(const TextRun&, const TextRun&) = default;
};

struct LineShape {
    PagePoint from;
    PagePoint to;
    Pen pen;

    friend bool operator==(const LineShape&, const LineShape&) = default;
};

enum class ShapeKind { Rectangle, RoundRectangle, Ellipse };

// Rectangles, round rectangles and ellipses; also the opaque background of a text, column or
// computed field (a rectangle with no pen, listed just before the object's text runs), a band's
// colour, and the parts of an object's border.
struct BoxShape {
    ShapeKind kind = ShapeKind::Rectangle;
    PageRect box;
    Pen pen;
    Brush brush;
    // For a round rectangle: the radii of its corners (half the definition's ellipsewidth and
    // ellipseheight).
    double cornerRadiusX = 0;
    double cornerRadiusY = 0;

    friend bool operator==(const BoxShape&, const BoxShape&) = default;
};

// A picture from a file (a `bitmap` object): PNG, JPEG or BMP, scaled into `box`.
struct ImageBox {
    PageRect box;
    std::string path;  // the object's filename as written (relative paths are the caller's)
    bool invert = false;

    friend bool operator==(const ImageBox&, const ImageBox&) = default;
};

struct ItemTag {
    std::string object;  // object name; "" for unnamed objects, band colours and grid lines
    std::string band;    // "header", "detail", "header.1", "trailer.1", "summary", "footer", ...
    long row = 0;        // row of `report` shown, 0 where none applies
    std::string report;  // "" for the outermost report, else the path of report objects

    friend bool operator==(const ItemTag&, const ItemTag&) = default;
};

struct DisplayItem {
    ItemTag tag;
    std::variant<TextRun, LineShape, BoxShape, ImageBox> shape;
    // When present, drawing is limited to this rectangle (an object's box for its text, a
    // nested report's box for what it shows).
    std::optional<PageRect> clip;
    // The opaque background of a line's gaps (dashed and dotted pens) or a hatched brush's
    // gaps; nullopt when transparent.
    std::optional<uint32_t> background;
    // Shown on screen only, never on paper or in a file: the red cross of a barcode whose value
    // cannot be encoded.
    bool previewOnly = false;

    friend bool operator==(const DisplayItem&, const DisplayItem&) = default;
};

// Where an object was placed on the page, whether it drew anything or not: hit testing and the
// designer's selection marks use these. Listed in drawing order.
struct PlacedObject {
    ItemTag tag;
    std::string kind;  // "text", "column", "compute", "line", "rectangle", "report", ...
    PageRect box;      // for a line: the box spanning its two end points
    PagePoint from;    // a line's end points (unused for other kinds)
    PagePoint to;
    bool moveable = false;
    bool resizeable = false;
};

// Where a band instance was placed: the band and the row it shows (for the header and footer
// the first and last row on the page, for a group header or trailer the first and last row of
// its group, for the summary the last row).
struct PlacedBand {
    ItemTag tag;  // object is ""
    PageRect box;
};

struct PageDisplayList {
    long page = 0;          // 1-based page number in the report
    double paperWidth = 0;  // points, orientation applied
    double paperHeight = 0;
    PageRect printable;  // the paper inside the margins
    std::vector<DisplayItem> items;
    std::vector<PlacedObject> objects;
    std::vector<PlacedBand> bands;
    // What the page could not show as the data says, one line per object: a number wider than
    // its box (drawn whole past it), a picture that is missing. Batch programs print them.
    std::vector<std::string> warnings;
    // The page was laid out before the count of pages was known, and PageCount() on it shows
    // nothing (never a wrong number): the preview's first look at a long report. Paper and
    // files never get such a page.
    bool countPending = false;
};

// Stable text of a page: a "page" line, then one line per item, per placed band and per placed
// object. Numbers are rounded to two decimals without trailing zeros; text is quoted with `\"`,
// `\\`, `\t` and `\n` escaped.
std::string dumpDisplayList(const PageDisplayList& page);

}  // namespace print::layout
