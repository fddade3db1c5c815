// Values to and from the text forms both databases understand.
#include <cstdint>

#include "common/text.h"
#include "db/backend.h"

namespace print::db {

std::string_view valueTypeName(ValueType type) {
    switch (type) {
        case ValueType::Null:
            return "null";
        case ValueType::String:
            return "string";
        case ValueType::Number:
            return "number";
        case ValueType::Long:
            return "long";
        case ValueType::Date:
            return "date";
        case ValueType::DateTime:
            return "datetime";
        case ValueType::Time:
            return "time";
        case ValueType::Bool:
            return "boolean";
    }
    return "value";
}

namespace detail {

std::string parameterText(const Value& v) {
    return v.toText();
}

namespace {

// Drops a time zone suffix ("+08", "-05:30", "+05:45:00", "Z") that PostgreSQL writes after a
// timestamp or time with time zone; the report keeps local date-times. The date's own hyphens
// come before the first colon, so the first sign after it opens the zone.
std::string_view withoutZone(std::string_view text) {
    if (!text.empty() && text.back() == 'Z') return text.substr(0, text.size() - 1);
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) return text;
    size_t sign = text.find_first_of("+-", colon);
    return sign == std::string_view::npos ? text : text.substr(0, sign);
}

}  // namespace

bool textToValue(std::string_view text, ValueType type, Value& out, std::string& error) {
    if (type == ValueType::String) {
        out = Value(text);
        return true;
    }
    std::string_view t = trimView(text);
    if (t.empty()) {
        out = Value();
        return true;
    }
    switch (type) {
        case ValueType::Number:
            if (auto d = Decimal::parse(t)) {
                out = Value(*d);
                return true;
            }
            break;
        case ValueType::Long:
            // toInt64 saturates; a number beyond the range must not quietly become another one.
            if (auto d = Decimal::parse(t);
                d && d->isInteger() && d->mantissa() >= INT64_MIN && d->mantissa() <= INT64_MAX) {
                out = Value(d->toInt64());
                return true;
            }
            break;
        case ValueType::Date: {
            // A date-time text gives its date, as a date column shows an Oracle DATE.
            std::string_view z = withoutZone(t);
            if (auto d = Date::parse(z.substr(0, 10));
                d && (z.size() == 10 || z[10] == ' ' || z[10] == 'T')) {
                if (z.size() == 10 || DateTime::parse(z)) {
                    out = Value(*d);
                    return true;
                }
            }
            break;
        }
        case ValueType::DateTime:
            if (auto d = DateTime::parse(withoutZone(t))) {
                out = Value(*d);
                return true;
            }
            break;
        case ValueType::Time: {
            if (auto tm = Time::parse(withoutZone(t))) {
                out = Value(*tm);
                return true;
            }
            if (auto d = DateTime::parse(withoutZone(t))) {
                out = Value(d->time);
                return true;
            }
            break;
        }
        case ValueType::Bool:
            if (t == "t" || t == "true" || t == "1" || t == "yes" || t == "Y") {
                out = Value(true);
                return true;
            }
            if (t == "f" || t == "false" || t == "0" || t == "no" || t == "N") {
                out = Value(false);
                return true;
            }
            break;
        case ValueType::Null:
            out = Value();
            return true;
        case ValueType::String:
            break;
    }
    error = "'" + std::string(text) + "' is not a " + std::string(valueTypeName(type));
    return false;
}

}  // namespace detail
}  // namespace print::db
