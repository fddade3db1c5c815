// The report expression language: compiled once per text, evaluated many times per row.
//
// Operators `+ - * / ^`, `= <> < > <= >=`, `and or not` (any case), parentheses, strings in
// either quote (with `~` escapes and doubled quotes), exact decimal numbers, and the functions
// If, Case(x WHEN a THEN b ELSE c), String(value, format), Integer, Long, Real, Dec, Number, Date,
// DateTime, Time, Today, Now, Year, Month, Day, Page, PageCount, GetRow, CurrentRow, RowCount,
// LookUpDisplay, Describe, IsNull, Len, Left, Right, Mid, Pos, Trim, Upper, Lower, Fill, Space,
// Abs, Round, Truncate, Mod, RGB, and the aggregates Sum, Count, Avg, Max, Min, CumulativeSum
// with `for all`, `for page` and `for group N`. Function names are not case sensitive. String
// functions count characters, not bytes. `+` with text on one side and a number on the other
// joins the text with the number's plain text ('第' + Page() + '页').
//
// Failures: `compile` returns an Error whose column is the 1-based character position where the
// text stopped making sense (an unknown function or a wrong argument count is found there too);
// `evaluate` returns an Error for an unknown name, an argument of the wrong kind, a number out
// of range, text longer than 4,000,000 bytes, an aggregate for a group the report does not
// have, a computed field that cannot be evaluated, or evaluations nested too deeply through
// computed fields and Describe('Evaluate(...)') (every evaluation, also one started inside
// another, counts against one bound and the thread's stack); division by zero gives null.
// Nothing throws.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "common/value.h"
#include "engine/eval_context.h"

namespace print::engine {

struct ExprNode;

class Expression {
public:
    static Result<std::shared_ptr<const Expression>> compile(std::string_view text);

    Result<Value> evaluate(const EvalContext& ctx, long row) const;
    // Evaluates as a condition: a true boolean or a non-zero number is true; null and errors
    // are false (use `evaluate` to tell errors apart).
    bool isTrue(const EvalContext& ctx, long row) const;

    const std::string& text() const { return m_text; }

    // Every aggregate `for group N` in the text: N and the 1-based character position of the
    // aggregate, in the order they are written.
    struct GroupUse {
        int level = 0;
        int column = 0;
    };
    std::vector<GroupUse> groupUses() const;

    Expression(std::string text, std::unique_ptr<ExprNode> root);
    ~Expression();

private:
    std::string m_text;
    std::unique_ptr<ExprNode> m_root;
};

// Compiled expressions by text, so that a property expression is parsed once per report and
// not once per row.
class ExpressionCache {
public:
    Result<std::shared_ptr<const Expression>> get(std::string_view text);
    void clear() { m_cache.clear(); }

private:
    // Transparent, so that looking up a text already compiled does not copy it.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, std::shared_ptr<const Expression>, TextHash, std::equal_to<>>
        m_cache;
};

}  // namespace print::engine
