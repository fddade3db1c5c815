// printctl render: lays a report out into pages and writes them: as the display list's text
// (--dump), as one PDF file and as PNG files. The last line printed is
// "pages: N", the whole report's page count.
#include <fstream>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "common/encoding.h"
#include "common/text.h"
#include "engine/datastore.h"
#include "engine/display_list.h"
#include "engine/library.h"
#include "engine/report_layout.h"
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
    std::string encoding = "UTF-8";
    std::string rows;  // a tab-separated file; empty: the definition's own rows
    bool dump = false;
    long page = 0;  // 0: every page
    std::string pdf;
    std::string pngDir;
    int dpi = 0;
};

std::string typeName(print::ValueType type) {
    switch (type) {
        case print::ValueType::Number:
            return "a number";
        case print::ValueType::Long:
            return "a whole number";
        case print::ValueType::Date:
            return "a date (YYYY-MM-DD)";
        case print::ValueType::DateTime:
            return "a date and time (YYYY-MM-DD HH:MM:SS)";
        case print::ValueType::Time:
            return "a time (HH:MM:SS)";
        default:
            return "text";
    }
}

std::vector<std::string> fields(const std::string& line) {
    return print::split(line, '\t');
}

// Reads rows from a tab-separated file whose first line names the columns into `target`,
// replacing its rows. An empty field is null (an empty text for a text column).
bool loadRows(const std::string& path, const std::string& encoding, DataStore& target,
              std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the rows file '" + path + "'";
        return false;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) {
        error = "cannot read the rows file '" + path + "'";
        return false;
    }
    auto decoded = print::decodeLines(buf.str(), encoding);
    if (!decoded.ok()) {
        error = path + ": " + decoded.error().describe();
        return false;
    }
    std::vector<std::string> lines = print::split(decoded.value(), '\n');
    for (auto& line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) {
        error = path + " line 1: the first line must name the columns";
        return false;
    }
    std::vector<int> columns;
    for (const std::string& name : fields(lines[0])) {
        int c = target.columnIndex(print::trim(name));
        if (c < 0 || print::trim(name).front() == '#') {
            error = path + " line 1: the report has no column '" + name + "'";
            return false;
        }
        columns.push_back(c);
    }
    target.Reset();
    const auto& tableColumns = target.columns();
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string where = path + " line " + std::to_string(i + 1) + ": ";
        std::vector<std::string> values = fields(lines[i]);
        if (values.size() != columns.size()) {
            error = where + "it has " + std::to_string(values.size()) +
                    " values where the first line names " + std::to_string(columns.size()) +
                    " columns";
            return false;
        }
        long row = target.InsertRow(0);
        for (size_t k = 0; k < values.size(); ++k) {
            const auto& column = tableColumns[columns[k]];
            print::Value value;
            if (!values[k].empty() || column.type == print::ValueType::String) {
                auto parsed = print::parseValue(values[k], column.type);
                if (!parsed) {
                    error = where + "'" + values[k] + "' does not fit column '" + column.name +
                            "', which holds " + typeName(column.type);
                    return false;
                }
                value = *parsed;
            }
            if (target.SetItem(row, columns[k] + 1, value) != 1) {
                error = where + "'" + values[k] + "' does not fit column '" + column.name +
                        "', which holds " + typeName(column.type);
                return false;
            }
        }
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
    auto text = readDefinition(options.definition, options.encoding, error);
    if (!text) return fail(error);
    DataStore report;
    if (report.Create(*text, error) != 1) return fail(error);
    if (!options.rows.empty()) {
        // A frame shows its list in the nested report dw_report; the rows are the list's.
        DataStore* target = &report;
        DataStore* child = nullptr;
        if (report.GetChild("dw_report", child) == 1 && child) target = child;
        if (!loadRows(options.rows, options.encoding, *target, error)) return fail(error);
    }
    print::engine::ReportLayout& layout = report.layout();
    long first = 1, last = 0;
    if (options.page != 0) {
        if (options.page < 1 || !layout.displayList(options.page).ok())
            return fail("page " + std::to_string(options.page) +
                        " does not exist: the report has " + std::to_string(layout.pageCount()) +
                        " pages");
        first = last = options.page;
    } else if (options.dump) {
        last = layout.pageCount();
    }
    for (long page = first; page <= last; ++page) {
        auto list = layout.displayList(page);
        if (!list.ok()) return fail(list.error().message);
        if (options.dump) std::cout << print::engine::dumpDisplayList(*list.value());
    }
    if (output.wanted()) {
        if (const std::string failed = writeRenderOutput(report, output); !failed.empty())
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
                     "A definition file (.srd) or a definition name on the library search list")
        ->required();
    render->add_option("--defs", options->defs,
                       "A folder of NAME.srd files to put on the library search list (repeatable)");
    render->add_option("--lib", options->libs,
                       "A library file to put on the library search list (repeatable)");
    render->add_option("--rows", options->rows,
                       "Rows from a tab-separated file whose first line names the columns (for a "
                       "frame, the rows of its nested report dw_report)");
    render->add_option("--encoding", options->encoding,
                       "Code page of definition and rows files (default UTF-8, e.g. gb18030)");
    render->add_flag("--dump", options->dump, "Print each page's display list as text");
    render->add_option("--page", options->page, "Lay out and write only page N");
    render->add_option("--pdf", options->pdf, "Write the pages to a PDF file");
    render->add_option("--png-dir", options->pngDir, "Write each page as a PNG file into DIR");
    render->add_option("--dpi", options->dpi, "Resolution of the PNG files");
    render->footer("The last line printed is 'pages: N', the report's page count.");
    render->callback([options] {
        int rc = runRender(*options);
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace printctl
