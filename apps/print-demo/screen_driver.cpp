#include "screen_driver.h"

#include <QtTest/qtestspontaneevent.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "common/text.h"
#include "qt/control_widgets.h"
#include "qt/conversions.h"
#include "qt/form_editor.h"
#include "qt/report_view.h"

namespace demo {

using print::platform::CheckBox;
using print::platform::Control;
using print::platform::ControlKind;
using print::platform::DataWindowControl;
using print::platform::Window;
using print::qt::FormEditor;
using print::qt::ReportView;

namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

// The button of a dialog's button box that plays `role` (OK, Cancel); null when none.
QAbstractButton* boxButton(QWidget& dialog, QDialogButtonBox::StandardButton which) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
        if (QPushButton* button = box->button(which)) return button;
    return nullptr;
}

QAbstractButton* acceptButton(QWidget& dialog) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>())
        for (QAbstractButton* button : box->buttons())
            if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) return button;
    return nullptr;
}

}  // namespace

ScreenDriver::ScreenDriver(print::qt::QtServices& services, std::ostream& err)
    : m_services(services), m_err(err) {
    m_services.onDialog = [this](QWidget& dialog) { answerDialog(dialog); };
    m_services.onMessageBox = [this](const print::platform::MessageBoxRecord& box) {
        m_err << "message: " << box.describe() << "\n";
        m_err.flush();
        if (box.icon == print::platform::Icon::StopSign) m_stopSign = true;
    };
    // Each print, as a support desk reads a replay: 1 printed, -1 failed, 0 cancelled.
    m_services.onPrint = [this](const print::platform::PrintJob& job, int result) {
        m_err << "print: " << job.documentName << " -> " << result << "\n";
        m_err.flush();
    };
}

ScreenDriver::~ScreenDriver() {
    m_services.onDialog = nullptr;
    m_services.onMessageBox = nullptr;
    m_services.onPrint = nullptr;
    m_services.modalInteraction = nullptr;
}

void ScreenDriver::play(print::platform::OperatorScript& script) {
    m_script = &script;
    m_services.modalInteraction = [this](Window& window, print::qt::WindowView& view) {
        QWidget& top = view.widget();
        top.activateWindow();
        (void)QTest::qWaitForWindowActive(&top, 2000);
        settle();
        m_script->run(window);
    };
}

void ScreenDriver::settle() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QWidget* ScreenDriver::widgetOf(Window& window, const Control& control) {
    print::qt::WindowView* view = m_services.viewOf(window);
    return view ? view->widgetOf(control) : nullptr;
}

ReportView* ScreenDriver::viewOf(Window& window, DataWindowControl& dw) {
    return dynamic_cast<ReportView*>(widgetOf(window, dw));
}

QWidget* ScreenDriver::focusIn(Window& window) {
    print::qt::WindowView* view = m_services.viewOf(window);
    QWidget* focus = QApplication::focusWidget();
    if (view && focus && focus->window() == &view->widget()) return focus;
    return view ? &view->widget() : nullptr;
}

std::string ScreenDriver::focused(Window& window) {
    print::qt::WindowView* view = m_services.viewOf(window);
    QWidget* focus = QApplication::focusWidget();
    if (!view || !focus || focus->window() != &view->widget()) return {};
    const Control* control = view->controlOf(focus);
    if (!control || control == &window) return {};
    std::string name = control->name();
    if (auto* report = dynamic_cast<ReportView*>(view->widgetOf(*control));
        report && report->editor())
        name += " " + report->editor()->object();
    return name;
}

void ScreenDriver::sendMouse(QWidget& widget, int type, QPoint at, Qt::MouseButton button,
                             Qt::KeyboardModifiers modifiers) {
    const auto eventType = static_cast<QEvent::Type>(type);
    if (eventType == QEvent::MouseButtonPress || eventType == QEvent::MouseButtonDblClick)
        m_buttons |= button;
    if (eventType == QEvent::MouseButtonRelease) m_buttons &= ~Qt::MouseButtons(button);
    const QPointF global = widget.mapToGlobal(QPointF(at));
    // The pointer is where the event says it is: what asks where the mouse is gets the same.
    QCursor::setPos(global.toPoint());
    QMouseEvent event(eventType, QPointF(at), global, button, m_buttons, modifiers);
    // As from the window system: a press gives the focus as the widget's policy says.
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::instance()->notify(&widget, &event);
}

void ScreenDriver::clickAt(QWidget& widget, QPoint at, Qt::MouseButton button,
                           Qt::KeyboardModifiers modifiers) {
    // The widget may go (a window closing) while it handles the press.
    QPointer<QWidget> alive(&widget);
    sendMouse(widget, QEvent::MouseButtonPress, at, button, modifiers);
    if (alive)
        sendMouse(widget, QEvent::MouseButtonRelease, at, button, modifiers);
    else
        m_buttons &= ~Qt::MouseButtons(button);
}

void ScreenDriver::typeText(const QString& text, QWidget* into) {
    QString pending;  // characters an input method commits, as Chinese text is typed
    auto focused = [into] { return into ? into : QApplication::focusWidget(); };
    auto commit = [&] {
        if (pending.isEmpty()) return;
        if (QWidget* target = focused()) {
            QInputMethodEvent event;
            event.setCommitString(pending);
            QApplication::sendEvent(target, &event);
        }
        pending.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            commit();
            if (QWidget* target = focused())
                QTest::keyClick(target, static_cast<char>(c.unicode()));
        } else {
            pending += c;
        }
    }
    commit();
}

std::string ScreenDriver::click(Window& window, Control& control) {
    QWidget* widget = widgetOf(window, control);
    if (!widget) return "'" + control.name() + "' has no widget on the screen";
    if (control.kind() == ControlKind::TabPage) {
        auto* tabs = qobject_cast<QTabWidget*>(widgetOf(window, *control.parent()));
        const int index = tabs ? tabs->indexOf(widget) : -1;
        if (index < 0 || !tabs->isTabVisible(index) || !tabs->isVisible())
            return "the tab of '" + control.name() + "' is not on the screen";
        clickAt(*tabs->tabBar(), tabs->tabBar()->tabRect(index).center());
        settle();
        return {};
    }
    if (!widget->isVisible()) return "'" + control.name() + "' is not on the screen";
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        // Where the box and its text are: the rest of the widget takes no click.
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect hit = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box);
        clickAt(*box, hit.center());
    } else if (auto* view = qobject_cast<ReportView*>(widget)) {
        clickAt(*view->viewport(), view->viewport()->rect().center());
    } else {
        clickAt(*widget, widget->rect().center());
    }
    settle();
    return {};
}

std::string ScreenDriver::doubleClick(Window& window, DataWindowControl& dw, long row) {
    ReportView* view = viewOf(window, dw);
    if (!view || !view->isVisible()) return "'" + dw.name() + "' is not on the screen";
    const std::optional<QPoint> at =
        row > 0 ? view->pointOfRow(row) : std::optional<QPoint>(view->viewport()->rect().center());
    if (!at) return "row " + std::to_string(row) + " of '" + dw.name() + "' is not on the screen";
    QPointer<QWidget> viewport(view->viewport());
    clickAt(*viewport, *at);
    if (viewport) sendMouse(*viewport, QEvent::MouseButtonDblClick, *at, Qt::LeftButton);
    if (viewport) sendMouse(*viewport, QEvent::MouseButtonRelease, *at, Qt::LeftButton);
    m_buttons = {};
    settle();
    return {};
}

std::string ScreenDriver::doubleClickButton(Window& window, Control& button) {
    QWidget* widget = widgetOf(window, button);
    if (!widget || !widget->isVisible()) return "'" + button.name() + "' is not on the screen";
    const QPointF at = QRectF(widget->rect()).center();
    const QPointF global = widget->mapToGlobal(at);
    QCursor::setPos(global.toPoint());
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        auto* event = new QMouseEvent(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
        QSpontaneKeyEvent::setSpontaneous(event);
        QCoreApplication::postEvent(widget, event);
    }
    settle();
    return {};
}

std::string ScreenDriver::rightClick(Window& window, DataWindowControl& dw, long row) {
    ReportView* view = viewOf(window, dw);
    if (!view || !view->isVisible()) return "'" + dw.name() + "' is not on the screen";
    const std::optional<QPoint> at =
        row > 0 ? view->pointOfRow(row) : std::optional<QPoint>(view->viewport()->rect().center());
    if (!at) return "row " + std::to_string(row) + " of '" + dw.name() + "' is not on the screen";
    clickAt(*view->viewport(), *at, Qt::RightButton);
    settle();
    return {};
}

std::string ScreenDriver::key(Window& window, print::platform::KeyCode key, int keyFlags) {
    QWidget* target = focusIn(window);
    if (!target) return "the window is not on the screen";
    Qt::KeyboardModifiers modifiers;
    if (keyFlags & print::platform::kKeyFlagCtrl) modifiers |= Qt::ControlModifier;
    if (keyFlags & print::platform::kKeyFlagShift) modifiers |= Qt::ShiftModifier;
    const int qtKey = print::qt::qtKeyOf(key);
    if (qtKey == Qt::Key_Tab && (modifiers & Qt::ShiftModifier))
        QTest::keyClick(target, Qt::Key_Backtab, modifiers);
    else
        QTest::keyClick(target, static_cast<Qt::Key>(qtKey), modifiers);
    settle();
    return {};
}

std::string ScreenDriver::mouse(Window& window, DataWindowControl& dw,
                                print::platform::MouseAction action, print::layout::PagePoint point,
                                bool ctrl) {
    ReportView* view = viewOf(window, dw);
    if (!view || !view->isVisible()) return "'" + dw.name() + "' is not on the screen";
    const long page = print::layout::layoutOf(dw).currentPage();
    // The operator scrolls to where he presses; while the button is held the view stays put.
    const auto at = view->pointOnPage(page, point, action == print::platform::MouseAction::Down);
    if (!at) return "the point is not on the page shown";
    const Qt::KeyboardModifiers modifiers = ctrl ? Qt::ControlModifier : Qt::NoModifier;
    QWidget& viewport = *view->viewport();
    switch (action) {
        case print::platform::MouseAction::Down:
            sendMouse(viewport, QEvent::MouseButtonPress, *at, Qt::LeftButton, modifiers);
            break;
        case print::platform::MouseAction::Move:
            sendMouse(viewport, QEvent::MouseMove, *at, Qt::NoButton, modifiers);
            break;
        case print::platform::MouseAction::Up:
            sendMouse(viewport, QEvent::MouseButtonRelease, *at, Qt::LeftButton, modifiers);
            break;
    }
    settle();
    return {};
}

std::string ScreenDriver::type(Window& window, print::platform::SingleLineEdit& edit,
                               const std::string& keys) {
    QWidget* widget = widgetOf(window, edit);
    if (!widget || !widget->isVisible()) return "'" + edit.name() + "' is not on the screen";
    if (!widget->hasFocus()) clickAt(*widget, widget->rect().center());
    if (!widget->hasFocus()) return "'" + edit.name() + "' does not take the focus";
    typeText(qText(keys));
    settle();
    return {};
}

std::string ScreenDriver::check(Window& window, CheckBox& box, bool on) {
    if (box.checked() == on) return {};
    return click(window, box);
}

std::string ScreenDriver::set(Window& window, DataWindowControl& dw, long row,
                              const std::string& column, const std::string& value) {
    ReportView* view = viewOf(window, dw);
    if (!view || !view->isVisible()) return "'" + dw.name() + "' is not on the screen";
    const std::optional<QPoint> at = view->pointOfCell(row, column);
    const std::string cell =
        "the cell " + std::to_string(row) + " " + column + " of '" + dw.name() + "'";
    if (!at) return cell + " is not on the screen";
    clickAt(*view->viewport(), *at);
    settle();
    FormEditor* editor = view->editor();
    if (!editor || editor->row() != row || !print::iequals(editor->object(), column))
        return cell + " takes no typing";
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return cell + " does not take the focus";
    switch (editor->kind()) {
        case FormEditor::Kind::Line:
        case FormEditor::Kind::Spin:
        case FormEditor::Kind::DoubleSpin:
            QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(focus, Qt::Key_Delete);
            typeText(qText(value));
            break;
        case FormEditor::Kind::Combo: {
            auto* combo = qobject_cast<QComboBox*>(editor->widget());
            if (combo && combo->isEditable()) {
                QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(focus, Qt::Key_Delete);
                typeText(qText(value));
                break;
            }
            const int entry = editor->entryOf(value);
            if (entry < 0) return cell + " lists no '" + value + "'";
            // Down the list from its first entry, as with the keyboard.
            if (combo && combo->currentIndex() != entry) {
                QTest::keyClick(focus, Qt::Key_Home);
                for (int i = 0; i < entry; ++i) QTest::keyClick(focus, Qt::Key_Down);
            }
            break;
        }
        case FormEditor::Kind::Check: {
            auto* box = qobject_cast<QCheckBox*>(editor->widget());
            const auto on = print::Decimal::parse(value),
                       onValue = print::Decimal::parse(editor->onValue());
            const bool tick = value == editor->onValue() || (on && onValue && *on == *onValue);
            if (box && box->isChecked() != tick) QTest::keyClick(focus, Qt::Key_Space);
            break;
        }
    }
    settle();
    if (QWidget* now = QApplication::focusWidget()) QTest::keyClick(now, Qt::Key_Tab);
    settle();
    // Refused: the operator gives up on the value, as a report without a screen keeps its own.
    if (FormEditor* open = view->editor();
        open && open->row() == row && print::iequals(open->object(), column) && open->modified()) {
        if (QWidget* now = QApplication::focusWidget()) QTest::keyClick(now, Qt::Key_Escape);
        settle();
    }
    return {};
}

std::string ScreenDriver::menu(const std::string& item) {
    return "no pop-up menu is open for '" + item + "'";
}

std::string ScreenDriver::screenshot(Window& window, const std::string& file) {
    print::qt::WindowView* view = m_services.viewOf(window);
    if (!view) return "the window is not on the screen";
    settle();
    if (!view->widget().grab().save(qText(file))) return "cannot write " + file;
    return {};
}

void ScreenDriver::answerDialog(QWidget& dialog) {
    QPointer<QWidget> shown(&dialog);
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        int wanted = 0;  // the last button
        if (!m_answers.empty()) {
            wanted = m_answers.front();
            m_answers.pop_front();
        }
        QTimer::singleShot(0, box, [this, box, wanted] {
            // The button numbered as asked (beyond the last: the last, as the platform
            // clamps it), else the last one.
            QAbstractButton* chosen = nullptr;
            QAbstractButton* last = nullptr;
            int lastNumber = 0;
            for (QAbstractButton* button : box->buttons()) {
                const int number =
                    button->property(print::qt::QtServices::kButtonNumberProperty).toInt();
                if (number == wanted) chosen = button;
                if (number > lastNumber) {
                    lastNumber = number;
                    last = button;
                }
            }
            if (!chosen) chosen = last;
            if (chosen) clickAt(*chosen, chosen->rect().center());
        });
        return;
    }
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
        std::string path;
        if (!m_fileNames.empty()) {
            path = m_fileNames.front();
            m_fileNames.pop_front();
        }
        QTimer::singleShot(0, files, [this, files, path] {
            if (path.empty()) {
                files->reject();
                return;
            }
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) {
                files->reject();
                return;
            }
            // The file type goes with the name: the filter of its extension is chosen first,
            // as the operator picks it from the list.
            const QString suffix = QFileInfo(qText(path)).suffix().toLower();
            for (const QString& filter : files->nameFilters())
                if (!suffix.isEmpty() && filter.contains(QStringLiteral("(*.") + suffix + ")"))
                    files->selectNameFilter(filter);
            // The name goes in whole (folder and file); then the accept button is clicked.
            files->selectFile(qText(path));
            // Writing over a file the script names is what it asks for: the question whether
            // to replace it gets its Yes.
            auto* confirm = new QTimer(files);
            QObject::connect(confirm, &QTimer::timeout, files, [this, files] {
                for (QMessageBox* question : files->findChildren<QMessageBox*>())
                    if (question->isVisible())
                        if (QAbstractButton* yes = question->button(QMessageBox::Yes))
                            clickAt(*yes, yes->rect().center());
            });
            confirm->start(20);
            if (QAbstractButton* save = acceptButton(*files))
                clickAt(*save, save->rect().center());
            else
                files->reject();
        });
        return;
    }
    if (auto* fonts = qobject_cast<QFontDialog*>(&dialog)) {
        std::optional<print::platform::FontChoice> font;
        if (!m_fonts.empty()) {
            font = m_fonts.front();
            m_fonts.pop_front();
        }
        m_colour.reset();
        if (font) m_colour = font->color;
        QTimer::singleShot(0, fonts, [this, fonts, font] {
            QAbstractButton* button = nullptr;
            if (font) {
                fonts->setCurrentFont(print::qt::toQFont(*font));
                button = acceptButton(*fonts);
            } else {
                button = boxButton(*fonts, QDialogButtonBox::Cancel);
            }
            if (button)
                clickAt(*button, button->rect().center());
            else
                fonts->reject();
        });
        return;
    }
    if (auto* colours = qobject_cast<QColorDialog*>(&dialog)) {
        const std::optional<long> colour = m_colour;
        m_colour.reset();
        QTimer::singleShot(0, colours, [this, colours, colour] {
            QAbstractButton* button = nullptr;
            if (colour) {
                colours->setCurrentColor(print::qt::fromBgr(*colour));
                button = acceptButton(*colours);
            } else {
                button = boxButton(*colours, QDialogButtonBox::Cancel);
            }
            if (button)
                clickAt(*button, button->rect().center());
            else
                colours->reject();
        });
        return;
    }
    if (auto* printers = qobject_cast<QPrintDialog*>(&dialog)) {
        std::optional<std::string> printer;
        if (!m_printers.empty()) {
            printer = m_printers.front();
            m_printers.pop_front();
        }
        QTimer::singleShot(0, printers, [this, printers, printer] {
            if (!printer) {
                printers->reject();
                return;
            }
            const QString name = qText(*printer);
            bool chosen = false;
            for (QComboBox* list : printers->findChildren<QComboBox*>()) {
                const int index = list->findText(name);
                if (index < 0) continue;
                list->setCurrentIndex(index);
                chosen = true;
                break;
            }
            QAbstractButton* ok = acceptButton(*printers);
            if (!chosen || !ok) {
                if (m_script)
                    m_script->stop("the printer setup lists no printer '" + *printer + "'");
                printers->reject();
                return;
            }
            clickAt(*ok, ok->rect().center());
        });
        return;
    }
    if (auto* menu = qobject_cast<QMenu*>(&dialog)) {
        const std::optional<std::string> item = m_script ? m_script->takeMenuLine() : std::nullopt;
        QTimer::singleShot(0, menu, [this, menu, item] {
            QAction* action = nullptr;
            if (item) {
                for (QAction* candidate : menu->actions())
                    if (print::iequals(candidate->data().toString().toStdString(), *item) ||
                        candidate->text().toStdString() == *item)
                        action = candidate;
            }
            if (!action || !action->isEnabled()) {
                if (item && m_script)
                    m_script->stop("no pop-up menu item '" + *item + "' can be chosen");
                menu->close();
                return;
            }
            clickAt(*menu, menu->actionGeometry(action).center());
        });
        return;
    }
}

}  // namespace demo
