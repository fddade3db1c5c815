#include "dw_shell.h"

#include "common/text.h"
#include "export/saveas.h"

namespace printctl {
namespace {

using print::engine::DataStore;

void emit(std::ostream& out, const std::string& text) {
    std::string_view rest = text;
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

}  // namespace

bool DwShell::run(const std::string& rawLine, std::ostream& out) {
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
        if (!result.empty() && result.back() == '\n') result.pop_back();
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
    } else if (cmd == "evaluate") {
        auto [rowText, expression] = head(rest);
        auto row = print::parseInteger(rowText);
        if (!row) {
            result = "error: evaluate needs a row number and an expression";
        } else {
            auto value = m_current->evaluate(expression, static_cast<long>(*row));
            result = value.ok() ? valueText(value.value()) : "error: " + value.error().message;
        }
    } else if (cmd == "find") {
        result = std::to_string(m_current->Find(rest, 1, m_current->RowCount()));
    } else if (cmd == "retrieve") {
        // Arguments are blank-separated texts; the row source reads each as its declared
        // type. The word null passes a null.
        std::vector<print::Value> args;
        for (const std::string& word : print::split(print::trim(rest), ' '))
            if (!word.empty()) args.push_back(word == "null" ? print::Value() : print::Value(word));
        long rows = m_current->Retrieve(args);
        result = rows < 0 ? "-1\nerror: " + m_current->lastError() : std::to_string(rows);
    } else if (cmd == "saveas") {
        // The file name may hold blanks; a last word "noheadings" is the option.
        std::string file(print::trimView(rest));
        const bool noHeadings =
            file.size() > 11 && print::iequals(file.substr(file.size() - 11), " noheadings");
        if (noHeadings) file = std::string(print::trimView(file.substr(0, file.size() - 11)));
        std::string error;
        if (file.empty())
            result = "error: saveas needs FILE [noheadings]";
        else
            result = saveReportTo(*m_current, file, !noHeadings, error) ? "1" : "error: " + error;
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

// Resolves "ROW COLUMN" arguments; a message when they are not valid.
std::optional<std::string> DwShell::rowAndColumn(const std::string& args, long& row,
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

int DwShell::columnNumber(const std::string& column) {
    auto n = print::parseInteger(column);
    if (n) return static_cast<int>(*n);
    int c = m_current->columnIndex(column);
    return c < 0 ? -1 : c + 1;
}

std::string DwShell::setItem(const std::string& args) {
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

std::string DwShell::getItem(const std::string& args, bool display) {
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
        if (row < 1 || row > m_current->RowCount()) return "error: no row " + std::to_string(row);
        return "error: no column '" + column + "'";
    }
    return display ? m_current->GetItemText(row, name) : valueText(*v);
}

bool saveReportTo(print::engine::DataStore& report, const std::string& path, bool headings,
                  std::string& error) {
    const std::string extension = print::saveas::fileExtension(path);
    auto type = print::saveas::saveAsTypeForExtension(extension);
    if (!type) {
        error = "cannot save as '" + extension +
                "': name the file .txt, .csv, .htm, .dif, .slk, .wks, .wk1, .dbf, .xls, .xlsx, "
                ".wmf or .psr";
        return false;
    }
    print::saveas::SaveAsOptions options;
    options.headings = headings;
    print::Status saved = print::saveas::saveReportAs(report, path, *type, options);
    if (!saved) error = path + ": " + saved.error().message;
    return saved.ok();
}

}  // namespace printctl
