#include "qt/control_widgets.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "platform/units.h"
#include "qt/conversions.h"
#include "qt/report_view.h"

namespace print::qt {

using platform::Control;
using platform::ControlChange;
using platform::ControlKind;
using platform::unitsToPixelsX;
using platform::unitsToPixelsY;

namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

// Pixels as a widget takes them: geometry past the largest widget Qt makes is cut to it rather
// than wrapped around to a negative int.
int pixels(long value) {
    return static_cast<int>(std::clamp<long>(value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

// A double click on a button is one click: the second press of it does not press the button
// again (one print job per click, however fast the operator's finger).
template <class Base>
class SingleClickButton : public Base {
public:
    using Base::Base;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};

}  // namespace

class WindowView::Binding : public platform::ControlObserver {
public:
    Binding(WindowView& view, Control& control) : m_view(view), m_control(control) {
        m_control.setObserver(this);
    }
    ~Binding() override {
        if (m_control.observer() == this) m_control.setObserver(nullptr);
    }
    void controlChanged(Control& control, ControlChange change) override {
        m_view.apply(control, change);
    }

private:
    WindowView& m_view;
    Control& m_control;
};

// The window's frame: the operator's resizes and the close box reach the model.
class WindowView::TopWidget : public QWidget {
public:
    explicit TopWidget(WindowView& view) : m_view(view) {
        setWindowFlag(Qt::Window);
        setWindowModality(Qt::ApplicationModal);
        setMouseTracking(true);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        platform::Window& window = m_view.m_window;
        if (m_view.m_applying || !window.isOpen()) return;
        const long width = platform::pixelsToUnitsX(size().width());
        const long height = platform::pixelsToUnitsY(size().height());
        // The model's own size seen back through rounding to pixels is no resize.
        if (unitsToPixelsX(window.width()) == size().width() &&
            unitsToPixelsY(window.height()) == size().height())
            return;
        m_view.act([&] { window.resizeTo(width, height); });
    }
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        // The keys start where the window's code put them (the preview), not at whichever
        // widget was made first.
        if (platform::Control* focused = m_view.m_window.focusedControl())
            if (QWidget* widget = m_view.widgetOf(*focused); widget && widget->isVisibleTo(this))
                widget->setFocus(Qt::OtherFocusReason);
    }
    // Tab goes through the window as it reads: the toolbar left to right, then the controls
    // of the shown page from the top, whatever order the controls were made in.
    bool focusNextPrevChild(bool next) override {
        const std::vector<QWidget*> chain = m_view.tabChain();
        if (chain.empty()) return false;
        QWidget* focus = QApplication::focusWidget();
        auto at = chain.end();
        for (QWidget* w = focus; w && at == chain.end(); w = w->parentWidget())
            at = std::find(chain.begin(), chain.end(), w);
        size_t index = 0;
        if (at == chain.end())
            index = next ? 0 : chain.size() - 1;
        else if (next)
            index = (static_cast<size_t>(at - chain.begin()) + 1) % chain.size();
        else
            index = (static_cast<size_t>(at - chain.begin()) + chain.size() - 1) % chain.size();
        chain[index]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }

    void closeEvent(QCloseEvent* event) override {
        platform::Window& window = m_view.m_window;
        if (window.isOpen()) {
            m_view.commitPendingEdit();
            m_view.act([&] { window.requestClose(); });
            // The operator chose to stay (asked about changes not saved).
            if (window.isOpen()) {
                event->ignore();
                return;
            }
        }
        event->accept();
    }

private:
    WindowView& m_view;
};

WindowView::WindowView(platform::Window& window, std::function<void()> afterAction)
    : m_window(window), m_afterAction(std::move(afterAction)) {
    m_top = std::make_unique<TopWidget>(*this);
    m_widgets[&m_window] = m_top.get();
    m_bindings.push_back(std::make_unique<Binding>(*this, m_window));
    for (Control* child : m_window.children()) build(*child, m_top.get());
    applyAll(m_window);
}

WindowView::~WindowView() {
    m_applying = true;
    m_bindings.clear();
    m_top.reset();
}

void WindowView::build(Control& control, QWidget* parentWidget) {
    QWidget* widget = createWidget(control, parentWidget);
    m_widgets[&control] = widget;
    m_bindings.push_back(std::make_unique<Binding>(*this, control));
    for (Control* child : control.children()) build(*child, widget);
    applyAll(control);
}

QWidget* WindowView::createWidget(Control& control, QWidget* parentWidget) {
    QWidget* widget = nullptr;
    switch (control.kind()) {
        case ControlKind::Button: {
            // A button with a picture is a tool button; one with a caption only (a dialog's
            // 确 定 and 取 消) looks and acts as a push button, the default one marked.
            QAbstractButton* button = nullptr;
            const auto& model = static_cast<platform::u_button&>(control);
            if (model.is_bitmap.empty()) {
                auto* push = new SingleClickButton<QPushButton>(parentWidget);
                push->setDefault(model.isDefault());
                push->setFocusPolicy(Qt::StrongFocus);
                button = push;
            } else {
                auto* tool = new SingleClickButton<QToolButton>(parentWidget);
                tool->setAutoRaise(true);
                // Tab reaches it; a click leaves the keys where they were (with the report).
                tool->setFocusPolicy(Qt::TabFocus);
                button = tool;
            }
            QObject::connect(button, &QAbstractButton::clicked, [this, &control] {
                if (!commitPendingEdit()) return;
                act([&] { control.clicked(); });
            });
            widget = button;
            break;
        }
        case ControlKind::DataWindow: {
            auto* view =
                new ReportView(static_cast<platform::DataWindowControl&>(control), parentWidget);
            view->setFocusPolicy(Qt::StrongFocus);
            view->viewport()->setMouseTracking(true);
            m_reports.push_back(view);
            widget = view;
            break;
        }
        case ControlKind::StaticText: {
            // A text longer than its box goes on to the lines below, as the platform's does.
            auto* label = new QLabel(parentWidget);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case ControlKind::SingleLineEdit: {
            auto* edit = new QLineEdit(parentWidget);
            QObject::connect(edit, &QLineEdit::editingFinished, [this, &control, edit] {
                if (m_applying || edit->text().toStdString() == control.text()) return;
                act([&] {
                    static_cast<platform::SingleLineEdit&>(control).type(
                        edit->text().toStdString());
                });
                // The model may have cut the text to its limit or changed it in `modified`.
                apply(control, ControlChange::Text);
            });
            widget = edit;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(parentWidget);
            QObject::connect(box, &QCheckBox::clicked, [this, &control] {
                if (m_applying) return;
                if (commitPendingEdit())
                    act([&] { static_cast<platform::CheckBox&>(control).toggle(); });
                apply(control, ControlChange::Checked);
            });
            widget = box;
            break;
        }
        case ControlKind::GroupBox:
            widget = new QGroupBox(parentWidget);
            break;
        case ControlKind::Picture:
            widget = new QLabel(parentWidget);
            break;
        case ControlKind::Tab: {
            auto* tabs = new QTabWidget(parentWidget);
            QObject::connect(tabs, &QTabWidget::currentChanged, [this, &control](int index) {
                if (m_applying) return;
                if (commitPendingEdit())
                    act([&] { static_cast<platform::Tab&>(control).selectTab(index + 1); });
                // A page the model refuses (hidden, or none) is not left selected on screen.
                apply(control, ControlChange::Selection);
            });
            widget = tabs;
            break;
        }
        case ControlKind::TabPage: {
            auto* page = new QWidget();
            if (auto* tabs = qobject_cast<QTabWidget*>(parentWidget)) {
                const bool was = m_applying;
                m_applying = true;
                tabs->addTab(page, qText(control.text()));
                m_applying = was;
            } else {
                page->setParent(parentWidget);
            }
            widget = page;
            break;
        }
        case ControlKind::Window:
        case ControlKind::UserObject:
            widget = new QWidget(parentWidget);
            break;
    }
    widget->setObjectName(qText(control.name()));
    widget->setMouseTracking(true);
    return widget;
}

QWidget* WindowView::widgetOf(std::string_view path) const {
    Control* control = m_window.find(path);
    return control ? widgetOf(*control) : nullptr;
}

QWidget* WindowView::widgetOf(const Control& control) const {
    const auto it = m_widgets.find(&control);
    return it == m_widgets.end() ? nullptr : it->second.data();
}

Control* WindowView::controlOf(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        for (const auto& [control, shown] : m_widgets)
            if (shown.data() == w) return const_cast<Control*>(control);
        if (w == m_top.get()) break;
    }
    return nullptr;
}

void WindowView::act(const std::function<void()>& action) {
    action();
    if (m_afterAction) m_afterAction();
}

void WindowView::pressKey(const QKeyEvent& event) {
    const platform::KeyCode code = keyCodeOf(event.key());
    if (code == platform::KeyCode::None) return;
    const int flags = keyFlagsOf(event.modifiers());
    if (!commitPendingEdit()) return;
    act([&] { m_window.pressKey(code, flags); });
}

void WindowView::pointerMoved(QPoint position) {
    m_window.setPointerPosition(platform::pixelsToUnitsX(position.x()),
                                platform::pixelsToUnitsY(position.y()));
}

void WindowView::focusTaken(QWidget* widget) {
    Control* control = controlOf(widget);
    if (!control || control == &m_window) return;
    m_window.setFocus(control);
}

bool WindowView::commitPendingEdit() {
    for (const auto& [control, shown] : m_widgets) {
        auto* edit = qobject_cast<QLineEdit*>(shown.data());
        if (!edit || control->kind() != ControlKind::SingleLineEdit ||
            edit->text().toStdString() == control->text())
            continue;
        auto& sle = static_cast<platform::SingleLineEdit&>(*const_cast<Control*>(control));
        sle.type(edit->text().toStdString());
        apply(sle, ControlChange::Text);
    }
    bool stored = true;
    for (ReportView* view : m_reports)
        if (!view->commitEditor()) stored = false;
    return stored;
}

namespace {

// Widgets that hold parts of their own (a report's editors and scroll bars, a number field's
// text): Tab stops at them, not inside them.
bool compound(const QWidget* widget) {
    return qobject_cast<const QAbstractScrollArea*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QComboBox*>(widget);
}

void collectTabStops(QWidget* container, const QWidget* top, std::vector<QWidget*>& out) {
    std::vector<QWidget*> children;
    for (QObject* child : container->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && widget->isVisibleTo(top)) children.push_back(widget);
    }
    // Read as lines: widgets whose tops lie above the bottom of a line's first widget stand on
    // that line (a toolbar's buttons and boxes are not all the same height), left to right.
    auto topOf = [top](QWidget* w) { return w->mapTo(top, QPoint(0, 0)); };
    std::stable_sort(children.begin(), children.end(),
                     [&](QWidget* a, QWidget* b) { return topOf(a).y() < topOf(b).y(); });
    for (auto line = children.begin(); line != children.end();) {
        const int bottom = topOf(*line).y() + std::max(1, (*line)->height());
        auto end =
            std::find_if(line, children.end(), [&](QWidget* w) { return topOf(w).y() >= bottom; });
        std::stable_sort(line, end,
                         [&](QWidget* a, QWidget* b) { return topOf(a).x() < topOf(b).x(); });
        line = end;
    }
    for (QWidget* widget : children) {
        const bool stop =
            (widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && !widget->focusProxy();
        if (stop) out.push_back(widget);
        if (!stop || !compound(widget)) collectTabStops(widget, top, out);
    }
}

}  // namespace

std::vector<QWidget*> WindowView::tabChain() const {
    std::vector<QWidget*> chain;
    collectTabStops(m_top.get(), m_top.get(), chain);
    return chain;
}

void WindowView::refreshReports() {
    for (ReportView* view : m_reports) view->refresh();
}

void WindowView::applyAll(Control& control) {
    QWidget* widget = widgetOf(control);
    if (!widget) return;
    const bool was = m_applying;
    m_applying = true;
    applyGeometry(control, *widget);
    applyText(control, *widget);
    applyPicture(control, *widget);
    applyVisible(control, *widget);
    widget->setEnabled(control.enabled());
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        box->setChecked(static_cast<platform::CheckBox&>(control).checked());
    if (auto* tabs = qobject_cast<QTabWidget*>(widget))
        tabs->setCurrentIndex(static_cast<platform::Tab&>(control).selectedTab() - 1);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) applySelection(control, *edit);
    if (&control == &m_window) applyFocus();
    m_applying = was;
}

void WindowView::applySelection(Control& control, QLineEdit& edit) {
    const auto& model = static_cast<platform::SingleLineEdit&>(control);
    const int start = static_cast<int>(model.selectionStart());
    const int length = static_cast<int>(model.selectionLength());
    if (length > 0)
        edit.setSelection(start, length);
    else
        edit.setCursorPosition(start);
}

void WindowView::applyFocus() {
    // The window's code puts the focus into an edit (a name to type); elsewhere the operator
    // moves it (a report keeps the keys it was given by a click).
    Control* focused = m_window.focusedControl();
    if (!focused || focused->kind() != ControlKind::SingleLineEdit) return;
    if (QWidget* widget = widgetOf(*focused)) widget->setFocus(Qt::OtherFocusReason);
}

void WindowView::apply(Control& control, ControlChange change) {
    QWidget* widget = widgetOf(control);
    if (!widget) return;
    const bool was = m_applying;
    m_applying = true;
    switch (change) {
        case ControlChange::Geometry:
            applyGeometry(control, *widget);
            applyPicture(control, *widget);
            break;
        case ControlChange::Visible:
            applyVisible(control, *widget);
            break;
        case ControlChange::Enabled:
            if (control.kind() == ControlKind::TabPage) {
                if (auto* tabs = qobject_cast<QTabWidget*>(widgetOf(*control.parent())))
                    tabs->setTabEnabled(tabs->indexOf(widget), control.enabled());
            } else {
                widget->setEnabled(control.enabled());
            }
            break;
        case ControlChange::Text:
            applyText(control, *widget);
            break;
        case ControlChange::Checked:
            if (auto* box = qobject_cast<QCheckBox*>(widget))
                box->setChecked(static_cast<platform::CheckBox&>(control).checked());
            break;
        case ControlChange::Picture:
            applyPicture(control, *widget);
            break;
        case ControlChange::Selection:
            if (auto* tabs = qobject_cast<QTabWidget*>(widget))
                tabs->setCurrentIndex(static_cast<platform::Tab&>(control).selectedTab() - 1);
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) applySelection(control, *edit);
            break;
        case ControlChange::Focus:
            applyFocus();
            break;
        case ControlChange::Tag:
            break;
    }
    m_applying = was;
}

void WindowView::applyGeometry(Control& control, QWidget& widget) {
    const int width = std::max(0, pixels(unitsToPixelsX(control.width())));
    const int height = std::max(0, pixels(unitsToPixelsY(control.height())));
    if (control.kind() == ControlKind::Window) {
        const auto& window = static_cast<platform::Window&>(control);
        widget.setMinimumSize(std::max(0, pixels(unitsToPixelsX(window.minimumWidth()))),
                              std::max(0, pixels(unitsToPixelsY(window.minimumHeight()))));
        if (width > 0 && height > 0) widget.resize(width, height);
        return;
    }
    // A tab control places its pages itself.
    if (control.kind() == ControlKind::TabPage &&
        qobject_cast<QTabWidget*>(widgetOf(*control.parent())))
        return;
    widget.setGeometry(pixels(unitsToPixelsX(control.x())), pixels(unitsToPixelsY(control.y())),
                       width, height);
}

void WindowView::applyVisible(Control& control, QWidget& widget) {
    if (control.kind() == ControlKind::Window) return;
    if (control.kind() == ControlKind::TabPage) {
        if (auto* tabs = qobject_cast<QTabWidget*>(widgetOf(*control.parent()))) {
            tabs->setTabVisible(tabs->indexOf(&widget), control.visible());
            return;
        }
    }
    widget.setVisible(control.visible());
}

void WindowView::applyText(Control& control, QWidget& widget) {
    const QString text = qText(control.text());
    switch (control.kind()) {
        case ControlKind::Window:
            widget.setWindowTitle(text);
            break;
        case ControlKind::Button:
            applyPicture(control, widget);
            break;
        case ControlKind::StaticText:
            static_cast<QLabel&>(widget).setText(text);
            break;
        case ControlKind::SingleLineEdit: {
            auto& edit = static_cast<QLineEdit&>(widget);
            const int limit = static_cast<platform::SingleLineEdit&>(control).limit;
            edit.setMaxLength(limit > 0 ? limit : 32767);
            if (edit.text() != text) edit.setText(text);
            break;
        }
        case ControlKind::CheckBox:
            static_cast<QCheckBox&>(widget).setText(text);
            break;
        case ControlKind::GroupBox:
            static_cast<QGroupBox&>(widget).setTitle(text);
            break;
        case ControlKind::TabPage:
            if (auto* tabs = qobject_cast<QTabWidget*>(widgetOf(*control.parent())))
                tabs->setTabText(tabs->indexOf(&widget), text);
            break;
        case ControlKind::DataWindow:
        case ControlKind::Picture:
        case ControlKind::Tab:
        case ControlKind::UserObject:
            break;
    }
}

void WindowView::applyPicture(Control& control, QWidget& widget) {
    if (control.kind() == ControlKind::TabPage) {
        if (auto* tabs = qobject_cast<QTabWidget*>(widgetOf(*control.parent())))
            tabs->setTabIcon(tabs->indexOf(&widget),
                             pictureIcon(static_cast<platform::TabPage&>(control).pictureName()));
        return;
    }
    if (control.kind() == ControlKind::Picture) {
        const QIcon icon = pictureIcon(static_cast<platform::Picture&>(control).pictureName());
        auto& label = static_cast<QLabel&>(widget);
        const QSize size = label.size().isEmpty() ? QSize(16, 16) : label.size();
        label.setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(size));
        return;
    }
    if (control.kind() != ControlKind::Button) return;
    auto& button = static_cast<QAbstractButton&>(widget);
    const auto& model = static_cast<platform::u_button&>(control);
    const QIcon icon = pictureIcon(model.is_bitmap);
    const QString text = qText(control.text());
    button.setToolTip(qText(model.is_tooltip));
    if (auto* push = qobject_cast<QPushButton*>(&button)) {
        push->setIcon(icon);
        push->setText(text);
        push->setDefault(model.isDefault());
        return;
    }
    auto& tool = static_cast<QToolButton&>(button);
    // The caption fits the button the model sized, in a smaller face when it must, and the
    // picture takes the height the caption leaves; a button too low for both shows the picture
    // beside the caption.
    QFont font = tool.parentWidget() ? tool.parentWidget()->font() : tool.font();
    QFontMetrics metrics(font);
    const bool low = !icon.isNull() && !text.isEmpty() && tool.height() - metrics.height() - 4 < 16;
    const int room = std::max(1, tool.width() - 6 - (low ? tool.height() : 0));
    while (!text.isEmpty() && font.pointSizeF() > 7 && metrics.horizontalAdvance(text) > room) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        metrics = QFontMetrics(font);
    }
    tool.setFont(font);
    const int iconRoom = text.isEmpty() || low ? tool.height() - 8 : tool.height() - metrics.height() - 4;
    const int side = std::clamp(iconRoom, 12, 24);
    tool.setIcon(icon);
    tool.setIconSize(QSize(side, side));
    tool.setText(text);
    if (icon.isNull())
        tool.setToolButtonStyle(Qt::ToolButtonTextOnly);
    else if (control.text().empty())
        tool.setToolButtonStyle(Qt::ToolButtonIconOnly);
    else
        tool.setToolButtonStyle(low ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextUnderIcon);
}

}  // namespace print::qt
