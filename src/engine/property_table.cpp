#include "engine/property_table.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "common/text.h"

namespace print::engine {
namespace {

using Table = std::unordered_map<std::string_view, PropertyInfo>;

constexpr PropertyKind T = PropertyKind::Text;
constexpr PropertyKind YN = PropertyKind::YesNo;
constexpr PropertyKind OZ = PropertyKind::OneZero;
constexpr PropertyKind RO = PropertyKind::ReadOnly;

void add(Table& t, std::initializer_list<std::pair<std::string_view, PropertyInfo>> entries) {
    for (const auto& e : entries) t[e.first] = e.second;
}

void addCommon(Table& t) {
    add(t, {{"band", {T, "detail"}},
            {"name", {T, std::nullopt}},
            {"type", {RO, std::nullopt}},
            {"x", {T, "0"}},
            {"y", {T, "0"}},
            {"width", {T, "0"}},
            {"height", {T, "0"}},
            {"visible", {OZ, "1"}},
            {"border", {T, "0"}},
            {"color", {T, "0"}},
            {"background.mode", {T, "2"}},
            {"background.color", {T, "16777215"}},
            {"tag", {T, std::nullopt}},
            {"pointer", {T, "Arrow!"}},
            {"resizeable", {OZ, "0"}},
            {"moveable", {OZ, "0"}},
            {"slideleft", {YN, "no"}},
            {"slideup", {T, "no"}},
            {"hidesnaked", {OZ, "0"}},
            {"height.autosize", {YN, "no"}},
            {"html.valueishtml", {T, "0"}},
            {"transparency", {T, "0"}},
            {"accessiblename", {T, std::nullopt}},
            {"accessibledescription", {T, std::nullopt}},
            {"accessiblerole", {T, "0"}},
            {"x.autosize", {YN, "no"}},
            {"crosstab.repeat", {YN, "no"}},
            {"visible.expression", {T, std::nullopt}}});
}

void addFont(Table& t) {
    add(t, {{"font.face", {T, "Arial"}},
            {"font.height", {T, "-10"}},
            {"font.weight", {T, "400"}},
            {"font.family", {T, "2"}},
            {"font.pitch", {T, "2"}},
            {"font.charset", {T, "0"}},
            {"font.italic", {OZ, "0"}},
            {"font.underline", {OZ, "0"}},
            {"font.strikethrough", {OZ, "0"}},
            {"font.escapement", {T, "0"}},
            {"font.width", {T, "0"}},
            {"alignment", {T, "0"}}});
}

void addPen(Table& t) {
    add(t, {{"pen.style", {T, "0"}}, {"pen.width", {T, "5"}}, {"pen.color", {T, "0"}}});
}

void addBrush(Table& t) {
    add(t, {{"brush.hatch", {T, "6"}}, {"brush.color", {T, "16777215"}}});
}

struct Tables {
    std::unordered_map<std::string_view, Table> kinds;
    Table report;
};

const Tables& tables() {
    static const Tables all = [] {
        Tables ts;
        Table text;
        addCommon(text);
        addFont(text);
        add(text, {{"text", {T, std::nullopt}}, {"edit.limit", {T, std::nullopt}}});
        ts.kinds["text"] = text;

        Table column;
        addCommon(column);
        addFont(column);
        add(column, {{"id", {RO, std::nullopt}},
                     {"format", {T, "[general]"}},
                     {"tabsequence", {T, "0"}},
                     {"protect", {T, "0"}},
                     {"limit", {T, "0"}},
                     {"edit.style", {RO, std::nullopt}},
                     {"coltype", {RO, std::nullopt}},
                     {"dbname", {T, std::nullopt}},
                     {"initial", {T, std::nullopt}},
                     {"values", {T, std::nullopt}},
                     {"validation", {T, std::nullopt}},
                     {"validationmsg", {T, std::nullopt}},
                     {"criteria.dialog", {YN, "no"}},
                     {"criteria.override_edit", {YN, "no"}},
                     {"criteria.required", {YN, "no"}},
                     {"barcode.type", {T, std::nullopt}},
                     {"barcode.text", {YN, "yes"}}});
        for (std::string_view p :
             {"edit.limit", "edit.case", "edit.focusrectangle", "edit.autoselect",
              "edit.autohscroll", "edit.autovscroll", "edit.hscrollbar", "edit.vscrollbar",
              "edit.codetable", "edit.displayonly", "edit.required", "edit.nilisnull",
              "edit.format", "edit.password", "edit.validatecode", "edit.imemode",
              "editmask.mask", "editmask.spin", "editmask.spinincr", "editmask.spinrange",
              "editmask.imemode", "editmask.focusrectangle", "editmask.codetable",
              "editmask.readonly", "editmask.required", "editmask.autoskip", "editmask.ddcalendar",
              "checkbox.text", "checkbox.on", "checkbox.off", "checkbox.other",
              "checkbox.lefttext", "checkbox.scale", "checkbox.threed", "ddlb.limit",
              "ddlb.allowedit", "ddlb.case", "ddlb.useasborder", "ddlb.vscrollbar",
              "ddlb.required", "ddlb.nilisnull", "ddlb.sorted", "ddlb.imemode",
              "ddlb.showlist", "dddw.name", "dddw.displaycolumn", "dddw.datacolumn",
              "dddw.percentwidth", "dddw.lines", "dddw.limit", "dddw.allowedit",
              "dddw.useasborder", "dddw.case", "dddw.nilisnull", "dddw.vscrollbar",
              "dddw.hscrollbar", "dddw.required", "dddw.autohscroll", "dddw.imemode",
              "dddw.showlist", "radiobuttons.columns", "radiobuttons.scale",
              "radiobuttons.threed", "radiobuttons.lefttext"})
            column[p] = {T, std::nullopt};
        ts.kinds["column"] = column;

        Table compute;
        addCommon(compute);
        addFont(compute);
        add(compute, {{"expression", {T, std::nullopt}},
                      {"format", {T, "[general]"}},
                      {"barcode.type", {T, std::nullopt}},
                      {"barcode.text", {YN, "yes"}}});
        ts.kinds["compute"] = compute;

        Table line;
        addCommon(line);
        line.erase("x");
        line.erase("y");
        line.erase("width");
        line.erase("height");
        addPen(line);
        add(line, {{"x1", {T, "0"}}, {"y1", {T, "0"}}, {"x2", {T, "0"}}, {"y2", {T, "0"}}});
        ts.kinds["line"] = line;

        Table rect;
        addCommon(rect);
        addPen(rect);
        addBrush(rect);
        ts.kinds["rectangle"] = rect;
        ts.kinds["ellipse"] = rect;
        Table round = rect;
        add(round, {{"ellipseheight", {T, "36"}}, {"ellipsewidth", {T, "41"}}});
        ts.kinds["roundrectangle"] = round;

        Table report;
        addCommon(report);
        add(report, {{"dataobject", {T, std::nullopt}},
                     {"nest_arguments", {T, std::nullopt}},
                     {"trail_footer", {YN, "no"}},
                     {"newpage", {YN, "no"}},
                     {"criteria", {T, std::nullopt}}});
        ts.kinds["report"] = report;

        Table bitmap;
        addCommon(bitmap);
        add(bitmap, {{"filename", {T, std::nullopt}}, {"invert", {T, "0"}}});
        ts.kinds["bitmap"] = bitmap;

        Table groupbox;
        addCommon(groupbox);
        addFont(groupbox);
        add(groupbox, {{"text", {T, std::nullopt}}});
        ts.kinds["groupbox"] = groupbox;

        Table button;
        addCommon(button);
        addFont(button);
        add(button, {{"text", {T, std::nullopt}},
                     {"action", {T, "0"}},
                     {"picturename", {T, std::nullopt}},
                     {"vtextalign", {T, "0"}},
                     {"htextalign", {T, "0"}},
                     {"default", {YN, "no"}},
                     {"cancel", {YN, "no"}},
                     {"suppresseventprocessing", {YN, "no"}}});
        ts.kinds["button"] = button;

        Table graph;
        addCommon(graph);
        add(graph, {{"graphtype", {T, "1"}},
                    {"title", {T, std::nullopt}},
                    {"category", {T, std::nullopt}},
                    {"values", {T, std::nullopt}},
                    {"series", {T, std::nullopt}},
                    {"range", {T, "0"}}});
        ts.kinds["graph"] = graph;

        add(ts.report,
            {{"units", {T, "0"}},
             {"processing", {T, "0"}},
             {"color", {T, "16777215"}},
             {"timer_interval", {T, "0"}},
             {"readonly", {YN, "no"}},
             {"zoom", {T, "100"}},
             {"grid.lines", {T, "0"}},
             {"grid.columnmove", {YN, "no"}},
             {"print.documentname", {T, std::nullopt}},
             {"print.orientation", {T, "0"}},
             {"print.margin.left", {T, "110"}},
             {"print.margin.right", {T, "110"}},
             {"print.margin.top", {T, "96"}},
             {"print.margin.bottom", {T, "96"}},
             {"print.paper.source", {T, "0"}},
             {"print.paper.size", {T, "0"}},
             // paper size 256: the sheet's width and length in the report's units
             {"print.custompage.width", {T, "0"}},
             {"print.custompage.length", {T, "0"}},
             {"print.canusedefaultprinter", {YN, "yes"}},
             {"print.prompt", {YN, "no"}},
             {"print.buttons", {YN, "no"}},
             {"print.preview", {YN, "no"}},
             {"print.preview.buttons", {YN, "no"}},
             {"print.preview.outline", {YN, "yes"}},
             {"print.preview.rulers", {YN, "no"}},
             {"print.preview.zoom", {T, "100"}},
             {"print.cliptext", {YN, "no"}},
             {"print.overrideprintjob", {YN, "no"}},
             {"print.collate", {YN, "yes"}},
             {"print.copies", {T, "1"}},
             {"print.scale", {T, "0"}},  // a factor (1 = full size); 0 means not set
             {"print.quality", {T, "0"}},
             {"print.duplex", {T, "0"}},
             {"print.color", {T, "0"}},
             {"print.filename", {T, std::nullopt}},
             {"print.page.range", {T, std::nullopt}},
             {"print.page.rangeinclude", {T, "0"}},
             {"print.printername", {T, std::nullopt}},
             {"hidegrayline", {YN, "no"}},
             {"selected.mouse", {YN, "no"}},
             {"row.resize", {T, "0"}}});
        return ts;
    }();
    return all;
}

}  // namespace

std::optional<PropertyInfo> objectProperty(std::string_view kind, std::string_view property) {
    const auto& ts = tables();
    auto k = ts.kinds.find(kind);
    if (k == ts.kinds.end()) return std::nullopt;
    std::string lower = asciiLower(property);
    auto p = k->second.find(lower);
    if (p == k->second.end()) return std::nullopt;
    return p->second;
}

std::optional<PropertyInfo> reportProperty(std::string_view property) {
    std::string lower = asciiLower(property);
    auto p = tables().report.find(lower);
    if (p == tables().report.end()) return std::nullopt;
    return p->second;
}

bool isObjectKind(std::string_view kind) { return tables().kinds.count(kind) > 0; }

const std::vector<std::string_view>& barcodeTypes() {
    static const std::vector<std::string_view> names = {
        "code128", "ean13", "ean8", "upca", "code39", "qrcode", "datamatrix", "pdf417", "gs1_128"};
    return names;
}

bool isBarcodeType(std::string_view type) {
    const std::string name = asciiLower(trim(type));
    return std::find(barcodeTypes().begin(), barcodeTypes().end(), name) != barcodeTypes().end();
}

bool takesExpression(std::string_view property) {
    static const std::array<std::string_view, 29> kExpressionProperties = {
        "background.color", "background.mode", "barcode.text", "barcode.type", "border",
        "brush.color", "brush.hatch", "color",
        "font.escapement", "font.height", "font.italic", "font.strikethrough", "font.underline",
        "font.weight", "format", "height", "pen.color", "pen.style", "pen.width", "pointer",
        "protect", "visible", "width", "x", "x1", "x2", "y", "y1", "y2"};
    std::string lower = asciiLower(property);
    for (std::string_view p : kExpressionProperties)
        if (p == lower) return true;
    return false;
}

std::string normaliseValue(PropertyKind kind, std::string value) {
    if (value.find('\t') != std::string::npos) return value;
    std::string l = asciiLower(trim(value));
    bool yes = l == "yes" || l == "true" || l == "1";
    bool no = l == "no" || l == "false" || l == "0";
    if (kind == PropertyKind::YesNo && (yes || no)) return yes ? "yes" : "no";
    if (kind == PropertyKind::OneZero && (yes || no)) return yes ? "1" : "0";
    return value;
}

}  // namespace print::engine
