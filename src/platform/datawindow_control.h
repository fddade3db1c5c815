// The report control: a control that holds one engine report and is that report, so the
// engine's functions (`Describe`, `Modify`, `Retrieve`, `GetChild`, ...) are called on it
// directly, as the component's code calls them on its DataWindows.
//
// Events carry the platform's names and arguments and return what the platform's do (0 by
// default). The operator functions below act as the operator does: they make a row current,
// type into a cell and accept it, so the item events run as in a real window.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "platform/control.h"

namespace print::platform {

enum class MouseAction { Down, Move, Up };

// The platform's mouse flags in mouse events: the left button held, Ctrl held.
constexpr int kMouseFlagLeft = 1;
constexpr int kMouseFlagCtrl = 8;

class DataWindowControl : public Control, public engine::DataStore {
public:
    DataWindowControl(Control* parent, std::string name);

    // The definition shown; setting it creates the report from the library search list
    // (1, or -1 when the name is not found or does not load; the control is then empty).
    int setDataObject(std::string_view name) { return SetDataObject(name); }

    // --- events (the platform's arguments) ------------------------------------------------------
    virtual long clicked(long xpos, long ypos, long row, std::string_view dwo);
    virtual long doubleclicked(long xpos, long ypos, long row, std::string_view dwo);
    virtual long rbuttondown(long xpos, long ypos, long row, std::string_view dwo);
    // 0 accept, 1 reject, 2 accept without storing (as the engine's item-changed).
    virtual long itemchanged(long row, std::string_view dwo, std::string_view data);
    // 0 reject with a message, 1 reject silently, 2 accept, 3 reject and move on.
    virtual long itemerror(long row, std::string_view dwo, std::string_view data);
    virtual long buttonclicked(long row, long actionreturncode, std::string_view dwo);
    // Returns 1 to suppress the platform's own database error message.
    virtual long dberror(long sqldbcode, std::string_view sqlerrtext);
    // Returns 1 to keep the engine from dragging what the press took.
    virtual long ue_lbuttondown(int flags, long xpos, long ypos);
    virtual long ue_lbuttonup(int flags, long xpos, long ypos);
    virtual long ue_mousemove(int flags, long xpos, long ypos);
    virtual long ue_keydown(int key, int keyflags);

    std::function<long(long, long, long, std::string_view)> onClickedAt;
    std::function<long(long, long, long, std::string_view)> onDoubleClicked;
    std::function<long(long, long, long, std::string_view)> onRButtonDown;
    std::function<long(long, std::string_view, std::string_view)> onItemChanged;
    std::function<long(long, std::string_view, std::string_view)> onItemError;
    std::function<long(long, long, std::string_view)> onButtonClicked;
    std::function<long(long, std::string_view)> onDbError;
    std::function<long(int, long, long)> onLButtonDown;
    std::function<long(int, long, long)> onLButtonUp;
    std::function<long(int, long, long)> onMouseMove;
    std::function<long(int, int)> onKeyDown;

    // --- operator actions ---------------------------------------------------------------------
    // Clicks row `row` (0 for no row): the row becomes current, then `clicked` runs.
    void operatorClick(long row, std::string_view dwo = {});
    void operatorDoubleClick(long row, std::string_view dwo = {});
    void operatorRightClick(long row, std::string_view dwo = {});
    // Types `text` into the cell (row, column) and leaves it: the item events run and the value
    // is stored when accepted. 1 accepted, -1 refused (the row or column does not exist, or an
    // item event rejected it).
    int operatorSetItem(long row, std::string_view column, std::string_view text);
    // Presses the button object `dwo` on row `row`: `buttonclicked` runs.
    void operatorButton(long row, std::string_view dwo);

    // The operator's left mouse button at `point` on the shown page (points from the paper's
    // top-left corner, as the engine's pointer): the pointer moves there, then
    // - Down: the control takes the keyboard, `ue_lbuttondown` runs, then the engine begins
    //   the drag the press makes (`ReportLayout::pressAt`, decided before the event ran, on
    //   the object the event saw under the pointer) unless the event returned 1, then
    //   `clicked` runs with the object and row there;
    // - Move: a drag under way follows the pointer, then `ue_mousemove` runs;
    // - Up: a drag under way ends and is written into the definition, then `ue_lbuttonup`.
    // Events get the point in the report's own units. The screen and scripts both come here.
    void operatorMouse(MouseAction action, layout::PagePoint point, bool ctrl = false);
    // Where object `name` of the outermost report is on the shown page: its box (for a line,
    // the box spanning its end points) and, for a line, its end points; nullopt when the shown
    // page does not show it.
    std::optional<layout::PlacedObject> placedObject(std::string_view name);

    // Makes this control the one that receives keys.
    void takeFocus();

    // --- control functions --------------------------------------------------------------------
    // The picture that marks the current row; null for the platform's default indicator. The
    // engine's Off!, FocusRect! and Hand! are taken too.
    int SetRowFocusIndicator(Control* indicator);
    using engine::DataStore::SetRowFocusIndicator;
    Control* rowFocusIndicator() const { return m_focusIndicator; }

private:
    Control* m_focusIndicator = nullptr;
};

}  // namespace print::platform
