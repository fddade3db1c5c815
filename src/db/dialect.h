// Where SQLite and PostgreSQL differ, in one place: catalog queries, the schema script, the
// demo data generator's date and series expressions, and the host statements written for the
// old platform's database (`dual`, `rownum`).
//
// Functions that run a statement return the transaction's status code (0, 100, -1) and leave
// the full status in the transaction.
#pragma once

#include <string>
#include <string_view>

#include "db/transaction.h"

namespace print::db {

// The address line of a report frame: "地  址: " + site parameter 02 + "   联系电话: " + site
// parameter 06, each the value of one row of t_Privatepara. The old platform's database read
// an absent parameter as an empty text; so does this (the plain `||` of both back ends would
// make the whole line null).
long readAddressLine(Transaction& sqlca, std::string& line);

namespace dialect {

std::string_view schemaScript(Backend backend);
// A query counting the objects of `kind` (table, view, index, trigger, function) named :name
// (not case sensitive) that a statement naming them finds: on PostgreSQL the first through the
// search path. Triggers and indexes also take the :table they belong to.
std::string objectExistsSql(Backend backend, std::string_view kind);
// A query listing the column names of the table :name, the one a statement naming it finds.
std::string tableColumnsSql(Backend backend);
// The text of the trigger :name as the database keeps it; "" where it keeps none (PostgreSQL).
std::string triggerTextSql(Backend backend);
// The unique indexes of the table :name (a primary key is one) without a condition or an
// expression: rows of index name and column name.
std::string uniqueKeysSql(Backend backend);
// PostgreSQL only: the schema of the table :name as a statement finds it (no row when none);
// the current schema and search path; setting the search path to :path until the transaction
// ends.
std::string_view tableSchemaSql();
std::string_view currentSchemaSql();
std::string_view setSearchPathSql();
// Taken before the schema is changed, so that two `db init` runs at once queue up.
std::string_view schemaLockSql(Backend backend);
// Locks the name :name until the transaction ends; "" where the transaction's own write lock
// does (SQLite).
std::string_view nameLockSql(Backend backend);
// A FROM item giving the integers 1 .. :count as column n of `series`.
std::string integerSeriesSql(Backend backend);
// An expression adding `days` (an integer SQL expression) to the date `isoDate` (YYYY-MM-DD);
// both are text of the program, never input.
std::string dateAddDaysSql(Backend backend, std::string_view isoDate, std::string_view days);

}  // namespace dialect
}  // namespace print::db
