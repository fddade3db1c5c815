// print-demo: a small ERP host on the demo database that prints its bills and reports through
// the print component.
//
//   print-demo [--db URL] [--lib FILE] [--screenshots DIR]
//
// The SQLite demo database is made and filled on first use. With --screenshots (or without a
// display) no window stays open: the main window and the print window are drawn into PNG
// files and the demo documents printed into PDFs under DIR.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "demo_host.h"
#include "demo_screenshots.h"
#include "demo_window.h"
#include "qt/qt_services.h"
#include "render/gui_application.h"

int main(int argc, char** argv) {
    std::string url, lib, screenshots;
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
        else if (arg == "--help" || arg == "-h") {
            std::cout << "usage: print-demo [--db URL] [--lib FILE] [--screenshots DIR]\n";
            return 0;
        } else {
            std::cerr << "error: unknown option " << arg << "\n";
            return 2;
        }
    }
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display && screenshots.empty()) screenshots = "out/screenshots";
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
    std::string error;
    if (!host.open(url, lib, error)) {
        std::cerr << "error: " << error << "\n";
        if (screenshots.empty())
            QMessageBox::critical(nullptr, QStringLiteral("错误"), QString::fromStdString(error));
        return 1;
    }
    if (!screenshots.empty()) {
        std::cout << "no display: the print window and the demo documents are written to "
                  << screenshots << "\n";
        return demo::writeScreenshots(host, services, screenshots);
    }
    demo::DemoWindow window(host);
    window.show();
    return app.exec();
}
