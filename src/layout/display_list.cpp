#include "layout/display_list.h"

#include <cmath>
#include <cstdio>

namespace print::layout {
namespace {

std::string number(double v) {
    double rounded = std::round(v * 100) / 100;
    if (rounded == 0) rounded = 0;  // no "-0"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", rounded);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string rect(const PageRect& r) {
    return number(r.x) + "," + number(r.y) + "," + number(r.width) + "," + number(r.height);
}

std::string point(const PagePoint& p) {
    return number(p.x) + "," + number(p.y);
}

std::string color(uint32_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06x", c & 0xFFFFFFu);
    return buf;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string tag(const ItemTag& t) {
    std::string out = "[" + t.band + " " + std::to_string(t.row) + " " +
                      (t.object.empty() ? std::string("-") : t.object);
    if (!t.report.empty()) out += " @" + t.report;
    return out + "]";
}

const char* penStyle(PenStyle s) {
    switch (s) {
        case PenStyle::Solid:
            return "solid";
        case PenStyle::Dash:
            return "dash";
        case PenStyle::Dot:
            return "dot";
        case PenStyle::DashDot:
            return "dashdot";
        case PenStyle::DashDotDot:
            return "dashdotdot";
        case PenStyle::None:
            return "none";
    }
    return "?";
}

std::string pen(const Pen& p) {
    if (p.style == PenStyle::None) return "pen=none";
    return std::string("pen=") + penStyle(p.style) + "," + number(p.width) + "," + color(p.color);
}

std::string brush(const Brush& b) {
    static const char* names[] = {"horizontal", "bdiagonal", "vertical", "cross",
                                  "fdiagonal",  "diagcross", "solid",    "none"};
    std::string out = std::string("brush=") + names[static_cast<int>(b.style)];
    if (b.style != BrushStyle::None) out += "," + color(b.color);
    return out;
}

const char* align(TextAlign a) {
    switch (a) {
        case TextAlign::Left:
            return "left";
        case TextAlign::Right:
            return "right";
        case TextAlign::Center:
            return "center";
        case TextAlign::Justify:
            return "justify";
    }
    return "?";
}

std::string itemLine(const DisplayItem& item) {
    std::string out;
    if (const auto* t = std::get_if<TextRun>(&item.shape)) {
        out = "text " + tag(item.tag) + " " + rect(t->box) + " base=" + number(t->baseline) +
              " w=" + number(t->textWidth) + " font=" + quoted(t->font.face) + "," +
              number(t->font.size) + "," + std::to_string(t->font.weight);
        if (t->font.italic) out += ",italic";
        if (t->font.underline) out += ",underline";
        if (t->font.strikeOut) out += ",strike";
        if (t->font.charset != 0) out += ",cs" + std::to_string(t->font.charset);
        out += " color=" + color(t->color) + " " + align(t->align);
        if (t->escapement != 0) out += " rot=" + number(t->escapement);
        out += " " + quoted(t->text);
    } else if (const auto* l = std::get_if<LineShape>(&item.shape)) {
        out =
            "line " + tag(item.tag) + " " + point(l->from) + " " + point(l->to) + " " + pen(l->pen);
    } else if (const auto* b = std::get_if<BoxShape>(&item.shape)) {
        const char* kind = b->kind == ShapeKind::Rectangle        ? "rect"
                           : b->kind == ShapeKind::RoundRectangle ? "roundrect"
                                                                  : "ellipse";
        out = std::string(kind) + " " + tag(item.tag) + " " + rect(b->box) + " " + pen(b->pen) +
              " " + brush(b->brush);
        if (b->kind == ShapeKind::RoundRectangle)
            out += " radius=" + number(b->cornerRadiusX) + "," + number(b->cornerRadiusY);
    } else if (const auto* i = std::get_if<ImageBox>(&item.shape)) {
        out = "image " + tag(item.tag) + " " + rect(i->box) + " " + quoted(i->path);
        if (i->invert) out += " invert";
    }
    if (item.background) out += " bg=" + color(*item.background);
    if (item.clip) out += " clip=" + rect(*item.clip);
    if (item.previewOnly) out += " preview";
    return out;
}

}  // namespace

std::string dumpDisplayList(const PageDisplayList& page) {
    std::string out = "page " + std::to_string(page.page) + " paper=" + number(page.paperWidth) +
                      "x" + number(page.paperHeight) + " printable=" + rect(page.printable) + "\n";
    for (const auto& band : page.bands)
        out += "band " + tag(band.tag) + " " + rect(band.box) + "\n";
    for (const auto& item : page.items) out += itemLine(item) + "\n";
    for (const auto& obj : page.objects) {
        out += "object " + tag(obj.tag) + " " + obj.kind + " " + rect(obj.box);
        if (obj.kind == "line") out += " " + point(obj.from) + " " + point(obj.to);
        if (obj.moveable) out += " moveable";
        if (obj.resizeable) out += " resizeable";
        out += "\n";
    }
    for (const auto& warning : page.warnings) out += "warning " + quoted(warning) + "\n";
    return out;
}

}  // namespace print::layout
