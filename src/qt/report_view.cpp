#include "qt/report_view.h"

#include <QPainter>

#include "engine/report_layout.h"
#include "render/page_painter.h"

namespace print::qt {

ReportView::ReportView(platform::DataWindowControl& control, QWidget* parent)
    : QAbstractScrollArea(parent), m_control(control) {}

void ReportView::refresh() {
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().window());
    engine::ReportLayout& layout = m_control.layout();
    const long page = layout.currentPage();
    if (page < 1) return;
    auto list = layout.displayList(page);
    if (!list.ok()) return;
    // One point per pixel at 96 dpi: the page as large as on paper.
    const double scale = logicalDpiX() / 72.0;
    const engine::PageDisplayList& shown = *list.value();
    painter.fillRect(QRectF(0, 0, shown.paperWidth * scale, shown.paperHeight * scale), Qt::white);
    render::PagePainter(layout.fontMetrics()).paint(painter, shown, scale);
}

}  // namespace print::qt
