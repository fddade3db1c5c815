// The pieces every file writer shares: the rows as the export sees them, the file written to a
// temporary name and renamed, and text in the code page.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/result.h"
#include "common/value.h"
#include "export/saveas.h"

namespace print::saveas {

using namespace print::engine;

struct ExportColumn {
    std::string name;
    ValueType type = ValueType::String;  // of the values written (display values are strings)
    int charWidth = 0;                   // char(n): n; 0 otherwise
    int decimals = -1;                   // decimal(n): n; -1 otherwise
    bool masked = false;
    bool display = false;  // shown through a code table or drop-down list
    int slot = -1;         // the engine's slot of the column
    int index = 0;         // 0-based table column
};

// The report's rows as an export writes them.
class ExportSource {
public:
    ExportSource(DataStore& report, const SaveAsOptions& options);
    const std::vector<ExportColumn>& columns() const { return m_columns; }
    long rows() const { return m_rows; }
    // Row `row` (1-based), column `column` (0-based): "***" for a masked column, the display
    // value for a code column, else the stored value.
    Value value(long row, size_t column) const;
    // Reports progress every few thousand rows; false when the operator cancelled.
    bool progress(long done) const;

private:
    DataStore& m_report;
    const SaveAsOptions& m_options;
    std::vector<ExportColumn> m_columns;
    long m_rows = 0;
};

// UTF-8 text into a code page, with one converter kept open.
class CodePageEncoder {
public:
    explicit CodePageEncoder(const std::string& codePage);
    ~CodePageEncoder();
    CodePageEncoder(const CodePageEncoder&) = delete;
    CodePageEncoder& operator=(const CodePageEncoder&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Appends `utf8` in the code page; an Error names a character the code page cannot hold.
    Status append(std::string& out, std::string_view utf8);
    const std::string& codePage() const { return m_codePage; }

private:
    std::string m_codePage;
    iconv_t m_cd;
};

// Text of a value for text formats: numbers in shortest exact form, dates YYYY-MM-DD,
// date-times "YYYY-MM-DD HH:MM:SS", null as "".
std::string exportText(const Value& v);
bool isNumeric(ValueType type);
// Text for a text file a spreadsheet opens (CSV, tab-separated, HTML, DIF): a text cell that
// begins like a formula ('=', '+', '-', '@', a tab or a carriage return) gets a leading
// apostrophe, which spreadsheets read as "this is text" and do not show; anything else as
// exportText gives it. A typed remark must never run as a formula on another desk.
std::string sheetSafeText(const Value& v);
// A number as the double a sheet cell holds; an Error ("the number N has more digits than
// `where` holds") when the double would be another number.
Result<double> exactDouble(const Value& number, std::string_view where);
// The spreadsheets' date serial of a date, date-time or time: days counted as they count them
// (1900-01-01 is 1, and they count a 1900-02-29), the time of day as a fraction. nullopt for a
// date they cannot hold (before 1900 or after 9999), which is written as text instead.
std::optional<double> spreadsheetSerial(const Value& v);

// The writers.
Status writeDelimited(ExportSource& source, AtomicFile& file, const SaveAsOptions& options,
                      char separator);
Status writeHtml(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeDif(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeSylk(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeLotus(ExportSource& source, AtomicFile& file, const SaveAsOptions& options, bool wk1);
Status writeDbase(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeExcel8(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeXlsx(ExportSource& source, AtomicFile& file, const SaveAsOptions& options);
Status writeReportFile(DataStore& report, AtomicFile& file, const SaveAsOptions& options);
// Sheet writers: `cell(row, column, value)` for the heading line (when asked) and every value,
// rows and columns from 0; the first failure is returned naming the row and column, and a
// cancel as the cancelled error.
using CellWriter = std::function<Status(uint16_t row, uint16_t column, const Value& value)>;
Status writeCells(ExportSource& source, const SaveAsOptions& options, const CellWriter& cell);

// The first page as a placeable Windows metafile (saveas_wmf.cpp).
Status writeMetafile(DataStore& report, AtomicFile& file, const SaveAsOptions& options);

// The error of a save that was cancelled.
Error cancelledError();

}  // namespace print::saveas
