// printctl dw: the engine shell. Opens a report definition and runs engine commands read from
// standard input, one per line; each command's output is followed by a line holding a single
// '.', and output lines that begin with '.' get one more '.' in front.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "commands.h"
#include "common/encoding.h"
#include "common/text.h"
#include "engine/datastore.h"
#include "engine/library.h"
#include "library_option.h"

namespace printctl {
namespace {

using print::engine::DataStore;

struct DwOptions {
    std::string definition;
    std::vector<std::string> defs;
    std::vector<std::string> libs;
    std::string encoding = "UTF-8";
};

void emit(std::ostream& out, const std::string& text) {
    std::string_view rest = text;
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
    size_t start = 0;
    while (true) {
        size_t nl = rest.find('\n', start);
        std::string_view line = rest.substr(start, nl == std::string_view::npos ? nl : nl - start);
        if (!line.empty() && line.front() == '.') out << '.';
        out << line << '\n';
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
}

std::string valueText(const print::Value& v) {
    if (v.isNull()) return "null";
    return v.toText();
}

// Splits "WORD REST" at the first blank.
std::pair<std::string, std::string> head(std::string_view line) {
    line = print::trimView(line);
    size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) return {std::string(line), {}};
    return {std::string(line.substr(0, blank)), std::string(line.substr(blank + 1))};
}

class Shell {
public:
    explicit Shell(DataStore& top) : m_top(top), m_current(&top) {}

    // Runs one command; false when the shell should stop.
    bool run(const std::string& rawLine, std::ostream& out) {
        std::string line = rawLine;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (print::trimView(line).empty()) return true;
        auto [command, rest] = head(line);
        std::string cmd = print::asciiLower(command);
        if (cmd == "quit") return false;
        std::string result;
        bool silent = false;
        if (cmd == "describe") {
            result = m_current->Describe(rest);
        } else if (cmd == "modify") {
            result = m_current->Modify(rest);
        } else if (cmd == "syntax") {
            result = m_current->Describe("DataWindow.Syntax");
        } else if (cmd == "rowcount") {
            result = std::to_string(m_current->RowCount());
        } else if (cmd == "insertrow" || cmd == "deleterow") {
            auto n = print::parseInteger(rest);
            if (!n)
                result = "error: " + cmd + " needs a row number";
            else
                result = std::to_string(cmd == "insertrow" ? m_current->InsertRow(*n)
                                                           : m_current->DeleteRow(*n));
        } else if (cmd == "setitem") {
            result = setItem(rest);
        } else if (cmd == "getitem" || cmd == "gettext") {
            result = getItem(rest, cmd == "gettext");
        } else if (cmd == "find") {
            result = std::to_string(m_current->Find(rest, 1, m_current->RowCount()));
        } else if (cmd == "child") {
            DataStore* child = nullptr;
            int rc = m_current->GetChild(print::trimView(rest), child);
            if (rc == 1) m_current = child;
            result = std::to_string(rc);
        } else if (cmd == "parent") {
            m_current = &m_top;
            silent = true;
        } else {
            result = "error: unknown command";
        }
        if (!silent) emit(out, result);
        out << ".\n";
        out.flush();
        return true;
    }

private:
    // Resolves "ROW COLUMN" arguments; a message when they are not valid.
    std::optional<std::string> rowAndColumn(const std::string& args, long& row,
                                            std::string& column, std::string& rest) {
        auto [rowText, afterRow] = head(args);
        auto r = print::parseInteger(rowText);
        if (!r) return "error: expected a row number, found '" + rowText + "'";
        auto [col, afterCol] = head(afterRow);
        if (col.empty()) return std::string("error: expected a column name");
        row = static_cast<long>(*r);
        column = col;
        // The value is the rest of the line after exactly one blank, so it may hold blanks.
        std::string_view a = print::trimView(afterRow);
        rest = a.size() > col.size() ? std::string(a.substr(col.size() + 1)) : std::string();
        return std::nullopt;
    }

    int columnNumber(const std::string& column) {
        auto n = print::parseInteger(column);
        if (n) return static_cast<int>(*n);
        int c = m_current->columnIndex(column);
        return c < 0 ? -1 : c + 1;
    }

    std::string setItem(const std::string& args) {
        long row;
        std::string column, text;
        if (auto bad = rowAndColumn(args, row, column, text)) return *bad;
        int c = columnNumber(column);
        if (c < 1 || c > static_cast<int>(m_current->columns().size())) return "-1";
        auto type = m_current->columns()[c - 1].type;
        if (text == "null") return std::to_string(m_current->SetItem(row, c, print::Value()));
        auto value = print::parseValue(text, type);
        if (!value) return "-1";
        return std::to_string(m_current->SetItem(row, c, *value));
    }

    std::string getItem(const std::string& args, bool display) {
        long row;
        std::string column, unused;
        if (auto bad = rowAndColumn(args, row, column, unused)) return *bad;
        std::string name = column;
        if (auto n = print::parseInteger(column)) {
            if (*n < 1 || *n > static_cast<int64_t>(m_current->columns().size()))
                return "error: no column " + column;
            name = m_current->columns()[*n - 1].name;
        }
        auto v = m_current->GetItem(row, name);
        if (!v) {
            if (row < 1 || row > m_current->RowCount())
                return "error: no row " + std::to_string(row);
            return "error: no column '" + column + "'";
        }
        return display ? m_current->GetItemText(row, name) : valueText(*v);
    }

    DataStore& m_top;
    DataStore* m_current;
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

    std::string text;
    std::error_code ec;
    if (std::filesystem::is_regular_file(options.definition, ec)) {
        std::ifstream in(options.definition, std::ios::binary);
        std::ostringstream buf;
        buf << in.rdbuf();
        auto decoded = print::decodeText(buf.str(), options.encoding);
        if (!decoded.ok()) {
            std::cerr << "error: " << options.definition << ": " << decoded.error().message << "\n";
            return 2;
        }
        text = std::move(decoded).value();
    } else {
        auto found = list.find(options.definition);
        if (!found.ok()) {
            std::cerr << "error: " << found.error().message << "\n";
            return 2;
        }
        if (!found.value()) {
            std::cerr << "error: '" << options.definition
                      << "' is neither a file nor a definition on the library search list\n";
            return 2;
        }
        text = *found.value();
    }

    DataStore report;
    std::string error;
    if (report.Create(text, error) != 1) {
        std::cerr << "error: " << error << "\n";
        return 2;
    }
    Shell shell(report);
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
                   "A definition file (.srd) or a definition name on the library search list")
        ->required();
    dw->add_option("--defs", options->defs,
                   "A folder of NAME.srd files to put on the library search list (repeatable)");
    dw->add_option("--lib", options->libs,
                   "A library file to put on the library search list (repeatable)");
    dw->add_option("--encoding", options->encoding,
                   "Code page of definition files (default UTF-8, e.g. gb18030)");
    dw->footer(
        "Commands, one per line: describe TEXT | modify TEXT | syntax | rowcount | insertrow N |\n"
        "deleterow N | setitem ROW COLUMN VALUE | getitem ROW COLUMN | gettext ROW COLUMN |\n"
        "find EXPRESSION | child NAME | parent | quit. Each output ends with a line '.'.");
    dw->callback([options] {
        int rc = runDw(*options);
        if (rc != 0) throw CLI::RuntimeError(rc);
    });
}

}  // namespace printctl
