#include "common/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace print {
namespace {

using i128 = __int128;

constexpr int kMaxPow = 38;

const i128* pow10Table() {
    static i128 table[kMaxPow + 1] = {};
    static bool ready = false;
    if (!ready) {
        table[0] = 1;
        for (int i = 1; i <= kMaxPow; ++i) table[i] = table[i - 1] * 10;
        ready = true;
    }
    return table;
}

i128 pow10(int n) { return pow10Table()[n]; }

// Divides by 10^n rounding half away from zero.
i128 divRound(i128 v, int n) {
    if (n <= 0) return v;
    if (n > kMaxPow) return 0;
    i128 p = pow10(n);
    i128 q = v / p;
    i128 r = v % p;
    if (r < 0) r = -r;
    if (r * 2 >= p) q += (v < 0 ? -1 : 1);
    return q;
}

bool mulOverflow(i128 a, i128 b, i128* out) { return __builtin_mul_overflow(a, b, out); }

// Brings both operands to the same scale; false when that would overflow.
bool align(const Decimal& a, const Decimal& b, i128* ma, i128* mb, int* scale) {
    int s = std::max(a.scale(), b.scale());
    *scale = s;
    if (mulOverflow(a.mantissa(), pow10(s - a.scale()), ma)) return false;
    if (mulOverflow(b.mantissa(), pow10(s - b.scale()), mb)) return false;
    return true;
}

std::string i128ToString(i128 v) {
    if (v == 0) return "0";
    bool neg = v < 0;
    unsigned __int128 u = neg ? -static_cast<unsigned __int128>(v) : v;
    char buf[48];
    int pos = 48;
    while (u > 0) {
        buf[--pos] = static_cast<char>('0' + static_cast<int>(u % 10));
        u /= 10;
    }
    if (neg) buf[--pos] = '-';
    return std::string(buf + pos, buf + 48);
}

}  // namespace

namespace {

constexpr i128 kMaxMantissa = (static_cast<i128>(1) << 126);

Decimal saturated(bool negative) {
    return Decimal::fromParts(negative ? -kMaxMantissa : kMaxMantissa, 0);
}

// Brings the scale into 0..kMaxScale; false when the value is beyond the mantissa's range.
bool normalise(i128& mantissa, int& scale) {
    while (scale > Decimal::kMaxScale) {
        int drop = std::min(scale - Decimal::kMaxScale, kMaxPow);
        mantissa = divRound(mantissa, drop);
        scale -= drop;
    }
    while (scale < 0) {
        i128 m;
        if (mulOverflow(mantissa, 10, &m) || m > kMaxMantissa || m < -kMaxMantissa) return false;
        mantissa = m;
        ++scale;
    }
    while (scale > 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        --scale;
    }
    return true;
}

}  // namespace

Decimal Decimal::fromParts(i128 mantissa, int scale) {
    // Values beyond the range saturate at its ends rather than wrap: no business amount comes
    // near, and a wrapped sign would be a silently wrong result.
    if (mantissa > kMaxMantissa) mantissa = kMaxMantissa;
    if (mantissa < -kMaxMantissa) mantissa = -kMaxMantissa;
    bool negative = mantissa < 0;
    if (!normalise(mantissa, scale)) {
        mantissa = negative ? -kMaxMantissa : kMaxMantissa;
        scale = 0;
    }
    Decimal d;
    d.m_mantissa = mantissa;
    d.m_scale = mantissa == 0 ? 0 : scale;
    return d;
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    size_t i = 0;
    size_t n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    if (i == n) return std::nullopt;
    bool neg = false;
    if (text[i] == '+' || text[i] == '-') {
        neg = text[i] == '-';
        ++i;
    }
    i128 m = 0;
    int scale = 0;
    int digits = 0;
    int dropped = 0;  // integer digits beyond the mantissa's reach
    bool seenPoint = false;
    for (; i < n; ++i) {
        char c = text[i];
        if (c == '.') {
            if (seenPoint) return std::nullopt;
            seenPoint = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        ++digits;
        if (m > pow10(36)) {  // keep 36 significant digits; the rest only count their place
            if (!seenPoint) ++dropped;
            continue;
        }
        m = m * 10 + (c - '0');
        if (seenPoint) ++scale;
    }
    if (digits == 0) return std::nullopt;
    int exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            eneg = text[i] == '-';
            ++i;
        }
        if (i == n) return std::nullopt;
        for (; i < n; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            exponent = exponent * 10 + (text[i] - '0');
            if (exponent > 400) return std::nullopt;
        }
        if (eneg) exponent = -exponent;
    }
    if (i != n) return std::nullopt;
    if (neg) m = -m;
    const bool nonZero = m != 0;
    int finalScale = scale - exponent - dropped;
    if (!normalise(m, finalScale)) return std::nullopt;  // beyond the range of exact numbers
    if (nonZero && m == 0) return std::nullopt;          // nearer to zero than the scale reaches
    return fromParts(m, finalScale);
}

Decimal Decimal::fromDouble(double v) {
    if (!std::isfinite(v)) return Decimal();
    if (std::fabs(v) >= 1e37) return saturated(v < 0);
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    auto parsed = parse(std::string_view(buf, res.ptr - buf));
    return parsed ? *parsed : Decimal();
}

double Decimal::toDouble() const {
    if (m_scale == 0) return static_cast<double>(m_mantissa);
    std::string s = toString();
    return std::strtod(s.c_str(), nullptr);
}

int64_t Decimal::toInt64() const {
    i128 v = m_mantissa / pow10(m_scale);
    if (v > INT64_MAX) return INT64_MAX;
    if (v < INT64_MIN) return INT64_MIN;
    return static_cast<int64_t>(v);
}

std::string Decimal::toString() const {
    std::string digits = i128ToString(m_mantissa < 0 ? -m_mantissa : m_mantissa);
    if (m_scale > 0) {
        if (static_cast<int>(digits.size()) <= m_scale)
            digits.insert(0, m_scale - digits.size() + 1, '0');
        digits.insert(digits.size() - m_scale, ".");
    }
    if (m_mantissa < 0) digits.insert(0, "-");
    return digits;
}

std::string Decimal::toFixed(int places) const {
    if (places < 0) places = 0;
    Decimal r = round(places);
    std::string digits = i128ToString(r.m_mantissa < 0 ? -r.m_mantissa : r.m_mantissa);
    digits.append(places - r.m_scale, '0');
    if (places > 0) {
        if (static_cast<int>(digits.size()) <= places) digits.insert(0, places - digits.size() + 1, '0');
        digits.insert(digits.size() - places, ".");
    }
    if (r.m_mantissa < 0) digits.insert(0, "-");
    return digits;
}

Decimal Decimal::round(int places) const {
    if (places >= m_scale) return *this;
    int drop = m_scale - places;
    if (drop > kMaxPow) return Decimal();
    return fromParts(divRound(m_mantissa, drop), m_scale - drop);
}

Decimal Decimal::truncate(int places) const {
    if (places >= m_scale) return *this;
    int drop = m_scale - places;
    if (drop > kMaxPow) return Decimal();
    return fromParts(m_mantissa / pow10(drop), m_scale - drop);
}

Decimal operator+(const Decimal& a, const Decimal& b) {
    i128 ma, mb, sum;
    int s;
    if (!align(a, b, &ma, &mb, &s) || __builtin_add_overflow(ma, mb, &sum))
        return Decimal::fromDouble(a.toDouble() + b.toDouble());
    return Decimal::fromParts(sum, s);
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

Decimal operator*(const Decimal& a, const Decimal& b) {
    i128 p;
    if (mulOverflow(a.m_mantissa, b.m_mantissa, &p))
        return Decimal::fromDouble(a.toDouble() * b.toDouble());
    return Decimal::fromParts(p, a.m_scale + b.m_scale);
}

std::optional<Decimal> Decimal::divide(const Decimal& a, const Decimal& b) {
    if (b.isZero()) return std::nullopt;
    // a/b = (ma / mb) * 10^(sb - sa); compute the quotient with kMaxScale + 1 extra digits, then
    // round once.
    int extra = kMaxScale + 1;
    int shift = extra + b.m_scale - a.m_scale;
    i128 num = a.m_mantissa;
    if (shift > kMaxPow || (shift > 0 && mulOverflow(num, pow10(shift), &num)))
        return fromDouble(a.toDouble() / b.toDouble());
    if (shift < 0) {
        num = divRound(num, -shift);
        shift = 0;
    }
    i128 q = num / b.m_mantissa;
    i128 r = num % b.m_mantissa;
    if (r != 0) {
        i128 twice;
        if (!mulOverflow(r < 0 ? -r : r, 2, &twice)) {
            i128 den = b.m_mantissa < 0 ? -b.m_mantissa : b.m_mantissa;
            if (twice >= den) q += ((num < 0) != (b.m_mantissa < 0)) ? -1 : 1;
        }
    }
    return fromParts(q, extra);
}

std::optional<Decimal> Decimal::mod(const Decimal& a, const Decimal& b) {
    if (b.isZero()) return std::nullopt;
    i128 ma, mb;
    int s;
    if (!align(a, b, &ma, &mb, &s)) return fromDouble(std::fmod(a.toDouble(), b.toDouble()));
    return fromParts(ma % mb, s);
}

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    i128 ma, mb;
    int s;
    if (!align(a, b, &ma, &mb, &s)) {
        double da = a.toDouble(), db = b.toDouble();
        if (da < db) return std::strong_ordering::less;
        if (da > db) return std::strong_ordering::greater;
        return std::strong_ordering::equal;
    }
    if (ma < mb) return std::strong_ordering::less;
    if (ma > mb) return std::strong_ordering::greater;
    return std::strong_ordering::equal;
}

}  // namespace print
