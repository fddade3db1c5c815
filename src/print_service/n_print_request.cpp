// Print requests: checking the arguments, looking the bill up, opening the print window and
// clearing the request on every way out.
#include "print_service/host_context.h"
#include "print_service/modify_text.h"
#include "print_service/n_print.h"

namespace print::service {

using platform::Icon;

void n_print::of_initparm() {
    is_mode.clear();
    is_billid.clear();
    is_printname.clear();
    is_printcharge = "N";
    ib_detaila_hav = false;
    ib_header_hav = false;
    ii_accessory_count = 0;
}

void n_print::openPrintWindow() {
    if (!m_host.printWindowFactory) return;
    std::unique_ptr<platform::Window> window = m_host.printWindowFactory(m_host);
    if (window) m_host.services().openModal(*window);
}

void n_print::printBill(const std::string& billid, DataWindow* header, DataWindow* detail,
                        DataWindow* detaila, const std::vector<std::string>* accessory,
                        const std::string* ischarge, bool withDetaila) {
    if (f_str_isnull(billid) || !header || !detail || (withDetaila && !detaila)) {
        m_host.services().messageBox("错误", "参数传递错误！", Icon::StopSign);
        return;
    }
    of_initparm();

    std::vector<Value> row;
    const long rc = m_host.sqlca.selectInto(
        "SELECT billname FROM T_BILLMAIN WHERE billid = :billid AND billstatus = 'Y'",
        {Value(billid)}, row);
    if (rc < 0) {
        m_host.f_ora_err();
        return;
    }
    if (rc == 100) {
        m_host.services().messageBox("错误", "无效的单据ID！", Icon::StopSign);
        return;
    }

    is_printname = row.empty() || row[0].isNull() ? std::string() : row[0].toText();
    is_billid = billid;
    is_mode = "B";
    if (ischarge) is_printcharge = *ischarge;
    idw_header = header;
    idw_detail = detail;
    if (withDetaila) idw_detaila = detaila;
    is_accessory = accessory ? *accessory : std::vector<std::string>{};
    ii_accessory_count = static_cast<int>(is_accessory.size());
    ib_header_hav = ischarge ? *ischarge != "Y" : true;
    ib_detaila_hav = withDetaila;

    openPrintWindow();
    of_initparm();
}

void n_print::of_print(const std::string& billid, DataWindow* header, DataWindow* detail) {
    printBill(billid, header, detail, nullptr, nullptr, nullptr, false);
}

void n_print::of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                       const std::vector<std::string>& accessory) {
    printBill(billid, header, detail, nullptr, &accessory, nullptr, false);
}

void n_print::of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                       DataWindow* detaila) {
    of_print(billid, header, detail, detaila, std::string("N"));
}

void n_print::of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                       DataWindow* detaila, const std::string& ischarge) {
    printBill(billid, header, detail, detaila, nullptr, &ischarge, true);
}

void n_print::of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                       DataWindow* detaila, const std::vector<std::string>& accessory) {
    printBill(billid, header, detail, detaila, &accessory, nullptr, true);
}

void n_print::printReport(DataWindow* dw, DataWindow* head) {
    of_initparm();
    if (head) idw_header = head;
    idw_detail = dw;
    is_mode = "D";
    if (head) ib_header_hav = true;
    // A null report is not checked here: the print window refuses it with its own message.
    if (dw) {
        const std::string name = dw->Describe("DataWindow.Print.DocumentName");
        is_printname = name == "!" || name == "?" ? std::string() : name;
    }
    openPrintWindow();
    of_initparm();
}

void n_print::of_print(DataWindow* dw) {
    printReport(dw, nullptr);
}

void n_print::of_print(DataWindow* dw, DataWindow* head) {
    printReport(dw, head);
}

void n_print::of_print(DataWindow* dw, const std::string& docname) {
    of_setdwdocname(dw, docname);
    of_print(dw);
}

void n_print::of_print(DataWindow* dw, DataWindow* head, const std::string& docname) {
    of_setdwdocname(dw, docname);
    of_print(dw, head);
}

void n_print::of_print(const std::string&, const std::string&) {
    // The platform's message box shows the information icon when none is given.
    m_host.services().messageBox("提示", "此函数已不再使用!", Icon::Information);
}

int n_print::of_setdwdocname(DataWindow* dw, const std::string& docname) {
    if (!dw) return -1;
    dw->Modify("DataWindow.Print.DocumentName=" + modifyQuote(docname));
    return 1;
}

}  // namespace print::service
