#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/backend.h"
#include "db/demo_data.h"
#include "db/library_file.h"
#include "db/transaction.h"
#include "db_test_support.h"
#include "engine/datastore.h"

namespace print::db {
namespace {

using engine::RetrieveArgument;
using engine::RetrieveColumn;
using test::DatabaseTest;

class CollectingSink : public engine::RowSink {
public:
    void appendRow(std::vector<Value>& values) override { rows.push_back(std::move(values)); }
    std::vector<std::vector<Value>> rows;
};

class RetrieveTest : public DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(sqlca.execute("CREATE TABLE t_r (s VARCHAR(20), n NUMERIC(12, 2), l INTEGER, "
                                "d DATE, dt TIMESTAMP, tm TIME)"),
                  0);
        const char* insert =
            "INSERT INTO t_r (s, n, l, d, dt, tm) VALUES (:s, :n, :l, :d, :dt, :tm)";
        for (int i = 1; i <= 6; ++i) {
            ASSERT_EQ(
                sqlca.execute(
                    insert, {"s" + std::to_string(i), *Decimal::parse(std::to_string(i) + ".25"), i,
                             *Date::fromYmd(2024, 3, i),
                             DateTime{*Date::fromYmd(2024, 3, i), *Time::fromHms(8, i, 0)},
                             *Time::fromHms(10, i, 30)}),
                0)
                << sqlca.sqlErrText();
        }
        ASSERT_EQ(sqlca.commit(), 0);
    }

    const std::vector<RetrieveColumn> kColumns = {
        {"s", "s", ValueType::String},     {"n", "n", ValueType::Number},
        {"l", "l", ValueType::Long},       {"d", "d", ValueType::Date},
        {"dt", "dt", ValueType::DateTime}, {"tm", "tm", ValueType::Time}};
};

TEST_P(RetrieveTest, ArgumentsOfEachTypeSelectTheirRow) {
    // Each argument matches one row; some arrive as text and are converted to their type.
    std::vector<RetrieveArgument> args = {
        {"A_S", ValueType::String, Value("s1")},
        {"a_n", ValueType::Number, Value("2.25")},
        {"a_l", ValueType::Long, Value(3)},
        {"a_d", ValueType::Date, Value(*Date::fromYmd(2024, 3, 4))},
        {"a_dt", ValueType::DateTime, Value("2024-03-05 08:05:00")},
        {"a_tm", ValueType::Time, Value(*Time::fromHms(10, 6, 30))},
    };
    CollectingSink sink;
    auto n = sqlca.retrieve(
        "SELECT s, n, l, d, dt, tm FROM t_r WHERE s = :a_s OR n = :a_n OR l = :a_l OR d = :a_d "
        "OR dt = :a_dt OR tm = :a_tm ORDER BY l",
        args, kColumns, sink);
    ASSERT_TRUE(n.ok()) << n.error().message;
    EXPECT_EQ(n.value(), 6);
    ASSERT_EQ(sink.rows.size(), 6u);
    const auto& r4 = sink.rows[3];
    EXPECT_EQ(r4[0], Value("s4"));
    EXPECT_EQ(r4[1], Value(*Decimal::parse("4.25")));
    EXPECT_EQ(r4[2], Value(int64_t{4}));
    EXPECT_EQ(r4[3], Value(*Date::fromYmd(2024, 3, 4)));
    EXPECT_EQ(r4[4], Value(DateTime{*Date::fromYmd(2024, 3, 4), *Time::fromHms(8, 4, 0)}));
    EXPECT_EQ(r4[5], Value(*Time::fromHms(10, 4, 30)));
}

TEST_P(RetrieveTest, ArgumentsTakeTheTypeTheirPlaceWants) {
    CollectingSink sink;
    auto n = sqlca.retrieve(
        "SELECT substr(s, :from, :len) FROM t_r WHERE (:l IS NULL OR l <= :l) "
        "ORDER BY l",
        {{"from", ValueType::Long, Value(2)},
         {"len", ValueType::Long, Value("1")},
         {"l", ValueType::Long, Value(2)}},
        {kColumns[0]}, sink);
    ASSERT_TRUE(n.ok()) << n.error().message;
    EXPECT_EQ(sink.rows, (std::vector<std::vector<Value>>{{Value("1")}, {Value("2")}}));
}

TEST_P(RetrieveTest, NullArgumentsAndNoRows) {
    CollectingSink sink;
    auto n = sqlca.retrieve("SELECT s, n, l, d, dt, tm FROM t_r WHERE s = :s",
                            {{"s", ValueType::String, Value()}}, kColumns, sink);
    ASSERT_TRUE(n.ok()) << n.error().message;
    EXPECT_EQ(n.value(), 0);
    EXPECT_TRUE(sink.rows.empty());
}

TEST_P(RetrieveTest, ErrorsSayWhatWentWrong) {
    CollectingSink sink;
    auto r = sqlca.retrieve("SELECT s FROM t_r WHERE s = :who", {}, {kColumns[0]}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "the query uses :who, which is not a retrieval argument");

    r = sqlca.retrieve("SELECT s FROM t_r WHERE l = :l", {{"l", ValueType::Long, Value("abc")}},
                       {kColumns[0]}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "retrieval argument l: 'abc' is not a long");

    // Beyond a long's range is an error, never the largest long in its place.
    r = sqlca.retrieve("SELECT s FROM t_r WHERE l = :l",
                       {{"l", ValueType::Long, Value("99999999999999999999")}}, {kColumns[0]},
                       sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "retrieval argument l: '99999999999999999999' is not a long");
    r = sqlca.retrieve("SELECT CAST(:n AS NUMERIC(30, 0)) FROM t_r",
                       {{"n", ValueType::Number, Value(*Decimal::parse("100000000000000000000"))}},
                       {{"l", "l", ValueType::Long}}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error().message.find("is not a long"), std::string::npos) << r.error().message;

    r = sqlca.retrieve("SELECT s FROM t_r", {}, {kColumns[0], kColumns[1]}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "the query returns 1 columns but the report has 2");

    r = sqlca.retrieve("SELECT CASE WHEN l = 2 THEN 'abc' ELSE '1' END FROM t_r ORDER BY l", {},
                       {{"n", "n", ValueType::Number}}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "row 2, column n: 'abc' is not a number");

    r = sqlca.retrieve("SELECT nothing FROM t_r", {}, {kColumns[0]}, sink);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, sqlca.sqlErrText());
    EXPECT_EQ(sqlca.sqlCode(), -1);
}

// PostgreSQL writes timestamps and times with time zone with the session's offset, which can
// carry minutes; the report keeps the local date-time that comes before it.
TEST_P(RetrieveTest, TimesWithAZoneKeepTheirLocalValue) {
    if (GetParam() == Backend::PostgreSql) {
        ASSERT_EQ(sqlca.execute("SET TimeZone = 'Asia/Kolkata'"), 0) << sqlca.sqlErrText();
        CollectingSink sink;
        auto n = sqlca.retrieve(
            "SELECT CAST('2024-03-05 08:05:00' AS timestamptz), "
            "CAST('2024-03-05 08:05:00' AS timestamptz), CAST('10:06:30' AS timetz)",
            {},
            {{"dt", "dt", ValueType::DateTime},
             {"d", "d", ValueType::Date},
             {"tm", "tm", ValueType::Time}},
            sink);
        ASSERT_TRUE(n.ok()) << n.error().message;
        ASSERT_EQ(sink.rows.size(), 1u);
        EXPECT_EQ(sink.rows[0][0],
                  Value(DateTime{*Date::fromYmd(2024, 3, 5), *Time::fromHms(8, 5, 0)}));
        EXPECT_EQ(sink.rows[0][1], Value(*Date::fromYmd(2024, 3, 5)));
        EXPECT_EQ(sink.rows[0][2], Value(*Time::fromHms(10, 6, 30)));
    }
    for (const char* text : {"2024-03-05 08:05:00+08", "2024-03-05 08:05:00-03:30",
                             "2024-03-05 08:05:00+05:45:00", "2024-03-05 08:05:00Z"}) {
        Value v;
        std::string error;
        ASSERT_TRUE(detail::textToValue(text, ValueType::DateTime, v, error)) << error;
        EXPECT_EQ(v, Value(DateTime{*Date::fromYmd(2024, 3, 5), *Time::fromHms(8, 5, 0)})) << text;
    }
}

// The demo definitions retrieve their rows through the report engine on both back ends.
TEST_P(RetrieveTest, DemoReportsRetrieveThroughTheEngine) {
    ASSERT_TRUE(loadDemoData(sqlca, DemoOptions{3000}).ok());
    auto read = [](const std::string& name) {
        std::ifstream in(std::string(DEMO_DEFS_DIR) + "/" + name + ".srd", std::ios::binary);
        std::ostringstream buf;
        buf << in.rdbuf();
        return buf.str();
    };
    auto open = [&](engine::DataStore& ds, const std::string& name) {
        std::string error;
        ASSERT_EQ(ds.Create(read(name), error), 1) << name << ": " << error;
        ASSERT_EQ(ds.SetTransObject(&sqlca), 1);
    };

    engine::DataStore cond;
    open(cond, "d_demo_sale_cond");
    ASSERT_EQ(cond.Retrieve(), 1) << cond.lastError();
    EXPECT_EQ(cond.GetItemDate(1, "begindate"), Date::fromYmd(2024, 1, 1));

    engine::DataStore report;
    open(report, "d_demo_sale_report");
    long all = report.Retrieve(
        {*cond.GetItemDate(1, "begindate"), *cond.GetItemDate(1, "enddate"), "", ""});
    EXPECT_EQ(all, 3000) << report.lastError();
    long march =
        report.Retrieve({*Date::fromYmd(2024, 3, 1), *Date::fromYmd(2024, 3, 31), "S001", "乳品"});
    EXPECT_GT(march, 0) << report.lastError();
    for (long r = 1; r <= march; ++r) {
        EXPECT_EQ(report.GetItemString(r, "storeid"), "S001");
        EXPECT_EQ(report.GetItemString(r, "category"), "乳品");
    }

    engine::DataStore order;
    open(order, "d_demo_order_detail");
    EXPECT_EQ(order.Retrieve({"305", demoBillNo("305")}), 10) << order.lastError();
    EXPECT_EQ(order.GetItemNumber(1, "sum_hsjjje"), Decimal::parse("11750"));
    engine::DataStore gifts;
    open(gifts, "d_demo_order_gift");
    EXPECT_EQ(gifts.Retrieve({"305", demoBillNo("305")}), 2) << gifts.lastError();

    engine::DataStore settle;
    open(settle, "d_demo_settle_detail");
    EXPECT_EQ(settle.Retrieve({"508", demoBillNo("508")}), 7) << settle.lastError();
    EXPECT_EQ(settle.GetItemNumber(1, "sum_hspsje"), Decimal::parse("62822.8"));

    for (const char* name : {"d_demo_recv_head", "d_demo_recv_detail", "d_demo_order_head",
                             "d_demo_settle_head", "d_demo_charge_detail"}) {
        engine::DataStore ds;
        open(ds, name);
        std::string billid = std::string(name).find("recv") != std::string::npos    ? "101"
                             : std::string(name).find("order") != std::string::npos ? "305"
                                                                                    : "J01";
        EXPECT_GT(ds.Retrieve({billid, demoBillNo(billid)}), 0) << name << ": " << ds.lastError();
    }
}

PRINT_DB_BACKENDS(RetrieveTest);

}  // namespace
}  // namespace print::db
