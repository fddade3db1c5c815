#include "platform/datawindow_control.h"

#include "platform/window.h"

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
