// Controls: the named objects a window holds (buttons, texts, edits, check boxes, tab pages,
// panels, pictures, report controls). A control belongs to its parent, which is a window, a tab
// control, a tab page or a panel; controls are usually members of their parent's class and
// register themselves with it on construction.
//
// Geometry is in the platform's units. Setting a property notifies the control's observer (the
// Qt front end follows the model that way); events are member functions with the component's
// names, which call the handler a window installs (`onClicked`, ...) when there is one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace print::platform {

class Window;

enum class ControlKind {
    Window,
    Button,
    DataWindow,
    StaticText,
    SingleLineEdit,
    CheckBox,
    GroupBox,
    Picture,
    Tab,
    TabPage,
    UserObject,
};

// What changed, for observers.
// Focus is told to a window when the control that has its focus changes.
enum class ControlChange {
    Geometry,
    Visible,
    Enabled,
    Text,
    Tag,
    Checked,
    Picture,
    Selection,
    Focus
};

class ControlObserver {
public:
    virtual ~ControlObserver() = default;
    virtual void controlChanged(class Control& control, ControlChange change) = 0;
};

class Control {
public:
    Control(Control* parent, std::string name, ControlKind kind);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return m_name; }
    ControlKind kind() const { return m_kind; }
    Control* parent() const { return m_parent; }
    // The window this control lives in (itself for a window); null for a free control, and
    // once the window's own destructor has run.
    Window* window();
    const std::vector<Control*>& children() const { return m_children; }

    // A descendant by name (not case sensitive), searched depth first; a dotted path
    // ("tabpage_setup.dw_set") finds each part among the descendants of the one before.
    // Null when there is none.
    Control* find(std::string_view path);

    bool visible() const { return m_visible; }
    // Visible and every parent visible, and for a tab page its page selected.
    bool shown() const;
    bool enabled() const { return m_enabled; }
    long x() const { return m_x; }
    long y() const { return m_y; }
    long width() const { return m_width; }
    long height() const { return m_height; }
    const std::string& text() const { return m_text; }
    const std::string& tag() const { return m_tag; }

    void setVisible(bool visible);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }
    void setEnabled(bool enabled);
    void move(long x, long y);
    void resize(long width, long height);
    void setText(std::string text);
    void setTag(std::string tag);

    void setObserver(ControlObserver* observer) { m_observer = observer; }
    ControlObserver* observer() const { return m_observer; }

    // Events common to clickable controls.
    virtual void clicked();
    std::function<void()> onClicked;

protected:
    void notify(ControlChange change);

private:
    friend class Window;
    void addChild(Control* child);
    void removeChild(Control* child);

    Control* m_parent = nullptr;
    Window* m_asWindow = nullptr;  // this control as the window it is, while it is one
    std::string m_name;
    ControlKind m_kind;
    std::vector<Control*> m_children;
    bool m_visible = true;
    bool m_enabled = true;
    long m_x = 0, m_y = 0, m_width = 0, m_height = 0;
    std::string m_text;
    std::string m_tag;
    ControlObserver* m_observer = nullptr;
};

// The host's toolbar button: a picture, a text and a tooltip. A click runs `ue_click`.
class u_button : public Control {
public:
    u_button(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::Button) {}

    std::string is_bitmap;   // picture name
    std::string is_text;     // caption under the picture
    std::string is_tooltip;  // tooltip text

    // Sets the caption the button shows.
    void of_settext(std::string text);
    // Sets picture, caption and tooltip at once (the host sets the three at creation).
    void configure(std::string bitmap, std::string text, std::string tooltip);

    void clicked() override { ue_click(); }
    virtual void ue_click();
    std::function<void()> onClick;

    // The window's default button is pressed by Enter, its cancel button by Esc (while they
    // are shown and enabled), as the platform's Default and Cancel properties make them.
    bool isDefault() const { return m_default; }
    void setDefault(bool isDefault) { m_default = isDefault; }
    bool isCancel() const { return m_cancel; }
    void setCancel(bool isCancel) { m_cancel = isCancel; }

private:
    bool m_default = false;
    bool m_cancel = false;
};

class StaticText : public Control {
public:
    StaticText(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::StaticText) {}
};

// A single-line edit. `modified` runs when the operator has changed the text and leaves it.
class SingleLineEdit : public Control {
public:
    SingleLineEdit(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::SingleLineEdit) {}
    // The edit's new contents as the operator left them (a front end's edit hands over its whole
    // text): the text changes and `modified` runs.
    void type(std::string text);
    // The operator types `keys`: they take the place of the selected text, or go in at the
    // caret when nothing is selected; then `modified` runs.
    void typeKeys(std::string_view keys);
    virtual void modified();
    std::function<void()> onModified;
    int limit = 0;  // characters, 0 for none

    // The selection, in characters: the platform's SelectText. A length of 0 is the caret at
    // `start`. Setting the text puts the caret after it.
    void selectText(size_t start, size_t length);
    void selectAll() { selectText(0, utf8Length(text())); }
    size_t selectionStart() const { return m_selStart; }
    size_t selectionLength() const { return m_selLength; }
    std::string selectedText() const;

    void setText(std::string text);

private:
    size_t m_selStart = 0;
    size_t m_selLength = 0;
};

class CheckBox : public Control {
public:
    CheckBox(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::CheckBox) {}
    bool checked() const { return m_checked; }
    void setChecked(bool checked);
    // The operator clicks it: the state flips, then `clicked` runs.
    void toggle();

private:
    bool m_checked = false;
};

class GroupBox : public Control {
public:
    GroupBox(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::GroupBox) {}
};

class Picture : public Control {
public:
    Picture(Control* parent, std::string name)
        : Control(parent, std::move(name), ControlKind::Picture) {}
    const std::string& pictureName() const { return m_picture; }
    void setPictureName(std::string picture);

private:
    std::string m_picture;
};

// A panel: a user object holding controls of its own.
class UserObject : public Control {
public:
    UserObject(Control* parent, std::string name, ControlKind kind = ControlKind::UserObject)
        : Control(parent, std::move(name), kind) {}
};

class Tab;

// A page of a tab control; its caption is its text, shown with its picture on the tab.
class TabPage : public UserObject {
public:
    TabPage(Tab* tab, std::string name, std::string caption);
    Tab* tab() const;
    const std::string& pictureName() const { return m_picture; }
    void setPictureName(std::string picture) {
        m_picture = std::move(picture);
        notify(ControlChange::Picture);
    }

private:
    std::string m_picture;
};

class Tab : public Control {
public:
    Tab(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::Tab) {}
    // The pages in their order (the children that are tab pages).
    std::vector<TabPage*> pages() const;
    // 1-based index of the selected page, 0 when there is none.
    int selectedTab() const { return m_selected; }
    // Selects page `index` (1-based): 1, or -1 when there is no such visible page.
    int selectTab(int index);
    int selectTab(const TabPage& page);
    // Runs after the selection changed.
    virtual void selectionchanged(int oldIndex, int newIndex);
    std::function<void(int, int)> onSelectionChanged;

private:
    int m_selected = 0;
};

// A pop-up menu: items that trigger an event of the target window by name.
struct MenuItem {
    std::string name;
    std::string text;
    std::string event;  // the window event a click triggers
    bool enabled = true;
    bool visible = true;
    std::vector<MenuItem> items;
};

class Menu {
public:
    Menu(std::string name, Window* target) : m_name(std::move(name)), m_target(target) {}
    const std::string& name() const { return m_name; }
    Window* target() const { return m_target; }
    std::vector<MenuItem> items;

    // The item by name anywhere in the menu (not case sensitive); null when absent.
    const MenuItem* find(std::string_view name) const;
    // Clicks an item: triggers its event on the target. 1, or -1 when there is no such enabled
    // item or the target does not know the event.
    int click(std::string_view name) const;

private:
    std::string m_name;
    Window* m_target;
};

}  // namespace print::platform
