#include "engine/expression.h"

#include <pthread.h>

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "common/text.h"
#include "engine/expression_node.h"
#include "engine/expression_number.h"
#include "engine/expression_parser.h"
#include "engine/format.h"

namespace print::engine {
namespace {

// Three-valued logic: a comparison with null is neither true nor false, and a condition that
// is null counts as false.
enum class Truth : uint8_t { False, True, Null };

// Fill and Space refuse to build texts larger than any report cell could show, and joining
// texts stops at the bytes that many characters can take, so a long chain of `+` cannot
// exhaust memory.
constexpr int64_t kMaxBuiltText = 1000000;
constexpr size_t kMaxBuiltBytes = 4 * kMaxBuiltText;

std::string kindName(const Value& v) {
    switch (v.type()) {
        case ValueType::Null:
            return "null";
        case ValueType::String:
            return "a string";
        case ValueType::Number:
        case ValueType::Long:
            return "a number";
        case ValueType::Date:
            return "a date";
        case ValueType::DateTime:
            return "a datetime";
        case ValueType::Time:
            return "a time";
        case ValueType::Bool:
            return "a boolean";
    }
    return "a value";
}

char opSymbol(ArithOp op) {
    switch (op) {
        case ArithOp::Add:
            return '+';
        case ArithOp::Sub:
            return '-';
        case ArithOp::Mul:
            return '*';
        case ArithOp::Div:
            return '/';
        case ArithOp::Pow:
            return '^';
    }
    return '?';
}

bool holds(CompareOp op, int c) {
    switch (op) {
        case CompareOp::Eq:
            return c == 0;
        case CompareOp::Ne:
            return c != 0;
        case CompareOp::Lt:
            return c < 0;
        case CompareOp::Gt:
            return c > 0;
        case CompareOp::Le:
            return c <= 0;
        case CompareOp::Ge:
            return c >= 0;
    }
    return false;
}

std::string_view trimBlanks(std::string_view s, bool left, bool right) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (left && !s.empty() && blank(s.front())) s.remove_prefix(1);
    while (right && !s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<Date> dateOf(const Value& v) {
    switch (v.type()) {
        case ValueType::Date:
            return v.asDate();
        case ValueType::DateTime:
            return v.asDateTime().date;
        case ValueType::String: {
            auto text = trimBlanks(v.asString(), true, true);
            if (auto d = Date::parse(text)) return d;
            if (auto dt = DateTime::parse(text)) return dt->date;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<Time> timeOf(const Value& v) {
    switch (v.type()) {
        case ValueType::Time:
            return v.asTime();
        case ValueType::DateTime:
            return v.asDateTime().time;
        case ValueType::String: {
            auto text = trimBlanks(v.asString(), true, true);
            if (auto t = Time::parse(text)) return t;
            if (auto dt = DateTime::parse(text)) return dt->time;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

bool isDateKind(const Value& v) {
    return v.type() == ValueType::Date || v.type() == ValueType::DateTime ||
           v.type() == ValueType::Time || v.isString();
}

// Sum of numbers that stays a Long while every term is one and nothing overflows.
class NumberSum {
public:
    bool add(const Value& v) {
        if (m_isLong && v.type() == ValueType::Long) {
            int64_t r;
            if (!__builtin_add_overflow(m_long, v.asLong(), &r)) {
                m_long = r;
                return true;
            }
        }
        if (m_isLong) {
            m_decimal = Decimal(m_long);
            m_isLong = false;
        }
        auto r = checkedAdd(m_decimal, *v.toDecimal());
        if (!r) return false;
        m_decimal = *r;
        return true;
    }
    Value value() const { return m_isLong ? Value(m_long) : Value(m_decimal); }
    Decimal decimal() const { return m_isLong ? Decimal(m_long) : m_decimal; }

private:
    bool m_isLong = true;
    int64_t m_long = 0;
    Decimal m_decimal;
};

// Evaluations nest: an expression reads a computed field, whose expression may call
// Describe("Evaluate(...)"), whose expression reads another field... Each evaluation takes stack
// in proportion to the height of its tree. Where an evaluation calls back into its report in a
// way that may evaluate again (a computed field, Describe, LookUpDisplay, a group's rows), it
// counts its height plus a share for the calls in between; past kMaxNestingUnits, or past half
// of the thread's stack left when the first of them began (measured, for builds whose frames
// are larger), the call is refused and the whole evaluation fails with kTooDeep instead of
// overflowing the stack. Evaluations that never call back, such as a Find over columns, pay
// nothing. Real reports nest a few levels; a chain of 800 plain computed fields still works.
constexpr int kMaxNestingUnits = 10000;
constexpr int kUnitsPerEvaluation = 10;
constexpr size_t kFallbackStackRoom = size_t{1} << 20;
const char* const kTooDeep =
    "expressions nest too deeply (through computed fields or Describe('Evaluate(...)'))";

struct Nesting {
    int units = 0;               // 0: no call back under way on this thread
    const char* base = nullptr;  // frame of the first call back
    size_t room = 0;             // bytes of stack the nested ones may take below it (0: unknown)
    bool exceeded = false;       // a call back was refused since the first began
};
thread_local Nesting t_nesting;

// Bytes of the current thread's stack below `here`.
size_t stackRoomBelow(const char* here) {
    thread_local const char* low = [] {
        const char* bottom = nullptr;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &address, &size) == 0)
                bottom = static_cast<const char*>(address);
            pthread_attr_destroy(&attr);
        }
        return bottom;
    }();
    if (!low || here <= low) return kFallbackStackRoom;
    return static_cast<size_t>(here - low);
}

// One call back into the report by an evaluation of `units`, for as long as it lasts.
class CallBack {
public:
    explicit CallBack(int units) : m_units(units) {
        Nesting& n = t_nesting;
        const char* here = static_cast<const char*>(__builtin_frame_address(0));
        if (n.units == 0) {
            n.base = here;
            n.room = 0;
            n.exceeded = false;
        } else {
            // Half of what was left: the last evaluation allowed still has its own tree to walk.
            if (n.room == 0) n.room = stackRoomBelow(n.base) / 2;
            size_t used = here < n.base ? static_cast<size_t>(n.base - here) : 0;
            if (n.units + m_units > kMaxNestingUnits || used > n.room) {
                n.exceeded = true;
                m_units = 0;
                return;
            }
        }
        n.units += m_units;
    }
    ~CallBack() { t_nesting.units -= m_units; }
    CallBack(const CallBack&) = delete;
    CallBack& operator=(const CallBack&) = delete;

    bool refused() const { return m_units == 0; }
    // Whether a call back was refused since the first began; a nested evaluation's error may
    // have been turned into a plain answer on the way (Describe answers "!").
    static bool exceeded() { return t_nesting.exceeded; }

private:
    int m_units;
};

class Evaluator {
public:
    Evaluator(const EvalContext& ctx, long row, int treeHeight)
        : m_ctx(ctx), m_row(row), m_units(treeHeight + kUnitsPerEvaluation) {}

    bool failed() const { return m_error.has_value(); }
    Error takeError() { return std::move(*m_error); }

    Value eval(const ExprNode& n) {
        switch (n.kind) {
            case NodeKind::Literal:
                return n.literal;
            case NodeKind::Name: {
                int slot = slotOf(n);
                if (slot < 0) return Value();
                if (!n.computed) return m_ctx.valueAt(slot, m_row);
                return computedValue(n, slot);
            }
            case NodeKind::Negate:
                return negate(n);
            case NodeKind::Not:
            case NodeKind::Compare:
            case NodeKind::And:
            case NodeKind::Or: {
                Truth t = truth(n);
                if (failed() || t == Truth::Null) return Value();
                return Value(t == Truth::True);
            }
            case NodeKind::Arith:
                return arith(n);
            case NodeKind::Call:
                return call(n);
            case NodeKind::Case:
                return caseOf(n);
            case NodeKind::Aggregate:
                return aggregate(n);
        }
        return Value();
    }

    Truth truth(const ExprNode& n) {
        switch (n.kind) {
            case NodeKind::Compare:
                return compare(n);
            case NodeKind::Not: {
                Truth t = truth(*n.args[0]);
                if (t == Truth::Null) return t;
                return t == Truth::True ? Truth::False : Truth::True;
            }
            case NodeKind::And: {
                Truth a = truth(*n.args[0]);
                if (failed()) return Truth::Null;
                if (a == Truth::False) return Truth::False;
                Truth b = truth(*n.args[1]);
                if (failed()) return Truth::Null;
                if (b == Truth::False) return Truth::False;
                return a == Truth::True && b == Truth::True ? Truth::True : Truth::Null;
            }
            case NodeKind::Or: {
                Truth a = truth(*n.args[0]);
                if (failed()) return Truth::Null;
                if (a == Truth::True) return Truth::True;
                Truth b = truth(*n.args[1]);
                if (failed()) return Truth::Null;
                if (b == Truth::True) return Truth::True;
                return a == Truth::False && b == Truth::False ? Truth::False : Truth::Null;
            }
            default: {
                Value v = eval(n);
                if (failed()) return Truth::Null;
                return truthOf(n, v);
            }
        }
    }

private:
    const EvalContext& m_ctx;
    long m_row;
    int m_units;  // what this evaluation counts while it calls back into the report
    std::optional<Error> m_error;

    Value fail(const ExprNode& at, std::string message) {
        if (!m_error) m_error = Error{std::move(message), 1, at.column};
        return Value();
    }

    // A computed field's value, or its error. Kept out of eval, whose every other case is on
    // the path of a scan over a million rows.
    [[gnu::noinline]] Value computedValue(const ExprNode& n, int slot) {
        CallBack callBack(m_units);
        if (callBack.refused()) return fail(n, kTooDeep);
        auto v = m_ctx.evaluateSlot(slot, m_row);
        if (!v.ok()) return fail(n, v.error().message);
        return std::move(v).value();
    }

    int slotOf(const ExprNode& n) {
        uint64_t version = m_ctx.schemaVersion();
        if (!n.bound || n.boundSchema != version) {
            n.slot = m_ctx.resolveName(n.name);
            n.computed = n.slot >= 0 && m_ctx.isComputed(n.slot);
            n.boundSchema = version;
            n.bound = true;
        }
        if (n.slot < 0) fail(n, "unknown name '" + n.name + "'");
        return n.slot;
    }

    Truth truthOf(const ExprNode& at, const Value& v) {
        switch (v.type()) {
            case ValueType::Null:
                return Truth::Null;
            case ValueType::Bool:
                return v.asBool() ? Truth::True : Truth::False;
            case ValueType::Long:
                return v.asLong() != 0 ? Truth::True : Truth::False;
            case ValueType::Number:
                return v.asDecimal().isZero() ? Truth::False : Truth::True;
            default:
                fail(at, "expected a condition, not " + kindName(v));
                return Truth::Null;
        }
    }

    // A string operand without copying it: a string literal, or a stored string column read
    // through the context's fast path. This keeps `col = 'x'` free of allocations per row.
    bool stringView(const ExprNode& n, std::string_view& out) {
        if (n.kind == NodeKind::Literal) {
            if (!n.literal.isString()) return false;
            out = n.literal.asString();
            return true;
        }
        if (n.kind != NodeKind::Name) return false;
        int slot = slotOf(n);
        return slot >= 0 && m_ctx.stringAt(slot, m_row, out);
    }

    // compareValues, plus text compared with another kind read as that kind, the way a filter
    // typed by hand (`amount > '100'`, `billdate = '2024-03-09'`) means it.
    std::optional<int> compareLoose(const ExprNode& at, const Value& a, const Value& b) {
        if (auto r = compareValues(a, b)) return r;
        if (a.isString() != b.isString()) {
            const Value& text = a.isString() ? a : b;
            const Value& other = a.isString() ? b : a;
            std::optional<Value> converted;
            if (other.isNumeric()) {
                if (auto d = parseNumberText(text.asString())) converted = Value(*d);
            } else {
                auto trimmed = trimBlanks(text.asString(), true, true);
                converted = parseValue(trimmed, other.type());
                // Databases and exports write dates with a time part ('2024-03-09 00:00:00');
                // against a date such a text is a date-time.
                if (!converted && other.type() == ValueType::Date)
                    converted = parseValue(trimmed, ValueType::DateTime);
            }
            if (converted) {
                auto r = a.isString() ? compareValues(*converted, b) : compareValues(a, *converted);
                if (r) return r;
            }
        }
        fail(at, "cannot compare " + kindName(a) + " with " + kindName(b));
        return std::nullopt;
    }

    static Truth result(CompareOp op, int c) { return holds(op, c) ? Truth::True : Truth::False; }

    // Whole numbers compare as integers: `qty = 5` is a Long against a Decimal literal, and
    // going through Decimal alignment for every row would cost more than the whole scan.
    static std::optional<int> compareIntegers(const Value& a, const Value& b) {
        auto asInt = [](const Value& v, int64_t& out) {
            if (v.type() == ValueType::Long) {
                out = v.asLong();
                return true;
            }
            if (v.type() != ValueType::Number || !v.asDecimal().isInteger()) return false;
            __int128 m = v.asDecimal().mantissa();
            if (m < INT64_MIN || m > INT64_MAX) return false;
            out = static_cast<int64_t>(m);
            return true;
        };
        int64_t x, y;
        if (!asInt(a, x) || !asInt(b, y)) return std::nullopt;
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    Truth compare(const ExprNode& n) {
        const ExprNode& left = *n.args[0];
        const ExprNode& right = *n.args[1];
        std::string_view a, b;
        bool aView = stringView(left, a);
        bool bView = stringView(right, b);
        if (failed()) return Truth::Null;
        if (aView && bView) return result(n.compare, a.compare(b));

        // Literals are used in place; only computed operands are materialised.
        Value va, vb;
        const Value* pa = &va;
        const Value* pb = &vb;
        if (!aView) {
            if (left.kind == NodeKind::Literal)
                pa = &left.literal;
            else
                va = eval(left);
        }
        if (!bView) {
            if (right.kind == NodeKind::Literal)
                pb = &right.literal;
            else
                vb = eval(right);
        }
        if (failed()) return Truth::Null;
        if (aView) {
            if (pb->isString()) return result(n.compare, a.compare(pb->asString()));
            va = Value(a);
        }
        if (bView) {
            if (pa->isString())
                return result(n.compare, std::string_view(pa->asString()).compare(b));
            vb = Value(b);
        }
        if (pa->isNull() || pb->isNull()) return Truth::Null;
        if (auto c = compareIntegers(*pa, *pb)) return result(n.compare, *c);
        auto c = compareLoose(n, *pa, *pb);
        if (!c) return Truth::Null;
        return result(n.compare, *c);
    }

    Value negate(const ExprNode& n) {
        Value v = eval(*n.args[0]);
        if (failed() || v.isNull()) return Value();
        switch (v.type()) {
            case ValueType::Long:
                if (v.asLong() == INT64_MIN) return Value(-Decimal(v.asLong()));
                return Value(-v.asLong());
            case ValueType::Number:
                return Value(-v.asDecimal());
            case ValueType::Bool:
                return Value(static_cast<int64_t>(v.asBool() ? -1 : 0));
            default:
                return fail(n, "cannot negate " + kindName(v));
        }
    }

    // Text joins text and numbers: `'第' + Page() + '页'` is how reports number their pages.
    static bool joinsText(const Value& v) {
        return v.isString() || v.type() == ValueType::Number || v.type() == ValueType::Long;
    }

    Value join(const ExprNode& n, const Value& a, const Value& b) {
        std::string scratchA, scratchB;
        auto x = textOf(a, scratchA);
        auto y = textOf(b, scratchB);
        if (x.size() + y.size() > kMaxBuiltBytes) return fail(n, "text too long");
        std::string out;
        out.reserve(x.size() + y.size());
        out.append(x).append(y);
        return Value(std::move(out));
    }

    Value arith(const ExprNode& n) {
        Value a = eval(*n.args[0]);
        Value b = eval(*n.args[1]);
        if (failed() || a.isNull() || b.isNull()) return Value();
        if (n.arith == ArithOp::Add && (a.isString() || b.isString()) && joinsText(a) &&
            joinsText(b))
            return join(n, a, b);
        if (!a.isNumeric() || !b.isNumeric()) {
            return fail(n, std::string("cannot apply '") + opSymbol(n.arith) + "' to " +
                               kindName(a) + " and " + kindName(b));
        }
        if (a.type() == ValueType::Long && b.type() == ValueType::Long) {
            int64_t x = a.asLong(), y = b.asLong(), r;
            bool overflow = true;
            switch (n.arith) {
                case ArithOp::Add:
                    overflow = __builtin_add_overflow(x, y, &r);
                    break;
                case ArithOp::Sub:
                    overflow = __builtin_sub_overflow(x, y, &r);
                    break;
                case ArithOp::Mul:
                    overflow = __builtin_mul_overflow(x, y, &r);
                    break;
                default:
                    break;
            }
            if (!overflow) return Value(r);
        }
        Decimal x = *a.toDecimal();
        Decimal y = *b.toDecimal();
        std::optional<Decimal> r;
        switch (n.arith) {
            case ArithOp::Add:
                r = checkedAdd(x, y);
                break;
            case ArithOp::Sub:
                r = checkedSub(x, y);
                break;
            case ArithOp::Mul:
                r = checkedMul(x, y);
                break;
            case ArithOp::Div:
                if (y.isZero()) return Value();
                r = checkedDiv(x, y);
                break;
            case ArithOp::Pow:
                if (x.isZero() && y.sign() < 0) return Value();
                r = checkedPow(x, y);
                break;
        }
        if (!r) return fail(n, "number out of range");
        return Value(*r);
    }

    std::string argumentError(const ExprNode& n, size_t index, std::string_view expected) {
        return "argument " + std::to_string(index + 1) + " of " + n.name + " must be " +
               std::string(expected);
    }

    bool number(const ExprNode& n, const Value& v, size_t index, Decimal& out) {
        if (v.isNumeric()) {
            out = *v.toDecimal();
            return true;
        }
        fail(*n.args[index], argumentError(n, index, "a number"));
        return false;
    }

    bool integer(const ExprNode& n, const Value& v, size_t index, int64_t& out) {
        Decimal d;
        if (!number(n, v, index, d)) return false;
        out = d.toInt64();
        return true;
    }

    // String functions accept any value and work on its plain text.
    static std::string_view textOf(const Value& v, std::string& scratch) {
        if (v.isString()) return v.asString();
        scratch = v.toText();
        return scratch;
    }

    // Numbers from text or numbers; null for text that is not a number. A whole number too
    // large for a long is refused rather than cut to the largest long, which would print as a
    // plausible amount.
    std::optional<Value> converted(const ExprNode& n, const Value& v, bool toLong) {
        std::optional<Decimal> d;
        if (v.isString()) {
            d = parseNumberText(v.asString());
            if (!d) return Value();
        } else if (v.isNumeric()) {
            d = *v.toDecimal();
        } else {
            fail(*n.args[0], argumentError(n, 0, "a number or a string"));
            return std::nullopt;
        }
        if (!toLong) return Value(*d);
        Decimal whole = d->truncate(0);
        if (!fitsLong(whole)) {
            if (v.isString()) return Value();
            fail(n, "number out of range");
            return std::nullopt;
        }
        return Value(whole.toInt64());
    }

    static bool fitsLong(const Decimal& whole) {
        return whole.mantissa() >= INT64_MIN && whole.mantissa() <= INT64_MAX;
    }

    Value repeatText(const ExprNode& n, std::string_view unit, int64_t count) {
        if (count <= 0 || unit.empty()) return Value(std::string());
        if (count > kMaxBuiltText)
            return fail(n, "argument " + std::to_string(n.args.size()) + " of " + n.name +
                               " is out of range");
        size_t unitChars = utf8Length(unit);
        std::string out;
        out.reserve(static_cast<size_t>(count) / unitChars * unit.size() + unit.size());
        for (int64_t i = 0; i < count / static_cast<int64_t>(unitChars); ++i) out += unit;
        out += utf8Substr(unit, 0, static_cast<size_t>(count) % unitChars);
        return Value(std::move(out));
    }

    Value call(const ExprNode& n) {
        switch (n.func) {
            case Func::If: {
                Truth t = truth(*n.args[0]);
                if (failed()) return Value();
                return eval(*n.args[t == Truth::True ? 1 : 2]);
            }
            case Func::IsNull: {
                Value v = eval(*n.args[0]);
                if (failed()) return Value();
                return Value(v.isNull());
            }
            case Func::GetRow:
                return Value(static_cast<int64_t>(m_row));
            case Func::CurrentRow:
                return Value(static_cast<int64_t>(m_ctx.currentRow()));
            case Func::RowCount:
                return Value(static_cast<int64_t>(m_ctx.rowCount()));
            case Func::Page:
                return Value(static_cast<int64_t>(m_ctx.page(m_row)));
            case Func::PageCount: {
                // A count the pages do not know yet is null, so that a page shown before it
                // is known says nothing rather than a wrong number.
                const long count = m_ctx.pageCount();
                return count < 0 ? Value() : Value(static_cast<int64_t>(count));
            }
            case Func::PageAcross:
            case Func::PageCountAcross:
                return Value(static_cast<int64_t>(1));
            case Func::Today:
                return Value(Date::today());
            case Func::Now:
                return Value(Time::now());
            case Func::LookUpDisplay: {
                int slot = slotOf(*n.args[0]);
                if (slot < 0) return Value();
                CallBack callBack(m_units);
                if (callBack.refused()) return fail(n, kTooDeep);
                Value shown(m_ctx.lookUpDisplay(slot, m_row));
                if (CallBack::exceeded()) return fail(n, kTooDeep);
                return shown;
            }
            default:
                break;
        }

        // Everything else takes its arguments by value, and null in gives null out.
        Value args[3];
        for (size_t i = 0; i < n.args.size() && i < 3; ++i) {
            args[i] = eval(*n.args[i]);
            if (failed()) return Value();
        }
        for (size_t i = 0; i < n.args.size() && i < 3; ++i)
            if (args[i].isNull()) return Value();
        std::string scratch;
        int64_t k = 0;
        Decimal d;

        switch (n.func) {
            case Func::String: {
                if (n.args.size() == 1)
                    return args[0].isString() ? args[0] : Value(generalText(args[0]));
                std::string formatScratch;
                return Value(formatValue(args[0], textOf(args[1], formatScratch)).text);
            }
            case Func::Integer:
            case Func::Long: {
                auto v = converted(n, args[0], true);
                return v ? *v : Value();
            }
            case Func::Real:
            case Func::Dec:
            case Func::Number: {
                auto v = converted(n, args[0], false);
                return v ? *v : Value();
            }
            case Func::Date:
                return dateFunction(n, args);
            case Func::DateTime:
                return dateTimeFunction(n, args);
            case Func::Time:
                return timeFunction(n, args);
            case Func::Year:
            case Func::Month:
            case Func::Day: {
                if (!isDateKind(args[0]) || args[0].type() == ValueType::Time)
                    return fail(*n.args[0], argumentError(n, 0, "a date"));
                auto date = dateOf(args[0]);
                if (!date) return Value();
                int part = n.func == Func::Year    ? date->year()
                           : n.func == Func::Month ? date->month()
                                                   : date->day();
                return Value(static_cast<int64_t>(part));
            }
            case Func::Hour:
            case Func::Minute:
            case Func::Second: {
                if (!isDateKind(args[0]) || args[0].type() == ValueType::Date)
                    return fail(*n.args[0], argumentError(n, 0, "a time"));
                auto time = timeOf(args[0]);
                if (!time) return Value();
                int part = n.func == Func::Hour     ? time->hour()
                           : n.func == Func::Minute ? time->minute()
                                                    : time->second();
                return Value(static_cast<int64_t>(part));
            }
            case Func::Describe: {
                CallBack callBack(m_units);
                if (callBack.refused()) return fail(n, kTooDeep);
                Value answer(m_ctx.describe(textOf(args[0], scratch)));
                if (CallBack::exceeded()) return fail(n, kTooDeep);
                return answer;
            }
            case Func::Bitmap:
                return Value(std::string(textOf(args[0], scratch)));
            case Func::Len:
                return Value(static_cast<int64_t>(utf8Length(textOf(args[0], scratch))));
            case Func::Left: {
                auto s = textOf(args[0], scratch);
                if (!integer(n, args[1], 1, k)) return Value();
                if (k <= 0) return Value(std::string());
                return Value(utf8Substr(s, 0, static_cast<size_t>(k)));
            }
            case Func::Right: {
                auto s = textOf(args[0], scratch);
                if (!integer(n, args[1], 1, k)) return Value();
                if (k <= 0) return Value(std::string());
                size_t length = utf8Length(s);
                if (static_cast<uint64_t>(k) >= length) return Value(s);
                return Value(utf8Substr(s, length - static_cast<size_t>(k)));
            }
            case Func::Mid: {
                auto s = textOf(args[0], scratch);
                int64_t count = -1;
                if (!integer(n, args[1], 1, k)) return Value();
                if (n.args.size() == 3 && !integer(n, args[2], 2, count)) return Value();
                if (k < 1 || (n.args.size() == 3 && count <= 0)) return Value(std::string());
                size_t length = count < 0 ? std::string::npos : static_cast<size_t>(count);
                return Value(utf8Substr(s, static_cast<size_t>(k - 1), length));
            }
            case Func::Pos:
                return position(n, args);
            case Func::Trim:
            case Func::LeftTrim:
            case Func::RightTrim: {
                auto s = textOf(args[0], scratch);
                return Value(trimBlanks(s, n.func != Func::RightTrim, n.func != Func::LeftTrim));
            }
            case Func::Upper:
                return Value(asciiUpper(textOf(args[0], scratch)));
            case Func::Lower:
                return Value(asciiLower(textOf(args[0], scratch)));
            case Func::Fill: {
                auto s = textOf(args[0], scratch);
                if (!integer(n, args[1], 1, k)) return Value();
                return repeatText(n, s, k);
            }
            case Func::Space:
                if (!integer(n, args[0], 0, k)) return Value();
                return repeatText(n, " ", k);
            case Func::Abs:
                if (args[0].type() == ValueType::Long && args[0].asLong() != INT64_MIN)
                    return Value(args[0].asLong() < 0 ? -args[0].asLong() : args[0].asLong());
                if (!number(n, args[0], 0, d)) return Value();
                return Value(d.abs());
            case Func::Round:
            case Func::Truncate: {
                if (!number(n, args[0], 0, d)) return Value();
                if (n.args.size() == 2 && !integer(n, args[1], 1, k)) return Value();
                if (!inRange(d)) return fail(n, "number out of range");
                int places = static_cast<int>(std::clamp<int64_t>(k, -kMaxMagnitude, 36));
                Decimal r = n.func == Func::Round ? d.round(places) : d.truncate(places);
                if (!inRange(r)) return fail(n, "number out of range");
                if (args[0].type() == ValueType::Long && fitsLong(r)) return Value(r.toInt64());
                return Value(r);
            }
            case Func::Mod: {
                Decimal y;
                if (!number(n, args[0], 0, d) || !number(n, args[1], 1, y)) return Value();
                if (y.isZero()) return Value();
                if (args[0].type() == ValueType::Long && args[1].type() == ValueType::Long) {
                    if (args[1].asLong() == -1) return Value(static_cast<int64_t>(0));
                    return Value(args[0].asLong() % args[1].asLong());
                }
                if (!inRange(d) || !inRange(y)) return fail(n, "number out of range");
                auto r = Decimal::mod(d, y);
                return r ? Value(*r) : Value();
            }
            case Func::Rgb: {
                int64_t c[3];
                for (size_t i = 0; i < 3; ++i) {
                    if (!integer(n, args[i], i, c[i])) return Value();
                    c[i] = std::clamp<int64_t>(c[i], 0, 255);
                }
                return Value(c[0] + 256 * c[1] + 65536 * c[2]);
            }
            case Func::Max2:
            case Func::Min2: {
                auto c = compareLoose(n, args[0], args[1]);
                if (!c) return Value();
                bool first = n.func == Func::Max2 ? *c >= 0 : *c <= 0;
                return first ? args[0] : args[1];
            }
            default:
                return fail(n, "cannot evaluate " + n.name);
        }
    }

    Value position(const ExprNode& n, const Value* args) {
        std::string scratchA, scratchB;
        auto s = textOf(args[0], scratchA);
        auto sub = textOf(args[1], scratchB);
        int64_t start = 1;
        if (n.args.size() == 3 && !integer(n, args[2], 2, start)) return Value();
        if (start < 1) start = 1;
        if (sub.empty()) return Value(static_cast<int64_t>(0));
        size_t from = utf8Offset(s, static_cast<size_t>(start - 1));
        size_t found = s.find(sub, from);
        if (found == std::string_view::npos) return Value(static_cast<int64_t>(0));
        return Value(static_cast<int64_t>(utf8Length(s.substr(0, found)) + 1));
    }

    bool ymd(const ExprNode& n, const Value* args, int parts[3]) {
        for (size_t i = 0; i < 3; ++i) {
            int64_t v;
            if (!integer(n, args[i], i, v)) return false;
            parts[i] = static_cast<int>(std::clamp<int64_t>(v, -1000000, 1000000));
        }
        return true;
    }

    Value dateFunction(const ExprNode& n, const Value* args) {
        if (n.args.size() == 3) {
            int p[3];
            if (!ymd(n, args, p)) return Value();
            auto date = Date::fromYmd(p[0], p[1], p[2]);
            return date ? Value(*date) : Value();
        }
        if (!isDateKind(args[0]) || args[0].type() == ValueType::Time)
            return fail(*n.args[0], argumentError(n, 0, "a date or a string"));
        auto date = dateOf(args[0]);
        return date ? Value(*date) : Value();
    }

    Value dateTimeFunction(const ExprNode& n, const Value* args) {
        if (args[0].type() == ValueType::DateTime && n.args.size() == 1) return args[0];
        if (args[0].isString() && n.args.size() == 1) {
            auto dt = DateTime::parse(trimBlanks(args[0].asString(), true, true));
            return dt ? Value(*dt) : Value();
        }
        if (!isDateKind(args[0]) || args[0].type() == ValueType::Time)
            return fail(*n.args[0], argumentError(n, 0, "a date"));
        auto date = dateOf(args[0]);
        if (!date) return Value();
        Time time;
        if (n.args.size() == 2) {
            if (!isDateKind(args[1]) || args[1].type() == ValueType::Date)
                return fail(*n.args[1], argumentError(n, 1, "a time"));
            auto t = timeOf(args[1]);
            if (!t) return Value();
            time = *t;
        }
        return Value(DateTime{*date, time});
    }

    Value timeFunction(const ExprNode& n, const Value* args) {
        if (n.args.size() == 3) {
            int p[3];
            if (!ymd(n, args, p)) return Value();
            auto time = Time::fromHms(p[0], p[1], p[2]);
            return time ? Value(*time) : Value();
        }
        if (!isDateKind(args[0]) || args[0].type() == ValueType::Date)
            return fail(*n.args[0], argumentError(n, 0, "a time or a string"));
        auto time = timeOf(args[0]);
        return time ? Value(*time) : Value();
    }

    Value caseOf(const ExprNode& n) {
        Value subject = eval(*n.args[0]);
        if (failed()) return Value();
        for (const auto& arm : n.arms) {
            for (const auto& match : arm.matches) {
                Value low = eval(*match.low);
                Value high = match.high ? eval(*match.high) : Value();
                if (failed()) return Value();
                if (subject.isNull() || low.isNull()) continue;
                auto c = compareLoose(*match.low, subject, low);
                if (!c) return Value();
                bool hit = false;
                switch (match.kind) {
                    case CaseMatch::Kind::Equal:
                        hit = *c == 0;
                        break;
                    case CaseMatch::Kind::Is:
                        hit = holds(match.op, *c);
                        break;
                    case CaseMatch::Kind::Range: {
                        if (high.isNull() || *c < 0) break;
                        auto h = compareLoose(*match.high, subject, high);
                        if (!h) return Value();
                        hit = *h <= 0;
                        break;
                    }
                }
                if (hit) return eval(*arm.result);
            }
        }
        return n.elseResult ? eval(*n.elseResult) : Value();
    }

    std::optional<std::pair<long, long>> rangeOf(const ExprNode& n) {
        std::pair<long, long> range{1, m_ctx.rowCount()};
        if (n.range == AggRange::Page) range = m_ctx.pageRange(m_row);
        if (n.range == AggRange::Group) {
            // The group's rows may come from computed fields.
            CallBack callBack(m_units);
            if (callBack.refused()) {
                fail(n, kTooDeep);
                return std::nullopt;
            }
            auto group = m_ctx.groupRange(n.groupLevel, m_row);
            if (group.ok() && CallBack::exceeded()) {
                fail(n, kTooDeep);
                return std::nullopt;
            }
            if (!group.ok()) {
                fail(n, group.error().message);
                return std::nullopt;
            }
            range = group.value();
        }
        range.first = std::max(range.first, 1L);
        range.second = std::min(range.second, m_ctx.rowCount());
        return range;
    }

    Value aggregate(const ExprNode& n) {
        auto found = rangeOf(n);
        if (!found) return Value();
        auto range = *found;
        if (!n.aggregateCache) n.aggregateCache = std::make_unique<AggregateCache>();
        AggregateCache& cache = *n.aggregateCache;
        uint64_t data = m_ctx.dataVersion();
        uint64_t schema = m_ctx.schemaVersion();
        if (cache.dataVersion != data || cache.schemaVersion != schema) {
            cache.entries.clear();
            cache.dataVersion = data;
            cache.schemaVersion = schema;
        }
        auto it = cache.entries.find(range);
        if (it == cache.entries.end()) {
            AggregateCache::Entry entry;
            if (!computeAggregate(n, range, entry)) entry.error = m_error;
            // Nesting too deeply depends on where the aggregate was asked for, not on the data.
            if (entry.error && entry.error->message == kTooDeep) return Value();
            // The computation may have run this node again for other rows (a nested aggregate
            // of the same text), so look up afresh rather than holding an iterator across it.
            it = cache.entries.insert_or_assign(range, std::move(entry)).first;
        }
        const AggregateCache::Entry& entry = it->second;
        if (entry.error) {
            if (!m_error) m_error = entry.error;
            return Value();
        }
        if (n.func != Func::CumulativeSum) return entry.result;
        if (entry.running.empty() || m_row < range.first) return Value(static_cast<int64_t>(0));
        long index = std::min(m_row, range.second) - range.first;
        return entry.running[static_cast<size_t>(index)];
    }

    bool computeAggregate(const ExprNode& n, std::pair<long, long> range,
                          AggregateCache::Entry& entry) {
        long saved = m_row;
        NumberSum sum;
        int64_t count = 0;
        Value best;
        std::unordered_set<std::string> seen;
        bool ok = true;
        for (long r = range.first; ok && r <= range.second; ++r) {
            m_row = r;
            Value v = eval(*n.args[0]);
            if (failed()) {
                ok = false;
                break;
            }
            bool use = !v.isNull();
            if (use && n.distinct) {
                // A whole number is one value whether it came as a long or a decimal
                // (`If(x, 1, qty)` mixes them), so numbers share one key kind.
                std::string key(1, v.isNumeric() ? 'n' : static_cast<char>(v.type()));
                key += v.isNumeric() ? v.toDecimal()->toString() : v.toText();
                use = seen.insert(std::move(key)).second;
            }
            if (use) {
                switch (n.func) {
                    case Func::Count:
                        ++count;
                        break;
                    case Func::Max:
                    case Func::Min: {
                        if (best.isNull()) {
                            best = v;
                            break;
                        }
                        auto c = compareLoose(n, v, best);
                        if (!c) {
                            ok = false;
                            break;
                        }
                        if (n.func == Func::Max ? *c > 0 : *c < 0) best = v;
                        break;
                    }
                    default:
                        if (!v.isNumeric()) {
                            fail(n, n.name + " expects numbers, not " + kindName(v));
                            ok = false;
                        } else if (!sum.add(v)) {
                            fail(n, "number out of range");
                            ok = false;
                        }
                        ++count;
                        break;
                }
            }
            if (ok && n.func == Func::CumulativeSum) entry.running.push_back(sum.value());
        }
        m_row = saved;
        if (!ok) return false;
        switch (n.func) {
            case Func::Count:
                entry.result = Value(count);
                break;
            case Func::Max:
            case Func::Min:
                entry.result = best;
                break;
            case Func::Avg: {
                if (count == 0) break;
                auto avg = checkedDiv(sum.decimal(), Decimal(count));
                if (avg) entry.result = Value(*avg);
                break;
            }
            default:
                entry.result = sum.value();
                break;
        }
        return true;
    }
};

}  // namespace

Expression::Expression(std::string text, std::unique_ptr<ExprNode> root)
    : m_text(std::move(text)), m_root(std::move(root)) {}

Expression::~Expression() = default;

Result<std::shared_ptr<const Expression>> Expression::compile(std::string_view text) {
    auto tree = parseExpression(text);
    if (!tree) return tree.error();
    return std::make_shared<const Expression>(std::string(text), std::move(tree).value());
}

Result<Value> Expression::evaluate(const EvalContext& ctx, long row) const {
    Evaluator evaluator(ctx, row, m_root->depth);
    Value v = evaluator.eval(*m_root);
    if (evaluator.failed()) return evaluator.takeError();
    return v;
}

bool Expression::isTrue(const EvalContext& ctx, long row) const {
    Evaluator evaluator(ctx, row, m_root->depth);
    Truth t = evaluator.truth(*m_root);
    return !evaluator.failed() && t == Truth::True;
}

namespace {

void collectGroupUses(const ExprNode& n, std::vector<Expression::GroupUse>& out) {
    if (n.kind == NodeKind::Aggregate && n.range == AggRange::Group)
        out.push_back({n.groupLevel, n.column});
    for (const auto& arg : n.args) collectGroupUses(*arg, out);
    for (const CaseArm& arm : n.arms) {
        for (const CaseMatch& match : arm.matches) {
            if (match.low) collectGroupUses(*match.low, out);
            if (match.high) collectGroupUses(*match.high, out);
        }
        if (arm.result) collectGroupUses(*arm.result, out);
    }
    if (n.elseResult) collectGroupUses(*n.elseResult, out);
}

}  // namespace

std::vector<Expression::GroupUse> Expression::groupUses() const {
    std::vector<GroupUse> uses;
    collectGroupUses(*m_root, uses);
    return uses;
}

Result<std::shared_ptr<const Expression>> ExpressionCache::get(std::string_view text) {
    auto it = m_cache.find(text);
    if (it != m_cache.end()) return it->second;
    auto compiled = Expression::compile(text);
    if (!compiled) return compiled.error();
    m_cache.emplace(std::string(text), compiled.value());
    return compiled;
}

}  // namespace print::engine
