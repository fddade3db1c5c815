// Placeholders in SQL text: the one form the component writes (`:name`) and the forms the back
// ends read (`?N` for SQLite, `$N` for PostgreSQL).
//
// The scanner knows what is not SQL code: '...' literals (with '' inside, and PostgreSQL's
// E'...' with backslash escapes), "..." identifiers, -- and /* */ comments (nested on
// PostgreSQL, as its parser nests them), PostgreSQL's $tag$...$tag$ strings and array slices
// (`arr[lo:hi]`), SQLite's [...] and `...` identifiers, and the `::` cast. A `:` followed by
// anything but a letter or `_` is copied as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/transaction.h"

namespace print::db {

// One numbered placeholder of the translated text.
struct PlaceholderSlot {
    size_t name = 0;  // index into TranslatedSql::names
    // The statement only asks whether it is null (`:a IS NULL`), so any type will do; the
    // server cannot infer one from such a test.
    bool nullTestOnly = false;
};

struct TranslatedSql {
    std::string text;                // the statement with numbered placeholders
    std::vector<std::string> names;  // distinct names, in order of first appearance, as written
    // Placeholder N of `text` is slots[N - 1]. SQLite numbers each name once (`?1` wherever the
    // name is used); PostgreSQL numbers every use, so that the server infers each use's type
    // from its own context (the same name may be a text in one place and a number in another).
    std::vector<PlaceholderSlot> slots;
};

TranslatedSql translatePlaceholders(std::string_view sql, Backend backend);

// The first word of a statement, lower-cased, after blanks, comments and opening parentheses
// ("update", "select", ...); "" when there is none.
std::string leadingKeyword(std::string_view sql);

// What a statement does: its first keyword, or for `WITH ...` the keyword of the statement that
// follows the common table expressions ("update", "delete", "select", ...).
std::string statementKind(std::string_view sql);

}  // namespace print::db
