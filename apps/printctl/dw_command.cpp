// printctl dw: the engine shell. Opens a report definition and runs engine commands read from
// standard input, one per line; each command's output is followed by a line holding a single
// '.', and output lines that begin with '.' get one more '.' in front.
#include <iostream>

#include "commands.h"
#include "common/text.h"
#include "dw_shell.h"
#include "engine/datastore.h"
#include "engine/library.h"
#include "library_option.h"
#ifdef PRINTCTL_HAS_DB
#include "db/transaction.h"
#endif

namespace printctl {
namespace {

using print::engine::DataStore;

struct DwOptions {
    std::string definition;
    std::vector<std::string> defs;
    std::vector<std::string> libs;
    std::string encoding;  // "": as each file is written
    std::string url;
};

int runDw(const DwOptions& options) {
    auto& list = print::engine::LibrarySearchList::application();
    for (const auto& dir : options.defs)
        list.append(std::make_shared<print::engine::FolderLibrary>(dir, options.encoding));
    for (const auto& lib : options.libs) {
        std::string error;
        if (!addLibraryFile(lib, error)) {
            std::cerr << "error: " << error << "\n";
            return 2;
        }
    }

    DataStore report;
    std::string error;
    if (!openDefinition(report, options.definition, options.encoding, error)) {
        std::cerr << "error: " << error << "\n";
        return 2;
    }
#ifdef PRINTCTL_HAS_DB
    print::db::Transaction sqlca;
    if (!options.url.empty()) {
        if (sqlca.connect(options.url, {.createSqliteFile = false}) != 0) {
            std::cerr << "error: " << sqlca.sqlErrText() << "\n";
            return 2;
        }
        report.SetTransObject(&sqlca);
    }
#else
    if (!options.url.empty()) {
        std::cerr << "error: this build has no database layer\n";
        return 2;
    }
#endif
    DwShell shell(report);
    std::string line;
    while (std::getline(std::cin, line))
        if (!shell.run(line, std::cout)) break;
    return 0;
}

}  // namespace

void addDwCommand(CLI::App& app) {
    auto options = std::make_shared<DwOptions>();
    auto* dw = app.add_subcommand(
        "dw", "Open a report definition and run engine commands read from standard input");
    dw->add_option("definition", options->definition,
                   "A definition file (.srd), a report file (.psr) or a definition name on the library search list")
        ->required();
    dw->add_option("--defs", options->defs,
                   "A folder of NAME.srd files to put on the library search list (repeatable)");
    dw->add_option("--lib", options->libs,
                   "A library file to put on the library search list (repeatable)");
    dw->add_option("--url", options->url,
                   "A database (sqlite:PATH or postgresql://...) for the retrieve command");
    dw->add_option("--encoding", options->encoding,
                   "Code page of definition files (e.g. gb18030; by default UTF-8, or the "
                   "application code page for a file without a byte-order mark that is not UTF-8)");
    dw->footer(
        "Commands, one per line: describe TEXT | modify TEXT | syntax | rowcount | insertrow N |\n"
        "deleterow N | setitem ROW COLUMN VALUE | getitem ROW COLUMN | gettext ROW COLUMN |\n"
        "evaluate ROW EXPRESSION | find EXPRESSION | retrieve [ARG...] | saveas FILE [noheadings] |\n"
        "child NAME | parent | quit.\n"
        "Each output ends with a line '.'.");
    dw->callback([options] {
        int rc = runDw(*options);
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace printctl
