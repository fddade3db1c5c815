#include <gtest/gtest.h>

#include "common/datetime.h"
#include "common/decimal.h"
#include "common/encoding.h"
#include "common/text.h"
#include "common/value.h"

using print::Decimal;

namespace {
Decimal dec(const char* s) { return *Decimal::parse(s); }
}  // namespace

TEST(Decimal, ArithmeticIsExact) {
    EXPECT_EQ((dec("0.1") + dec("0.2")).toString(), "0.3");
    EXPECT_EQ((dec("19.99") * dec("3")).toString(), "59.97");
    EXPECT_EQ((dec("1.10") - dec("1.1")).toString(), "0");
    EXPECT_EQ(Decimal::divide(dec("1"), dec("3"))->toFixed(4), "0.3333");
    EXPECT_EQ(Decimal::divide(dec("10"), dec("4"))->toString(), "2.5");
    EXPECT_FALSE(Decimal::divide(dec("1"), dec("0")));
    EXPECT_EQ(Decimal::mod(dec("-7"), dec("3"))->toString(), "-1");
}

TEST(Decimal, RoundingIsHalfAwayFromZero) {
    EXPECT_EQ(dec("2.345").round(2).toString(), "2.35");
    EXPECT_EQ(dec("-2.345").round(2).toString(), "-2.35");
    EXPECT_EQ(dec("2.345").truncate(2).toString(), "2.34");
    EXPECT_EQ(dec("1234.5").round(-2).toString(), "1200");
    EXPECT_EQ(dec("7").toFixed(2), "7.00");
    EXPECT_EQ(dec("-0.005").toFixed(2), "-0.01");
}

TEST(Decimal, ParsesAndPrintsShortestForm) {
    EXPECT_EQ(dec("  -003.1400 ").toString(), "-3.14");
    EXPECT_EQ(dec(".5").toString(), "0.5");
    EXPECT_EQ(dec("1.2e3").toString(), "1200");
    EXPECT_EQ(dec("5E-3").toString(), "0.005");
    EXPECT_FALSE(Decimal::parse("12a"));
    EXPECT_FALSE(Decimal::parse(""));
    EXPECT_FALSE(Decimal::parse("1.2.3"));
    EXPECT_EQ(Decimal::fromDouble(0.1).toString(), "0.1");
    EXPECT_LT(dec("2.5"), dec("10"));
    EXPECT_EQ(dec("2.50"), dec("2.5"));
}

TEST(DateTime, ParsesValidDatesOnly) {
    auto d = print::Date::parse("2024-02-29");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->toString(), "2024-02-29");
    EXPECT_EQ(d->year(), 2024);
    EXPECT_EQ(d->dayOfWeek(), 5);  // a Thursday
    EXPECT_FALSE(print::Date::parse("2023-02-29"));
    EXPECT_FALSE(print::Date::parse("2023-13-01"));
    EXPECT_EQ(print::DateTime::parse("2024-01-05 08:03:09")->toString(), "2024-01-05 08:03:09");
    EXPECT_EQ(print::Time::parse("23:59:59.5")->toString(), "23:59:59.500000");
    EXPECT_FALSE(print::Time::parse("24:00:00"));
}

TEST(Text, CountsCharactersNotBytes) {
    EXPECT_EQ(print::utf8Length("赠品12"), 4u);
    EXPECT_EQ(print::utf8Substr("金额(大写)", 1, 2), "额(");
    EXPECT_TRUE(print::iequals("DataWindow.Syntax", "datawindow.syntax"));
}

TEST(Encoding, RoundTripsGbkAndRefusesWhatTheCodePageCannotHold) {
    auto bytes = print::encodeText("打印模板", "GBK");
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes.value().size(), 8u);
    EXPECT_EQ(print::decodeText(bytes.value(), "GBK").value(), "打印模板");
    auto bad = print::encodeText("价格😀", "GBK");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().message, "the character '😀' at position 3 cannot be written in code page GBK");
    // GB18030 holds every character.
    EXPECT_TRUE(print::encodeText("价格😀", "GB18030").ok());
    EXPECT_FALSE(print::decodeText("\xff\xff", "GBK").ok());
}

TEST(Decimal, ValuesBeyondTheRangeDoNotWrapOrCrash) {
    EXPECT_FALSE(Decimal::parse("1e45"));
    EXPECT_FALSE(Decimal::parse("1e400"));
    // Nearer to zero than the scale reaches: not a silent 0.
    EXPECT_FALSE(Decimal::parse("-1e-300"));
    EXPECT_FALSE(Decimal::parse("0.0000000000000000001"));
    EXPECT_EQ(Decimal::parse("0e-300")->toString(), "0");
    EXPECT_EQ(Decimal::parse("0.0000000000000000016")->toString(), "0.000000000000000002");
    Decimal big = *Decimal::parse("1e36");
    Decimal sum = big * big;  // far beyond the range: saturates, keeps its sign
    EXPECT_GT(sum, big);
    EXPECT_LT(-big * big, -big);
    EXPECT_GT(Decimal::fromDouble(1e300), big);
    EXPECT_EQ(Decimal::parse("-12345678901234567890.123456789")->toString(),
              "-12345678901234567890.123456789");
}
