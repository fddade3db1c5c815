// Display formats and edit masks: how a value is shown in a report cell and by String().
//
// A format has up to four sections split by `;` (positive; negative; zero; null for numbers,
// format; null for strings, dates and times). `[general]` (any case) shows the value plainly;
// colour prefixes (`[red]`, `[255]`) give the section's text colour. Numbers: `#` optional
// digit, `0` required digit, `,` thousands, `.` point, `%` percent, `E+00` scientific; other
// characters and `\`-escaped ones are literals (so `￥#,###,##0.00` and `赠品####` work).
// Dates and times: `yyyy yy mm mmm mmmm m dd d ddd dddd hh h mm ss ffffff am/pm`, any case, with
// literals between (`YYYY年MM月DD日`). Strings: `@` takes the next character. A format of only
// `*` characters masks any value. Formats never fail: text that does not parse as a format is
// shown literally, and a value that does not fit the format is shown plainly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/value.h"

namespace print::engine {

struct FormattedValue {
    std::string text;
    std::optional<int64_t> color;  // from a colour prefix, as a blue-green-red long
};

FormattedValue formatValue(const Value& value, std::string_view format);

// The value's plain display text, as `[general]` shows it.
std::string generalText(const Value& value);

}  // namespace print::engine
