#include "engine/expression_parser.h"

#include <algorithm>
#include <optional>
#include <string>

#include "common/text.h"
#include "engine/expression_number.h"

namespace print::engine {
namespace {

// Deep enough for any real report expression, shallow enough that neither parsing nor
// evaluation can run out of stack on hostile text.
constexpr int kMaxNesting = 100;
constexpr int kMaxTreeDepth = 256;

enum class Tok : uint8_t {
    End,
    Number,
    String,
    Name,
    LParen,
    RParen,
    Comma,
    Plus,
    Minus,
    Star,
    Slash,
    Caret,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    Bad,
};

struct Token {
    Tok kind = Tok::End;
    size_t offset = 0;
    std::string_view raw;
    std::string text;  // contents of a string literal
    Decimal number;
};

struct FuncInfo {
    std::string_view name;
    Func func;
    int minArgs;
    int maxArgs;
};

constexpr FuncInfo kFunctions[] = {
    {"If", Func::If, 3, 3},
    {"Case", Func::If, 0, 0},  // parsed on its own
    {"String", Func::String, 1, 2},
    {"Integer", Func::Integer, 1, 1},
    {"Long", Func::Long, 1, 1},
    {"Real", Func::Real, 1, 1},
    {"Dec", Func::Dec, 1, 1},
    {"Number", Func::Number, 1, 1},
    {"Date", Func::Date, 1, 3},
    {"DateTime", Func::DateTime, 1, 2},
    {"Time", Func::Time, 1, 3},
    {"Today", Func::Today, 0, 0},
    {"Now", Func::Now, 0, 0},
    {"Year", Func::Year, 1, 1},
    {"Month", Func::Month, 1, 1},
    {"Day", Func::Day, 1, 1},
    {"Hour", Func::Hour, 1, 1},
    {"Minute", Func::Minute, 1, 1},
    {"Second", Func::Second, 1, 1},
    {"Page", Func::Page, 0, 0},
    {"PageCount", Func::PageCount, 0, 0},
    {"PageAcross", Func::PageAcross, 0, 0},
    {"PageCountAcross", Func::PageCountAcross, 0, 0},
    {"GetRow", Func::GetRow, 0, 0},
    {"CurrentRow", Func::CurrentRow, 0, 0},
    {"RowCount", Func::RowCount, 0, 0},
    {"LookUpDisplay", Func::LookUpDisplay, 1, 1},
    {"Describe", Func::Describe, 1, 1},
    {"IsNull", Func::IsNull, 1, 1},
    {"Len", Func::Len, 1, 1},
    {"Left", Func::Left, 2, 2},
    {"Right", Func::Right, 2, 2},
    {"Mid", Func::Mid, 2, 3},
    {"Pos", Func::Pos, 2, 3},
    {"Trim", Func::Trim, 1, 1},
    {"LeftTrim", Func::LeftTrim, 1, 1},
    {"RightTrim", Func::RightTrim, 1, 1},
    {"Upper", Func::Upper, 1, 1},
    {"Lower", Func::Lower, 1, 1},
    {"Fill", Func::Fill, 2, 2},
    {"Space", Func::Space, 1, 1},
    {"Abs", Func::Abs, 1, 1},
    {"Round", Func::Round, 1, 2},
    {"Truncate", Func::Truncate, 1, 2},
    {"Mod", Func::Mod, 2, 2},
    {"RGB", Func::Rgb, 3, 3},
    {"Bitmap", Func::Bitmap, 1, 1},
    {"Sum", Func::Sum, 1, 1},
    {"Count", Func::Count, 1, 1},
    {"Avg", Func::Avg, 1, 1},
    {"Max", Func::Max, 1, 1},
    {"Min", Func::Min, 1, 1},
    {"CumulativeSum", Func::CumulativeSum, 1, 1},
};

const FuncInfo* findFunction(std::string_view name) {
    for (const auto& f : kFunctions)
        if (iequals(f.name, name)) return &f;
    return nullptr;
}

bool isAggregate(Func f) {
    return f == Func::Sum || f == Func::Count || f == Func::Avg || f == Func::Max ||
           f == Func::Min || f == Func::CumulativeSum;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c == '#' ||
           static_cast<unsigned char>(c) >= 0x80;
}
bool isNamePart(char c) {
    return isNameStart(c) || isDigit(c) || c == '%';
}

using NodePtr = std::unique_ptr<ExprNode>;

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) { advance(); }

    Result<NodePtr> run() {
        NodePtr root = parseOr();
        if (root && m_tok.kind != Tok::End) fail("expected an operator");
        if (m_error) return *m_error;
        return root;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    Token m_tok;
    std::optional<Error> m_error;
    int m_nesting = 0;
    mutable size_t m_columnOffset = 0;  // columnOf's last offset and the characters before it
    mutable size_t m_columnCount = 0;

    // Counted from the last offset asked for, forward or back: nodes are made near the tokens
    // just read (an operator's after its right operand), and counting from the start for each
    // would make a long expression quadratic.
    int columnOf(size_t offset) const {
        if (offset >= m_columnOffset) {
            m_columnCount += utf8Length(m_text.substr(m_columnOffset, offset - m_columnOffset));
        } else {
            size_t back = utf8Length(m_text.substr(offset, m_columnOffset - offset));
            // Bytes that are not UTF-8 can count differently in parts; count afresh then.
            m_columnCount = back <= m_columnCount ? m_columnCount - back
                                                  : utf8Length(m_text.substr(0, offset));
        }
        m_columnOffset = offset;
        return static_cast<int>(m_columnCount) + 1;
    }

    // Only the first failure counts: it is where the text stopped making sense.
    std::nullptr_t fail(std::string message, std::optional<size_t> offset = std::nullopt) {
        if (!m_error)
            m_error = Error{std::move(message), 1, columnOf(offset.value_or(m_tok.offset))};
        m_tok.kind = Tok::End;
        return nullptr;
    }

    bool isKeyword(std::string_view word) const {
        return m_tok.kind == Tok::Name && iequals(m_tok.raw, word);
    }

    bool isReserved() const { return isKeyword("and") || isKeyword("or") || isKeyword("not"); }

    void advance() {
        if (m_error) return;
        size_t i = m_pos;
        size_t n = m_text.size();
        while (i < n && isBlank(m_text[i])) ++i;
        m_tok = Token{};
        m_tok.offset = i;
        if (i >= n) {
            m_pos = i;
            return;
        }
        char c = m_text[i];
        size_t end = i + 1;
        if (c == '\'' || c == '"') {
            lexString(i);
            return;
        }
        if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(m_text[i + 1]))) {
            lexNumber(i);
            return;
        }
        if (isNameStart(c)) {
            while (end < n && isNamePart(m_text[end])) ++end;
            m_tok.kind = Tok::Name;
        } else {
            switch (c) {
                case '(':
                    m_tok.kind = Tok::LParen;
                    break;
                case ')':
                    m_tok.kind = Tok::RParen;
                    break;
                case ',':
                    m_tok.kind = Tok::Comma;
                    break;
                case '+':
                    m_tok.kind = Tok::Plus;
                    break;
                case '-':
                    m_tok.kind = Tok::Minus;
                    break;
                case '*':
                    m_tok.kind = Tok::Star;
                    break;
                case '/':
                    m_tok.kind = Tok::Slash;
                    break;
                case '^':
                    m_tok.kind = Tok::Caret;
                    break;
                case '=':
                    m_tok.kind = Tok::Eq;
                    break;
                case '<':
                    m_tok.kind = Tok::Lt;
                    if (end < n && m_text[end] == '=') {
                        m_tok.kind = Tok::Le;
                        ++end;
                    } else if (end < n && m_text[end] == '>') {
                        m_tok.kind = Tok::Ne;
                        ++end;
                    }
                    break;
                case '>':
                    m_tok.kind = Tok::Gt;
                    if (end < n && m_text[end] == '=') {
                        m_tok.kind = Tok::Ge;
                        ++end;
                    }
                    break;
                default:
                    m_tok.kind = Tok::Bad;
                    break;
            }
        }
        m_tok.raw = m_text.substr(i, end - i);
        m_pos = end;
    }

    void lexString(size_t start) {
        char quote = m_text[start];
        size_t n = m_text.size();
        size_t j = start + 1;
        std::string out;
        while (true) {
            if (j >= n) {
                fail("expected a closing quote", n);
                return;
            }
            char ch = m_text[j];
            if (ch == '~' && j + 1 < n) {
                char e = m_text[j + 1];
                switch (e) {
                    case 't':
                        out += '\t';
                        break;
                    case 'n':
                        out += '\n';
                        break;
                    case 'r':
                        out += '\r';
                        break;
                    default:
                        out += e;
                        break;
                }
                j += 2;
                continue;
            }
            if (ch == quote) {
                if (j + 1 < n && m_text[j + 1] == quote) {
                    out += quote;
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            out += ch;
            ++j;
        }
        m_tok.kind = Tok::String;
        m_tok.text = std::move(out);
        m_tok.raw = m_text.substr(start, j - start);
        m_pos = j;
    }

    void lexNumber(size_t start) {
        size_t n = m_text.size();
        size_t j = start;
        while (j < n && isDigit(m_text[j])) ++j;
        if (j < n && m_text[j] == '.') {
            ++j;
            while (j < n && isDigit(m_text[j])) ++j;
        }
        if (j < n && (m_text[j] == 'e' || m_text[j] == 'E')) {
            size_t k = j + 1;
            if (k < n && (m_text[k] == '+' || m_text[k] == '-')) ++k;
            if (k < n && isDigit(m_text[k])) {
                j = k;
                while (j < n && isDigit(m_text[j])) ++j;
            }
        }
        auto value = parseNumberText(m_text.substr(start, j - start));
        if (!value) {
            fail("number out of range", start);
            return;
        }
        m_tok.kind = Tok::Number;
        m_tok.number = *value;
        m_tok.raw = m_text.substr(start, j - start);
        m_pos = j;
    }

    bool enter() {
        if (++m_nesting > kMaxNesting) {
            fail("expression nested too deeply");
            return false;
        }
        return true;
    }
    void leave() { --m_nesting; }

    NodePtr node(NodeKind kind, size_t offset) {
        auto n = std::make_unique<ExprNode>();
        n->kind = kind;
        n->column = columnOf(offset);
        return n;
    }

    // Sets the subtree height; refuses trees too tall to evaluate safely.
    NodePtr finish(NodePtr n) {
        int depth = 0;
        for (const auto& a : n->args) depth = std::max(depth, a->depth);
        for (const auto& arm : n->arms) {
            for (const auto& m : arm.matches) {
                if (m.low) depth = std::max(depth, m.low->depth);
                if (m.high) depth = std::max(depth, m.high->depth);
            }
            if (arm.result) depth = std::max(depth, arm.result->depth);
        }
        if (n->elseResult) depth = std::max(depth, n->elseResult->depth);
        n->depth = depth + 1;
        if (n->depth > kMaxTreeDepth) return fail("expression nested too deeply");
        return n;
    }

    NodePtr binary(NodeKind kind, size_t offset, NodePtr left, NodePtr right) {
        auto n = node(kind, offset);
        n->args.push_back(std::move(left));
        n->args.push_back(std::move(right));
        return finish(std::move(n));
    }

    NodePtr parseOr() {
        NodePtr left = parseAnd();
        while (left && isKeyword("or")) {
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parseAnd();
            if (!right) return nullptr;
            left = binary(NodeKind::Or, at, std::move(left), std::move(right));
        }
        return left;
    }

    NodePtr parseAnd() {
        NodePtr left = parseNot();
        while (left && isKeyword("and")) {
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parseNot();
            if (!right) return nullptr;
            left = binary(NodeKind::And, at, std::move(left), std::move(right));
        }
        return left;
    }

    NodePtr parseNot() {
        if (!isKeyword("not")) return parseRelational();
        size_t at = m_tok.offset;
        advance();
        if (!enter()) return nullptr;
        NodePtr operand = parseNot();
        leave();
        if (!operand) return nullptr;
        auto n = node(NodeKind::Not, at);
        n->args.push_back(std::move(operand));
        return finish(std::move(n));
    }

    std::optional<CompareOp> compareOp() const {
        switch (m_tok.kind) {
            case Tok::Eq:
                return CompareOp::Eq;
            case Tok::Ne:
                return CompareOp::Ne;
            case Tok::Lt:
                return CompareOp::Lt;
            case Tok::Gt:
                return CompareOp::Gt;
            case Tok::Le:
                return CompareOp::Le;
            case Tok::Ge:
                return CompareOp::Ge;
            default:
                return std::nullopt;
        }
    }

    NodePtr parseRelational() {
        NodePtr left = parseAdditive();
        while (left) {
            auto op = compareOp();
            if (!op) break;
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parseAdditive();
            if (!right) return nullptr;
            left = binary(NodeKind::Compare, at, std::move(left), std::move(right));
            if (left) left->compare = *op;
        }
        return left;
    }

    NodePtr parseAdditive() {
        NodePtr left = parseMultiplicative();
        while (left && (m_tok.kind == Tok::Plus || m_tok.kind == Tok::Minus)) {
            ArithOp op = m_tok.kind == Tok::Plus ? ArithOp::Add : ArithOp::Sub;
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parseMultiplicative();
            if (!right) return nullptr;
            left = binary(NodeKind::Arith, at, std::move(left), std::move(right));
            if (left) left->arith = op;
        }
        return left;
    }

    NodePtr parseMultiplicative() {
        NodePtr left = parsePower();
        while (left && (m_tok.kind == Tok::Star || m_tok.kind == Tok::Slash)) {
            ArithOp op = m_tok.kind == Tok::Star ? ArithOp::Mul : ArithOp::Div;
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parsePower();
            if (!right) return nullptr;
            left = binary(NodeKind::Arith, at, std::move(left), std::move(right));
            if (left) left->arith = op;
        }
        return left;
    }

    NodePtr parsePower() {
        NodePtr left = parseUnary();
        while (left && m_tok.kind == Tok::Caret) {
            size_t at = m_tok.offset;
            advance();
            NodePtr right = parseUnary();
            if (!right) return nullptr;
            left = binary(NodeKind::Arith, at, std::move(left), std::move(right));
            if (left) left->arith = ArithOp::Pow;
        }
        return left;
    }

    NodePtr parseUnary() {
        if (m_tok.kind != Tok::Minus && m_tok.kind != Tok::Plus) return parsePrimary();
        bool negate = m_tok.kind == Tok::Minus;
        size_t at = m_tok.offset;
        advance();
        if (!enter()) return nullptr;
        NodePtr operand = parseUnary();
        leave();
        if (!operand || !negate) return operand;
        if (operand->kind == NodeKind::Literal && operand->literal.type() == ValueType::Number) {
            operand->literal = Value(-operand->literal.asDecimal());
            operand->column = columnOf(at);
            return operand;
        }
        auto n = node(NodeKind::Negate, at);
        n->args.push_back(std::move(operand));
        return finish(std::move(n));
    }

    NodePtr parsePrimary() {
        switch (m_tok.kind) {
            case Tok::Number: {
                auto n = node(NodeKind::Literal, m_tok.offset);
                n->literal = Value(m_tok.number);
                advance();
                return n;
            }
            case Tok::String: {
                auto n = node(NodeKind::Literal, m_tok.offset);
                n->literal = Value(std::move(m_tok.text));
                advance();
                return n;
            }
            case Tok::LParen: {
                if (!enter()) return nullptr;
                advance();
                NodePtr inner = parseOr();
                if (!inner) return nullptr;
                if (m_tok.kind != Tok::RParen) return fail("expected ')'");
                advance();
                leave();
                return inner;
            }
            case Tok::Name: {
                if (isReserved()) return fail("expected a value");
                std::string_view name = m_tok.raw;
                size_t at = m_tok.offset;
                advance();
                if (m_tok.kind == Tok::LParen) return parseCall(name, at);
                if (iequals(name, "true") || iequals(name, "false")) {
                    auto n = node(NodeKind::Literal, at);
                    n->literal = Value(iequals(name, "true"));
                    return n;
                }
                auto n = node(NodeKind::Name, at);
                n->name = std::string(name);
                return n;
            }
            default:
                return fail("expected a value");
        }
    }

    NodePtr parseCall(std::string_view name, size_t at) {
        const FuncInfo* info = findFunction(name);
        if (!info) return fail("unknown function '" + std::string(name) + "'", at);
        if (!enter()) return nullptr;
        advance();  // past '('
        NodePtr result;
        if (iequals(info->name, "Case"))
            result = parseCase(at);
        else if (isAggregate(info->func))
            result = parseAggregate(*info, at);
        else
            result = parseArguments(*info, at);
        leave();
        return result;
    }

    NodePtr parseArguments(const FuncInfo& info, size_t at) {
        auto n = node(NodeKind::Call, at);
        n->func = info.func;
        n->name = std::string(info.name);
        if (m_tok.kind != Tok::RParen) {
            while (true) {
                NodePtr arg = parseOr();
                if (!arg) return nullptr;
                n->args.push_back(std::move(arg));
                if (m_tok.kind == Tok::Comma) {
                    advance();
                    continue;
                }
                if (m_tok.kind == Tok::RParen) break;
                return fail("expected ',' or ')'");
            }
        }
        advance();  // past ')'
        int count = static_cast<int>(n->args.size());
        bool twoOfThree = count == 2 && (info.func == Func::Date || info.func == Func::Time);
        if (count < info.minArgs || count > info.maxArgs || twoOfThree)
            return fail("wrong number of arguments for " + std::string(info.name), at);
        if (info.func == Func::LookUpDisplay && n->args[0]->kind != NodeKind::Name)
            return fail("expected a column name", utf8Offset(m_text, n->args[0]->column - 1));
        return finish(std::move(n));
    }

    NodePtr parseAggregate(const FuncInfo& info, size_t at) {
        auto n = node(NodeKind::Aggregate, at);
        n->func = info.func;
        n->name = std::string(info.name);
        NodePtr arg = parseOr();
        if (!arg) return nullptr;
        n->args.push_back(std::move(arg));
        if (m_tok.kind == Tok::Comma && (info.func == Func::Max || info.func == Func::Min)) {
            // Max(a, b) is the larger of two values, not an aggregate.
            advance();
            NodePtr second = parseOr();
            if (!second) return nullptr;
            if (m_tok.kind != Tok::RParen) return fail("expected ')'");
            advance();
            n->kind = NodeKind::Call;
            n->func = info.func == Func::Max ? Func::Max2 : Func::Min2;
            n->args.push_back(std::move(second));
            return finish(std::move(n));
        }
        if (isKeyword("for")) {
            advance();
            if (isKeyword("all") || isKeyword("crosstab") || isKeyword("graph")) {
                n->range = AggRange::All;
                advance();
            } else if (isKeyword("page")) {
                n->range = AggRange::Page;
                advance();
            } else if (isKeyword("group")) {
                advance();
                if (m_tok.kind != Tok::Number || !m_tok.number.isInteger() ||
                    m_tok.number.sign() <= 0 || m_tok.number > Decimal(1000))
                    return fail("expected a group number");
                n->range = AggRange::Group;
                n->groupLevel = static_cast<int>(m_tok.number.toInt64());
                advance();
            } else {
                return fail("expected ALL, PAGE or GROUP");
            }
        }
        if (isKeyword("distinct")) {
            n->distinct = true;
            advance();
        }
        if (m_tok.kind != Tok::RParen) return fail("expected ')'");
        advance();
        return finish(std::move(n));
    }

    NodePtr parseCase(size_t at) {
        auto n = node(NodeKind::Case, at);
        n->name = "Case";
        NodePtr subject = parseOr();
        if (!subject) return nullptr;
        n->args.push_back(std::move(subject));
        if (!isKeyword("when")) return fail("expected WHEN");
        while (isKeyword("when")) {
            advance();
            CaseArm arm;
            while (true) {
                CaseMatch match;
                if (isKeyword("is")) {
                    advance();
                    auto op = compareOp();
                    if (!op) return fail("expected a comparison operator");
                    advance();
                    match.kind = CaseMatch::Kind::Is;
                    match.op = *op;
                    match.low = parseAdditive();
                    if (!match.low) return nullptr;
                } else {
                    match.low = parseOr();
                    if (!match.low) return nullptr;
                    if (isKeyword("to")) {
                        advance();
                        match.kind = CaseMatch::Kind::Range;
                        match.high = parseOr();
                        if (!match.high) return nullptr;
                    }
                }
                arm.matches.push_back(std::move(match));
                if (m_tok.kind != Tok::Comma) break;
                advance();
            }
            if (!isKeyword("then")) return fail("expected THEN");
            advance();
            arm.result = parseOr();
            if (!arm.result) return nullptr;
            n->arms.push_back(std::move(arm));
        }
        if (isKeyword("else")) {
            advance();
            n->elseResult = parseOr();
            if (!n->elseResult) return nullptr;
        }
        if (m_tok.kind != Tok::RParen) return fail("expected WHEN, ELSE or ')'");
        advance();
        return finish(std::move(n));
    }
};

}  // namespace

Result<std::unique_ptr<ExprNode>> parseExpression(std::string_view text) {
    return Parser(text).run();
}

}  // namespace print::engine
