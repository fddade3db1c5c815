// Typed values of report columns, expressions and database rows.
//
// A report column holds one of the types below; an expression can produce any of them plus a
// boolean (kept as a Long 1/0 plus the Bool kind so comparisons read naturally). Numbers are
// exact decimals (`Decimal`); `Long` covers the platform's long, ulong and integer types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "common/datetime.h"
#include "common/decimal.h"

namespace print {

enum class ValueType { Null, String, Number, Long, Date, DateTime, Time, Bool };

struct Null {
    friend bool operator==(Null, Null) { return true; }
};

class Value {
public:
    Value() = default;
    Value(Null) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(std::string_view s) : m_v(std::string(s)) {}
    Value(Decimal d) : m_v(d) {}
    Value(int64_t v) : m_v(v) {}
    Value(int v) : m_v(static_cast<int64_t>(v)) {}
    Value(Date d) : m_v(d) {}
    Value(DateTime d) : m_v(d) {}
    Value(Time t) : m_v(t) {}
    Value(bool b) : m_v(b) {}

    ValueType type() const { return static_cast<ValueType>(m_v.index()); }
    bool isNull() const { return m_v.index() == 0; }
    bool isString() const { return type() == ValueType::String; }
    bool isNumeric() const {
        auto t = type();
        return t == ValueType::Number || t == ValueType::Long || t == ValueType::Bool;
    }

    const std::string& asString() const { return std::get<std::string>(m_v); }
    const Decimal& asDecimal() const { return std::get<Decimal>(m_v); }
    int64_t asLong() const { return std::get<int64_t>(m_v); }
    Date asDate() const { return std::get<Date>(m_v); }
    DateTime asDateTime() const { return std::get<DateTime>(m_v); }
    Time asTime() const { return std::get<Time>(m_v); }
    bool asBool() const { return std::get<bool>(m_v); }

    // Number, Long and Bool as a Decimal; a numeric string is parsed; nullopt otherwise.
    std::optional<Decimal> toDecimal() const;
    // The plain text of the value: numbers in shortest exact form, dates YYYY-MM-DD, times
    // HH:MM:SS, date-times "YYYY-MM-DD HH:MM:SS", booleans "true"/"false", null as "".
    std::string toText() const;

    friend bool operator==(const Value& a, const Value& b) { return a.m_v == b.m_v; }

private:
    std::variant<Null, std::string, Decimal, int64_t, Date, DateTime, Time, bool> m_v;
};

// Reads `text` as a value of `type` (numbers as decimal text, dates YYYY-MM-DD, ...); nullopt
// when the text does not fit the type. An empty text is not null: callers decide that.
std::optional<Value> parseValue(std::string_view text, ValueType type);

// Compares two non-null values of comparable kinds (numbers with numbers, strings with strings,
// dates with dates and date-times); nullopt when they cannot be compared.
std::optional<int> compareValues(const Value& a, const Value& b);

}  // namespace print
