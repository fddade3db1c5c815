// One band instance: where its objects go for a row (autosize heights, objects pushed down by
// those that grew, slide-up into room left by those that shrank or are hidden), how tall it is,
// and the display items of its objects.
#include <algorithm>
#include <cmath>

#include "common/text.h"
#include "engine/format.h"
#include "layout/barcode.h"
#include "layout/layout_engine.h"

namespace print::layout {
namespace {

constexpr double kEpsilon = 1e-6;
// Measured widths of one text differ in the last bits between metrics; a value this much wider
// than its box still fits it.
constexpr double kFitSlack = 0.01;
constexpr uint32_t kBlack = 0x000000;

bool isTextLike(ObjKind k) {
    return k == ObjKind::Text || k == ObjKind::Column || k == ObjKind::Compute;
}

PenStyle penStyleOf(int style) {
    switch (style) {
        case 1:
            return PenStyle::Dash;
        case 2:
            return PenStyle::Dot;
        case 3:
            return PenStyle::DashDot;
        case 4:
            return PenStyle::DashDotDot;
        case 5:
            return PenStyle::None;
        default:
            return PenStyle::Solid;
    }
}

BrushStyle brushStyleOf(int hatch) {
    switch (hatch) {
        case 0:
            return BrushStyle::Horizontal;
        case 1:
            return BrushStyle::BDiagonal;
        case 2:
            return BrushStyle::Vertical;
        case 3:
            return BrushStyle::Cross;
        case 4:
            return BrushStyle::FDiagonal;
        case 5:
            return BrushStyle::DiagCross;
        case 7:
            return BrushStyle::None;
        default:
            return BrushStyle::Solid;
    }
}

// background.mode 1 is transparent; 0 and 2 opaque.
bool opaque(const std::string& mode) {
    return trim(mode) != "1";
}

std::string joinPath(const std::string& outer, const std::string& name) {
    return outer.empty() ? name : outer + "/" + name;
}

// A value as a warning line quotes it: on one line, and long ones shortened, so that a page of
// 5,000-character values still gives readable warnings.
std::string shownInWarning(const std::string& value) {
    constexpr size_t kShown = 40;
    std::string shown = utf8Length(value) > kShown ? utf8Substr(value, 0, kShown) + "…" : value;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return shown;
}

}  // namespace

std::string LayoutEngine::text(const Prop& p, long row) {
    if (!p.expr) return p.constant;
    auto v = p.expr->evaluate(m_report, row);
    if (!v.ok() || v.value().isNull()) return p.constant;
    if (v.value().type() == ValueType::Bool) return v.value().asBool() ? "1" : "0";
    return v.value().toText();
}

double LayoutEngine::number(const Prop& p, long row, double fallback) {
    if (!p.expr) return p.number.value_or(fallback);
    std::string t = text(p, row);
    if (auto v = parseNumber(t)) return std::clamp(*v, -kLayoutLimit, kLayoutLimit);
    return p.number.value_or(fallback);
}

bool LayoutEngine::flag(const Prop& p, long row, bool fallback) {
    if (!p.expr) return p.flag.value_or(fallback);
    std::string t = asciiLower(trim(text(p, row)));
    if (t == "1" || t == "yes" || t == "true") return true;
    if (t == "0" || t == "no" || t == "false") return false;
    if (auto v = parseNumber(t)) return *v != 0;
    return p.flag.value_or(fallback);
}

std::optional<uint32_t> LayoutEngine::color(const Prop& p, long row,
                                            std::optional<uint32_t> fallback) {
    auto v = parseNumber(text(p, row));
    if (!v) return fallback;
    if (std::abs(*v) > 9.2e18) return fallback;
    return resolveColor(static_cast<int64_t>(*v));
}

FontSpec LayoutEngine::fontOf(const ObjectModel& obj, long row) {
    const LayoutModel& m = *m_model;
    FontSpec f;
    f.face = text(obj.fontFace, row);
    double h = number(obj.fontHeight, row, -10);
    double size = h < 0 ? -h * m.page.scale : h > 0 ? h * m.py : 10 * m.page.scale;
    f.size = std::clamp(size, 0.5, 2000.0);
    f.weight = static_cast<int>(std::clamp(number(obj.fontWeight, row, 400), 0.0, 1000.0));
    f.italic = flag(obj.italic, row, false);
    f.underline = flag(obj.underline, row, false);
    f.strikeOut = flag(obj.strike, row, false);
    f.charset = static_cast<int>(std::clamp(number(obj.charset, row, 0), 0.0, 255.0));
    return f;
}

std::string LayoutEngine::contentOf(const ObjectModel& obj, long row,
                                    std::optional<uint32_t>& formatColor, bool& number) {
    auto numeric = [](const Value& v) {
        return v.type() == ValueType::Number || v.type() == ValueType::Long;
    };
    switch (obj.kind) {
        case ObjKind::Column: {
            if (obj.column < 0 || row < 1 || row > m_report.RowCount()) return {};
            if (obj.plainColumn) {
                const Value value = m_report.valueAt(obj.column, row);
                auto formatted = formatValue(value, text(obj.format, row));
                if (formatted.color) formatColor = resolveColor(*formatted.color);
                number = numeric(value);
                return formatted.text;
            }
            const std::string& name = m_report.columns()[obj.column].name;
            std::string shown = m_report.GetItemText(row, name);
            std::string format = text(obj.format, row);
            // A colour prefix of the format colours the value.
            if (format.find('[') != std::string::npos) {
                auto v = m_report.GetItem(row, name);
                if (v) {
                    auto formatted = formatValue(*v, format);
                    if (formatted.color) formatColor = resolveColor(*formatted.color);
                }
            }
            return shown;
        }
        case ObjKind::Compute: {
            if (!obj.expression) return {};
            auto v = obj.expression->evaluate(m_report, row);
            if (!v.ok()) return {};
            auto formatted = formatValue(v.value(), text(obj.format, row));
            if (formatted.color) formatColor = resolveColor(*formatted.color);
            number = numeric(v.value());
            return formatted.text;
        }
        default:
            return text(obj.text, row);
    }
}

std::optional<TextBlock2> LayoutEngine::textOf(const ObjectModel& obj, long row, double width,
                                               double height, bool autosize) {
    TextBlock2 block;
    std::string content = contentOf(obj, row, block.formatColor, block.number);
    block.font = fontOf(obj, row);
    const FontMetrics& fm = *metrics();
    block.lineSpacing = std::max(fm.lineSpacing(block.font), 0.01);
    block.ascent = fm.ascent(block.font);
    if (content.empty()) return block;
    // A number is never broken into lines.
    bool wrap = !block.number && (autosize || height >= 2 * block.lineSpacing - kEpsilon);
    // What a box can show; a text growing with its lines stops at a length no page holds.
    constexpr size_t kMaxLines = 65536;
    size_t maxLines = kMaxLines;
    if (!autosize)
        maxLines = static_cast<size_t>(std::clamp(height / block.lineSpacing, 0.0, 65535.0)) + 1;
    block.lines = breakLines(fm, block.font, content, std::max(width, 0.0), wrap, maxLines);
    return block;
}

double LayoutEngine::textInset(const ObjectModel& obj) const {
    return m_model && m_model->grid && obj.gridX ? kGridTextInset : 0;
}

bool LayoutEngine::placeObject(const ObjectModel& o, long row, Placement& p) {
    const LayoutModel& m = *m_model;
    p.obj = &o;
    if (o.kind == ObjKind::Line) {
        p.from = {number(o.x1, row) * m.px, number(o.y1, row) * m.py};
        p.to = {number(o.x2, row) * m.px, number(o.y2, row) * m.py};
        double top = std::min(p.from.y, p.to.y);
        double left = std::min(p.from.x, p.to.x);
        p.box = {left, top, std::abs(p.to.x - p.from.x), std::abs(p.to.y - p.from.y)};
    } else {
        double x = o.gridX ? *o.gridX : number(o.x, row);
        p.box = {x * m.px, number(o.y, row) * m.py, std::max(0.0, number(o.width, row)) * m.px,
                 std::max(0.0, number(o.height, row)) * m.py};
    }
    p.declaredTop = p.box.y;
    p.declaredBottom = p.box.bottom();
    return !o.gridHidden && flag(o.visible, row, true);
}

BandInstance LayoutEngine::layoutBand(const BandModel& band, long row, bool forDrawing) {
    const LayoutModel& m = *m_model;
    BandInstance inst;
    double declared = std::max(0.0, number(band.height, row, 0)) * m.py;
    if (!forDrawing && band.uniform) {
        inst.height = band.fixedHeight;
        return inst;
    }
    struct Work {
        Placement p;
        bool visible = true;
        double finalTop = 0;
        double finalHeight = 0;
    };
    std::vector<Work> work;
    work.reserve(band.objects.size());
    bool changed = false;
    for (const ObjectModel* o : band.objects) {
        if (std::find(band.flows.begin(), band.flows.end(), o) != band.flows.end()) continue;
        Work w;
        w.visible = placeObject(*o, row, w.p);
        w.finalHeight = w.p.box.height;
        if (w.visible && o->autosize && isTextLike(o->kind)) {
            w.p.text =
                textOf(*o, row, std::max(0.0, w.p.box.width - 2 * textInset(*o)), w.p.box.height,
                       true);
            w.finalHeight = static_cast<double>(w.p.text->lines.size()) * w.p.text->lineSpacing;
        }
        if (!w.visible) w.finalHeight = 0;
        if (std::abs(w.finalHeight - w.p.box.height) > kEpsilon) changed = true;
        work.push_back(std::move(w));
    }
    if (changed) {
        // Objects move down by the growth of those wholly above them (only of those right
        // above them when they slide "directlyabove"); one that slides also moves up by as much
        // as the nearest object above it shrank or left room by being hidden.
        std::vector<size_t> order(work.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return work[a].p.declaredTop < work[b].p.declaredTop;
        });
        for (size_t k = 0; k < order.size(); ++k) {
            Work& o = work[order[k]];
            double push = 0;
            double nearestBottom = -std::numeric_limits<double>::infinity();
            double nearestShift = 0;
            for (size_t j = 0; j < k; ++j) {
                const Work& a = work[order[j]];
                if (a.p.declaredBottom > o.p.declaredTop + kEpsilon) continue;
                if (o.p.obj->slide == SlideUp::DirectlyAbove &&
                    (a.p.box.right() <= o.p.box.x || a.p.box.x >= o.p.box.right()))
                    continue;
                double d = a.finalTop + a.finalHeight - a.p.declaredBottom;
                push = std::max(push, d);
                if (a.p.declaredBottom > nearestBottom + kEpsilon) {
                    nearestBottom = a.p.declaredBottom;
                    nearestShift = d;
                } else if (a.p.declaredBottom > nearestBottom - kEpsilon) {
                    nearestShift = std::max(nearestShift, d);
                }
            }
            double shift = push;
            if (o.p.obj->slide != SlideUp::No && nearestShift < 0 && push <= 0)
                shift = nearestShift;
            o.finalTop = o.p.declaredTop + shift;
        }
    } else {
        for (Work& w : work) w.finalTop = w.p.declaredTop;
    }
    double growth = -std::numeric_limits<double>::infinity();
    for (Work& w : work) {
        growth = std::max(growth, w.finalTop + w.finalHeight - w.p.declaredBottom);
        double dy = w.finalTop - w.p.declaredTop;
        w.p.box.y += dy;
        w.p.from.y += dy;
        w.p.to.y += dy;
        if (w.p.obj->kind != ObjKind::Line) w.p.box.height = w.finalHeight;
        if (w.visible) inst.objects.push_back(std::move(w.p));
    }
    inst.height = declared;
    if (changed && !work.empty() && (growth > 0 || band.autosize))
        inst.height = std::max(0.0, declared + growth);
    return inst;
}

void LayoutEngine::drawBand(const BandModel& band, const BandInstance& inst, long row, double y,
                            DrawTarget& draw, const BandPart* part, const BandSlice* slice) {
    const LayoutModel& m = *m_model;
    bool whole = part == nullptr;
    double top = draw.y + y;
    // A band of no height shows nothing: its objects are cut off at its bottom.
    if (whole && inst.height <= 0) return;
    // The part of the band shown, in band coordinates.
    const double shownFrom = slice ? std::max(0.0, slice->from) : 0;
    const double shownTo = slice ? std::min(inst.height, slice->to) : inst.height;
    if (whole && shownTo <= shownFrom) return;
    const PageRect shown{draw.x, top + shownFrom, draw.width, shownTo - shownFrom};
    if (whole) {
        draw.page->bands.push_back({{"", band.name, row, draw.reportPath}, shown});
        if (auto c = color(band.color, row, std::nullopt); c && inst.height > 0)
            draw.page->items.push_back({{"", band.name, row, draw.reportPath},
                                        BoxShape{ShapeKind::Rectangle,
                                                 shown,
                                                 {PenStyle::None, 0, 0},
                                                 {BrushStyle::Solid, *c}},
                                        draw.clip,
                                        std::nullopt});
    }
    // What reaches beyond its band (or the part of it shown) is cut off there.
    std::optional<PageRect> bandClip;
    if (whole) bandClip = PageRect{0, shown.y, draw.page->paperWidth, shown.height};
    for (const Placement& p : inst.objects) {
        if (part && (p.declaredTop < part->from - kEpsilon || p.declaredTop >= part->to - kEpsilon))
            continue;
        if (slice && (p.box.bottom() <= shownFrom + kEpsilon || p.box.y >= shownTo - kEpsilon) &&
            p.box.height > 0)
            continue;
        double oy = top - (part ? part->top : 0);
        std::optional<PageRect> clip;
        if (bandClip && (oy + p.box.y < bandClip->y - kEpsilon ||
                         oy + p.box.bottom() > bandClip->bottom() + kEpsilon))
            clip = bandClip;
        drawObject(p, row, band.name, draw, draw.x, oy, clip);
    }
    // Grid lines: a line under the headings and under each row, one after each column.
    bool printed = m.gridLines == 0 || m.gridLines == 3;
    if (!m.grid || !printed || !whole || (band.name != "detail" && band.name != "header")) return;
    double left = std::numeric_limits<double>::infinity(), right = 0;
    std::vector<double> edges;
    for (const ObjectModel* o : m.detail.objects) {
        if (!o->gridX || o->gridHidden) continue;
        double x = *o->gridX * m.px;
        double w = std::max(0.0, number(o->width, row)) * m.px;
        left = std::min(left, x);
        right = std::max(right, x + w);
        edges.push_back(x + w);
    }
    if (edges.empty() || inst.height <= 0) return;
    std::sort(edges.begin(), edges.end());
    Pen pen{PenStyle::Solid, 0.75, 0xC0C0C0};
    auto line = [&](PagePoint a, PagePoint b) {
        draw.page->items.push_back(
            {{"", band.name, row, draw.reportPath}, LineShape{a, b, pen}, draw.clip, std::nullopt});
    };
    double bottom = top + shownTo;
    // In the header the lines frame the headings: what stands above them (a title, a
    // barcode) is not crossed by them.
    double cellsTop = shown.y;
    if (band.name == "header") {
        double headings = std::numeric_limits<double>::infinity();
        for (const Placement& p : inst.objects)
            if (p.obj->gridX && !p.obj->gridHidden) headings = std::min(headings, p.box.y);
        if (std::isfinite(headings)) cellsTop = std::max(shown.y, top + headings - 1.5);
    }
    if (shownTo >= inst.height) line({draw.x + left, bottom}, {draw.x + right, bottom});
    if (band.name == "header" && shownFrom <= 0)
        line({draw.x + left, cellsTop}, {draw.x + right, cellsTop});
    line({draw.x + left, cellsTop}, {draw.x + left, bottom});
    for (double e : edges) line({draw.x + e, cellsTop}, {draw.x + e, bottom});
}

double LayoutEngine::sliceEnd(const BandInstance& inst, double from, double limit) const {
    double cut = limit;
    // Each text a cut would split moves the cut up to its nearest line boundary above (to the
    // text's top when its lines are not known); repeat until no text is split.
    for (bool moved = true; moved && cut > from + kEpsilon;) {
        moved = false;
        for (const Placement& p : inst.objects) {
            if (!isTextLike(p.obj->kind)) continue;
            const double t = p.box.y, b = p.box.bottom();
            if (cut <= t + kEpsilon || cut >= b - kEpsilon) continue;
            double to = t;
            if (p.text && p.text->lineSpacing > 0) {
                const double lines = std::floor((cut - t) / p.text->lineSpacing + 1e-9);
                to = t + lines * p.text->lineSpacing;
            }
            if (to < cut - kEpsilon) {
                cut = to;
                moved = true;
            }
        }
    }
    return std::max(cut, from);
}

void LayoutEngine::drawObject(const Placement& p, long row, const std::string& band,
                              DrawTarget& draw, double ox, double oy,
                              std::optional<PageRect> bandClip) {
    const ObjectModel& o = *p.obj;
    const LayoutModel& m = *m_model;
    PageRect box{ox + p.box.x, oy + p.box.y, p.box.width, p.box.height};
    ItemTag tag{o.name, band, row, draw.reportPath};
    auto& items = draw.page->items;
    auto intersect = [](std::optional<PageRect> a, std::optional<PageRect> b) {
        if (!a) return b;
        if (!b) return a;
        double l = std::max(a->x, b->x), t = std::max(a->y, b->y);
        double r = std::min(a->right(), b->right()), btm = std::min(a->bottom(), b->bottom());
        return std::optional<PageRect>(
            PageRect{l, t, std::max(0.0, r - l), std::max(0.0, btm - t)});
    };
    std::optional<PageRect> outerClip = intersect(draw.clip, bandClip);
    auto push = [&](auto shape, std::optional<uint32_t> background = std::nullopt,
                    std::optional<PageRect> clip = std::nullopt) {
        items.push_back({tag, std::move(shape), intersect(clip, outerClip), background});
    };
    PlacedObject placed{tag, o.kindName, box, {}, {}, o.moveable, o.resizeable};

    auto pen = [&]() {
        return Pen{penStyleOf(static_cast<int>(number(o.penStyle, row, 0))),
                   std::max(0.0, number(o.penWidth, row, 0)) * m.px,
                   color(o.penColor, row, kBlack).value_or(kBlack)};
    };
    auto background = [&]() -> std::optional<uint32_t> {
        if (!opaque(text(o.bgMode, row))) return std::nullopt;
        return color(o.bgColor, row, std::nullopt);
    };
    auto border = [&]() {
        int style = static_cast<int>(number(o.border, row, 0));
        Pen thin{PenStyle::Solid, 0.75, kBlack};
        auto edge = [&](PagePoint a, PagePoint b, uint32_t c) {
            push(LineShape{a, b, {PenStyle::Solid, 0.75, c}});
        };
        PagePoint tl{box.x, box.y}, tr{box.right(), box.y}, bl{box.x, box.bottom()},
            br{box.right(), box.bottom()};
        switch (style) {
            case 1:
                push(BoxShape{ShapeKind::Rectangle, box, thin, {}});
                edge({tr.x + 1.5, tr.y + 1.5}, {br.x + 1.5, br.y + 1.5}, kBlack);
                edge({bl.x + 1.5, bl.y + 1.5}, {br.x + 1.5, br.y + 1.5}, kBlack);
                break;
            case 2:
            case 3:
                push(BoxShape{ShapeKind::Rectangle, box, thin, {}});
                break;
            case 4:
                edge(bl, br, kBlack);
                break;
            case 5:
            case 6: {
                uint32_t dark = 0x808080, light = 0xE3E3E3;
                if (style == 6) std::swap(dark, light);
                edge(tl, tr, dark);
                edge(tl, bl, dark);
                edge(bl, br, light);
                edge(tr, br, light);
                break;
            }
            default:
                break;
        }
    };

    switch (o.kind) {
        case ObjKind::Text:
        case ObjKind::Column:
        case ObjKind::Compute:
        case ObjKind::GroupBox:
        case ObjKind::Button: {
            if (o.kind == ObjKind::Button)
                push(BoxShape{ShapeKind::Rectangle,
                              box,
                              {PenStyle::Solid, 0.75, 0x808080},
                              {BrushStyle::Solid, 0xF0F0F0}});
            else if (auto bg = background(); bg && o.kind != ObjKind::GroupBox)
                push(BoxShape{
                    ShapeKind::Rectangle, box, {PenStyle::None, 0, 0}, {BrushStyle::Solid, *bg}});
            if (o.kind == ObjKind::GroupBox)
                push(BoxShape{ShapeKind::Rectangle, box, {PenStyle::Solid, 0.75, 0x808080}, {}});
            if ((o.kind == ObjKind::Column || o.kind == ObjKind::Compute) &&
                !trim(text(o.barcodeType, row)).empty()) {
                drawBarcodeOf(o, row, box, tag, draw, outerClip);
                border();
                break;
            }
            // In a grid the text keeps off the grid lines at the cell's edges.
            const double inset = textInset(o);
            PageRect textBox = box;
            textBox.x += inset;
            textBox.width = std::max(0.0, textBox.width - 2 * inset);
            std::optional<TextBlock2> block = p.text;
            if (!block) block = textOf(o, row, textBox.width, box.height, false);
            uint32_t textColor = block->formatColor ? *block->formatColor
                                                    : color(o.color, row, kBlack).value_or(kBlack);
            int alignCode = static_cast<int>(number(o.alignment, row, 0));
            TextAlign align = alignCode == 1   ? TextAlign::Right
                              : alignCode == 2 ? TextAlign::Center
                              : alignCode == 3 ? TextAlign::Justify
                                               : TextAlign::Left;
            if (o.kind == ObjKind::Button) align = TextAlign::Center;
            double escapement = number(o.escapement, row, 0) / 10;
            double lineY = box.y;
            if (o.kind == ObjKind::Button && block)
                lineY += std::max(0.0, (box.height - static_cast<double>(block->lines.size()) *
                                                         block->lineSpacing) /
                                           2);
            // A number runs past its box, within its band and the paper; text stays inside.
            std::optional<PageRect> textClip = box;
            if (block->number) {
                textClip.reset();
                if (outerClip) {
                    textClip = *outerClip;
                    textClip->x = 0;
                    textClip->width = draw.page->paperWidth;
                }
                for (const TextLine& line : block->lines) {
                    if (line.width <= textBox.width + kFitSlack) continue;
                    // One warning an object and page, for the first value that overflows.
                    const std::string who = o.name.empty() ? o.kindName : o.name;
                    auto& warnings = draw.page->warnings;
                    const bool warned =
                        std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
                            return w.rfind(who + " (", 0) == 0;
                        });
                    if (!warned)
                        warnings.push_back(who + " (" + line.text + ") is wider than its box");
                }
            }
            size_t first = 0;
            // Lines an earlier page printed (a text longer than a page) are not drawn again.
            if (outerClip && !block->number && block->lineSpacing > 0 &&
                lineY + block->lineSpacing <= outerClip->y + kEpsilon) {
                const double above = std::floor((outerClip->y - lineY) / block->lineSpacing + 1e-9);
                first = std::min(block->lines.size(), static_cast<size_t>(std::max(above, 0.0)));
                lineY += static_cast<double>(first) * block->lineSpacing;
            }
            for (size_t index = first; index < block->lines.size(); ++index) {
                const TextLine& line = block->lines[index];
                if (lineY >= box.bottom() - kEpsilon && !o.autosize && !block->number) break;
                if (lineY > draw.page->paperHeight) break;
                // Nor lines a later page prints.
                if (outerClip && lineY >= outerClip->bottom() - kEpsilon && !block->number) break;
                TextRun run;
                run.text = line.text;
                run.font = block->font;
                run.color = textColor;
                run.align =
                    align == TextAlign::Justify && line.paragraphEnd ? TextAlign::Left : align;
                run.box = {textBox.x, lineY, textBox.width, block->lineSpacing};
                run.baseline = lineY + block->ascent;
                run.textWidth = line.width;
                run.escapement = escapement;
                if (block->number)
                    items.push_back({tag, std::move(run), textClip, std::nullopt});
                else
                    push(std::move(run), std::nullopt, box);
                lineY += block->lineSpacing;
            }
            if (o.kind != ObjKind::GroupBox && o.kind != ObjKind::Button) border();
            break;
        }
        case ObjKind::Line: {
            PagePoint from{ox + p.from.x, oy + p.from.y}, to{ox + p.to.x, oy + p.to.y};
            placed.from = from;
            placed.to = to;
            push(LineShape{from, to, pen()}, background());
            break;
        }
        case ObjKind::Rectangle:
        case ObjKind::RoundRectangle:
        case ObjKind::Ellipse: {
            BoxShape shape;
            shape.kind = o.kind == ObjKind::Rectangle        ? ShapeKind::Rectangle
                         : o.kind == ObjKind::RoundRectangle ? ShapeKind::RoundRectangle
                                                             : ShapeKind::Ellipse;
            shape.box = box;
            shape.pen = pen();
            BrushStyle style = brushStyleOf(static_cast<int>(number(o.brushHatch, row, 6)));
            auto fill = color(o.brushColor, row, 0xFFFFFF);
            shape.brush = fill ? Brush{style, *fill} : Brush{BrushStyle::None, 0};
            if (shape.kind == ShapeKind::RoundRectangle) {
                shape.cornerRadiusX = std::max(0.0, number(o.ellipseWidth, row, 41)) * m.px / 2;
                shape.cornerRadiusY = std::max(0.0, number(o.ellipseHeight, row, 36)) * m.py / 2;
            }
            bool hatched =
                shape.brush.style != BrushStyle::Solid && shape.brush.style != BrushStyle::None;
            push(std::move(shape), hatched ? background() : std::nullopt);
            break;
        }
        case ObjKind::Bitmap: {
            // A picture without a file name (one the host sets at run time) shows nothing.
            std::string file = text(o.filename, row);
            if (!trim(file).empty()) push(ImageBox{box, std::move(file), o.invert});
            border();
            break;
        }
        case ObjKind::Report:
            drawNested(o, box, draw);
            border();
            break;
        case ObjKind::Graph:
            push(BoxShape{ShapeKind::Rectangle, box, {PenStyle::Solid, 0.75, 0x808080}, {}});
            break;
        case ObjKind::Other:
            break;
    }
    draw.page->objects.push_back(std::move(placed));
}

void LayoutEngine::drawBarcodeOf(const ObjectModel& o, long row, const PageRect& box,
                                 const ItemTag& tag, DrawTarget& draw,
                                 std::optional<PageRect> clip) {
    // The value itself, not as a display format shows it: a format's commas would be bars.
    std::string value;
    if (o.kind == ObjKind::Column) {
        if (o.column >= 0 && row >= 1 && row <= m_report.RowCount()) {
            const Value v = m_report.valueAt(o.column, row);
            if (!v.isNull()) value = v.toText();
        }
    } else if (o.expression) {
        auto v = o.expression->evaluate(m_report, row);
        if (v.ok() && !v.value().isNull()) value = v.value().toText();
    }
    if (value.empty()) return;
    const std::string type = trim(text(o.barcodeType, row));
    const uint32_t ink = color(o.color, row, kBlack).value_or(kBlack);
    auto& items = draw.page->items;
    auto drawing =
        drawBarcode(type, value, flag(o.barcodeText, row, true), box, fontOf(o, row), *metrics());
    if (drawing.ok()) {
        for (const PageRect& bar : drawing.value().bars)
            items.push_back({tag,
                             BoxShape{ShapeKind::Rectangle, bar, {PenStyle::None, 0, 0},
                                      {BrushStyle::Solid, ink}},
                             clip,
                             std::nullopt});
        for (TextRun& run : drawing.value().texts) {
            run.color = ink;
            items.push_back({tag, std::move(run), clip, std::nullopt});
        }
        return;
    }
    // Never a wrong code: on paper nothing, on screen an empty box crossed out in red.
    const std::string who = o.name.empty() ? o.kindName : o.name;
    auto& warnings = draw.page->warnings;
    if (std::none_of(warnings.begin(), warnings.end(),
                     [&](const std::string& w) { return w.rfind(who + " (", 0) == 0; }))
        warnings.push_back(who + " (" + shownInWarning(value) + ") cannot be drawn as " +
                           barcodeTypeTitle(type) + ": " + drawing.error().message);
    const Pen red{PenStyle::Solid, 0.75, 0xFF0000};
    DisplayItem frame{tag, BoxShape{ShapeKind::Rectangle, box, red, {}}, clip, std::nullopt};
    frame.previewOnly = true;
    items.push_back(frame);
    DisplayItem down{tag, LineShape{{box.x, box.y}, {box.right(), box.bottom()}, red}, clip,
                     std::nullopt};
    down.previewOnly = true;
    items.push_back(down);
    DisplayItem up{tag, LineShape{{box.x, box.bottom()}, {box.right(), box.y}, red}, clip,
                   std::nullopt};
    up.previewOnly = true;
    items.push_back(up);
}

// A nested report that keeps its box: what of it fits is shown, the rest is cut off.
void LayoutEngine::drawNested(const ObjectModel& obj, const PageRect& box, DrawTarget& draw) {
    if (!obj.child) return;
    LayoutEngine& child = layoutOf(*obj.child).layoutEngine();
    FlowMode mode = obj.trailFooter ? FlowMode::NestedTrailing : FlowMode::NestedBottom;
    FlowPos start = child.begin();
    WalkResult measured = child.walk(start, box.height, true, mode, nullptr);
    DrawTarget sub = draw;
    sub.x = box.x;
    sub.y = box.y;
    sub.width = box.width;
    sub.reportPath = joinPath(draw.reportPath, obj.name);
    sub.clip = box;
    child.m_context = PageContext{draw.physical, measured.firstRow, measured.lastRow, draw.top};
    if (draw.touched) draw.touched->push_back(&child);
    child.walk(start, box.height, true, mode, &sub);
}

}  // namespace print::layout
