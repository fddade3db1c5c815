// Placeholders in SQL text: the one form the component writes (`:name`) and the forms the back
// ends read (`?N` for SQLite, `$N` for PostgreSQL).
//
// The scanner knows what is not SQL code: '...' literals (with '' inside, and PostgreSQL's
// E'...' with backslash escapes), "..." identifiers, -- and /* */ comments, PostgreSQL's
// $tag$...$tag$ strings, and the `::` cast. A `:` followed by anything but a letter or `_` is
// copied as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/transaction.h"

namespace print::db {

struct TranslatedSql {
    std::string text;                // the statement with numbered placeholders
    std::vector<std::string> names;  // distinct names, in order of first appearance, as written
};

TranslatedSql translatePlaceholders(std::string_view sql, Backend backend);

// The first word of a statement, lower-cased, after blanks, comments and opening parentheses
// ("update", "select", ...); "" when there is none.
std::string leadingKeyword(std::string_view sql);

}  // namespace print::db
