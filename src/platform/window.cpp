#include "platform/window.h"

#include <algorithm>
#include <cassert>

#include "common/text.h"
#include "platform/datawindow_control.h"

namespace print::platform {

Window::Window(std::string name) : Control(nullptr, std::move(name), ControlKind::Window) {
    m_asWindow = this;
}

Window::~Window() {
    m_asWindow = nullptr;
}

Services& Window::services() const {
    assert(m_services && "a window works through services: open it or call setServices first");
    return *m_services;
}

void Window::runOpen(Services& services) {
    m_services = &services;
    m_open = true;
    m_closed = false;
    open();
    if (m_open) ue_postopen();
}

void Window::closeWindow() {
    if (!m_open || m_closed) return;
    m_closed = true;
    close();
    m_open = false;
}

bool Window::requestClose() {
    if (m_open && !m_closed && !closeQuery()) return false;
    closeWindow();
    return true;
}

int Window::triggerEvent(std::string_view event) {
    if (iequals(event, "ue_postopen")) {
        ue_postopen();
        return 1;
    }
    if (iequals(event, "close")) {
        closeWindow();
        return 1;
    }
    return -1;
}

void Window::setFocus(Control* control) {
    if (control && control->kind() == ControlKind::Button) return;
    if (m_focus == control) return;
    m_focus = control;
    notify(ControlChange::Focus);
}

namespace {

// The shown and enabled button of `root`'s tree that `wanted` picks; null when none.
u_button* findButton(Control& root, bool (u_button::*wanted)() const) {
    for (Control* child : root.children()) {
        if (child->kind() == ControlKind::Button) {
            auto* button = static_cast<u_button*>(child);
            if ((button->*wanted)() && button->shown() && button->enabled()) return button;
        }
        if (u_button* found = findButton(*child, wanted)) return found;
    }
    return nullptr;
}

}  // namespace

void Window::pressKey(KeyCode key, int keyFlags) {
    if (keyFlags == 0 && (key == KeyCode::Enter || key == KeyCode::Escape)) {
        if (u_button* button =
                findButton(*this, key == KeyCode::Enter ? &u_button::isDefault : &u_button::isCancel)) {
            button->clicked();
            return;
        }
    }
    if (shortcut(key, keyFlags)) return;
    if (m_focus && key != KeyCode::Escape && m_focus->kind() == ControlKind::DataWindow &&
        m_focus->shown()) {
        static_cast<DataWindowControl*>(m_focus)->ue_keydown(static_cast<int>(key), keyFlags);
        return;
    }
    this->key(key, keyFlags);
}

void Window::resizeTo(long width, long height) {
    width = std::max(width, m_minWidth);
    height = std::max(height, m_minHeight);
    Control::resize(width, height);
    resize(0, width, height);
}

void Window::setMinimumSize(long width, long height) {
    if (m_minWidth == width && m_minHeight == height) return;
    m_minWidth = width;
    m_minHeight = height;
    notify(ControlChange::Geometry);
}

void w_center::key(KeyCode key, int keyFlags) {
    if (m_escExit && key == KeyCode::Escape) requestClose();
}

m_template::m_template(Window* target) : Menu("m_template", target) {
    MenuItem popup{"m_popup", "模板", "", true, true, {}};
    popup.items.push_back(MenuItem{"m_load", "调用模板", "ue_loadtemplate", true, true, {}});
    popup.items.push_back(MenuItem{"m_delete", "删除模板", "ue_deltemplate", true, true, {}});
    items.push_back(std::move(popup));
}

Menu m_template::m_popup() const {
    Menu menu("m_popup", target());
    if (const MenuItem* popup = find("m_popup")) menu.items = popup->items;
    return menu;
}

}  // namespace print::platform
