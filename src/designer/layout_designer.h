// The layout designer of the print window: the selection with its grips, mouse and keyboard
// editing of the previewed report, the edit history with undo and redo, and the align, size,
// order and spacing commands. It acts on the report only through Describe, Modify,
// SetPosition, SetRedraw and the engine's hit testing.
//
// The print window derives from it, so the designer's state and functions are the window's
// members under their component names.
#pragma once

#include <string>

#include "platform/datawindow_control.h"
#include "platform/services.h"

namespace print::designer {

class LayoutDesigner {
public:
    explicit LayoutDesigner(platform::DataWindowControl& preview) : m_preview(preview) {}
    virtual ~LayoutDesigner() = default;

    // --- the designer's state, under the component's names ------------------------------------
    std::string is_select;
    int ii_select = 0;
    int ii_cancel = 0;
    bool ib_microadjustpos = false;
    std::string is_syntaxmodify;
    std::string is_redosyntaxmodify;
    long il_syntaxupper = 0;
    long il_redosyntaxupper = 0;
    std::string is_lastobjx, is_lastobjy, is_lastobjwidth, is_lastobjheight, is_lastobjselect;

    // Removes the selection and its markers from the report.
    virtual void wf_clearselect();
    // Runs a toolbar command: "undo", "redo", "front", "back", "left", "right", "top",
    // "bottom", "width", "height", "same", "hevenly", "vevenly".
    virtual void ue_align(const std::string& command);
    // Empties the edit history (after a report was loaded).
    void resetHistory();

protected:
    platform::DataWindowControl& m_preview;
};

}  // namespace print::designer
