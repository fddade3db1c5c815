#include "engine/expression_number.h"

#include <cmath>

namespace print::engine {

int decimalMagnitude(const Decimal& d) {
    if (d.isZero()) return -1000;
    unsigned __int128 m = d.mantissa() < 0 ? -static_cast<unsigned __int128>(d.mantissa())
                                           : static_cast<unsigned __int128>(d.mantissa());
    int digits = 0;
    while (m > 0) {
        m /= 10;
        ++digits;
    }
    return digits - d.scale();
}

bool inRange(const Decimal& d) {
    return decimalMagnitude(d) <= kMaxMagnitude;
}

std::optional<Decimal> parseNumberText(std::string_view text) {
    // Decimal::parse cannot represent numbers beyond its mantissa, so the magnitude is checked
    // on the text first: significant integer digits plus the exponent.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    int integerDigits = 0;
    bool leading = true;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (leading && text[i] == '0') continue;
        leading = false;
        ++integerDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    }
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > 10000) return std::nullopt;
        }
        if (negative) exponent = -exponent;
    }
    if (integerDigits > 0 && integerDigits + exponent > kMaxMagnitude) return std::nullopt;
    if (integerDigits == 0 && exponent > kMaxMagnitude) return std::nullopt;
    auto d = Decimal::parse(text);
    if (!d || !inRange(*d)) return std::nullopt;
    return d;
}

std::optional<Decimal> checkedAdd(const Decimal& a, const Decimal& b) {
    if (!inRange(a) || !inRange(b)) return std::nullopt;
    Decimal r = a + b;
    if (!inRange(r)) return std::nullopt;
    return r;
}

std::optional<Decimal> checkedSub(const Decimal& a, const Decimal& b) {
    return checkedAdd(a, -b);
}

std::optional<Decimal> checkedMul(const Decimal& a, const Decimal& b) {
    if (a.isZero() || b.isZero()) return Decimal();
    if (decimalMagnitude(a) + decimalMagnitude(b) > kMaxMagnitude + 1) return std::nullopt;
    Decimal r = a * b;
    if (!inRange(r)) return std::nullopt;
    return r;
}

std::optional<Decimal> checkedDiv(const Decimal& a, const Decimal& b) {
    if (b.isZero()) return std::nullopt;
    if (a.isZero()) return Decimal();
    if (!inRange(a) || decimalMagnitude(a) - decimalMagnitude(b) + 1 > kMaxMagnitude + 1)
        return std::nullopt;
    auto r = Decimal::divide(a, b);
    if (!r || !inRange(*r)) return std::nullopt;
    return r;
}

std::optional<Decimal> checkedPow(const Decimal& base, const Decimal& exponent) {
    if (exponent.isZero()) return Decimal(1);
    if (base.isZero()) {
        if (exponent.sign() < 0) return std::nullopt;
        return Decimal();
    }
    if (exponent.isInteger() && exponent.abs() <= Decimal(256)) {
        // Square-and-multiply keeps integer powers exact, as money arithmetic expects.
        int64_t n = exponent.abs().toInt64();
        Decimal result(1);
        Decimal square = base;
        while (true) {
            if (n & 1) {
                auto r = checkedMul(result, square);
                if (!r) {
                    if (exponent.sign() > 0) return std::nullopt;
                    // A huge denominator: the exact result is below what a Decimal can hold.
                    return Decimal();
                }
                result = *r;
            }
            n >>= 1;
            if (n == 0) break;
            auto s = checkedMul(square, square);
            if (!s) {
                if (exponent.sign() > 0) return std::nullopt;
                return Decimal();
            }
            square = *s;
        }
        if (exponent.sign() > 0) return result;
        return checkedDiv(Decimal(1), result);
    }
    double v = std::pow(base.toDouble(), exponent.toDouble());
    if (!std::isfinite(v) || std::fabs(v) >= 1e30) return std::nullopt;
    Decimal r = Decimal::fromDouble(v);
    if (!inRange(r)) return std::nullopt;
    return r;
}

}  // namespace print::engine
