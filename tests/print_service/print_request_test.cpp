#include <gtest/gtest.h>

#include "db/schema.h"
#include "db_test_support.h"
#include "print_service_test_support.h"

namespace print::service::test {
namespace {

using platform::DataWindowControl;
using platform::Icon;

class PrintRequestTest : public db::test::DatabaseTest {
protected:
    void SetUp() override {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        auto created = db::initSchema(sqlca);
        ASSERT_TRUE(created.ok()) << created.error().describe();
        ASSERT_EQ(sqlca.execute("INSERT INTO T_BILLMAIN (billid, billname, billstatus) VALUES "
                                "('305', '采购订单', 'Y'), ('102', '退货单', 'N')"),
                  0)
            << sqlca.sqlErrText();
        ASSERT_EQ(sqlca.commit(), 0);
        ASSERT_EQ(t.host.sqlca.connect(url()), 0) << t.host.sqlca.sqlErrText();
    }

    void expectCleared() {
        const n_print& p = t.host.gnu_print;
        EXPECT_EQ(p.is_mode, "");
        EXPECT_EQ(p.is_billid, "");
        EXPECT_EQ(p.is_printname, "");
        EXPECT_EQ(p.is_printcharge, "N");
        EXPECT_FALSE(p.ib_header_hav);
        EXPECT_FALSE(p.ib_detaila_hav);
        EXPECT_EQ(p.ii_accessory_count, 0);
    }

    // The one box shown, and no window opened.
    void expectOnlyBox(const std::string& title, const std::string& text, Icon icon,
                       size_t windowsBefore = 0) {
        ASSERT_EQ(t.services.messageBoxes().size(), 1u);
        EXPECT_EQ(t.services.messageBoxes()[0].title, title);
        EXPECT_EQ(t.services.messageBoxes()[0].text, text);
        EXPECT_EQ(t.services.messageBoxes()[0].icon, icon);
        EXPECT_EQ(t.seen.size(), windowsBefore);
    }

    TestHost t;
    platform::Window hostWindow{"w_host"};
    DataWindowControl header{&hostWindow, "dw_header"};
    DataWindowControl detail{&hostWindow, "dw_detail"};
    DataWindowControl detail2{&hostWindow, "dw_detail2"};
};

TEST_P(PrintRequestTest, BillRequestsFillTheRequestForTheWindowAndClearItAfter) {
    n_print& p = t.host.gnu_print;
    p.of_print("305", &header, &detail);
    p.of_print("305", &header, &detail, std::vector<std::string>{"备注一", "备注二", "备注三"});
    p.of_print("305", &header, &detail, &detail2);
    p.of_print("305", &header, &detail, &detail2, std::string("Y"));
    p.of_print("305", &header, &detail, &detail2, std::string(""));
    p.of_print("305", &header, &detail, &detail2, std::vector<std::string>{"备注"});
    ASSERT_EQ(t.seen.size(), 6u);
    EXPECT_TRUE(t.services.messageBoxes().empty());

    const SeenRequest& plain = t.seen[0];
    EXPECT_EQ(plain.mode, "B");
    EXPECT_EQ(plain.billid, "305");
    EXPECT_EQ(plain.printname, "采购订单");
    EXPECT_EQ(plain.printcharge, "N");
    EXPECT_EQ(plain.header, &header);
    EXPECT_EQ(plain.detail, &detail);
    EXPECT_TRUE(plain.headerHav);
    EXPECT_FALSE(plain.detailaHav);
    EXPECT_EQ(plain.accessoryCount, 0);

    EXPECT_EQ(t.seen[1].accessoryCount, 3);
    // The four-DataWindow variant is the charge variant with "N".
    EXPECT_EQ(t.seen[2].printcharge, "N");
    EXPECT_TRUE(t.seen[2].headerHav);
    EXPECT_TRUE(t.seen[2].detailaHav);
    EXPECT_EQ(t.seen[2].detaila, &detail2);
    // A charge bill prints without the header; any other value with it.
    EXPECT_EQ(t.seen[3].printcharge, "Y");
    EXPECT_FALSE(t.seen[3].headerHav);
    EXPECT_TRUE(t.seen[4].headerHav);
    EXPECT_EQ(t.seen[5].accessoryCount, 1);
    EXPECT_TRUE(t.seen[5].headerHav);
    EXPECT_TRUE(t.seen[5].detailaHav);
    expectCleared();
}

TEST_P(PrintRequestTest, MissingArgumentsAreRefusedBeforeTheLookup) {
    n_print& p = t.host.gnu_print;
    p.of_print("", &header, &detail);
    p.of_print("305", &header, nullptr);
    p.of_print("305", nullptr, &detail);
    p.of_print("305", &header, &detail, nullptr, std::string("N"));
    ASSERT_EQ(t.services.messageBoxes().size(), 4u);
    for (const auto& box : t.services.messageBoxes()) {
        EXPECT_EQ(box.title, "错误");
        EXPECT_EQ(box.text, "参数传递错误！");
        EXPECT_EQ(box.icon, Icon::StopSign);
    }
    EXPECT_TRUE(t.seen.empty());
    expectCleared();
}

TEST_P(PrintRequestTest, UnknownOrClosedBillsAreInvalid) {
    t.host.gnu_print.of_print("102", &header, &detail);
    expectOnlyBox("错误", "无效的单据ID！", Icon::StopSign);
    t.host.gnu_print.of_print("nosuch", &header, &detail);
    EXPECT_EQ(t.services.messageBoxes().size(), 2u);
    EXPECT_TRUE(t.seen.empty());
    expectCleared();
}

TEST_P(PrintRequestTest, ADatabaseErrorGoesToTheHostAndRollsBack) {
    // Work of the host's that has not been committed yet must not survive the failed lookup.
    ASSERT_EQ(t.host.sqlca.execute("INSERT INTO T_BILLMAIN (billid, billname) VALUES ('900', 'x')"),
              0);
    ASSERT_EQ(t.host.sqlca.execute("DROP TABLE T_BILLMAIN"), 0);
    t.host.gnu_print.of_print("305", &header, &detail);
    ASSERT_EQ(t.services.messageBoxes().size(), 1u);
    EXPECT_EQ(t.services.messageBoxes()[0].title, "错误");
    EXPECT_EQ(t.services.messageBoxes()[0].icon, Icon::StopSign);
    EXPECT_FALSE(t.host.sqlca.inTransaction());
    std::vector<Value> row;
    EXPECT_EQ(
        t.host.sqlca.selectInto("SELECT count(*) FROM T_BILLMAIN WHERE billid = '900'", {}, row), 0)
        << t.host.sqlca.sqlErrText();
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0].toText(), "0");
    EXPECT_TRUE(t.seen.empty());
}

TEST_P(PrintRequestTest, ReportRequestsCarryTheDocumentName) {
    createReport(detail,
                 "release 9;\ndatawindow(units=0 print.documentname=\"月报\")\n"
                 "detail(height=80)\ntable(column=(type=long name=a dbname=\"a\"))\n");
    n_print& p = t.host.gnu_print;
    p.of_print(&detail);
    p.of_print(&detail, &header);
    p.of_print(&detail, std::string("销售明细,月结报表"));
    p.of_print(&detail, &header, std::string("O'Brien 的 ~ 报表"));
    ASSERT_EQ(t.seen.size(), 4u);
    EXPECT_EQ(t.seen[0].mode, "D");
    EXPECT_EQ(t.seen[0].printname, "月报");
    EXPECT_FALSE(t.seen[0].headerHav);
    EXPECT_EQ(t.seen[0].header, nullptr);
    EXPECT_TRUE(t.seen[1].headerHav);
    EXPECT_EQ(t.seen[1].header, &header);
    EXPECT_EQ(t.seen[2].printname, "销售明细,月结报表");
    EXPECT_EQ(t.seen[3].printname, "O'Brien 的 ~ 报表");
    EXPECT_EQ(detail.Describe("DataWindow.Print.DocumentName"), "O'Brien 的 ~ 报表");
    EXPECT_EQ(p.of_setdwdocname(nullptr, "x"), -1);
    expectCleared();

    p.of_print(std::string("305"), std::string("DH001"));
    expectOnlyBox("提示", "此函数已不再使用!", Icon::Information, 4);
}

PRINT_DB_BACKENDS(PrintRequestTest);

}  // namespace
}  // namespace print::service::test
