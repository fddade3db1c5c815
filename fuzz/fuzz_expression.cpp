// Compiles arbitrary text as an expression and evaluates it on every row of a tiny report, then
// uses the text as a display format. Neither may crash, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "engine/expression.h"
#include "engine/format.h"

namespace {

using print::Value;

class TinyContext : public print::engine::EvalContext {
public:
    TinyContext() {
        m_names = {"billid", "amount", "qty", "grp", "name"};
        m_rows = {
            {Value("B001"), Value(*print::Decimal::parse("10.5")), Value(1), Value("a"),
             Value("赠品")},
            {Value("B002"), Value(), Value(3), Value("a"), Value()},
            {Value("B003"), Value(*print::Decimal::parse("-0.25")), Value(-7), Value("b"),
             Value(*print::Date::fromYmd(2024, 3, 9))},
        };
    }

    uint64_t schemaVersion() const override { return 1; }
    uint64_t dataVersion() const override { return 1; }
    int resolveName(std::string_view name) const override {
        for (size_t i = 0; i < m_names.size(); ++i)
            if (print::iequals(m_names[i], name)) return static_cast<int>(i);
        if (name == "#1") return 0;
        return -1;
    }
    Value valueAt(int slot, long row) const override {
        if (row < 1 || row > rowCount()) return Value();
        return m_rows[row - 1][slot];
    }
    bool stringAt(int slot, long row, std::string_view& out) const override {
        if (row < 1 || row > rowCount() || !m_rows[row - 1][slot].isString()) return false;
        out = m_rows[row - 1][slot].asString();
        return true;
    }
    long rowCount() const override { return static_cast<long>(m_rows.size()); }
    long currentRow() const override { return 1; }
    std::string lookUpDisplay(int slot, long row) const override {
        return valueAt(slot, row).toText();
    }
    std::string describe(std::string_view path) const override { return "?"; }
    long page(long row) const override { return row <= 2 ? 1 : 2; }
    long pageCount() const override { return 2; }
    std::pair<long, long> pageRange(long row) const override {
        return row <= 2 ? std::pair<long, long>{1, 2} : std::pair<long, long>{3, 3};
    }
    print::Result<std::pair<long, long>> groupRange(int level, long row) const override {
        if (level > 2) return print::Error{"the report has no group " + std::to_string(level)};
        return level == 1 && row <= 2 ? std::pair<long, long>{1, 2} : std::pair<long, long>{3, 3};
    }

private:
    std::vector<std::string> m_names;
    std::vector<std::vector<Value>> m_rows;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const TinyContext ctx;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto compiled = print::engine::Expression::compile(text);
    if (compiled) {
        const auto& expr = *compiled.value();
        for (long row = 0; row <= ctx.rowCount() + 1; ++row) {
            auto value = expr.evaluate(ctx, row);
            (void)expr.isTrue(ctx, row);
            if (value) (void)print::engine::formatValue(value.value(), "#,##0.00");
        }
    }
    const Value samples[] = {Value(), Value(-12), Value(*print::Decimal::parse("1234.565")),
                             Value("6175551212"), Value(*print::Date::fromYmd(2024, 3, 9))};
    for (const auto& v : samples) (void)print::engine::formatValue(v, text);
    return 0;
}
