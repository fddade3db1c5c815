#include "print_window_test_support.h"

#include "db/schema.h"
#include "engine/library.h"

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
data(1 "可口可乐 330ml" 24 2.50 60.00 2 "农夫山泉 550ml" 48 1.20 57.60 3 "O'Brien 饼干" 10 8.00 80.00 4 "康师傅 红烧牛肉面" 12 4.50 54.00 5 "青岛啤酒" 6 5.00 30.00 )
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
data("DH20240318001" "请按时送货，O'Brien 负责" "2024-03-20" "2024-03-30" "S0001" )
column(band=detail id=1 x="9" y="8" height="60" width="400" name=billno )
)srd";

const char* const kGiftRows = R"srd(release 9;
datawindow(units=0 processing=1 )
header(height=76 )
summary(height=0 )
footer(height=0 )
detail(height=72 )
table(column=(type=long name=rowno dbname="rowno" )
 column=(type=char(60) name=goodsname dbname="goodsname" )
 column=(type=decimal(3) name=qty dbname="qty" )
 column=(type=decimal(2) name=price dbname="price" )
 column=(type=decimal(2) name=amount dbname="amount" ) )
data(1 "赠品 纸巾" 2 0 0 2 "赠品 水杯" 1 0 0 )
column(band=detail id=1 x="9" y="4" height="60" width="150" name=rowno )
)srd";

Operator::Operator(const std::string& url, const std::string& operid, const std::string& library) {
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

void Operator::create(platform::DataWindowControl& dw, const std::string& syntax) {
    std::string error;
    ASSERT_EQ(dw.Create(syntax, error), 1) << error;
}

std::string Operator::run(const std::function<void()>& request, const std::string& script) {
    // One search list per application: while this operator works, it holds his library.
    engine::LibrarySearchList::application().setLibraries(
        {std::make_shared<db::LibraryFileDefinitions>(host.gnu_print.is_printlib)});
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream err;
    OperatorScript player(services, in, out, err);
    player.install();
    auto inner = services.modalInteraction;
    services.modalInteraction = [&](platform::Window& w) {
        if (w.name() == "w_print") window = static_cast<w_print*>(&w);
        inner(w);
        if (w.name() == "w_print") window = nullptr;
    };
    request();
    services.modalInteraction = nullptr;
    EXPECT_FALSE(player.failed()) << err.str();
    EXPECT_TRUE(services.errors().empty()) << services.errors().front();
    return out.str();
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

Operator& PrintWindowTest::addOperator(const std::string& operid, const std::string& library) {
    const std::string path = library.empty() ? tempPath("print_" + operid + ".plib") : library;
    operators.push_back(std::make_unique<Operator>(url(), operid, path));
    return *operators.back();
}

}  // namespace print::print_window::test
