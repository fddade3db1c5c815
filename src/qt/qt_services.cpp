#include "qt/qt_services.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryFile>
#include <QTextEdit>
#include <QTranslator>
#include <algorithm>
#include <cassert>
#include <climits>
#include <filesystem>

#include "common/text.h"
#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "platform/units.h"
#include "qt/control_widgets.h"
#include "qt/conversions.h"
#include "qt/report_view.h"
#include "render/page_painter.h"
#include "render/report_print.h"

namespace print::qt {

using platform::Icon;
using platform::KeyCode;
using platform::MessageButtons;
using platform::Pointer;

namespace {

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::StopSign:
            return QMessageBox::Critical;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

struct BoxButton {
    QMessageBox::StandardButton button;
    const char* text;
};

// The buttons of a set in the platform's order, which gives their numbers.
std::vector<BoxButton> boxButtons(MessageButtons buttons) {
    const BoxButton ok{QMessageBox::Ok, "确定"}, cancel{QMessageBox::Cancel, "取消"},
        yes{QMessageBox::Yes, "是"}, no{QMessageBox::No, "否"}, retry{QMessageBox::Retry, "重试"},
        abort{QMessageBox::Abort, "中止"}, ignore{QMessageBox::Ignore, "忽略"};
    switch (buttons) {
        case MessageButtons::Ok:
            return {ok};
        case MessageButtons::OkCancel:
            return {ok, cancel};
        case MessageButtons::YesNo:
            return {yes, no};
        case MessageButtons::YesNoCancel:
            return {yes, no, cancel};
        case MessageButtons::RetryCancel:
            return {retry, cancel};
        case MessageButtons::AbortRetryIgnore:
            return {abort, retry, ignore};
    }
    return {ok};
}

Qt::CursorShape cursorOf(Pointer pointer) {
    switch (pointer) {
        case Pointer::Arrow:
            return Qt::ArrowCursor;
        case Pointer::HourGlass:
            return Qt::WaitCursor;
        case Pointer::Cross:
            return Qt::CrossCursor;
        case Pointer::SizeNS:
            return Qt::SizeVerCursor;
        case Pointer::SizeWE:
            return Qt::SizeHorCursor;
        case Pointer::SizeNWSE:
            return Qt::SizeFDiagCursor;
        case Pointer::SizeNESW:
            return Qt::SizeBDiagCursor;
        case Pointer::SizeAll:
            return Qt::SizeAllCursor;
    }
    return Qt::ArrowCursor;
}

// Widgets that take typing: text fields, number fields, editable lists, and every editor a
// report puts over a cell (whatever its kind: it hands Tab, Enter and Esc on itself).
bool isTextInput(const QObject* object) {
    if (qobject_cast<const QLineEdit*>(object) || qobject_cast<const QTextEdit*>(object) ||
        qobject_cast<const QPlainTextEdit*>(object) ||
        qobject_cast<const QAbstractSpinBox*>(object))
        return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(object); combo && combo->isEditable())
        return true;
    const auto* widget = qobject_cast<const QWidget*>(object);
    for (const QWidget* w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (dynamic_cast<const ReportView*>(w)) return true;
    return false;
}

// Keys a focused widget uses for itself: Tab moves the focus on (from a report too), Space
// clicks a button or check box, arrows and Home/End move along a tab bar.
bool ownKey(const QObject* receiver, int key) {
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return true;
    if (dynamic_cast<const ReportView*>(receiver)) return false;
    if (qobject_cast<const QAbstractButton*>(receiver)) return key == Qt::Key_Space;
    if (qobject_cast<const QTabBar*>(receiver))
        return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home ||
               key == Qt::Key_End;
    return false;
}

bool operatorFocus(Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

bool isPdfPath(const std::string& printer) {
    return printer.size() > 4 && asciiLower(printer.substr(printer.size() - 4)) == ".pdf";
}

bool isOperatorInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// The report's printer: "" for the default one.
std::string printerOf(engine::DataStore& report) {
    std::string value = report.Describe("DataWindow.Printer");
    if (value == "?" || value == "!") return {};
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}


void addItems(QMenu& menu, const std::vector<platform::MenuItem>& items) {
    for (const platform::MenuItem& item : items) {
        if (!item.visible) continue;
        if (!item.items.empty()) {
            QMenu* sub = menu.addMenu(qText(item.text));
            sub->setEnabled(item.enabled);
            addItems(*sub, item.items);
            continue;
        }
        QAction* action = menu.addAction(qText(item.text));
        action->setEnabled(item.enabled);
        action->setData(qText(item.name));
    }
}

}  // namespace

struct QtServices::OpenWindow {
    platform::Window* window = nullptr;
    std::unique_ptr<WindowView> view;
    QEventLoop loop;
};

// Watches the application's events for the keys held down and for what happens in the open
// windows: keys, the pointer and the keyboard focus.
class QtServices::EventWatch : public QObject {
public:
    explicit EventWatch(QtServices& services) : m_services(services) {
        qApp->installEventFilter(this);
    }
    ~EventWatch() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        // While a print or an export runs the windows take nothing: a click queued meanwhile
        // (on 关闭, or the second half of a double click on 打印) would act when it is done.
        if (m_services.m_busy && isOperatorInput(event->type()) && inOpenWindow(receiver).first) {
            if (event->type() == QEvent::Close) event->ignore();
            return true;
        }
        switch (event->type()) {
            case QEvent::KeyPress:
                return keyPressed(receiver, static_cast<QKeyEvent&>(*event));
            case QEvent::KeyRelease: {
                const auto& key = static_cast<const QKeyEvent&>(*event);
                if (!key.isAutoRepeat()) m_services.m_keysDown.erase(keyCodeOf(key.key()));
                break;
            }
            case QEvent::ApplicationStateChange:
            case QEvent::WindowDeactivate:
                // A key released while another application had the keyboard is never seen here.
                m_services.m_keysDown.clear();
                break;
            case QEvent::MouseMove:
            case QEvent::MouseButtonPress:
                if (auto [view, widget] = inOpenWindow(receiver); view) {
                    const QPointF at = static_cast<const QMouseEvent&>(*event).position();
                    view->pointerMoved(widget->mapTo(&view->widget(), at.toPoint()));
                }
                break;
            case QEvent::FocusIn:
                // Only the operator moves the model's focus: the focus Qt gives a window's first
                // widget as it shows would otherwise take the keys from the window.
                if (!operatorFocus(static_cast<const QFocusEvent&>(*event).reason())) break;
                if (auto [view, widget] = inOpenWindow(receiver); view) view->focusTaken(widget);
                break;
            default:
                break;
        }
        return false;
    }

private:
    bool keyPressed(QObject* receiver, const QKeyEvent& key) {
        const KeyCode code = keyCodeOf(key.key());
        if (code != KeyCode::None) m_services.m_keysDown.insert(code);
        auto [view, widget] = inOpenWindow(receiver);
        if (!view) return false;
        // Only the innermost window takes keys; the others wait behind it.
        OpenWindow* top = m_services.innermost();
        if (!top || top->view.get() != view) return false;
        // Enter presses the button that has the focus, as Space does.
        auto* button = qobject_cast<QAbstractButton*>(receiver);
        if (button && !qobject_cast<QCheckBox*>(button) && key.modifiers() == Qt::NoModifier &&
            (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter)) {
            if (!key.isAutoRepeat()) button->click();
            return true;
        }
        // Printing is the window's whatever has the focus, a field being typed in too (what it
        // holds is committed first).
        const bool windowKey = key.key() == Qt::Key_P && key.modifiers() == Qt::ControlModifier;
        if (!windowKey && (isTextInput(receiver) || ownKey(receiver, key.key()))) return false;
        view->pressKey(key);
        return true;
    }

    std::pair<WindowView*, QWidget*> inOpenWindow(QObject* receiver) const {
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (!widget) return {nullptr, nullptr};
        QWidget* top = widget->window();
        for (OpenWindow* open : m_services.m_open)
            if (open->view && &open->view->widget() == top) return {open->view.get(), widget};
        return {nullptr, nullptr};
    }

    QtServices& m_services;
};

namespace {

// Qt's own dialogs (file, printer, font, colour, message-box buttons) speak the operators'
// language, Chinese, whatever the machine's locale: the windows around them are Chinese too.
// Without Qt's translation files (Debian qt6-translations-l10n) they stay English.
void loadQtTranslations() {
    // Once per application; the translator belongs to it.
    QCoreApplication* app = QCoreApplication::instance();
    if (app->property("printQtTranslations").toBool()) return;
    app->setProperty("printQtTranslations", true);
    auto* translator = new QTranslator(app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

}  // namespace

QtServices::QtServices() : m_watch(std::make_unique<EventWatch>(*this)) {
    assert(qApp && "QtServices needs a QApplication");
    loadQtTranslations();
}

QtServices::~QtServices() {
    m_progress.reset();
    if (m_overrideSet) QApplication::restoreOverrideCursor();
}

WindowView* QtServices::viewOf(const platform::Window& window) const {
    for (OpenWindow* open : m_open)
        if (open->window == &window) return open->view.get();
    return nullptr;
}

QtServices::OpenWindow* QtServices::innermost() const {
    return m_open.empty() ? nullptr : m_open.back();
}

QWidget* QtServices::dialogParent() const {
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        if ((*it)->view && (*it)->view->widget().isVisible()) return &(*it)->view->widget();
    return nullptr;
}

// While the operator is asked something the pointer is the arrow, whatever the work around the
// question set; the work's pointer comes back when the answer is given.
class QtServices::OperatorWait {
public:
    explicit OperatorWait(QtServices& services)
        : m_services(services), m_saved(services.m_pointer) {
        m_services.setPointer(Pointer::Arrow);
    }
    ~OperatorWait() { m_services.setPointer(m_saved); }
    OperatorWait(const OperatorWait&) = delete;
    OperatorWait& operator=(const OperatorWait&) = delete;

private:
    QtServices& m_services;
    Pointer m_saved;
};

int QtServices::runDialog(QWidget& dialog, const std::function<int()>& exec) {
    OperatorWait wait(*this);
    if (onDialog) onDialog(dialog);
    return exec();
}

void QtServices::afterAction() {
    for (OpenWindow* open : m_open) {
        if (!open->view) continue;
        if (open->window->isOpen()) {
            open->view->refreshReports();
            continue;
        }
        open->view->widget().hide();
        open->loop.quit();
    }
}

int QtServices::messageBox(std::string_view title, std::string_view text, Icon icon,
                           MessageButtons buttons, int defaultButton) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(qText(title));
    box.setText(qText(text));
    box.setIcon(boxIcon(icon));
    const std::vector<BoxButton> set = boxButtons(buttons);
    std::vector<QAbstractButton*> shown;
    for (const BoxButton& b : set) {
        QAbstractButton* button = box.addButton(b.button);
        button->setText(QString::fromUtf8(b.text));
        // The box lays its buttons out in the desktop's order; the platform numbers them in
        // its own.
        button->setProperty(kButtonNumberProperty, static_cast<int>(shown.size()) + 1);
        shown.push_back(button);
    }
    const int count = static_cast<int>(shown.size());
    box.setDefaultButton(static_cast<QPushButton*>(shown[std::clamp(defaultButton, 1, count) - 1]));
    // Closing the box without a button is its last one (Cancel, No or the only OK).
    box.setEscapeButton(shown.back());
    runDialog(box, [&] { return box.exec(); });
    const auto it = std::find(shown.begin(), shown.end(), box.clickedButton());
    const int answer = it == shown.end() ? count : static_cast<int>(it - shown.begin()) + 1;
    if (onMessageBox) {
        platform::MessageBoxRecord record;
        record.title = std::string(title);
        record.text = std::string(text);
        record.icon = icon;
        record.buttons = buttons;
        record.answer = answer;
        record.answered = true;
        onMessageBox(record);
    }
    return answer;
}

Pointer QtServices::setPointer(Pointer pointer) {
    const Pointer previous = m_pointer;
    m_pointer = pointer;
    if (pointer == Pointer::Arrow) {
        if (m_overrideSet) QApplication::restoreOverrideCursor();
        m_overrideSet = false;
    } else if (m_overrideSet) {
        QApplication::changeOverrideCursor(cursorOf(pointer));
    } else {
        QApplication::setOverrideCursor(cursorOf(pointer));
        m_overrideSet = true;
    }
    return previous;
}

bool QtServices::keyDown(KeyCode key) {
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    if (key == KeyCode::Control && (modifiers & Qt::ControlModifier)) return true;
    if (key == KeyCode::Shift && (modifiers & Qt::ShiftModifier)) return true;
    if (key == KeyCode::Alt && (modifiers & Qt::AltModifier)) return true;
    return m_keysDown.count(key) > 0;
}

namespace {

// The screen new windows go to: the one of the window the operator works in.
QScreen* workScreen(const QWidget* parent) {
    if (parent) return parent->screen();
    if (const QWidget* active = QApplication::activeWindow()) return active->screen();
    return QGuiApplication::primaryScreen();
}

}  // namespace

platform::ScreenSize QtServices::screenSize() {
    // What a window may take of the screen: without the desktop's panels.
    const QScreen* screen = workScreen(dialogParent());
    if (!screen) return {1366, 768};
    const QSize room = screen->availableGeometry().size();
    return {room.width(), room.height()};
}

int QtServices::openModal(platform::Window& window) {
    if (window.isOpen()) return -1;
    OpenWindow open;
    open.window = &window;
    open.view = std::make_unique<WindowView>(window, [this] { afterAction(); });
    m_open.push_back(&open);
    // The window leaves the stack on every way out, a test's failed interaction included.
    struct Leave {
        std::vector<OpenWindow*>& open;
        ~Leave() { open.pop_back(); }
    } leave{m_open};
    QWidget* parent = m_open.size() >= 2 ? &m_open[m_open.size() - 2]->view->widget() : nullptr;
    if (parent && !parent->isVisible()) parent = nullptr;
    window.runOpen(*this);
    if (window.isOpen()) {
        QWidget& widget = open.view->widget();
        place(widget, parent);
        widget.show();
        afterAction();
        OperatorWait wait(*this);
        if (modalInteraction)
            modalInteraction(window, *open.view);
        else if (window.isOpen())
            open.loop.exec();
    }
    // The application quit, or a test's interaction ended, with the window still open.
    if (window.isOpen()) window.closeWindow();
    // Work that stopped without reporting its end leaves no progress dialog behind the window,
    // and the windows take input again.
    m_progress.reset();
    m_busy = false;
    open.view.reset();
    return 1;
}

void QtServices::place(QWidget& widget, QWidget* parent) {
    // A window opened from another one belongs to it: it stays over it and opens in its middle.
    // The first one opens in the middle of the screen's free room, and no larger than it.
    QRect room;
    if (parent) {
        widget.setParent(parent, widget.windowFlags() | Qt::Dialog);
        room = parent->frameGeometry();
    } else if (const QScreen* screen = workScreen(nullptr)) {
        room = screen->availableGeometry();
    }
    if (room.isEmpty()) return;
    // The frame the window system adds, as the parent shows it (or a usual one).
    const QWidget* framed = parent ? parent : QApplication::activeWindow();
    QSize frame(0, 30);
    if (framed && framed->isVisible())
        frame = framed->frameGeometry().size() - framed->geometry().size();
    if (!parent) {
        const QSize most = room.size() - frame;
        if (widget.width() > most.width() || widget.height() > most.height())
            widget.resize(std::min(widget.width(), most.width()),
                          std::min(widget.height(), most.height()));
    }
    const QSize outer = widget.size() + frame;
    QPoint at(room.x() + (room.width() - outer.width()) / 2,
              room.y() + (room.height() - outer.height()) / 2);
    if (const QScreen* screen = parent ? parent->screen() : workScreen(nullptr)) {
        const QRect free = screen->availableGeometry();
        at.setX(std::clamp(at.x(), free.left(), std::max(free.left(), free.right() - outer.width())));
        at.setY(std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() - outer.height())));
    }
    widget.move(at);
}

void QtServices::popMenu(const platform::Menu& menu, platform::Window& parent, long x, long y) {
    QMenu shown(dialogParent());
    addItems(shown, menu.items);
    QPoint at = QCursor::pos();
    if (WindowView* view = viewOf(parent); view && view->widget().isVisible())
        at = view->widget().mapToGlobal(QPoint(static_cast<int>(platform::unitsToPixelsX(x)),
                                               static_cast<int>(platform::unitsToPixelsY(y))));
    QAction* chosen = nullptr;
    runDialog(shown, [&] {
        chosen = shown.exec(at);
        return 0;
    });
    if (!chosen) return;
    menu.click(chosen->data().toString().toStdString());
    afterAction();
}

int QtServices::fileSaveDialog(platform::FileSaveRequest& request) {
    QFileDialog dialog(dialogParent(), qText(request.title), qText(request.directory));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Tests drive the dialog's own widgets, which a desktop's native dialog does not have.
    if (onDialog) dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (!request.askOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = toQtFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int first = std::clamp(request.firstFilter, 1, static_cast<int>(filters.size()));
        dialog.selectNameFilter(filters[first - 1]);
    }
    // The dialog adds the filter's extension itself, so that the overwrite question is asked
    // about the file that will be written.
    auto useSuffix = [&dialog](const QString& filter) {
        const std::string extension = filterExtension(filter);
        dialog.setDefaultSuffix(extension.empty() ? QString() : qText(extension).mid(1));
    };
    useSuffix(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useSuffix);
    if (!request.fileName.empty()) dialog.selectFile(qText(request.fileName));
    if (runDialog(dialog, [&] { return dialog.exec(); }) != QDialog::Accepted) return 0;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return 0;
    const QFileInfo chosen(files.front());
    if (chosen.fileName().isEmpty()) return 0;
    request.directory = chosen.absolutePath().toStdString();
    request.fileName = withExtension(chosen.fileName().toStdString(),
                                     filterExtension(dialog.selectedNameFilter()));
    return 1;
}

int QtServices::fontDialog(platform::FontChoice& font) {
    QFont initial = toQFont(font);
    if (const QString style = matchingStyle(initial); !style.isEmpty()) initial.setStyleName(style);
    QFontDialog dialog(initial, dialogParent());
    if (onDialog) dialog.setOption(QFontDialog::DontUseNativeDialog);
    // A face the machine draws through a substitute (宋体) shows as that substitute's family.
    const QString shownFamily = dialog.currentFont().family();
    if (runDialog(dialog, [&] { return dialog.exec(); }) != QDialog::Accepted) return 0;
    platform::FontChoice chosen = font;
    const QFont selected = dialog.selectedFont();
    fromQFont(selected, chosen);
    // The operator kept the face: the report keeps the name it gave it, not the substitute's.
    if (selected.family() == shownFamily) chosen.face = font.face;
    QColorDialog colors(fromBgr(font.color), dialogParent());
    if (onDialog) colors.setOption(QColorDialog::DontUseNativeDialog);
    // Cancelling the colour keeps the one the font had.
    if (runDialog(colors, [&] { return colors.exec(); }) == QDialog::Accepted)
        chosen.color = toBgr(colors.selectedColor());
    font = chosen;
    return 1;
}

int QtServices::printerSetup(std::string& printer) {
    QPrinter device;
    if (isPdfPath(printer)) {
        device.setOutputFormat(QPrinter::PdfFormat);
        device.setOutputFileName(qText(printer));
    } else if (!printer.empty()) {
        device.setPrinterName(qText(printer));
    }
    QPrintDialog dialog(&device, dialogParent());
    // The dialog only picks the printer; nothing is printed when it is confirmed.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("确定"));
    if (runDialog(dialog, [&] { return dialog.exec(); }) != QDialog::Accepted) return 0;
    if (device.outputFormat() == QPrinter::PdfFormat && !device.outputFileName().isEmpty())
        printer = device.outputFileName().toStdString();
    else
        printer = device.printerName().toStdString();
    return 1;
}

namespace {

// Why a page range selects nothing, in the operator's words.
Error nothingToPrint(const render::PrintSettings& settings, long pageCount) {
    const std::string pages = settings.parity == render::PageParity::Odd    ? "奇数页"
                              : settings.parity == render::PageParity::Even ? "偶数页"
                                                                            : "页";
    const std::string range =
        settings.pageRange.empty() ? std::string() : "页码范围“" + settings.pageRange + "”中";
    return Error{range + "没有可打印的" + pages + "（报表共" + std::to_string(pageCount) + "页）"};
}

}  // namespace

Status QtServices::printPages(const platform::PrintJob& job) {
    engine::DataStore& report = *job.report;
    render::PrintSettings settings = render::printSettingsOf(report);
    if (!job.documentName.empty()) settings.documentName = job.documentName;
    if (settings.copies > render::kMaxCopies)
        return Error{"报表要打印" + std::to_string(settings.copies) + "份，最多只能打印" +
                     std::to_string(render::kMaxCopies) + "份"};
    layout::ReportLayout& layout = layout::layoutOf(report);
    auto pages = render::selectPages(settings.pageRange, settings.parity, layout.pageCount());
    if (!pages.ok()) return nothingToPrint(settings, layout.pageCount());
    const render::PageSource source = render::pagesOf(report);
    const render::PagePainter painter(layout.fontMetrics());
    const std::string target = printerOf(report);

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(qText(settings.documentName));
    printer.setFullPage(true);
    std::vector<long> sequence = pages.value();
    std::unique_ptr<QTemporaryFile> spool;
    if (isPdfPath(target)) {
        // Written beside the file and renamed over it once complete: a failed print leaves an
        // earlier file as it was.
        const QFileInfo file(qText(target));
        spool = std::make_unique<QTemporaryFile>(file.absolutePath() + QStringLiteral("/.") +
                                                 file.fileName() + QStringLiteral(".XXXXXX"));
        if (!spool->open())
            return Error{"不能写入文件" + target + "：" + spool->errorString().toStdString()};
        spool->close();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(spool->fileName());
        // A file holds every copy, as a PDF print does.
        sequence = render::withCopies(sequence, settings.copies, settings.collate);
    } else {
        if (!target.empty()) {
            if (QPrinterInfo::printerInfo(qText(target)).isNull())
                return Error{"打印机“" + target + "”不存在"};
            printer.setPrinterName(qText(target));
        } else if (QPrinterInfo::defaultPrinter().isNull()) {
            return Error{"系统没有默认打印机，请在打印设置中选择打印机"};
        }
        printer.setCopyCount(static_cast<int>(settings.copies));
        printer.setCollateCopies(settings.collate);
    }
    if (!printer.isValid()) return Error{"不能在打印机“" + target + "”上打印"};

    // The operator sees the printer by its name; the default one when the report names none.
    const std::string shownTarget =
        !target.empty() ? target : QPrinterInfo::defaultPrinterName().toStdString();
    QPainter qp;
    const long total = static_cast<long>(sequence.size());
    for (size_t i = 0; i < sequence.size(); ++i) {
        if (!progress("正在打印" + settings.documentName, static_cast<long>(i), total)) {
            // Nothing of a cancelled print reaches the printer or the file.
            if (qp.isActive()) printer.abort();
            m_printCancelled = true;
            return Error{"打印已取消"};
        }
        auto page = source(sequence[i]);
        if (!page.ok()) return page.error();
        const layout::PageDisplayList& list = *page.value();
        printer.setPageLayout(render::pageLayoutOf(list));
        if (i == 0) {
            if (!qp.begin(&printer)) return Error{"不能在“" + shownTarget + "”上打印"};
        } else if (!printer.newPage()) {
            return Error{"不能在“" + shownTarget + "”上打印"};
        }
        painter.paint(qp, list, printer.resolution() / 72.0);
    }
    if (!qp.end()) return Error{"不能在“" + shownTarget + "”上打印"};
    if (spool) {
        std::error_code failed;
        std::filesystem::rename(spool->fileName().toStdString(), target, failed);
        if (failed) return Error{"不能写入文件" + target + "：" + failed.message()};
        spool->setAutoRemove(false);
    }
    return Status::success();
}

int QtServices::writePdf(const platform::PrintJob& job, const std::string& path,
                         std::string& error) {
    if (!job.report) {
        error = "nothing to write: the job has no report";
        return -1;
    }
    // The writer of printctl render --pdf, each selected page once.
    render::PrintTarget target;
    target.pdfPath = path;
    target.onceEach = true;
    target.progress = [this](long done, long total) {
        return progress("正在保存文件", done, total);
    };
    const Status written = render::printReport(*job.report, target, job.documentName);
    progress({}, 1, 1);
    if (written) return 1;
    error = written.error().message;
    return error == render::kPrintCancelled ? 0 : -1;
}

std::string QtServices::defaultPrinter() {
    return QPrinterInfo::defaultPrinterName().toStdString();
}

int QtServices::print(const platform::PrintJob& job) {
    m_lastPrintError.clear();
    m_printCancelled = false;
    if (!job.report) {
        m_lastPrintError = "没有要打印的报表";
    } else {
        const Status printed = printPages(job);
        if (!printed) m_lastPrintError = printed.error().message;
        // Ends the progress and lets go of what the operator did meanwhile.
        progress({}, 1, 1);
    }
    const int result = m_lastPrintError.empty() ? 1 : -1;
    if (onPrint) onPrint(job, m_printCancelled ? 0 : result);
    // The operator who cancelled knows why nothing was printed.
    if (result == -1 && !m_printCancelled)
        messageBox("错误", "打印失败：" + m_lastPrintError, Icon::StopSign, MessageButtons::Ok, 1);
    return result;
}

bool QtServices::progress(std::string_view title, long done, long total) {
    if (total <= 0 || done >= total) {
        if (m_busy) {
            // What came in while the work ran is dropped here, not acted on afterwards.
            QCoreApplication::processEvents();
            m_busy = false;
        }
        m_progress.reset();
        return true;
    }
    m_busy = true;
    // A QProgressDialog counts in int; larger totals are shown in thousandths.
    const bool scaled = total > INT_MAX;
    const int maximum = scaled ? 1000 : static_cast<int>(total);
    const int value = scaled ? static_cast<int>(std::max(0L, done) / (total / 1000))
                             : static_cast<int>(std::max(0L, done));
    if (!m_progress) {
        // Without a parent: a window closing under an unfinished progress must not delete it
        // behind the services' back.
        m_progress = std::make_unique<QProgressDialog>();
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->setAutoReset(false);
        m_progress->setAutoClose(false);
        m_progress->setCancelButtonText(QStringLiteral("取消"));
        // Work done within about a second shows nothing.
        m_progress->setMinimumDuration(1000);
    }
    m_progress->setWindowTitle(qText(title));
    m_progress->setLabelText(qText(title));
    m_progress->setMaximum(maximum);
    m_progress->setValue(std::min(value, maximum));
    QCoreApplication::processEvents();
    if (!m_progress->wasCanceled()) return true;
    m_progress.reset();
    return false;
}

}  // namespace print::qt
