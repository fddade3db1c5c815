#include "common/datetime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace print {
namespace {

// Howard Hinnant's civil-date algorithms: exact for the proleptic Gregorian calendar.
int32_t daysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int>(doe) - 719468;
}

void civilFromDays(int32_t z, int* y, int* m, int* d) {
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int yy = static_cast<int>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = yy + (*m <= 2);
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return days[m - 1];
}

// Reads exactly `width` digits (or 1..width when `exact` is false) at `pos`.
bool readInt(std::string_view s, size_t& pos, int minWidth, int maxWidth, int* out) {
    int v = 0;
    int n = 0;
    while (pos < s.size() && n < maxWidth && s[pos] >= '0' && s[pos] <= '9') {
        v = v * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    if (n < minWidth) return false;
    *out = v;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<Date> parseDateAt(std::string_view s, size_t& pos) {
    int y, m, d;
    if (!readInt(s, pos, 4, 4, &y)) return std::nullopt;
    if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/')) return std::nullopt;
    char sep = s[pos++];
    if (!readInt(s, pos, 1, 2, &m)) return std::nullopt;
    if (pos >= s.size() || s[pos] != sep) return std::nullopt;
    ++pos;
    if (!readInt(s, pos, 1, 2, &d)) return std::nullopt;
    return Date::fromYmd(y, m, d);
}

std::optional<Time> parseTimeAt(std::string_view s, size_t& pos) {
    int h, mi, sec = 0, micro = 0;
    if (!readInt(s, pos, 1, 2, &h)) return std::nullopt;
    if (pos >= s.size() || s[pos] != ':') return std::nullopt;
    ++pos;
    if (!readInt(s, pos, 2, 2, &mi)) return std::nullopt;
    if (pos < s.size() && s[pos] == ':') {
        ++pos;
        if (!readInt(s, pos, 2, 2, &sec)) return std::nullopt;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            int digits = 0;
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
                if (digits < 6) {
                    micro = micro * 10 + (s[pos] - '0');
                    ++digits;
                }
                ++pos;
            }
            if (digits == 0) return std::nullopt;
            for (; digits < 6; ++digits) micro *= 10;
        }
    }
    return Time::fromHms(h, mi, sec, micro);
}

std::tm localNow(int64_t* micros) {
    auto now = std::chrono::system_clock::now();
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    std::time_t t = static_cast<std::time_t>(us / 1000000);
    std::tm tm{};
    localtime_r(&t, &tm);
    *micros = us % 1000000;
    return tm;
}

}  // namespace

std::optional<Date> Date::fromYmd(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return std::nullopt;
    if (day > daysInMonth(year, month)) return std::nullopt;
    return Date{daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))};
}

std::optional<Date> Date::parse(std::string_view text) {
    text = trim(text);
    size_t pos = 0;
    auto d = parseDateAt(text, pos);
    if (!d || pos != text.size()) return std::nullopt;
    return d;
}

Date Date::today() {
    int64_t us;
    std::tm tm = localNow(&us);
    return *fromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

int Date::year() const {
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    return y;
}
int Date::month() const {
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    return m;
}
int Date::day() const {
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    return d;
}
int Date::dayOfWeek() const {
    // 1970-01-01 was a Thursday (5 when Sunday is 1).
    int w = (days % 7 + 7 + 4) % 7;  // 0 = Sunday
    return w + 1;
}

std::string Date::toString() const {
    int y, m, d;
    civilFromDays(days, &y, &m, &d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::optional<Time> Time::fromHms(int hour, int minute, int second, int micro) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        micro < 0 || micro > 999999)
        return std::nullopt;
    return Time{((hour * 60LL + minute) * 60 + second) * 1000000LL + micro};
}

std::optional<Time> Time::parse(std::string_view text) {
    text = trim(text);
    size_t pos = 0;
    auto t = parseTimeAt(text, pos);
    if (!t || pos != text.size()) return std::nullopt;
    return t;
}

Time Time::now() {
    int64_t us;
    std::tm tm = localNow(&us);
    return *fromHms(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(us));
}

std::string Time::toString() const {
    char buf[32];
    if (micro() != 0)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%06d", hour(), minute(), second(), micro());
    else
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hour(), minute(), second());
    return buf;
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
    text = trim(text);
    size_t pos = 0;
    auto d = parseDateAt(text, pos);
    if (!d) return std::nullopt;
    if (pos == text.size()) return DateTime{*d, Time{}};
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) ++pos;
    auto t = parseTimeAt(text, pos);
    if (!t || pos != text.size()) return std::nullopt;
    return DateTime{*d, *t};
}

DateTime DateTime::now() {
    // One clock reading for both parts, so that a call at midnight cannot mix two days.
    int64_t us;
    std::tm tm = localNow(&us);
    return DateTime{*Date::fromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                    *Time::fromHms(tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(us))};
}

std::string DateTime::toString() const { return date.toString() + " " + time.toString(); }

}  // namespace print
