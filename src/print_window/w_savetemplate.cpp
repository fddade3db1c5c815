#include "print_window/w_savetemplate.h"

#include "common/text.h"
#include "print_service/modify_text.h"
#include "print_window/template_store.h"
#include "print_window/w_print.h"

namespace print::print_window {

using platform::Icon;
using platform::MessageButtons;
using platform::Pointer;
using platform::PointerGuard;

w_savetemplate::w_savetemplate(w_print* print) : w_center("w_savetemplate"), m_print(print) {
    setTitle("保存打印模板");
    st_1.setText("请输入要保存的模板的名称:");
    gb_1.setText("选项");
    cbx_default.setText("缺省模板");
    cbx_priv.setText("公共(允许其他人访问)");
    uob_ok.configure("", "确 定", "");
    uob_cancel.configure("", "取 消", "");
    sle_name.limit = 100;
    Control::resize(1600, 800);
    st_1.move(40, 40);
    st_1.resize(1200, 64);
    sle_name.move(40, 120);
    sle_name.resize(1500, 84);
    gb_1.move(40, 240);
    gb_1.resize(1500, 260);
    cbx_default.move(100, 320);
    cbx_default.resize(600, 64);
    cbx_priv.move(760, 320);
    cbx_priv.resize(700, 64);
    uob_ok.move(700, 560);
    uob_ok.resize(360, 110);
    uob_cancel.move(1120, 560);
    uob_cancel.resize(360, 110);

    cbx_priv.onClicked = [this] {
        cbx_default.setEnabled(cbx_priv.checked());
        if (!cbx_priv.checked()) cbx_default.setChecked(false);
    };
    uob_ok.onClick = [this] {
        if (m_print && m_print->host().gnu_print.is_mode == "B")
            ue_ok_bill();
        else
            ue_ok_report();
    };
    uob_cancel.onClick = [this] { closeWindow(); };
}

void w_savetemplate::ue_postopen() {
    if (!m_print || !m_print->isOpen()) {
        closeWindow();
        return;
    }
    sle_name.setText(m_print->is_tmpname);
    if (m_print->is_tmpname.empty()) {
        sle_name.setText("新的打印模板");
        ib_newtemplate = true;
    }
    // A layout never saved is new whatever name it shows: a template of that name belongs to
    // someone else's save, and saving over it asks first.
    if (m_print->ib_new) ib_newtemplate = true;
    // Saving the shown template again keeps what it is unless the operator changes it.
    const bool saved = !m_print->ib_new;
    if (m_print->host().gnu_print.is_mode == "B") {
        cbx_priv.hide();
        cbx_priv.setEnabled(false);
        cbx_priv.setChecked(false);
        cbx_default.setEnabled(true);
    } else {
        cbx_priv.show();
        cbx_priv.setEnabled(true);
        cbx_priv.setChecked(!saved || m_print->shownTemplatePublic());
        cbx_default.setEnabled(cbx_priv.checked());
    }
    cbx_default.show();
    cbx_default.setChecked(saved && m_print->shownTemplateDefault() && cbx_default.enabled());
    focusName();
}

void w_savetemplate::focusName() {
    setFocus(&sle_name);
    sle_name.selectAll();
}

int w_savetemplate::triggerEvent(std::string_view event) {
    if (iequals(event, "ue_ok_report")) {
        ue_ok_report();
        return 1;
    }
    if (iequals(event, "ue_ok_bill")) {
        ue_ok_bill();
        return 1;
    }
    return w_center::triggerEvent(event);
}

void w_savetemplate::ue_ok_report() {
    if (save(false)) closeWindow();
}

void w_savetemplate::ue_ok_bill() {
    if (save(true)) closeWindow();
}

namespace {

// What the overwrite question says about a stored row; "" when saving over it asks nothing.
std::string overwriteQuestion(bool bill, const TemplateInfo& row) {
    if (bill)
        return row.isDefault == "Y"
                   ? "该模板名称已存在，且为缺省模板，您的修改将影响到其他人对此模板的使用！"
                     "您确信要保存并覆盖该模板吗？"
                   : "该模板名称已存在，您确信要保存并覆盖该模板吗？";
    if (row.flag == "0" && row.isDefault == "Y")
        return "该模板名称已存在，且为公共缺省模板，您的修改将影响到其他人对此模板的使用！"
               "您确信要保存并覆盖该模板吗？";
    if (row.flag == "0")
        return "该模板名称已存在，且为公共模板，您的修改将影响到其他人对此模板的使用！"
               "您确信要保存并覆盖该模板吗？";
    return "该模板名称已存在，您确信要保存并覆盖该模板吗？";
}

// Whether the row is still what the operator was asked about: its flags and its owner.
bool sameAsAsked(const TemplateInfo& asked, const TemplateInfo& now) {
    return asked.flag == now.flag && asked.isDefault == now.isDefault &&
           asked.key.oper == now.key.oper;
}

}  // namespace

bool w_savetemplate::save(bool bill) {
    if (!m_print) return false;
    w_print& window = *m_print;
    service::HostContext& host = window.host();
    service::n_print& request = host.gnu_print;
    db::Transaction& sqlca = host.sqlca;
    platform::Services& ui = services();

    const std::string name = sle_name.text();
    if (trim(name).empty()) {
        ui.messageBox("提示", "请输入要保存的模板的名称！");
        focusName();
        return false;
    }
    const std::string dwname = request.idw_detail ? request.idw_detail->dataObject() : "";
    std::string docname = window.documentName();
    if (docname.empty()) docname = dwname;
    const std::string billid = request.is_billid;
    std::string flag = "0";
    std::string isDefault = cbx_default.checked() ? "Y" : "N";
    if (!bill && !cbx_priv.checked()) {
        flag = "1";
        isDefault = "N";
    }

    std::optional<PointerGuard> pointer(std::in_place, ui, Pointer::HourGlass);
    // Every way out before the commit undoes the attempt as a whole, and does so before any
    // message: no transaction waits on the operator.
    auto abandon = [&] {
        if (sqlca.inTransaction()) sqlca.rollback();
        pointer.reset();
    };
    auto failed = [&] {
        host.f_ora_err();
        abandon();
        return false;
    };
    auto nameTaken = [&] {
        abandon();
        ui.messageBox("提示", "该名称已被其他人使用，请重新命名！");
        focusName();
        return false;
    };

    TemplateKey templateKey;
    templateKey.bill = bill;
    templateKey.billid = billid;
    templateKey.docname = docname;
    templateKey.name = name;
    templateKey.oper = host.gs_operid;

    engine::DataWindowChild* list = nullptr;
    if (window.dw_preview.GetChild("dw_report", list) != 1 || !list) {
        abandon();
        ui.messageBox("错误", "当前模板存在错误，不能保存！", Icon::StopSign);
        return false;
    }
    // The list as the template keeps it: without this operator's masks.
    const std::string syntax2 = window.templateListSyntax(*list);
    const std::string shownName = window.dw_preview.Describe("dw_report.dataobject");
    // Bills save over the open template without a question.
    const bool asks = !bill || ib_newtemplate || name != window.is_tmpname;

    // The questions come first, with nothing locked; under the lock the save checks that what
    // the operator agreed to still holds, and asks again when it changed meanwhile.
    TemplateInfo stored;
    bool exists = false;
    for (;;) {
        long taken = 0;
        if (!bill) {
            if (countPublicOfOthers(sqlca, templateKey, taken) < 0) return failed();
            if (taken > 0) return nameTaken();
        }
        TemplateInfo asked;
        const long before = readTemplateRow(sqlca, templateKey, asked);
        if (before < 0) return failed();
        if (before == 0 && asks) {
            pointer.reset();
            if (ui.messageBox("提示", overwriteQuestion(bill, asked), Icon::Question,
                              MessageButtons::OkCancel) == 2) {
                abandon();
                return false;
            }
            pointer.emplace(ui, Pointer::HourGlass);
        }

        // One save of a document or bill id at a time: the default stays unique.
        if (lockTemplates(sqlca, templateKey) < 0) return failed();
        if (!bill) {
            if (countPublicOfOthers(sqlca, templateKey, taken) < 0) return failed();
            if (taken > 0) return nameTaken();
        }
        const long now = readTemplateRow(sqlca, templateKey, stored);
        if (now < 0) return failed();
        const bool unchanged = now == before && (now == 100 || sameAsAsked(asked, stored));
        // A row gone meanwhile is simply written anew; one that appeared or changed is asked
        // about again, without the lock.
        if (unchanged || now == 100 || !asks) {
            exists = now == 0;
            break;
        }
        sqlca.rollback();
    }

    // Every save stores a new stamp; library copies record the stamp they came from, so other
    // operators notice the change and fetch it.
    const DateTime saved = host.f_getsysdatetime();
    const Value stamp(saved);
    std::string dwcurname;
    const std::string dwoldname = exists ? stored.libraryName : std::string();
    if (exists) {
        dwcurname = shownName;
        DateTime local;
        if (request.of_getdwdatetime(dwcurname, local) != 1) {
            abandon();
            ui.messageBox("错误", "当前模板存在错误，不能保存！", Icon::StopSign);
            return false;
        }
        std::vector<Value> params;
        std::string sql;
        if (bill) {
            sql =
                "UPDATE T_GOODSPRINT1 SET bpdate = :stamp, bpdefault = :isdefault, "
                "bpdwname = :dwcurname, bpoperid = :oper" +
                templateKey.where();
            params = {stamp,         Value(isDefault), Value(dwcurname), Value(host.gs_operid),
                      Value(billid), Value(name)};
        } else {
            sql =
                "UPDATE T_RPT_MODONE SET rtdwname = :dwname, rtdwcurname = :dwcurname, "
                "rtflag = :flag, rtoperdate = :stamp, rtdefault = :isdefault" +
                templateKey.where();
            params = {Value(dwname),    Value(dwcurname), Value(flag), stamp,
                      Value(isDefault), Value(docname),   Value(name), Value(host.gs_operid)};
        }
        if (sqlca.execute(sql, params) < 0) return failed();
    } else {
        dwcurname = window.wf_getdwname();
        long rc;
        if (bill)
            rc = sqlca.execute(
                "INSERT INTO T_GOODSPRINT1 (bpbid, bpname, bpdate, bpdefault, bpdwname, bpoperid) "
                "VALUES (:billid, :name, :stamp, :isdefault, :dwcurname, :oper)",
                {Value(billid), Value(name), stamp, Value(isDefault), Value(dwcurname),
                 Value(host.gs_operid)});
        else
            rc = sqlca.execute(
                "INSERT INTO T_RPT_MODONE (rtdocname, rtname, rtoperid, rtflag, rtdefault, "
                "rtdwname, rtdwcurname, rtoperdate) VALUES (:docname, :name, :oper, :flag, "
                ":isdefault, :dwname, :dwcurname, :stamp)",
                {Value(docname), Value(name), Value(host.gs_operid), Value(flag), Value(isDefault),
                 Value(dwname), Value(dwcurname), stamp});
        if (rc < 0) return failed();
    }

    const std::string syntax1 = window.dw_preview.Describe("datawindow.syntax");
    const long written = writeTemplateSyntax(sqlca, templateKey, syntax1, syntax2);
    if (written < 0) return failed();
    if (written != 0) {
        // A template row without its second row would lose the report syntax: refuse.
        abandon();
        ui.messageBox("错误", "打印模板保存失败(UPDATEBLOB)！", Icon::StopSign);
        return false;
    }
    if (isDefault == "Y" && clearOtherDefaults(sqlca, templateKey) < 0) return failed();
    if (sqlca.commit() != 0) return failed();

    // The old library entry goes only once the new row is committed, and only when the
    // template now lives under another name.
    if (!dwoldname.empty() && !iequals(dwoldname, dwcurname)) request.of_deletelibdw(dwoldname);

    if (bill)
        window.dw_template.Retrieve({Value(billid)});
    else
        window.dw_template.Retrieve({Value(docname), Value(dwname), Value(host.gs_operid)});
    const long row = window.dw_template.Find("name='" + service::modifyEscape(name) + "'", 1,
                                             window.dw_template.RowCount());
    if (row > 0) {
        window.dw_template.SetRow(row);
        window.dw_template.ScrollToRow(row);
    }
    window.afterSave(name, syntax1, syntax2, dwcurname, templateStamp(stamp), flag == "0",
                     isDefault == "Y");
    pointer.reset();
    ui.messageBox("提示", "打印模板保存成功！");
    return true;
}

}  // namespace print::print_window
