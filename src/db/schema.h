// The database objects of the print component: the template tables and views with the
// triggers that keep the second tables in step with the first ones, and the host tables the
// component reads (T_BILLMAIN, T_SUPPLYBALANCE, t_Privatepara). With `demo`, also the demo
// host's own tables.
//
// Both functions report objects as "table T_RPT_MODONE", "view VIEW_REPORT_MOD",
// "trigger ...", "function ...", "index ...", a SQLite trigger whose text is not the current
// one (made by an earlier version; init replaces it) as "the current form of trigger
// TR_RPT_MODONE_INSERT", and a column missing from an existing table as
// "column T_RPT_MODONE.rtoperdate", a template table without its key (a unique index over
// exactly the key columns, which the triggers need to find a template's other row) as
// "key T_RPT_MODTWO (rtdocname, rtname, rtoperid)", and rows of a first template table that have
// no row in its second table (saved before the triggers existed) as "T_RPT_MODTWO rows of 3
// T_RPT_MODONE rows"; init adds those rows, with a null blob. init adds a missing key as a unique
// index, or, when rows share a key, fails with "T_RPT_MODTWO needs its key (rtdocname, rtname,
// rtoperid), but rows share one: 日销售报表 / A4横向 / 0107 (2 rows); ..." (the five most
// repeated, then "and N more") and changes nothing. Failures are returned as an Error (the
// transaction's message, prefixed with what was being done); nothing is left half-created.
//
// Objects are looked for as a statement naming them finds them: on PostgreSQL through the search
// path, where a schema named after the user may come before public. Missing objects are created
// beside the component's tables found that way (in the current schema when there are none), so
// that init never makes a second set that would hide the one the host uses.
#pragma once

#include <string>
#include <vector>

#include "common/result.h"
#include "db/transaction.h"

namespace print::db {

struct SchemaOptions {
    bool demo = false;
};

// Creates what is missing and commits; the list of what was created, empty when the schema
// was already complete. On failure everything done by this call is rolled back.
Result<std::vector<std::string>> initSchema(Transaction& sqlca, const SchemaOptions& options = {});
// What is missing; empty when the schema is complete. Changes nothing.
Result<std::vector<std::string>> checkSchema(Transaction& sqlca, const SchemaOptions& options = {});

}  // namespace print::db
