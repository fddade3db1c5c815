#include "engine/format.h"

#include <gtest/gtest.h>

namespace print::engine {
namespace {

Value dec(std::string_view text) {
    return Value(*Decimal::parse(text));
}
Value date(int y, int m, int d) {
    return Value(*Date::fromYmd(y, m, d));
}
Value dateTime(int y, int mo, int d, int h, int mi, int s) {
    return Value(DateTime{*Date::fromYmd(y, mo, d), *Time::fromHms(h, mi, s)});
}
std::string show(const Value& v, std::string_view format) {
    return formatValue(v, format).text;
}

TEST(FormatNumber, PlaceholdersGroupingAndLiterals) {
    EXPECT_EQ(show(dec("1234567.5"), "###,##0.00"), "1,234,567.50");
    EXPECT_EQ(show(Value(-5), "###,##0.00"), "-5.00");
    EXPECT_EQ(show(Value(0), "###,##0.00"), "0.00");
    EXPECT_EQ(show(dec("1234.5"), "￥#,###,##0.00"), "￥1,234.50");
    EXPECT_EQ(show(Value(42), "00000"), "00042");
    EXPECT_EQ(show(Value(7), "####"), "7");
    EXPECT_EQ(show(Value(7), "赠品####"), "赠品7");
    EXPECT_EQ(show(Value(1234567), "#,##0 元"), "1,234,567 元");
    EXPECT_EQ(show(dec("0.5"), "#.##"), ".5");
    EXPECT_EQ(show(dec("1.5"), "0.0#"), "1.5");
    EXPECT_EQ(show(dec("1.25"), "0.0#"), "1.25");
    EXPECT_EQ(show(Value(5), "[red]\\D\\e\\p\\t\\: ###"), "Dept: 5");
    EXPECT_EQ(show(Value(1234), "##-##"), "12-34");
}

TEST(FormatNumber, RoundsHalfAwayFromZeroExactly) {
    EXPECT_EQ(show(dec("2.345"), "0.00"), "2.35");
    EXPECT_EQ(show(dec("-2.345"), "0.00"), "-2.35");
    EXPECT_EQ(show(dec("0.125"), "0.00"), "0.13");
    EXPECT_EQ(show(dec("-0.001"), "0.00"), "0.00");  // no "-0.00"
    EXPECT_EQ(show(dec("999.995"), "#,##0.00"), "1,000.00");
}

TEST(FormatNumber, SectionsPercentAndScientific) {
    EXPECT_EQ(show(Value(5), "$#,##0;($#,##0)"), "$5");
    EXPECT_EQ(show(Value(-5), "$#,##0;($#,##0)"), "($5)");
    EXPECT_EQ(show(dec("0.5"), "$#,##0;($#,##0)"), "$1");
    EXPECT_EQ(show(Value(5), "##0%"), "500%");
    EXPECT_EQ(show(Value(-5), "##0%"), "-500%");
    EXPECT_EQ(show(dec(".5"), "##0%"), "50%");
    EXPECT_EQ(show(Value(5), "0.00E+00"), "5.00E+00");
    EXPECT_EQ(show(Value(-5), "0.00E+00"), "-5.00E+00");
    EXPECT_EQ(show(dec(".5"), "0.00E+00"), "5.00E-01");
    EXPECT_EQ(show(dec("9.999"), "0.00E+00"), "1.00E+01");
    EXPECT_EQ(show(Value(0), "#,##0;-#,##0;零"), "零");
    EXPECT_EQ(show(Value(-3), "#,##0;;"), "-3");  // an empty section is not a blank one
}

TEST(FormatSections, NullUsesItsSectionOrShowsNothing) {
    EXPECT_EQ(show(Value(), "#,##0;(#,##0);0;无"), "无");
    EXPECT_EQ(show(Value(), "#,##0"), "");
    EXPECT_EQ(show(Value(), "yyyy-mm-dd;\"(none)\""), "(none)");
    EXPECT_EQ(show(Value(), "@@@;-"), "-");
}

TEST(FormatSections, ColoursGeneralAndMasks) {
    auto red = formatValue(Value(1234), "[red]#,##0");
    EXPECT_EQ(red.text, "1,234");
    EXPECT_EQ(red.color, 255);
    EXPECT_EQ(formatValue(Value(-1), "[BLUE]0;[255]-0").color, 255);
    EXPECT_EQ(formatValue(Value(1), "[Blue]0").color, 16711680);
    EXPECT_FALSE(formatValue(Value(1), "0").color.has_value());
    EXPECT_EQ(show(dec("1.50"), "[general]"), "1.5");
    EXPECT_EQ(show(Value(12), "[GENERAL]"), "12");
    EXPECT_EQ(show(date(2024, 3, 9), "[General]"), "2024-03-09");
    EXPECT_EQ(show(Value("secret"), "***"), "***");
    EXPECT_EQ(show(Value(5), "***"), "***");
}

TEST(FormatSections, BracketKeywords) {
    EXPECT_EQ(show(dec("1234.5"), "[currency]"), "￥1,234.50");
    EXPECT_EQ(show(date(2024, 3, 9), "[shortdate]"), "2024-03-09");
    EXPECT_EQ(show(date(2024, 3, 9), "[LongDate]"), "2024年3月9日");
    EXPECT_EQ(show(dateTime(2024, 3, 9, 7, 8, 9), "[time]"), "07:08:09");
    auto nullShown = formatValue(Value(), "#;-#;0;[red]无");
    EXPECT_EQ(nullShown.text, "无");
    EXPECT_EQ(nullShown.color, 255);
}

TEST(FormatDate, MasksAnyCaseWithLiterals) {
    EXPECT_EQ(show(date(2024, 3, 9), "YYYY年MM月DD日"), "2024年03月09日");
    EXPECT_EQ(show(date(2024, 3, 9), "yyyy-mm-dd"), "2024-03-09");
    EXPECT_EQ(show(date(2024, 3, 9), "yy/m/d"), "24/3/9");
    EXPECT_EQ(show(date(2024, 3, 9), "ddd, mmm d"), "Sat, Mar 9");
    EXPECT_EQ(show(date(2024, 3, 9), "dddd d mmmm yyyy"), "Saturday 9 March 2024");
    EXPECT_EQ(show(dateTime(2024, 3, 9, 14, 5, 7), "yyyy-mm-dd hh:mm:ss"), "2024-03-09 14:05:07");
    EXPECT_EQ(show(dateTime(2024, 3, 9, 14, 5, 7), "mmmm/dd/yyyy h:mm"), "March/09/2024 14:05");
    EXPECT_EQ(show(Value(*Time::fromHms(14, 5, 0)), "h:mm am/pm"), "2:05 pm");
    EXPECT_EQ(show(Value(*Time::fromHms(0, 5, 0)), "hh:mm AM/PM"), "12:05 AM");
    EXPECT_EQ(show(Value(*Time::fromHms(0, 5, 9)), "m:ss"), "5:09");  // m before s is minutes
    EXPECT_EQ(show(Value(*Time::fromHms(9, 5, 3, 250000)), "hh:mm:ss.fff"), "09:05:03.250");
}

TEST(FormatText, MasksAndValuesThatDoNotFit) {
    EXPECT_EQ(show(Value("6175551212"), "(@@@) @@@-@@@@"), "(617) 555-1212");
    EXPECT_EQ(show(Value("赠品ab"), "@-@"), "赠-品ab");
    EXPECT_EQ(show(Value("abc"), "#,##0.00"), "abc");
    EXPECT_EQ(show(Value(12), "yyyy-mm-dd"), "12");
    EXPECT_EQ(show(date(2024, 3, 9), "#,##0"), "2024-03-09");
    EXPECT_EQ(show(Value(*Time::fromHms(9, 0, 0)), "yyyy-mm-dd"), "09:00:00");
    EXPECT_EQ(show(Value(7), "n/a"), "n/a");
}

TEST(FormatText, BrokenFormatsNeverFail) {
    const char* formats[] = {"[",        "[red", "\\", "\"",     "E+",      ";;;;",
                             "0.0.0",    "#,",   ".",  "%%%",    "0E+",     "@\\",
                             "[general", "\t",   "#;", "yyyy\"", "\xe8\xb5"};
    const Value values[] = {Value(), Value(-12), dec("0.5"), Value("x"), date(2024, 3, 9)};
    for (const char* f : formats)
        for (const auto& v : values) (void)formatValue(v, f);
    EXPECT_EQ(show(Value(5), "0.0.0"), "5.0.0");
    // Many integer digits before an exponent once shifted the mantissa out of range.
    (void)formatValue(Value(44), std::string(60, '#') + "0.0E+0");
}

TEST(FormatGeneral, PlainTextOfEachKind) {
    EXPECT_EQ(generalText(dec("1234.500")), "1234.5");
    EXPECT_EQ(generalText(dec("-0.05")), "-0.05");
    EXPECT_EQ(generalText(Value(int64_t{9007199254740993})), "9007199254740993");
    EXPECT_EQ(generalText(date(2024, 3, 9)), "2024-03-09");
    EXPECT_EQ(generalText(dateTime(2024, 3, 9, 8, 0, 5)), "2024-03-09 08:00:05");
    EXPECT_EQ(generalText(Value(*Time::fromHms(8, 0, 5))), "08:00:05");
    EXPECT_EQ(generalText(Value()), "");
}

}  // namespace
}  // namespace print::engine
