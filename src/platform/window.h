// Windows: top-level controls with a title, opened through the services (modally) and closed by
// themselves or by the operator. The events `open`, `ue_postopen`, `close`, `resize` and `key`
// are member functions that descendants override, calling the ancestor's first as the platform
// runs an ancestor's script before the descendant's.
//
// `w_center` is the host's ancestor window: `wf_setescexit(true)` makes Esc close it. The menu
// `m_template` pops up over the template list; its items trigger `ue_loadtemplate` and
// `ue_deltemplate` on the window by name.
#pragma once

#include <string>
#include <string_view>

#include "platform/control.h"
#include "platform/services.h"

namespace print::platform {

class Window : public Control {
public:
    explicit Window(std::string name);
    ~Window() override;

    const std::string& title() const { return text(); }
    void setTitle(std::string title) { setText(std::move(title)); }

    // The services this window works through. Set when the window opens, or beforehand by a
    // caller that runs window functions without opening it.
    Services& services() const;
    bool hasServices() const { return m_services != nullptr; }
    void setServices(Services& services) { m_services = &services; }

    bool isOpen() const { return m_open; }
    // Opens the window on `services`: `open`, then `ue_postopen`. Called by the services.
    void runOpen(Services& services);
    // Closes the window (the platform's Close): `close` runs once; later calls do nothing.
    void closeWindow();
    // The operator asks to close the window (its close box, Esc, a close button): it closes
    // unless `closeQuery` keeps it open. True when the window is closed.
    bool requestClose();

    // Triggers an event by its name; 1, or -1 when the window has no such event.
    virtual int triggerEvent(std::string_view event);

    // --- events -------------------------------------------------------------------------------
    virtual void open() {}
    virtual void ue_postopen() {}
    virtual void close() {}
    // Whether the window may close at the operator's request; false keeps it open (the
    // operator chose to stay, say, when asked about unsaved changes).
    virtual bool closeQuery() { return true; }
    virtual void resize(int sizeType, long newWidth, long newHeight) {}
    virtual void key(KeyCode key, int keyFlags) {}
    // The window's own keys, which act wherever the focus is: true when the key was one of them
    // (it then goes no further).
    virtual bool shortcut(KeyCode key, int keyFlags) { return false; }

    // The operator presses a key (flags: kKeyFlagShift, kKeyFlagCtrl). Exactly one handler
    // sees it: Enter presses the window's default button and Esc its cancel button when it has
    // one shown and enabled; else the window's `shortcut` takes it when it is one of its own;
    // else the report control that has the focus (its `ue_keydown`), or else the window's `key`
    // event. Esc always goes to the window, whose shortcut it is.
    void pressKey(KeyCode key, int keyFlags);

    // The control that receives keys; null for the window itself. Buttons never take the focus,
    // so a toolbar click leaves the keys with the report.
    Control* focusedControl() const { return m_focus; }
    void setFocus(Control* control);
    // The operator resizes the window: the size changes (not below the minimum size), then
    // `resize` runs.
    void resizeTo(long width, long height);
    // The smallest size the operator can give the window (units); 0 for none.
    long minimumWidth() const { return m_minWidth; }
    long minimumHeight() const { return m_minHeight; }
    void setMinimumSize(long width, long height);

    // The work space (the window without its frame), in units.
    long workSpaceWidth() const { return width(); }
    long workSpaceHeight() const { return height(); }
    // Where the pointer is over the window, in units; set by the front end and by scripts.
    long pointerX() const { return m_pointerX; }
    long pointerY() const { return m_pointerY; }
    void setPointerPosition(long x, long y) {
        m_pointerX = x;
        m_pointerY = y;
    }

private:
    Services* m_services = nullptr;
    Control* m_focus = nullptr;
    bool m_open = false;
    bool m_closed = false;
    long m_minWidth = 0, m_minHeight = 0;
    long m_pointerX = 0, m_pointerY = 0;
};

class w_center : public Window {
public:
    explicit w_center(std::string name) : Window(std::move(name)) {}
    // With true, Esc closes the window.
    void wf_setescexit(bool escExit) { m_escExit = escExit; }
    bool escExit() const { return m_escExit; }
    void key(KeyCode key, int keyFlags) override;

private:
    bool m_escExit = false;
};

// The pop-up menu over the template list. Its item `m_popup` holds `m_load` ("调用模板",
// triggers ue_loadtemplate) and `m_delete` ("删除模板", triggers ue_deltemplate).
class m_template : public Menu {
public:
    explicit m_template(Window* target);
    // The items under `m_popup`, as a menu of their own with the same target.
    Menu m_popup() const;
};

}  // namespace print::platform
