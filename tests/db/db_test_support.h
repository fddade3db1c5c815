// A fresh, private database per test, on each back end: SQLite in a temporary file, PostgreSQL
// (when PRINT_TEST_PG_URL names a server) in a schema of its own that is dropped afterwards, so
// that tests running side by side never see each other's tables.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/transaction.h"

namespace print::db::test {

class DatabaseTest : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The URL of this test's database; connect as many transactions to it as needed.
    const std::string& url() const { return m_url; }
    // A transaction connected to it (fails the test when it cannot connect).
    Transaction connected();
    // A file path inside this test's own temporary folder.
    std::string tempPath(const std::string& name) const { return m_dir + "/" + name; }
    // PostgreSQL: the schema this test's URL searches, another one made for the test (dropped
    // with it), and the test's database searched through `searchPath` (comma-separated schemas).
    const std::string& schema() const { return m_schema; }
    std::string createSchema(const std::string& suffix);
    std::string urlWithSearchPath(const std::string& searchPath) const;

    Transaction sqlca;  // connected in SetUp

private:
    std::string m_dir;
    std::string m_url;
    std::string m_schema;  // PostgreSQL only
    std::vector<std::string> m_extraSchemas;
};

// "Sqlite" / "PostgreSql", for test names.
std::string backendName(const testing::TestParamInfo<Backend>& info);

// A temporary folder removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};

}  // namespace print::db::test

#define PRINT_DB_BACKENDS(Suite)                                                     \
    INSTANTIATE_TEST_SUITE_P(                                                        \
        Backends, Suite,                                                             \
        testing::Values(print::db::Backend::Sqlite, print::db::Backend::PostgreSql), \
        print::db::test::backendName)
