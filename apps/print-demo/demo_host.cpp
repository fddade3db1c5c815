#include "demo_host.h"

#include <filesystem>

#include "common/text.h"
#include "db/demo_data.h"
#include "db/schema.h"
#include "engine/library.h"
#include "print_window/w_print.h"
#include "report_defs/report_defs.h"

using namespace print;

namespace demo {
namespace {

// This site lets only its managers see purchase prices and costs.
class DemoServices : public service::HostServices {
public:
    bool f_colname_denicolumn(service::HostContext& host, std::string_view name) override {
        if (host.gs_role == "00") return true;
        return !(iequals(name, "price") || iequals(name, "cost"));
    }
};

struct BillDefs {
    const char* head;
    const char* detail;
    const char* detail2;  // "" for none
    bool charge;          // a charge bill: printed without its header form
};

BillDefs defsOf(const std::string& billid) {
    if (billid == "305") return {"d_demo_order_head", "d_demo_order_detail", "d_demo_order_gift", false};
    if (billid == "508" || billid == "509")
        return {"d_demo_settle_head", "d_demo_settle_detail", "d_demo_charge_detail", false};
    if (!billid.empty() && billid[0] == 'J')
        return {"d_demo_settle_head", "d_demo_settle_detail", "d_demo_charge_detail", true};
    return {"d_demo_recv_head", "d_demo_recv_detail", "", false};
}

}  // namespace

const std::vector<Operator>& operators() {
    static const std::vector<Operator> list = {{"0001", "S0001", "王经理", "00"},
                                               {"0002", "S0002", "李收货", "03"}};
    return list;
}

DemoHost::DemoHost(platform::Services& services)
    : m_host(std::make_unique<service::HostContext>(services, std::make_unique<DemoServices>())) {
    report_defs::install();
    engine::LibrarySearchList::application().append(
        std::make_shared<engine::FolderLibrary>(DEMO_DEFS_DIR));
    print_window::installPrintWindow(*m_host);
    m_host->gs_appid = "DEMO";
    // This site lets its operators keep templates of bills too.
    m_host->gs_isbillprinttmp = "Y";
    setOperator(operators().front());
}

bool DemoHost::open(const std::string& url, const std::string& printLibrary, std::string& error) {
    if (m_host->sqlca.connect(url) != 0) {
        error = m_host->sqlca.sqlErrText();
        return false;
    }
    auto loaded = db::loadDemoData(m_host->sqlca);
    if (!loaded) {
        error = loaded.error().describe();
        return false;
    }
    m_host->gs_incqc = m_host->f_getprivpara("01");
    if (m_host->gnu_print.of_setprintlib(printLibrary) != 1) {
        error = "cannot open or create the print library " + printLibrary;
        return false;
    }
    return true;
}

void DemoHost::setOperator(const Operator& op) {
    m_host->gs_operid = op.id;
    m_host->gs_opergh = op.staffNo;
    m_host->gs_opername = op.name;
    m_host->gs_role = op.role;
}

std::vector<Document> DemoHost::documents() {
    std::vector<Document> docs;
    m_host->sqlca.query(
        "SELECT m.billid, h.billno, m.billname, m.billstatus FROM T_BILLMAIN m "
        "JOIN T_DEMO_BILLHEAD h ON h.billid = m.billid ORDER BY m.billid",
        {}, [&](const std::vector<Value>& r) {
            docs.push_back({r[0].toText(), r[1].toText(),
                            r[2].toText() + "  " + r[1].toText(), r[3].toText()});
            return true;
        });
    docs.push_back({"", "", "商品销售汇总 (全年 100,000 行)", "Y"});
    return docs;
}

bool DemoHost::create(platform::DataWindowControl& dw, const std::string& name,
                      std::string& error) {
    dw.Reset();
    if (dw.setDataObject(name) != 1) {
        error = "the definition " + name + " does not load";
        return false;
    }
    dw.SetTransObject(&m_host->sqlca);
    return true;
}

bool DemoHost::load(const Document& doc, std::string& error) {
    dw_detail2.setDataObject("");
    if (doc.billid.empty()) {
        if (!create(dw_head, "d_demo_sale_cond", error) ||
            !create(dw_detail, "d_demo_sale_report", error))
            return false;
        if (dw_head.Retrieve() < 0) {
            error = dw_head.lastError();
            return false;
        }
        std::vector<Value> args;
        for (const char* column : {"begindate", "enddate", "storeid", "category"}) {
            auto value = dw_head.GetItem(1, column);
            args.push_back(value ? *value : Value());
        }
        if (dw_detail.Retrieve(args) < 0) {
            error = dw_detail.lastError();
            return false;
        }
        return true;
    }
    const BillDefs defs = defsOf(doc.billid);
    const std::vector<Value> args = {Value(doc.billid), Value(doc.billno)};
    if (!create(dw_head, defs.head, error) || !create(dw_detail, defs.detail, error)) return false;
    if (*defs.detail2 && !create(dw_detail2, defs.detail2, error)) return false;
    for (platform::DataWindowControl* dw : {&dw_head, &dw_detail, &dw_detail2}) {
        if (!dw->isCreated()) continue;
        if (dw->Retrieve(args) < 0) {
            error = dw->lastError();
            return false;
        }
    }
    return true;
}

void DemoHost::print(const Document& doc) {
    service::n_print& gnu_print = m_host->gnu_print;
    if (doc.billid.empty()) {
        gnu_print.of_print(&dw_detail, &dw_head, std::string("商品销售汇总,销售报表"));
        return;
    }
    const BillDefs defs = defsOf(doc.billid);
    if (defs.charge)
        gnu_print.of_print(doc.billid, &dw_head, &dw_detail, &dw_detail2, std::string("Y"));
    else if (*defs.detail2)
        gnu_print.of_print(doc.billid, &dw_head, &dw_detail, &dw_detail2);
    else
        gnu_print.of_print(doc.billid, &dw_head, &dw_detail);
}

}  // namespace demo
