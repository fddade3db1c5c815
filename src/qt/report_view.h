// The on-screen face of a report control: shows its report and hands the operator's mouse and
// keys to the control's events, so the window logic and the layout designer see a real mouse
// exactly as they see a script's.
//
// Two ways of showing a report:
// - print preview (the report's DataWindow.Print.Preview is yes, or the caller forces it): the
//   engine's shown page (`layout::layoutOf(*this).currentPage()`) on a grey desk with a shadow, at
//   the report's preview zoom, with rulers in centimetres when the report asks for them. Scroll
//   bars move over that one page; PageUp and PageDown turn pages when the window logic leaves them.
// - screen form or list (everything else: settings forms, the template list): the pages'
//   printable areas stacked without margins or gaps at 100%, scrolling through the rows, the
//   current row marked by the control's focus indicator. Editable columns get an editor over
//   the cell when clicked, or when the window's logic makes the cell current while the view
//   has the focus (see form_editor.h); button objects press `operatorButton`. Objects marked
//   moveable or resizeable are dragged through the engine here too.
//
// Mouse: the left button goes to `operatorMouse` in print preview (the designer's path), with
// pointer moves coalesced so that a fast mouse sends the latest position once per turn of the
// event loop; in a form a click makes the row current and runs `clicked`. A double click is a
// press and then `doubleclicked`; the right button makes the row current, sets the window's
// pointer position (where pop-up menus open) and runs `rbuttondown`. Keys go to the window's
// `pressKey` once, and are accepted so that no other widget handles them again.
//
// Only what shows is laid out and drawn: the display list of the shown page (preview) or of
// the pages crossing the viewport (form), so a 100,000-row report scrolls as fast as a short
// one. The preview keeps the picture it painted last: after a change it paints again only the
// places where the page's display list changed (one object moved by the designer), and a
// repaint without a change copies the picture. The preview shows a page before the count of pages
// is known (a footer's "page 1 of N" shows nothing meanwhile), counts the rest a slice at a time
// between events and then draws the page again with the count. The view notices changes by
// comparing the report's definition and data versions, its shown page, zoom, rulers and current
// cell after every event it forwards, on `refresh()`, and on a light timer; changes are coalesced
// into one `update()`.
//
// Geometry: page points (1/72 inch, from the paper's top-left corner, as the engine's display
// lists and pointer) map to widget pixels at 96 pixels per inch times the zoom; the platform's
// units assume the same 96 DPI screen.
//
// Nothing here fails: a report without a definition shows an empty desk, and a page that cannot
// be laid out is drawn blank. The control must outlive its view.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

#include "layout/display_list.h"
#include "layout/report_layout.h"
#include "platform/datawindow_control.h"
#include "platform/services.h"
#include "render/page_painter.h"

namespace print::qt {

class FormEditor;

// The platform's key for a Qt key (KeyCode::None for keys the platform does not name), and its
// key flags for Qt's modifiers.
platform::KeyCode keyCodeFromQt(int key);
int keyFlagsFromQt(Qt::KeyboardModifiers modifiers);

class ReportView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ReportView(platform::DataWindowControl& control, QWidget* parent = nullptr);
    ~ReportView() override;

    // Draws the control's report again when its definition or rows changed.
    void refresh();

    platform::DataWindowControl& control() const { return m_control; }

    // Whether the report is shown as a print preview; nullopt (the default) follows the
    // report's DataWindow.Print.Preview. Windows whose report is always previewed (the print
    // window's dw_preview) force it.
    void setPrintPreview(std::optional<bool> preview);
    bool inPrintPreview() const;

    // Widget pixels per page point now (96 DPI times the zoom in print preview).
    double scale() const;
    // Where a viewport position lands on the report: the page (1-based) and the point on its
    // paper; nullopt over the desk, the rulers or below the last page.
    struct PageHit {
        long page = 0;
        layout::PagePoint point;
    };
    std::optional<PageHit> pageHitAt(QPointF viewportPos);
    // The viewport rectangle of `box` on page `page`; empty when the page is not shown.
    QRectF viewportRect(long page, const layout::PageRect& box);

    // Where the pointer goes to reach something of the report, in viewport pixels, scrolled
    // into sight first (an operator scrolls to what he wants to click); nullopt when the
    // report does not show it:
    // - `point` of page `page` (in print preview only the shown page), scrolled to when
    //   `scroll` is true;
    std::optional<QPoint> pointOnPage(long page, layout::PagePoint point, bool scroll);
    // - the middle of the detail band of row `row` of the outermost report;
    std::optional<QPoint> pointOfRow(long row);
    // - the middle of column object `object` on row `row` of the outermost report.
    std::optional<QPoint> pointOfCell(long row, const std::string& object);

    // Paints what the viewport shows into `painter` (active on a device as large as the
    // viewport). paintEvent comes here; benchmarks and tests draw off screen with it.
    void paintView(QPainter& painter);

    // The open cell editor, null when none is open.
    FormEditor* editor() const { return m_editor.get(); }
    // Hands what the operator left in the open editor to the report, as leaving it would: true
    // when it was stored (or there was nothing to hand over), false when the report refused it
    // (the editor then keeps the typed value and the focus).
    bool commitEditor();

    // Thickness of the rulers and the desk's margin around the page, in pixels.
    static constexpr int kRuler = 20;
    static constexpr int kDesk = 16;
    // A list that marks its current row (a picture or the hand) keeps a gutter for the mark
    // left of its rows, in pixels.
    static constexpr int kGutter = 14;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What the picture on screen was drawn from; a difference means it is out of date.
    struct Shown {
        uint64_t definition = 0;
        uint64_t data = 0;
        long page = 0;
        int zoom = 0;
        bool rulers = false;
        bool preview = false;
        long row = 0;
        std::string column;
        bool dragging = false;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    Shown current() const;
    // Compares the report with what is shown and brings the view up to date: scroll bars,
    // scrolling to a page or row the logic moved to, the editor; true when anything changed.
    bool syncShown();
    // syncShown, then a repaint when something changed.
    void checkChanges();
    // Runs checkChanges once the events being handled now are done.
    void scheduleCheck();
    void updateScrollBars();

    // --- geometry -------------------------------------------------------------------------
    QSizeF pagePixels() const;   // the shown page (preview) at the current scale
    QPointF pageOrigin() const;  // preview: where the paper's top-left corner is on screen
    double stripHeight() const;  // form: one page's printable height in pixels
    long formPageCount() const;
    // Form: the pixels its content takes, across and down all its pages.
    QSizeF formExtent() const;
    // Form: scrolls so that the band of `row` shows.
    void ensureRowVisible(long row);

    // --- painting -------------------------------------------------------------------------
    void paintPreview(QPainter& painter);
    void paintForm(QPainter& painter);
    void paintRulers(QPainter& painter, QPointF origin, QSizeF page);
    void paintDrag(QPainter& painter);
    // Counts pages for a few milliseconds; draws the shown page again once the count is known,
    // else goes on at the next turn of the event loop.
    void countPages();
    // The preview as it shows now, painted whole into `image` (the size of the viewport).
    void paintPreviewInto(QImage& image, const layout::PageDisplayList* list,
                          std::optional<QRect> only);
    void paintFocusIndicator(QPainter& painter, const layout::PageDisplayList& page,
                             QPointF origin);
    // Form: check box columns as boxes, ticked or not, with their text.
    void paintCheckBoxes(QPainter& painter, const layout::PageDisplayList& page, QPointF origin);
    void paintDropDownArrows(QPainter& painter, const layout::PageDisplayList& page,
                             QPointF origin);
    // Form: the gutter left of the rows for the current row's mark (pixels; 0 for none).
    double gutter() const;

    // --- input (report_view_input.cpp) -----------------------------------------------------
    // Makes `hit`'s page the shown one and moves the engine's pointer there.
    void pointAt(const PageHit& hit);
    // "name<TAB>row" under the pointer split in two; row from the band when no object is there.
    std::pair<std::string, long> objectUnderPointer();
    void sendMove();
    void formClick(const PageHit& hit);
    void rightClick(QPointF viewportPos, const PageHit& hit);
    void updateCursor(const std::optional<PageHit>& hit);
    // Whether the object under `hit` on the shown page would be dragged by a button-down.
    bool startsDrag(const PageHit& hit);
    void deliverKey(QKeyEvent* event);

    // --- editors (report_view_input.cpp) ----------------------------------------------------
    void openEditor(long row, const std::string& column);
    void closeEditor();
    void placeEditor();
    // Tab in an editor: the next (prior) editable column in tab order, on to the next row.
    void moveEditor(bool backwards);

    friend class FormEditor;

    platform::DataWindowControl& m_control;
    render::PagePainter m_painter;
    std::optional<bool> m_forcedPreview;
    Shown m_shown;
    QTimer m_checkTimer;  // 0 ms, single shot: coalesces checks
    QTimer m_pollTimer;   // catches changes made where the view is not told
    QTimer m_moveTimer;   // 0 ms, single shot: coalesces pointer moves while dragging
    QTimer m_countTimer;  // 0 ms, single shot: the next slice of counting pages
    // The preview as last painted (without the outline of a drag), and what it shows.
    struct Picture {
        QImage image;
        std::shared_ptr<const layout::PageDisplayList> list;
        long page = 0;
        QPointF origin;
        double scale = 0;
        bool rulers = false;
    };
    Picture m_picture;
    bool m_leftDown = false;
    bool m_ctrl = false;               // Ctrl was held when the left button went down
    bool m_dragThroughEngine = false;  // the press went to operatorMouse
    std::optional<layout::PagePoint> m_pendingMove;
    std::unique_ptr<FormEditor> m_editor;
};

}  // namespace print::qt
