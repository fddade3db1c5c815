#include "demo_screenshots.h"

#include <QApplication>
#include <QWidget>
#include <filesystem>
#include <iostream>

#include "demo_window.h"
#include "platform/datawindow_control.h"
#include "platform/units.h"
#include "print_window/w_print.h"
#include "qt/control_widgets.h"
#include "qt/qt_services.h"
#include "render/report_print.h"

using namespace print;

namespace demo {
namespace {

bool save(QWidget& widget, const std::filesystem::path& file) {
    QApplication::processEvents();
    const bool ok = widget.grab().save(QString::fromStdString(file.string()));
    if (ok) std::cout << "  " << file.string() << "\n";
    else std::cerr << "error: cannot write " << file.string() << "\n";
    return ok;
}

// Presses the mouse on an object of the preview, as the operator selecting it.
void selectObject(platform::DataWindowControl& preview, const std::string& name, bool ctrl) {
    auto placed = preview.placedObject(name);
    if (!placed) return;
    const layout::PagePoint centre{placed->box.x + placed->box.width / 2,
                                   placed->box.y + placed->box.height / 2};
    preview.operatorMouse(platform::MouseAction::Down, centre, ctrl);
    preview.operatorMouse(platform::MouseAction::Up, centre, ctrl);
}

}  // namespace

int writeScreenshots(DemoHost& host, qt::QtServices& services, const std::string& dir) {
    namespace fs = std::filesystem;
    const fs::path out(dir);
    std::error_code ec;
    fs::create_directories(out, ec);
    bool ok = true;

    DemoWindow main(host);
    main.show();
    ok = save(main, out / "demo-host.png") && ok;
    main.hide();

    struct Shot {
        const char* billid;
        const char* name;
        bool windowShots;
    };
    // Every bill the demo offers (102 is disabled) and the sales report.
    const Shot shots[] = {{"305", "order-305", true},       {"101", "receiving-101", false},
                          {"508", "settlement-508", false}, {"509", "settlement-509", false},
                          {"J01", "charge-J01", false},     {"J02", "charge-J02", false},
                          {"J03", "charge-J03", false},     {"", "sales-report", false}};
    const std::vector<Document> documents = host.documents();
    for (const Shot& shot : shots) {
        const Document* doc = nullptr;
        for (const Document& d : documents)
            if (d.billid == shot.billid) doc = &d;
        std::string error;
        if (!doc || !host.load(*doc, error)) {
            std::cerr << "error: cannot open " << shot.name << ": " << error << "\n";
            ok = false;
            continue;
        }
        services.modalInteraction = [&](platform::Window& window, qt::WindowView& view) {
            if (window.name() != "w_print") return;
            auto* preview = static_cast<platform::DataWindowControl*>(window.find("dw_preview"));
            if (!preview) return;
            // A window whose report did not load prints nothing, here as on its print button.
            if (auto* print = dynamic_cast<print_window::w_print*>(&window);
                !print || !print->reportLoaded()) {
                std::cerr << "error: " << shot.name << ": no report was loaded\n";
                ok = false;
                return;
            }
            // As the window opened: fitted to the screen's free room.
            view.refreshReports();
            if (shot.windowShots) {
                ok = save(view.widget(), out / (std::string(shot.name) + "-preview.png")) && ok;
                selectObject(*preview, "st_repname", false);
                selectObject(*preview, "st_coname", true);
                view.refreshReports();
                ok = save(view.widget(), out / (std::string(shot.name) + "-selection.png")) && ok;
            }
            const fs::path pdf = out / (std::string(shot.name) + ".pdf");
            Status printed = render::printReport(*preview, {pdf.string(), ""});
            if (printed) std::cout << "  " << pdf.string() << "\n";
            else std::cerr << "error: " << printed.error().message << "\n";
            ok = printed.ok() && ok;
            if (shot.windowShots) {
                if (auto* mode = window.find("uob_preview")) mode->clicked();
                view.refreshReports();
                ok = save(view.widget(), out / (std::string(shot.name) + "-settings.png")) && ok;
            }
        };
        host.print(*doc);
    }
    services.modalInteraction = nullptr;
    return ok ? 0 : 1;
}

}  // namespace demo
