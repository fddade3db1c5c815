#include "demo_documents.h"

#include <fstream>
#include <sstream>

#include "db/demo_data.h"
#include "report_defs/report_defs.h"

namespace print::print_window::test {
namespace {

std::string readDefinition(const std::string& name) {
    std::ifstream in(std::string(DEMO_DEFS_DIR) + "/" + name + ".srd", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

void DemoDocuments::SetUp() {
    DatabaseTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_saved = engine::LibrarySearchList::application().libraries();
    report_defs::install();
    m_definitions = std::make_shared<engine::MemoryLibrary>("(host)");
    m_folder = std::make_shared<engine::FolderLibrary>(DEMO_DEFS_DIR);
    auto loaded = db::loadDemoData(sqlca, db::DemoOptions{200});
    ASSERT_TRUE(loaded.ok()) << loaded.error().describe();
}

void DemoDocuments::TearDown() {
    engine::LibrarySearchList::application().setLibraries(m_saved);
    DatabaseTest::TearDown();
}

std::unique_ptr<Operator> DemoDocuments::makeOperator() {
    auto op = std::make_unique<Operator>(url(), "0001", tempPath("print.plib"));
    op->hostLibraries = {m_definitions, m_folder};
    engine::LibrarySearchList::application().setLibraries(op->hostLibraries);
    return op;
}

void DemoDocuments::load(Operator& op, platform::DataWindowControl& dw, const std::string& name,
                         const std::vector<Value>& arguments) {
    std::string error;
    ASSERT_EQ(dw.Create(readDefinition(name), error), 1) << name << ": " << error;
    m_definitions->put(name, readDefinition(name));
    ASSERT_EQ(dw.setDataObject(name), 1) << name;
    dw.SetTransObject(&op.host.sqlca);
    ASSERT_GE(dw.Retrieve(arguments), 0) << name << ": " << dw.lastError();
}

DemoDocument DemoDocuments::bill(const std::string& id, const std::string& head,
                                 const std::string& detail, const std::string& detail2) {
    DemoDocument d{makeOperator(), {}};
    Operator& op = *d.op;
    const std::vector<Value> bill{Value(id), Value(db::demoBillNo(id))};
    load(op, op.dw_header, head, bill);
    load(op, op.dw_detail, detail, bill);
    load(op, op.dw_detail2, detail2, bill);
    d.print = [&op, id] {
        op.host.gnu_print.of_print(id, &op.dw_header, &op.dw_detail, &op.dw_detail2,
                                   std::string("N"));
    };
    return d;
}

DemoDocument DemoDocuments::order305() {
    return bill("305", "d_demo_order_head", "d_demo_order_detail", "d_demo_order_gift");
}

DemoDocument DemoDocuments::settlement508() {
    return bill("508", "d_demo_settle_head", "d_demo_settle_detail", "d_demo_charge_detail");
}

DemoDocument DemoDocuments::salesReport() {
    DemoDocument d{makeOperator(), {}};
    Operator& op = *d.op;
    load(op, op.dw_header, "d_demo_sale_cond", {});
    load(op, op.dw_detail, "d_demo_sale_report",
         {Value("2024-01-01"), Value("2024-01-03"), Value(""), Value("")});
    d.print = [&op] {
        op.host.gnu_print.of_print(&op.dw_detail, &op.dw_header,
                                   std::string("商品销售汇总,销售报表"));
    };
    return d;
}

}  // namespace print::print_window::test
