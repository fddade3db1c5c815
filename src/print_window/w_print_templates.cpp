// The template events of the print window: load the list's current template, build a new
// layout from the host's DataWindows, delete a template.
#include "common/text.h"
#include "print_service/modify_text.h"
#include "print_window/template_store.h"
#include "print_window/w_print.h"
#include "print_window/w_savetemplate.h"

namespace print::print_window {

using platform::Icon;
using platform::MessageButtons;
using platform::Pointer;
using platform::PointerGuard;

namespace {

bool isJournalBill(const std::string& billid) {
    return billid == "J01" || billid == "J02" || billid == "J03";
}

std::string itemText(engine::DataStore& dw, long row, const char* column) {
    std::optional<std::string> value = dw.GetItemString(row, column);
    return value ? *value : std::string();
}

}  // namespace

void w_print::ue_loadtemplate() {
    RememberLayout remember{*this};
    service::n_print& request = m_host.gnu_print;
    db::Transaction& sqlca = m_host.sqlca;
    ib_newbill = false;
    const long row = dw_template.GetRow();
    if (row < 1 || row > dw_template.RowCount()) return;
    const std::string name = itemText(dw_template, row, "name");
    const std::string oper = itemText(dw_template, row, "operid");
    const std::string docname = documentName();
    if (name == is_tmpname && ui().messageBox("提示", "您需要重新装入该模板吗？", Icon::Question,
                                              MessageButtons::OkCancel) == 2)
        return;

    PointerGuard pointer(ui(), Pointer::HourGlass);
    TemplateKey key;
    key.bill = request.is_mode == "B";
    key.billid = request.is_billid;
    key.docname = docname;
    key.name = name;
    key.oper = oper;
    // The row and both syntaxes in one statement: a save committing meanwhile cannot give the
    // frame of one save and the list of another.
    TemplateSnapshot stored;
    const long rc = readTemplate(sqlca, key, stored);
    if (rc < 0) {
        m_host.f_ora_err();
        return;
    }
    if (rc == 100) {
        ui().messageBox("提示", "装入模板失败(NOT FOUND)！");
        return;
    }
    const std::string dwname = trim(stored.libraryName);
    if (dwname.empty()) {
        ui().messageBox("提示", "装入模板失败(打印模板DATAWINDOW为空)！");
        return;
    }
    is_printdw = dwname;

    // The library copy is reused only when it was imported from this very version of the row:
    // its entry records the row's stamp. Any other copy (older, newer, or from another
    // database) is replaced.
    bool fromDatabase = true;
    if (!stored.stamp.empty() && request.of_dwisinlib(dwname) &&
        request.of_getdwcomment(dwname) == stored.stamp)
        fromDatabase = false;

    std::string syntax2;
    if (fromDatabase) {
        request.of_deletelibdw(dwname);
        if (!stored.hasReportRow) {
            ui().messageBox("提示", "装入模板失败(NOT FOUND)！");
            return;
        }
        if (stored.report.empty()) {
            ui().messageBox("提示", "装入模板失败(DATAWINODW SYNTAX为空)！");
            return;
        }
        syntax2 = stored.report;
    }
    if (stored.frame.empty()) {
        ui().messageBox("提示", "装入模板失败(DATAWINODW SYNTAX为空)！");
        return;
    }

    is_importstamp = stored.stamp;
    int loaded = wf_loadreport(stored.frame, syntax2, dwname);
    if (loaded == 1 && isJournalBill(request.is_billid))
        loaded = wf_loadreport(stored.frame, syntax2, dwname);
    is_importstamp.clear();
    if (loaded != 1) return;
    is_tmpname = name;
    setTitle("打印 - " + is_tmpname);
    ib_new = false;
    m_shownPublic = key.bill || stored.flag != "1";
    m_shownDefault = stored.isDefault == "Y";
}

void w_print::ue_newtemplate() {
    RememberLayout remember{*this};
    service::n_print& request = m_host.gnu_print;
    PointerGuard pointer(ui(), Pointer::HourGlass);
    ib_newbill = request.is_mode == "B";

    engine::DataStore frame;
    if (request.is_printcharge != "Y") {
        frame.SetDataObject(request.is_billid == "305" ? "d_print_order" : "d_print");
    } else if (request.is_billid == "J01" && request.idw_header) {
        const std::string seqno = itemText(*request.idw_header, 1, "seqno");
        std::vector<Value> category;
        const long rc = m_host.sqlca.selectInto(
            "SELECT djlb FROM T_SUPPLYBALANCE WHERE seqno = :seqno", {Value(seqno)}, category);
        if (rc < 0) {
            m_host.f_ora_err();
            return;
        }
        if (rc == 0 && !category.empty() && !category[0].isNull()) {
            const std::string djlb = trim(category[0].toText());
            if (djlb == "1" || djlb == "2" || djlb == "3" || djlb == "9")
                frame.SetDataObject("d_printcharge_" + djlb);
        }
    }
    frame.SetTransObject(&m_host.sqlca);
    frame.Modify("DataWindow.Print.DocumentName=" + service::modifyQuote(request.is_printname));

    const std::string dwname = wf_getdwname();
    if (dwname.empty()) {
        ui().messageBox("错误", "新建模板失败(DATAWINDOW名称为空)！", Icon::StopSign);
        return;
    }
    const std::string frameSyntax = frame.isCreated() ? frame.Describe("datawindow.syntax") : "";
    const std::string reportSyntax = request.idw_detail && request.idw_detail->isCreated()
                                         ? request.idw_detail->Describe("datawindow.syntax")
                                         : "";
    is_importstamp.clear();
    const int times = isJournalBill(request.is_billid) ? 2 : 1;
    for (int i = 0; i < times; ++i) {
        if (wf_loadreport(frameSyntax, reportSyntax, dwname) == 1) {
            is_tmpname = "新的打印模板";
            setTitle("打印 - " + is_tmpname);
        } else {
            ui().messageBox("错误", "新建模板失败！", Icon::StopSign);
        }
    }
    ib_new = true;
    m_shownPublic = true;
    m_shownDefault = false;
}

void w_print::ue_deltemplate() {
    service::n_print& request = m_host.gnu_print;
    db::Transaction& sqlca = m_host.sqlca;
    const long row = dw_template.GetRow();
    if (row < 1 || row > dw_template.RowCount()) return;
    const std::string name = itemText(dw_template, row, "name");
    const std::string oper = itemText(dw_template, row, "operid");
    const std::string docname = documentName();
    const bool bill = request.is_mode == "B";

    if (oper != m_host.gs_operid) {
        ui().messageBox("提示", "该模板的所有者不是您本人，您不能删除该模板！");
        return;
    }
    if (name == is_tmpname) {
        ui().messageBox("提示", "不能删除当前打开的模板！");
        return;
    }
    if (itemText(dw_template, row, "isdefault") == "Y" &&
        ui().messageBox("提示", "您确信要删除模板[" + name + "]吗?", Icon::Question,
                        MessageButtons::OkCancel) == 2)
        return;

    std::vector<Value> key =
        bill ? std::vector<Value>{Value(request.is_billid), Value(name)}
             : std::vector<Value>{Value(docname), Value(name), Value(m_host.gs_operid)};
    std::vector<Value> found;
    const long rc = sqlca.selectInto(
        bill ? "SELECT bpdwname FROM VIEW_GOODS_PRINT WHERE bpbid = :billid AND bpname = :name"
             : "SELECT rtdwcurname FROM VIEW_REPORT_MOD WHERE rtdocname = :docname AND "
               "rtname = :name AND rtoperid = :oper",
        key, found);
    if (rc < 0) {
        m_host.f_ora_err();
        return;
    }
    if (rc == 100) {
        ui().messageBox("提示", "该模板已不存在，可能已被删除！");
        return;
    }
    const std::string dwname = !found.empty() && !found[0].isNull() ? found[0].toText() : "";
    if (!dwname.empty()) request.of_deletelibdw(dwname);

    const long deleted = sqlca.execute(
        bill ? "DELETE FROM T_GOODSPRINT1 WHERE bpbid = :billid AND bpname = :name"
             : "DELETE FROM T_RPT_MODONE WHERE rtdocname = :docname AND rtname = :name AND "
               "rtoperid = :oper",
        key);
    if (deleted < 0) {
        m_host.f_ora_err();
        return;
    }
    if (deleted != 0) {
        sqlca.rollback();
        ui().messageBox("提示", "删除模板失败！", Icon::StopSign);
        return;
    }
    if (sqlca.commit() != 0) {
        m_host.f_ora_err();
        return;
    }
    dw_template.DeleteRow(row);
    ui().messageBox("提示", "删除模板成功！");
}

void w_print::ue_savetemplate() {
    // Nothing loaded (a failed load): the frame left over is no layout to keep.
    if (!m_reportLoaded) {
        ui().messageBox("错误", "当前模板存在错误，不能保存！", Icon::StopSign);
        return;
    }
    wf_setattrib();
    // The designer's markers are no part of the layout.
    wf_clearselect();
    w_savetemplate dialog(this);
    ui().openModal(dialog);
}

void w_print::afterSave(const std::string& name, const std::string& syntaxm,
                        const std::string& syntaxc, const std::string& dwname,
                        const std::string& stamp, bool isPublic, bool isDefault) {
    RememberLayout remember{*this};
    const std::string previous = dw_preview.Describe("dw_report.dataobject");
    const bool wasNew = ib_new;
    is_tmpname = name;
    setTitle("打印 - " + name);
    ib_new = false;
    m_shownPublic = isPublic;
    m_shownDefault = isDefault;
    is_importstamp = stamp;
    wf_loadreport(syntaxm, syntaxc, dwname);
    is_importstamp.clear();
    // A first save takes a name of its own: the unsaved layout's temporary entry is garbage.
    if (wasNew && !previous.empty() && previous != "!" && !iequals(previous, dwname))
        m_host.gnu_print.of_deletelibdw(previous);
}

}  // namespace print::print_window
