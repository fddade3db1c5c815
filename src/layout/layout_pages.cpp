// Pages: where each page starts in the flow, found lazily and kept as runs (a run of pages that
// all hold the same number of plain rows is kept as its first page and a stride), the display
// list of a page, and the page numbers expressions see.
#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdio>
#include <unordered_map>

#include "common/text.h"
#include "layout/layout_engine.h"

namespace print::layout {
namespace {

// Set while pages are being found: expressions evaluated meanwhile see page 1 of 1, since the
// pages they ask about are what is being worked out.
thread_local int t_paginating = 0;

class Paginating {
public:
    Paginating() { ++t_paginating; }
    ~Paginating() { --t_paginating; }
    Paginating(const Paginating&) = delete;
    Paginating& operator=(const Paginating&) = delete;
};

// More pages than this are a definition gone wrong (a row per page of ten million rows).
constexpr long kMaxPages = 50'000'000;
constexpr size_t kRecentPages = 4;
// How many more pages the preview lays out for a page's PageCount() before showing the page
// without it.
constexpr long kPreviewCountWalks = 4;

uint64_t mix(uint64_t h, uint64_t v) {
    return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

bool samePosition(const FlowPos& a, const FlowPos& b) {
    if (a.row != b.row || a.stage != b.stage || a.level != b.level || a.segment != b.segment ||
        a.offset != b.offset)
        return false;
    if (!a.inner || !b.inner) return !a.inner && !b.inner;
    return samePosition(*a.inner, *b.inner);
}

}  // namespace

LayoutEngine::LayoutEngine(DataStore& report) : m_report(report) {}

void LayoutEngine::setMetrics(std::shared_ptr<const FontMetrics> metrics) {
    m_metrics = std::move(metrics);
}

std::shared_ptr<const FontMetrics> LayoutEngine::metrics() const {
    if (m_metrics) return m_metrics;
    // A nested report measures as the report that shows it.
    if (const DataStore* parent = m_report.parentReport()) return layoutOf(*parent).fontMetrics();
    return defaultFontMetrics();
}

// The schema is left out of both keys: it changes only with the definition, which the model
// follows (objects made and destroyed show as changed objects, and the model's signatures hold
// what the row heights depend on).
uint64_t LayoutEngine::restKey() {
    ensureModel();
    uint64_t h = m_report.dataVersion();
    h = mix(h, static_cast<uint64_t>(m_report.GetRow()));
    h = mix(h, reinterpret_cast<uintptr_t>(metrics().get()));
    for (DataStore* child : m_model->children)
        h = mix(h, layoutOf(*child).layoutEngine().stateKey());
    return h;
}

uint64_t LayoutEngine::stateKey() {
    return mix(restKey(), m_report.definitionVersion());
}

uint64_t LayoutEngine::pagesKey() {
    ensureModel();
    uint64_t h = mix(m_report.dataVersion(), m_model->flowSignature);
    h = mix(h, static_cast<uint64_t>(m_report.GetRow()));
    h = mix(h, reinterpret_cast<uintptr_t>(metrics().get()));
    for (DataStore* child : m_model->children)
        h = mix(h, layoutOf(*child).layoutEngine().pagesKey());
    return h;
}

// Pages are kept while where they break stays; what is drawn on them is checked page by page.
void LayoutEngine::checkState() {
    uint64_t key = pagesKey();
    if (key == m_pagesKey && m_known > 0) return;
    m_pagesKey = key;
    m_runs.clear();
    m_sectionStarts.assign(1, 1);
    m_known = 0;
    m_complete = !m_report.isCreated();
    m_nextStart = begin();
    m_recent.clear();
}

void LayoutEngine::invalidate() {
    m_model.reset();
    m_heights.clear();
    m_pagesKey = 0;
    m_known = 0;
    m_runs.clear();
    m_recent.clear();
}

double LayoutEngine::bodyHeight(long firstRow, double& headerHeight, double& footerHeight) {
    const LayoutModel& m = *m_model;
    headerHeight = bandHeight(m.header, firstRow);
    footerHeight = bandHeight(m.footer, firstRow);
    return m.page.printable().height - headerHeight - footerHeight;
}

FlowPos LayoutEngine::advance(const FlowPos& pos, long rows) {
    FlowPos out = pos;
    if (!out.inner) {
        out.row += rows;
        return out;
    }
    out.inner = std::make_shared<const FlowPos>(advance(*out.inner, rows));
    return out;
}

LayoutEngine* LayoutEngine::innermost(const FlowPos& pos, const FlowPos*& innerPos) {
    LayoutEngine* engine = this;
    const FlowPos* p = &pos;
    while (p->inner) {
        std::vector<Segment> parts = engine->segments(engine->bandOf(*p), engine->rowOf(*p));
        if (p->segment < 0 || static_cast<size_t>(p->segment) >= parts.size() ||
            !parts[p->segment].flow)
            return nullptr;
        engine = &layoutOf(*parts[p->segment].flow->child).layoutEngine();
        engine->ensureModel();
        p = p->inner.get();
    }
    innerPos = p;
    return engine;
}

bool LayoutEngine::extendPages() {
    if (m_complete) return false;
    Paginating guard;
    FlowPos start = m_nextStart;
    double headerHeight = 0, footerHeight = 0;
    double avail = bodyHeight(rowOf(start), headerHeight, footerHeight);
    WalkResult r = walk(start, avail, true, FlowMode::Page, nullptr);
    long number = m_known + 1;
    m_runs.push_back({number, 1, start, 0});
    const LayoutModel& m = *m_model;
    if (number > 1 && start.stage == Stage::Header && !start.inner && start.segment == 0) {
        for (size_t g = static_cast<size_t>(start.level); g < m.groups.size(); ++g) {
            if (m.groups[g].resetPageCount &&
                groupStart(static_cast<int>(g), start.row) == start.row) {
                m_sectionStarts.push_back(number);
                break;
            }
        }
    }
    m_known = number;
    // A walk that did not move would give the same page for ever.
    if (r.done || samePosition(r.end, start) || m_known >= kMaxPages) {
        m_complete = true;
        return true;
    }
    m_nextStart = r.end;
    tryStride();
    return true;
}

// Once two pages in a row hold the same plain rows of one report (the same number of them, in
// the same place), every page up to its last rows does too: those pages are counted, not laid
// out one by one.
void LayoutEngine::tryStride() {
    if (m_runs.size() < 2) return;
    const PageRun& a = m_runs[m_runs.size() - 2];
    const PageRun& b = m_runs.back();
    if (a.count != 1 || b.count != 1) return;
    const FlowPos& s0 = a.start;
    const FlowPos& s1 = b.start;
    const FlowPos& s2 = m_nextStart;
    if (!s0.sameShape(s1) || !s1.sameShape(s2)) return;
    const FlowPos *i0 = nullptr, *i1 = nullptr, *i2 = nullptr;
    LayoutEngine* e0 = innermost(s0, i0);
    LayoutEngine* e1 = innermost(s1, i1);
    LayoutEngine* e = innermost(s2, i2);
    if (!e || e != e0 || e != e1) return;
    if (i0->stage != Stage::Detail || i1->stage != Stage::Detail || i2->stage != Stage::Detail)
        return;
    long stride = i1->row - i0->row;
    if (stride <= 0 || i2->row - i1->row != stride) return;
    const LayoutModel& im = *e->m_model;
    if (!im.groups.empty() || !im.detail.uniform || !im.detail.flows.empty() ||
        !im.header.uniform || !im.footer.uniform)
        return;
    if (e == this && (!m_model->header.uniform || !m_model->footer.uniform)) return;
    // Each counted page must leave rows for a page after it, or it would end the report.
    long pages = (e->rowCount() - i2->row) / stride;
    pages = std::min(pages, kMaxPages - m_known - 1);
    if (pages < 1) return;
    m_runs.push_back({m_known + 1, pages, s2, stride});
    m_known += pages;
    m_nextStart = advance(s2, pages * stride);
}

void LayoutEngine::ensurePages(long upTo) {
    checkState();
    while (m_known < upTo && extendPages()) {
    }
}

bool LayoutEngine::hasPage(long number) {
    if (number < 1 || !m_report.isCreated()) return false;
    ensurePages(number);
    return number <= m_known;
}

long LayoutEngine::pageCount() {
    if (!m_report.isCreated()) return 0;
    ensurePages(LONG_MAX);
    return m_known;
}

FlowPos LayoutEngine::pageStart(long number) {
    ensurePages(number);
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), number,
                               [](long n, const PageRun& run) { return n < run.first; });
    const PageRun& run = *std::prev(it);
    if (number == run.first) return run.start;
    return advance(run.start, (number - run.first) * run.stride);
}

WalkResult LayoutEngine::measurePage(long number) {
    Paginating guard;
    FlowPos start = pageStart(number);
    double headerHeight = 0, footerHeight = 0;
    double avail = bodyHeight(rowOf(start), headerHeight, footerHeight);
    return walk(start, avail, true, FlowMode::Page, nullptr);
}

std::pair<long, long> LayoutEngine::rowsOnPage(long number) {
    if (!hasPage(number)) return {0, 0};
    WalkResult r = measurePage(number);
    return {r.firstRow, r.lastRow};
}

long LayoutEngine::pageOfRow(long row) {
    if (row < 1 || row > rowCount()) return -1;
    long count = pageCount();
    // The last page that starts at or before the beginning of the row.
    auto key = [&](long page) {
        FlowPos s = pageStart(page);
        if (s.stage == Stage::Summary || s.stage == Stage::End) return 2 * rowCount() + 1;
        bool within = s.inner || s.segment > 0 || s.offset > 0 || s.stage == Stage::Trailer;
        return 2 * s.row + (within ? 1 : 0);
    };
    long lo = 1, hi = count;
    while (lo < hi) {
        long mid = lo + (hi - lo + 1) / 2;
        if (key(mid) <= 2 * row)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

long LayoutEngine::pageOfNestedRow(std::string_view object, long row) {
    long count = pageCount();
    for (size_t r = 0; r < m_runs.size(); ++r) {
        const PageRun& run = m_runs[r];
        WalkResult first = measurePage(run.first);
        for (const NestedSlice& slice : first.slices) {
            if (!iequals(slice.object->name, object)) continue;
            if (row >= slice.first && row <= slice.last) return run.first;
            if (run.count > 1 && row > slice.last) {
                long page = run.first + (row - slice.first) / run.stride;
                if (page < run.first + run.count) {
                    WalkResult at = measurePage(page);
                    for (const NestedSlice& s : at.slices)
                        if (iequals(s.object->name, object) && row >= s.first && row <= s.last)
                            return page;
                }
            }
        }
        if (run.count > 1) {
            WalkResult last = measurePage(run.first + run.count - 1);
            for (const NestedSlice& slice : last.slices)
                if (iequals(slice.object->name, object) && row >= slice.first && row <= slice.last)
                    return run.first + run.count - 1;
        }
    }
    (void)count;
    return -1;
}

long LayoutEngine::logicalPage(long physical) {
    auto it = std::upper_bound(m_sectionStarts.begin(), m_sectionStarts.end(), physical);
    long section = it == m_sectionStarts.begin() ? 1 : *std::prev(it);
    return physical - section + 1;
}

long LayoutEngine::logicalCount(long physical) {
    // The preview's first look counts a few pages more (a report of rows of one height is
    // counted in as many), not the whole of a long report of rows measured one by one.
    while (m_lazyCount && m_countWalks > 0 && extendPages()) --m_countWalks;
    auto it = std::upper_bound(m_sectionStarts.begin(), m_sectionStarts.end(), physical);
    long section = it == m_sectionStarts.begin() ? 1 : *std::prev(it);
    if (it != m_sectionStarts.end()) return *it - section;
    if (m_lazyCount && !m_complete) {
        m_countPending = true;
        return -1;
    }
    return pageCount() + 1 - section;
}

long LayoutEngine::pageForExpression(long row) {
    if (m_context) return m_context->top->logicalPage(m_context->physical);
    if (t_paginating > 0 || !m_report.isCreated()) return 1;
    long page = pageOfRow(row);
    return page < 1 ? 1 : logicalPage(page);
}

long LayoutEngine::pageCountForExpression() {
    if (t_paginating > 0 || !m_report.isCreated()) return 1;
    if (m_context) return m_context->top->logicalCount(m_context->physical);
    return pageCount();
}

std::pair<long, long> LayoutEngine::pageRangeForExpression(long row) {
    if (m_context) return {m_context->first, m_context->last};
    if (t_paginating > 0 || !m_report.isCreated()) return {1, rowCount()};
    long page = pageOfRow(row);
    if (page < 1) return {1, rowCount()};
    return rowsOnPage(page);
}

bool LayoutEngine::countPages(long pages) {
    if (!m_report.isCreated()) return true;
    checkState();
    for (long walks = 0; walks < pages && extendPages(); ++walks) {
    }
    return m_complete;
}

Result<std::shared_ptr<const PageDisplayList>> LayoutEngine::page(long number, bool waitForCount) {
    if (!m_report.isCreated()) return Error{"the report has no definition"};
    if (!hasPage(number)) {
        long count = pageCount();
        return Error{"page " + std::to_string(number) + " does not exist: the report has " +
                     std::to_string(count) + (count == 1 ? " page" : " pages")};
    }
    const uint64_t rest = restKey();
    for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
        if (it->number != number) continue;
        // A page shown without its count is built again once the count is known or wanted.
        if (it->restKey != rest || (it->list->countPending && (waitForCount || m_complete))) {
            m_recent.erase(it);
            break;
        }
        m_recent.splice(m_recent.begin(), m_recent, it);
        BuiltPage& kept = m_recent.front();
        if (kept.generation != m_generation) {
            m_lazyCount = !waitForCount;
            m_countWalks = kPreviewCountWalks;
            m_countPending = kept.list->countPending;
            std::shared_ptr<PageDisplayList> mended = mendPage(kept);
            m_lazyCount = false;
            if (!mended) {
                m_recent.pop_front();
                break;
            }
            mended->countPending = m_countPending;
            kept.list = std::move(mended);
            kept.generation = m_generation;
        }
        return std::shared_ptr<const PageDisplayList>(kept.list);
    }
    BuiltPage built;
    m_lazyCount = !waitForCount;
    m_countWalks = kPreviewCountWalks;
    m_countPending = false;
    try {
        built.list = buildPage(number, built);
    } catch (const std::bad_alloc&) {
        m_context.reset();
        m_lazyCount = false;
        return Error{"there is not enough memory to lay out page " + std::to_string(number)};
    }
    m_lazyCount = false;
    built.list->countPending = m_countPending;
    built.number = number;
    built.restKey = rest;
    built.generation = m_generation;
    // Building may have laid out further pages (PageCount() in a footer) but not changed them.
    m_recent.push_front(built);
    if (m_recent.size() > kRecentPages) m_recent.pop_back();
    return std::shared_ptr<const PageDisplayList>(built.list);
}

std::shared_ptr<PageDisplayList> LayoutEngine::mendPage(const BuiltPage& built) {
    std::vector<std::string> names;
    for (const ModelChange& change : m_changes) {
        if (change.generation <= built.generation) continue;
        if (!change.names) return nullptr;
        names.insert(names.end(), change.names->begin(), change.names->end());
    }
    // The changes since the page was built must all still be known.
    if (m_changes.empty() || m_changes.front().generation > built.generation + 1) return nullptr;
    const PageDisplayList& old = *built.list;
    if (!old.warnings.empty()) return nullptr;
    if (names.empty()) return built.list;
    const LayoutModel& m = *m_model;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::unordered_map<std::string_view, size_t> index;
    for (size_t i = 0; i < names.size(); ++i) index.emplace(names[i], i);
    auto changed = [&](const ItemTag& tag) -> std::optional<size_t> {
        if (!tag.report.empty()) return std::nullopt;
        auto it = index.find(tag.object);
        if (it == index.end()) return std::nullopt;
        return it->second;
    };
    // Each changed object's items are one run of the page's items, and it was placed once at
    // most.
    std::vector<int> runs(names.size(), 0);  // 0 not seen, 1 in its run, 2 past it
    std::vector<int> placedCount(names.size(), 0);
    std::optional<size_t> previous;
    for (const DisplayItem& item : old.items) {
        std::optional<size_t> at = changed(item.tag);
        if (previous && previous != at) runs[*previous] = 2;
        if (at) {
            if (runs[*at] == 2) return nullptr;
            runs[*at] = 1;
        }
        previous = at;
    }
    for (const PlacedObject& placed : old.objects)
        if (auto at = changed(placed.tag); at && ++placedCount[*at] > 1) return nullptr;

    // Each changed object drawn alone, as its band would draw it on this page.
    const PageRect& area = old.printable;
    std::vector<LayoutEngine*> touched;
    m_context = PageContext{built.number, built.firstRow, built.lastRow, this};
    touched.push_back(this);
    struct ClearContext {
        std::vector<LayoutEngine*>& engines;
        ~ClearContext() {
            for (LayoutEngine* e : engines) e->clearContext();
        }
    } clear{touched};
    std::vector<const ObjectModel*> objects(names.size(), nullptr);
    for (const ObjectModel& o : m.objects)
        if (auto it = index.find(o.name); it != index.end()) objects[it->second] = &o;
    std::vector<PageDisplayList> alone(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const ObjectModel* object = objects[i];
        if (!object) return nullptr;
        const BandModel& band = object->band == "header"       ? m.header
                                : object->band == "footer"     ? m.footer
                                : object->band == "foreground" ? m.foreground
                                                               : m.backgroundBand;
        const bool atFooter = &band == &m.footer;
        const long row = atFooter ? built.footerRow : built.headerRow;
        PageDisplayList& drawn = alone[i];
        drawn.paperWidth = old.paperWidth;
        drawn.paperHeight = old.paperHeight;
        drawn.printable = old.printable;
        Placement p;
        const double height = band.fixedHeight;
        if (height > 0 && placeObject(*object, row, p)) {
            DrawTarget draw{&drawn,       area.x,       area.y, area.width, "",
                            std::nullopt, built.number, this,   &touched};
            const double top = area.y + (atFooter ? area.height - height : 0);
            // As drawBand does: what reaches beyond the band is cut off there.
            std::optional<PageRect> clip;
            constexpr double kEpsilon = 1e-6;
            if (p.box.y < -kEpsilon || p.box.bottom() > height + kEpsilon)
                clip = PageRect{0, top, old.paperWidth, height};
            drawObject(p, row, band.name, draw, draw.x, top, clip);
        }
        if (!drawn.warnings.empty() || drawn.objects.size() > 1) return nullptr;
        // Where it drew nothing before, its place in the drawing order is not known.
        if ((runs[i] == 0 && !drawn.items.empty()) ||
            (placedCount[i] == 0 && !drawn.objects.empty()))
            return nullptr;
    }

    // The page again, each changed object's run of items in its place. A page only the cache
    // holds is taken apart rather than copied.
    std::shared_ptr<PageDisplayList> source = built.list;
    const bool own = source.use_count() == 2;
    auto page = std::make_shared<PageDisplayList>();
    page->page = old.page;
    page->paperWidth = old.paperWidth;
    page->paperHeight = old.paperHeight;
    page->printable = old.printable;
    page->bands = old.bands;
    page->items.reserve(old.items.size() + 8);
    std::vector<bool> placed(names.size(), false);
    for (DisplayItem& item : source->items) {
        if (std::optional<size_t> at = changed(item.tag)) {
            if (!placed[*at])
                for (DisplayItem& mine : alone[*at].items) page->items.push_back(std::move(mine));
            placed[*at] = true;
        } else if (own) {
            page->items.push_back(std::move(item));
        } else {
            page->items.push_back(item);
        }
    }
    page->objects.reserve(old.objects.size());
    for (PlacedObject& object : source->objects) {
        if (std::optional<size_t> at = changed(object.tag)) {
            if (!alone[*at].objects.empty()) page->objects.push_back(alone[*at].objects.front());
        } else if (own) {
            page->objects.push_back(std::move(object));
        } else {
            page->objects.push_back(object);
        }
    }
    return page;
}

std::shared_ptr<PageDisplayList> LayoutEngine::buildPage(long number, BuiltPage& built) {
    auto page = std::make_shared<PageDisplayList>();
    const LayoutModel& m = *m_model;
    page->page = number;
    page->paperWidth = m.page.paperWidth;
    page->paperHeight = m.page.paperHeight;
    page->printable = m.page.printable();
    // Pages of a report hold about as much as the one before: no growing as items come.
    page->items.reserve(m_pageItems);
    page->objects.reserve(m_pageObjects);
    FlowPos start = pageStart(number);
    double headerHeight = 0, footerHeight = 0;
    double avail = bodyHeight(rowOf(start), headerHeight, footerHeight);
    WalkResult measured = measurePage(number);
    std::vector<LayoutEngine*> touched;
    const PageRect& area = page->printable;
    DrawTarget draw{page.get(),   area.x, area.y, area.width, "",
                    std::nullopt, number, this,   &touched};
    m_context = PageContext{number, measured.firstRow, measured.lastRow, this};
    touched.push_back(this);
    long firstRow = measured.firstRow > 0 ? measured.firstRow : rowOf(start);
    long lastRow = measured.lastRow > 0 ? measured.lastRow : firstRow;
    built.firstRow = measured.firstRow;
    built.lastRow = measured.lastRow;
    built.headerRow = firstRow;
    built.footerRow = lastRow;
    if (m.background)
        page->items.push_back({{"", "background", 0, ""},
                               BoxShape{ShapeKind::Rectangle,
                                        area,
                                        {PenStyle::None, 0, 0},
                                        {BrushStyle::Solid, *m.background}},
                               std::nullopt,
                               std::nullopt});
    drawBand(m.backgroundBand, layoutBand(m.backgroundBand, firstRow, true), firstRow, 0, draw);
    drawBand(m.header, layoutBand(m.header, firstRow, true), firstRow, 0, draw);
    DrawTarget body = draw;
    body.y = area.y + headerHeight;
    walk(start, avail, true, FlowMode::Page, &body);
    drawBand(m.footer, layoutBand(m.footer, lastRow, true), lastRow, area.height - footerHeight,
             draw);
    drawBand(m.foreground, layoutBand(m.foreground, firstRow, true), firstRow, 0, draw);
    for (LayoutEngine* e : touched) e->clearContext();
    // Band boxes of the page's own frame (foreground, background) are not bands one can point
    // at.
    std::erase_if(page->bands, [](const PlacedBand& b) {
        return b.tag.band == "foreground" || b.tag.band == "background";
    });
    m_pageItems = page->items.size();
    m_pageObjects = page->objects.size();
    return page;
}

std::optional<TallBand> LayoutEngine::bandTooTall(double room, const std::string& path) {
    ensureModel();
    const LayoutModel& m = *m_model;
    auto declared = [&](const BandModel& band) {
        return std::max(0.0, number(band.height, std::min(1L, rowCount()), 0)) * m.py;
    };
    auto named = [&](const BandModel& band) {
        return path.empty() ? band.name : path + "." + band.name;
    };
    // Bands that grow and shrink with their content, or hold nested reports that break across
    // pages, have no fixed height to hold against the page.
    auto tooTall = [&](const BandModel& band, double holds) -> std::optional<TallBand> {
        if (band.autosize || !band.flows.empty()) return std::nullopt;
        const double height = declared(band);
        if (height <= holds + 0.01) return std::nullopt;
        return TallBand{named(band), "", height, std::max(holds, 0.0)};
    };
    for (const BandModel* band : {&m.header, &m.footer})
        if (auto tall = tooTall(*band, room)) return tall;
    const double header = declared(m.header), footer = declared(m.footer);
    const double body = room - header - footer;
    if (body <= 0.01 && (header > 0 || footer > 0))
        return TallBand{named(m.header), named(m.footer), header + footer, room};
    std::vector<const BandModel*> bodyBands = {&m.detail, &m.summary};
    for (const GroupModel& group : m.groups) {
        bodyBands.push_back(&group.header);
        bodyBands.push_back(&group.trailer);
    }
    for (const BandModel* band : bodyBands)
        if (auto tall = tooTall(*band, body)) return tall;
    for (const ObjectModel& o : m.objects) {
        if (!o.child) continue;
        const std::string inner = path.empty() ? o.name : path + "/" + o.name;
        if (auto tall = layoutOf(*o.child).layoutEngine().bandTooTall(body, inner)) return tall;
    }
    return std::nullopt;
}

// --- ReportLayout -------------------------------------------------------------------------------

namespace {

std::unique_ptr<engine::ReportPages> makeLayout(DataStore& report) {
    return std::make_unique<ReportLayout>(report);
}

// Every program that lays a report out links this file, and with it the engine learns where
// its reports' pages come from before any report asks.
const bool g_registered = [] {
    engine::setReportPagesFactory(&makeLayout);
    return true;
}();

}  // namespace

ReportLayout& layoutOf(const DataStore& report) {
    if (engine::reportPagesFactory() != &makeLayout) engine::setReportPagesFactory(&makeLayout);
    auto* layout = dynamic_cast<ReportLayout*>(report.pages());
    assert(layout && "a report's pages are made by the layout module");
    return *layout;
}

ReportLayout::ReportLayout(DataStore& report) : m_engine(std::make_unique<LayoutEngine>(report)) {
    (void)g_registered;
}

ReportLayout::~ReportLayout() = default;

void ReportLayout::setFontMetrics(std::shared_ptr<const FontMetrics> metrics) {
    m_engine->setMetrics(std::move(metrics));
}

std::shared_ptr<const FontMetrics> ReportLayout::fontMetrics() const {
    return m_engine->metrics();
}

PageSetup ReportLayout::pageSetup() const {
    return m_engine->model().page;
}

long ReportLayout::pageCount() {
    return m_engine->pageCount();
}

std::optional<TallBand> ReportLayout::tallBand() {
    if (!m_engine->report().isCreated()) return std::nullopt;
    return m_engine->bandTooTall(pageSetup().printable().height, "");
}

Status ReportLayout::checkBands() {
    const std::optional<TallBand> tall = tallBand();
    if (!tall) return Status::success();
    auto points = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", v);
        return std::string(text);
    };
    if (!tall->alongWith.empty())
        return Error{"the bands \"" + tall->band + "\" and \"" + tall->alongWith + "\" (" +
                     points(tall->height) + " pt) leave no room for rows on a page of " +
                     points(tall->room) + " pt"};
    return Error{"the band \"" + tall->band + "\" is " + points(tall->height) +
                 " pt high, more than the " + points(tall->room) + " pt a page holds of it"};
}

Result<std::shared_ptr<const PageDisplayList>> ReportLayout::displayList(long page) {
    return m_engine->page(page);
}

Result<std::shared_ptr<const PageDisplayList>> ReportLayout::previewList(long page) {
    return m_engine->page(page, false);
}

bool ReportLayout::countPages(long pages) {
    return m_engine->countPages(pages);
}

long ReportLayout::pageOfRow(long row) {
    return m_engine->pageOfRow(row);
}

long ReportLayout::pageOfNestedRow(std::string_view reportObject, long row) {
    return m_engine->pageOfNestedRow(reportObject, row);
}

std::pair<long, long> ReportLayout::rowsOnPage(long page) {
    return m_engine->rowsOnPage(page);
}

void ReportLayout::invalidate() {
    m_engine->invalidate();
}

long ReportLayout::currentPage() {
    if (!m_engine->report().isCreated()) return 0;
    if (m_currentPage > 1 && !m_engine->hasPage(m_currentPage))
        m_currentPage = std::max(1L, m_engine->pageCount());
    return m_currentPage;
}

int ReportLayout::setCurrentPage(long page) {
    if (!m_engine->hasPage(page)) return -1;
    m_currentPage = page;
    return 1;
}

int ReportLayout::previewZoom() const {
    auto zoom = parseNumber(m_engine->report().reportAttributes().get("print.preview.zoom"));
    if (!zoom || *zoom < 1) return 100;
    return static_cast<int>(std::min(*zoom, 1000.0));
}

bool ReportLayout::previewRulers() const {
    std::string v =
        asciiLower(trim(m_engine->report().reportAttributes().get("print.preview.rulers", "no")));
    return v == "yes" || v == "1" || v == "true";
}

long ReportLayout::pageForExpression(long row) const {
    return m_engine->pageForExpression(row);
}

long ReportLayout::pageCountForExpression() const {
    return m_engine->pageCountForExpression();
}

std::pair<long, long> ReportLayout::pageRangeForExpression(long row) const {
    return m_engine->pageRangeForExpression(row);
}

}  // namespace print::layout
