// The engine shell's command loop, shared by `printctl dw` and the engine's case tests.
//
// Each command line acts on the current report (the top one, or a child reached with `child`);
// its output is followed by a line holding a single '.', and output lines that begin with '.'
// get one more '.' in front. Problems with a command's arguments are printed as "error: ...".
#pragma once

#include <ostream>
#include <string>

#include "engine/datastore.h"

namespace printctl {

class DwShell {
public:
    explicit DwShell(print::engine::DataStore& top) : m_top(top), m_current(&top) {}

    // Runs one command line; false when the shell should stop (`quit`).
    bool run(const std::string& line, std::ostream& out);

private:
    std::optional<std::string> rowAndColumn(const std::string& args, long& row, std::string& column,
                                            std::string& rest);
    int columnNumber(const std::string& column);
    std::string setItem(const std::string& args);
    std::string getItem(const std::string& args, bool display);

    print::engine::DataStore& m_top;
    print::engine::DataStore* m_current;
};

// Saves the rows of `report` to `path` in the format its extension names (txt, csv, htm, dif,
// slk, wks, wk1, dbf, xls, xlsx, wmf, psr). False with `error` set for another extension or
// when the file cannot be written (nothing is then left at `path`).
bool saveReportTo(print::engine::DataStore& report, const std::string& path, bool headings,
                  std::string& error);

}  // namespace printctl
