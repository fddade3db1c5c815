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

// Length of a quoted run that starts at `i` with `quote`; a doubled quote stays inside. With
// `backslash`, a backslash escapes the next character (PostgreSQL E'...').
size_t quotedLength(std::string_view s, size_t i, char quote, bool backslash) {
    size_t j = i + 1;
    while (j < s.size()) {
        if (backslash && s[j] == '\\') {
            j += 2;
            continue;
        }
        if (s[j] == quote) {
            if (j + 1 < s.size() && s[j + 1] == quote) {
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

}  // namespace

TranslatedSql translatePlaceholders(std::string_view sql, Backend backend) {
    TranslatedSql out;
    out.text.reserve(sql.size() + 8);
    size_t i = 0;
    auto copy = [&](size_t n) {
        out.text.append(sql.substr(i, n));
        i += n;
    };
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '\'') {
            bool escapeString = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                                (i < 2 || !isNameChar(sql[i - 2]));
            copy(quotedLength(sql, i, '\'', escapeString && backend == Backend::PostgreSql));
        } else if (c == '"') {
            copy(quotedLength(sql, i, '"', false));
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t end = sql.find('\n', i);
            copy(end == std::string_view::npos ? sql.size() - i : end - i);
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            copy(end == std::string_view::npos ? sql.size() - i : end + 2 - i);
        } else if (c == '$' && (i == 0 || !isNameChar(sql[i - 1]))) {
            size_t n = dollarQuotedLength(sql, i);
            copy(n == 0 ? 1 : n);
        } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
            copy(2);
        } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
            size_t j = i + 1;
            while (j < sql.size() && isNameChar(sql[j])) ++j;
            std::string_view name = sql.substr(i + 1, j - i - 1);
            size_t index = 0;
            while (index < out.names.size() && !iequals(out.names[index], name)) ++index;
            if (index == out.names.size()) out.names.emplace_back(name);
            out.text += backend == Backend::Sqlite ? '?' : '$';
            out.text += std::to_string(index + 1);
            i = j;
        } else {
            copy(1);
        }
    }
    return out;
}

std::string leadingKeyword(std::string_view sql) {
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(') {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else {
            break;
        }
    }
    size_t j = i;
    while (j < sql.size() && isNameChar(sql[j])) ++j;
    return asciiLower(sql.substr(i, j - i));
}

}  // namespace print::db
