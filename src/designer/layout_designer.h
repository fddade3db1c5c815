// The layout designer of the print window: the selection with its grips, mouse and keyboard
// editing of the previewed report, the edit history with undo and redo, and the align, size,
// order and spacing commands. It acts on the report only through Describe, Modify, SetPosition,
// SetRedraw and the engine's hit testing; every change is one Modify command text, recorded with
// the text that reverses it.
//
// The print window derives from it, so the designer's state and functions are the window's
// members under their component names. Slots of `is_select` and of the history are kept 0-based
// here (slot k of the component is element k - 1). Nothing is reported to the operator: a
// statement the engine refuses leaves the ones before it applied.
//
// Markers (grips and frames) are objects named "bw__dot_<object>_1" .. "_5" in the object's
// band; they never change the order of the report's own objects.
#pragma once

#include <string>
#include <vector>

#include "platform/datawindow_control.h"
#include "platform/services.h"

namespace print::designer {

class LayoutDesigner {
public:
    explicit LayoutDesigner(platform::DataWindowControl& preview) : m_preview(preview) {}
    virtual ~LayoutDesigner() = default;

    // --- selection ------------------------------------------------------------------------------
    // Names in the order they were selected; an emptied slot holds "".
    std::vector<std::string> is_select;
    int ii_select = 0;

    // --- edit history ---------------------------------------------------------------------------
    std::vector<std::string> is_syntaxmodify;      // undo text of each step
    std::vector<std::string> is_redosyntaxmodify;  // redo text of each step
    long il_syntaxupper = 0;                       // steps applied now
    long il_redosyntaxupper = 0;                   // the last recorded step: redo stops there
    bool ib_microadjustpos = false;
    int ii_cancel = 0;

    // --- the geometry captured at the last button-down ------------------------------------------
    std::string is_lastobjselect;
    std::string is_lastobjx, is_lastobjy, is_lastobjwidth, is_lastobjheight;

    // Creates (add) or destroys the markers of `as_obj` in band `as_band` and recolours the
    // grips of the primary object.
    void wf_drawfocus(platform::DataWindowControl& adw, const std::string& as_band,
                      const std::string& as_obj, bool ab_add);
    // Destroys every marker and empties the selection.
    void wf_clearselect(platform::DataWindowControl& adw_target);
    void wf_clearselect() { wf_clearselect(m_preview); }
    // Takes `as_name` out of the selection: 1 done, 0 nothing is selected, -1 not selected.
    int wf_is_select(const std::string& as_name);
    // Rebuilds every marker at the objects' current geometry, the list compacted.
    void wf_redrawfocus();
    // Records the change of `as_obj` since the button-down as one step (nothing when unmoved).
    void wf_tracemouse(const std::string& as_obj);

    // Events of the report control. The button-down returns 1 when it captured nothing (a
    // press on the background or a marker, a Ctrl-press that deselects): the engine then
    // drags nothing.
    long ue_lbuttondown(int flags, long xpos, long ypos);
    long ue_lbuttonup(int flags, long xpos, long ypos);
    long ue_keydown(int key, int keyflags);

    // Runs a toolbar command: "undo", "redo", "front", "back", "left", "right", "top",
    // "bottom", "width", "height", "same", "hevenly", "vevenly". Only in preview mode; undo
    // and redo (the buttons and Ctrl+Z) do nothing while the button is held after a press
    // that took an object (pressUnderWay).
    virtual void ue_align(const std::string& as_align);

    // Records one step: its undo text and its redo text. A new step ends the redo branch.
    void recordStep(std::string undo, std::string redo);
    // Empties the edit history (after a report was loaded).
    void resetHistory();
    // The primary object: the name in the highest non-empty slot; "" when nothing is selected.
    std::string primaryObject() const;
    // Whether a press took an object whose step waits for the button to go up, or the engine
    // drags one.
    bool pressUnderWay() const;

protected:
    // Whether the window shows the report (preview mode); commands act only then.
    virtual bool designerActive() const = 0;
    virtual platform::Services& designerServices() const = 0;
    // The object under the pointer as the engine's hit testing answers it ("name<TAB>row").
    virtual std::string objectUnderPointer() const = 0;

    platform::DataWindowControl& m_preview;

private:
    void undo();
    void redo();
    long number(const std::string& object, const std::string& property) const;
    // The geometry of `object` as a Modify text ("N.X=.. N.Y=.." or, for a line, its end points).
    std::string geometryText(const std::string& object) const;
    // Takes the geometry of `name` as the start of the drag's step.
    void capture(const std::string& name);
    void recaptureAfterStep();
    std::string m_lastGeometry;  // geometryText of is_lastobjselect at button-down
};

}  // namespace print::designer
