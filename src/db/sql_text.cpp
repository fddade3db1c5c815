#include "db/sql_text.h"

#include "common/text.h"

namespace print::db {
namespace {

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9');
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Length of a quoted run that starts at `i` with `open` and ends with `close`; a doubled
// closing quote stays inside. With `backslash`, a backslash escapes the next character
// (PostgreSQL E'...').
size_t quotedLength(std::string_view s, size_t i, char close, bool backslash) {
    size_t j = i + 1;
    while (j < s.size()) {
        if (backslash && s[j] == '\\') {
            j += 2;
            continue;
        }
        if (s[j] == close) {
            if (j + 1 < s.size() && s[j + 1] == close) {
                j += 2;
                continue;
            }
            return j + 1 - i;
        }
        ++j;
    }
    return s.size() - i;  // unterminated: the server will say so
}

// Length of a $tag$...$tag$ string starting at `i`, or 0 when `i` does not open one.
size_t dollarQuotedLength(std::string_view s, size_t i) {
    size_t j = i + 1;
    while (j < s.size() && isNameChar(s[j]) && !(j == i + 1 && s[j] >= '0' && s[j] <= '9')) ++j;
    if (j >= s.size() || s[j] != '$') return 0;
    std::string_view tag = s.substr(i, j - i + 1);
    size_t end = s.find(tag, j + 1);
    if (end == std::string_view::npos) return s.size() - i;
    return end + tag.size() - i;
}

// Length of a /* */ comment starting at `i`. PostgreSQL nests them; SQLite ends the comment at
// the first */.
size_t blockCommentLength(std::string_view s, size_t i, bool nested) {
    int depth = 0;
    size_t j = i;
    while (j + 1 < s.size()) {
        if (s[j] == '/' && s[j + 1] == '*') {
            ++depth;
            j += 2;
        } else if (s[j] == '*' && s[j + 1] == '/') {
            j += 2;
            if (--depth == 0 || !nested) return j - i;
        } else {
            ++j;
        }
    }
    return s.size() - i;
}

// Length of the literal, quoted identifier or comment that starts at `i`; 0 when `i` starts
// SQL code.
size_t nonCodeLength(std::string_view s, size_t i, Backend backend) {
    char c = s[i];
    bool pg = backend == Backend::PostgreSql;
    char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (c == '\'') {
        bool escapeString =
            pg && i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e') && (i < 2 || !isNameChar(s[i - 2]));
        return quotedLength(s, i, '\'', escapeString);
    }
    if (c == '"') return quotedLength(s, i, '"', false);
    if (c == '-' && next == '-') {
        size_t end = s.find('\n', i);
        return end == std::string_view::npos ? s.size() - i : end - i;
    }
    if (c == '/' && next == '*') return blockCommentLength(s, i, pg);
    if (pg && c == '$' && (i == 0 || !isNameChar(s[i - 1]))) return dollarQuotedLength(s, i);
    if (!pg && c == '`') return quotedLength(s, i, '`', false);
    if (!pg && c == '[') {
        size_t end = s.find(']', i + 1);
        return end == std::string_view::npos ? s.size() - i : end + 1 - i;
    }
    return 0;
}

// Skips blanks and comments from `i`.
size_t skipBlanks(std::string_view s, size_t i, Backend backend) {
    while (i < s.size()) {
        std::string_view two = s.substr(i, 2);
        if (isBlank(s[i]))
            ++i;
        else if (two == "--" || two == "/*")
            i += nonCodeLength(s, i, backend);
        else
            break;
    }
    return i;
}

// The word at `i` when it equals `word` (not case sensitive) and ends there; its end, else 0.
size_t wordAt(std::string_view s, size_t i, std::string_view word) {
    if (i + word.size() > s.size() || !iequals(s.substr(i, word.size()), word)) return 0;
    size_t end = i + word.size();
    return end < s.size() && isNameChar(s[end]) ? 0 : end;
}

// Whether the placeholder that ends at `i` is followed by IS [NOT] NULL, ISNULL or NOTNULL.
bool testedForNullOnly(std::string_view s, size_t i, Backend backend) {
    i = skipBlanks(s, i, backend);
    if (wordAt(s, i, "isnull") || wordAt(s, i, "notnull")) return true;
    size_t is = wordAt(s, i, "is");
    if (!is) return false;
    i = skipBlanks(s, is, backend);
    if (size_t no = wordAt(s, i, "not")) i = skipBlanks(s, no, backend);
    return wordAt(s, i, "null") != 0;
}

// Whether the `:` at `i` inside array brackets divides the bounds of a slice: it follows an
// operand (`arr[lo:hi]`), where a placeholder could not stand.
bool isSliceColon(std::string_view s, size_t i) {
    size_t j = i;
    while (j > 0 && isBlank(s[j - 1])) --j;
    if (j == 0) return false;
    char before = s[j - 1];
    return isNameChar(before) || before == ')' || before == ']' || before == '\'' || before == '"';
}

}  // namespace

TranslatedSql translatePlaceholders(std::string_view sql, Backend backend) {
    TranslatedSql out;
    out.text.reserve(sql.size() + 8);
    bool pg = backend == Backend::PostgreSql;
    int brackets = 0;  // PostgreSQL array subscripts open around `i`
    size_t i = 0;
    auto copy = [&](size_t n) {
        out.text.append(sql.substr(i, n));
        i += n;
    };
    while (i < sql.size()) {
        char c = sql[i];
        if (size_t n = nonCodeLength(sql, i, backend)) {
            copy(n);
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            copy(2);
        } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1]) &&
                   !(brackets > 0 && isSliceColon(sql, i))) {
            size_t j = i + 1;
            while (j < sql.size() && isNameChar(sql[j])) ++j;
            std::string_view name = sql.substr(i + 1, j - i - 1);
            size_t index = 0;
            while (index < out.names.size() && !iequals(out.names[index], name)) ++index;
            bool firstUse = index == out.names.size();
            if (firstUse) out.names.emplace_back(name);
            if (pg) {
                out.slots.push_back({index, testedForNullOnly(sql, j, backend)});
                out.text += '$';
                out.text += std::to_string(out.slots.size());
            } else {
                if (firstUse) out.slots.push_back({index, false});
                out.text += '?';
                out.text += std::to_string(index + 1);
            }
            i = j;
        } else {
            if (pg && c == '[') ++brackets;
            if (pg && c == ']' && brackets > 0) --brackets;
            copy(1);
        }
    }
    return out;
}

std::string leadingKeyword(std::string_view sql) {
    size_t i = 0;
    while (i < sql.size()) {
        i = skipBlanks(sql, i, Backend::Sqlite);
        if (i < sql.size() && sql[i] == '(')
            ++i;
        else
            break;
    }
    size_t j = i;
    while (j < sql.size() && isNameChar(sql[j])) ++j;
    return asciiLower(sql.substr(i, j - i));
}

std::string statementKind(std::string_view sql) {
    std::string first = leadingKeyword(sql);
    if (first != "with") return first;
    // The common table expressions are names, AS, column lists and bodies in parentheses; the
    // first statement keyword outside every parenthesis belongs to the main statement.
    int depth = 0;
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (size_t n = nonCodeLength(sql, i, Backend::PostgreSql)) {
            i += n;
        } else if (c == '(') {
            ++depth;
            ++i;
        } else if (c == ')') {
            --depth;
            ++i;
        } else if (isNameStart(c)) {
            size_t j = i;
            while (j < sql.size() && isNameChar(sql[j])) ++j;
            std::string word = asciiLower(sql.substr(i, j - i));
            if (depth == 0 &&
                (word == "select" || word == "insert" || word == "update" || word == "delete" ||
                 word == "replace" || word == "values" || word == "merge"))
                return word;
            i = j;
        } else {
            ++i;
        }
    }
    return first;
}

}  // namespace print::db
