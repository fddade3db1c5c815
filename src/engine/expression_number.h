// Exact arithmetic for expressions, kept inside the range where Decimal stays exact.
//
// Results at or beyond 10^kMaxMagnitude are refused instead of computed, so a runaway
// expression (10 ^ 99, a text like "1e400") gives an error rather than a meaningless number.
#pragma once

#include <optional>
#include <string_view>

#include "common/decimal.h"

namespace print::engine {

constexpr int kMaxMagnitude = 34;

// Digits before the point: 3 for 123.4, 0 for 0.5, -1 for 0.05; very negative for zero.
int decimalMagnitude(const Decimal& d);
bool inRange(const Decimal& d);

// Reads "12", "-3.50", ".5", "1.2e3" with blanks around; nullopt when the text is not a number
// or the number is out of range.
std::optional<Decimal> parseNumberText(std::string_view text);

// nullopt when the result would be out of range or undefined (division by zero is reported
// separately by the caller, which gives null for it).
std::optional<Decimal> checkedAdd(const Decimal& a, const Decimal& b);
std::optional<Decimal> checkedSub(const Decimal& a, const Decimal& b);
std::optional<Decimal> checkedMul(const Decimal& a, const Decimal& b);
std::optional<Decimal> checkedDiv(const Decimal& a, const Decimal& b);  // b must not be zero
std::optional<Decimal> checkedPow(const Decimal& base, const Decimal& exponent);

}  // namespace print::engine
