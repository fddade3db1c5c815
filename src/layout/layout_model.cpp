// Reading the report into the layout model: page setup, bands, groups and objects with their
// properties compiled once per change of the definition.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "common/text.h"
#include "engine/property_table.h"
#include "layout/columns_under.h"
#include "layout/layout_engine.h"

namespace print::layout {
namespace {

constexpr double kPointsPerTenthMm = 72.0 / 254.0;

ObjKind kindOf(std::string_view kind) {
    if (kind == "text") return ObjKind::Text;
    if (kind == "column") return ObjKind::Column;
    if (kind == "compute") return ObjKind::Compute;
    if (kind == "line") return ObjKind::Line;
    if (kind == "rectangle") return ObjKind::Rectangle;
    if (kind == "roundrectangle") return ObjKind::RoundRectangle;
    if (kind == "ellipse") return ObjKind::Ellipse;
    if (kind == "bitmap") return ObjKind::Bitmap;
    if (kind == "report") return ObjKind::Report;
    if (kind == "groupbox") return ObjKind::GroupBox;
    if (kind == "button") return ObjKind::Button;
    if (kind == "graph") return ObjKind::Graph;
    return ObjKind::Other;
}

bool yes(std::string_view v) {
    std::string l = asciiLower(trimView(v.substr(0, v.find('\t'))));
    return l == "yes" || l == "1" || l == "true";
}

double numberOr(std::string_view text, double fallback) {
    return parseNumber(text.substr(0, text.find('\t'))).value_or(fallback);
}

bool isTextLike(ObjKind k) {
    return k == ObjKind::Text || k == ObjKind::Column || k == ObjKind::Compute;
}

uint64_t mix(uint64_t h, std::string_view s) {
    return h ^ (std::hash<std::string_view>{}(s) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

uint64_t mixAttributes(uint64_t h, const AttributeList& attrs) {
    for (const Attribute& a : attrs.items) h = mix(mix(h, a.name), a.value);
    return h;
}

uint64_t mixValue(uint64_t h, uint64_t v) {
    return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

uint64_t mixNumber(uint64_t h, double v) {
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    return mixValue(h, bits);
}

bool isGeometry(std::string_view name) {
    static constexpr std::string_view kNames[] = {"x",  "y",  "width", "height",
                                                  "x1", "y1", "x2",    "y2"};
    for (std::string_view g : kNames)
        if (iequals(name, g)) return true;
    return false;
}

// The properties an object model reads, in the order of its fields.
constexpr std::string_view kObjectPropertyNames[] = {
    "x",         "y",          "width",          "height",          "x1",
    "y1",        "x2",         "y2",             "visible",         "border",
    "color",     "background.mode", "background.color", "font.face", "font.height",
    "font.weight", "font.italic", "font.underline", "font.strikethrough", "font.charset",
    "font.escapement", "alignment", "text",        "format",          "pen.style",
    "pen.width", "pen.color",  "brush.hatch",    "brush.color",     "filename",
    "ellipsewidth", "ellipseheight", "barcode.type", "barcode.text"};

// The index of a property name among kObjectPropertyNames (any letter case), -1 for another.
int objectPropertyIndex(std::string_view name) {
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> m;
        for (size_t i = 0; i < std::size(kObjectPropertyNames); ++i)
            m.emplace(kObjectPropertyNames[i], static_cast<int>(i));
        return m;
    }();
    if (auto it = index.find(name); it != index.end()) return it->second;
    bool upper = false;
    for (char c : name) upper |= c >= 'A' && c <= 'Z';
    if (!upper) return -1;
    const std::string lower = asciiLower(name);
    auto it = index.find(lower);
    return it == index.end() ? -1 : it->second;
}

}  // namespace

const std::array<Prop, LayoutEngine::kObjectPropertyCount>& LayoutEngine::kindDefaults(
    const std::string& kind) {
    auto it = m_kindDefaults.find(kind);
    if (it != m_kindDefaults.end()) return it->second;
    std::array<Prop, kObjectPropertyCount> defaults;
    for (size_t i = 0; i < kObjectPropertyCount; ++i) {
        auto info = objectProperty(kind, kObjectPropertyNames[i]);
        if (info && info->defaultValue) defaults[i] = makeProp(std::string(*info->defaultValue));
    }
    return m_kindDefaults.emplace(kind, std::move(defaults)).first->second;
}

PageRect PageSetup::printable() const {
    return {marginLeft, marginTop, std::max(0.0, paperWidth - marginLeft - marginRight),
            std::max(0.0, paperHeight - marginTop - marginBottom)};
}

Prop LayoutEngine::makeProp(std::string value) {
    Prop p;
    size_t tab = value.find('\t');
    p.constant = tab == std::string::npos ? std::move(value) : value.substr(0, tab);
    if (auto v = parseNumber(p.constant)) p.number = std::clamp(*v, -kLayoutLimit, kLayoutLimit);
    const std::string_view word = trimView(p.constant);
    if (word == "1" || iequals(word, "yes") || iequals(word, "true")) p.flag = true;
    if (word == "0" || iequals(word, "no") || iequals(word, "false")) p.flag = false;
    if (!p.flag && p.number) p.flag = *p.number != 0;
    if (tab == std::string::npos) return p;
    // A definition may use what we cannot evaluate; the property then keeps its default.
    auto compiled = Expression::compile(std::string_view(value).substr(tab + 1));
    if (compiled.ok()) p.expr = std::move(compiled).value();
    return p;
}

void LayoutEngine::buildBand(BandModel& band, std::string name, const AttributeList* attrs,
                             std::string_view heightName, std::string_view colorName,
                             std::string_view autosizeName) {
    band.name = std::move(name);
    if (!attrs) return;
    if (const Attribute* h = attrs->find(heightName)) band.height = makeProp(h->value);
    if (const Attribute* c = attrs->find(colorName)) band.color = makeProp(c->value);
    band.autosize = yes(attrs->get(autosizeName, "no"));
}

void LayoutEngine::buildModel() {
    LayoutModel m;
    const AttributeList& dw = m_report.reportAttributes();
    auto dwNumber = [&](std::string_view name, double fallback) {
        return numberOr(dw.get(name), fallback);
    };

    // --- page ---
    int units = static_cast<int>(dwNumber("units", 0));
    m.units = UnitScale::forUnits(units);
    PageSetup& page = m.page;
    page.paperSize = static_cast<int>(dwNumber("print.paper.size", 0));
    double width = 0, height = 0;
    if (page.paperSize == kCustomPaper) {
        width = dwNumber("print.custompage.width", 0) * m.units.x;
        height = dwNumber("print.custompage.length", 0) * m.units.y;
    }
    if (!(width > 0 && height > 0)) {
        PaperSize size = paperSize(page.paperSize).value_or(*paperSize(0));
        width = size.width * kPointsPerTenthMm;
        height = size.height * kPointsPerTenthMm;
    }
    // A sheet larger than five metres is a mistake, not a paper.
    width = std::min(width, 14400.0);
    height = std::min(height, 14400.0);
    page.landscape = static_cast<int>(dwNumber("print.orientation", 0)) == 1;
    if (page.landscape) std::swap(width, height);
    page.paperWidth = width;
    page.paperHeight = height;
    // A margin the definition does not give is the platform's default, a quarter inch or so
    // (110 and 96 of its own units), whatever units the report uses.
    UnitScale platform = UnitScale::forUnits(0);
    auto margin = [&](std::string_view name, double fallback, bool across, double limit) {
        double v = dw.find(name) ? dwNumber(name, 0) * (across ? m.units.x : m.units.y)
                                 : fallback * (across ? platform.x : platform.y);
        return std::clamp(v, 0.0, std::max(0.0, limit / 2 - 1));
    };
    page.marginLeft = margin("print.margin.left", 110, true, width);
    page.marginRight = margin("print.margin.right", 110, true, width);
    page.marginTop = margin("print.margin.top", 96, false, height);
    page.marginBottom = margin("print.margin.bottom", 96, false, height);
    double scale = dwNumber("print.scale", 0);
    page.scale = scale > 0 ? std::clamp(scale, 0.05, 20.0) : 1.0;
    m.px = m.units.x * page.scale;
    m.py = m.units.y * page.scale;
    m.grid = static_cast<int>(dwNumber("processing", 0)) == 1;
    m.gridLines = static_cast<int>(dwNumber("grid.lines", 0));

    // --- bands ---
    buildBand(m.header, "header", m_report.bandAttributes("header"), "height", "color",
              "height.autosize");
    buildBand(m.detail, "detail", m_report.bandAttributes("detail"), "height", "color",
              "height.autosize");
    buildBand(m.summary, "summary", m_report.bandAttributes("summary"), "height", "color",
              "height.autosize");
    buildBand(m.footer, "footer", m_report.bandAttributes("footer"), "height", "color",
              "height.autosize");
    m.foreground.name = "foreground";
    m.backgroundBand.name = "background";
    for (size_t i = 0; i < m_report.groups().size(); ++i) {
        const AttributeList& g = m_report.groups()[i].attrs;
        GroupModel group;
        group.level = static_cast<int>(numberOr(g.get("level"), static_cast<double>(i + 1)));
        group.newPage = yes(g.get("newpage", "no"));
        group.resetPageCount = yes(g.get("resetpagecount", "no"));
        std::string level = std::to_string(group.level);
        buildBand(group.header, "header." + level, &g, "header.height", "header.color",
                  "header.height.autosize");
        buildBand(group.trailer, "trailer." + level, &g, "trailer.height", "trailer.color",
                  "trailer.height.autosize");
        m.groups.push_back(std::move(group));
    }
    std::stable_sort(m.groups.begin(), m.groups.end(),
                     [](const GroupModel& a, const GroupModel& b) { return a.level < b.level; });

    // --- objects ---
    auto bandByName = [&](const std::string& name) -> BandModel* {
        if (name == "header") return &m.header;
        if (name == "detail") return &m.detail;
        if (name == "summary") return &m.summary;
        if (name == "footer") return &m.footer;
        if (name == "foreground") return &m.foreground;
        if (name == "background") return &m.backgroundBand;
        for (auto& g : m.groups) {
            if (g.header.name == name) return &g.header;
            if (g.trailer.name == name) return &g.trailer;
        }
        return nullptr;
    };
    // A column object's model depends on the table's columns too (its index, their values).
    uint64_t columnsKey = mixValue(m_report.schemaVersion(), m_report.columns().size());
    for (const TableColumn& c : m_report.columns())
        columnsKey = mixAttributes(mix(mix(columnsKey, c.name), c.typeText), c.attrs);
    if (m_madeColumns != columnsKey) m_madeObjects.clear();
    m_madeColumns = columnsKey;
    std::unordered_map<const ReportObject*, MadeObject> made;
    made.reserve(m_madeObjects.size());
    for (const ReportObject& source : m_report.objects()) {
        if (!source.isObject) continue;
        if (auto node = m_madeObjects.extract(&source); !node.empty()) {
            const MadeObject& before = node.mapped();
            if (before.kind == source.kind && before.name == source.name &&
                before.child == source.child.get() && before.attrs == source.attrs.items) {
                // Its band may be a group's the report no longer has.
                if (bandByName(before.model.band)) m.objects.push_back(before.model);
                made.insert(std::move(node));
                continue;
            }
        }
        ObjectModel o;
        o.source = &source;
        o.kindName = source.kind;
        o.kind = kindOf(source.kind);
        o.name = source.name;
        o.band = asciiLower(source.attrs.get("band", "detail"));
        if (!bandByName(o.band)) continue;
        // The object's own attributes are read once, each matched to the property it sets;
        // properties it does not give take the kind's defaults, made once per kind.
        Prop* const fields[] = {&o.x,          &o.y,          &o.width,      &o.height,
                                &o.x1,         &o.y1,         &o.x2,         &o.y2,
                                &o.visible,    &o.border,     &o.color,      &o.bgMode,
                                &o.bgColor,    &o.fontFace,   &o.fontHeight, &o.fontWeight,
                                &o.italic,     &o.underline,  &o.strike,     &o.charset,
                                &o.escapement, &o.alignment,  &o.text,       &o.format,
                                &o.penStyle,   &o.penWidth,   &o.penColor,   &o.brushHatch,
                                &o.brushColor, &o.filename,   &o.ellipseWidth, &o.ellipseHeight,
                                &o.barcodeType, &o.barcodeText};
        static_assert(std::size(fields) == kObjectPropertyCount);
        std::array<const Attribute*, kObjectPropertyCount> given{};
        for (const Attribute& a : source.attrs.items) {
            const int index = objectPropertyIndex(a.name);
            if (index >= 0 && !given[static_cast<size_t>(index)])
                given[static_cast<size_t>(index)] = &a;
        }
        const std::array<Prop, kObjectPropertyCount>& defaults = kindDefaults(o.kindName);
        for (size_t i = 0; i < kObjectPropertyCount; ++i)
            *fields[i] = given[i] ? makeProp(given[i]->value) : defaults[i];
        if (o.kind == ObjKind::Column) {
            auto id = parseInteger(source.attrs.get("id"));
            int columns = static_cast<int>(m_report.columns().size());
            if (id && *id >= 1 && *id <= columns)
                o.column = static_cast<int>(*id - 1);
            else
                o.column = m_report.columnIndex(o.name);
            std::string style = editStyleOf(source.attrs);
            // The format a cell shows with, as GetItemText takes it.
            if (!source.attrs.find("format"))
                o.format = makeProp(style == "editmask" ? source.attrs.get("editmask.mask") : "");
            // What GetItemText shows for it, without looking its attributes up for every row.
            bool codeTable = yes(source.attrs.get("edit.codetable", "no")) ||
                             yes(source.attrs.get("editmask.codetable", "no"));
            o.plainColumn = o.column >= 0 && (style == "edit" || style == "editmask") &&
                            !codeTable && !source.attrs.find("values") &&
                            !m_report.columns()[o.column].attrs.find("values");
        }
        if (o.kind == ObjKind::Compute) {
            auto compiled = Expression::compile(source.attrs.get("expression"));
            if (compiled.ok()) o.expression = std::move(compiled).value();
        }
        o.autosize = yes(source.attrs.get("height.autosize", "no"));
        o.moveable = yes(source.attrs.get("moveable", "0"));
        o.resizeable = yes(source.attrs.get("resizeable", "0"));
        o.trailFooter = yes(source.attrs.get("trail_footer", "no"));
        o.invert = yes(source.attrs.get("invert", "0"));
        std::string slide = asciiLower(trim(source.attrs.get("slideup", "no")));
        o.slide = slide == "allabove"        ? SlideUp::AllAbove
                  : slide == "directlyabove" ? SlideUp::DirectlyAbove
                                             : SlideUp::No;
        o.variable = o.x.expr || o.y.expr || o.width.expr || o.height.expr || o.visible.expr ||
                     o.x1.expr || o.y1.expr || o.x2.expr || o.y2.expr;
        if (o.kind == ObjKind::Report && source.child) o.child = source.child.get();
        o.fingerprint = o.looks = mix(0, o.kindName);
        for (const Attribute& a : source.attrs.items) {
            const uint64_t h = mix(mix(0, a.name), a.value);
            o.fingerprint = mixValue(o.fingerprint, h);
            if (!isGeometry(a.name)) o.looks = mixValue(o.looks, h);
        }
        made[&source] =
            MadeObject{source.kind, source.name, source.child.get(), source.attrs.items, o};
        m.objects.push_back(std::move(o));
    }
    m_madeObjects = std::move(made);
    for (const ObjectModel& o : m.objects) {
        if (o.child) m.children.push_back(o.child);
        BandModel* band = bandByName(o.band);
        band->objects.push_back(&o);
        bool breaks = o.kind == ObjKind::Report && o.autosize && o.child && o.band != "header" &&
                      o.band != "footer" && o.band != "foreground" && o.band != "background";
        if (breaks) band->flows.push_back(&o);
    }
    m_model = std::move(m);
    if (m_model->grid) applyGrid();

    // Which bands have the same height for every row.
    auto settle = [&](BandModel& band) {
        bool anyAutosize = false, anyVariable = false, anySlide = false;
        for (const ObjectModel* o : band.objects) {
            anyAutosize |= o->autosize && isTextLike(o->kind);
            anyVariable |= o->variable;
            anySlide |= o->slide != SlideUp::No;
        }
        band.uniform =
            !band.height.expr && !anyAutosize && !((band.autosize || anySlide) && anyVariable);
        band.fixedPlaces = band.uniform && band.flows.empty() && !band.autosize && !anySlide &&
                           std::none_of(band.objects.begin(), band.objects.end(),
                                        [](const ObjectModel* o) {
                                            return o->autosize || o->kind == ObjKind::Report;
                                        });
        band.fixedHeight = std::max(0.0, numberOr(band.height.constant, 0)) * m_model->py;
        std::stable_sort(band.flows.begin(), band.flows.end(),
                         [&](const ObjectModel* a, const ObjectModel* b) {
                             return numberOr(a->y.constant, 0) < numberOr(b->y.constant, 0);
                         });
    };
    for (BandModel* band : {&m_model->header, &m_model->detail, &m_model->summary, &m_model->footer,
                            &m_model->foreground, &m_model->backgroundBand})
        settle(*band);
    for (auto& g : m_model->groups) {
        settle(g.header);
        settle(g.trailer);
    }
    // What the height of a band's rows depends on: the band, its objects, everything they may
    // show (columns and computed fields of any band) and the units and scale.
    uint64_t base = mix(0, std::to_string(m_model->px) + "/" + std::to_string(m_model->py) +
                               (m_model->grid ? "/grid" : ""));
    base = mix(base, std::to_string(reinterpret_cast<uintptr_t>(metrics().get())));
    for (const TableColumn& c : m_report.columns()) base = mixAttributes(base, c.attrs);
    // An object's fingerprint stands for its kind and attributes, hashed once as it was made.
    for (const ObjectModel& o : m_model->objects)
        if (o.kind == ObjKind::Compute || o.kind == ObjKind::Column)
            base = mixValue(base, o.fingerprint);
    auto sign = [&](BandModel& band) {
        uint64_t h = mix(mix(mix(base, band.name), band.height.constant),
                         band.height.expr ? band.height.expr->text() : "");
        h = mix(h, band.autosize ? "autosize" : "");
        for (const ObjectModel* o : band.objects) {
            h = mixValue(h, o->fingerprint);
            if (o->gridX) h = mix(h, std::to_string(*o->gridX));
        }
        band.signature = h;
    };
    for (BandModel* band : {&m_model->header, &m_model->detail, &m_model->summary, &m_model->footer,
                            &m_model->foreground, &m_model->backgroundBand})
        sign(*band);
    for (auto& g : m_model->groups) {
        sign(g.header);
        sign(g.trailer);
    }
    // Where pages break: a band of one height for every row takes part by its height alone,
    // so that moving the objects of a header leaves the pages as they were.
    const LayoutModel& lm = *m_model;
    uint64_t flow =
        mixNumber(mixNumber(base, lm.page.printable().height), lm.page.printable().width);
    for (const TextBlock& g : m_report.groups()) flow = mixAttributes(flow, g.attrs);
    auto flowOf = [&](const BandModel& band) {
        flow = mix(flow, band.name);
        if (band.uniform && band.flows.empty())
            flow = mixNumber(flow, band.fixedHeight);
        else
            flow = mixValue(flow, band.signature);
    };
    for (const BandModel* band : {&lm.header, &lm.detail, &lm.summary, &lm.footer}) flowOf(*band);
    for (const GroupModel& g : lm.groups) {
        flowOf(g.header);
        flowOf(g.trailer);
    }
    m_model->flowSignature = flow;
    uint64_t frame = mixAttributes(mixValue(0, reinterpret_cast<uintptr_t>(metrics().get())), dw);
    for (const TableColumn& c : m_report.columns()) frame = mixAttributes(frame, c.attrs);
    for (std::string_view name : {"header", "detail", "summary", "footer"})
        if (const AttributeList* attrs = m_report.bandAttributes(name))
            frame = mixAttributes(mix(frame, name), *attrs);
    for (const TextBlock& g : m_report.groups()) frame = mixAttributes(frame, g.attrs);
    m_model->frame = frame;
    std::optional<uint32_t> bg =
        resolveColor(static_cast<int64_t>(numberOr(dw.get("color", "16777215"), 16777215)));
    if (bg && *bg != 0xFFFFFF) m_model->background = bg;
}

// A grid places its columns left to right in the order of their x, each as wide as it is,
// hidden ones taking no room; headings and the fields under a column go with it.
void LayoutEngine::applyGrid() {
    LayoutModel& m = *m_model;
    std::vector<ObjectModel*> cells;
    for (ObjectModel& o : m.objects)
        if (o.band == "detail" && isTextLike(o.kind)) cells.push_back(&o);
    if (cells.empty()) return;
    std::stable_sort(cells.begin(), cells.end(), [](const ObjectModel* a, const ObjectModel* b) {
        return numberOr(a->x.constant, 0) < numberOr(b->x.constant, 0);
    });
    // The objects that may go with a cell, found by name (its heading) and by x, so that a
    // report of thousands of columns is placed in time linear in its objects.
    std::unordered_map<std::string, ObjectModel*> headings;  // the last header text of a name
    std::unordered_map<std::string, std::vector<ObjectModel*>> atX;
    for (ObjectModel& o : m.objects) {
        if (o.band == "detail" || !isTextLike(o.kind) || totalsBand(o.band)) continue;
        if (o.band == "header" && o.kind == ObjKind::Text) headings[asciiLower(o.name)] = &o;
        atX[trim(o.x.constant)].push_back(&o);
    }
    const auto under = totalsUnder(cells);
    double cursor = numberOr(cells.front()->x.constant, 0);
    for (ObjectModel* cell : cells) {
        std::string declaredX = trim(cell->x.constant);
        bool hidden = trim(cell->visible.constant) == "0" && !cell->visible.expr;
        ObjectModel* heading = nullptr;
        if (auto it = headings.find(asciiLower(cell->name + "_t")); it != headings.end())
            heading = it->second;
        auto place = [&](ObjectModel& o) {
            bool follows = &o == heading;
            if (!heading && o.band == "header" && o.kind == ObjKind::Text)
                follows = trim(o.x.constant) == declaredX;
            if (o.band != "header") follows = trim(o.x.constant) == declaredX;
            if (!follows || o.gridX) return;
            o.gridX = cursor;
            o.gridHidden = hidden;
            if (o.band == "header") o.width = cell->width;
        };
        if (heading) place(*heading);
        if (auto it = atX.find(declaredX); it != atX.end())
            for (ObjectModel* o : it->second) place(*o);
        // A total keeps its distance from its column, wherever the grid shows the column.
        if (auto it = under.find(cell); it != under.end())
            for (ObjectModel* o : it->second) {
                o->gridX = cursor + numberOr(o->x.constant, 0) - numberOr(cell->x.constant, 0);
                o->gridHidden = hidden;
            }
        cell->gridX = cursor;
        cell->gridHidden = hidden;
        if (!hidden) cursor += std::max(0.0, numberOr(cell->width.constant, 0));
    }
}

bool LayoutEngine::totalsBand(const std::string& band) {
    return band == "summary" || band.starts_with("trailer");
}

// The summary and trailer fields under each cell of a grid (`cells` in the order of their x),
// found as the columns page finds them. A field placed by an expression stays where it says.
std::unordered_map<const ObjectModel*, std::vector<ObjectModel*>> LayoutEngine::totalsUnder(
    const std::vector<ObjectModel*>& cells) {
    std::vector<ColumnsUnder::Column> columns;
    for (const ObjectModel* cell : cells)
        columns.push_back(
            {cell->name, numberOr(cell->x.constant, 0), numberOr(cell->width.constant, 0)});
    const ColumnsUnder lookup(std::move(columns));
    std::unordered_map<const ObjectModel*, std::vector<ObjectModel*>> under;
    for (ObjectModel& o : m_model->objects) {
        if (!totalsBand(o.band) || !isTextLike(o.kind) || o.x.expr) continue;
        // Viewed where it lives: a conditional of a string and "" would view a copy.
        std::string_view expression;
        if (o.kind == ObjKind::Compute && o.expression) expression = o.expression->text();
        if (auto cell = lookup.find(expression, numberOr(o.x.constant, 0),
                                    o.width.expr ? 0 : numberOr(o.width.constant, 0)))
            under[cells[*cell]].push_back(&o);
    }
    return under;
}

void LayoutEngine::ensureModel() {
    uint64_t defaults = reinterpret_cast<uintptr_t>(metrics().get());
    if (m_model && m_modelDefinition == m_report.definitionVersion() &&
        m_modelSchema == m_report.schemaVersion() && m_modelDefaults == defaults)
        return;
    std::optional<LayoutModel> before = std::move(m_model);
    m_model.reset();
    buildModel();
    m_changes.push_back({++m_generation, before ? movedObjects(*before, *m_model) : std::nullopt});
    constexpr size_t kKeptChanges = 8;
    if (m_changes.size() > kKeptChanges) m_changes.pop_front();
    m_modelDefinition = m_report.definitionVersion();
    m_modelSchema = m_report.schemaVersion();
    m_modelDefaults = defaults;
}

// An object of the page's header, footer, foreground or background whose band keeps every
// object where it is declared (one height, nothing that grows, slides or is placed in a grid)
// is drawn by itself: changing it changes nothing else on the page.
bool LayoutEngine::drawnAlone(const LayoutModel& model, const ObjectModel& object) const {
    if (object.name.empty() || object.kind == ObjKind::Report || object.child || object.autosize ||
        object.slide != SlideUp::No || model.grid)
        return false;
    const BandModel* band = object.band == "header"       ? &model.header
                            : object.band == "footer"     ? &model.footer
                            : object.band == "foreground" ? &model.foreground
                            : object.band == "background" ? &model.backgroundBand
                                                          : nullptr;
    return band && band->fixedPlaces;
}

// The names of the objects that changed from `before` to `after`, when nothing else did and
// each of them is drawn by itself; a column or computed field only when it moved or was
// resized (what it shows may be what others show).
std::optional<std::vector<std::string>> LayoutEngine::movedObjects(const LayoutModel& before,
                                                                   const LayoutModel& after) const {
    if (before.frame != after.frame || before.objects.size() != after.objects.size())
        return std::nullopt;
    std::vector<std::string> moved;
    for (size_t i = 0; i < after.objects.size(); ++i) {
        const ObjectModel& a = before.objects[i];
        const ObjectModel& b = after.objects[i];
        // An object destroyed and made again the same (the designer's selection marks) is the
        // same object; a nested report is the same only as the same report.
        if (a.name != b.name || a.kindName != b.kindName || a.band != b.band || a.child != b.child)
            return std::nullopt;
        if (a.fingerprint == b.fingerprint) continue;
        if (!drawnAlone(before, a) || !drawnAlone(after, b)) return std::nullopt;
        if ((b.kind == ObjKind::Column || b.kind == ObjKind::Compute) && a.looks != b.looks)
            return std::nullopt;
        moved.push_back(b.name);
    }
    return moved;
}

const LayoutModel& LayoutEngine::model() {
    ensureModel();
    return *m_model;
}

}  // namespace print::layout
