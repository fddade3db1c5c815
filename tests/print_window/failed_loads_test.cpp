// Loads that fail: bad stored rows, lists of other reports, names of the component's own
// definitions, database errors. What failed to load is never printed nor exported.
#include <gtest/gtest.h>

#include "common/text.h"
#include "engine/library.h"
#include "print_window_test_support.h"

namespace print::print_window::test {
namespace {

const char* const kNotPrinted = "错误 | 没有装入报表，不能打印！ | StopSign! | OK! -> 1";
const char* const kNotExported = "错误 | 没有装入报表，不能保存为文件！ | StopSign! | OK! -> 1";

// The same five columns as the goods list, in other types: a report of sales.
const char* const kSalesList = R"srd(release 9;
datawindow(units=0 processing=1 )
header(height=76 )
summary(height=0 )
footer(height=0 )
detail(height=72 )
table(column=(type=date name=saledate dbname="saledate" )
 column=(type=char(60) name=goodsname dbname="goodsname" )
 column=(type=decimal(3) name=qty dbname="qty" )
 column=(type=decimal(2) name=saleamount dbname="saleamount" )
 column=(type=char(20) name=storename dbname="storename" ) )
text(band=header text="销售日期" x="9" y="8" height="60" width="300" name=saledate_t )
text(band=header text="销售金额" x="900" y="8" height="60" width="300" name=saleamount_t )
column(band=detail id=1 x="9" y="4" height="60" width="300" format="yyyy-mm-dd" name=saledate )
column(band=detail id=4 x="900" y="4" height="60" width="300" format="#,##0.00" name=saleamount )
)srd";

class FailedLoads : public PrintWindowTest {
protected:
    Operator& reportOperator(const std::string& operid) {
        Operator& op = addOperator(operid);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        return op;
    }
    Operator& billOperator(const std::string& operid) {
        Operator& op = addOperator(operid);
        op.create(op.dw_header, kBillHeader);
        fillHeader(op.dw_header);
        op.create(op.dw_detail, kGoodsReport);
        fillGoods(op.dw_detail);
        op.create(op.dw_detail2, kGoodsReport);
        fillGifts(op.dw_detail2);
        auto host = std::make_shared<engine::MemoryLibrary>("(host)");
        host->put("d_reckoning_head", kBillHeader);
        host->put("dl_reckoning_exdw", kChargeLines);
        op.hostLibraries.push_back(host);
        return op;
    }
    std::string print(Operator& op, const std::string& script) {
        return op.run(
            [&] { op.host.gnu_print.of_print(&op.dw_detail, std::string("商品清单,月结")); },
            script);
    }
    // Saves the new layout as the document's default.
    void saveDefault(Operator& op) {
        print(op,
              "click uob_preview\nclick uob_save\ntype sle_name 甲\ncheck cbx_default on\n"
              "click uob_ok\n");
        op.boxes();
    }
    void change(const std::string& sql, const std::vector<Value>& params = {}) {
        ASSERT_GE(sqlca.execute(sql, params), 0) << sqlca.sqlErrText();
        ASSERT_EQ(sqlca.commit(), 0);
    }
    static std::string printAndExport() { return "click uob_print\nclick uob_saveas\n"; }
};

TEST_P(FailedLoads, ADefaultThatFailsToLoadIsNeitherPrintedNorExported) {
    struct Case {
        const char* damage;
        const char* message;
    };
    const Case cases[] = {
        {"UPDATE T_RPT_MODONE SET rtmdata = NULL",
         "提示 | 装入模板失败(DATAWINODW SYNTAX为空)！ | None! | OK! -> 1"},
        {"UPDATE T_RPT_MODTWO SET rtcdata = NULL",
         "提示 | 装入模板失败(DATAWINODW SYNTAX为空)！ | None! | OK! -> 1"},
        {"UPDATE T_RPT_MODONE SET rtdwcurname = ''",
         "提示 | 装入模板失败(打印模板DATAWINDOW为空)！ | None! | OK! -> 1"},
        {"UPDATE T_RPT_MODONE SET rtmdata = (SELECT rtcdata FROM T_RPT_MODTWO)",
         "错误 | 文档结构出现错误(GetChild)！ | StopSign! | OK! -> 1"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Operator& a = reportOperator("A" + std::to_string(++n));
        saveDefault(a);
        change(c.damage);
        change("UPDATE T_RPT_MODONE SET rtoperdate = NULL");
        print(a, printAndExport());
        EXPECT_EQ(a.boxes(), (std::vector<std::string>{c.message, kNotPrinted, kNotExported}))
            << c.damage;
        EXPECT_TRUE(a.services.printJobs().empty()) << c.damage;
        EXPECT_TRUE(a.services.fileDialogs().empty()) << c.damage;
        change("DELETE FROM T_RPT_MODONE");
    }
}

TEST_P(FailedLoads, AFailedLoadAfterAGoodOneLeavesNothingToPrint) {
    Operator& a = reportOperator("A");
    // Listed by name: 乙, then 甲.
    print(a,
          "click uob_preview\nclick uob_save\ntype sle_name 甲\nclick uob_ok\n"
          "click uob_save\ntype sle_name 乙\nclick uob_ok\n");
    a.boxes();
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODONE SET rtmdata = :b WHERE rtname = :name",
                               "release 9;\ndatawindow(units=0", {Value("甲")}),
              0);
    change("UPDATE T_RPT_MODONE SET rtoperdate = NULL");
    print(a,
          "click uob_preview\ndoubleclick dw_template 1\nclick uob_print\n"
          "click uob_preview\ndoubleclick dw_template 2\n" +
              printAndExport());
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{"提示 | 装入模板失败(CREATE)！ | Exclamation! | OK! -> 1",
                                        kNotPrinted, kNotExported}));
    EXPECT_EQ(a.services.printJobs().size(), 1u);
}

TEST_P(FailedLoads, AListOfAnotherReportIsRefusedNotFilledByPosition) {
    // A report request shares its rows with the list; a bill with gifts copies them.
    Operator& a = reportOperator("A");
    saveDefault(a);
    change("UPDATE T_RPT_MODONE SET rtoperdate = NULL");
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_RPT_MODTWO SET rtcdata = :b", kSalesList, {}), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    print(a, printAndExport());
    EXPECT_EQ(a.boxes(), (std::vector<std::string>{
                             "错误 | 数据格式出现错误(RowsCopy)！ | StopSign! | OK! -> 1",
                             kNotPrinted, kNotExported}));

    Operator& b = billOperator("B");
    b.run([&] { b.host.gnu_print.of_print("101", &b.dw_header, &b.dw_detail, &b.dw_detail2); },
          "click uob_preview\nclick uob_save\ncheck cbx_default on\nclick uob_ok\n");
    b.boxes();
    change("UPDATE T_GOODSPRINT1 SET bpdate = NULL");
    ASSERT_EQ(sqlca.updateBlob("UPDATE T_GOODSPRINT2 SET bpdetaildw = :b", kSalesList, {}), 0);
    ASSERT_EQ(sqlca.commit(), 0);
    b.run([&] { b.host.gnu_print.of_print("101", &b.dw_header, &b.dw_detail, &b.dw_detail2); },
          "click uob_print\n");
    EXPECT_EQ(b.boxes(),
              (std::vector<std::string>{
                  "错误 | 数据格式出现错误(RowsCopy)！ | StopSign! | OK! -> 1", kNotPrinted}));
    EXPECT_TRUE(b.services.printJobs().empty());
}

TEST_P(FailedLoads, ALibraryNameOfTheComponentsOwnDefinitionsNeverLoadsAFrameAsTheList) {
    Operator& a = reportOperator("A");
    saveDefault(a);
    for (const char* name : {"d_print", "D_PRINTCHARGE_1", "d_reptemplate"}) {
        change("UPDATE T_RPT_MODONE SET rtdwcurname = :name", {Value(name)});
        print(a, "click uob_print\n");
        EXPECT_EQ(a.boxes(),
                  (std::vector<std::string>{"提示 | 装入模板失败(" + std::string(name) +
                                                "为系统报表名称)！ | Exclamation! | OK! -> 1",
                                            kNotPrinted}));
    }
    EXPECT_TRUE(a.services.printJobs().empty());
}

TEST_P(FailedLoads, MoreCopiesThanTheSettingsPageAllowsAreRefusedNamingTheNumber) {
    Operator& a = reportOperator("A");
    print(a,
          "modify dw_preview DataWindow.Print.Copies='1000000000'\n"
          "click uob_preview\nclick uob_save\ntype sle_name 甲\ncheck cbx_default on\n"
          "click uob_ok\n");
    a.boxes();
    // The stored template asks for them at every print.
    print(a,
          "click uob_print\nmodify dw_preview DataWindow.Print.Copies='99999999999999999999'\n"
          "click uob_print\nmodify dw_preview DataWindow.Print.Copies='999'\nclick uob_print\n");
    EXPECT_EQ(a.boxes(),
              (std::vector<std::string>{
                  "错误 | 打印份数(1000000000)超出允许的范围(1至999)，不能打印！ | StopSign! | "
                  "OK! -> 1",
                  "错误 | 打印份数(99999999999999999999)超出允许的范围(1至999)，不能打印！ | "
                  "StopSign! | OK! -> 1"}));
    EXPECT_EQ(a.services.printJobs().size(), 1u);
}

TEST_P(FailedLoads, DatabaseErrorsOfTheAddressLineAndTheSettlementCategoryAreShown) {
    Operator& a = reportOperator("A");
    change("ALTER TABLE t_Privatepara RENAME TO t_privatepara_gone");
    print(a, "click uob_print\n");
    std::vector<std::string> boxes = a.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].rfind("错误 | SQLDBCode ", 0), 0u) << boxes[0];
    EXPECT_NE(asciiLower(boxes[0]).find("t_privatepara"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("StopSign!"), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[1], "错误 | 新建模板失败！ | StopSign! | OK! -> 1");
    EXPECT_EQ(boxes[2], kNotPrinted);
    change("ALTER TABLE t_privatepara_gone RENAME TO t_Privatepara");

    Operator& b = billOperator("B");
    b.create(b.dw_detail2, kChargeLines);
    fillCharges(b.dw_detail2);
    change("ALTER TABLE T_SUPPLYBALANCE RENAME TO t_supplybalance_gone");
    b.run(
        [&] {
            b.host.gnu_print.of_print("J01", &b.dw_header, &b.dw_detail, &b.dw_detail2,
                                      std::string("Y"));
        },
        "click uob_print\n");
    boxes = b.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].rfind("错误 | SQLDBCode ", 0), 0u) << boxes[0];
    EXPECT_NE(asciiLower(boxes[0]).find("t_supplybalance"), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[1], kNotPrinted);
}

PRINT_DB_BACKENDS(FailedLoads);

}  // namespace
}  // namespace print::print_window::test
