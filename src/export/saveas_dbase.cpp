// dBASE III tables: character, numeric and date fields, text in GBK with its code-page mark.
#include <algorithm>
#include <ctime>
#include <set>

#include "common/text.h"
#include "export/saveas_internal.h"

namespace print::saveas {

namespace {

constexpr size_t kMaxCharacter = 254;
constexpr size_t kMaxNumeric = 20;
// The language driver of Chinese GBK (code page 936): the text is written in GBK whatever the
// application code page, since readers decode it as the header says.
constexpr uint8_t kGbkDriver = 0x4D;
constexpr const char* kGbk = "GBK";

struct Field {
    std::string name;
    char type = 'C';
    size_t width = 1;
    int decimals = 0;
};

// Field names: upper case, letters, digits and '_', at most ten characters, unique.
std::string fieldName(const std::string& column, std::set<std::string>& taken) {
    std::string base;
    for (unsigned char c : asciiUpper(column))
        base += std::isalnum(c) || c == '_' ? static_cast<char>(c) : '_';
    if (base.empty() || !std::isalpha(static_cast<unsigned char>(base[0]))) base = "F" + base;
    base.resize(std::min<size_t>(base.size(), 10));
    std::string name = base;
    for (int n = 1; taken.count(name); ++n) {
        const std::string suffix = std::to_string(n);
        name = base.substr(0, 10 - suffix.size()) + suffix;
    }
    taken.insert(name);
    return name;
}

// iconv's GBK writes the euro sign as the single byte 0x80, an addition of Windows that GBK
// readers do not know; every other byte above 0x7F leads a character of two bytes.
bool holdsEuroByte(std::string_view gbk) {
    for (size_t i = 0; i < gbk.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(gbk[i]);
        if (b == 0x80) return true;
        if (b > 0x80) ++i;
    }
    return false;
}

int fractionDigits(const Decimal& d) {
    const std::string s = d.toString();
    const size_t point = s.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(s.size() - point - 1);
}

}  // namespace

Status writeDbase(ExportSource& source, AtomicFile& file, const SaveAsOptions& options) {
    const auto& columns = source.columns();
    if (columns.size() > 128)
        return Error{"a dBASE table holds at most 128 fields; the report has " +
                     std::to_string(columns.size())};
    CodePageEncoder encoder(kGbk);
    std::vector<Field> fields(columns.size());
    std::set<std::string> taken;
    for (size_t c = 0; c < columns.size(); ++c) {
        fields[c].name = fieldName(columns[c].name, taken);
        switch (columns[c].type) {
            case ValueType::Number:
            case ValueType::Long:
                fields[c].type = 'N';
                break;
            case ValueType::Date:
                fields[c].type = 'D';
                fields[c].width = 8;
                break;
            default:
                fields[c].type = 'C';
        }
        if (columns[c].decimals >= 0) fields[c].decimals = std::min(columns[c].decimals, 15);
    }

    // A first pass finds each field's width: the longest value, never cut.
    std::string bytes;
    for (long r = 1; r <= source.rows(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            Field& f = fields[c];
            const Value v = source.value(r, c);
            if (v.isNull()) continue;
            if (f.type == 'C') {
                bytes.clear();
                Status s = encoder.append(bytes, exportText(v));
                if (s && holdsEuroByte(bytes))
                    s = Error{
                        std::string("the character '\u20AC' cannot be written in code page ") +
                        kGbk};
                if (!s)
                    return Error{"row " + std::to_string(r) + ", column " + columns[c].name + ": " +
                                 s.error().message};
                if (bytes.size() > kMaxCharacter)
                    return Error{"row " + std::to_string(r) + ", column " + columns[c].name +
                                 ": a text of " + std::to_string(bytes.size()) +
                                 " bytes does not fit a dBASE field (at most 254)"};
                f.width = std::max(f.width, bytes.size());
            } else if (f.type == 'N') {
                const Decimal d = v.toDecimal().value_or(Decimal());
                if (columns[c].decimals < 0) f.decimals = std::max(f.decimals, fractionDigits(d));
            }
        }
    }
    for (long r = 1; r <= source.rows(); ++r) {
        for (size_t c = 0; c < columns.size(); ++c) {
            Field& f = fields[c];
            if (f.type != 'N') continue;
            const Value v = source.value(r, c);
            if (v.isNull()) continue;
            const std::string text = v.toDecimal().value_or(Decimal()).toFixed(f.decimals);
            if (text.size() > kMaxNumeric)
                return Error{"row " + std::to_string(r) + ", column " + columns[c].name +
                             ": the number " + text +
                             " does not fit a dBASE field (at most 20 "
                             "characters)"};
            f.width = std::max(f.width, text.size());
        }
    }

    size_t recordLength = 1;
    for (const Field& f : fields) recordLength += f.width;
    if (recordLength > 4000) return Error{"a dBASE record holds at most 4000 bytes"};
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    file.put8(0x03);
    file.put8(static_cast<uint8_t>(today.tm_year));
    file.put8(static_cast<uint8_t>(today.tm_mon + 1));
    file.put8(static_cast<uint8_t>(today.tm_mday));
    file.put32(static_cast<uint32_t>(source.rows()));
    file.put16(static_cast<uint16_t>(32 + 32 * fields.size() + 1));
    file.put16(static_cast<uint16_t>(recordLength));
    std::string reserved(20, '\0');
    reserved[17] = static_cast<char>(kGbkDriver);  // byte 29 of the header
    file.write(reserved);
    for (const Field& f : fields) {
        std::string descriptor(32, '\0');
        std::copy(f.name.begin(), f.name.end(), descriptor.begin());
        descriptor[11] = f.type;
        descriptor[16] = static_cast<char>(f.width);
        descriptor[17] = static_cast<char>(f.type == 'N' ? f.decimals : 0);
        file.write(descriptor);
    }
    file.put8(0x0D);

    std::string record;
    for (long r = 1; r <= source.rows(); ++r) {
        record.assign(" ");
        for (size_t c = 0; c < columns.size(); ++c) {
            const Field& f = fields[c];
            const Value v = source.value(r, c);
            std::string text;
            if (!v.isNull()) {
                if (f.type == 'N') {
                    text = v.toDecimal().value_or(Decimal()).toFixed(f.decimals);
                    text.insert(0, f.width - text.size(), ' ');
                } else if (f.type == 'D') {
                    const Date d = v.asDate();
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year(), d.month(), d.day());
                    text = buf;
                } else {
                    (void)encoder.append(text, exportText(v));
                }
            }
            text.resize(f.width, ' ');
            record += text;
        }
        file.write(record);
        if (!source.progress(r)) return cancelledError();
    }
    file.put8(0x1A);
    return Status::success();
}

}  // namespace print::saveas
