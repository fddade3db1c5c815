// Owning handles for SQLite connections and statements, shared by the SQLite back end and the
// library files.
#pragma once

#include <sqlite3.h>

#include <memory>

namespace print::db::detail {

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

}  // namespace print::db::detail
