// A window's controls on screen: one Qt widget for every control of a window's tree, placed and
// sized from the control's model and following it (the model is the truth; each control's
// observer moves, hides, re-texts and re-checks its widget as the logic changes the control).
//
// What the operator does on the widgets reaches the model as the operator functions of the
// platform: a button click is `clicked()`, a check box click `toggle()`, an edited single-line
// edit `type(text)` when the operator leaves it, a tab change `selectTab(index)`, a resize of
// the window `resizeTo(units)`, the window's close box `closeWindow()`. Keys and the mouse
// position come through `pressKey` and `pointerMoved`, fed by the services' event filter.
//
// Toolbar buttons never take the keyboard focus, so the keys stay with the report after a
// click; an edit the operator has not left yet is committed (`modified` runs) before a button,
// check box or tab acts, as it would be when the focus moved away from it.
//
// A view lives while its window is shown; it removes its observers when it goes, so the
// controls (which outlive it) are left as they were.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/control.h"
#include "platform/window.h"

class QKeyEvent;
class QLineEdit;

namespace print::qt {

class ReportView;

class WindowView {
public:
    // Builds the widgets of `window`'s whole tree in a new top-level widget (not shown yet).
    // `afterAction` runs after every operator action has reached the model.
    WindowView(platform::Window& window, std::function<void()> afterAction);
    ~WindowView();
    WindowView(const WindowView&) = delete;
    WindowView& operator=(const WindowView&) = delete;

    platform::Window& window() const { return m_window; }
    QWidget& widget() const { return *m_top; }
    // The widget of a control of this window (by path, as Control::find); null when none.
    QWidget* widgetOf(std::string_view path) const;
    QWidget* widgetOf(const platform::Control& control) const;
    // The control a widget (or a widget inside it) shows; null when none.
    platform::Control* controlOf(const QWidget* widget) const;

    // The operator pressed a key in the window: it goes to the model once.
    void pressKey(const QKeyEvent& event);
    // The mouse is at `position` of the top-level widget (pixels).
    void pointerMoved(QPoint position);
    // A widget of the window took the keyboard focus: the model's focus follows.
    void focusTaken(QWidget* widget);
    // Runs `modified` for a single-line edit whose text the operator changed and has not left.
    void commitPendingEdit();
    // Draws every report of the window again.
    void refreshReports();

    // Applies a change of the model to its widget (the controls' observers call this).
    void apply(platform::Control& control, platform::ControlChange change);

private:
    class Binding;
    class TopWidget;

    void build(platform::Control& control, QWidget* parentWidget);
    QWidget* createWidget(platform::Control& control, QWidget* parentWidget);
    void applyAll(platform::Control& control);
    void applyGeometry(platform::Control& control, QWidget& widget);
    void applyText(platform::Control& control, QWidget& widget);
    void applyPicture(platform::Control& control, QWidget& widget);
    void applyVisible(platform::Control& control, QWidget& widget);
    void applySelection(platform::Control& control, QLineEdit& edit);
    void applyFocus();
    // Runs an operator action on the model, then `afterAction`.
    void act(const std::function<void()>& action);

    platform::Window& m_window;
    std::function<void()> m_afterAction;
    std::unique_ptr<QWidget> m_top;
    std::map<const platform::Control*, QPointer<QWidget>> m_widgets;
    std::vector<std::unique_ptr<Binding>> m_bindings;
    std::vector<ReportView*> m_reports;
    bool m_applying = false;  // the model is being mirrored: widget signals are not actions
};

}  // namespace print::qt
