#include "export/saveas.h"

#include "common/text.h"
#include "engine/datastore.h"
#include "export/saveas_internal.h"

namespace print::saveas {

std::optional<SaveAsType> saveAsTypeForExtension(std::string_view extension) {
    const std::string e = asciiLower(extension);
    if (e == "txt") return SaveAsType::Text;
    if (e == "csv") return SaveAsType::CSV;
    if (e == "htm" || e == "html") return SaveAsType::HTMLTable;
    if (e == "dif") return SaveAsType::DIF;
    if (e == "slk") return SaveAsType::SYLK;
    if (e == "wks") return SaveAsType::WKS;
    if (e == "wk1") return SaveAsType::WK1;
    if (e == "dbf") return SaveAsType::dBASE3;
    if (e == "xls") return SaveAsType::Excel8;
    if (e == "xlsx") return SaveAsType::XLSX;
    if (e == "wmf") return SaveAsType::WMF;
    if (e == "psr") return SaveAsType::PSReport;
    return std::nullopt;
}

std::string fileExtension(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : asciiLower(name.substr(dot + 1));
}

Error cancelledError() {
    return Error{kSaveCancelled};
}

// --- the rows as the export sees them ------------------------------------------------------------

ExportSource::ExportSource(DataStore& report, const SaveAsOptions& options)
    : m_report(report), m_options(options), m_rows(report.RowCount()) {
    const auto& columns = report.columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        ExportColumn c;
        c.name = columns[i].name;
        c.index = static_cast<int>(i);
        c.type = columns[i].type;
        c.slot = report.resolveName(c.name);
        const std::string typeText = asciiLower(columns[i].typeText);
        if (typeText.starts_with("char(")) c.charWidth = std::atoi(typeText.c_str() + 5);
        if (typeText.starts_with("decimal(")) c.decimals = std::atoi(typeText.c_str() + 8);
        c.masked = options.masked.count(asciiLower(c.name)) > 0 ||
                   report.Describe(c.name + ".format") == "***";
        const std::string style = report.Describe(c.name + ".edit.style");
        const std::string values = report.Describe(c.name + ".values");
        c.display = style == "dddw" || (values != "?" && values != "!" && !values.empty());
        if (c.masked || c.display) c.type = ValueType::String;
        m_columns.push_back(std::move(c));
    }
}

Value ExportSource::value(long row, size_t column) const {
    const ExportColumn& c = m_columns[column];
    if (c.masked) return Value("***");
    if (c.display) {
        std::optional<Value> raw = m_report.GetItem(row, c.name);
        if (!raw || raw->isNull()) return Value();
        return Value(m_report.lookUpDisplay(c.slot, row));
    }
    std::optional<Value> v = m_report.GetItem(row, c.name);
    return v ? *v : Value();
}

bool ExportSource::progress(long done) const {
    if (!m_options.progress) return true;
    if (done != m_rows && done % 4096 != 0) return true;
    return m_options.progress(done, m_rows);
}

// --- text in the code page
// ------------------------------------------------------------------------

CodePageEncoder::CodePageEncoder(const std::string& codePage)
    : m_codePage(codePage), m_cd(iconv_open(codePage.c_str(), "UTF-8")) {}

CodePageEncoder::~CodePageEncoder() {
    if (ok()) iconv_close(m_cd);
}

Status CodePageEncoder::append(std::string& out, std::string_view utf8) {
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        out.append(utf8);
        return Status::success();
    }
    if (!ok()) return Error{"unknown code page '" + m_codePage + "'"};
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    const size_t start = out.size();
    out.resize(start + utf8.size() * 4 + 8);
    char* src = const_cast<char*>(utf8.data());
    size_t srcLeft = utf8.size();
    char* dst = out.data() + start;
    size_t dstLeft = out.size() - start;
    if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        const size_t offset = static_cast<size_t>(src - utf8.data());
        out.resize(start);
        return Error{"the character '" + utf8Substr(utf8.substr(offset), 0, 1) +
                     "' cannot be written in code page " + m_codePage};
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    return Status::success();
}

// --- values
// ----------------------------------------------------------------------------------------

std::string exportText(const Value& v) {
    return v.isNull() ? std::string() : v.toText();
}

std::string sheetSafeText(const Value& v) {
    std::string text = exportText(v);
    if (v.type() == ValueType::String && !text.empty() &&
        std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        text.insert(0, 1, '\'');
    return text;
}

bool isNumeric(ValueType type) {
    return type == ValueType::Number || type == ValueType::Long;
}

Result<double> exactDouble(const Value& number, std::string_view where) {
    const Decimal exact = number.toDecimal().value_or(Decimal());
    const double d = exact.toDouble();
    // The shortest text of the double reads back as the number only when no digit was lost.
    if (Decimal::fromDouble(d) != exact)
        return Error{"the number " + exact.toString() + " has more digits than " +
                     std::string(where) + " holds"};
    return d;
}

std::optional<double> spreadsheetSerial(const Value& v) {
    // Serial 1 is 1900-01-01 and serial 60 the 1900-02-29 the spreadsheets count although it
    // never was; from 1900-03-01 on a serial is the days since 1899-12-30 (1970-01-01 is 25569).
    // The last day they hold is 9999-12-31.
    auto dateSerial = [](Date d) -> std::optional<double> {
        static const Date first = *Date::fromYmd(1900, 1, 1);
        static const Date leapDay = *Date::fromYmd(1900, 3, 1);
        static const Date last = *Date::fromYmd(9999, 12, 31);
        if (d < first || d > last) return std::nullopt;
        return d.days + 25569.0 - (d < leapDay ? 1 : 0);
    };
    switch (v.type()) {
        case ValueType::Date:
            return dateSerial(v.asDate());
        case ValueType::DateTime: {
            const std::optional<double> day = dateSerial(v.asDateTime().date);
            if (!day) return std::nullopt;
            return *day + static_cast<double>(v.asDateTime().time.micros) / 86400e6;
        }
        case ValueType::Time:
            return static_cast<double>(v.asTime().micros) / 86400e6;
        default:
            return std::nullopt;
    }
}

// --- tab-separated text and CSV
// ---------------------------------------------------------------------

namespace {

// A field quoted as spreadsheet programs read it when it holds the separator, a quote or a
// line end.
void appendField(std::string& line, const std::string& text, char separator) {
    const bool quote =
        text.find_first_of(std::string{separator, '"', '\r', '\n'}) != std::string::npos;
    if (!quote) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

}  // namespace

Status writeDelimited(ExportSource& source, AtomicFile& file, const SaveAsOptions& options,
                      char separator) {
    CodePageEncoder encoder(options.codePage);
    const auto& columns = source.columns();
    std::string line;
    std::string bytes;
    auto emit = [&]() -> Status {
        line += "\r\n";
        bytes.clear();
        if (Status s = encoder.append(bytes, line); !s) return s;
        file.write(bytes);
        line.clear();
        return Status::success();
    };
    if (options.headings) {
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c) line += separator;
            appendField(line, sheetSafeText(Value(columns[c].name)), separator);
        }
        if (Status s = emit(); !s) return s;
    }
    for (long r = 1; r <= source.rows(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c) line += separator;
            appendField(line, sheetSafeText(source.value(r, c)), separator);
        }
        if (Status s = emit(); !s)
            return Error{"row " + std::to_string(r) + ": " + s.error().message};
        if (!source.progress(r)) return cancelledError();
    }
    return Status::success();
}

// --- HTML
// ---------------------------------------------------------------------------------------------

namespace {

std::string htmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "<br>";
                break;
            case '\r':
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

Status writeHtml(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    CodePageEncoder encoder(options.codePage);
    std::string html;
    html +=
        "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=" +
        asciiLower(options.codePage) +
        "\">\r\n<title></title>\r\n</head>\r\n<body>\r\n"
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">\r\n";
    const auto& columns = source.columns();
    if (options.headings) {
        html += "<tr>";
        for (const ExportColumn& c : columns)
            html += "<th>" + htmlEscape(sheetSafeText(Value(c.name))) + "</th>";
        html += "</tr>\r\n";
    }
    std::string bytes;
    auto flush = [&]() -> Status {
        bytes.clear();
        if (Status s = encoder.append(bytes, html); !s) return s;
        file.write(bytes);
        html.clear();
        return Status::success();
    };
    for (long r = 1; r <= source.rows(); ++r) {
        html += "<tr>";
        for (size_t c = 0; c < columns.size(); ++c) {
            const Value v = source.value(r, c);
            html += isNumeric(v.type()) ? "<td align=\"right\">" : "<td>";
            html += htmlEscape(sheetSafeText(v)) + "</td>";
        }
        html += "</tr>\r\n";
        if (Status s = flush(); !s)
            return Error{"row " + std::to_string(r) + ": " + s.error().message};
        if (!source.progress(r)) return cancelledError();
    }
    html += "</table>\r\n</body>\r\n</html>\r\n";
    return flush();
}

// --- DIF
// ------------------------------------------------------------------------------------------------

namespace {

// A string value: between quotes, as it is (readers take the text up to the line's last
// quote).
std::string difString(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

Status writeDif(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    CodePageEncoder encoder(options.codePage);
    const auto& columns = source.columns();
    const long rows = source.rows() + (options.headings ? 1 : 0);
    std::string text = "TABLE\r\n0,1\r\n\"\"\r\nVECTORS\r\n0," + std::to_string(columns.size()) +
                       "\r\n\"\"\r\nTUPLES\r\n0," + std::to_string(rows) +
                       "\r\n\"\"\r\nDATA\r\n0,0\r\n\"\"\r\n";
    std::string bytes;
    auto flush = [&]() -> Status {
        bytes.clear();
        if (Status s = encoder.append(bytes, text); !s) return s;
        file.write(bytes);
        text.clear();
        return Status::success();
    };
    auto cell = [&](const Value& v) {
        if (isNumeric(v.type())) {
            text += "0," + v.toText() + "\r\nV\r\n";
        } else if (v.isNull()) {
            text += "1,0\r\n\"\"\r\n";
        } else {
            std::string s = sheetSafeText(v);
            for (char& c : s)
                if (c == '\r' || c == '\n') c = ' ';
            text += "1,0\r\n" + difString(s) + "\r\n";
        }
    };
    if (options.headings) {
        text += "-1,0\r\nBOT\r\n";
        for (const ExportColumn& c : columns) cell(Value(c.name));
    }
    for (long r = 1; r <= source.rows(); ++r) {
        text += "-1,0\r\nBOT\r\n";
        for (size_t c = 0; c < columns.size(); ++c) cell(source.value(r, c));
        if (Status s = flush(); !s)
            return Error{"row " + std::to_string(r) + ": " + s.error().message};
        if (!source.progress(r)) return cancelledError();
    }
    text += "-1,0\r\nEOD\r\n";
    return flush();
}

// --- SYLK
// ------------------------------------------------------------------------------------------------

Status writeSylk(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    CodePageEncoder encoder(options.codePage);
    const auto& columns = source.columns();
    std::string text = "ID;PWXL;N;E\r\n";
    std::string bytes;
    auto flush = [&]() -> Status {
        bytes.clear();
        if (Status s = encoder.append(bytes, text); !s) return s;
        file.write(bytes);
        text.clear();
        return Status::success();
    };
    auto cell = [&](long y, size_t x, const Value& v) -> Status {
        if (v.isNull()) return Status::success();
        text += "C;Y" + std::to_string(y) + ";X" + std::to_string(x + 1) + ";K";
        if (isNumeric(v.type())) {
            text += v.toText();
        } else {
            // Semicolons are doubled; line ends cannot stand in a record. Readers take ESC for
            // the start of a character sequence of their own, so it has no way into the file.
            text += '"';
            for (char c : exportText(v)) {
                if (c == ';')
                    text += ";;";
                else if (c == '\r' || c == '\n')
                    text += ' ';
                else if (c == '\x1B')
                    return Error{"the character ESC (U+001B) cannot be written in a SYLK file"};
                else
                    text += c;
            }
            text += '"';
        }
        text += "\r\n";
        return Status::success();
    };
    long y = 1;
    if (options.headings) {
        for (size_t c = 0; c < columns.size(); ++c)
            if (Status s = cell(y, c, Value(columns[c].name)); !s) return s;
        ++y;
    }
    for (long r = 1; r <= source.rows(); ++r, ++y) {
        for (size_t c = 0; c < columns.size(); ++c)
            if (Status s = cell(y, c, source.value(r, c)); !s)
                return Error{"row " + std::to_string(r) + ", column " + columns[c].name + ": " +
                             s.error().message};
        if (Status s = flush(); !s)
            return Error{"row " + std::to_string(r) + ": " + s.error().message};
        if (!source.progress(r)) return cancelledError();
    }
    text += "E\r\n";
    return flush();
}

Status writeCells(ExportSource& source, const SaveAsOptions& options, const CellWriter& cell) {
    const std::vector<ExportColumn>& columns = source.columns();
    uint16_t row = 0;
    if (options.headings) {
        for (size_t c = 0; c < columns.size(); ++c)
            if (Status s = cell(row, static_cast<uint16_t>(c), Value(columns[c].name)); !s)
                return s;
        ++row;
    }
    for (long r = 1; r <= source.rows(); ++r, ++row) {
        for (size_t c = 0; c < columns.size(); ++c)
            if (Status s = cell(row, static_cast<uint16_t>(c), source.value(r, c)); !s)
                return Error{"row " + std::to_string(r) + ", column " + columns[c].name + ": " +
                             s.error().message};
        if (!source.progress(r)) return cancelledError();
    }
    return Status::success();
}

// --- the entry point
// --------------------------------------------------------------------------------------

Status saveReportAs(DataStore& report, const std::string& path, SaveAsType type,
                    const SaveAsOptions& options) {
    if (!report.isCreated()) return Error{"the report has no definition"};
    AtomicFile file;
    if (Status s = file.open(path); !s) return s;
    ExportSource source(report, options);
    Status written;
    switch (type) {
        case SaveAsType::Text:
            written = writeDelimited(source, file, options, '\t');
            break;
        case SaveAsType::CSV:
            written = writeDelimited(source, file, options, ',');
            break;
        case SaveAsType::HTMLTable:
            written = writeHtml(source, file, options);
            break;
        case SaveAsType::DIF:
            written = writeDif(source, file, options);
            break;
        case SaveAsType::SYLK:
            written = writeSylk(source, file, options);
            break;
        case SaveAsType::WKS:
            written = writeLotus(source, file, options, false);
            break;
        case SaveAsType::WK1:
            written = writeLotus(source, file, options, true);
            break;
        case SaveAsType::dBASE3:
            written = writeDbase(source, file, options);
            break;
        case SaveAsType::Excel8:
            written = writeExcel8(source, file, options);
            break;
        case SaveAsType::XLSX:
            written = writeXlsx(source, file, options);
            break;
        case SaveAsType::PSReport:
            written = writeReportFile(report, file, options);
            break;
        case SaveAsType::WMF:
            written = writeMetafile(report, file, options);
            break;
    }
    if (!written) return written;
    return file.commit();
}

}  // namespace print::saveas
