#include "engine/format.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/text.h"

namespace print::engine {
namespace {

// Percent scaling stays below this many integer digits so Decimal stays exact.
constexpr int kMaxFormatMagnitude = 34;

size_t codePointLength(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 1;
    return std::min(n, s.size() - i);
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Kind { General, Number, DateTime, Text, Literal };
enum class Keyword { None, General, Currency, Date, Time, LongDate };

struct Section {
    std::string_view body;  // after the bracketed prefixes
    std::optional<int64_t> color;
    Keyword keyword = Keyword::None;
    Kind kind = Kind::Literal;
};

std::optional<int64_t> colorByName(std::string_view name) {
    struct Named {
        std::string_view name;
        int64_t value;
    };
    static constexpr Named kColors[] = {
        {"black", 0},       {"white", 16777215}, {"red", 255},          {"green", 65280},
        {"blue", 16711680}, {"cyan", 16776960},  {"magenta", 16711935}, {"yellow", 65535},
    };
    for (const auto& c : kColors)
        if (iequals(c.name, name)) return c.value;
    if (auto n = parseInteger(name)) return *n;
    return std::nullopt;
}

// Skips a `\x` escape or a quoted literal at `i`; returns false when `i` starts neither.
bool skipLiteral(std::string_view s, size_t& i) {
    if (s[i] == '\\') {
        i += 1;
        if (i < s.size()) i += codePointLength(s, i);
        return true;
    }
    if (s[i] == '"') {
        size_t close = s.find('"', i + 1);
        i = close == std::string_view::npos ? s.size() : close + 1;
        return true;
    }
    return false;
}

std::vector<std::string_view> splitSections(std::string_view format) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    size_t i = 0;
    while (i < format.size()) {
        if (skipLiteral(format, i)) continue;
        if (format[i] == '[') {
            size_t close = format.find(']', i);
            i = close == std::string_view::npos ? format.size() : close + 1;
            continue;
        }
        if (format[i] == ';') {
            parts.push_back(format.substr(start, i - start));
            start = i + 1;
        }
        ++i;
    }
    parts.push_back(format.substr(start));
    return parts;
}

bool isDateLetter(char c) {
    c = lower(c);
    return c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 's';
}

Kind classify(std::string_view body) {
    bool digits = false;
    bool dates = false;
    size_t i = 0;
    while (i < body.size()) {
        if (skipLiteral(body, i)) continue;
        char c = body[i];
        if (c == '@') return Kind::Text;
        if (c == '#' || c == '0') digits = true;
        if (isDateLetter(c) || istartsWith(body.substr(i), "am/pm") ||
            istartsWith(body.substr(i), "a/p"))
            dates = true;
        i += codePointLength(body, i);
    }
    if (digits) return Kind::Number;
    if (dates) return Kind::DateTime;
    return Kind::Literal;
}

Section parseSection(std::string_view text) {
    Section s;
    while (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos) break;
        std::string_view tag = text.substr(1, close - 1);
        if (iequals(tag, "general")) {
            s.keyword = Keyword::General;
        } else if (iequals(tag, "currency")) {
            s.keyword = Keyword::Currency;
        } else if (iequals(tag, "date") || iequals(tag, "shortdate")) {
            s.keyword = Keyword::Date;
        } else if (iequals(tag, "longdate")) {
            s.keyword = Keyword::LongDate;
        } else if (iequals(tag, "time")) {
            s.keyword = Keyword::Time;
        } else if (auto color = colorByName(tag)) {
            s.color = color;
        }
        text.remove_prefix(close + 1);
    }
    s.body = text;
    s.kind = s.keyword == Keyword::General ? Kind::General : classify(text);
    return s;
}

// The section's own text, with escapes and quotes resolved: for null sections and for sections
// that are not formats at all.
std::string literalText(std::string_view body) {
    std::string out;
    size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\\') {
            ++i;
            if (i < body.size()) {
                size_t n = codePointLength(body, i);
                out.append(body.substr(i, n));
                i += n;
            }
            continue;
        }
        if (body[i] == '"') {
            size_t close = body.find('"', i + 1);
            if (close == std::string_view::npos) close = body.size();
            out.append(body.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        out += body[i++];
    }
    return out;
}

// ---- numbers ----

struct NumberToken {
    enum class Type { Literal, Int, Frac, Point, Percent, Exponent };
    explicit NumberToken(Type t, std::string s = {}) : type(t), text(std::move(s)) {}

    Type type;
    std::string text;    // Literal
    char placeholder{};  // Int, Frac: '#' or '0'
    bool exponentPlus = false;
    int exponentDigits = 0;
};

struct NumberPattern {
    std::vector<NumberToken> tokens;
    bool thousands = false;
    int intCount = 0;
    int fracCount = 0;
    int percents = 0;
    bool exponent = false;
};

bool isPlaceholder(char c) {
    return c == '#' || c == '0';
}

NumberPattern parseNumberPattern(std::string_view body) {
    NumberPattern p;
    bool seenPoint = false;
    bool seenExponent = false;
    auto literal = [&](std::string_view text) {
        if (!p.tokens.empty() && p.tokens.back().type == NumberToken::Type::Literal)
            p.tokens.back().text.append(text);
        else
            p.tokens.push_back(NumberToken(NumberToken::Type::Literal, std::string(text)));
    };
    size_t i = 0;
    while (i < body.size()) {
        char c = body[i];
        if (c == '\\' || c == '"') {
            size_t start = i;
            skipLiteral(body, i);
            literal(literalText(body.substr(start, i - start)));
            continue;
        }
        if (isPlaceholder(c) && !seenExponent) {
            NumberToken t(seenPoint ? NumberToken::Type::Frac : NumberToken::Type::Int);
            t.placeholder = c;
            (seenPoint ? p.fracCount : p.intCount)++;
            p.tokens.push_back(t);
            ++i;
            continue;
        }
        if (c == ',' && !seenPoint && p.intCount > 0) {
            size_t next = i;
            while (next < body.size() && body[next] == ',') ++next;
            if (next < body.size() && isPlaceholder(body[next])) {
                p.thousands = true;
                i = next;
                continue;
            }
        }
        if (c == '.' && !seenPoint && !seenExponent) {
            bool afterDigits = p.intCount > 0;
            bool beforeDigits = i + 1 < body.size() && isPlaceholder(body[i + 1]) &&
                                (i == 0 || !isLetter(body[i - 1]));
            if (afterDigits || beforeDigits) {
                seenPoint = true;
                p.tokens.push_back(NumberToken(NumberToken::Type::Point));
                ++i;
                continue;
            }
        }
        if (c == '%') {
            ++p.percents;
            p.tokens.push_back(NumberToken(NumberToken::Type::Percent));
            ++i;
            continue;
        }
        if ((c == 'E' || c == 'e') && !seenExponent && i + 2 < body.size() &&
            (body[i + 1] == '+' || body[i + 1] == '-') && isPlaceholder(body[i + 2])) {
            NumberToken t(NumberToken::Type::Exponent);
            t.exponentPlus = body[i + 1] == '+';
            i += 2;
            while (i < body.size() && isPlaceholder(body[i])) {
                ++t.exponentDigits;
                ++i;
            }
            seenExponent = true;
            p.exponent = true;
            p.tokens.push_back(t);
            continue;
        }
        size_t n = codePointLength(body, i);
        literal(body.substr(i, n));
        i += n;
    }
    return p;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

int magnitude(const Decimal& d) {
    if (d.isZero()) return 0;
    unsigned __int128 m = d.mantissa() < 0 ? -static_cast<unsigned __int128>(d.mantissa())
                                           : static_cast<unsigned __int128>(d.mantissa());
    int digits = 0;
    for (; m > 0; m /= 10) ++digits;
    return digits - d.scale();
}

// `value` is shown without its sign; the caller adds one when the section does not.
// The pattern of `body`, read once: a report formats thousands of values with a few patterns.
const NumberPattern& numberPattern(std::string_view body) {
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    thread_local std::unordered_map<std::string, NumberPattern, TextHash, std::equal_to<>> read;
    if (auto it = read.find(body); it != read.end()) return it->second;
    if (read.size() >= 256) read.clear();  // patterns made by expressions, without end
    return read.emplace(std::string(body), parseNumberPattern(body)).first->second;
}

std::optional<std::string> renderNumber(Decimal value, std::string_view body, bool* isZero) {
    const NumberPattern& p = numberPattern(body);
    Decimal x = value.abs();
    for (int i = 0; i < p.percents; ++i) {
        if (magnitude(x) + 2 > kMaxFormatMagnitude) return std::nullopt;
        x = x * Decimal(100);
    }
    int exponent = 0;
    if (p.exponent && !x.isZero()) {
        // Digits before the point in the mantissa; bounded so the shifted value stays exact.
        int k = std::clamp(p.intCount, 1, kMaxFormatMagnitude - 4);
        exponent = magnitude(x) - k;
        x = Decimal::fromParts(x.mantissa(), x.scale() + exponent);
        Decimal rounded = x.round(p.fracCount);
        if (magnitude(rounded) > k) {
            ++exponent;
            x = Decimal::fromParts(x.mantissa(), x.scale() + 1);
        }
    }
    if (magnitude(x) > kMaxFormatMagnitude) return std::nullopt;
    std::string fixed = x.toFixed(p.fracCount);
    size_t point = fixed.find('.');
    std::string intDigits = fixed.substr(0, point);
    std::string fracDigits = point == std::string::npos ? "" : fixed.substr(point + 1);
    *isZero = fixed.find_first_not_of("0.") == std::string::npos;

    // Placeholders from the first `0` on are required digits.
    int required = 0;
    bool counting = false;
    std::vector<char> intPlaceholders;
    for (const auto& t : p.tokens) {
        if (t.type != NumberToken::Type::Int) continue;
        intPlaceholders.push_back(t.placeholder);
        if (t.placeholder == '0') counting = true;
        if (counting) ++required;
    }
    if (intDigits == "0") intDigits.clear();
    if (static_cast<int>(intDigits.size()) < required)
        intDigits.insert(0, required - intDigits.size(), '0');

    // Optional fraction digits drop their trailing zeros.
    std::vector<char> fracPlaceholders;
    for (const auto& t : p.tokens)
        if (t.type == NumberToken::Type::Frac) fracPlaceholders.push_back(t.placeholder);
    while (!fracDigits.empty() && fracPlaceholders[fracDigits.size() - 1] == '#' &&
           fracDigits.back() == '0')
        fracDigits.pop_back();

    // Literals between integer placeholders (`##-##`) take the digits one placeholder at a time;
    // otherwise the whole integer part goes where the placeholders start.
    bool interleaved = false;
    {
        bool inInt = false, literalAfterInt = false;
        for (const auto& t : p.tokens) {
            if (t.type == NumberToken::Type::Int) {
                if (literalAfterInt) interleaved = true;
                inInt = true;
            } else if (inInt && t.type == NumberToken::Type::Literal) {
                literalAfterInt = true;
            } else if (t.type != NumberToken::Type::Literal) {
                inInt = false;
            }
        }
    }
    std::string grouped = p.thousands ? groupThousands(intDigits) : intDigits;

    std::string out;
    int intIndex = 0;
    int fracIndex = 0;
    int placeholders = static_cast<int>(intPlaceholders.size());
    int digitCount = static_cast<int>(intDigits.size());
    for (const auto& t : p.tokens) {
        switch (t.type) {
            case NumberToken::Type::Literal:
                out += t.text;
                break;
            case NumberToken::Type::Int:
                if (!interleaved) {
                    if (intIndex == 0) out += grouped;
                } else {
                    // Placeholder j from the right shows digit j from the right; the leftmost
                    // one also shows every digit that has no placeholder of its own.
                    int fromRight = placeholders - 1 - intIndex;
                    int last = digitCount - 1 - fromRight;
                    int first = intIndex == 0 ? 0 : last;
                    if (last >= 0)
                        out.append(intDigits, std::max(first, 0), last - std::max(first, 0) + 1);
                }
                ++intIndex;
                break;
            case NumberToken::Type::Point:
                if (placeholders == 0) out += grouped;
                // A point with only optional digits after it that all dropped away would leave
                // "50." on a bill; the point goes with them.
                if (!fracDigits.empty() || fracPlaceholders.empty()) out += '.';
                break;
            case NumberToken::Type::Frac:
                if (fracIndex < static_cast<int>(fracDigits.size())) out += fracDigits[fracIndex];
                ++fracIndex;
                break;
            case NumberToken::Type::Percent:
                out += '%';
                break;
            case NumberToken::Type::Exponent: {
                out += 'E';
                if (exponent < 0)
                    out += '-';
                else if (t.exponentPlus)
                    out += '+';
                std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
                if (static_cast<int>(e.size()) < t.exponentDigits)
                    e.insert(0, t.exponentDigits - e.size(), '0');
                out += e;
                break;
            }
        }
    }
    return out;
}

// ---- dates and times ----

struct DateToken {
    enum class Type {
        Literal,
        Year2,
        Year4,
        Month,
        Month2,
        MonthShort,
        MonthLong,
        Day,
        Day2,
        DayShort,
        DayLong,
        Hour,
        Hour2,
        Minute,
        Minute2,
        Second,
        Second2,
        Fraction,
        AmPm,
    };
    explicit DateToken(Type t, std::string s = {}, int w = 0)
        : type(t), text(std::move(s)), width(w) {}

    Type type;
    std::string text;  // Literal; AmPm: the marker as written ("am/pm", "A/P")
    int width = 0;     // Fraction digits
};

bool isTimeToken(DateToken::Type t) {
    using T = DateToken::Type;
    return t == T::Hour || t == T::Hour2 || t == T::Minute || t == T::Minute2 || t == T::Second ||
           t == T::Second2 || t == T::Fraction || t == T::AmPm;
}

std::vector<DateToken> parseDatePattern(std::string_view body) {
    using T = DateToken::Type;
    std::vector<DateToken> tokens;
    auto literal = [&](std::string_view text) {
        if (!tokens.empty() && tokens.back().type == T::Literal)
            tokens.back().text.append(text);
        else
            tokens.push_back(DateToken(T::Literal, std::string(text)));
    };
    size_t i = 0;
    while (i < body.size()) {
        char c = body[i];
        if (c == '\\' || c == '"') {
            size_t start = i;
            skipLiteral(body, i);
            literal(literalText(body.substr(start, i - start)));
            continue;
        }
        if (istartsWith(body.substr(i), "am/pm")) {
            tokens.push_back(DateToken(T::AmPm, std::string(body.substr(i, 5))));
            i += 5;
            continue;
        }
        if (istartsWith(body.substr(i), "a/p")) {
            tokens.push_back(DateToken(T::AmPm, std::string(body.substr(i, 3))));
            i += 3;
            continue;
        }
        char l = lower(c);
        if (isDateLetter(c) || l == 'f') {
            size_t run = 1;
            while (i + run < body.size() && lower(body[i + run]) == l) ++run;
            i += run;
            switch (l) {
                case 'y':
                    tokens.emplace_back(run >= 3 ? T::Year4 : T::Year2);
                    break;
                case 'm':
                    tokens.emplace_back(run == 1   ? T::Month
                                        : run == 2 ? T::Month2
                                        : run == 3 ? T::MonthShort
                                                   : T::MonthLong);
                    break;
                case 'd':
                    tokens.emplace_back(run == 1   ? T::Day
                                        : run == 2 ? T::Day2
                                        : run == 3 ? T::DayShort
                                                   : T::DayLong);
                    break;
                case 'h':
                    tokens.emplace_back(run == 1 ? T::Hour : T::Hour2);
                    break;
                case 's':
                    tokens.emplace_back(run == 1 ? T::Second : T::Second2);
                    break;
                default:
                    tokens.emplace_back(T::Fraction, std::string(),
                                        static_cast<int>(std::min<size_t>(run, 6)));
            }
            continue;
        }
        size_t n = codePointLength(body, i);
        literal(body.substr(i, n));
        i += n;
    }
    // `m`/`mm` right after an hour or right before a second means minutes.
    int previous = -1;
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k].type == T::Literal) continue;
        bool isMonth = tokens[k].type == T::Month || tokens[k].type == T::Month2;
        if (isMonth) {
            bool afterHour = previous >= 0 && (tokens[previous].type == T::Hour ||
                                               tokens[previous].type == T::Hour2);
            bool beforeSecond = false;
            for (size_t j = k + 1; j < tokens.size(); ++j) {
                if (tokens[j].type == T::Literal) continue;
                beforeSecond = tokens[j].type == T::Second || tokens[j].type == T::Second2;
                break;
            }
            if (afterHour || beforeSecond)
                tokens[k].type = tokens[k].type == T::Month ? T::Minute : T::Minute2;
        }
        previous = static_cast<int>(k);
    }
    return tokens;
}

std::string twoDigits(int v) {
    std::string s = std::to_string(v < 0 ? -v : v);
    if (s.size() < 2) s.insert(0, 1, '0');
    return s;
}

std::optional<std::string> renderDateTime(std::optional<Date> date, Time time,
                                          std::string_view body) {
    using T = DateToken::Type;
    static constexpr std::array<std::string_view, 12> kMonths = {
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    static constexpr std::array<std::string_view, 7> kDays = {
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    auto tokens = parseDatePattern(body);
    bool twelveHour = false;
    for (const auto& t : tokens) {
        if (t.type == T::AmPm) twelveHour = true;
        if (!date && t.type != T::Literal && !isTimeToken(t.type)) return std::nullopt;
    }
    std::string out;
    int hour = time.hour();
    int shownHour = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
    for (const auto& t : tokens) {
        switch (t.type) {
            case T::Literal:
                out += t.text;
                break;
            case T::Year2:
                out += twoDigits(date->year() % 100);
                break;
            case T::Year4: {
                std::string y = std::to_string(date->year());
                if (y.size() < 4) y.insert(0, 4 - y.size(), '0');
                out += y;
                break;
            }
            case T::Month:
                out += std::to_string(date->month());
                break;
            case T::Month2:
                out += twoDigits(date->month());
                break;
            case T::MonthShort:
                out += kMonths[date->month() - 1].substr(0, 3);
                break;
            case T::MonthLong:
                out += kMonths[date->month() - 1];
                break;
            case T::Day:
                out += std::to_string(date->day());
                break;
            case T::Day2:
                out += twoDigits(date->day());
                break;
            case T::DayShort:
                out += kDays[date->dayOfWeek() - 1].substr(0, 3);
                break;
            case T::DayLong:
                out += kDays[date->dayOfWeek() - 1];
                break;
            case T::Hour:
                out += std::to_string(shownHour);
                break;
            case T::Hour2:
                out += twoDigits(shownHour);
                break;
            case T::Minute:
                out += std::to_string(time.minute());
                break;
            case T::Minute2:
                out += twoDigits(time.minute());
                break;
            case T::Second:
                out += std::to_string(time.second());
                break;
            case T::Second2:
                out += twoDigits(time.second());
                break;
            case T::Fraction: {
                std::string micro = std::to_string(time.micro());
                micro.insert(0, 6 - micro.size(), '0');
                out += micro.substr(0, static_cast<size_t>(t.width));
                break;
            }
            case T::AmPm: {
                // The marker is written as "am/pm" or "a/p": the part before the slash is the
                // morning form, after it the afternoon form, in the case they were written.
                size_t slash = t.text.find('/');
                out += hour < 12 ? t.text.substr(0, slash) : t.text.substr(slash + 1);
                break;
            }
        }
    }
    return out;
}

// ---- strings ----

std::string renderMask(std::string_view text, std::string_view body) {
    std::string out;
    size_t pos = 0;
    size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\\') {
            ++i;
            if (i < body.size()) {
                size_t n = codePointLength(body, i);
                out.append(body.substr(i, n));
                i += n;
            }
            continue;
        }
        if (body[i] == '@') {
            if (pos < text.size()) {
                size_t n = codePointLength(text, pos);
                out.append(text.substr(pos, n));
                pos += n;
            }
            ++i;
            continue;
        }
        out += body[i++];
    }
    // Characters beyond the mask are still shown: a mask never hides data.
    out.append(text.substr(pos));
    return out;
}

bool onlyStars(std::string_view format) {
    return !format.empty() && format.find_first_not_of('*') == std::string_view::npos;
}

std::string_view keywordFormat(Keyword k) {
    switch (k) {
        case Keyword::Currency:
            return "￥#,##0.00";
        case Keyword::Date:
            return "yyyy-mm-dd";
        case Keyword::LongDate:
            return "yyyy年m月d日";
        case Keyword::Time:
            return "hh:mm:ss";
        default:
            return {};
    }
}

std::optional<std::string> renderSection(const Value& value, const Section& section) {
    std::string_view body = section.body;
    Kind kind = section.kind;
    if (section.keyword != Keyword::None && section.keyword != Keyword::General) {
        body = keywordFormat(section.keyword);
        kind = classify(body);
    }
    switch (kind) {
        case Kind::General:
            return generalText(value);
        case Kind::Literal:
            return literalText(body);
        case Kind::Text:
            return renderMask(value.isString() ? value.asString() : generalText(value), body);
        case Kind::Number: {
            if (!value.isNumeric()) return std::nullopt;
            bool zero = false;
            return renderNumber(*value.toDecimal(), body, &zero);
        }
        case Kind::DateTime:
            switch (value.type()) {
                case ValueType::Date:
                    return renderDateTime(value.asDate(), Time{}, body);
                case ValueType::DateTime:
                    return renderDateTime(value.asDateTime().date, value.asDateTime().time, body);
                case ValueType::Time:
                    return renderDateTime(std::nullopt, value.asTime(), body);
                default:
                    return std::nullopt;
            }
    }
    return std::nullopt;
}

}  // namespace

std::string generalText(const Value& value) {
    return value.toText();
}

FormattedValue formatValue(const Value& value, std::string_view format) {
    // A `base<TAB>expression` format is resolved by the report; here only the base counts.
    format = format.substr(0, format.find('\t'));
    if (onlyStars(format)) return {std::string(format), std::nullopt};
    if (trimView(format).empty() || iequals(trimView(format), "general"))
        return {generalText(value), std::nullopt};

    auto parts = splitSections(format);
    std::vector<Section> sections;
    sections.reserve(parts.size());
    for (auto part : parts) sections.push_back(parseSection(part));
    const Section& first = sections.front();

    if (value.isNull()) {
        size_t nullIndex = first.kind == Kind::Number || first.kind == Kind::General ? 3 : 1;
        if (sections.size() <= nullIndex) return {};
        return {literalText(sections[nullIndex].body), sections[nullIndex].color};
    }

    const Section* chosen = &first;
    bool signShown = false;  // the chosen section writes the sign itself
    if (value.isNumeric()) {
        Decimal d = *value.toDecimal();
        // An empty negative or zero section (`#,##0;;`) is taken as not given: hiding a value
        // on purpose is rarer than a stray semicolon.
        auto given = [&](size_t i) {
            return sections.size() > i &&
                   (!trimView(sections[i].body).empty() || sections[i].keyword != Keyword::None);
        };
        if (d.sign() < 0 && given(1)) {
            chosen = &sections[1];
            signShown = true;
        } else if (d.isZero() && given(2)) {
            chosen = &sections[2];
        }
        if (chosen->kind == Kind::Number || (chosen->keyword == Keyword::Currency)) {
            Section s = *chosen;
            if (s.keyword == Keyword::Currency) s.body = keywordFormat(Keyword::Currency);
            bool zero = false;
            auto text = renderNumber(d, s.body, &zero);
            if (!text) return {generalText(value), chosen->color};
            if (d.sign() < 0 && !signShown && !zero) text->insert(0, 1, '-');
            return {std::move(*text), chosen->color};
        }
    }
    if (value.isString() && chosen->kind != Kind::Text && chosen->kind != Kind::Literal)
        return {value.asString(), chosen->color};
    auto text = renderSection(value, *chosen);
    if (!text) return {generalText(value), chosen->color};
    return {std::move(*text), chosen->color};
}

}  // namespace print::engine
