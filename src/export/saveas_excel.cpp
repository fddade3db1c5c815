// Excel 97-2003 workbooks: one worksheet in BIFF8 records, inside a compound file; texts as
// Unicode in the shared string table, numbers as numbers, dates as date serials with a date
// format. No maintained library writes this format, so it is ours; Excel workbooks (xlsx) go
// through libxlsxwriter.
#include <xlsxwriter.h>

#include <cctype>
#include <cstring>
#include <unordered_map>

#include "common/text.h"
#include "export/saveas_internal.h"

namespace print::saveas {

namespace {

// --- little-endian bytes -----------------------------------------------------------------------

void put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xff);
    s += static_cast<char>(v >> 8);
}

void put32(std::string& s, uint32_t v) {
    put16(s, static_cast<uint16_t>(v & 0xffff));
    put16(s, static_cast<uint16_t>(v >> 16));
}

void putDouble(std::string& s, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    put32(s, static_cast<uint32_t>(bits));
    put32(s, static_cast<uint32_t>(bits >> 32));
}

std::u16string utf16(std::string_view utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80)
            cp = c, len = 1;
        else if (c < 0xE0)
            cp = c & 0x1F, len = 2;
        else if (c < 0xF0)
            cp = c & 0x0F, len = 3;
        else
            cp = c & 0x07, len = 4;
        for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

void putChars(std::string& s, const std::u16string& text) {
    for (char16_t c : text) put16(s, static_cast<uint16_t>(c));
}

// A text as an xlsx cell holds it: readers take "_xHHHH_" for the character HHHH, so an
// underscore that begins such a form in the text itself is written as "_x005F_".
std::string xlsxEscape(std::string_view text) {
    auto escapeForm = [&](size_t i) {
        if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_')
            return false;
        for (size_t k = i + 2; k < i + 6; ++k)
            if (!std::isxdigit(static_cast<unsigned char>(text[k]))) return false;
        return true;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (escapeForm(i))
            out += "_x005F_";
        else
            out += text[i];
    }
    return out;
}

// --- BIFF8 records -----------------------------------------------------------------------------

constexpr size_t kMaxRecord = 8224;

void record(std::string& out, uint16_t id, const std::string& data) {
    put16(out, id);
    put16(out, static_cast<uint16_t>(data.size()));
    out += data;
}

std::string bof(uint16_t type) {
    std::string d;
    put16(d, 0x0600);
    put16(d, type);
    put16(d, 0x0DBB);
    put16(d, 0x07CC);
    put32(d, 0x00000041);
    put32(d, 0x00000006);
    return d;
}

// A font named `face`, 10 points.
std::string font(const std::u16string& face, uint8_t charset) {
    std::string d;
    put16(d, 200);
    put16(d, 0);
    put16(d, 0x7FFF);
    put16(d, 400);
    put16(d, 0);
    d += '\0';  // underline
    d += '\0';  // family
    d += static_cast<char>(charset);
    d += '\0';
    d += static_cast<char>(face.size());
    d += '\x01';
    putChars(d, face);
    return d;
}

std::string format(uint16_t index, std::string_view text) {
    std::string d;
    put16(d, index);
    const std::u16string t = utf16(text);
    put16(d, static_cast<uint16_t>(t.size()));
    d += '\x01';
    putChars(d, t);
    return d;
}

// A cell format (style = false) or a style (true) with number format `numberFormat`.
std::string xf(uint16_t numberFormat, bool style) {
    std::string d;
    put16(d, 0);                                  // font
    put16(d, numberFormat);                       // number format
    put16(d, style ? 0xFFF5 : 0x0001);            // locked; a style has no parent
    d += '\x20';                                  // bottom aligned
    d += '\0';                                    // rotation
    d += '\0';                                    // indent
    d += static_cast<char>(style ? 0x00 : 0xF8);  // attributes of its own
    put32(d, 0);                                  // borders
    put32(d, 0);
    put16(d, 0x20C0);  // automatic pattern colours
    return d;
}

// The shared string table, cut into CONTINUE records where a record fills up; a string whose
// characters run over starts its continuation with a flags byte.
void sharedStrings(std::string& out, const std::vector<std::u16string>& strings, uint32_t total) {
    std::string current;
    put32(current, total);
    put32(current, static_cast<uint32_t>(strings.size()));
    uint16_t id = 0x00FC;
    auto flush = [&] {
        record(out, id, current);
        current.clear();
        id = 0x003C;
    };
    for (const std::u16string& s : strings) {
        if (current.size() + 3 + 2 > kMaxRecord) flush();
        put16(current, static_cast<uint16_t>(s.size()));
        current += '\x01';
        size_t i = 0;
        while (i < s.size()) {
            const size_t room = (kMaxRecord - current.size()) / 2;
            if (room == 0) {
                flush();
                current += '\x01';
                continue;
            }
            const size_t n = std::min(room, s.size() - i);
            putChars(current, s.substr(i, n));
            i += n;
        }
    }
    flush();
}

// --- the compound file --------------------------------------------------------------------------

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

std::string directoryEntry(const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                           uint32_t size) {
    std::string e;
    std::u16string n = name;
    if (!n.empty()) n += u'\0';
    putChars(e, n);
    e.resize(64, '\0');
    put16(e, static_cast<uint16_t>(n.size() * 2));
    e += static_cast<char>(type);
    e += static_cast<char>(type == 0 ? 0 : 1);  // black
    put32(e, kNoStream);
    put32(e, kNoStream);
    put32(e, child);
    e.resize(e.size() + 16 + 4 + 16, '\0');  // class id, state bits, times
    put32(e, start);
    put32(e, size);
    put32(e, 0);
    return e;
}

// Writes `stream` as the one stream "Workbook" of a compound file.
void compoundFile(AtomicFile& file, std::string stream) {
    // Streams below 4096 bytes would live in the mini stream; padding keeps them in sectors.
    if (stream.size() < 4096) stream.resize(4096, '\0');
    const uint32_t streamSectors = static_cast<uint32_t>((stream.size() + 511) / 512);
    const uint32_t dirSectors = 1;
    uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        difatSectors = fatSectors > 109 ? (fatSectors - 109 + 126) / 127 : 0;
        const uint32_t total = streamSectors + dirSectors + fatSectors + difatSectors;
        const uint32_t needed = (total + 127) / 128;
        if (needed <= fatSectors) break;
        fatSectors = needed;
    }
    const uint32_t dirStart = streamSectors;
    const uint32_t fatStart = dirStart + dirSectors;
    const uint32_t difatStart = fatStart + fatSectors;

    std::string header;
    header += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header.resize(24, '\0');
    put16(header, 0x003E);
    put16(header, 0x0003);
    put16(header, 0xFFFE);
    put16(header, 9);
    put16(header, 6);
    header.resize(header.size() + 6, '\0');
    put32(header, 0);
    put32(header, fatSectors);
    put32(header, dirStart);
    put32(header, 0);
    put32(header, 4096);
    put32(header, kEndOfChain);
    put32(header, 0);
    put32(header, difatSectors ? difatStart : kEndOfChain);
    put32(header, difatSectors);
    for (uint32_t i = 0; i < 109; ++i) put32(header, i < fatSectors ? fatStart + i : kFreeSector);

    std::string directory;
    directory += directoryEntry(u"Root Entry", 5, 1, kEndOfChain, 0);
    directory += directoryEntry(u"Workbook", 2, kNoStream, 0, static_cast<uint32_t>(stream.size()));
    directory += directoryEntry(u"", 0, kNoStream, 0, 0);
    directory += directoryEntry(u"", 0, kNoStream, 0, 0);

    std::string fat;
    for (uint32_t i = 0; i < streamSectors; ++i)
        put32(fat, i + 1 < streamSectors ? i + 1 : kEndOfChain);
    put32(fat, kEndOfChain);  // the directory
    for (uint32_t i = 0; i < fatSectors; ++i) put32(fat, kFatSector);
    for (uint32_t i = 0; i < difatSectors; ++i) put32(fat, kDifatSector);
    fat.resize(static_cast<size_t>(fatSectors) * 512, '\xFF');

    std::string difat;
    for (uint32_t d = 0; d < difatSectors; ++d) {
        for (uint32_t k = 0; k < 127; ++k) {
            const uint32_t index = 109 + d * 127 + k;
            put32(difat, index < fatSectors ? fatStart + index : kFreeSector);
        }
        put32(difat, d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
    }

    file.write(header);
    stream.resize(static_cast<size_t>(streamSectors) * 512, '\0');
    file.write(stream);
    file.write(directory);
    file.write(fat);
    file.write(difat);
}

}  // namespace

Status writeExcel8(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    const auto& columns = source.columns();
    const long rows = source.rows() + (options.headings ? 1 : 0);
    if (rows > 65536)
        return Error{"an Excel 97-2003 worksheet holds at most 65536 rows; the report has " +
                     std::to_string(rows)};
    if (columns.size() > 256)
        return Error{"an Excel 97-2003 worksheet holds at most 256 columns; the report has " +
                     std::to_string(columns.size())};

    // Cells first: they decide the shared strings.
    std::vector<std::u16string> strings;
    std::unordered_map<std::u16string, uint32_t> stringIndex;
    uint32_t stringUses = 0;
    std::string cells;
    constexpr uint16_t kGeneralXf = 15, kDateXf = 16, kDateTimeXf = 17, kTimeXf = 18;
    auto cell = [&](uint16_t row, uint16_t col, const Value& v) -> Status {
        if (v.isNull()) return Status::success();
        std::string d;
        put16(d, row);
        put16(d, col);
        const ValueType t = v.type();
        // A date the sheet cannot hold goes in as its text.
        const std::optional<double> serial = spreadsheetSerial(v);
        if (isNumeric(t) || serial) {
            put16(d, t == ValueType::Date       ? kDateXf
                     : t == ValueType::DateTime ? kDateTimeXf
                     : t == ValueType::Time     ? kTimeXf
                                                : kGeneralXf);
            double number = 0;
            if (serial) {
                number = *serial;
            } else {
                Result<double> exact = exactDouble(v, "an Excel cell");
                if (!exact.ok()) return exact.error();
                number = exact.value();
            }
            putDouble(d, number);
            record(cells, 0x0203, d);
            return Status::success();
        }
        std::u16string text = utf16(exportText(v));
        if (text.size() > 32767)
            return Error{"a text of " + std::to_string(text.size()) +
                         " characters does not fit an Excel cell (at most 32767)"};
        auto [it, added] = stringIndex.emplace(text, static_cast<uint32_t>(strings.size()));
        if (added) strings.push_back(std::move(text));
        ++stringUses;
        put16(d, kGeneralXf);
        put32(d, it->second);
        record(cells, 0x00FD, d);
        return Status::success();
    };
    if (Status s = writeCells(source, options, cell); !s) return s;

    std::string globals;
    record(globals, 0x0809, bof(0x0005));
    {
        std::string d;
        put16(d, 1200);  // the workbook's texts are UTF-16
        record(globals, 0x0042, d);
    }
    {
        std::string d;
        for (uint16_t v : {0, 0, 0x3A5C, 0x2328, 0x0038, 0, 0, 1, 0x0258}) put16(d, v);
        record(globals, 0x003D, d);
    }
    for (int i = 0; i < 5; ++i) record(globals, 0x0031, font(u"宋体", 134));
    record(globals, 0x041E, format(164, "yyyy-mm-dd"));
    record(globals, 0x041E, format(165, "yyyy-mm-dd hh:mm:ss"));
    record(globals, 0x041E, format(166, "hh:mm:ss"));
    for (int i = 0; i < 15; ++i) record(globals, 0x00E0, xf(0, true));
    record(globals, 0x00E0, xf(0, false));
    record(globals, 0x00E0, xf(164, false));
    record(globals, 0x00E0, xf(165, false));
    record(globals, 0x00E0, xf(166, false));
    {
        std::string d;
        put16(d, 0x8000);
        d += '\0';
        d += '\xFF';
        record(globals, 0x0293, d);
    }
    const size_t sheetOffsetAt = globals.size() + 4;
    {
        std::string d;
        put32(d, 0);  // the sheet's offset, set below
        d += '\0';
        d += '\0';
        const std::u16string name = u"Sheet1";
        d += static_cast<char>(name.size());
        d += '\x01';
        putChars(d, name);
        record(globals, 0x0085, d);
    }
    sharedStrings(globals, strings, stringUses);
    record(globals, 0x000A, "");

    const uint32_t sheetOffset = static_cast<uint32_t>(globals.size());
    for (int i = 0; i < 4; ++i)
        globals[sheetOffsetAt + i] = static_cast<char>((sheetOffset >> (8 * i)) & 0xff);

    std::string sheet;
    record(sheet, 0x0809, bof(0x0010));
    {
        std::string d;
        put32(d, 0);
        put32(d, static_cast<uint32_t>(rows));
        put16(d, 0);
        put16(d, static_cast<uint16_t>(columns.size()));
        put16(d, 0);
        record(sheet, 0x0200, d);
    }
    {
        std::string d;
        for (uint16_t v : {0x06B6, 0, 0, 64, 0, 0, 0, 0, 0}) put16(d, v);
        record(sheet, 0x023E, d);
    }
    sheet += cells;
    record(sheet, 0x000A, "");
    compoundFile(file, globals + sheet);
    return Status::success();
}

Status writeXlsx(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    const auto& columns = source.columns();
    const long rows = source.rows() + (options.headings ? 1 : 0);
    if (rows > 1048576)
        return Error{"an Excel worksheet holds at most 1048576 rows; the report has " +
                     std::to_string(rows)};
    if (columns.size() > 16384) return Error{"an Excel worksheet holds at most 16384 columns"};
    lxw_workbook_options wbOptions{};
    wbOptions.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.tempPath().c_str(), &wbOptions);
    if (!book) return Error{"cannot write the workbook " + file.tempPath()};
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    lxw_format* dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    lxw_format* time = workbook_add_format(book);
    format_set_num_format(time, "hh:mm:ss");
    Status failed = Status::success();
    auto cell = [&](lxw_row_t row, lxw_col_t col, const Value& v) -> Status {
        if (v.isNull()) return Status::success();
        lxw_error rc = LXW_NO_ERROR;
        switch (v.type()) {
            case ValueType::Number:
            case ValueType::Long: {
                Result<double> exact = exactDouble(v, "an Excel cell");
                if (!exact.ok()) return exact.error();
                rc = worksheet_write_number(sheet, row, col, exact.value(), nullptr);
                break;
            }
            case ValueType::Date:
            case ValueType::DateTime:
            case ValueType::Time:
                // A date the sheet cannot hold goes in as its text.
                if (const std::optional<double> serial = spreadsheetSerial(v)) {
                    rc = worksheet_write_number(sheet, row, col, *serial,
                                                v.type() == ValueType::Date       ? date
                                                : v.type() == ValueType::DateTime ? dateTime
                                                                                  : time);
                    break;
                }
                [[fallthrough]];
            default: {
                const std::string text = exportText(v);
                // Excel counts a character beyond the first plane as two, in xlsx as in xls.
                const size_t length = utf16(text).size();
                if (length > 32767)
                    return Error{"a text of " + std::to_string(length) +
                                 " characters does not fit an Excel cell (at most 32767)"};
                rc = worksheet_write_string(sheet, row, col, xlsxEscape(text).c_str(), nullptr);
            }
        }
        if (rc != LXW_NO_ERROR) return Error{lxw_strerror(rc)};
        return Status::success();
    };
    lxw_row_t row = 0;
    if (options.headings) {
        for (size_t c = 0; c < columns.size() && failed; ++c)
            failed = cell(row, static_cast<lxw_col_t>(c), Value(columns[c].name));
        ++row;
    }
    for (long r = 1; r <= source.rows() && failed; ++r, ++row) {
        for (size_t c = 0; c < columns.size() && failed; ++c) {
            Status s = cell(row, static_cast<lxw_col_t>(c), source.value(r, c));
            if (!s)
                failed = Error{"row " + std::to_string(r) + ", column " + columns[c].name + ": " +
                               s.error().message};
        }
        if (failed && !source.progress(r)) failed = cancelledError();
    }
    const lxw_error closed = workbook_close(book);
    if (!failed) return failed;
    if (closed != LXW_NO_ERROR)
        return Error{std::string("cannot write the workbook: ") + lxw_strerror(closed)};
    file.adopt();
    return Status::success();
}

}  // namespace print::saveas
