// print-demo: a small ERP host on the demo database that prints its bills and reports through
// the print component.
//
//   print-demo [--db URL] [--lib FILE] [--operator ID] [--screenshots DIR]
//   print-demo [--db URL] [--lib FILE] [--operator ID] (--bill ID | --report) [--script FILE]
//
// The SQLite demo database is made and filled on first use. With --screenshots (or without a
// display) no window stays open: the main window and the print window are drawn into PNG
// files and the demo documents printed into PDFs under DIR. --bill and --report open the print
// window on that document at once; --script plays an operator script of `printctl print
// --script` on its real widgets (offscreen without a display). Exit codes as printctl print:
// 0, 1 when a message box with the stop sign was shown, 2 for bad options or script lines.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "demo_host.h"
#include "demo_screenshots.h"
#include "demo_window.h"
#include "platform/operator_script.h"
#include "qt/qt_services.h"
#include "render/gui_application.h"
#include "screen_driver.h"

namespace {

const char* const kUsage =
    "usage: print-demo [--db URL] [--lib FILE] [--operator ID] [--screenshots DIR]\n"
    "       print-demo [--db URL] [--lib FILE] [--operator ID] (--bill ID | --report)\n"
    "                  [--script FILE]\n"
    "Script lines as printctl print --script, played on the real widgets, and\n"
    "screenshot FILE.png (the window as the screen shows it).\n";

// Opens the print window on one document; with a script, plays it there.
int printOne(demo::DemoHost& host, print::qt::QtServices& services, const std::string& billid,
             const std::string& scriptPath) {
    const std::vector<demo::Document> documents = host.documents();
    const demo::Document* doc = nullptr;
    for (const demo::Document& d : documents)
        if (d.billid == billid) doc = &d;
    if (!doc) {
        std::cerr << "error: the demo database has no bill " << billid << "\n";
        return 2;
    }
    std::string error;
    if (!host.load(*doc, error)) {
        std::cerr << "error: " << error << "\n";
        return 1;
    }
    if (scriptPath.empty()) {
        host.print(*doc);
        return 0;
    }
    std::ifstream file(scriptPath);
    if (!file) {
        std::cerr << "error: cannot read " << scriptPath << "\n";
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();
    std::istringstream lines(text.str());
    demo::ScreenDriver driver(services, std::cerr);
    print::platform::OperatorScript script(driver, lines, std::cout, std::cerr);
    driver.play(script);
    host.print(*doc);
    if (script.failed()) return 2;
    return driver.stopSignShown() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string url, lib, screenshots, bill, scriptPath, operatorId;
    bool report = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "error: " << arg << " needs a value\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--db") url = value();
        else if (arg == "--lib") lib = value();
        else if (arg == "--screenshots") screenshots = value();
        else if (arg == "--bill") bill = value();
        else if (arg == "--report") report = true;
        else if (arg == "--script") scriptPath = value();
        else if (arg == "--operator") operatorId = value();
        else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "error: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
    }
    const bool one = report || !bill.empty();
    if (report && !bill.empty()) {
        std::cerr << "error: give --bill or --report, not both\n";
        return 2;
    }
    if (!scriptPath.empty() && !one) {
        std::cerr << "error: --script needs --bill ID or --report\n";
        return 2;
    }
    if (one && !screenshots.empty()) {
        std::cerr << "error: --screenshots draws every document; leave out --bill and --report\n";
        return 2;
    }
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (one && scriptPath.empty() && !display) {
        std::cerr << "error: without a display the print window needs a --script to play\n";
        return 2;
    }
    if (!display && screenshots.empty() && !one) screenshots = "out/screenshots";
    if (!display && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    print::render::ensureGuiApplication();
    const std::filesystem::path home =
        std::filesystem::path(std::getenv("HOME") ? std::getenv("HOME") : ".") / ".local/share/print-demo";
    if (url.empty() || lib.empty()) std::filesystem::create_directories(home);
    if (url.empty()) url = "sqlite:" + (home / "demo.db").string();
    if (lib.empty()) lib = (home / "demo-print.plib").string();

    print::qt::QtServices services;
    demo::DemoHost host(services);
    if (!operatorId.empty()) {
        const demo::Operator* chosen = nullptr;
        for (const demo::Operator& op : demo::operators())
            if (op.id == operatorId) chosen = &op;
        if (!chosen) {
            std::cerr << "error: the demo has no operator " << operatorId << " (0001 or 0002)\n";
            return 2;
        }
        host.setOperator(*chosen);
    }
    std::string error;
    if (!host.open(url, lib, error)) {
        std::cerr << "error: " << error << "\n";
        if (screenshots.empty() && !one)
            QMessageBox::critical(nullptr, QStringLiteral("错误"), QString::fromStdString(error));
        return 1;
    }
    if (one) return printOne(host, services, bill, scriptPath);
    if (!screenshots.empty()) {
        std::cout << "no display: the print window and the demo documents are written to "
                  << screenshots << "\n";
        return demo::writeScreenshots(host, services, screenshots);
    }
    demo::DemoWindow window(host);
    window.show();
    return app.exec();
}
