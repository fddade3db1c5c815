// The flow of a report's body through pages: group headers, detail rows and group trailers in
// row order, then the summary; split bands whose nested reports break across pages.
#include <algorithm>
#include <cmath>

#include "layout/layout_engine.h"

namespace print::layout {
namespace {

constexpr double kEpsilon = 1e-6;
// A page with less room than this for a band that does not fit shows it whole (cut off at the
// page) rather than in slices too thin to make progress.
constexpr double kMinSlice = 1;

std::string joinPath(const std::string& outer, const std::string& name) {
    return outer.empty() ? name : outer + "/" + name;
}

FlowPos at(long row, Stage stage) {
    FlowPos pos;
    pos.row = row;
    pos.stage = stage;
    return pos;
}

}  // namespace

bool FlowPos::sameShape(const FlowPos& other) const {
    if (stage != other.stage || level != other.level || segment != other.segment ||
        offset != other.offset)
        return false;
    if (!inner || !other.inner) return !inner && !other.inner;
    return row == other.row && inner->sameShape(*other.inner);
}

FlowPos LayoutEngine::begin() {
    ensureModel();
    return normalize(FlowPos{});
}

long LayoutEngine::groupStart(int index, long row) {
    auto range = m_report.groupRange(m_model->groups[index].level, row);
    if (!range.ok()) return 1;
    return range.value().first;
}

long LayoutEngine::groupEnd(int index, long row) {
    auto range = m_report.groupRange(m_model->groups[index].level, row);
    if (!range.ok()) return rowCount();
    return range.value().second;
}

long LayoutEngine::nextBoundary(long row) {
    long last = rowCount();
    for (size_t g = 0; g < m_model->groups.size(); ++g)
        last = std::min(last, groupEnd(static_cast<int>(g), row));
    return std::max(last, row);
}

FlowPos LayoutEngine::normalize(FlowPos pos) {
    long n = rowCount();
    int groups = static_cast<int>(m_model->groups.size());
    while (true) {
        switch (pos.stage) {
            case Stage::Header:
                if (pos.row > n || n == 0) {
                    pos = at(n, Stage::Summary);
                    continue;
                }
                if (pos.level >= groups) {
                    pos.stage = Stage::Detail;
                    return pos;
                }
                if (groupStart(pos.level, pos.row) == pos.row) return pos;
                ++pos.level;
                continue;
            case Stage::Trailer:
                if (pos.level < 0) {
                    pos = at(pos.row + 1, Stage::Header);
                    continue;
                }
                if (groupEnd(pos.level, pos.row) == pos.row) return pos;
                --pos.level;
                continue;
            case Stage::Detail:
            case Stage::Summary:
            case Stage::End:
                return pos;
        }
    }
}

FlowPos LayoutEngine::next(FlowPos pos) {
    int groups = static_cast<int>(m_model->groups.size());
    pos.segment = 0;
    pos.inner.reset();
    pos.offset = 0;
    switch (pos.stage) {
        case Stage::Header:
            ++pos.level;
            break;
        case Stage::Detail:
            pos.stage = Stage::Trailer;
            pos.level = groups - 1;
            break;
        case Stage::Trailer:
            --pos.level;
            break;
        case Stage::Summary:
            pos = at(pos.row, Stage::End);
            break;
        case Stage::End:
            break;
    }
    return normalize(pos);
}

const BandModel& LayoutEngine::bandOf(const FlowPos& pos) const {
    const LayoutModel& m = *m_model;
    switch (pos.stage) {
        case Stage::Header:
            return m.groups[pos.level].header;
        case Stage::Trailer:
            return m.groups[pos.level].trailer;
        case Stage::Summary:
            return m.summary;
        default:
            return m.detail;
    }
}

long LayoutEngine::rowOf(const FlowPos& pos) {
    long n = rowCount();
    if (pos.stage == Stage::Summary || pos.stage == Stage::End) return n;
    return std::min(pos.row, n);
}

double LayoutEngine::bandHeight(const BandModel& band, long row) {
    if (band.uniform) return band.fixedHeight;
    if (row < 1 || row > rowCount()) return layoutBand(band, row, false).height;
    uint64_t data = m_report.dataVersion();
    constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();
    if (m_heightsData != data) {
        auto changed = m_report.rowData().rowsChangedSince(m_heightsData);
        for (auto& [name, heights] : m_heights) {
            if (!changed) {
                heights.byId.clear();
                continue;
            }
            for (uint32_t id : *changed)
                if (id < heights.byId.size()) heights.byId[id] = kUnknown;
        }
        m_heightsData = data;
    }
    Heights& heights = m_heights[band.name];
    if (heights.signature != band.signature) {
        heights.byId.clear();
        heights.signature = band.signature;
    }
    uint32_t id = m_report.rowData().primary[row - 1];
    if (id < heights.byId.size() && !std::isnan(heights.byId[id])) return heights.byId[id];
    // Measuring may evaluate expressions that lay out pages (PageCount()): look again after.
    double h = layoutBand(band, row, false).height;
    std::vector<double>& byId = m_heights[band.name].byId;
    if (id >= byId.size())
        byId.resize(std::max<size_t>(id + 1, m_report.rowData().status.size()), kUnknown);
    byId[id] = h;
    return byId[id];
}

double LayoutEngine::itemHeight(const FlowPos& pos) {
    return bandHeight(bandOf(pos), rowOf(pos));
}

bool LayoutEngine::splits(const BandModel& band, long row) {
    return !band.flows.empty();
}

std::vector<Segment> LayoutEngine::segments(const BandModel& band, long row) {
    const LayoutModel& m = *m_model;
    std::vector<Segment> out;
    double cut = 0;
    for (const ObjectModel* f : band.flows) {
        if (!flag(f->visible, row, true)) continue;
        double top = std::max(cut, number(f->y, row) * m.py);
        double height = std::max(0.0, number(f->height, row)) * m.py;
        out.push_back({nullptr, cut, top});
        out.push_back({f, top, top + height});
        cut = top + height;
    }
    double bottom = std::max(0.0, number(band.height, row)) * m.py;
    out.push_back({nullptr, cut, std::max(cut, bottom)});
    return out;
}

WalkResult LayoutEngine::walkSplit(const FlowPos& pos, double avail, bool atTop, DrawTarget* draw) {
    const LayoutModel& m = *m_model;
    const BandModel& band = bandOf(pos);
    long row = rowOf(pos);
    std::vector<Segment> parts = segments(band, row);
    WalkResult result;
    result.end = pos;
    double y = 0;
    bool placed = false;
    size_t seg = static_cast<size_t>(std::max(0, pos.segment));
    std::shared_ptr<const FlowPos> inner = pos.inner;
    std::optional<BandInstance> instance;
    auto bandInstance = [&]() -> const BandInstance& {
        if (!instance) instance = layoutBand(band, row, true);
        return *instance;
    };
    auto finish = [&](bool done) {
        result.end.segment = static_cast<int>(seg);
        result.end.inner = inner;
        result.used = y;
        result.done = done;
        result.placedAny = placed;
        if (placed) result.firstRow = result.lastRow = row;
        if (draw && placed)
            draw->page->bands.push_back(
                {{"", band.name, row, draw->reportPath}, {draw->x, draw->y, draw->width, y}});
        return result;
    };
    for (; seg < parts.size(); ++seg) {
        const Segment& s = parts[seg];
        bool forced = atTop && !placed;
        if (!s.flow) {
            double h = s.bottom - s.top;
            if (h > 0 && y + h > avail + kEpsilon && !forced) return finish(false);
            if (draw) {
                // Objects beside a nested report go with the part above it; those above the
                // band's top with the first part, those below its bottom with the last.
                constexpr double kAll = std::numeric_limits<double>::infinity();
                BandPart part{s.top, seg == 0 ? -kAll : s.top,
                              seg + 1 < parts.size() ? parts[seg + 1].bottom : kAll};
                drawBand(band, bandInstance(), row, y, *draw, &part);
            }
            y += h;
            placed = placed || h > 0;
            continue;
        }
        LayoutEngine& child = layoutOf(*s.flow->child).layoutEngine();
        FlowMode mode = s.flow->trailFooter ? FlowMode::NestedTrailing : FlowMode::NestedBottom;
        FlowPos start = inner ? *inner : child.begin();
        WalkResult r = child.walk(start, avail - y, forced, mode, nullptr);
        if (!r.placedAny) return finish(false);
        result.slices.push_back({s.flow, r.firstRow, r.lastRow});
        if (draw) {
            double x = (s.flow->gridX ? *s.flow->gridX : number(s.flow->x, row)) * m.px;
            double width = std::max(0.0, number(s.flow->width, row)) * m.px;
            DrawTarget sub = *draw;
            sub.x = draw->x + x;
            sub.y = draw->y + y;
            sub.width = width;
            sub.reportPath = joinPath(draw->reportPath, s.flow->name);
            child.m_context = PageContext{draw->physical, r.firstRow, r.lastRow, draw->top};
            if (draw->touched) draw->touched->push_back(&child);
            child.walk(start, avail - y, forced, mode, &sub);
            draw->page->objects.push_back({{s.flow->name, band.name, row, draw->reportPath},
                                           "report",
                                           {sub.x, sub.y, width, r.used},
                                           {},
                                           {},
                                           s.flow->moveable,
                                           s.flow->resizeable});
        }
        y += r.used;
        placed = true;
        if (!r.done) {
            inner = std::make_shared<const FlowPos>(r.end);
            return finish(false);
        }
        inner.reset();
    }
    return finish(true);
}

std::shared_ptr<const BandInstance> LayoutEngine::slicedInstance(const BandModel& band,
                                                                 long row) {
    uint64_t key = m_report.definitionVersion() * 0x9e3779b97f4a7c15ULL ^ m_report.dataVersion() ^
                   (m_report.schemaVersion() << 32) ^ reinterpret_cast<uintptr_t>(metrics().get());
    if (!m_sliced.instance || m_sliced.band != band.name || m_sliced.row != row ||
        m_sliced.key != key)
        m_sliced = {band.name, row, key,
                    std::make_shared<const BandInstance>(layoutBand(band, row, true))};
    return m_sliced.instance;
}

WalkResult LayoutEngine::walk(const FlowPos& start, double avail, bool atTop, FlowMode mode,
                              DrawTarget* draw) {
    ensureModel();
    const LayoutModel& m = *m_model;
    WalkResult result;
    FlowPos pos = normalize(start);
    bool nested = mode != FlowMode::Page;
    double y = 0;
    double footerHeight = 0;
    long firstRow = rowOf(pos);
    if (nested) {
        double headerHeight = bandHeight(m.header, firstRow);
        footerHeight = bandHeight(m.footer, firstRow);
        if (!atTop && headerHeight + footerHeight > avail + kEpsilon) {
            result.end = pos;
            return result;
        }
        if (draw) drawBand(m.header, layoutBand(m.header, firstRow, true), firstRow, 0, *draw);
        y = headerHeight;
    }
    double space = avail - footerHeight;
    bool placed = false;
    auto note = [&](long first, long last) {
        if (first < 1 || rowCount() == 0) return;
        if (result.firstRow == 0) result.firstRow = first;
        result.lastRow = std::max(result.lastRow, last);
    };
    while (true) {
        if (pos.stage == Stage::End) {
            result.done = true;
            break;
        }
        const BandModel& band = bandOf(pos);
        long row = rowOf(pos);
        bool forced = atTop && !placed;
        if (pos.stage == Stage::Header && m.groups[pos.level].newPage && placed) break;
        if (splits(band, row)) {
            DrawTarget sub;
            if (draw) {
                sub = *draw;
                sub.y = draw->y + y;
            }
            WalkResult r = walkSplit(pos, space - y, forced, draw ? &sub : nullptr);
            result.slices.insert(result.slices.end(), r.slices.begin(), r.slices.end());
            if (r.placedAny) {
                placed = true;
                if (pos.stage != Stage::Summary) note(row, row);
            }
            y += r.used;
            if (!r.done) {
                pos = r.end;
                break;
            }
            pos = next(pos);
            continue;
        }
        if (pos.stage == Stage::Detail && band.uniform && !draw && pos.offset == 0 &&
            band.fixedHeight <= space - y + kEpsilon) {
            // Rows of one height up to the next group boundary: as many as fit, at once.
            double h = band.fixedHeight;
            long count = nextBoundary(row) - row + 1;
            long fit = count;
            if (h > kEpsilon) {
                double room = std::floor((space - y) / h + 1e-9);
                fit = room < 0 ? 0 : room > 1e15 ? count : static_cast<long>(room);
            }
            fit = std::max(fit, 1L);
            long k = std::min(fit, count);
            y += static_cast<double>(k) * h;
            placed = true;
            note(row, row + k - 1);
            pos.row = row + k - 1;
            pos = next(pos);
            continue;
        }
        double h = bandHeight(band, row);
        // Of a band taller than a page, what earlier pages printed.
        const double done = std::clamp(pos.offset, 0.0, std::max(h, 0.0));
        const double rest = h - done;
        // What takes no room goes where the page is, even when an item before overflowed it.
        if (rest > 0 && y + rest > space + kEpsilon && !forced) break;
        const double room = space - y;
        if (rest > room + kEpsilon && forced && room > kMinSlice) {
            // Taller than what a page holds: a page's worth ending between lines of its texts,
            // the rest on the next page.
            std::shared_ptr<const BandInstance> instance = slicedInstance(band, row);
            double cut = sliceEnd(*instance, done, done + room);
            if (cut <= done + kEpsilon) cut = done + room;
            if (draw) {
                const BandSlice slice{done, cut};
                drawBand(band, *instance, row, y - done, *draw, nullptr, &slice);
            }
            y += cut - done;
            placed = true;
            note(row, row);
            pos.offset = cut;
            break;
        }
        // A band of no height shows nothing (its objects are cut off at its bottom).
        if (draw && rest > 0) {
            if (done > 0) {
                const BandSlice slice{done, h};
                drawBand(band, *slicedInstance(band, row), row, y - done, *draw, nullptr, &slice);
            } else {
                drawBand(band, layoutBand(band, row, true), row, y, *draw);
            }
        }
        y += rest;
        placed = true;
        note(row, row);
        pos = next(pos);
    }
    result.end = pos;
    result.placedAny = placed || (nested && atTop);
    if (nested) {
        if (!placed && !atTop) {
            WalkResult none;
            none.end = normalize(start);
            return none;
        }
        double footerY = (mode == FlowMode::NestedTrailing || result.done) ? y : space;
        long footerRow = result.lastRow > 0 ? result.lastRow : firstRow;
        if (draw)
            drawBand(m.footer, layoutBand(m.footer, footerRow, true), footerRow, footerY, *draw);
        result.used = footerY + footerHeight;
    } else {
        result.used = y;
    }
    return result;
}

}  // namespace print::layout
