#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "db/demo_data.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "db_test_support.h"

namespace print::db {
namespace {

using test::DatabaseTest;

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

class SchemaTest : public DatabaseTest {
protected:
    long count(const std::string& sql, const std::vector<Value>& params) {
        std::vector<Value> row;
        EXPECT_EQ(sqlca.selectInto(sql, params, row, {ValueType::Long}), 0) << sqlca.sqlErrText();
        return row.empty() ? -1 : static_cast<long>(row[0].asLong());
    }
};

TEST_P(SchemaTest, InitCreatesOnceAndCheckFindsNothingMissing) {
    auto missing = checkSchema(sqlca);
    ASSERT_TRUE(missing.ok()) << missing.error().message;
    EXPECT_TRUE(contains(missing.value(), "table T_RPT_MODONE"));
    EXPECT_TRUE(contains(missing.value(), "view VIEW_GOODS_PRINT"));

    auto created = initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().message;
    for (const char* object :
         {"table T_BILLMAIN", "table T_SUPPLYBALANCE", "table t_Privatepara", "table T_RPT_MODONE",
          "table T_RPT_MODTWO", "view VIEW_REPORT_MOD", "table T_GOODSPRINT1",
          "table T_GOODSPRINT2", "view VIEW_GOODS_PRINT"})
        EXPECT_TRUE(contains(created.value(), object)) << object;
    EXPECT_FALSE(contains(created.value(), "table T_DEMO_SALE")) << "demo tables only on request";

    auto again = initSchema(sqlca);
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(again.value().empty());
    EXPECT_TRUE(checkSchema(sqlca).value().empty());
}

// PostgreSQL's default search path puts a schema named after the user before public. When the
// host's tables live in public and such a schema exists, unqualified SQL finds them in public;
// so must init and check, or a second, empty set in the user's schema would hide them.
TEST_P(SchemaTest, ObjectsAreFoundWhereUnqualifiedSqlFindsThem) {
    if (GetParam() == Backend::Sqlite) GTEST_SKIP() << "SQLite has no search path";
    ASSERT_TRUE(initSchema(sqlca).ok());
    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid) "
                            "VALUES ('日销售报表', 'A4横向', '0107')"),
              0);
    ASSERT_EQ(sqlca.execute("DROP VIEW VIEW_REPORT_MOD"), 0);
    ASSERT_EQ(sqlca.execute("ALTER TABLE T_BILLMAIN DROP COLUMN billstatus"), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    std::string user = createSchema("user");
    Transaction host;
    ASSERT_EQ(host.connect(urlWithSearchPath(user + "," + schema())), 0) << host.sqlErrText();

    auto missing = checkSchema(host);
    ASSERT_TRUE(missing.ok()) << missing.error().message;
    EXPECT_EQ(missing.value(),
              (std::vector<std::string>{"column T_BILLMAIN.billstatus", "view VIEW_REPORT_MOD"}));
    auto created = initSchema(host);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_EQ(created.value(), missing.value());
    EXPECT_TRUE(checkSchema(host).value().empty());

    // Everything is where the host's tables are; the user's schema stays empty.
    EXPECT_EQ(count("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON "
                    "n.oid = c.relnamespace WHERE n.nspname = :s",
                    {user}),
              0);
    EXPECT_EQ(count("SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON "
                    "n.oid = p.pronamespace WHERE n.nspname = :s",
                    {user}),
              0);
    std::vector<Value> row;
    EXPECT_EQ(host.selectInto("SELECT rtname FROM VIEW_REPORT_MOD", {}, row), 0)
        << host.sqlErrText();
    EXPECT_EQ(row, std::vector<Value>{Value("A4横向")});
}

TEST_P(SchemaTest, MissingColumnsAreReportedAndAdded) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_BILLMAIN (billid VARCHAR(10) NOT NULL PRIMARY KEY, "
                            "billname VARCHAR(60) NOT NULL)"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO T_BILLMAIN (billid, billname) VALUES ('305', '采购订单')"),
              0);
    ASSERT_EQ(sqlca.commit(), 0);
    auto missing = checkSchema(sqlca);
    ASSERT_TRUE(missing.ok());
    EXPECT_TRUE(contains(missing.value(), "column T_BILLMAIN.billstatus"));
    EXPECT_FALSE(contains(missing.value(), "table T_BILLMAIN"));

    auto created = initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_TRUE(contains(created.value(), "column T_BILLMAIN.billstatus"));
    std::vector<Value> row;
    ASSERT_EQ(sqlca.selectInto("SELECT billname FROM T_BILLMAIN WHERE billid = :id AND "
                               "billstatus = 'Y'",
                               {"305"}, row),
              0)
        << "an existing row gets the column's default";
    EXPECT_EQ(row[0], Value("采购订单"));
}

// The statements of the template store, as the print window runs them.
TEST_P(SchemaTest, TemplateRowsKeepTheirSecondRowAndTheirKeys) {
    ASSERT_TRUE(initSchema(sqlca).ok());
    const char* insertReport =
        "Insert Into T_RPT_MODONE ( rtdocname, rtname, rtoperid, rtflag, rtdefault, rtdwname, "
        "rtdwcurname, rtoperdate ) Values ( :doc, :name, :oper, :flag, :def, :dw, :cur, :dt )";
    auto report = [&](const char* name, const char* oper, const char* flag) {
        return sqlca.execute(insertReport, {"日销售报表", name, oper, flag, "N", "d_sale",
                                            std::string("dp_tmp_") + name, Value()});
    };
    ASSERT_EQ(report("A4横向", "0107", "0"), 0) << sqlca.sqlErrText();
    ASSERT_EQ(report("我的格式", "0107", "1"), 0);
    ASSERT_EQ(report("他的格式", "0203", "1"), 0);
    EXPECT_EQ(report("A4横向", "0107", "0"), -1) << "the key is unique";
    EXPECT_EQ(count("SELECT count(*) FROM T_RPT_MODTWO WHERE rtdocname = :d", {"日销售报表"}), 3);

    ASSERT_EQ(sqlca.updateBlob("Update T_RPT_MODTWO Set rtcdata = :blob Where rtdocname = :doc "
                               "And rtname = :name And rtoperid = :oper",
                               "release 9;", {"日销售报表", "A4横向", "0107"}),
              0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.commit(), 0);

    // The list of operator 0107: public ones and its own private ones, never 0203's.
    std::vector<std::string> names;
    ASSERT_EQ(sqlca.query("SELECT RTNAME NAME, RTDEFAULT ISDEFAULT, RTOPERID OPERID FROM "
                          "VIEW_REPORT_MOD WHERE RTDOCNAME=:v_docname AND "
                          "UPPER(RTDWNAME)=UPPER(:v_dwname) AND (RTFLAG='0' OR (RTFLAG='1' AND "
                          "RTOPERID=:v_oper)) ORDER BY RTNAME",
                          {"日销售报表", "D_SALE", "0107"},
                          [&](const std::vector<Value>& row) {
                              names.push_back(row[0].toText());
                              return true;
                          }),
              0)
        << sqlca.sqlErrText();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A4横向", "我的格式"}));

    ASSERT_EQ(sqlca.execute("Delete From T_RPT_MODONE Where rtdocname = :doc And rtname = :name "
                            "And rtoperid = :oper",
                            {"日销售报表", "A4横向", "0107"}),
              0);
    EXPECT_EQ(sqlca.execute("Delete From T_RPT_MODONE Where rtdocname = :doc And rtname = :name "
                            "And rtoperid = :oper",
                            {"日销售报表", "A4横向", "0107"}),
              100);
    ASSERT_EQ(sqlca.commit(), 0);
    EXPECT_EQ(count("SELECT count(*) FROM T_RPT_MODTWO WHERE rtname = :n", {"A4横向"}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM T_RPT_MODTWO", {}), 2);

    // Bill templates: the same pair of tables, keyed by bill id and name.
    ASSERT_EQ(sqlca.execute("INSERT INTO T_GOODSPRINT1 ( BPBID, BPNAME, BPDATE, BPDEFAULT, "
                            "BPDWNAME, BPOPERID ) Values ( :billid, :name, :dt, :def, :dw, :oper )",
                            {"305", "订单格式", Value(), "Y", "dp_305", "0107"}),
              0);
    EXPECT_EQ(sqlca.execute("INSERT INTO T_GOODSPRINT1 ( BPBID, BPNAME ) Values ( :b, :n )",
                            {"305", "订单格式"}),
              -1);
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_GOODSPRINT2 Set bpdetaildw = :blob Where bpbid = "
                               ":billid And bpname = :name",
                               "release 9;", {"305", "订单格式"}),
              0);
    // Renaming the key carries the second row along.
    ASSERT_EQ(sqlca.execute("UPDATE T_GOODSPRINT1 SET bpname = :n WHERE bpbid = :b",
                            {"订单格式2", "305"}),
              0);
    std::string syntax;
    EXPECT_EQ(sqlca.selectBlob("SELECT bpdetaildw FROM T_GOODSPRINT2 WHERE bpbid = :b AND "
                               "bpname = :n",
                               {"305", "订单格式2"}, syntax),
              0);
    EXPECT_EQ(syntax, "release 9;");
    EXPECT_EQ(count("SELECT count(*) FROM VIEW_GOODS_PRINT WHERE bpbid = :b", {"305"}), 1);
    ASSERT_EQ(sqlca.execute("DELETE FROM T_GOODSPRINT1 WHERE bpbid = :b", {"305"}), 0);
    EXPECT_EQ(count("SELECT count(*) FROM T_GOODSPRINT2", {}), 0);
    ASSERT_EQ(sqlca.commit(), 0);
}

// Saving over a template with an upsert keeps the second table's syntax on both back ends:
// SQLite's INSERT OR REPLACE deletes and inserts the first row, and must not take the syntax
// with it. A new template never inherits the syntax of a second row left behind.
TEST_P(SchemaTest, ReplacingATemplateRowKeepsItsSyntax) {
    bool lite = GetParam() == Backend::Sqlite;
    if (lite) {
        // A store made before: its insert trigger replaced the second row.
        ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODONE (rtdocname VARCHAR(200) NOT NULL, "
                                "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL, "
                                "PRIMARY KEY (rtdocname, rtname, rtoperid))"),
                  0);
        ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODTWO (rtdocname VARCHAR(200) NOT NULL, "
                                "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL, "
                                "rtcdata BLOB, PRIMARY KEY (rtdocname, rtname, rtoperid))"),
                  0);
        ASSERT_EQ(sqlca.executeScript(
                      "CREATE TRIGGER TR_RPT_MODONE_INSERT AFTER INSERT ON T_RPT_MODONE\n"
                      "BEGIN\n    INSERT OR REPLACE INTO T_RPT_MODTWO (rtdocname, rtname, "
                      "rtoperid, rtcdata)\n    VALUES (NEW.rtdocname, NEW.rtname, NEW.rtoperid, "
                      "NULL);\nEND"),
                  0);
        ASSERT_EQ(sqlca.commit(), 0);
        auto missing = checkSchema(sqlca);
        ASSERT_TRUE(missing.ok()) << missing.error().message;
        EXPECT_TRUE(contains(missing.value(), "the current form of trigger TR_RPT_MODONE_INSERT"));
        EXPECT_FALSE(contains(missing.value(), "the current form of trigger TR_RPT_MODONE_DELETE"));
    }
    auto created = initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().message;
    if (lite) {
        EXPECT_TRUE(contains(created.value(), "the current form of trigger TR_RPT_MODONE_INSERT"));
        EXPECT_TRUE(checkSchema(sqlca).value().empty());
    }

    auto save = [&](const char* table, const std::string& columns, const std::string& keys,
                    std::vector<Value> values) {
        std::string names = keys + ", " + columns;
        std::string placeholders;
        for (size_t i = 0; i < values.size(); ++i)
            placeholders += (i ? ", :v" : ":v") + std::to_string(i);
        std::string sql = lite ? "INSERT OR REPLACE INTO " + std::string(table) + " (" + names +
                                     ") VALUES (" + placeholders + ")"
                               : "INSERT INTO " + std::string(table) + " (" + names + ") VALUES (" +
                                     placeholders + ") ON CONFLICT (" + keys + ") DO UPDATE SET " +
                                     columns + " = EXCLUDED." + columns;
        return sqlca.execute(sql, values);
    };
    const std::string reportKeys = "rtdocname, rtname, rtoperid";
    ASSERT_EQ(save("T_RPT_MODONE", "rtdefault", reportKeys, {"日销售报表", "A4横向", "0107", "N"}),
              0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b WHERE rtname = :n",
                               "release 9;", {"A4横向"}),
              0);
    ASSERT_EQ(save("T_RPT_MODONE", "rtdefault", reportKeys, {"日销售报表", "A4横向", "0107", "Y"}),
              0)
        << sqlca.sqlErrText();
    std::string syntax;
    ASSERT_EQ(
        sqlca.selectBlob("SELECT rtcdata FROM T_RPT_MODTWO WHERE rtname = :n", {"A4横向"}, syntax),
        0);
    EXPECT_EQ(syntax, "release 9;");
    EXPECT_EQ(count("SELECT count(*) FROM VIEW_REPORT_MOD WHERE rtdefault = 'Y'", {}), 1);

    ASSERT_EQ(save("T_GOODSPRINT1", "bpdefault", "bpbid, bpname", {"305", "订单", "N"}), 0);
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_GOODSPRINT2 SET bpdetaildw = :b WHERE bpbid = :i",
                               "release 9;", {"305"}),
              0);
    ASSERT_EQ(save("T_GOODSPRINT1", "bpdefault", "bpbid, bpname", {"305", "订单", "Y"}), 0);
    ASSERT_EQ(
        sqlca.selectBlob("SELECT bpdetaildw FROM T_GOODSPRINT2 WHERE bpbid = :i", {"305"}, syntax),
        0);
    EXPECT_EQ(syntax, "release 9;");

    // A second row without its first one: the next template of that key starts empty.
    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODTWO (rtdocname, rtname, rtoperid) VALUES "
                            "('日销售报表', '旧格式', '0107')"),
              0);
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b WHERE rtname = :n", "old",
                               {"旧格式"}),
              0);
    ASSERT_EQ(save("T_RPT_MODONE", "rtdefault", reportKeys, {"日销售报表", "旧格式", "0107", "N"}),
              0);
    syntax = "stale";
    ASSERT_EQ(
        sqlca.selectBlob("SELECT rtcdata FROM T_RPT_MODTWO WHERE rtname = :n", {"旧格式"}, syntax),
        0);
    EXPECT_EQ(syntax, "");
    ASSERT_EQ(sqlca.commit(), 0);
}

// Two operators make their own template of one report the default at the same moment. Each
// clears the other defaults and sets its own; row locks taken in opposite orders would deadlock
// on PostgreSQL, and without a lock both could read "no default" and both set one.
TEST_P(SchemaTest, LockingADocumentQueuesTwoOperatorsSettingItsDefault) {
    ASSERT_TRUE(initSchema(sqlca).ok());
    for (const char* name : {"甲", "乙"})
        ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid, rtflag, "
                                "rtdefault) VALUES (:d, :n, '0107', '0', 'N')",
                                {"日销售报表", name}),
                  0);
    ASSERT_EQ(sqlca.commit(), 0);

    auto makeDefault = [&](Transaction& t, const char* mine, std::string& error) {
        bool done = t.lockName("日销售报表") == 0 &&
                    t.execute(
                        "UPDATE T_RPT_MODONE SET rtdefault = 'N' WHERE rtdocname = :d AND "
                        "rtname <> :n",
                        {"日销售报表", mine}) >= 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        done = done &&
               t.execute(
                   "UPDATE T_RPT_MODONE SET rtdefault = 'Y' WHERE rtdocname = :d AND "
                   "rtname = :n",
                   {"日销售报表", mine}) == 0 &&
               t.commit() == 0;
        if (done) return;
        error = t.sqlErrText();
        (void)t.rollback();
    };
    Transaction first = connected();
    Transaction second = connected();
    std::string firstError, secondError;
    std::thread a([&] { makeDefault(first, "甲", firstError); });
    std::thread b([&] { makeDefault(second, "乙", secondError); });
    a.join();
    b.join();
    EXPECT_EQ(firstError, "");
    EXPECT_EQ(secondError, "");
    EXPECT_EQ(count("SELECT count(*) FROM T_RPT_MODONE WHERE rtdefault = 'Y'", {}), 1);

    // The lock lasts until the transaction ends.
    ASSERT_EQ(first.lockName("日销售报表"), 0) << first.sqlErrText();
    EXPECT_TRUE(first.inTransaction());
    std::atomic<bool> locked = false;
    std::thread waiting([&] {
        EXPECT_EQ(second.lockName("日销售报表"), 0) << second.sqlErrText();
        locked = true;
        (void)second.rollback();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(locked);
    EXPECT_EQ(first.commit(), 0);
    waiting.join();
    EXPECT_TRUE(locked);
}

// Template tables a host made without their key: on PostgreSQL every template insert fails in
// the trigger (its ON CONFLICT needs the key); on SQLite a leftover second row doubles a
// template in the view and makes its syntax unreadable.
TEST_P(SchemaTest, TemplateTablesWithoutTheirKeyGetIt) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODONE (rtdocname VARCHAR(200) NOT NULL, "
                            "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL)"),
              0);
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODTWO (rtdocname VARCHAR(200) NOT NULL, "
                            "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL, "
                            "rtcdata " +
                            std::string(GetParam() == Backend::Sqlite ? "BLOB" : "BYTEA") + ")"),
              0);
    // A unique key over other columns is not the key.
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_GOODSPRINT2 (bpbid VARCHAR(10) NOT NULL, "
                            "bpname VARCHAR(100) NOT NULL, bpdetaildw VARCHAR(10), "
                            "UNIQUE (bpbid))"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODTWO (rtdocname, rtname, rtoperid) "
                            "VALUES ('日销售报表', 'A4横向', '0107')"),
              0);
    ASSERT_EQ(sqlca.commit(), 0);

    auto missing = checkSchema(sqlca);
    ASSERT_TRUE(missing.ok()) << missing.error().message;
    EXPECT_TRUE(contains(missing.value(), "key T_RPT_MODONE (rtdocname, rtname, rtoperid)"));
    EXPECT_TRUE(contains(missing.value(), "key T_RPT_MODTWO (rtdocname, rtname, rtoperid)"));
    EXPECT_TRUE(contains(missing.value(), "key T_GOODSPRINT2 (bpbid, bpname)"));
    EXPECT_FALSE(contains(missing.value(), "key T_GOODSPRINT1 (bpbid, bpname)"))
        << "a table that is missing is reported as a table";

    auto created = initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_TRUE(contains(created.value(), "key T_RPT_MODTWO (rtdocname, rtname, rtoperid)"));
    auto after = checkSchema(sqlca);
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after.value(), std::vector<std::string>{});

    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid) "
                            "VALUES ('日销售报表', 'A4横向', '0107')"),
              0)
        << sqlca.sqlErrText();
    EXPECT_EQ(sqlca.execute("INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid) "
                            "VALUES ('日销售报表', 'A4横向', '0107')"),
              -1);
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b WHERE rtdocname = :d",
                               "release 9;", {"日销售报表"}),
              0);
    std::string syntax;
    EXPECT_EQ(sqlca.selectBlob("SELECT rtcdata FROM T_RPT_MODTWO WHERE rtdocname = :d",
                               {"日销售报表"}, syntax),
              0)
        << sqlca.sqlErrText();
    EXPECT_EQ(count("SELECT count(*) FROM VIEW_REPORT_MOD", {}), 1);
}

TEST_P(SchemaTest, AKeyIsNotAddedOverRowsThatShareIt) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODTWO (rtdocname VARCHAR(200) NOT NULL, "
                            "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL)"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODTWO (rtdocname, rtname, rtoperid) VALUES "
                            "('日销售报表', 'A4横向', '0107'), ('日销售报表', 'A4横向', '0107'), "
                            "('日销售报表', 'A4横向', '0203'), ('周报', 'x', '1'), "
                            "('周报', 'x', '1'), ('周报', 'x', '1')"),
              0);
    ASSERT_EQ(sqlca.commit(), 0);
    auto created = initSchema(sqlca);
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().message,
              "T_RPT_MODTWO needs its key (rtdocname, rtname, rtoperid), but rows share one: "
              "周报 / x / 1 (3 rows); 日销售报表 / A4横向 / 0107 (2 rows)");
    auto missing = checkSchema(sqlca);
    ASSERT_TRUE(missing.ok());
    EXPECT_TRUE(contains(missing.value(), "table T_BILLMAIN")) << "nothing was created";
}

// A host that kept templates before this schema: its first rows get their second rows, or the
// report syntax saved over such a template would be dropped by an UPDATE that finds no row.
TEST_P(SchemaTest, FirstRowsSavedBeforeTheTriggersGetTheirSecondRows) {
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_RPT_MODONE (rtdocname VARCHAR(200) NOT NULL, "
                            "rtname VARCHAR(100) NOT NULL, rtoperid VARCHAR(20) NOT NULL, "
                            "PRIMARY KEY (rtdocname, rtname, rtoperid))"),
              0);
    ASSERT_EQ(sqlca.execute("CREATE TABLE T_GOODSPRINT1 (bpbid VARCHAR(10) NOT NULL, "
                            "bpname VARCHAR(100) NOT NULL, PRIMARY KEY (bpbid, bpname))"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid) VALUES "
                            "('日销售报表', 'A4横向', '0107'), ('日销售报表', 'A4横向', '0203')"),
              0);
    ASSERT_EQ(sqlca.execute("INSERT INTO T_GOODSPRINT1 (bpbid, bpname) VALUES ('305', '订单')"), 0);
    ASSERT_EQ(sqlca.commit(), 0);

    auto created = initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().message;
    EXPECT_TRUE(contains(created.value(), "T_RPT_MODTWO rows of 2 T_RPT_MODONE rows"));
    EXPECT_TRUE(contains(created.value(), "T_GOODSPRINT2 rows of 1 T_GOODSPRINT1 rows"));
    EXPECT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b WHERE rtdocname = :d AND "
                               "rtname = :n AND rtoperid = :o",
                               "release 9;", {"日销售报表", "A4横向", "0203"}),
              0)
        << sqlca.sqlErrText();
    EXPECT_EQ(sqlca.updateBlob("UPDATE T_GOODSPRINT2 SET bpdetaildw = :b WHERE bpbid = :b2 AND "
                               "bpname = :n",
                               "release 9;", {"305", "订单"}),
              0);
    ASSERT_EQ(sqlca.commit(), 0);
    EXPECT_TRUE(initSchema(sqlca).value().empty()) << "a second run changes nothing";

    // Out of step again (a row removed by hand): check says so.
    ASSERT_EQ(sqlca.execute("DELETE FROM T_GOODSPRINT2"), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    auto missing = checkSchema(sqlca);
    ASSERT_TRUE(missing.ok()) << missing.error().message;
    EXPECT_EQ(missing.value(),
              std::vector<std::string>{"T_GOODSPRINT2 rows of 1 T_GOODSPRINT1 rows"});
}

TEST_P(SchemaTest, DemoDataLoadsOnce) {
    auto first = loadDemoData(sqlca, DemoOptions{1000});
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_TRUE(contains(first.value(), "generated 1000 sales rows"));
    auto second = loadDemoData(sqlca, DemoOptions{1000});
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(second.value().empty());
    EXPECT_TRUE(checkSchema(sqlca, SchemaOptions{true}).value().empty());

    EXPECT_EQ(count("SELECT count(*) FROM T_DEMO_SALE", {}), 1000);
    EXPECT_EQ(count("SELECT count(*) FROM T_BILLMAIN WHERE billstatus = 'Y'", {}), 7);
    std::vector<Value> row;
    ASSERT_EQ(sqlca.selectInto("select billname from T_BILLMAIN where billid = :b and "
                               "billstatus = 'Y'",
                               {"102"}, row),
              100)
        << "the disabled bill is not found as a valid one";
    ASSERT_EQ(
        sqlca.selectInto("select djlb from T_SUPPLYBALANCE where seqno = :s", {"SB202403003"}, row),
        0);
    EXPECT_EQ(row[0], Value("9"));
    ASSERT_EQ(sqlca.selectInto("SELECT value FROM t_Privatepara WHERE code = 'PT'", {}, row), 0);
    EXPECT_EQ(row[0], Value("3"));
    // Amounts keep two decimals exactly on both back ends.
    ASSERT_EQ(sqlca.selectInto("SELECT sum(amount) FROM T_DEMO_BILLDETAIL WHERE billid = '305'", {},
                               row, {ValueType::Number}),
              0);
    EXPECT_EQ(row[0], Value(Decimal(11750)));

    // The charge bills without a frame of their own have a default template each, whole.
    EXPECT_EQ(count("SELECT count(*) FROM T_GOODSPRINT1 a JOIN T_GOODSPRINT2 b ON b.bpbid = "
                    "a.bpbid AND b.bpname = a.bpname WHERE a.bpdefault = 'Y' AND a.bpbid IN "
                    "('J02', 'J03') AND a.bpmaindw IS NOT NULL AND b.bpdetaildw IS NOT NULL",
                    {}),
              2);
    std::string frame;
    ASSERT_EQ(sqlca.selectBlob("SELECT bpmaindw FROM T_GOODSPRINT1 WHERE bpbid = 'J02'", {}, frame),
              0);
    EXPECT_NE(frame.find("print.documentname=\"促销费用单\""), std::string::npos);
    EXPECT_NE(frame.find("name=dw_charge"), std::string::npos);
    // A demo database made before them gets them; one whose site saved its own keeps those.
    ASSERT_EQ(sqlca.execute("DELETE FROM T_GOODSPRINT1 WHERE bpbid = 'J02'"), 0);
    ASSERT_EQ(sqlca.execute("UPDATE T_GOODSPRINT1 SET bpname = '自定义' WHERE bpbid = 'J03'"), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    auto third = loadDemoData(sqlca, DemoOptions{1000});
    ASSERT_TRUE(third.ok()) << third.error().message;
    EXPECT_EQ(third.value(), std::vector<std::string>{"saved the demo templates of the charge "
                                                      "bills J02 and J03"});
    EXPECT_EQ(count("SELECT count(*) FROM T_GOODSPRINT1 WHERE bpbid = 'J02'", {}), 1);
    EXPECT_EQ(count("SELECT count(*) FROM T_GOODSPRINT1 WHERE bpbid = 'J03'", {}), 1);
    EXPECT_TRUE(loadDemoData(sqlca, DemoOptions{1000}).value().empty());
}

TEST_P(SchemaTest, TwoDemoLoadsAtOnceBothSucceedAndLoadOnce) {
    ASSERT_TRUE(initSchema(sqlca, SchemaOptions{true}).ok());
    // Both loads wait for this connection, so that they run into each other.
    if (GetParam() == Backend::Sqlite)
        ASSERT_EQ(sqlca.lockName("demo"), 0) << sqlca.sqlErrText();
    else
        ASSERT_EQ(sqlca.execute("LOCK TABLE T_DEMO_STORE IN ACCESS EXCLUSIVE MODE"), 0);
    Transaction first = connected();
    Transaction second = connected();
    Result<std::vector<std::string>> a = Error{"not run"};
    Result<std::vector<std::string>> b = Error{"not run"};
    std::thread one([&] { a = loadDemoData(first, DemoOptions{1000}); });
    std::thread two([&] { b = loadDemoData(second, DemoOptions{1000}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(sqlca.commit(), 0);
    one.join();
    two.join();
    ASSERT_TRUE(a.ok()) << a.error().message;
    ASSERT_TRUE(b.ok()) << b.error().message;
    EXPECT_NE(contains(a.value(), "generated 1000 sales rows"),
              contains(b.value(), "generated 1000 sales rows"));
    EXPECT_EQ(count("SELECT count(*) FROM T_DEMO_SALE", {}), 1000);
    EXPECT_EQ(count("SELECT count(*) FROM T_BILLMAIN", {}), 8);
}

PRINT_DB_BACKENDS(SchemaTest);

}  // namespace
}  // namespace print::db
