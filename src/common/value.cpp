#include "common/value.h"

namespace print {

std::optional<Decimal> Value::toDecimal() const {
    switch (type()) {
        case ValueType::Number: return asDecimal();
        case ValueType::Long: return Decimal(asLong());
        case ValueType::Bool: return Decimal(asBool() ? 1 : 0);
        case ValueType::String: return Decimal::parse(asString());
        default: return std::nullopt;
    }
}

std::string Value::toText() const {
    switch (type()) {
        case ValueType::Null: return {};
        case ValueType::String: return asString();
        case ValueType::Number: return asDecimal().toString();
        case ValueType::Long: return std::to_string(asLong());
        case ValueType::Date: return asDate().toString();
        case ValueType::DateTime: return asDateTime().toString();
        case ValueType::Time: return asTime().toString();
        case ValueType::Bool: return asBool() ? "true" : "false";
    }
    return {};
}

std::optional<Value> parseValue(std::string_view text, ValueType type) {
    switch (type) {
        case ValueType::Null: return Value();
        case ValueType::String: return Value(text);
        case ValueType::Number: {
            auto d = Decimal::parse(text);
            if (!d) return std::nullopt;
            return Value(*d);
        }
        case ValueType::Long: {
            auto d = Decimal::parse(text);
            // A whole number beyond the range is not a long; the nearest one would be another.
            if (!d || !d->isInteger() || d->mantissa() < INT64_MIN || d->mantissa() > INT64_MAX)
                return std::nullopt;
            return Value(d->toInt64());
        }
        case ValueType::Date: {
            auto d = Date::parse(text);
            if (!d) return std::nullopt;
            return Value(*d);
        }
        case ValueType::DateTime: {
            auto d = DateTime::parse(text);
            if (!d) return std::nullopt;
            return Value(*d);
        }
        case ValueType::Time: {
            auto t = Time::parse(text);
            if (!t) return std::nullopt;
            return Value(*t);
        }
        case ValueType::Bool: {
            if (text == "true" || text == "1" || text == "yes") return Value(true);
            if (text == "false" || text == "0" || text == "no") return Value(false);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

namespace {
template <class T>
int cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
}  // namespace

std::optional<int> compareValues(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return std::nullopt;
    if (a.isNumeric() && b.isNumeric()) {
        if (a.type() == ValueType::Long && b.type() == ValueType::Long)
            return cmp(a.asLong(), b.asLong());
        return cmp(*a.toDecimal(), *b.toDecimal());
    }
    auto ta = a.type(), tb = b.type();
    if (ta == ValueType::String && tb == ValueType::String) {
        int c = a.asString().compare(b.asString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ta == ValueType::Date && tb == ValueType::Date) return cmp(a.asDate(), b.asDate());
    if (ta == ValueType::Time && tb == ValueType::Time) return cmp(a.asTime(), b.asTime());
    if ((ta == ValueType::Date || ta == ValueType::DateTime) &&
        (tb == ValueType::Date || tb == ValueType::DateTime)) {
        DateTime x = ta == ValueType::Date ? DateTime{a.asDate(), {}} : a.asDateTime();
        DateTime y = tb == ValueType::Date ? DateTime{b.asDate(), {}} : b.asDateTime();
        return cmp(x, y);
    }
    return std::nullopt;
}

}  // namespace print
