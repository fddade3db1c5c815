// The operator's mouse and keys on a report view, and the cell editors of screen forms.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/text.h"
#include "platform/units.h"
#include "platform/window.h"
#include "qt/form_editor.h"
#include "qt/report_view.h"

namespace print::qt {

using platform::KeyCode;
using platform::MouseAction;

KeyCode keyCodeFromQt(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::A) + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::Num0) + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return static_cast<KeyCode>(static_cast<int>(KeyCode::F1) + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Left:
            return KeyCode::Left;
        case Qt::Key_Right:
            return KeyCode::Right;
        case Qt::Key_Up:
            return KeyCode::Up;
        case Qt::Key_Down:
            return KeyCode::Down;
        case Qt::Key_Delete:
            return KeyCode::Delete;
        case Qt::Key_Escape:
            return KeyCode::Escape;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return KeyCode::Enter;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return KeyCode::Tab;
        case Qt::Key_Backspace:
            return KeyCode::Backspace;
        case Qt::Key_Home:
            return KeyCode::Home;
        case Qt::Key_End:
            return KeyCode::End;
        case Qt::Key_PageUp:
            return KeyCode::PageUp;
        case Qt::Key_PageDown:
            return KeyCode::PageDown;
        case Qt::Key_Insert:
            return KeyCode::Insert;
        case Qt::Key_Space:
            return KeyCode::Space;
        case Qt::Key_Control:
            return KeyCode::Control;
        case Qt::Key_Shift:
            return KeyCode::Shift;
        case Qt::Key_Alt:
            return KeyCode::Alt;
        default:
            return KeyCode::None;
    }
}

int keyFlagsFromQt(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? platform::kKeyFlagShift : 0) |
           (modifiers & Qt::ControlModifier ? platform::kKeyFlagCtrl : 0);
}

namespace {

Qt::CursorShape cursorFor(const layout::DragEdges& edges) {
    if (edges.moving()) return Qt::SizeAllCursor;
    const bool across = edges.left || edges.right, down = edges.top || edges.bottom;
    if (across && down)
        return (edges.left && edges.top) || (edges.right && edges.bottom) ? Qt::SizeFDiagCursor
                                                                          : Qt::SizeBDiagCursor;
    return across ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

}  // namespace

// --- mouse --------------------------------------------------------------------------------

void ReportView::pointAt(const PageHit& hit) {
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    // The operator's own click turns no page in the form's scrolling.
    if (layout.currentPage() != hit.page && layout.setCurrentPage(hit.page) == 1)
        m_shown.page = hit.page;
    layout.setPointer(hit.point);
}

std::pair<std::string, long> ReportView::objectUnderPointer() {
    const auto parse = [](const std::string& at) -> std::pair<std::string, long> {
        const size_t tab = at.find('\t');
        if (tab == std::string::npos) return {at, 0};
        return {at.substr(0, tab), std::atol(at.c_str() + tab + 1)};
    };
    auto [name, row] = parse(m_control.GetObjectAtPointer());
    if (row == 0) row = parse(m_control.GetBandAtPointer()).second;
    return {name, row};
}

bool ReportView::startsDrag(const PageHit& hit) {
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    if (layout.drag() || layout.currentPage() != hit.page) return false;
    // The engine's own choice of object and edges, undone at once.
    const bool starts = layout.beginDrag(hit.point);
    layout.cancelDrag();
    return starts;
}

void ReportView::updateCursor(const std::optional<PageHit>& hit) {
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (layout.drag()) {
        shape = cursorFor(layout.drag()->edges);
    } else if (hit && hit->page == layout.currentPage() && layout.beginDrag(hit->point)) {
        shape = cursorFor(layout.drag()->edges);
        layout.cancelDrag();
    }
    if (viewport()->cursor().shape() != shape) viewport()->setCursor(shape);
}

void ReportView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    setFocus(Qt::MouseFocusReason);
    if (m_editor) {
        if (!m_editor->commit()) return;
        closeEditor();
    }
    const auto hit = pageHitAt(event->position());
    if (!hit) return;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    // The window's events may close the window and take this view with it.
    const QPointer<ReportView> alive(this);
    if (event->button() == Qt::LeftButton) {
        // A press while a drag still waits for its release (the release went elsewhere): that
        // drag is abandoned rather than ended at a point the operator never chose.
        if (m_leftDown && m_dragThroughEngine) layout::layoutOf(m_control).cancelDrag();
        m_leftDown = true;
        m_ctrl = ctrl;
        m_pendingMove.reset();
        pointAt(*hit);
        if (inPrintPreview() || startsDrag(*hit)) {
            m_dragThroughEngine = true;
            m_control.operatorMouse(MouseAction::Down, hit->point, ctrl);
        } else {
            formClick(*hit);
        }
    } else if (event->button() == Qt::RightButton) {
        rightClick(event->position(), *hit);
    }
    if (!alive) return;
    updateCursor(hit);
    checkChanges();
}

void ReportView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const auto hit = pageHitAt(event->position());
    if (m_leftDown && m_dragThroughEngine) {
        if (!hit) return;
        // Moves come faster than a report redraws: only the latest one waiting is sent.
        m_pendingMove = hit->point;
        if (!m_moveTimer.isActive()) m_moveTimer.start();
        return;
    }
    if (!m_leftDown) updateCursor(hit);
}

void ReportView::sendMove() {
    if (!m_pendingMove) return;
    const layout::PagePoint point = *m_pendingMove;
    m_pendingMove.reset();
    m_control.operatorMouse(MouseAction::Move, point, m_ctrl);
    updateCursor(std::nullopt);
    viewport()->update();
}

void ReportView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !m_leftDown) return;
    const auto hit = pageHitAt(event->position());
    if (m_dragThroughEngine) {
        // The moves still waiting reach the window before the button goes up.
        m_moveTimer.stop();
        sendMove();
        const layout::PagePoint point = hit ? hit->point : layout::layoutOf(m_control).pointer();
        const QPointer<ReportView> alive(this);
        m_control.operatorMouse(MouseAction::Up, point, m_ctrl);
        if (!alive) return;
    }
    m_leftDown = false;
    m_dragThroughEngine = false;
    updateCursor(hit);
    checkChanges();
    viewport()->update();
}

void ReportView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press as well: the designer sees its button
    // go down and up again, and a form makes the row current.
    const QPointer<ReportView> alive(this);
    mousePressEvent(event);
    if (!alive || event->button() != Qt::LeftButton) return;
    const auto hit = pageHitAt(event->position());
    if (!hit) return;
    layout::layoutOf(m_control).setPointer(hit->point);
    const auto [name, row] = objectUnderPointer();
    const auto [ux, uy] = layout::layoutOf(m_control).pointerInUnits();
    m_control.doubleclicked(std::lround(ux), std::lround(uy), row, name);
    if (alive) checkChanges();
}

void ReportView::formClick(const PageHit& hit) {
    pointAt(hit);
    const auto [name, row] = objectUnderPointer();
    const auto [ux, uy] = layout::layoutOf(m_control).pointerInUnits();
    m_control.takeFocus();
    if (row >= 1 && row <= m_control.RowCount()) m_control.SetRow(row);
    const QPointer<ReportView> alive(this);
    m_control.clicked(std::lround(ux), std::lround(uy), row, name);
    if (!alive || name.empty()) return;
    const engine::ReportObject* object = m_control.findObject(name);
    if (object && object->kind == "button") {
        m_control.operatorButton(row, name);
        return;
    }
    if (editableColumn(m_control, name, row)) openEditor(row, name);
}

void ReportView::rightClick(QPointF pos, const PageHit& hit) {
    pointAt(hit);
    const auto [name, row] = objectUnderPointer();
    const auto [ux, uy] = layout::layoutOf(m_control).pointerInUnits();
    m_control.takeFocus();
    if (row >= 1 && row <= m_control.RowCount()) m_control.SetRow(row);
    if (platform::Window* window = m_control.window()) {
        // Pop-up menus open where the pointer is over the window, in the window's units.
        long x = platform::pixelsToUnitsX(std::lround(pos.x()) + viewport()->x());
        long y = platform::pixelsToUnitsY(std::lround(pos.y()) + viewport()->y());
        for (const platform::Control* c = &m_control; c && c != window; c = c->parent()) {
            x += c->x();
            y += c->y();
        }
        window->setPointerPosition(x, y);
    }
    m_control.rbuttondown(std::lround(ux), std::lround(uy), row, name);
}

// --- keys ---------------------------------------------------------------------------------

bool ReportView::event(QEvent* event) {
    // Keys the report takes go to it even when a window action claims them as a shortcut.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (keyCodeFromQt(key->key()) != KeyCode::None && key->key() != Qt::Key_Tab &&
            key->key() != Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReportView::keyPressEvent(QKeyEvent* event) {
    // Keys an editor leaves (a line edit passes Enter on) were the editor's: they end here.
    QWidget* focus = QApplication::focusWidget();
    if (m_editor && m_editor->widget() && focus &&
        (focus == m_editor->widget() || m_editor->widget()->isAncestorOf(focus))) {
        event->accept();
        return;
    }
    const KeyCode code = keyCodeFromQt(event->key());
    if (code == KeyCode::None) {
        event->ignore();
        return;
    }
    event->accept();
    const QPointer<ReportView> alive(this);
    deliverKey(event);
    if (alive) checkChanges();
}

void ReportView::deliverKey(QKeyEvent* event) {
    const KeyCode code = keyCodeFromQt(event->key());
    const int flags = keyFlagsFromQt(event->modifiers());
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long pageBefore = m_control.isCreated() ? layout.currentPage() : 0;
    const long rowBefore = m_control.GetRow();
    const uint64_t definitionBefore = m_control.definitionVersion();
    m_control.takeFocus();
    const QPointer<ReportView> alive(this);
    if (platform::Window* window = m_control.window())
        window->pressKey(code, flags);
    else
        m_control.ue_keydown(static_cast<int>(code), flags);
    if (!alive || !m_control.isCreated() || m_control.definitionVersion() != definitionBefore)
        return;
    // What the window left alone, the report does as a report does.
    const bool pageLeft = layout.currentPage() == pageBefore;
    const bool rowLeft = m_control.GetRow() == rowBefore;
    const bool preview = inPrintPreview();
    if (code == KeyCode::PageDown && pageLeft) {
        if (preview)
            m_control.ScrollNextPage();
        else
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    } else if (code == KeyCode::PageUp && pageLeft) {
        if (preview)
            m_control.ScrollPriorPage();
        else
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    } else if (!preview && rowLeft && flags == 0 &&
               (code == KeyCode::Down || code == KeyCode::Up)) {
        const long row = rowBefore + (code == KeyCode::Down ? 1 : -1);
        if (row >= 1 && row <= m_control.RowCount()) m_control.SetRow(row);
    }
}

// --- cell editors -------------------------------------------------------------------------

void ReportView::openEditor(long row, const std::string& object) {
    closeEditor();
    // The cell being edited is the report's current one, as a click on it makes it.
    m_control.SetColumn(object);
    m_editor = std::make_unique<FormEditor>(m_control, row, object, viewport());
    // The editor signals from inside its own event handling: it is replaced only afterwards.
    connect(
        m_editor.get(), &FormEditor::cancelled, this, [this] { closeEditor(); },
        Qt::QueuedConnection);
    connect(
        m_editor.get(), &FormEditor::tabbed, this,
        [this](bool backwards) { moveEditor(backwards); }, Qt::QueuedConnection);
    connect(m_editor.get(), &FormEditor::stored, this, [this] { scheduleCheck(); });
    placeEditor();
    if (m_editor && m_editor->widget()) m_editor->widget()->setFocus(Qt::MouseFocusReason);
}

bool ReportView::commitEditor() {
    if (!m_editor) return true;
    const QPointer<ReportView> alive(this);
    const bool stored = m_editor->commit();
    if (alive) checkChanges();
    return stored;
}

void ReportView::closeEditor() {
    if (!m_editor) return;
    const bool hadFocus = m_editor->widget() && m_editor->widget()->hasFocus();
    m_editor.reset();
    if (hadFocus) setFocus(Qt::OtherFocusReason);
}

void ReportView::moveEditor(bool backwards) {
    if (!m_editor) return;
    const long row = m_editor->row();
    const std::string from = m_editor->object();
    // The editable columns in their tab order.
    std::vector<std::pair<long, std::string>> order;
    for (const engine::ReportObject& object : m_control.objects()) {
        if (object.kind != "column" || !editableColumn(m_control, object.name, row)) continue;
        const auto tab = parseInteger(trim(object.attrs.get("tabsequence")));
        order.emplace_back(tab ? *tab : 0, object.name);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (order.empty()) {
        closeEditor();
        return;
    }
    auto at = std::find_if(order.begin(), order.end(),
                           [&](const auto& entry) { return iequals(entry.second, from); });
    long nextRow = row;
    size_t index = 0;
    if (at == order.end()) {
        index = 0;
    } else if (backwards) {
        index =
            at == order.begin() ? order.size() - 1 : static_cast<size_t>(at - order.begin()) - 1;
        if (at == order.begin()) --nextRow;
    } else {
        index = static_cast<size_t>(at - order.begin()) + 1;
        if (index == order.size()) {
            index = 0;
            ++nextRow;
        }
    }
    if (nextRow < 1 || nextRow > m_control.RowCount()) {
        // Past the first or the last cell: Tab leaves the form for the window's next control.
        closeEditor();
        setFocus(Qt::OtherFocusReason);
        focusNextPrevChild(!backwards);
        return;
    }
    if (nextRow != row) m_control.SetRow(nextRow);
    m_control.SetColumn(order[index].second);
    openEditor(nextRow, order[index].second);
    checkChanges();
}

void ReportView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    const bool tabbed =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (!tabbed || m_editor || inPrintPreview() || !m_control.isCreated()) return;
    // Tabbed into a form: the first (Shift+Tab: the last) cell that takes typing, on the
    // current row, gets its editor, as the keyboard reaches the form's fields.
    const long row = m_control.GetRow() >= 1 ? m_control.GetRow() : 1;
    if (row > m_control.RowCount()) return;
    std::vector<std::pair<long, std::string>> order;
    for (const engine::ReportObject& object : m_control.objects()) {
        if (object.kind != "column" || !editableColumn(m_control, object.name, row)) continue;
        const auto tab = parseInteger(trim(object.attrs.get("tabsequence")));
        order.emplace_back(tab ? *tab : 0, object.name);
    }
    if (order.empty()) return;
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::string& column =
        event->reason() == Qt::TabFocusReason ? order.front().second : order.back().second;
    if (m_control.GetRow() != row) m_control.SetRow(row);
    openEditor(row, column);
    if (m_editor && m_editor->widget()) m_editor->widget()->setFocus(event->reason());
    checkChanges();
}

void ReportView::placeEditor() {
    if (!m_editor || !m_editor->widget()) return;
    QWidget* widget = m_editor->widget();
    layout::ReportLayout& layout = layout::layoutOf(m_control);
    const long row = m_editor->row();
    long page = inPrintPreview() ? layout.currentPage() : layout.pageOfRow(row);
    std::optional<layout::PageRect> box;
    if (page >= 1) {
        if (auto list = layout.displayList(page)) {
            for (const layout::PlacedObject& placed : list.value()->objects)
                if (placed.tag.report.empty() && placed.tag.row == row &&
                    iequals(placed.tag.object, m_editor->object()))
                    box = placed.box;
        }
    }
    if (!box) {
        widget->hide();
        return;
    }
    const QRectF r = viewportRect(page, *box);
    const int minHeight = std::min(widget->minimumSizeHint().height(), 2 * int(r.height()) + 8);
    QRect place = r.toAlignedRect();
    if (place.height() < minHeight) place.setHeight(minHeight);
    widget->setGeometry(place);
    widget->show();
}

}  // namespace print::qt
