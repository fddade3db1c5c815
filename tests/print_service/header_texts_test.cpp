#include <gtest/gtest.h>

#include "common/text.h"
#include "print_service_test_support.h"

namespace print::service::test {
namespace {

// A condition form: a date range on one database column (lower bound, upper bound), a store,
// a category hidden by an expression when the store is 'X', and a column without a label.
const char* kConditionForm = R"srd(release 9;
datawindow(units=0 processing=0)
detail(height=400)
table(column=(type=date name=begindate dbname="begindate")
 column=(type=date name=enddate dbname="enddate")
 column=(type=char(6) name=storeid dbname="storeid")
 column=(type=char(20) name=category dbname="category")
 column=(type=char(10) name=nolabel dbname="nolabel")
 column=(type=decimal(2) name=amount dbname="t_sale.amount"))
text(band=detail text="销售日期" x="9" y="8" height="60" width="300" name=saledate_t)
column(band=detail id=1 x="327" y="8" height="60" width="700" format="yyyy-mm-dd" name=begindate tag="(min@T_SALE.SALEDATE)<2024-01-01>")
column(band=detail id=2 x="1367" y="8" height="60" width="700" name=enddate tag="  (MAX@T_SALE.SALEDATE) ")
text(band=detail text="门店" x="9" y="88" height="60" width="300" name=storeid_t)
column(band=detail id=3 x="327" y="88" height="60" width="700" name=storeid)
text(band=detail text="商品类别" x="9" y="168" height="60" width="300" name=category_t)
column(band=detail id=4 x="327" y="168" height="60" width="700" name=category visible="1	if(storeid = 'X', 0, 1)")
column(band=detail id=5 x="327" y="248" height="60" width="700" name=nolabel)
text(band=detail text="金额" x="9" y="328" height="60" width="300" name=amount_t)
column(band=detail id=6 x="327" y="328" height="60" width="700" name=amount)
)srd";

class ConditionTexts : public testing::Test {
protected:
    void SetUp() override {
        createReport(form, kConditionForm);
        ASSERT_EQ(form.InsertRow(0), 1);
        form.SetRow(1);
    }
    void set(const char* column, Value value) { ASSERT_EQ(form.SetItem(1, column, value), 1); }

    TestHost t;
    engine::DataStore form;
};

TEST_F(ConditionTexts, ARangePairIsOneEntryTitledByTheColumnsLabel) {
    set("begindate", *Date::parse("2024-03-01"));
    set("enddate", *Date::parse("2024-03-31"));
    set("storeid", "S01");
    set("category", "食品");
    set("amount", Value(*Decimal::parse("12.50")));
    EXPECT_EQ(t.host.gnu_print.of_setdwtotext(form),
              "销售日期@2024-03-01 至 2024-03-31\t门店@S01\t商品类别@食品\t金额@12.5");

    set("begindate", Value());
    EXPECT_EQ(split(t.host.gnu_print.of_setdwtotext(form), '\t')[0], "销售日期@小于  2024-03-31");
    set("begindate", *Date::parse("2024-03-01"));
    set("enddate", Value());
    EXPECT_EQ(split(t.host.gnu_print.of_setdwtotext(form), '\t')[0], "销售日期@大于  2024-03-01");
    set("begindate", Value());
    EXPECT_EQ(split(t.host.gnu_print.of_setdwtotext(form), '\t')[0], "销售日期@全部");
}

TEST_F(ConditionTexts, AColumnHiddenByItsExpressionIsLeftOut) {
    set("storeid", "X");
    set("category", "食品");
    EXPECT_EQ(t.host.gnu_print.of_setdwtotext(form), "销售日期@全部\t门店@X\t金额@");
    // The same through a DataStore that is no control, with a null store.
    set("storeid", Value());
    EXPECT_EQ(t.host.gnu_print.of_setdwtotext(form), "销售日期@全部\t门店@\t商品类别@食品\t金额@");
}

TEST_F(ConditionTexts, FieldsTheRightsRefuseShowMasks) {
    set("begindate", *Date::parse("2024-03-01"));
    set("enddate", *Date::parse("2024-03-31"));
    set("storeid", "S01");
    set("amount", Value(*Decimal::parse("11750")));
    std::vector<std::string> asked;
    // Amounts by name, and the range's upper bound by its tag: either field masks the range.
    const n_print::FieldRight rights = [&](const std::string& name, const std::string& tag) {
        asked.push_back(name + "|" + trim(tag));
        return name != "amount" && tag.find("MAX@") == std::string::npos;
    };
    EXPECT_EQ(t.host.gnu_print.of_setdwtotext(form, rights),
              "销售日期@***\t门店@S01\t商品类别@\t金额@***");
    EXPECT_EQ(asked.front(), "begindate|(min@T_SALE.SALEDATE)<2024-01-01>");
    EXPECT_EQ(t.host.gnu_print.of_setdwtotext(
                  form, [](const std::string&, const std::string&) { return true; }),
              t.host.gnu_print.of_setdwtotext(form));
}

TEST(AnalyzeTag, SplitsFlagBoundColumnAndDefault) {
    TestHost t;
    std::string flag, oper, dbname = "OWN", defvalue = "old";
    t.host.gnu_print.of_analyzetag("F(MIN@T.D)<5>", flag, oper, dbname, defvalue);
    EXPECT_EQ(flag, "F");
    EXPECT_EQ(oper, "MIN");
    EXPECT_EQ(dbname, "T.D");
    EXPECT_EQ(defvalue, "5");

    dbname = "OWN";
    t.host.gnu_print.of_analyzetag("(MAX )", flag, oper, dbname, defvalue);
    EXPECT_EQ(flag, "");
    EXPECT_EQ(oper, "MAX");
    EXPECT_EQ(dbname, "OWN");
    EXPECT_EQ(defvalue, "");

    t.host.gnu_print.of_analyzetag("?", flag, oper, dbname, defvalue);
    EXPECT_EQ(flag, "");
    EXPECT_EQ(oper, "");
    t.host.gnu_print.of_analyzetag("KEY<>x", flag, oper, dbname, defvalue);
    EXPECT_EQ(flag, "KEY");
    EXPECT_EQ(defvalue, "");
    t.host.gnu_print.of_analyzetag("A<B", flag, oper, dbname, defvalue);
    EXPECT_EQ(flag, "A");
}

const char* kFrame = R"srd(release 9;
datawindow(units=3 processing=0)
header(height=2000)
summary(height=1000)
footer(height=500)
detail(height=500)
table(column=(type=char(10) name=a dbname="a"))
text(band=header text="repname" x="0" y="300" height="600" width="20000" name=st_repname)
)srd";

class TextsOnReport : public testing::Test {
protected:
    void SetUp() override { createReport(dw, kFrame); }
    long num(const std::string& item) {
        return static_cast<long>(*parseInteger(dw.Describe(item)));
    }
    TestHost t;
    engine::DataStore dw;
};

TEST_F(TextsOnReport, SevenTextsThreeToARowAndSurplusOnesDestroyed) {
    std::string list;
    for (int i = 1; i <= 7; ++i)
        list += "条件" + std::to_string(i) + "@值" + std::to_string(i) + "\t";
    t.host.gnu_print.of_settexttodw(dw, list, 3, 900);
    const long width = 20000 / 3 - 500;
    const long xs[] = {200, 200 + width + 100, 200 + 2 * (width + 100)};
    for (int i = 1; i <= 7; ++i) {
        const std::string name = "st_text_" + std::to_string(i);
        EXPECT_EQ(num(name + ".x"), xs[(i - 1) % 3]) << name;
        EXPECT_EQ(num(name + ".y"), 900 + 400 * (1 + (i - 1) / 3)) << name;
        EXPECT_EQ(num(name + ".width"), width);
        EXPECT_EQ(dw.Describe(name + ".text"),
                  "条件" + std::to_string(i) + ": 值" + std::to_string(i));
        EXPECT_EQ(dw.Describe(name + ".tag"), "&条件" + std::to_string(i));
        EXPECT_EQ(dw.Describe(name + ".band"), "header");
    }
    EXPECT_EQ(num("DataWindow.Header.Height"), 900 + 1200 + 600);

    // A second call with fewer entries updates in place and destroys the rest; nothing is
    // created, so the header keeps its height.
    dw.Modify("st_text_1.x=5000 DataWindow.Header.Height=4000");
    t.host.gnu_print.of_settexttodw(dw, "新@条件", 3, 900);
    EXPECT_EQ(num("st_text_1.x"), 5000);
    EXPECT_EQ(dw.Describe("st_text_1.text"), "新: 条件");
    EXPECT_EQ(dw.Describe("st_text_2.name"), "!");
    EXPECT_EQ(dw.Describe("st_text_7.name"), "!");
    EXPECT_EQ(num("DataWindow.Header.Height"), 4000);
}

TEST_F(TextsOnReport, TwoToARowWhenNoCountIsGiven) {
    t.host.gnu_print.of_settexttodw(dw, "a@1\tb@2\tc@3", 0, 0);
    EXPECT_EQ(num("st_text_2.x"), 200 + 9500 + 100);
    EXPECT_EQ(num("st_text_3.x"), 200);
    EXPECT_EQ(num("st_text_3.y"), 800);
}

TEST_F(TextsOnReport, ATemplatesOwnTextGetsTheValueAlone) {
    dw.Modify(
        "create text(band=header text='x' tag='模板' x='100' y='100' height='380' "
        "width='3000' name=st_text_1)");
    t.host.gnu_print.of_settexttodw(dw, "门店@S01\t类别", 2, 0);
    EXPECT_EQ(dw.Describe("st_text_1.text"), "S01");
    EXPECT_EQ(dw.Describe("st_text_1.tag"), "门店");
    EXPECT_EQ(dw.Describe("st_text_2.text"), "类别: 类别");
}

TEST_F(TextsOnReport, ApostrophesTildesAndQuotesArriveWhole) {
    const std::string title = "供应商";
    const std::string value = "O'Brien ~ \"Ltd\" 's";
    t.host.gnu_print.of_settexttodw(dw, title + "@" + value, 2, 0);
    EXPECT_EQ(dw.Describe("st_text_1.text"), title + ": " + value);
    t.host.gnu_print.of_settexttodw(dw, title + "@it's~", 2, 0);
    EXPECT_EQ(dw.Describe("st_text_1.text"), title + ": it's~");
    // The saved syntax reads back with the same text.
    engine::DataStore again;
    createReport(again, dw.Describe("DataWindow.Syntax"));
    EXPECT_EQ(again.Describe("st_text_1.text"), title + ": it's~");
}

TEST_F(TextsOnReport, AccessoryTextsAreCreatedUpdatedAndTheirBandSizedToFit) {
    n_print& p = t.host.gnu_print;
    p.is_mode = "D";
    p.is_accessory = {"备注：O'Brien 的货", "第二行", "第三行"};
    p.ii_accessory_count = 3;
    p.of_setaccessory(dw);
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "st_accessory_" + std::to_string(i);
        EXPECT_EQ(num(name + ".x"), 200);
        EXPECT_EQ(num(name + ".y"), 200 + 500 * (i - 1));
        EXPECT_EQ(dw.Describe(name + ".band"), "summary");
        EXPECT_EQ(dw.Describe(name + ".visible"), "1");
    }
    EXPECT_EQ(dw.Describe("st_accessory_1.text"), "备注：O'Brien 的货");
    // Shown: the band holds the lowest text (1200 + 380) and a margin, not 20 cm.
    EXPECT_EQ(num("DataWindow.Summary.Height"), 1200 + 380 + 200);

    p.is_accessory = {"只有一条"};
    p.ii_accessory_count = 1;
    p.of_setaccessory(dw);
    EXPECT_EQ(dw.Describe("st_accessory_1.text"), "只有一条");
    EXPECT_EQ(dw.Describe("st_accessory_2.name"), "!");
    EXPECT_EQ(dw.Describe("st_accessory_3.name"), "!");
    EXPECT_EQ(num("DataWindow.Summary.Height"), 200 + 380 + 200);

    // A long remark wraps: the band grows with it, up to the full 20000.
    p.is_accessory = {std::string(600, 'x')};
    p.of_setaccessory(dw);
    EXPECT_EQ(num("DataWindow.Summary.Height"), 200 + 5 * 380 + 200);
}

TEST_F(TextsOnReport, AClosedSummaryBandKeepsTheTextsHidden) {
    n_print& p = t.host.gnu_print;
    dw.Modify("DataWindow.Summary.Height=0");
    p.is_mode = "D";
    p.is_accessory = {"a", "b"};
    p.ii_accessory_count = 5;  // more than the texts: lowered to two
    p.of_setaccessory(dw);
    EXPECT_EQ(p.ii_accessory_count, 2);
    EXPECT_EQ(dw.Describe("st_accessory_1.visible"), "0");
    EXPECT_EQ(num("DataWindow.Summary.Height"), 0);

    // In a bill request hiding leaves the band as it was.
    dw.Modify("DataWindow.Summary.Height=777");
    p.is_mode = "B";
    p.of_setaccvisible(dw, false);
    EXPECT_EQ(num("DataWindow.Summary.Height"), 777);
    EXPECT_EQ(dw.Describe("st_accessory_2.visible"), "0");

    // With no texts counted, showing hides.
    p.is_mode = "D";
    p.ii_accessory_count = 0;
    p.of_setaccvisible(dw, true);
    EXPECT_EQ(num("DataWindow.Summary.Height"), 0);
}

}  // namespace
}  // namespace print::service::test
