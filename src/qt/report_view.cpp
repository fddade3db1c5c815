#include "qt/report_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <algorithm>
#include <cmath>

#include "common/decimal.h"
#include "common/text.h"
#include "qt/form_editor.h"

namespace print::qt {
namespace {

// The platform's screen: 96 pixels an inch.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kPointsPerCm = 72.0 / 2.54;
// How often the view looks for changes made where it was not told (a panel's Modify).
constexpr int kPollMs = 100;
// The largest extent scroll bars cover, in pixels.
constexpr double kMaxExtent = 1.0e9;
// Counting the pages of a long report goes on between events: pages at a time, for so long.
constexpr long kCountStep = 8;
constexpr qint64 kCountSliceMs = 15;

const QColor kDeskColour(128, 128, 128);
const QColor kShadowColour(64, 64, 64);
const QColor kRulerColour(240, 240, 240);

}  // namespace

ReportView::ReportView(platform::DataWindowControl& control, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_control(control),
      m_painter(layout::layoutOf(control).fontMetrics()) {
    m_painter.setPreview(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(0);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] { checkChanges(); });
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { checkChanges(); });
    m_moveTimer.setSingleShot(true);
    m_moveTimer.setInterval(0);
    connect(&m_moveTimer, &QTimer::timeout, this, [this] { sendMove(); });
    m_countTimer.setSingleShot(true);
    m_countTimer.setInterval(0);
    connect(&m_countTimer, &QTimer::timeout, this, [this] { countPages(); });
    m_shown = current();
    updateScrollBars();
}

ReportView::~ReportView() = default;

void ReportView::refresh() {
    checkChanges();
}

void ReportView::setPrintPreview(std::optional<bool> preview) {
    m_forcedPreview = preview;
    checkChanges();
}

bool ReportView::inPrintPreview() const {
    if (m_forcedPreview) return *m_forcedPreview;
    const std::string v = asciiLower(trim(m_control.reportAttributes().get("print.preview", "no")));
    return v == "yes" || v == "1" || v == "true";
}

double ReportView::scale() const {
    if (!inPrintPreview()) return kPixelsPerPoint;
    return kPixelsPerPoint * layout::layoutOf(m_control).previewZoom() / 100.0;
}

ReportView::Shown ReportView::current() const {
    Shown s;
    if (!m_control.isCreated()) return s;
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    s.definition = m_control.definitionVersion();
    s.data = m_control.dataVersion();
    s.page = layout.currentPage();
    s.zoom = layout.previewZoom();
    s.rulers = layout.previewRulers();
    s.preview = inPrintPreview();
    s.row = m_control.GetRow();
    s.column = m_control.GetColumnName();
    s.dragging = layout.drag().has_value();
    return s;
}

void ReportView::scheduleCheck() {
    if (!m_checkTimer.isActive()) m_checkTimer.start();
}

void ReportView::checkChanges() {
    if (syncShown()) viewport()->update();
}

bool ReportView::syncShown() {
    const Shown now = current();
    if (now == m_shown) return false;
    const Shown before = m_shown;
    m_shown = now;
    updateScrollBars();
    if (!now.preview) {
        // A page turned by the logic (ScrollToRow, ScrollNextPage) brings that page into view.
        if (now.page != before.page && now.page > 0 && !m_leftDown) {
            verticalScrollBar()->setValue(
                static_cast<int>(std::lround((now.page - 1) * stripHeight())));
        }
        if (now.row != before.row && now.row > 0) ensureRowVisible(now.row);
    }
    const bool moved = now.definition != before.definition || now.data != before.data;
    if (m_editor) {
        if (now.preview ||
            (moved && !editableColumn(m_control, m_editor->object(), m_editor->row())))
            closeEditor();
        else if (moved && !m_editor->modified())
            m_editor->load();
    }
    // The logic moved to another cell (SetRow, SetColumn): its editor follows while the operator
    // works in this view.
    const bool cellMoved = now.row != before.row || now.column != before.column;
    const bool focused =
        hasFocus() || (m_editor && m_editor->widget() &&
                       m_editor->widget()->isAncestorOf(QApplication::focusWidget()));
    if (!now.preview && cellMoved && focused && !now.column.empty() &&
        !(m_editor && m_editor->row() == now.row && iequals(m_editor->object(), now.column)) &&
        editableColumn(m_control, now.column, now.row))
        openEditor(now.row, now.column);
    placeEditor();
    return true;
}

// --- geometry -----------------------------------------------------------------------------

QSizeF ReportView::pagePixels() const {
    if (!m_control.isCreated()) return {};
    const layout::PageSetup setup = layout::layoutOf(m_control).pageSetup();
    const double s = scale();
    return {setup.paperWidth * s, setup.paperHeight * s};
}

QPointF ReportView::pageOrigin() const {
    const int ruler = m_shown.rulers ? kRuler : 0;
    const QSizeF page = pagePixels();
    const double room = viewport()->width() - ruler;
    double x = ruler + kDesk - horizontalScrollBar()->value();
    if (page.width() + 2 * kDesk <= room) x = ruler + (room - page.width()) / 2;
    const double y = ruler + kDesk - verticalScrollBar()->value();
    return {x, y};
}

double ReportView::stripHeight() const {
    if (!m_control.isCreated()) return 0;
    return layout::layoutOf(m_control).pageSetup().printable().height * kPixelsPerPoint;
}

QSizeF ReportView::formExtent() const {
    if (!m_control.isCreated()) return {};
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long pages = formPageCount();
    if (pages < 1) return {};
    const layout::PageRect printable = layout.pageSetup().printable();
    // A screen form is as large as what it holds, not as its paper: the objects of the first
    // page give the width, the last page's bands and objects where the rows end.
    double right = 0;
    double bottom = 0;
    auto first = layout.displayList(1);
    if (first)
        for (const layout::PlacedObject& placed : first.value()->objects)
            right = std::max(right, placed.box.right() - printable.x);
    auto last = layout.displayList(pages);
    if (last) {
        for (const layout::PlacedBand& band : last.value()->bands)
            if (band.box.height > 0) bottom = std::max(bottom, band.box.bottom() - printable.y);
        for (const layout::PlacedObject& placed : last.value()->objects)
            bottom = std::max(bottom, placed.box.bottom() - printable.y);
    }
    if (!first) right = printable.width;
    if (!last) bottom = printable.height;
    right = std::min(right, printable.width);
    bottom = std::min(bottom, printable.height);
    // A pixel to spare, so that the last line of a border is not under the edge.
    return {gutter() + right * kPixelsPerPoint + 2,
            (pages - 1) * stripHeight() + bottom * kPixelsPerPoint + 2};
}

long ReportView::formPageCount() const {
    return m_control.isCreated() ? layout::layoutOf(m_control).pageCount() : 0;
}

void ReportView::updateScrollBars() {
    const QSize room = viewport()->size();
    int width = 0, height = 0;
    if (m_control.isCreated()) {
        if (inPrintPreview()) {
            const int ruler = m_shown.rulers ? kRuler : 0;
            const QSizeF page = pagePixels();
            // A page kilometres long at 1000% still gets a scroll bar, not an overflow.
            const double margin = 2 * kDesk + ruler;
            width = static_cast<int>(std::clamp(std::ceil(page.width()) + margin, 0.0, kMaxExtent));
            height =
                static_cast<int>(std::clamp(std::ceil(page.height()) + margin, 0.0, kMaxExtent));
        } else {
            const QSizeF content = formExtent();
            width = static_cast<int>(std::clamp(std::ceil(content.width()), 0.0, kMaxExtent));
            height = static_cast<int>(std::clamp(std::ceil(content.height()), 0.0, kMaxExtent));
        }
    }
    // Content that fits the whole frame needs no scroll bar, even while one is shown and
    // takes its room.
    const QSize whole = contentsRect().size();
    if (width <= whole.width() && height <= whole.height()) width = height = 0;
    horizontalScrollBar()->setRange(0, std::max(0, width - room.width()));
    horizontalScrollBar()->setPageStep(room.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, height - room.height()));
    verticalScrollBar()->setPageStep(room.height());
    verticalScrollBar()->setSingleStep(20);
}

std::optional<ReportView::PageHit> ReportView::pageHitAt(QPointF pos) {
    if (!m_control.isCreated()) return std::nullopt;
    const double s = scale();
    if (inPrintPreview()) {
        if (m_shown.rulers && (pos.x() < kRuler || pos.y() < kRuler) && !m_leftDown)
            return std::nullopt;
        const QPointF origin = pageOrigin();
        return PageHit{layout::layoutOf(m_control).currentPage(),
                       {(pos.x() - origin.x()) / s, (pos.y() - origin.y()) / s}};
    }
    const double strip = stripHeight();
    if (strip <= 0) return std::nullopt;
    const layout::PageRect printable = layout::layoutOf(m_control).pageSetup().printable();
    const double y = pos.y() + verticalScrollBar()->value();
    long page = static_cast<long>(std::floor(y / strip)) + 1;
    // While the button is held the pointer stays on the page it pressed on, so that a drag
    // past the strip's edge still moves the object.
    if (m_leftDown) page = layout::layoutOf(m_control).currentPage();
    if (page < 1 || page > formPageCount()) return std::nullopt;
    return PageHit{page,
                   {printable.x + (pos.x() - gutter() + horizontalScrollBar()->value()) / s,
                    printable.y + (y - (page - 1) * strip) / s}};
}

QRectF ReportView::viewportRect(long page, const layout::PageRect& box) {
    const double s = scale();
    if (inPrintPreview()) {
        if (page != layout::layoutOf(m_control).currentPage()) return {};
        const QPointF origin = pageOrigin();
        return {origin.x() + box.x * s, origin.y() + box.y * s, box.width * s, box.height * s};
    }
    const layout::PageRect printable = layout::layoutOf(m_control).pageSetup().printable();
    return {gutter() + (box.x - printable.x) * s - horizontalScrollBar()->value(),
            (page - 1) * stripHeight() + (box.y - printable.y) * s - verticalScrollBar()->value(),
            box.width * s, box.height * s};
}

std::optional<QPoint> ReportView::pointOnPage(long page, layout::PagePoint point, bool scroll) {
    if (!m_control.isCreated()) return std::nullopt;
    if (inPrintPreview() && page != layout::layoutOf(m_control).currentPage()) return std::nullopt;
    QRectF at = viewportRect(page, {point.x, point.y, 0, 0});
    if (scroll) {
        const QRect room(QPoint(0, 0), viewport()->size());
        const QPoint p = at.topLeft().toPoint();
        if (p.x() < 0 || p.x() >= room.width())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + p.x() -
                                            room.width() / 2);
        if (p.y() < 0 || p.y() >= room.height())
            verticalScrollBar()->setValue(verticalScrollBar()->value() + p.y() -
                                          room.height() / 2);
        at = viewportRect(page, {point.x, point.y, 0, 0});
    }
    return at.topLeft().toPoint();
}

std::optional<QPoint> ReportView::pointOfRow(long row) {
    if (!m_control.isCreated() || row < 1 || row > m_control.RowCount()) return std::nullopt;
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long page = inPrintPreview() ? layout.currentPage() : layout.pageOfRow(row);
    auto list = layout.displayList(page);
    if (page < 1 || !list) return std::nullopt;
    for (const layout::PlacedBand& band : list.value()->bands) {
        if (band.tag.row != row || band.tag.band != "detail" || !band.tag.report.empty()) continue;
        return pointOnPage(page, {band.box.x + band.box.width / 2, band.box.y + band.box.height / 2},
                           true);
    }
    return std::nullopt;
}

std::optional<QPoint> ReportView::pointOfCell(long row, const std::string& object) {
    if (!m_control.isCreated()) return std::nullopt;
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long page = inPrintPreview() ? layout.currentPage() : layout.pageOfRow(row);
    auto list = layout.displayList(page);
    if (page < 1 || !list) return std::nullopt;
    for (const layout::PlacedObject& placed : list.value()->objects) {
        if (placed.tag.row != row || !placed.tag.report.empty() ||
            !iequals(placed.tag.object, object))
            continue;
        return pointOnPage(
            page, {placed.box.x + placed.box.width / 2, placed.box.y + placed.box.height / 2},
            true);
    }
    return std::nullopt;
}

void ReportView::ensureRowVisible(long row) {
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long page = layout.pageOfRow(row);
    if (page < 1) return;
    auto list = layout.displayList(page);
    if (!list) return;
    for (const layout::PlacedBand& band : list.value()->bands) {
        if (band.tag.row != row || band.tag.band != "detail" || !band.tag.report.empty()) continue;
        const QRectF r = viewportRect(page, band.box);
        QScrollBar* bar = verticalScrollBar();
        if (r.top() < 0)
            bar->setValue(bar->value() + static_cast<int>(std::floor(r.top())));
        else if (r.bottom() > viewport()->height())
            bar->setValue(bar->value() +
                          static_cast<int>(std::ceil(r.bottom() - viewport()->height())));
        return;
    }
}

// --- painting -----------------------------------------------------------------------------

void ReportView::paintEvent(QPaintEvent*) {
    // A change nobody told the view about is drawn now rather than a poll later (and not
    // twice: this paint is the one it needed).
    syncShown();
    QPainter painter(viewport());
    paintView(painter);
}

void ReportView::paintView(QPainter& painter) {
    if (!m_control.isCreated()) {
        painter.fillRect(QRect(QPoint(0, 0), viewport()->size()),
                         inPrintPreview() ? kDeskColour : palette().base().color());
        return;
    }
    if (inPrintPreview())
        paintPreview(painter);
    else
        paintForm(painter);
    paintDrag(painter);
}

namespace {

// Where an item may leave paint on its page, in points, generously (glyphs reach beyond their
// line's box, pens beyond their path); nullopt where that cannot be said (turned text).
std::optional<QRectF> paintedArea(const layout::DisplayItem& item) {
    QRectF r;
    if (const auto* run = std::get_if<layout::TextRun>(&item.shape)) {
        if (run->escapement != 0) return std::nullopt;
        const double reach = std::max(run->box.width, run->textWidth) + run->font.size;
        r = QRectF(run->box.x - reach, run->box.y - run->font.size, run->box.width + 2 * reach,
                   run->box.height + 2 * run->font.size);
    } else if (const auto* line = std::get_if<layout::LineShape>(&item.shape)) {
        const double pen = line->pen.width + 2;
        r = QRectF(QPointF(line->from.x, line->from.y), QPointF(line->to.x, line->to.y))
                .normalized()
                .adjusted(-pen, -pen, pen, pen);
    } else if (const auto* box = std::get_if<layout::BoxShape>(&item.shape)) {
        const double pen = box->pen.width + 2;
        r = QRectF(box->box.x, box->box.y, box->box.width, box->box.height)
                .adjusted(-pen, -pen, pen, pen);
    } else if (const auto* picture = std::get_if<layout::ImageBox>(&item.shape)) {
        r = QRectF(picture->box.x, picture->box.y, picture->box.width, picture->box.height)
                .adjusted(-1, -1, 1, 1);
    }
    if (item.clip)
        r &= QRectF(item.clip->x, item.clip->y, item.clip->width, item.clip->height)
                 .adjusted(-1, -1, 1, 1);
    return r;
}

// The places, in points, where page `after` differs from page `before`: the items each has
// that the other has not. nullopt when a difference may be anywhere.
std::optional<std::vector<QRectF>> changedAreas(const layout::PageDisplayList& before,
                                                const layout::PageDisplayList& after) {
    if (before.paperWidth != after.paperWidth || before.paperHeight != after.paperHeight)
        return std::nullopt;
    const auto& a = before.items;
    const auto& b = after.items;
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<QRectF> areas;
    auto add = [&](const layout::DisplayItem& item) {
        std::optional<QRectF> r = paintedArea(item);
        if (!r) return false;
        if (!r->isEmpty()) areas.push_back(*r);
        return true;
    };
    const size_t aEnd = a.size() - tail, bEnd = b.size() - tail;
    // A run replaced by as many items (an object moved) differs only where items differ.
    const bool sameCount = aEnd - head == bEnd - head;
    for (size_t i = head; i < aEnd; ++i)
        if (!(sameCount && a[i] == b[i]) && !add(a[i])) return std::nullopt;
    for (size_t i = head; i < bEnd; ++i)
        if (!(sameCount && a[i] == b[i]) && !add(b[i])) return std::nullopt;
    return areas;
}

}  // namespace

void ReportView::paintPreviewInto(QImage& image, const layout::PageDisplayList* list,
                                  std::optional<QRect> only) {
    QPainter painter(&image);
    const QRect area(QPoint(0, 0), viewport()->size());
    const QPointF origin = pageOrigin();
    const QSizeF size = pagePixels();
    const QRectF paper(origin, size);
    layout::PageDisplayList part;
    if (only && list) {
        // `image` is that piece of the viewport: only the items that may paint there, in their
        // order.
        painter.translate(-only->topLeft());
        const double s = scale();
        const QRectF points((QPointF(only->topLeft()) - origin) / s, QSizeF(only->size()) / s);
        part.page = list->page;
        part.paperWidth = list->paperWidth;
        part.paperHeight = list->paperHeight;
        part.printable = list->printable;
        for (const layout::DisplayItem& item : list->items) {
            std::optional<QRectF> r = paintedArea(item);
            if (!r || r->intersects(points)) part.items.push_back(item);
        }
        list = &part;
    }
    painter.fillRect(area, kDeskColour);
    painter.fillRect(paper.translated(4, 4), kShadowColour);
    painter.fillRect(paper, Qt::white);
    if (list) {
        painter.save();
        painter.setClipRect(paper);
        painter.translate(origin);
        m_painter.paint(painter, *list, scale());
        painter.restore();
    }
    if (m_shown.rulers) paintRulers(painter, origin, size);
}

void ReportView::paintPreview(QPainter& painter) {
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long page = layout.currentPage();
    std::shared_ptr<const layout::PageDisplayList> list;
    if (page >= 1) {
        if (auto shown = layout.previewList(page)) list = shown.value();
    }
    if (list && list->countPending && !m_countTimer.isActive()) m_countTimer.start();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage::Format format =
        painter.device() && painter.device()->devType() == QInternal::Image
            ? static_cast<QImage*>(painter.device())->format()
            : QImage::Format_ARGB32_Premultiplied;
    Picture wanted;
    wanted.page = page;
    wanted.origin = pageOrigin();
    wanted.scale = scale();
    wanted.rulers = m_shown.rulers;
    const QSize pixels = viewport()->size() * ratio;
    const bool same = m_picture.image.size() == pixels && m_picture.image.format() == format &&
                      m_picture.image.devicePixelRatio() == ratio;
    wanted.image = same ? std::move(m_picture.image) : QImage(pixels, format);
    wanted.image.setDevicePixelRatio(ratio);
    // The picture holds what shows, unless the page moved on the screen or changed its size.
    const bool kept = same && m_picture.list && list && m_picture.page == wanted.page &&
                      m_picture.origin == wanted.origin && m_picture.scale == wanted.scale &&
                      m_picture.rulers == wanted.rulers;
    std::optional<std::vector<QRectF>> changed;
    if (kept && m_picture.list != list) changed = changedAreas(*m_picture.list, *list);
    if (!kept || (m_picture.list != list && !changed)) {
        paintPreviewInto(wanted.image, list.get(), std::nullopt);
    } else if (changed && !changed->empty()) {
        // Each changed place on the paper is painted again; one that reaches off the paper (or
        // at a fractional pixel ratio) has the whole picture painted.
        const QRectF paper(wanted.origin, pagePixels());
        const QRect area(QPoint(0, 0), viewport()->size());
        std::vector<QRect> dirty;
        bool whole = ratio != std::floor(ratio);
        for (const QRectF& r : *changed) {
            const QRectF onScreen(wanted.origin + r.topLeft() * wanted.scale,
                                  r.size() * wanted.scale);
            const QRect pixelsOf = onScreen.toAlignedRect().adjusted(-2, -2, 2, 2);
            if (!paper.contains(QRectF(pixelsOf))) whole = true;
            const QRect shown = pixelsOf & area;
            if (!shown.isEmpty()) dirty.push_back(shown);
        }
        if (whole) {
            paintPreviewInto(wanted.image, list.get(), std::nullopt);
        } else {
            for (const QRect& r : dirty) {
                // Painted apart and copied in, so that the clips items carry cannot let them
                // paint over the rest of the picture.
                QImage piece(r.size() * ratio, format);
                piece.setDevicePixelRatio(ratio);
                paintPreviewInto(piece, list.get(), r);
                QPainter copy(&wanted.image);
                copy.setCompositionMode(QPainter::CompositionMode_Source);
                copy.drawImage(r.topLeft(), piece);
            }
        }
    }
    wanted.list = list;
    m_picture = std::move(wanted);
    painter.drawImage(QPoint(0, 0), m_picture.image);
}

void ReportView::countPages() {
    if (!m_control.isCreated()) return;
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    QElapsedTimer clock;
    clock.start();
    while (!layout.countPages(kCountStep)) {
        if (clock.elapsed() >= kCountSliceMs) {
            m_countTimer.start();
            return;
        }
    }
    viewport()->update();
}

void ReportView::paintForm(QPainter& painter) {
    const QRect area(QPoint(0, 0), viewport()->size());
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const double strip = stripHeight();
    const long pages = formPageCount();
    // Beyond what the form holds, its own colour: the form goes on to the view's edges.
    QColor ground = Qt::white;
    if (pages < 1) {
        painter.fillRect(area, ground);
        return;
    }
    if (auto first = layout.displayList(1); first && !first.value()->items.empty()) {
        const layout::DisplayItem& item = first.value()->items.front();
        const auto* box = std::get_if<layout::BoxShape>(&item.shape);
        if (box && item.tag.object.empty() && item.tag.band == "background" &&
            box->brush.style == layout::BrushStyle::Solid)
            ground = QColor::fromRgb(box->brush.color);
    }
    painter.fillRect(area, ground);
    if (strip <= 0 || pages < 1) return;
    const layout::PageRect printable = layout.pageSetup().printable();
    const double s = kPixelsPerPoint;
    const double top = verticalScrollBar()->value();
    const long first = std::max(1L, static_cast<long>(std::floor(top / strip)) + 1);
    const long last =
        std::min(pages, static_cast<long>(std::floor((top + area.height()) / strip)) + 1);
    for (long page = first; page <= last; ++page) {
        auto list = layout.displayList(page);
        if (!list) continue;
        const QPointF origin(gutter() - printable.x * s - horizontalScrollBar()->value(),
                             (page - 1) * strip - top - printable.y * s);
        painter.save();
        painter.setClipRect(QRectF(0, (page - 1) * strip - top, area.width(), strip));
        painter.translate(origin);
        m_painter.paint(painter, *list.value(), s);
        painter.restore();
        paintCheckBoxes(painter, *list.value(), origin);
        paintDropDownArrows(painter, *list.value(), origin);
        paintFocusIndicator(painter, *list.value(), origin);
    }
}

void ReportView::paintFocusIndicator(QPainter& painter, const layout::PageDisplayList& page,
                                     QPointF origin) {
    const long row = m_control.GetRow();
    if (row < 1) return;
    const bool picture = m_control.rowFocusIndicator() != nullptr;
    const engine::RowFocusIndicator style = layout::layoutOf(m_control).rowFocusIndicator();
    if (!picture && style == engine::RowFocusIndicator::Off) return;
    const double s = scale();
    for (const layout::PlacedBand& band : page.bands) {
        if (band.tag.row != row || band.tag.band != "detail" || !band.tag.report.empty()) continue;
        const QRectF r(origin.x() + band.box.x * s, origin.y() + band.box.y * s, band.box.width * s,
                       band.box.height * s);
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, true);
        if (!picture && style == engine::RowFocusIndicator::FocusRect) {
            QColor highlight = palette().highlight().color();
            highlight.setAlpha(48);
            painter.fillRect(r, highlight);
            painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
            painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
        } else {
            // The platform's hand and the window's pointer picture both point at the row from
            // its left edge.
            const double h = std::min(r.height() * 0.6, 12.0);
            // In the gutter left of the row, where it covers nothing of it.
            const QPointF tip(std::max(r.left(), gutter() - 2.0 - horizontalScrollBar()->value()),
                              r.center().y());
            QPainterPath arrow;
            arrow.moveTo(tip);
            arrow.lineTo(tip.x() - h * 0.8, tip.y() - h / 2);
            arrow.lineTo(tip.x() - h * 0.8, tip.y() + h / 2);
            arrow.closeSubpath();
            painter.fillPath(arrow, palette().highlight());
        }
        painter.restore();
    }
}

double ReportView::gutter() const {
    if (inPrintPreview() || !m_control.isCreated()) return 0;
    const bool marked = m_control.rowFocusIndicator() != nullptr ||
                        layout::layoutOf(m_control).rowFocusIndicator() ==
                            engine::RowFocusIndicator::Hand;
    return marked ? kGutter : 0;
}

void ReportView::paintCheckBoxes(QPainter& painter, const layout::PageDisplayList& page,
                                 QPointF origin) {
    const double s = scale();
    for (const layout::PlacedObject& placed : page.objects) {
        if (placed.kind != "column" || !placed.tag.report.empty() || placed.tag.row < 1) continue;
        const engine::ReportObject* object = m_control.findObject(placed.tag.object);
        if (!object || engine::editStyleOf(object->attrs) != "checkbox") continue;
        const QRectF box(origin.x() + placed.box.x * s, origin.y() + placed.box.y * s,
                         placed.box.width * s, placed.box.height * s);
        if (!box.intersects(QRectF(viewport()->rect()))) continue;
        const std::string value =
            m_control.GetItemString(placed.tag.row, placed.tag.object).value_or("");
        const std::string on = object->attrs.get("checkbox.on");
        const auto a = Decimal::parse(value), b = Decimal::parse(on);
        const bool ticked = value == on || (a && b && *a == *b);
        // The box the platform shows for such a column, with its text, in place of its value.
        QStyleOptionButton option;
        option.initFrom(this);
        option.state = QStyle::State_Enabled | (ticked ? QStyle::State_On : QStyle::State_Off);
        option.text = QString::fromStdString(object->attrs.get("checkbox.text"));
        option.rect = box.toAlignedRect();
        if (option.text.isEmpty()) {
            // A box without a text stands where the column's alignment puts it.
            const int side = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
            const std::string align = trim(object->attrs.get("alignment", "0"));
            const int x = align == "2"   ? option.rect.center().x() - side / 2
                          : align == "1" ? option.rect.right() - side
                                         : option.rect.left();
            option.rect.setLeft(std::max(option.rect.left(), x));
        }
        painter.save();
        painter.setClipRect(box);
        painter.fillRect(box, palette().window());
        painter.setFont(font());
        style()->drawControl(QStyle::CE_CheckBox, &option, &painter, this);
        painter.restore();
    }
}

void ReportView::paintDropDownArrows(QPainter& painter, const layout::PageDisplayList& page,
                                     QPointF origin) {
    const double s = scale();
    for (const layout::PlacedObject& placed : page.objects) {
        if (placed.kind != "column" || !placed.tag.report.empty() || placed.tag.row < 1) continue;
        const engine::ReportObject* object = m_control.findObject(placed.tag.object);
        if (!object) continue;
        const std::string edit = engine::editStyleOf(object->attrs);
        if (edit != "ddlb" && edit != "dddw") continue;
        // A list that uses its arrow as its border shows the arrow always, as a combo box does.
        const std::string border = asciiLower(trim(object->attrs.get(edit + ".useasborder")));
        if (border != "yes" && border != "1") continue;
        const QRectF box(origin.x() + placed.box.x * s, origin.y() + placed.box.y * s,
                         placed.box.width * s, placed.box.height * s);
        if (!box.intersects(QRectF(viewport()->rect()))) continue;
        const double side = std::min(box.height(), 16.0);
        QStyleOption option;
        option.initFrom(this);
        option.state = QStyle::State_Enabled;
        option.rect = QRectF(box.right() - side, box.top(), side, box.height()).toAlignedRect();
        painter.save();
        painter.setClipRect(box);
        painter.fillRect(option.rect, palette().button());
        style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &option, &painter, this);
        painter.restore();
    }
}

void ReportView::paintRulers(QPainter& painter, QPointF origin, QSizeF page) {
    const QRect area(QPoint(0, 0), viewport()->size());
    const double s = scale();
    const double cm = kPointsPerCm * s;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, 0, area.width(), kRuler), kRulerColour);
    painter.fillRect(QRect(0, 0, kRuler, area.height()), kRulerColour);
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Millimetres only where they are far enough apart to read.
    const int perCm = cm / 10 >= 3 ? 10 : cm / 2 >= 3 ? 2 : 1;
    const auto ticks = [&](bool across) {
        const double start = across ? origin.x() : origin.y();
        const double length = across ? page.width() : page.height();
        const double limit = across ? area.width() : area.height();
        const double step = cm / perCm;
        const long count = static_cast<long>(std::floor(length / step));
        // Ticks scrolled out of sight are skipped by arithmetic: a long page has millions.
        const long first = std::max(0L, static_cast<long>(std::ceil((kRuler - start) / step)));
        for (long i = first; i <= count; ++i) {
            const double at = start + i * step;
            if (at > limit) break;
            const bool whole = i % perCm == 0;
            const bool half = perCm == 10 ? i % 5 == 0 : !whole;
            const int tick = whole ? kRuler / 2 : half ? kRuler / 3 : kRuler / 5;
            const int p = static_cast<int>(std::lround(at));
            if (across)
                painter.drawLine(p, kRuler - tick, p, kRuler - 1);
            else
                painter.drawLine(kRuler - tick, p, kRuler - 1, p);
            if (whole && i > 0) {
                const QString label = QString::number(i / perCm);
                if (across)
                    painter.drawText(QPointF(p + 2, 10), label);
                else
                    painter.drawText(QPointF(2, p - 2), label);
            }
        }
    };
    ticks(true);
    ticks(false);
    painter.drawLine(0, kRuler - 1, area.width(), kRuler - 1);
    painter.drawLine(kRuler - 1, 0, kRuler - 1, area.height());
    painter.fillRect(QRect(0, 0, kRuler - 1, kRuler - 1), kRulerColour);
    painter.restore();
}

void ReportView::paintDrag(QPainter& painter) {
    const auto& drag = layout::layoutOf(m_control).drag();
    if (!drag) return;
    const long page = layout::layoutOf(m_control).currentPage();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    const engine::ReportObject* object = m_control.findObject(drag->object);
    if (object && object->kind == "line") {
        const QRectF a = viewportRect(page, {drag->from.x, drag->from.y, 0, 0});
        const QRectF b = viewportRect(page, {drag->to.x, drag->to.y, 0, 0});
        painter.drawLine(a.topLeft(), b.topLeft());
    } else {
        painter.drawRect(viewportRect(page, drag->box));
    }
    painter.restore();
}

// --- Qt plumbing --------------------------------------------------------------------------

void ReportView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    placeEditor();
}

void ReportView::scrollContentsBy(int, int) {
    placeEditor();
    viewport()->update();
}

void ReportView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    m_pollTimer.start();
    checkChanges();
}

void ReportView::hideEvent(QHideEvent* event) {
    m_pollTimer.stop();
    // Counting goes on when the view shows its page again.
    m_countTimer.stop();
    // A button that goes up while the view is hidden never reaches it: the drag ends here.
    if (m_leftDown && m_dragThroughEngine && m_control.isCreated())
        layout::layoutOf(m_control).cancelDrag();
    m_leftDown = false;
    m_dragThroughEngine = false;
    m_pendingMove.reset();
    QAbstractScrollArea::hideEvent(event);
}

}  // namespace print::qt
