// Exact decimal numbers, as money needs: 0.1 + 0.2 is 0.3 and Round(2.345, 2) is 2.35.
//
// A value is mantissa / 10^scale with a 128-bit mantissa and a scale of 0 to kMaxScale digits
// after the point. Every result is normalised (no trailing zeros after the point), so equal
// numbers have equal fields. Results that would need more digits than the scale allows are
// rounded half away from zero; a result beyond the mantissa's range falls back to the nearest
// value through double precision instead of wrapping.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace print {

class Decimal {
public:
    static constexpr int kMaxScale = 18;

    Decimal() = default;
    Decimal(int64_t v) : m_mantissa(v) {}  // NOLINT: integers convert naturally

    // Parses "12", "-3.50", "+.5", "1.2e3", "1E-2" with optional blanks around; nullopt when the
    // text is not a number or a number beyond the range: too large for the mantissa, or so near
    // zero that it would read as 0 (1e-300). Digits beyond kMaxScale places are rounded.
    static std::optional<Decimal> parse(std::string_view text);
    static Decimal fromDouble(double v);
    static Decimal fromParts(__int128 mantissa, int scale);

    double toDouble() const;
    int64_t toInt64() const;  // truncated toward zero, saturated at the int64 range
    // Shortest exact decimal text: "12.3", "-0.05", "100". Never an exponent.
    std::string toString() const;
    // Rounded half away from zero to `places` digits after the point, zeros kept: "2.30".
    std::string toFixed(int places) const;

    Decimal round(int places) const;     // half away from zero; places may be negative
    Decimal truncate(int places) const;  // toward zero
    Decimal abs() const { return m_mantissa < 0 ? -*this : *this; }
    int sign() const { return m_mantissa < 0 ? -1 : (m_mantissa > 0 ? 1 : 0); }
    bool isZero() const { return m_mantissa == 0; }
    bool isInteger() const { return m_scale == 0; }

    __int128 mantissa() const { return m_mantissa; }
    int scale() const { return m_scale; }

    Decimal operator-() const { return fromParts(-m_mantissa, m_scale); }
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);
    // nullopt on division by zero.
    static std::optional<Decimal> divide(const Decimal& a, const Decimal& b);
    // Integer remainder with the sign of the dividend; nullopt on division by zero.
    static std::optional<Decimal> mod(const Decimal& a, const Decimal& b);

    friend bool operator==(const Decimal& a, const Decimal& b) {
        return a.m_mantissa == b.m_mantissa && a.m_scale == b.m_scale;
    }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    __int128 m_mantissa = 0;
    int m_scale = 0;
};

}  // namespace print
