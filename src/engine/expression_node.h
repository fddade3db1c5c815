// The compiled form of an expression, shared by the parser and the evaluator. Private to the
// expression module.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/result.h"
#include "common/value.h"

namespace print::engine {

enum class NodeKind : uint8_t {
    Literal,
    Name,
    Negate,
    Not,
    Arith,
    Compare,
    And,
    Or,
    Call,
    Case,
    Aggregate,
};

enum class ArithOp : uint8_t { Add, Sub, Mul, Div, Pow };
enum class CompareOp : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };

enum class Func : uint8_t {
    If,
    String,
    Integer,
    Long,
    Real,
    Dec,
    Number,
    Date,
    DateTime,
    Time,
    Today,
    Now,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    Page,
    PageCount,
    PageAcross,
    PageCountAcross,
    GetRow,
    CurrentRow,
    RowCount,
    LookUpDisplay,
    Describe,
    IsNull,
    Len,
    Left,
    Right,
    Mid,
    Pos,
    Trim,
    LeftTrim,
    RightTrim,
    Upper,
    Lower,
    Fill,
    Space,
    Abs,
    Round,
    Truncate,
    Mod,
    Rgb,
    Bitmap,
    Max2,  // Max(a, b) and Min(a, b) outside an aggregate
    Min2,
    Sum,
    Count,
    Avg,
    Max,
    Min,
    CumulativeSum,
};

enum class AggRange : uint8_t { All, Page, Group };

struct ExprNode;

// One `WHEN` item: a value, a range `a TO b`, or `IS op value`.
struct CaseMatch {
    enum class Kind : uint8_t { Equal, Range, Is } kind = Kind::Equal;
    CompareOp op = CompareOp::Eq;
    std::unique_ptr<ExprNode> low;
    std::unique_ptr<ExprNode> high;
};

struct CaseArm {
    std::vector<CaseMatch> matches;
    std::unique_ptr<ExprNode> result;
};

// Results of one aggregate node for the ranges it was asked about while the data stayed the
// same. Reading a computed field like Sum(x for all) on every row would otherwise be O(n^2).
struct AggregateCache {
    struct Entry {
        Value result;
        std::vector<Value> running;  // CumulativeSum: the sum up to each row of the range
        // A failure is kept too: a value of the wrong kind in the last row would otherwise be
        // found again by a scan of the whole range for every row shown.
        std::optional<Error> error;
    };
    uint64_t dataVersion = 0;
    uint64_t schemaVersion = 0;
    std::map<std::pair<long, long>, Entry> entries;
};

struct ExprNode {
    NodeKind kind = NodeKind::Literal;
    int column = 1;  // 1-based character position in the text, for errors
    int depth = 1;   // height of the subtree, bounded so evaluation cannot exhaust the stack
    ArithOp arith = ArithOp::Add;
    CompareOp compare = CompareOp::Eq;
    Func func = Func::If;

    Value literal;
    std::string name;  // Name: as written; Call: the function's display name
    std::vector<std::unique_ptr<ExprNode>> args;

    std::vector<CaseArm> arms;
    std::unique_ptr<ExprNode> elseResult;

    AggRange range = AggRange::All;
    int groupLevel = 1;
    bool distinct = false;

    // Name binding, valid while the context's schema version stays the same.
    mutable bool bound = false;
    mutable uint64_t boundSchema = 0;
    mutable int slot = -1;
    mutable bool computed = false;  // the slot is a computed field: read with its errors

    mutable std::unique_ptr<AggregateCache> aggregateCache;
};

}  // namespace print::engine
