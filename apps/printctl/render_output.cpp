#include "render_output.h"

#include <filesystem>

#include "engine/datastore.h"
#include "layout/report_layout.h"
#include "render/gui_application.h"
#include "render/page_output.h"
#include "render/report_print.h"

namespace printctl {

std::string checkRenderOutput(const RenderOutput& output) {
    if (output.dpi != 0 && output.pngDir.empty()) return "--dpi needs --png-dir";
    if (output.dpi != 0 && (output.dpi < 10 || output.dpi > 600))
        return "--dpi must be between 10 and 600";
    return {};
}

void prepareRenderOutput() {
    print::render::ensureGuiApplication();
}

std::string writeRenderOutput(print::engine::DataStore& report, const RenderOutput& output,
                              const PageWarning& warn) {
    namespace render = print::render;
    print::layout::ReportLayout& layout = print::layout::layoutOf(report);
    const long count = layout.pageCount();
    std::vector<long> pages;
    if (output.page != 0) {
        pages.push_back(output.page);
    } else {
        for (long page = 1; page <= count; ++page) pages.push_back(page);
    }
    // Refused before anything is drawn: a page of a huge custom paper at a printer's resolution
    // would take gigabytes and minutes.
    const int dpi = output.dpi ? output.dpi : 150;
    const print::layout::PageSetup setup = layout.pageSetup();
    const print::Status fits = output.pngDir.empty() ? print::Status::success()
                                                     : render::checkPictureSize(
                                                           setup.paperWidth, setup.paperHeight, dpi);
    if (!fits) {
        const std::string& message = fits.error().message;
        return message.substr(0, message.rfind(';')) + ": give --dpi " +
               std::to_string(render::largestDpiFor(setup.paperWidth, setup.paperHeight)) +
               " or less";
    }
    const render::PagePainter painter(layout.fontMetrics());
    const render::PageSource source =
        render::reportingWarnings(render::pagesOf(report), warn, &painter);
    if (!output.pdf.empty()) {
        render::PdfOptions options;
        options.title = render::printSettingsOf(report).documentName;
        options.creator = "printctl";
        const print::Status written = render::writePdf(pages, source, output.pdf, options, painter);
        if (!written) return written.error().message;
    }
    if (output.pngDir.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(output.pngDir, ec);
    if (ec) return "cannot create the folder " + output.pngDir + ": " + ec.message();
    const size_t width = std::to_string(count).size();
    for (const long page : pages) {
        auto list = source(page);
        if (!list.ok()) return list.error().message;
        std::string number = std::to_string(page);
        number.insert(0, width > number.size() ? width - number.size() : 0, '0');
        const std::string path =
            (std::filesystem::path(output.pngDir) / ("page-" + number + ".png")).string();
        const print::Status written = render::writePng(*list.value(), path, dpi, painter);
        if (!written) return written.error().message;
    }
    return {};
}

}  // namespace printctl
