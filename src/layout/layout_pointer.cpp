// The pointer on the shown page: which object and band are under it, and moving or resizing an
// object with the mouse.
#include <algorithm>
#include <cmath>

#include "common/text.h"
#include "layout/layout_engine.h"

namespace print::layout {
namespace {

double distanceToSegment(PagePoint p, PagePoint a, PagePoint b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double length2 = dx * dx + dy * dy;
    double t =
        length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
    double cx = a.x + t * dx - p.x, cy = a.y + t * dy - p.y;
    return std::sqrt(cx * cx + cy * cy);
}

double distance(PagePoint a, PagePoint b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

bool hits(const PlacedObject& o, PagePoint p, double grip) {
    if (o.kind == "line") return distanceToSegment(p, o.from, o.to) <= grip;
    return o.box.contains(p);
}

// A geometry property moved by `delta` units: its default changes, an expression it holds stays.
std::string shifted(const std::string& raw, double delta, double minimum) {
    size_t tab = raw.find('\t');
    std::string base = raw.substr(0, tab);
    double value = std::round(parseNumber(base).value_or(0) + delta);
    value = std::max(value, minimum);
    std::string out = std::to_string(static_cast<long long>(value));
    if (tab != std::string::npos) out += raw.substr(tab);
    return out;
}

}  // namespace

PagePoint ReportLayout::pointInUnits(double x, double y) const {
    UnitScale units = m_engine->model().units;
    return {x * units.x, y * units.y};
}

std::pair<double, double> ReportLayout::pointerInUnits() const {
    UnitScale units = m_engine->model().units;
    return {m_pointer.x / units.x, m_pointer.y / units.y};
}

Press ReportLayout::pressAt(PagePoint point) {
    long page = currentPage();
    if (page < 1) return {};
    // The page as the preview shows it: the pointer never waits for the count of pages.
    auto list = m_engine->page(page, false);
    if (!list.ok()) return {};
    const auto& objects = list.value()->objects;
    const PlacedObject* target = nullptr;
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        if (!it->tag.report.empty() || !hits(*it, point, kGrip)) continue;
        target = &*it;
        break;
    }
    if (!target || target->tag.object.empty()) return {};
    Press press;
    press.object = target->tag.object;
    press.band = target->tag.band;
    press.row = target->tag.row;
    press.kind = target->kind;
    press.box = target->box;
    press.from = target->from;
    press.to = target->to;
    if (target->kind == "line") {
        const double toFrom = distance(point, target->from), toTo = distance(point, target->to);
        if (target->resizeable && std::min(toFrom, toTo) <= kGrip)
            press.edges = toFrom <= toTo ? DragEdges{true, true, false, false}
                                         : DragEdges{false, false, true, true};
        else if (target->moveable)
            press.edges = {true, true, true, true};
        return press;
    }
    const PageRect& b = target->box;
    DragEdges edges;
    if (target->resizeable) {
        const double gripX = std::min(kGrip, b.width / 4), gripY = std::min(kGrip, b.height / 4);
        const double dl = point.x - b.x, dr = b.right() - point.x;
        const double dt = point.y - b.y, db = b.bottom() - point.y;
        if (std::min(dl, dr) <= gripX) (dl <= dr ? edges.left : edges.right) = true;
        if (std::min(dt, db) <= gripY) (dt <= db ? edges.top : edges.bottom) = true;
    }
    if (edges == DragEdges{} && target->moveable) edges = {true, true, true, true};
    press.edges = edges;
    return press;
}

std::string ReportLayout::objectAtPointer() {
    const Press press = pressAt(m_pointer);
    if (press.object.empty()) return {};
    return press.object + "\t" + std::to_string(press.row);
}

std::string ReportLayout::bandAtPointer() {
    long page = currentPage();
    if (page < 1) return {};
    auto list = m_engine->page(page, false);
    if (!list.ok()) return {};
    const auto& bands = list.value()->bands;
    for (auto it = bands.rbegin(); it != bands.rend(); ++it) {
        if (!it->tag.report.empty()) continue;
        // A band's bottom edge belongs to the band below it.
        const PageRect& b = it->box;
        if (m_pointer.x >= b.x && m_pointer.x <= b.right() && m_pointer.y >= b.y &&
            m_pointer.y < b.bottom())
            return it->tag.band + "\t" + std::to_string(it->tag.row);
    }
    return {};
}

bool ReportLayout::beginDrag(PagePoint point) {
    return beginDrag(pressAt(point), point);
}

bool ReportLayout::beginDrag(const Press& press, PagePoint point) {
    m_drag.reset();
    if (!press.drags()) return false;
    DragState state;
    state.object = press.object;
    state.band = press.band;
    state.row = press.row;
    state.edges = press.edges;
    state.start = state.box = press.box;
    state.from = press.from;
    state.to = press.to;
    m_drag = state;
    m_dragLine = press.kind == "line";
    m_dragFrom = state.from;
    m_dragTo = state.to;
    // Held to the paper as every later point is: a release at the press changes nothing.
    m_dragOrigin = onPaper(point);
    return true;
}

PagePoint ReportLayout::onPaper(PagePoint point) const {
    const PageSetup paper = pageSetup();
    return {std::clamp(point.x, -kDragBeyondPaper, paper.paperWidth + kDragBeyondPaper),
            std::clamp(point.y, -kDragBeyondPaper, paper.paperHeight + kDragBeyondPaper)};
}

bool ReportLayout::moveDrag(PagePoint point) {
    if (!m_drag) return false;
    point = onPaper(point);
    DragState& d = *m_drag;
    double dx = point.x - m_dragOrigin.x, dy = point.y - m_dragOrigin.y;
    PageRect b = d.start;
    if (m_dragLine) {
        PagePoint from = m_dragFrom, to = m_dragTo;
        if (d.edges.left) from = {from.x + dx, from.y + dy};
        if (d.edges.right) to = {to.x + dx, to.y + dy};
        d.from = from;
        d.to = to;
        d.box = {std::min(from.x, to.x), std::min(from.y, to.y), std::abs(to.x - from.x),
                 std::abs(to.y - from.y)};
        return true;
    }
    if (d.edges.moving()) {
        b.x += dx;
        b.y += dy;
    } else {
        if (d.edges.left) {
            double w = std::max(0.0, b.width - dx);
            b.x = b.right() - w;
            b.width = w;
        }
        if (d.edges.right) b.width = std::max(0.0, b.width + dx);
        if (d.edges.top) {
            double h = std::max(0.0, b.height - dy);
            b.y = b.bottom() - h;
            b.height = h;
        }
        if (d.edges.bottom) b.height = std::max(0.0, b.height + dy);
    }
    d.box = b;
    return true;
}

int ReportLayout::endDrag(PagePoint point) {
    if (!m_drag) return -1;
    point = onPaper(point);
    moveDrag(point);
    DragState d = *m_drag;
    m_drag.reset();
    DataStore& report = m_engine->report();
    ReportObject* object = report.findObject(d.object);
    if (!object) return -1;
    const LayoutModel& m = m_engine->model();
    double dx = point.x - m_dragOrigin.x, dy = point.y - m_dragOrigin.y;
    double ux = std::round(dx / m.px), uy = std::round(dy / m.py);
    const AttributeList& attrs = object->attrs;
    std::vector<std::pair<std::string, std::string>> changes;
    auto change = [&](const char* property, double delta, double minimum,
                      std::string fallback = "0") {
        if (delta == 0) return;
        const Attribute* a = attrs.find(property);
        std::string raw = a ? a->value : fallback;
        changes.emplace_back(property, shifted(raw, delta, minimum));
    };
    constexpr double kAny = -1e15;
    if (m_dragLine) {
        if (d.edges.left) {
            change("x1", ux, kAny);
            change("y1", uy, kAny);
        }
        if (d.edges.right) {
            change("x2", ux, kAny);
            change("y2", uy, kAny);
        }
    } else {
        // A grid places its columns itself: a column moves from where it is shown.
        std::string xRaw = attrs.get("x", "0");
        for (const ObjectModel& o : m.objects)
            if (o.source == object && o.gridX)
                xRaw = std::to_string(static_cast<long long>(std::llround(*o.gridX)));
        std::string widthRaw = attrs.get("width", "0"), heightRaw = attrs.get("height", "0");
        double width = parseNumber(widthRaw.substr(0, widthRaw.find('\t'))).value_or(0);
        double height = parseNumber(heightRaw.substr(0, heightRaw.find('\t'))).value_or(0);
        if (d.edges.moving()) {
            if (ux != 0) changes.emplace_back("x", shifted(xRaw, ux, kAny));
            change("y", uy, kAny);
        } else {
            if (d.edges.left) {
                double grow = std::min(-ux, 1e15);
                double newWidth = std::max(1.0, width + grow);
                double moved = width - newWidth;
                if (moved != 0) changes.emplace_back("x", shifted(xRaw, moved, kAny));
                if (newWidth != width)
                    changes.emplace_back("width", shifted(widthRaw, newWidth - width, 1));
            }
            if (d.edges.right) change("width", ux, 1);
            if (d.edges.top) {
                double newHeight = std::max(1.0, height - uy);
                double moved = height - newHeight;
                change("y", moved, kAny);
                if (newHeight != height)
                    changes.emplace_back("height", shifted(heightRaw, newHeight - height, 1));
            }
            if (d.edges.bottom) change("height", uy, 1);
        }
    }
    if (changes.empty()) return 0;
    std::vector<std::pair<std::string, std::string>> previous;
    std::string statement;
    for (const auto& [property, value] : changes) {
        const Attribute* a = attrs.find(property);
        previous.emplace_back(property, a ? a->value : std::string());
        if (!statement.empty()) statement += ' ';
        statement += object->name + "." + property + "=" + modifyQuote(value);
    }
    std::string name = object->name;
    if (!report.Modify(statement).empty()) {
        // Modify keeps what it applied before failing; put those back.
        std::string undo;
        for (const auto& [property, value] : previous) {
            if (!undo.empty()) undo += ' ';
            undo += name + "." + property + "=" + modifyQuote(value.empty() ? "0" : value);
        }
        report.Modify(undo);
        return -1;
    }
    return 1;
}

}  // namespace print::layout
