// Saving a report's rows to a file, each format written as itself: tab-separated text, CSV,
// an HTML table, DIF, SYLK, Lotus WKS and WK1, dBASE III, an Excel 97-2003 workbook (BIFF8),
// an Excel workbook (xlsx), our own report file (PSR: the definitions of the report and its
// nested reports with their rows, which the engine opens again), and a Windows metafile of the
// report's first page as laid out (WMF: its texts, lines and shapes; pictures left out).
//
// The rows are written as an export sees them: the values of the report's table columns, a
// column shown through a code table or drop-down list with its display value, a masked column
// as "***" in every cell (in a PSR as null, the mask kept; in a WMF its texts as "***"). Text goes
// out in the code page (GB18030 unless given) where the format holds bytes (a dBASE table in
// GBK, the code page its header names), in Unicode where it holds Unicode. The sheets (xls,
// xlsx) hold dates as the spreadsheets count days; a date they cannot hold (before 1900-01-01,
// after 9999-12-31) is written as its text.
//
// A file is written to a temporary name in its folder and renamed when every byte is written:
// a failed save leaves no file behind and an existing file keeps its bytes. Failures are
// returned as an Error with a plain message: the file cannot be written, a character the code
// page cannot hold, a value or row count beyond what the format can hold (it is never cut), or
// the save was cancelled. Nothing throws.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "common/result.h"

namespace print::engine {
class DataStore;
}

namespace print::saveas {

using engine::DataStore;

enum class SaveAsType {
    Text,
    CSV,
    HTMLTable,
    DIF,
    SYLK,
    WKS,
    WK1,
    dBASE3,
    Excel8,
    XLSX,
    WMF,
    PSReport
};

// The type a file extension names ("xls", "CSV", "xlsx"; without the point, any letter case).
std::optional<SaveAsType> saveAsTypeForExtension(std::string_view extension);
// A file's extension: what follows the last point of its name (not of a folder's), in lower
// case; "" when the name has no point. "报表txt" has none, "a.b/c" none, "x.XLSX" is "xlsx".
std::string fileExtension(std::string_view path);

struct SaveAsOptions {
    bool headings = true;  // a first line of column names (text, CSV, HTML, sheets)
    std::string codePage = "GB18030";
    std::set<std::string> masked;  // column names (lower case) written as "***"
    // Called now and then with the rows written and the rows in all; returning false cancels
    // the save (nothing is left behind).
    std::function<bool(long done, long total)> progress;
};

// The message of a save its `progress` cancelled.
inline constexpr const char* kSaveCancelled = "the save was cancelled";

// Writes `report` to `path` as `type`.
Status saveReportAs(DataStore& report, const std::string& path, SaveAsType type,
                    const SaveAsOptions& options = {});

// Reads a report file written as SaveAsType::PSReport into `report` (definitions and rows of
// the report and its nested reports).
Status openReportFile(DataStore& report, const std::string& path);
// Whether the bytes begin like a report file.
bool isReportFile(std::string_view bytes);

}  // namespace print::saveas
