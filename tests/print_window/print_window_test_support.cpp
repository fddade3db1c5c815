#include "print_window_test_support.h"

#include "db/schema.h"
#include "engine/library.h"
#include "report_defs/report_defs.h"

namespace print::print_window::test {

const char* const kGoodsReport = R"srd(release 9;
datawindow(units=0 processing=1 print.documentname="商品清单" )
header(height=76 )
summary(height=80 )
footer(height=0 )
detail(height=72 )
table(column=(type=long name=rowno dbname="rowno" )
 column=(type=char(60) name=goodsname dbname="goodsname" )
 column=(type=decimal(3) name=qty dbname="qty" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=decimal(2) name=amount dbname="amount" ) )
text(band=header alignment="2" text="行号" x="9" y="8" height="60" width="150" name=rowno_t )
text(band=header alignment="2" text="商品名称" x="168" y="8" height="60" width="620" name=goodsname_t )
text(band=header alignment="2" text="数量" x="797" y="8" height="60" width="230" name=qty_t )
text(band=header alignment="2" text="进价" x="1036" y="8" height="60" width="260" name=price_t )
text(band=header alignment="2" text="金额" x="1305" y="8" height="60" width="300" name=amount_t )
column(band=detail id=1 alignment="2" x="9" y="4" height="60" width="150" format="[general]" name=rowno edit.limit=0 )
column(band=detail id=2 alignment="0" x="168" y="4" height="60" width="620" format="[general]" name=goodsname edit.limit=60 )
column(band=detail id=3 alignment="1" x="797" y="4" height="60" width="230" format="#,##0.###" name=qty edit.limit=0 )
column(band=detail id=4 alignment="1" x="1036" y="4" height="60" width="260" format="#,##0.00" name=price tag="COST" edit.limit=0 )
column(band=detail id=5 alignment="1" x="1305" y="4" height="60" width="300" format="#,##0.00" name=amount edit.limit=0 )
compute(band=summary alignment="1" expression="sum(amount for all)" x="1305" y="8" height="60" width="300" format="#,##0.00" name=sum_hspsje )
)srd";

const char* const kBillHeader = R"srd(release 9;
datawindow(units=0 processing=0 )
header(height=0 )
summary(height=0 )
footer(height=0 )
detail(height=200 )
table(column=(type=char(20) name=billno dbname="billno" )
 column=(type=char(200) name=memo dbname="memo" )
 column=(type=date name=xdrq dbname="xdrq" )
 column=(type=date name=jhrq dbname="jhrq" )
 column=(type=char(10) name=seqno dbname="seqno" ) )
column(band=detail id=1 x="9" y="8" height="60" width="400" name=billno )
)srd";

const char* const kChargeLines = R"srd(release 9;
datawindow(units=0 processing=1 )
header(height=76 )
summary(height=0 )
footer(height=0 )
detail(height=72 )
table(column=(type=char(10) name=chargecode dbname="chargecode" )
 column=(type=char(40) name=chargename dbname="chargename" )
 column=(type=decimal(2) name=amount dbname="amount" ) )
column(band=detail id=2 x="9" y="4" height="60" width="600" name=chargename )
column(band=detail id=3 x="620" y="4" height="60" width="300" name=amount )
)srd";

namespace {

void fill(engine::DataStore& dw, const std::vector<std::vector<Value>>& rows) {
    for (const auto& row : rows) {
        const long r = dw.InsertRow(0);
        for (size_t c = 0; c < row.size(); ++c)
            EXPECT_EQ(dw.SetItem(r, static_cast<int>(c) + 1, row[c]), 1);
    }
}

Value dec(const char* text) {
    return Value(*Decimal::parse(text));
}

}  // namespace

void fillGoods(engine::DataStore& dw) {
    fill(dw, {{Value(1), "可口可乐 330ml", dec("24"), dec("2.50"), dec("60.00")},
              {Value(2), "农夫山泉 550ml", dec("48"), dec("1.20"), dec("57.60")},
              {Value(3), "O'Brien 饼干", dec("10"), dec("8.00"), dec("80.00")},
              {Value(4), "康师傅 红烧牛肉面", dec("12"), dec("4.50"), dec("54.00")},
              {Value(5), "青岛啤酒", dec("6"), dec("5.00"), dec("30.00")}});
}

void fillGifts(engine::DataStore& dw) {
    fill(dw, {{Value(1), "赠品 纸巾", dec("2"), dec("0"), dec("0")},
              {Value(2), "赠品 水杯", dec("1"), dec("0"), dec("0")}});
}

void fillHeader(engine::DataStore& dw) {
    fill(dw, {{"DH20240318001", "请按时送货，O'Brien 负责", *Date::parse("2024-03-20"),
               *Date::parse("2024-03-30"), "S0001"}});
}

void fillCharges(engine::DataStore& dw) {
    fill(dw, {{"C01", "进场费", dec("500.00")}, {"C02", "促销费", dec("120.50")}});
}

Operator::Operator(const std::string& url, const std::string& operid, const std::string& library,
                   std::unique_ptr<service::HostServices> hostServices)
    : host(services, std::move(hostServices)) {
    host.gs_operid = operid;
    host.gs_opergh = "0" + operid;
    host.gs_opername = "操作员" + operid;
    host.gs_incqc = "华联超市有限公司";
    host.gs_appid = "T";
    host.gs_isbillprinttmp = "Y";
    host.gs_role = "01";
    installPrintWindow(host);
    EXPECT_EQ(host.sqlca.connect(url), 0) << host.sqlca.sqlErrText();
    EXPECT_EQ(host.gnu_print.of_setprintlib(library), 1);
    services.setUnansweredPolicy(platform::UnansweredBox::Error);
}

void Operator::useLibraries() {
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> list{
        std::make_shared<db::LibraryFileDefinitions>(host.gnu_print.is_printlib)};
    list.insert(list.end(), hostLibraries.begin(), hostLibraries.end());
    engine::LibrarySearchList::application().setLibraries(list);
}

void Operator::create(platform::DataWindowControl& dw, const std::string& syntax) {
    std::string error;
    ASSERT_EQ(dw.Create(syntax, error), 1) << error;
}

std::string Operator::run(const std::function<void()>& request, const std::string& script) {
    useLibraries();
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream err;
    platform::HeadlessDriver driver(services);
    platform::OperatorScript player(driver, in, out, err);
    services.modalInteraction = [&](platform::Window& w) {
        if (w.name() == "w_print") window = static_cast<w_print*>(&w);
        player.run(w);
        if (w.name() == "w_print") window = nullptr;
    };
    request();
    services.modalInteraction = nullptr;
    EXPECT_FALSE(player.failed()) << err.str();
    EXPECT_TRUE(services.errors().empty()) << services.errors().front();
    return out.str();
}

void Operator::runWith(const std::function<void()>& request,
                       const std::function<void(w_print&)>& act) {
    useLibraries();
    services.modalInteraction = [&](platform::Window& w) {
        if (w.name() == "w_print") act(static_cast<w_print&>(w));
    };
    request();
    services.modalInteraction = nullptr;
    EXPECT_TRUE(services.errors().empty()) << services.errors().front();
}

std::vector<std::string> Operator::boxes() {
    std::vector<std::string> out;
    const auto& all = services.messageBoxes();
    for (size_t i = m_boxesSeen; i < all.size(); ++i) out.push_back(all[i].describe());
    m_boxesSeen = all.size();
    return out;
}

void PrintWindowTest::SetUp() {
    DatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_savedLibraries = engine::LibrarySearchList::application().libraries();
    report_defs::install();
    auto created = db::initSchema(sqlca);
    ASSERT_TRUE(created.ok()) << created.error().describe();
    ASSERT_EQ(sqlca.execute("INSERT INTO T_BILLMAIN (billid, billname, billstatus) VALUES "
                            "('305', '采购订单', 'Y'), ('508', '供应商结算单', 'Y'), "
                            "('J01', '供应商费用结算', 'Y'), ('101', '收货单', 'Y')"),
              0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.execute("INSERT INTO t_Privatepara (code, value) VALUES ('02', '上海市 "
                            "O''Brien 路 8 号'), ('06', '021-5555'), ('PT', '3'), "
                            "('PRIVOPER', '123,abcd')"),
              0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.execute("INSERT INTO T_SUPPLYBALANCE (seqno, djlb) VALUES ('S0001', '9')"), 0)
        << sqlca.sqlErrText();
    ASSERT_EQ(sqlca.commit(), 0);
}

void PrintWindowTest::TearDown() {
    operators.clear();
    engine::LibrarySearchList::application().setLibraries(m_savedLibraries);
    DatabaseTest::TearDown();
}

Operator& PrintWindowTest::addOperator(const std::string& operid, const std::string& library,
                                       std::unique_ptr<service::HostServices> hostServices) {
    const std::string path = library.empty() ? tempPath("print_" + operid + ".plib") : library;
    operators.push_back(std::make_unique<Operator>(url(), operid, path, std::move(hostServices)));
    return *operators.back();
}

Operator& PrintWindowTest::goodsOperator(int fills) {
    if (operators.empty()) {
        Operator& a = addOperator("A");
        a.create(a.dw_detail, kGoodsReport);
        for (int i = 0; i < fills; ++i) fillGoods(a.dw_detail);
    }
    return *operators.front();
}

std::string PrintWindowTest::runGoodsReport(const std::string& script, int fills) {
    Operator& a = goodsOperator(fills);
    return a.run([&] { a.host.gnu_print.of_print(&a.dw_detail, std::string("商品清单,月结")); },
                 script);
}

}  // namespace print::print_window::test
