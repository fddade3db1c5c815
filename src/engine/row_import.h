// Rows from tab-separated text: the first line names the columns (in any order, any subset,
// each once; a byte-order mark before it is dropped), every further line holds one row's
// values, separated by tabs.
//
// An empty value is null, except in a text column, where it is the empty text. Values are read
// as their column's type: numbers as decimal text, dates YYYY-MM-DD, date-times
// YYYY-MM-DD HH:MM:SS, times HH:MM:SS. Line ends may be LF or CR LF; empty lines at the end are
// ignored.
//
// Failures: `importRows` returns an Error whose message begins "<source> line N: " and says
// what is wrong (a column the report does not have or one named twice, a line with more or
// fewer values than the first, a value that does not fit its column), and leaves the report's
// rows as they were.
#pragma once

#include <string_view>

#include "common/result.h"
#include "engine/datastore.h"

namespace print::engine {

// Replaces the rows of `report` with the rows of `text`; `source` names the text in messages
// (a file name). Returns the number of rows read.
Result<long> importRows(DataStore& report, std::string_view text, std::string_view source);

}  // namespace print::engine
