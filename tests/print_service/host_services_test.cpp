#include <gtest/gtest.h>

#include "print_service/money_text.h"
#include "print_service/nvo_commdlg.h"
#include "print_service_test_support.h"

namespace print::service::test {
namespace {

std::string money(const char* amount) {
    return moneyToChinese(*Decimal::parse(amount));
}

TEST(MoneyToString, FollowsTheBankingRules) {
    EXPECT_EQ(money("1234"), "壹仟贰佰叁拾肆元整");
    EXPECT_EQ(money("1004.05"), "壹仟零肆元零伍分");
    EXPECT_EQ(money("100000"), "壹拾万元整");
    EXPECT_EQ(money("0"), "零元整");
    EXPECT_EQ(money("10"), "壹拾元整");
    EXPECT_EQ(money("0.5"), "伍角整");
    EXPECT_EQ(money("0.05"), "伍分");
    EXPECT_EQ(money("0.56"), "伍角陆分");
    EXPECT_EQ(money("1.5"), "壹元伍角整");
    EXPECT_EQ(money("1680.32"), "壹仟陆佰捌拾元叁角贰分");
    EXPECT_EQ(money("107000.53"), "壹拾万柒仟元伍角叁分");
    EXPECT_EQ(money("100010"), "壹拾万零壹拾元整");
    EXPECT_EQ(money("1001001"), "壹佰万壹仟零壹元整");
    EXPECT_EQ(money("100000000"), "壹亿元整");
    EXPECT_EQ(money("100010000"), "壹亿零壹万元整");
    EXPECT_EQ(money("120000000000"), "壹仟贰佰亿元整");
    EXPECT_EQ(money("1000000000000"), "壹万亿元整");
    EXPECT_EQ(money("-1234.5"), "负壹仟贰佰叁拾肆元伍角整");
    // Rounded half away from zero to the fen.
    EXPECT_EQ(money("2.345"), "贰元叁角伍分");
    EXPECT_EQ(money("0.004"), "零元整");
    EXPECT_EQ(money("-0.004"), "零元整");
}

TEST(HostFunctions, StringHelpers) {
    EXPECT_TRUE(f_str_isnull(""));
    EXPECT_TRUE(f_str_isnull(std::optional<std::string>()));
    EXPECT_FALSE(f_str_isnull(" "));
    EXPECT_EQ(f_posback("T.SALE.DATE", ".", 1), 7);
    EXPECT_EQ(f_posback("DATE", ".", 1), 0);
    EXPECT_EQ(f_posback("", ".", 1), 0);
    EXPECT_EQ(f_posback("abc", "", 1), 0);
}

TEST(HostFunctions, RandomNumbersFitTheirPicture) {
    TestHost t;
    for (int i = 0; i < 200; ++i) {
        const long n = t.host.f_random();
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 99999);
    }
}

TEST(CommonDialogs, FontDialogConvertsHeightsAndKeepsFieldsWhenCancelled) {
    TestHost t;
    nvo_commdlg dlg(t.services);
    dlg.facename = "宋体";
    dlg.height = nvo_commdlg::pointsToHeight(9);
    EXPECT_EQ(dlg.height, -12);
    t.services.queueFont(std::nullopt);
    EXPECT_EQ(dlg.fontdialog(), 0);
    EXPECT_EQ(dlg.facename, "宋体");
    EXPECT_EQ(dlg.height, -12);
    ASSERT_EQ(t.services.fontDialogs().size(), 1u);
    EXPECT_EQ(t.services.fontDialogs()[0].height, 9);

    t.services.queueFont(platform::FontChoice{"黑体", 12, 700, true, true, false, 255});
    EXPECT_EQ(dlg.fontdialog(), 1);
    EXPECT_EQ(dlg.facename, "黑体");
    EXPECT_EQ(dlg.height, -16);
    EXPECT_EQ(dlg.weight, 700);
    EXPECT_EQ(dlg.italic, 1);
    EXPECT_EQ(dlg.underline, 1);
    EXPECT_EQ(dlg.strikeout, 0);
    EXPECT_EQ(dlg.rgbcolors, 255);
    EXPECT_EQ(nvo_commdlg::of_bitor(1, 256), 257);
}

TEST(CommonDialogs, FileSaveNameReturnsFolderAndName) {
    TestHost t;
    nvo_commdlg dlg(t.services);
    std::string dir = "/data/OUTDATA", name = "报表";
    t.services.queueFileName("/tmp/x/销售.csv");
    EXPECT_EQ(dlg.of_getfilesavename("保存文件", dir, name, "CSV,*.csv", 1), 1);
    EXPECT_EQ(dir, "/tmp/x");
    EXPECT_EQ(name, "销售.csv");
    t.services.queueFileName("");
    EXPECT_EQ(dlg.of_getfilesavename("保存文件", dir, name, "CSV,*.csv", 1), 0);
    EXPECT_EQ(name, "销售.csv");
}

const char* kItems = R"srd(release 9;
datawindow(units=0)
header(height=100)
summary(height=100)
footer(height=100)
detail(height=100)
table(column=(type=char(10) name=s dbname="s")
 column=(type=decimal(2) name=n dbname="n")
 column=(type=long name=l dbname="l")
 column=(type=date name=d dbname="d")
 column=(type=datetime name=dt dbname="dt")
 column=(type=time name=t dbname="t"))
text(band=detail text="x" x="1" y="1" height="60" width="100" name=t_1 background.mode="0" background.color="255")
column(band=detail id=1 x="1" y="1" height="60" width="100" name=s)
compute(band=detail expression="n * 2" x="1" y="1" height="60" width="100" name=c_double)
line(band=detail x1="0" y1="0" x2="100" y2="0" name=l_1)
)srd";

TEST(DwFunction, ItemValuesAsTextWhateverTheType) {
    TestHost t;
    engine::DataStore dw;
    createReport(dw, kItems);
    dw.InsertRow(0);
    dw.SetItem(1, "s", "文本");
    dw.SetItem(1, "n", Value(*Decimal::parse("-3.50")));
    dw.SetItem(1, "l", Value(int64_t{42}));
    dw.SetItem(1, "d", *Date::parse("2024-02-29"));
    dw.SetItem(1, "dt", *DateTime::parse("2024-02-29 13:05:09"));
    dw.SetItem(1, "t", *Time::parse("08:00:01"));
    const n_dwfunction& f = t.host.gnu_dwfunction;
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "s"), "文本");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "n"), "-3.5");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "l"), "42");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "d"), "2024-02-29");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "dt"), "2024-02-29 13:05:09");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "t"), "08:00:01");
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "c_double"), "-7");
    dw.SetItem(1, "s", Value());
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "s"), std::nullopt);
    EXPECT_EQ(f.of_getitemvalue(dw, 2, "s"), std::nullopt);
    EXPECT_EQ(f.of_getitemvalue(dw, 1, "nosuch"), std::nullopt);
}

TEST(DwFunction, MovesObjectsBetweenBandsAndMakesAReportTransparent) {
    TestHost t;
    engine::DataStore dw;
    createReport(dw, kItems);
    const n_dwfunction& f = t.host.gnu_dwfunction;
    EXPECT_EQ(f.of_movedwobject(dw, "t_1", "summary"), 1);
    EXPECT_EQ(dw.Describe("t_1.band"), "summary");
    EXPECT_EQ(f.of_movedwobject(dw, "nosuch", "footer"), -1);
    EXPECT_EQ(f.of_movedwobject(dw, "t_1", "nosuch"), -1);
    // What would reach below the new band goes up into it; what is taller goes to its top.
    dw.Modify("DataWindow.Footer.Height=50 t_1.y=80 l_1.y1=90 l_1.y2=70 s.y=20");
    EXPECT_EQ(f.of_movedwobject(dw, "t_1", "header"), 1);
    EXPECT_EQ(dw.Describe("t_1.y"), "40");
    EXPECT_EQ(f.of_movedwobject(dw, "l_1", "footer"), 1);
    EXPECT_EQ(dw.Describe("l_1.y1 l_1.y2"), "50\n30");
    EXPECT_EQ(f.of_movedwobject(dw, "t_1", "footer"), 1);
    EXPECT_EQ(dw.Describe("t_1.y"), "0");
    EXPECT_EQ(f.of_movedwobject(dw, "s", "header"), 1);
    EXPECT_EQ(dw.Describe("s.y"), "20");

    EXPECT_EQ(f.of_setdwtrans(dw), 1);
    EXPECT_EQ(dw.Describe("t_1.background.mode"), "1");
    EXPECT_EQ(dw.Describe("t_1.background.color"), "553648127");
    EXPECT_EQ(dw.Describe("c_double.background.mode"), "1");
    EXPECT_EQ(dw.Describe("DataWindow.Detail.Color"), "536870912");
    EXPECT_EQ(dw.Describe("DataWindow.Header.Color"), "536870912");
    engine::DataStore empty;
    EXPECT_EQ(f.of_setdwtrans(empty), -1);
}

}  // namespace
}  // namespace print::service::test
