#include "db_test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>

namespace print::db::test {
namespace {

std::string makeTempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "print-db-test.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

std::string withSearchPath(const std::string& base, const std::string& schema) {
    std::string option = "options=-csearch_path%3D" + schema;
    return base + (base.find('?') == std::string::npos ? "?" : "&") + option;
}

}  // namespace

TempDir::TempDir() : m_dir(makeTempDir()) {}
TempDir::~TempDir() {
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
}

std::string backendName(const testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "PostgreSql";
}

void DatabaseTest::SetUp() {
    m_dir = makeTempDir();
    ASSERT_FALSE(m_dir.empty());
    if (GetParam() == Backend::Sqlite) {
        m_url = "sqlite:" + m_dir + "/test.db";
    } else {
        const char* base = std::getenv("PRINT_TEST_PG_URL");
        if (!base || !*base) GTEST_SKIP() << "PRINT_TEST_PG_URL is not set";
        std::random_device rd;
        m_schema = "print_test_" + std::to_string(::getpid()) + "_" + std::to_string(rd() % 100000);
        Transaction admin;
        ASSERT_EQ(admin.connect(base), 0) << admin.sqlErrText();
        // A schema name is an identifier and cannot be a parameter; this one is made here.
        ASSERT_EQ(admin.execute("CREATE SCHEMA " + m_schema), 0) << admin.sqlErrText();
        ASSERT_EQ(admin.commit(), 0) << admin.sqlErrText();
        m_url = withSearchPath(base, m_schema);
    }
    ASSERT_EQ(sqlca.connect(m_url), 0) << sqlca.sqlErrText();
}

void DatabaseTest::TearDown() {
    sqlca.disconnect();
    if (!m_schema.empty()) {
        Transaction admin;
        if (admin.connect(std::getenv("PRINT_TEST_PG_URL")) == 0) {
            m_extraSchemas.push_back(m_schema);
            for (const std::string& schema : m_extraSchemas)
                (void)admin.execute("DROP SCHEMA " + schema + " CASCADE");
            (void)admin.commit();
        }
    }
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
}

std::string DatabaseTest::createSchema(const std::string& suffix) {
    std::string name = m_schema + "_" + suffix;
    Transaction admin;
    EXPECT_EQ(admin.connect(std::getenv("PRINT_TEST_PG_URL")), 0) << admin.sqlErrText();
    EXPECT_EQ(admin.execute("CREATE SCHEMA " + name), 0) << admin.sqlErrText();
    EXPECT_EQ(admin.commit(), 0) << admin.sqlErrText();
    m_extraSchemas.push_back(name);
    return name;
}

std::string DatabaseTest::urlWithSearchPath(const std::string& searchPath) const {
    return withSearchPath(std::getenv("PRINT_TEST_PG_URL"), searchPath);
}

Transaction DatabaseTest::connected() {
    Transaction t;
    EXPECT_EQ(t.connect(m_url), 0) << t.sqlErrText();
    return t;
}

}  // namespace print::db::test
