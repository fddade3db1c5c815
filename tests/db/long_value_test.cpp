// Values at the edges of what a report column holds, retrieved through the report engine: texts
// longer than a chunk of the column store, and longs at and beyond the ends of their range.
#include <gtest/gtest.h>

#include "db/transaction.h"
#include "db_test_support.h"
#include "engine/datastore.h"

namespace print::db {
namespace {

using test::DatabaseTest;

class EdgeValueTest : public DatabaseTest {
protected:
    void open(engine::DataStore& report, const std::string& table, const std::string& select) {
        std::string error;
        ASSERT_EQ(report.Create("release 9;\ndatawindow(units=0 )\ntable(" + table +
                                    " retrieve=\"" + select + "\" )\n",
                                error),
                  1)
            << error;
        ASSERT_EQ(report.SetTransObject(&sqlca), 1);
    }
};

TEST_P(EdgeValueTest, ATextLongerThanAStoreChunkIsRetrievedWhole) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE t_big (id INTEGER, s TEXT)"), 0) << sqlca.sqlErrText();
    const std::string big(1500000, 'x');
    ASSERT_EQ(sqlca.execute("INSERT INTO t_big (id, s) VALUES (1, :s)", {Value(big)}), 0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.execute("INSERT INTO t_big (id, s) VALUES (2, 'after')"), 0);
    engine::DataStore report;
    open(report,
         "column=(type=long name=id dbname=\"id\" ) column=(type=char(2000000) name=s "
         "dbname=\"s\" )",
         "SELECT id, s FROM t_big ORDER BY id");
    ASSERT_EQ(report.Retrieve(), 2) << report.lastError();
    EXPECT_EQ(report.GetItemString(1, "s").value_or(""), big);
    EXPECT_EQ(report.GetItemString(2, "s").value_or(""), "after");
}

TEST_P(EdgeValueTest, EveryLongIsKeptAndNoneBeyondTheRangeIsMadeUp) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE t_long (id INTEGER, l BIGINT, t VARCHAR(40))"), 0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.execute("INSERT INTO t_long (id, l, t) VALUES (1, -9223372036854775808, "
                            "'123456789012345678901234567890')"),
              0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.execute("INSERT INTO t_long (id, l, t) VALUES (2, 9223372036854775807, '5')"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO t_long (id, l, t) VALUES (3, NULL, '6')"), 0);
    engine::DataStore report;
    open(report, "column=(type=long name=id dbname=\"id\" ) column=(type=long name=l dbname=\"l\" )",
         "SELECT id, l FROM t_long ORDER BY id");
    ASSERT_EQ(report.Retrieve(), 3) << report.lastError();
    EXPECT_EQ(report.GetItem(1, "l"), Value(int64_t{INT64_MIN}));
    EXPECT_EQ(report.GetItem(2, "l"), Value(int64_t{INT64_MAX}));
    EXPECT_EQ(report.GetItem(3, "l"), Value());

    // A text beyond the range read into a long column is an error, not the largest long.
    engine::DataStore beyond;
    open(beyond, "column=(type=long name=l dbname=\"t\" )", "SELECT t FROM t_long ORDER BY id");
    EXPECT_EQ(beyond.Retrieve(), -1);
    EXPECT_EQ(beyond.lastError(), "row 1, column l: '123456789012345678901234567890' is not a long");
}

PRINT_DB_BACKENDS(EdgeValueTest);

}  // namespace
}  // namespace print::db
