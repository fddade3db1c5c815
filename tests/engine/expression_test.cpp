#include "engine/expression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "engine/format.h"

namespace print::engine {
namespace {

// A few columns of rows; two rows a page; groups are runs of equal `grp`.
class TableContext : public EvalContext {
public:
    struct Column {
        std::string name;
        std::vector<Value> values;
        std::string display = {};  // a code table: shown as display + value
    };

    std::vector<Column> columns;
    uint64_t schema = 1;
    uint64_t data = 1;
    mutable int resolveCalls = 0;
    mutable long valueCalls = 0;

    uint64_t schemaVersion() const override { return schema; }
    uint64_t dataVersion() const override { return data; }

    int resolveName(std::string_view name) const override {
        ++resolveCalls;
        if (name.size() > 1 && name[0] == '#') {
            auto n = parseInteger(name.substr(1));
            if (n && *n >= 1 && *n <= static_cast<int64_t>(columns.size()))
                return static_cast<int>(*n - 1);
            return -1;
        }
        for (size_t i = 0; i < columns.size(); ++i)
            if (iequals(columns[i].name, name)) return static_cast<int>(i);
        return -1;
    }
    Value valueAt(int slot, long row) const override {
        ++valueCalls;
        const auto& values = columns[slot].values;
        if (row < 1 || row > static_cast<long>(values.size())) return Value();
        return values[row - 1];
    }
    bool stringAt(int slot, long row, std::string_view& out) const override {
        const auto& values = columns[slot].values;
        if (row < 1 || row > static_cast<long>(values.size())) return false;
        if (!values[row - 1].isString()) return false;
        out = values[row - 1].asString();
        return true;
    }
    long rowCount() const override {
        return columns.empty() ? 0 : static_cast<long>(columns[0].values.size());
    }
    long currentRow() const override { return 2; }
    std::string lookUpDisplay(int slot, long row) const override {
        return columns[slot].display + valueAt(slot, row).toText();
    }
    std::string describe(std::string_view path) const override {
        return iequals(path, "datawindow.table.select") ? "SELECT billid FROM bill" : "!";
    }
    long page(long row) const override { return (row + 1) / 2; }
    long pageCount() const override { return (rowCount() + 1) / 2; }
    std::pair<long, long> pageRange(long row) const override {
        long first = (page(row) - 1) * 2 + 1;
        return {first, std::min(first + 1, rowCount())};
    }
    Result<std::pair<long, long>> groupRange(int level, long row) const override {
        if (level != 1) return Error{"the report has no group " + std::to_string(level)};
        int slot = resolveName("grp");
        long first = row, last = row;
        while (first > 1 && valueAt(slot, first - 1) == valueAt(slot, row)) --first;
        while (last < rowCount() && valueAt(slot, last + 1) == valueAt(slot, row)) ++last;
        return std::pair<long, long>{first, last};
    }
};

Value dec(std::string_view text) {
    return Value(*Decimal::parse(text));
}

TableContext billRows() {
    TableContext ctx;
    ctx.columns = {
        {"billid", {"B001", "B002", "B003", "B004", "B005"}},
        {"amount", {dec("10.50"), dec("20.25"), Value(), dec("5"), dec("0.25")}},
        {"qty", {Value(1), Value(3), Value(5), Value(12), Value(3)}},
        {"grp", {"a", "a", "b", "b", "b"}},
        {"name", {"赠品abc", "  pad  ", Value(), "x", "y"}},
        {"rowno", {Value(1), Value(2), Value(7), Value(4), Value(5)}},
        {"unit", {"kg", "kg", "m", "kg", "m"}, "Unit:"},
    };
    return ctx;
}

class ExprTest : public ::testing::Test {
protected:
    TableContext ctx = billRows();

    Value eval(std::string_view text, long row = 1) {
        auto compiled = Expression::compile(text);
        EXPECT_TRUE(compiled.ok()) << text << ": " << compiled.error().describe();
        if (!compiled) return Value();
        auto v = compiled.value()->evaluate(ctx, row);
        EXPECT_TRUE(v.ok()) << text << ": " << v.error().describe();
        return v ? v.value() : Value();
    }
    std::string text(std::string_view expr, long row = 1) { return eval(expr, row).toText(); }
    Error compileError(std::string_view text) {
        auto compiled = Expression::compile(text);
        EXPECT_FALSE(compiled.ok()) << text;
        return compiled ? Error{} : compiled.error();
    }
    Error evalError(std::string_view text, long row = 1) {
        auto compiled = Expression::compile(text);
        EXPECT_TRUE(compiled.ok()) << text;
        if (!compiled) return {};
        auto v = compiled.value()->evaluate(ctx, row);
        EXPECT_FALSE(v.ok()) << text << " gave " << (v ? v.value().toText() : "");
        return v ? Error{} : v.error();
    }
};

TEST_F(ExprTest, PrecedenceFollowsTheOperatorLevels) {
    EXPECT_EQ(text("1 + 2 * 3"), "7");
    EXPECT_EQ(text("(1 + 2) * 3"), "9");
    EXPECT_EQ(text("-2 ^ 2"), "4");  // unary minus binds tighter than ^
    EXPECT_EQ(text("2 ^ 3 ^ 2"), "64");
    EXPECT_EQ(text("10 - 4 - 3"), "3");
    EXPECT_EQ(text("12 / 2 / 3"), "2");
    EXPECT_EQ(text("1 + 2 = 3 AND NOT 1 > 2"), "true");
    EXPECT_EQ(text("1 = 1 or 1 = 2 and 1 = 2"), "true");  // AND before OR
    EXPECT_EQ(text("not 1 = 2"), "true");
    EXPECT_EQ(text("IF(1=1 AnD 2=2, 'a', 'b')"), "a");
}

TEST_F(ExprTest, StringLiteralsTakeBothQuotesAndTildeEscapes) {
    EXPECT_EQ(text("'it''s'"), "it's");
    EXPECT_EQ(text("\"say ~\"hi~\"\""), "say \"hi\"");
    EXPECT_EQ(text("'~'' + \"'\""), "''");
    EXPECT_EQ(text("'a~tb~nc~r'"), "a\tb\nc\r");
    EXPECT_EQ(text("'~~'"), "~");
    EXPECT_EQ(text("'赠' + \"品\""), "赠品");
}

TEST_F(ExprTest, NumbersAreExactDecimals) {
    EXPECT_EQ(text("0.1 + 0.2"), "0.3");
    EXPECT_EQ(text("0.1 + 0.2 = 0.3"), "true");
    EXPECT_EQ(text("7 / 2"), "3.5");
    EXPECT_EQ(text("Round(2.345, 2)"), "2.35");
    EXPECT_EQ(text("Round(-2.345, 2)"), "-2.35");
    EXPECT_EQ(text("Round(1250, -2)"), "1300");
    EXPECT_EQ(text("Truncate(-2.349, 2)"), "-2.34");
    EXPECT_EQ(text("amount * qty", 2), "60.75");
    EXPECT_TRUE(eval("5 / 0").isNull());
    EXPECT_TRUE(eval("Mod(5, 0)").isNull());
    // Long columns stay Long.
    EXPECT_EQ(eval("qty + qty - qty * qty", 2).type(), ValueType::Long);
    EXPECT_EQ(text("Mod(qty, 5)", 4), "2");
}

TEST_F(ExprTest, NamesBindOncePerSchemaVersion) {
    auto expr = Expression::compile("amount + qty").value();
    for (long row = 1; row <= 5; ++row) (void)expr->evaluate(ctx, row);
    EXPECT_EQ(ctx.resolveCalls, 2);
    ctx.schema = 2;
    (void)expr->evaluate(ctx, 1);
    EXPECT_EQ(ctx.resolveCalls, 4);
    EXPECT_EQ(text("#3 + #2", 2), "23.25");
    EXPECT_EQ(text("AMOUNT", 1), "10.5");
}

TEST_F(ExprTest, NullsPropagateAndConditionsTreatThemAsFalse) {
    EXPECT_TRUE(eval("amount + 1", 3).isNull());
    EXPECT_TRUE(eval("amount = 1", 3).isNull());
    EXPECT_TRUE(eval("Len(name)", 3).isNull());
    EXPECT_EQ(text("If(amount > 1, 'y', 'n')", 3), "n");
    EXPECT_EQ(text("IsNull(amount)", 3), "true");
    EXPECT_EQ(text("amount = 1 or 1 = 1", 3), "true");
    EXPECT_TRUE(eval("amount = 1 and 1 = 1", 3).isNull());
    EXPECT_FALSE(Expression::compile("amount > 0").value()->isTrue(ctx, 3));
    EXPECT_TRUE(Expression::compile("amount > 0").value()->isTrue(ctx, 1));
}

TEST_F(ExprTest, ComparisonsAreCaseSensitiveAndReadTextAsTheOtherKind) {
    EXPECT_EQ(text("billid = 'B001'"), "true");
    EXPECT_EQ(text("billid = 'b001'"), "false");
    EXPECT_EQ(text("billid < 'B002'"), "true");
    EXPECT_EQ(text("'B002' > billid"), "true");
    EXPECT_EQ(text("amount > '10'"), "true");
    EXPECT_EQ(text("Date('2024-03-09') = '2024-03-09'"), "true");
    EXPECT_EQ(evalError("amount > 'abc'").message, "cannot compare a number with a string");
}

TEST_F(ExprTest, DateAgainstDateTimeText) {
    // Dates exported by databases carry a midnight time part.
    EXPECT_EQ(text("Date('2024-03-09') = '2024-03-09 00:00:00'"), "true");
    EXPECT_EQ(text("Date('2024-03-09') < '2024-03-09 08:30:00'"), "true");
    EXPECT_EQ(text("Date('2024-03-09') >= ' 2024-03-10 00:00:00 '"), "false");
    EXPECT_EQ(evalError("Date('2024-03-09') = '2024-03-09 25:00:00'").message,
              "cannot compare a date with a string");
}

TEST_F(ExprTest, TextJoinsNumbersAsTheirPlainText) {
    EXPECT_EQ(text("'第' + page() + '页'", 3), "第2页");
    EXPECT_EQ(text("'Page ' + Page() + ' of ' + PageCount()", 4), "Page 2 of 3");
    EXPECT_EQ(text("'¥' + amount", 1), "¥10.5");
    EXPECT_EQ(text("GetRow() + '.'", 5), "5.");
    EXPECT_TRUE(eval("'¥' + amount", 3).isNull());
    EXPECT_EQ(evalError("'a' + Date('2024-03-09')").message,
              "cannot apply '+' to a string and a date");
}

TEST_F(ExprTest, StringComparisonReadsStoredTextWithoutCopying) {
    auto expr = Expression::compile("billid = 'B004'").value();
    long found = 0;
    for (long row = 1; row <= ctx.rowCount() && !found; ++row)
        if (expr->isTrue(ctx, row)) found = row;
    EXPECT_EQ(found, 4);
    EXPECT_EQ(ctx.valueCalls, 0);
}

TEST_F(ExprTest, StringFunctionsCountCharacters) {
    EXPECT_EQ(text("Len('赠品')"), "2");
    EXPECT_EQ(text("Left(name, 1)"), "赠");
    EXPECT_EQ(text("Mid(name, 2, 2)"), "品a");
    EXPECT_EQ(text("Mid(name, 3)"), "abc");
    EXPECT_EQ(text("Right(name, 4)"), "品abc");
    EXPECT_EQ(text("Pos(name, 'b')"), "4");
    EXPECT_EQ(text("Pos('abcabc', 'b', 3)"), "5");
    EXPECT_EQ(text("Pos('abc', 'z')"), "0");
    EXPECT_EQ(text("Mid('abc', 5)"), "");
    EXPECT_EQ(text("Left('abc', 0) + Right('abc', 9)"), "abc");
    EXPECT_EQ(text("'[' + Trim(name) + '|' + LeftTrim(name) + '|' + RightTrim(name) + ']'", 2),
              "[pad|pad  |  pad]");
    EXPECT_EQ(text("Upper('aB赠') + Lower('Ab')"), "AB赠ab");
    EXPECT_EQ(text("Fill('赠-', 5) + Space(2) + '|'"), "赠-赠-赠  |");
}

TEST_F(ExprTest, ConversionsAndDates) {
    EXPECT_EQ(eval("Integer('12')"), Value(12));
    EXPECT_EQ(eval("Long(12.9)"), Value(12));
    EXPECT_EQ(eval("Dec('1.50')"), dec("1.5"));
    EXPECT_TRUE(eval("Number('abc')").isNull());
    EXPECT_TRUE(eval("Number('1e400')").isNull());
    EXPECT_EQ(text("Date('2024-03-09')"), "2024-03-09");
    EXPECT_TRUE(eval("Date(2024, 2, 30)").isNull());
    EXPECT_EQ(text("Year(Date(2024, 3, 9)) + Month(Date('2024-03-09')) + Day('2024-03-09')"),
              "2036");
    EXPECT_EQ(text("DateTime(Date(2024, 3, 9), Time('10:30:00'))"), "2024-03-09 10:30:00");
    EXPECT_EQ(text("Time(DateTime('2024-03-09 08:15:00'))"), "08:15:00");
    EXPECT_EQ(text("String(1234.5, '#,##0.00')"), "1,234.50");
    EXPECT_EQ(text("String(Date(2024, 3, 9), 'yyyy年mm月dd日')"), "2024年03月09日");
    EXPECT_EQ(text("String(qty)", 2), "3");
    EXPECT_EQ(eval("RGB(255, 0, 0)"), Value(255));
    EXPECT_EQ(eval("RGB(0, 0, 255)"), Value(16711680));
    EXPECT_EQ(text("Abs(-2.5) + Abs(qty)", 1), "3.5");
}

TEST_F(ExprTest, WholeNumbersBeyondALongAreNotCut) {
    // Cut to the largest long, these once printed as a plausible 9223372036854775807.
    EXPECT_EQ(evalError("Integer(1e30)").message, "number out of range");
    EXPECT_EQ(evalError("Long(-9223372036854775809)").message, "number out of range");
    EXPECT_TRUE(eval("Long('99999999999999999999')").isNull());
    EXPECT_EQ(eval("Long(-9223372036854775808)"), Value(INT64_MIN));
    EXPECT_EQ(eval("Integer('-12.7')"), Value(-12));
    EXPECT_EQ(text("Round(Long(9223372036854775807), -1)"), "9223372036854775810");
    EXPECT_EQ(eval("Round(qty, -1)", 4), Value(10));
}

TEST_F(ExprTest, IfAndCaseChooseLazily) {
    EXPECT_EQ(text("If(qty > 2, 'many', nosuch)", 2), "many");
    const char* sizes =
        "Case(qty WHEN 1 THEN 'one' WHEN 2, 3 THEN 'few' WHEN 4 TO 6 THEN 'some' "
        "WHEN IS >= 10 THEN 'lots' ELSE 'other')";
    EXPECT_EQ(text(sizes, 1), "one");
    EXPECT_EQ(text(sizes, 2), "few");
    EXPECT_EQ(text(sizes, 3), "some");
    EXPECT_EQ(text(sizes, 4), "lots");
    EXPECT_TRUE(eval("case(qty when 99 then 1)").isNull());
}

TEST_F(ExprTest, ReportFunctionsAskTheContext) {
    EXPECT_EQ(text("GetRow()", 4), "4");
    EXPECT_EQ(text("CurrentRow()"), "2");
    EXPECT_EQ(text("RowCount()"), "5");
    EXPECT_EQ(text("Page() + PageCount()", 4), "5");
    EXPECT_EQ(text("Describe('DataWindow.Table.Select')"), "SELECT billid FROM bill");
    EXPECT_EQ(text("LookUpDisplay(unit)", 3), "Unit:m");
}

TEST_F(ExprTest, AggregatesOverAllPageAndGroup) {
    EXPECT_EQ(text("Sum(amount for all)", 3), "36");
    EXPECT_EQ(text("sum(amount)", 3), "36");
    EXPECT_EQ(text("SUM(Amount For All Distinct)", 3), "36");
    EXPECT_EQ(text("Sum(amount for page)", 3), "5");
    EXPECT_EQ(text("Sum(amount FOR GROUP 1)", 2), "30.75");
    EXPECT_EQ(text("Count(amount for all)"), "4");
    EXPECT_EQ(text("Count(grp for all distinct)"), "2");
    // qty is a long column, 3 a decimal literal: rows 2, 3 and 5 give the same 3.
    EXPECT_EQ(text("Count(If(qty = 5, 3, qty) for all distinct)"), "3");
    EXPECT_EQ(text("Sum(If(qty = 5, 3, qty) for all distinct)"), "16");
    EXPECT_EQ(text("Avg(amount for all)"), "9");
    EXPECT_EQ(text("Max(qty for group 1) + Min(qty for group 1)", 4), "15");
    EXPECT_EQ(text("Max(billid for all)"), "B005");
    EXPECT_EQ(text("Max(2, 7) + Min(2, 7)"), "9");
    std::vector<std::string> running;
    for (long row = 1; row <= 5; ++row) running.push_back(text("CumulativeSum(qty for all)", row));
    EXPECT_EQ(running, (std::vector<std::string>{"1", "4", "9", "21", "24"}));
    EXPECT_EQ(text("CumulativeSum(qty for group 1)", 4), "17");
}

TEST_F(ExprTest, AggregateIsComputedOncePerDataVersion) {
    auto expr = Expression::compile("amount / Sum(amount for all)").value();
    for (long row = 1; row <= 5; ++row) (void)expr->evaluate(ctx, row);
    EXPECT_EQ(ctx.valueCalls, 5 + 5);
    ctx.columns[1].values[2] = dec("64");
    ctx.data = 2;
    EXPECT_EQ(expr->evaluate(ctx, 3).value(), dec("0.64"));
}

TEST_F(ExprTest, AggregateThatFailsIsNotScannedAgainForEveryRow) {
    // Only row 4 holds the value of the wrong kind, so each scan runs to it before failing.
    auto expr = Expression::compile("Sum(If(qty = 12, 'x', qty) for all)").value();
    EXPECT_EQ(expr->evaluate(ctx, 1).error().message, "Sum expects numbers, not a string");
    long oneScan = ctx.valueCalls;
    for (long row = 2; row <= 5; ++row)
        EXPECT_EQ(expr->evaluate(ctx, row).error().message, "Sum expects numbers, not a string");
    EXPECT_EQ(ctx.valueCalls, oneScan);
    ctx.columns[2].values[3] = Value(2);
    ctx.data = 2;
    EXPECT_EQ(expr->evaluate(ctx, 1).value().toText(), "14");
}

TEST_F(ExprTest, GiftRowFormatComesFromAnExpression) {
    // Row 3 holds a gift: its row number is not its position, so its amount shows marked.
    auto format = eval("If(rowno=GetRow(),\"####\",\"赠品####\")", 3);
    EXPECT_EQ(format.toText(), "赠品####");
    EXPECT_EQ(formatValue(eval("rowno", 3), format.asString()).text, "赠品7");
    EXPECT_EQ(formatValue(eval("rowno", 2), text("If(rowno=GetRow(),'####','赠品####')", 2)).text,
              "2");
}

TEST_F(ExprTest, CompileErrorsSayWhatWasExpectedAndWhere) {
    struct Case {
        const char* text;
        const char* message;
        int column;
    };
    const Case cases[] = {
        {"", "expected a value", 1},
        {"1 +", "expected a value", 4},
        {"(1 + 2", "expected ')'", 7},
        {"a b", "expected an operator", 3},
        {"1 @ 2", "expected an operator", 3},
        {"'abc", "expected a closing quote", 5},
        {"'赠品' +", "expected a value", 7},
        {"foo(1)", "unknown function 'foo'", 1},
        {"1 + Len(1, 2)", "wrong number of arguments for Len", 5},
        {"Left('a' 1)", "expected ',' or ')'", 10},
        {"Sum(x for ever)", "expected ALL, PAGE or GROUP", 11},
        {"Sum(x for group 0)", "expected a group number", 17},
        {"Case(x WHEN 1 2)", "expected THEN", 15},
        {"Case(x 1)", "expected WHEN", 8},
        {"LookUpDisplay(1)", "expected a column name", 15},
        {"and 1", "expected a value", 1},
        {"1e999", "number out of range", 1},
    };
    for (const auto& c : cases) {
        Error e = compileError(c.text);
        EXPECT_EQ(e.message, c.message) << c.text;
        EXPECT_EQ(e.line, 1) << c.text;
        EXPECT_EQ(e.column, c.column) << c.text;
    }
}

TEST_F(ExprTest, HostileTextFailsCleanly) {
    EXPECT_EQ(compileError(std::string(5000, '(') + "1").message, "expression nested too deeply");
    EXPECT_EQ(compileError(std::string(5000, '-') + "1").message, "expression nested too deeply");
    std::string chain = "1";
    for (int i = 0; i < 5000; ++i) chain += "+1";
    EXPECT_EQ(compileError(chain).message, "expression nested too deeply");
    EXPECT_EQ(evalError("10 ^ 99").message, "number out of range");
    EXPECT_EQ(evalError("Space(2000000000)").message, "argument 1 of Space is out of range");
    // Each join is small enough; together they would take seconds and hundreds of megabytes.
    std::string joins = "Space(999999)";
    for (int i = 0; i < 4; ++i) joins += " + Space(999999)";
    EXPECT_EQ(evalError(joins).message, "text too long");
    EXPECT_EQ(text("Len(Fill('赠', 999999) + '品')"), "1000000");
}

TEST_F(ExprTest, EvaluationErrorsNameTheProblem) {
    EXPECT_EQ(evalError("nosuch + 1").message, "unknown name 'nosuch'");
    EXPECT_EQ(evalError("1 + nosuch").column, 5);
    EXPECT_EQ(evalError("'a' - 1").message, "cannot apply '-' to a string and a number");
    EXPECT_EQ(evalError("Left('abc', 'x')").message, "argument 2 of Left must be a number");
    EXPECT_EQ(evalError("Sum(billid for all)").message, "Sum expects numbers, not a string");
    EXPECT_EQ(evalError("If('x', 1, 2)").message, "expected a condition, not a string");
    EXPECT_FALSE(Expression::compile("nosuch = 1").value()->isTrue(ctx, 1));
}

TEST_F(ExprTest, UnknownNameIsFoundOnceTheSchemaChanges) {
    auto expr = Expression::compile("discount * 2").value();
    EXPECT_FALSE(expr->evaluate(ctx, 1).ok());
    ctx.columns.push_back({"discount", {Value(4), Value(5), Value(6), Value(7), Value(8)}});
    EXPECT_FALSE(expr->evaluate(ctx, 1).ok());  // same schema version: the binding stands
    ctx.schema = 2;
    EXPECT_EQ(expr->evaluate(ctx, 2).value().toText(), "10");
}

TEST_F(ExprTest, NullStringColumnsOnTheFastPath) {
    EXPECT_TRUE(eval("name = 'x'", 3).isNull());
    EXPECT_TRUE(eval("not (name <> 'x')", 3).isNull());
    EXPECT_FALSE(Expression::compile("name <> 'x'").value()->isTrue(ctx, 3));
    EXPECT_EQ(text("name + '!' = 'x!'", 4), "true");
    EXPECT_EQ(text("TRUE and not False"), "true");
}

TEST(ExprAggregates, EmptyReport) {
    TableContext empty;
    empty.columns = {{"amount", {}}};
    auto value = [&](std::string_view text) {
        return Expression::compile(text).value()->evaluate(empty, 0).value();
    };
    EXPECT_EQ(value("Sum(amount for all)").toText(), "0");
    EXPECT_EQ(value("Count(amount for all)").toText(), "0");
    EXPECT_TRUE(value("Avg(amount for all)").isNull());
    EXPECT_TRUE(value("Max(amount for all)").isNull());
    EXPECT_EQ(value("CumulativeSum(amount for all)").toText(), "0");
}

TEST(ExprCache, CompilesEachTextOnce) {
    ExpressionCache cache;
    auto a = cache.get("qty * 2");
    auto b = cache.get(std::string("qty * 2"));
    ASSERT_TRUE(a.ok());
    EXPECT_EQ(a.value().get(), b.value().get());
    EXPECT_EQ(a.value()->text(), "qty * 2");
    EXPECT_FALSE(cache.get("qty *").ok());
}

}  // namespace
}  // namespace print::engine
