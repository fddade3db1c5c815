// The smallest host: a report DataWindow of its own, a print request through n_print, the
// print window printing it once, headless, into a PDF.
#include <filesystem>
#include <iostream>

#include "db/schema.h"
#include "platform/headless_services.h"
#include "print_service/host_context.h"
#include "print_window/w_print.h"
#include "render/gui_application.h"
#include "render/report_print.h"
#include "report_defs/report_defs.h"

using namespace print;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: package_host OUT_DIR\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    if (!std::filesystem::exists(std::filesystem::path(PRINT_DATA_DIR) / "defs" / "d_print.srd")) {
        std::cerr << "the installed definitions are missing\n";
        return 1;
    }
    render::ensureGuiApplication();
    report_defs::install();

    platform::HeadlessServices ui;
    service::HostContext host(ui);
    host.gs_operid = "A";
    print_window::installPrintWindow(host);
    if (host.sqlca.connect("sqlite:" + (out / "host.db").string()) != 0 ||
        !db::initSchema(host.sqlca).ok() || host.sqlca.commit() != 0) {
        std::cerr << host.sqlca.sqlErrText() << "\n";
        return 1;
    }
    host.gnu_print.of_setprintlib((out / "host.plib").string());

    platform::Window hostWindow("w_host");
    platform::DataWindowControl dw_list(&hostWindow, "dw_list");
    std::string error;
    if (dw_list.Create("release 9;\ndatawindow(units=0 processing=1 )\nheader(height=76 )\n"
                       "detail(height=72 )\ntable(column=(type=char(40) name=goodsname "
                       "dbname=\"goodsname\" ) )\ndata(\"可口可乐\" \"农夫山泉\" )\n"
                       "column(band=detail id=1 x=\"9\" y=\"4\" height=\"60\" width=\"600\" "
                       "name=goodsname )\n",
                       error) != 1) {
        std::cerr << error << "\n";
        return 1;
    }
    int printed = 0;
    ui.printer = [&](const platform::PrintJob& job) {
        Status s = render::printReport(*job.report, {(out / "host.pdf").string(), ""});
        if (!s) std::cerr << s.error().message << "\n";
        printed += s.ok();
        return s.ok() ? 1 : -1;
    };
    ui.modalInteraction = [](platform::Window& window) {
        if (auto* button = window.find("uob_print")) button->clicked();
    };
    host.gnu_print.of_print(&dw_list, std::string("商品清单,清单"));
    std::cout << "printed " << printed << "\n";
    return printed == 1 ? 0 : 1;
}
