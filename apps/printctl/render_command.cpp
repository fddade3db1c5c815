// printctl render: lays a report out into pages and writes them: as the display list's text
// (--dump), as one PDF file and as PNG files. The last line printed is
// "pages: N", the whole report's page count.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "commands.h"
#include "common/encoding.h"
#include "dw_shell.h"
#include "engine/datastore.h"
#include "engine/library.h"
#include "engine/row_import.h"
#include "export/saveas.h"
#include "input_file.h"
#include "layout/display_list.h"
#include "layout/report_layout.h"
#include "library_option.h"
#include "render_output.h"
#include "report_defs/report_defs.h"

namespace printctl {
namespace {

using print::engine::DataStore;

struct RenderOptions {
    std::string definition;
    std::vector<std::string> defs;
    std::vector<std::string> libs;
    std::string encoding;  // "": as each file is written
    std::string rows;  // a tab-separated file; empty: the definition's own rows
    bool dump = false;
    long page = 0;  // 0: every page
    std::string pdf;
    std::string pngDir;
    int dpi = 0;
    std::string saveas;
};

// Reads the rows file into `target`, replacing its rows.
bool loadRows(const std::string& path, const std::string& encoding, DataStore& target,
              std::string& error) {
    // A regular file only: a device would be read without end.
    auto read = readInputFile(path);
    if (!read) {
        error = "cannot read the rows file '" + path + "'";
        return false;
    }
    auto decoded = print::decodeTextFile(read.value(), encoding);
    if (!decoded.ok()) {
        error = path + ": " + decoded.error().describe();
        return false;
    }
    auto imported = print::engine::importRows(target, decoded.value(), path);
    if (!imported.ok()) {
        error = imported.error().message;
        return false;
    }
    return true;
}

int fail(const std::string& message) {
    std::cerr << "error: " << message << "\n";
    return 2;
}

int runRender(const RenderOptions& options) {
    const RenderOutput output{options.pdf, options.pngDir, options.dpi, options.page};
    if (const std::string bad = checkRenderOutput(output); !bad.empty()) return fail(bad);
    // Drawn pages are measured with the fonts they are drawn with; a dump alone keeps the fixed
    // metrics, which give the same pages on every machine.
    if (output.wanted()) prepareRenderOutput();
    print::report_defs::install();
    auto& list = print::engine::LibrarySearchList::application();
    for (const auto& dir : options.defs)
        list.append(std::make_shared<print::engine::FolderLibrary>(dir, options.encoding));
    for (const auto& lib : options.libs) {
        std::string error;
        if (!addLibraryFile(lib, error)) return fail(error);
    }
    std::string error;
    DataStore report;
    if (!openDefinition(report, options.definition, options.encoding, error)) return fail(error);
    // A frame shows its list in the nested report dw_report: the rows are the list's, and
    // they are what the print window exports. Only a report file holds the frame itself.
    DataStore* shown = &report;
    DataStore* child = nullptr;
    if (report.GetChild("dw_report", child) == 1 && child) shown = child;
    if (!options.rows.empty() && !loadRows(options.rows, options.encoding, *shown, error))
        return fail(error);
    if (!options.saveas.empty()) {
        const bool reportFile = print::saveas::fileExtension(options.saveas) == "psr";
        if (!saveReportTo(reportFile ? report : *shown, options.saveas, true, error))
            return fail(error);
    }
    print::layout::ReportLayout& layout = print::layout::layoutOf(report);
    if (print::Status fits = layout.checkBands(); !fits) return fail(fits.error().message);
    // What a page could not show as the data says, once for each page and object.
    std::set<std::pair<long, std::string>> told;
    const PageWarning warn = [&told](long page, const std::string& warning) {
        if (told.emplace(page, warning).second)
            std::cerr << "warning: page " << page << ": " << warning << "\n";
    };
    long first = 1, last = options.dump ? layout.pageCount() : 0;
    if (options.page != 0) first = last = options.page;
    for (long page = first; page <= last; ++page) {
        auto list = layout.displayList(page);
        if (!list.ok()) return fail(list.error().message);
        for (const std::string& warning : list.value()->warnings) warn(page, warning);
        if (options.dump) std::cout << print::layout::dumpDisplayList(*list.value());
    }
    if (output.wanted()) {
        if (const std::string failed = writeRenderOutput(report, output, warn); !failed.empty())
            return fail(failed);
    }
    std::cout << "pages: " << layout.pageCount() << "\n";
    return 0;
}

}  // namespace

void addRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    auto* render = app.add_subcommand("render", "Lay a report out into pages and write them");
    render
        ->add_option("definition", options->definition,
                     "A definition file (.srd), a report file (.psr) or a definition name on the "
                     "library search list")
        ->required();
    render->add_option("--defs", options->defs,
                       "A folder of NAME.srd files to put on the library search list (repeatable)");
    render->add_option("--lib", options->libs,
                       "A library file to put on the library search list (repeatable)");
    render->add_option("--rows", options->rows,
                       "Rows from a tab-separated file whose first line names the columns (for a "
                       "frame, the rows of its nested report dw_report)");
    render->add_option("--encoding", options->encoding,
                       "Code page of definition and rows files (e.g. gb18030; by default UTF-8, "
                       "or the application code page for a file without a byte-order mark that "
                       "is not UTF-8)");
    render->add_flag("--dump", options->dump, "Print each page's display list as text");
    render->add_option("--page", options->page, "Lay out and write only page N");
    render->add_option("--pdf", options->pdf, "Write the pages to a PDF file");
    render->add_option("--png-dir", options->pngDir, "Write each page as a PNG file into DIR");
    render->add_option("--dpi", options->dpi, "Resolution of the PNG files");
    render->add_option("--saveas", options->saveas,
                       "Save the rows to FILE in the format its extension names (txt, csv, htm, "
                       "dif, slk, wks, wk1, dbf, xls, xlsx, wmf; for a frame the rows of its "
                       "nested report dw_report, as the print window exports them), or the "
                       "report with its rows as a report file (psr)");
    render->footer("The last line printed is 'pages: N', the report's page count.");
    render->callback([options] {
        int rc = runRender(*options);
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace printctl
