// Calendar dates, times of day and date-times, as report values and database values.
//
// Text forms are the ones the definition text and the engine shell use: dates `YYYY-MM-DD`,
// times `HH:MM:SS` (with `.ffffff` when there are fractions), date-times `YYYY-MM-DD HH:MM:SS`.
// Parsing returns nullopt for text that is not a valid date or time (month 13, 30 February).
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace print {

struct Date {
    int32_t days = 0;  // days since 1970-01-01

    static std::optional<Date> fromYmd(int year, int month, int day);
    // Accepts YYYY-MM-DD and YYYY/MM/DD; a trailing time part is not accepted here.
    static std::optional<Date> parse(std::string_view text);
    static Date today();

    int year() const;
    int month() const;
    int day() const;
    int dayOfWeek() const;  // 1 = Sunday .. 7 = Saturday
    std::string toString() const;

    friend auto operator<=>(const Date&, const Date&) = default;
};

struct Time {
    int64_t micros = 0;  // microseconds since midnight

    static std::optional<Time> fromHms(int hour, int minute, int second, int micro = 0);
    // Accepts HH:MM, HH:MM:SS and HH:MM:SS.ffffff.
    static std::optional<Time> parse(std::string_view text);
    static Time now();

    int hour() const { return static_cast<int>(micros / 3600000000LL); }
    int minute() const { return static_cast<int>(micros / 60000000LL % 60); }
    int second() const { return static_cast<int>(micros / 1000000LL % 60); }
    int micro() const { return static_cast<int>(micros % 1000000LL); }
    std::string toString() const;

    friend auto operator<=>(const Time&, const Time&) = default;
};

struct DateTime {
    Date date;
    Time time;

    // Accepts "YYYY-MM-DD HH:MM:SS[.ffffff]", "YYYY-MM-DDTHH:MM:SS" and a bare date (midnight).
    static std::optional<DateTime> parse(std::string_view text);
    static DateTime now();

    std::string toString() const;

    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

}  // namespace print
