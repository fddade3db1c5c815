#include "platform/datawindow_control.h"

#include "platform/window.h"

#include <cmath>
#include <cstdlib>

#include "common/text.h"

namespace print::platform {

DataWindowControl::DataWindowControl(Control* parent, std::string name)
    : Control(parent, std::move(name), ControlKind::DataWindow) {
    itemChanged = [this](long row, const std::string& column, const std::string& data) {
        return static_cast<int>(this->itemchanged(row, column, data));
    };
    itemError = [this](long row, const std::string& column, const std::string& data) {
        return static_cast<int>(this->itemerror(row, column, data));
    };
}

long DataWindowControl::clicked(long xpos, long ypos, long row, std::string_view dwo) {
    if (onClickedAt) return onClickedAt(xpos, ypos, row, dwo);
    Control::clicked();
    return 0;
}

long DataWindowControl::doubleclicked(long xpos, long ypos, long row, std::string_view dwo) {
    return onDoubleClicked ? onDoubleClicked(xpos, ypos, row, dwo) : 0;
}

long DataWindowControl::rbuttondown(long xpos, long ypos, long row, std::string_view dwo) {
    return onRButtonDown ? onRButtonDown(xpos, ypos, row, dwo) : 0;
}

long DataWindowControl::itemchanged(long row, std::string_view dwo, std::string_view data) {
    return onItemChanged ? onItemChanged(row, dwo, data) : 0;
}

long DataWindowControl::itemerror(long row, std::string_view dwo, std::string_view data) {
    return onItemError ? onItemError(row, dwo, data) : 0;
}

long DataWindowControl::buttonclicked(long row, long actionreturncode, std::string_view dwo) {
    return onButtonClicked ? onButtonClicked(row, actionreturncode, dwo) : 0;
}

long DataWindowControl::dberror(long sqldbcode, std::string_view sqlerrtext) {
    return onDbError ? onDbError(sqldbcode, sqlerrtext) : 0;
}

long DataWindowControl::ue_lbuttondown(int flags, long xpos, long ypos) {
    return onLButtonDown ? onLButtonDown(flags, xpos, ypos) : 0;
}

long DataWindowControl::ue_lbuttonup(int flags, long xpos, long ypos) {
    return onLButtonUp ? onLButtonUp(flags, xpos, ypos) : 0;
}

long DataWindowControl::ue_mousemove(int flags, long xpos, long ypos) {
    return onMouseMove ? onMouseMove(flags, xpos, ypos) : 0;
}

long DataWindowControl::ue_keydown(int key, int keyflags) {
    return onKeyDown ? onKeyDown(key, keyflags) : 0;
}

void DataWindowControl::operatorMouse(MouseAction action, layout::PagePoint point, bool ctrl) {
    layout::ReportLayout& pages = layout::layoutOf(*this);
    pages.setPointer(point);
    const auto [ux, uy] = pages.pointerInUnits();
    const long x = std::lround(ux), y = std::lround(uy);
    const int held = kMouseFlagLeft | (ctrl ? kMouseFlagCtrl : 0);
    switch (action) {
    case MouseAction::Down: {
        takeFocus();
        // A drag whose release never came ends here, unwritten.
        pages.cancelDrag();
        // Taken before the event: what the event draws around the object must not take it.
        const layout::Press press = pages.pressAt(point);
        if (ue_lbuttondown(held, x, y) != 1) pages.beginDrag(press, point);
        const std::string at = GetObjectAtPointer();
        const size_t tab = at.find('\t');
        const long row = tab == std::string::npos ? 0 : std::atol(at.c_str() + tab + 1);
        clicked(x, y, row, tab == std::string::npos ? std::string_view{}
                                                    : std::string_view(at).substr(0, tab));
        break;
    }
    case MouseAction::Move:
        if (pages.drag()) pages.moveDrag(point);
        ue_mousemove(held, x, y);
        break;
    case MouseAction::Up:
        if (pages.drag()) pages.endDrag(point);
        ue_lbuttonup(held & ~kMouseFlagLeft, x, y);
        break;
    }
}

std::optional<layout::PlacedObject> DataWindowControl::placedObject(std::string_view name) {
    layout::ReportLayout& pages = layout::layoutOf(*this);
    auto list = pages.displayList(pages.currentPage());
    if (!list) return std::nullopt;
    const layout::PageDisplayList& page = *list.value();
    for (auto it = page.objects.rbegin(); it != page.objects.rend(); ++it)
        if (it->tag.report.empty() && iequals(it->tag.object, name)) return *it;
    return std::nullopt;
}

void DataWindowControl::takeFocus() {
    if (platform::Window* w = window()) w->setFocus(this);
}

void DataWindowControl::operatorClick(long row, std::string_view dwo) {
    takeFocus();
    if (row >= 1 && row <= RowCount()) SetRow(row);
    clicked(0, 0, row, dwo);
}

void DataWindowControl::operatorDoubleClick(long row, std::string_view dwo) {
    takeFocus();
    if (row >= 1 && row <= RowCount()) SetRow(row);
    clicked(0, 0, row, dwo);
    doubleclicked(0, 0, row, dwo);
}

void DataWindowControl::operatorRightClick(long row, std::string_view dwo) {
    takeFocus();
    rbuttondown(0, 0, row, dwo);
}

int DataWindowControl::operatorSetItem(long row, std::string_view column, std::string_view text) {
    takeFocus();
    if (row < 1 || row > RowCount() || columnIndex(column) < 0) return -1;
    if (GetRow() != row) {
        if (AcceptText() != 1) return -1;
        SetRow(row);
    }
    if (SetColumn(column) != 1) return -1;
    if (SetText(text) != 1) return -1;
    return AcceptText();
}

void DataWindowControl::operatorButton(long row, std::string_view dwo) {
    if (row >= 1 && row <= RowCount()) SetRow(row);
    buttonclicked(row, 0, dwo);
}

int DataWindowControl::SetRowFocusIndicator(Control* indicator) {
    m_focusIndicator = indicator;
    return 1;
}

}  // namespace print::platform
