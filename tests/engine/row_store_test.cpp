#include <gtest/gtest.h>

#include "engine/row_store.h"

using namespace print;
using namespace print::engine;

TEST(RowStore, KeepsEveryKindOfValueExactly) {
    ColumnStore text(ValueType::String);
    text.append(Value("赠品"));
    text.append(Value(""));
    text.append(Value());
    std::string big(3 << 20, 'x');  // longer than one arena chunk
    text.append(Value(big));
    EXPECT_EQ(text.get(0), Value("赠品"));
    EXPECT_EQ(text.get(1), Value(""));  // empty text is not null
    EXPECT_TRUE(text.isNull(2));
    EXPECT_EQ(text.get(3).asString().size(), big.size());
    std::string_view view;
    EXPECT_FALSE(text.stringView(2, view));
    ASSERT_TRUE(text.stringView(0, view));
    EXPECT_EQ(view, "赠品");
    EXPECT_TRUE(text.set(3, Value("short again")));
    EXPECT_EQ(text.get(3), Value("short again"));

    ColumnStore number(ValueType::Number);
    number.append(Value(*Decimal::parse("12345678901234567890123.45")));  // beyond 64 bits
    number.append(Value(*Decimal::parse("-0.05")));
    number.append(Value(int64_t{7}));  // a long stored in a number column
    EXPECT_EQ(number.get(0).asDecimal().toString(), "12345678901234567890123.45");
    EXPECT_EQ(number.get(1).asDecimal().toString(), "-0.05");
    EXPECT_EQ(number.get(2).asDecimal().toString(), "7");
    EXPECT_FALSE(number.set(1, Value("abc")));
    EXPECT_EQ(number.get(1).asDecimal().toString(), "-0.05");

    ColumnStore stamp(ValueType::DateTime);
    stamp.append(Value(*DateTime::parse("1969-12-31 23:59:59.5")));  // before the epoch
    stamp.append(Value(*Date::parse("2024-02-29")));                 // a date becomes midnight
    EXPECT_EQ(stamp.get(0).asDateTime().toString(), "1969-12-31 23:59:59.500000");
    EXPECT_EQ(stamp.get(1).asDateTime().toString(), "2024-02-29 00:00:00");
    EXPECT_FALSE(stamp.set(0, Value("not a date")));
}

TEST(RowStore, CopiesBetweenColumnsOfOtherTypesByConverting) {
    ColumnStore longs(ValueType::Long);
    longs.append(Value(int64_t{5}));
    longs.append(Value());
    ColumnStore texts(ValueType::String);
    uint32_t ids[] = {1, 0};
    texts.appendFrom(longs, ids, 2);
    EXPECT_TRUE(texts.isNull(0));
    EXPECT_EQ(texts.get(1), Value("5"));

    EXPECT_EQ(coerce(Value(*Decimal::parse("2.5")), ValueType::Long)->asLong(), 3);
    EXPECT_FALSE(coerce(Value("x"), ValueType::Date));
    EXPECT_EQ(coerce(Value("2024-03-09"), ValueType::Date)->asDate().toString(), "2024-03-09");
    EXPECT_TRUE(coerce(Value(), ValueType::Number)->isNull());
}

TEST(RowStore, KeepsTextsOfEveryLengthBesideShortOnes) {
    // Texts around one arena chunk (1 MiB) and the packed length limit (2 MiB) once went past
    // the end of the chunk they were copied into.
    const size_t lengths[] = {(size_t{1} << 20) - 1, size_t{1} << 20, (size_t{1} << 20) + 1,
                              1500000, (size_t{2} << 20) - 2, (size_t{2} << 20) - 1,
                              size_t{2} << 20};
    ColumnStore text(ValueType::String);
    std::vector<std::string> expected;
    for (size_t n : lengths) {
        expected.push_back("short " + std::to_string(n));
        expected.push_back(std::string(n, static_cast<char>('a' + n % 26)));
    }
    for (const auto& s : expected) text.append(Value(s));
    for (uint32_t i = 0; i < expected.size(); ++i) EXPECT_EQ(text.get(i).asString(), expected[i]);

    // Set over short and long values alike, and copied into another column.
    ColumnStore copy(ValueType::String);
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(text.set(i, Value(expected[expected.size() - 1 - i])));
        ids.push_back(i);
    }
    copy.appendFrom(text, ids.data(), ids.size());
    for (uint32_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(text.get(i).asString(), expected[expected.size() - 1 - i]);
        std::string_view view;
        ASSERT_TRUE(copy.stringView(i, view));
        EXPECT_EQ(view, expected[expected.size() - 1 - i]);
    }
}

TEST(RowStore, LongColumnsKeepEverySixtyFourBitValueApartFromNull) {
    ColumnStore longs(ValueType::Long);
    longs.append(Value(int64_t{INT64_MIN}));
    longs.append(Value());
    longs.append(Value(int64_t{INT64_MAX}));
    EXPECT_FALSE(longs.isNull(0));
    EXPECT_EQ(longs.get(0), Value(int64_t{INT64_MIN}));
    EXPECT_TRUE(longs.isNull(1));
    EXPECT_EQ(longs.get(2), Value(int64_t{INT64_MAX}));

    // Set to and from the minimum, and copied.
    EXPECT_TRUE(longs.set(1, Value(int64_t{INT64_MIN})));
    EXPECT_TRUE(longs.set(0, Value()));
    EXPECT_TRUE(longs.isNull(0));
    EXPECT_EQ(longs.get(1), Value(int64_t{INT64_MIN}));
    ColumnStore copy(ValueType::Long);
    uint32_t ids[] = {1, 0, 1};
    copy.appendFrom(longs, ids, 3);
    EXPECT_EQ(copy.get(0), Value(int64_t{INT64_MIN}));
    EXPECT_TRUE(copy.isNull(1));
    EXPECT_EQ(copy.get(2), Value(int64_t{INT64_MIN}));
    EXPECT_TRUE(copy.set(2, Value(int64_t{5})));
    EXPECT_EQ(copy.get(2), Value(int64_t{5}));
    EXPECT_EQ(copy.get(0), Value(int64_t{INT64_MIN}));

    // Numbers beyond the range are refused, not cut to its ends.
    EXPECT_FALSE(longs.set(2, Value(*Decimal::parse("123456789012345678901234567890"))));
    EXPECT_EQ(longs.get(2), Value(int64_t{INT64_MAX}));
    EXPECT_FALSE(coerce(Value(*Decimal::parse("9223372036854775808")), ValueType::Long));
    EXPECT_EQ(coerce(Value(*Decimal::parse("-9223372036854775808")), ValueType::Long),
              Value(int64_t{INT64_MIN}));
    EXPECT_FALSE(coerce(Value("-9223372036854775809"), ValueType::Long));
    EXPECT_FALSE(parseValue("123456789012345678901234567890", ValueType::Long));
    EXPECT_EQ(parseValue("-9223372036854775808", ValueType::Long), Value(int64_t{INT64_MIN}));
}
