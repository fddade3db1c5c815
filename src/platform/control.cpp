#include "platform/control.h"

#include <algorithm>

#include "common/text.h"
#include "platform/window.h"

namespace print::platform {

Control::Control(Control* parent, std::string name, ControlKind kind)
    : m_parent(parent), m_name(std::move(name)), m_kind(kind) {
    if (m_parent) m_parent->addChild(this);
}

Control::~Control() {
    if (Window* w = window(); w && w != static_cast<Control*>(this) && w->focusedControl() == this)
        w->setFocus(nullptr);
    if (m_parent) m_parent->removeChild(this);
    for (Control* child : m_children) child->m_parent = nullptr;
}

void Control::addChild(Control* child) {
    m_children.push_back(child);
}

void Control::removeChild(Control* child) {
    m_children.erase(std::remove(m_children.begin(), m_children.end(), child), m_children.end());
}

Window* Control::window() {
    Control* c = this;
    while (c && c->m_kind != ControlKind::Window) c = c->m_parent;
    // No downcast: while a window is destroyed its Control part outlives its Window part.
    return c ? c->m_asWindow : nullptr;
}

namespace {

Control* findDescendant(Control& root, std::string_view name) {
    for (Control* child : root.children()) {
        if (iequals(child->name(), name)) return child;
    }
    for (Control* child : root.children()) {
        if (Control* found = findDescendant(*child, name)) return found;
    }
    return nullptr;
}

}  // namespace

Control* Control::find(std::string_view path) {
    Control* current = this;
    size_t start = 0;
    while (current && start <= path.size()) {
        const size_t dot = path.find('.', start);
        const std::string_view part = path.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (part.empty()) return nullptr;
        current = findDescendant(*current, part);
        if (dot == std::string_view::npos) return current;
        start = dot + 1;
    }
    return nullptr;
}

bool Control::shown() const {
    for (const Control* c = this; c; c = c->m_parent) {
        if (!c->m_visible) return false;
        if (c->m_kind == ControlKind::TabPage && c->m_parent &&
            c->m_parent->m_kind == ControlKind::Tab) {
            const auto* tab = static_cast<const Tab*>(c->m_parent);
            const auto pages = tab->pages();
            const int index = tab->selectedTab();
            if (index < 1 || index > static_cast<int>(pages.size()) || pages[index - 1] != c)
                return false;
        }
    }
    return true;
}

void Control::notify(ControlChange change) {
    if (m_observer) m_observer->controlChanged(*this, change);
}

void Control::setVisible(bool visible) {
    if (m_visible == visible) return;
    m_visible = visible;
    notify(ControlChange::Visible);
}

void Control::setEnabled(bool enabled) {
    if (m_enabled == enabled) return;
    m_enabled = enabled;
    notify(ControlChange::Enabled);
}

void Control::move(long x, long y) {
    if (m_x == x && m_y == y) return;
    m_x = x;
    m_y = y;
    notify(ControlChange::Geometry);
}

void Control::resize(long width, long height) {
    if (m_width == width && m_height == height) return;
    m_width = width;
    m_height = height;
    notify(ControlChange::Geometry);
}

void Control::setText(std::string text) {
    if (m_text == text) return;
    m_text = std::move(text);
    notify(ControlChange::Text);
}

void Control::setTag(std::string tag) {
    if (m_tag == tag) return;
    m_tag = std::move(tag);
    notify(ControlChange::Tag);
}

void Control::clicked() {
    if (onClicked) onClicked();
}

void u_button::of_settext(std::string text) {
    is_text = text;
    setText(std::move(text));
}

void u_button::configure(std::string bitmap, std::string text, std::string tooltip) {
    is_bitmap = std::move(bitmap);
    is_tooltip = std::move(tooltip);
    of_settext(std::move(text));
    notify(ControlChange::Picture);
}

void u_button::ue_click() {
    if (onClick) {
        onClick();
        return;
    }
    Control::clicked();
}

void SingleLineEdit::type(std::string text) {
    if (limit > 0 && utf8Length(text) > static_cast<size_t>(limit))
        text = utf8Substr(text, 0, static_cast<size_t>(limit));
    setText(std::move(text));
    modified();
}

void SingleLineEdit::typeKeys(std::string_view keys) {
    const std::string& now = text();
    const size_t caret = m_selStart + m_selLength;
    std::string typed = utf8Substr(now, 0, m_selStart) + std::string(keys);
    const size_t caretAfter = utf8Length(typed);
    typed += utf8Substr(now, caret);
    type(std::move(typed));
    const size_t length = utf8Length(text());
    selectText(std::min(caretAfter, length), 0);
}

void SingleLineEdit::setText(std::string text) {
    Control::setText(std::move(text));
    selectText(utf8Length(this->text()), 0);
}

void SingleLineEdit::selectText(size_t start, size_t length) {
    const size_t total = utf8Length(text());
    start = std::min(start, total);
    length = std::min(length, total - start);
    if (start == m_selStart && length == m_selLength) return;
    m_selStart = start;
    m_selLength = length;
    notify(ControlChange::Selection);
}

std::string SingleLineEdit::selectedText() const {
    return utf8Substr(text(), m_selStart, m_selLength);
}

void SingleLineEdit::modified() {
    if (onModified) onModified();
}

void CheckBox::setChecked(bool checked) {
    if (m_checked == checked) return;
    m_checked = checked;
    notify(ControlChange::Checked);
}

void CheckBox::toggle() {
    setChecked(!m_checked);
    clicked();
}

void Picture::setPictureName(std::string picture) {
    m_picture = std::move(picture);
    notify(ControlChange::Picture);
}

TabPage::TabPage(Tab* tab, std::string name, std::string caption)
    : UserObject(tab, std::move(name), ControlKind::TabPage) {
    setText(std::move(caption));
    if (tab && tab->selectedTab() == 0) tab->selectTab(1);
}

Tab* TabPage::tab() const {
    Control* p = parent();
    return p && p->kind() == ControlKind::Tab ? static_cast<Tab*>(p) : nullptr;
}

std::vector<TabPage*> Tab::pages() const {
    std::vector<TabPage*> out;
    for (Control* child : children())
        if (child->kind() == ControlKind::TabPage) out.push_back(static_cast<TabPage*>(child));
    return out;
}

int Tab::selectTab(int index) {
    const auto all = pages();
    if (index < 1 || index > static_cast<int>(all.size())) return -1;
    if (!all[index - 1]->visible()) return -1;
    const int old = m_selected;
    if (old == index) return 1;
    m_selected = index;
    notify(ControlChange::Selection);
    selectionchanged(old, index);
    return 1;
}

int Tab::selectTab(const TabPage& page) {
    const auto all = pages();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == &page) return selectTab(static_cast<int>(i) + 1);
    return -1;
}

void Tab::selectionchanged(int oldIndex, int newIndex) {
    if (onSelectionChanged) onSelectionChanged(oldIndex, newIndex);
}

namespace {

const MenuItem* findItem(const std::vector<MenuItem>& items, std::string_view name) {
    for (const auto& item : items) {
        if (iequals(item.name, name)) return &item;
        if (const MenuItem* found = findItem(item.items, name)) return found;
    }
    return nullptr;
}

}  // namespace

const MenuItem* Menu::find(std::string_view name) const {
    return findItem(items, name);
}

int Menu::click(std::string_view name) const {
    const MenuItem* item = find(name);
    if (!item || !item->enabled || !item->visible || item->event.empty() || !m_target) return -1;
    return m_target->triggerEvent(item->event);
}

}  // namespace print::platform
