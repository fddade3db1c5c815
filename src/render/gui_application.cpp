#include "render/gui_application.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "render/fonts.h"

namespace print::render {
namespace {

QtMessageHandler g_previousHandler = nullptr;

// Batch programs run without a session: Qt's note that XDG_RUNTIME_DIR is not set would only
// clutter their standard error, which callers read for the program's own messages.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg && message.startsWith(QLatin1String("QStandardPaths: "))) return;
    if (g_previousHandler) g_previousHandler(type, context, message);
}

void setUpFonts() {
    static std::once_flag once;
    std::call_once(once, [] {
        installFontSubstitutions();
        layout::installDefaultFontMetrics(std::make_shared<QtFontMetrics>());
    });
}

}  // namespace

QGuiApplication& ensureGuiApplication() {
    if (auto* existing = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        setUpFonts();
        return *existing;
    }
    const bool hasDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!hasDisplay && !std::getenv("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietHandler);
    // Qt keeps references to argc and argv for the application's lifetime.
    static int argc = 1;
    static char name[] = "print";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at the process's exit Qt's own globals are gone before a static
    // application's destructor would run, and it would crash there.
    static QGuiApplication* const application = new QGuiApplication(argc, argv);
    setUpFonts();
    return *application;
}

}  // namespace print::render
