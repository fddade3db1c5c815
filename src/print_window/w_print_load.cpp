// Building the shown report: the frame from its syntax, the nested list from the print
// library, the host's rows, the frame's texts, column rights and gift rows.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "common/text.h"
#include "db/dialect.h"
#include "engine/format.h"
#include "print_service/modify_text.h"
#include "print_window/w_print.h"
#include "report_defs/report_defs.h"

namespace print::print_window {

using platform::Icon;
using service::modifyQuote;

namespace {

bool isJournalBill(const std::string& billid) {
    return billid == "J01" || billid == "J02" || billid == "J03";
}

long describeLong(engine::DataStore& dw, const std::string& item) {
    const std::string answer = dw.Describe(item);
    if (auto n = parseInteger(answer)) return static_cast<long>(*n);
    if (auto d = Decimal::parse(answer)) return static_cast<long>(d->toInt64());
    return 0;
}

// A property's value from Describe's answer: a value holding a tab (an expression) comes back
// quoted whole; no value ("?", "!") is "".
std::string propertyText(const std::string& answer) {
    if (answer == "?" || answer == "!") return "";
    if (answer.size() >= 2 && answer.front() == '"' && answer.back() == '"')
        return answer.substr(1, answer.size() - 2);
    return answer;
}

std::string formatted(const std::optional<Value>& value, std::string_view format) {
    if (!value || value->isNull()) return "";
    return engine::formatValue(*value, format).text;
}

// Library entry names allow letters, digits and `_ $ # % -`; anything else from the request or
// the host (a bill id, an application id) becomes `_`, so the generated name always imports.
std::string entryNamePart(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        const bool ok = std::isalnum(c) || c == '_' || c == '$' || c == '#' || c == '%' || c == '-';
        out += ok ? static_cast<char>(c) : '_';
    }
    return out;
}

}  // namespace

bool w_print::copyRows(DataWindowControl* source, engine::DataStore& target) {
    if (!source) return false;
    const long rows = source->RowCount();
    if (rows == 0) return true;
    return source->RowsCopy(1, rows, engine::Buffer::Primary, target, target.RowCount() + 1,
                            engine::Buffer::Primary) == 1;
}

int w_print::wf_loadreport(const std::string& as_syntaxm, const std::string& as_syntaxc,
                           const std::string& as_repname) {
    service::n_print& request = m_host.gnu_print;
    // Whatever was shown gives way; until this load is through nothing may be printed.
    m_reportLoaded = false;
    engine::DataWindowChild* previous = nullptr;
    if (dw_preview.GetChild("dw_report", previous) == 1 && previous) {
        if (ib_sharedata)
            previous->ShareDataOff();
        else
            previous->Reset();
    }

    if (service::f_str_isnull(as_repname) || service::f_str_isnull(as_syntaxm)) {
        ui().messageBox("提示", "装入模板失败(DATAWINDOW名称或语法为空)！");
        return -1;
    }
    // The component's own definitions come first on the search list: a library entry of the
    // same name would never be found, and the list would show, say, a frame.
    if (isComponentDefinition(as_repname)) {
        ui().messageBox("提示", "装入模板失败(" + as_repname + "为系统报表名称)！",
                        Icon::Exclamation);
        return -1;
    }
    if (as_syntaxc.empty()) {
        if (!request.of_dwisinlib(as_repname)) {
            ui().messageBox("提示", "装入模板失败(" + as_repname + "不在打印库中)！",
                            Icon::Exclamation);
            return -1;
        }
    } else if (request.of_setdebuglib(as_syntaxc, as_repname, is_importstamp) != 1) {
        ui().messageBox("错误", "导入模板出现错误(LibraryImport)！", Icon::StopSign);
        return -1;
    }
    // The layout shown so far gives way: its temporary library entry goes, unless the new
    // report is that same entry.
    if (!(ib_new && iequals(dw_preview.Describe("dw_report.dataobject"), as_repname))) wf_trimlib();

    dw_preview.setDataObject("");
    std::string error;
    if (dw_preview.Create(as_syntaxm, error) != 1) {
        ui().messageBox("提示", "装入模板失败(CREATE)！", Icon::Exclamation);
        return -1;
    }
    dw_preview.Modify("dw_report.dataobject=" + modifyQuote(as_repname));
    if (request.is_printname.find(',') != std::string::npos) {
        const std::string title = reportTitle();
        // A title the operator gave the template stays; only the frame's placeholder gives way.
        const std::string shown = dw_preview.Describe("st_repname.text");
        if (shown.empty() || shown == "repname")
            dw_preview.Modify("st_repname.text=" + modifyQuote(title));
        dw_preview.Modify("DataWindow.Print.DocumentName=" + modifyQuote(title));
    }

    engine::DataWindowChild* list = nullptr;
    if (dw_preview.GetChild("dw_report", list) != 1 || !list) {
        ui().messageBox("错误", "文档结构出现错误(GetChild)！", Icon::StopSign);
        return -1;
    }
    wf_backgroundcolor(*list);
    list->SetTransObject(&m_host.sqlca);
    const bool applyRights = rightsApply();
    m_masked.clear();
    m_unmasked.clear();

    if (!ib_sharedata) {
        // The list shows the request's rows only: rows its definition carries (a host's report
        // with stored rows, a template saved with them) would print twice.
        list->Reset();
        list->InsertRow(0);
        list->DeleteRow(list->RowCount());
        bool ok = copyRows(request.idw_detail, *list);
        if (ok && request.is_printcharge != "Y") ok = copyRows(request.idw_detaila, *list);
        if (!ok) {
            list->Reset();
            ui().messageBox("错误", "数据格式出现错误(RowsCopy)！", Icon::StopSign);
            return -1;
        }
        wf_resetrowno(*list);
        // Copied rows are the same bill's lines: the operator's column rights apply to them as
        // much as to shared ones.
        if (applyRights) wf_douserright(*list);
    } else {
        list->Reset();
        list->InsertRow(0);
        list->DeleteRow(list->RowCount());
        // Rows that do not fit the list (another report's columns) would print under the wrong
        // headings: the load fails as a copied one does.
        if (!copyRows(request.idw_detail, *list)) {
            list->Reset();
            ui().messageBox("错误", "数据格式出现错误(RowsCopy)！", Icon::StopSign);
            return -1;
        }
        if (applyRights) wf_douserright(*list);
    }

    if (request.is_billid == "508" || request.is_billid == "509") {
        std::optional<Value> total =
            request.idw_detail ? request.idw_detail->GetItem(1, "sum_hspsje") : std::nullopt;
        Decimal amount = total && !total->isNull() ? total->toDecimal().value_or(Decimal()) : 0;
        dw_preview.Modify("st_uppersum.text=" +
                          modifyQuote("金额(大写) : " + m_host.gf_moneytostring(amount)));
        dw_preview.Modify(
            "st_lowersum.text=" +
            modifyQuote("金额(小写) :   " + formatted(Value(amount), "￥#,###,##0.00")));
        for (long n = list->RowCount(); n < 12; ++n) list->InsertRow(0);
    }

    if (request.is_printcharge == "Y" && !isJournalBill(request.is_billid)) {
        if (loadChargeChild("dw_charge", request.idw_detaila) != 1) return -1;
        if (loadChargeChild("dw_head", idw_chargehead) != 1) return -1;
    }
    if (isJournalBill(request.is_billid)) {
        if (loadJournalChild("dw_head", request.idw_header) != 1) return -1;
        if (loadJournalChild("dw_charge", request.idw_detaila) != 1) return -1;
    }

    if (wf_setdwprop() != 1) return -1;
    wf_buildcond();
    request.of_setaccessory(dw_preview);
    if (ib_newbill) {
        dw_preview.Modify("st_printoper.visible='0'");
        dw_preview.Modify("st_printdate.visible='0'");
        dw_preview.Modify("st_pageno.visible='0'");
    }
    handToPanels();
    resetHistory();
    m_reportLoaded = true;
    return 1;
}

bool w_print::rightsApply() const {
    return m_host.gnu_print.is_mode == "B" && m_host.gs_role != "00";
}

bool w_print::rightsExempt() {
    // The operators exempt from masking are the site's choice: a comma-separated list of staff
    // numbers and operator codes in site parameter PRIVOPER.
    const std::string oper = asciiUpper(trim(m_host.gs_opergh));
    if (oper.empty()) return false;
    for (const std::string& code : split(m_host.f_getprivpara("PRIVOPER"), ','))
        if (!trim(code).empty() && asciiUpper(trim(code)) == oper) return true;
    return false;
}

bool w_print::isComponentDefinition(const std::string& name) {
    for (const report_defs::Definition& d : report_defs::definitions())
        if (iequals(d.name, trim(name))) return true;
    return false;
}

std::string w_print::templateListSyntax(engine::DataStore& list) const {
    const std::string syntax = list.Describe("DataWindow.Syntax");
    if (m_unmasked.empty()) return syntax;
    // Put back what masking changed, on a copy: the shown list stays masked.
    engine::DataStore copy;
    std::string error;
    if (copy.Create(syntax, error) != 1) return syntax;
    for (const auto& [name, original] : m_unmasked) {
        // A format the operator set since (on the columns page) is his, not a mask.
        if (copy.Describe(name + ".format") != "***") continue;
        copy.Modify(name + ".Format=" + modifyQuote(original.format));
        if (original.editFormat)
            copy.Modify(name + ".edit.format=" + modifyQuote(*original.editFormat));
        if (original.editMask)
            copy.Modify(name + ".editmask.mask=" + modifyQuote(*original.editMask));
    }
    return copy.Describe("DataWindow.Syntax");
}

int w_print::loadChargeChild(const char* childName, DataWindowControl* source) {
    engine::DataWindowChild* child = nullptr;
    if (dw_preview.GetChild(childName, child) != 1 || !child) return 1;
    if (ib_sharedata)
        child->ShareDataOff();
    else
        child->Reset();
    if (!source) return 1;
    if (!ib_sharedata) {
        child->InsertRow(0);
        child->DeleteRow(child->RowCount());
        if (!copyRows(source, *child)) {
            child->Reset();
            ui().messageBox("错误", "数据格式出现错误(RowsCopy)！", Icon::StopSign);
            return -1;
        }
        return 1;
    }
    source->ShareData(*child);
    return 1;
}

int w_print::loadJournalChild(const char* childName, DataWindowControl* source) {
    engine::DataWindowChild* child = nullptr;
    if (dw_preview.GetChild(childName, child) != 1 || !child) {
        ui().messageBox("错误", "导入模板出现错误(RowsCopy)！", Icon::StopSign);
        return -1;
    }
    child->SetTransObject(&m_host.sqlca);
    child->ShareDataOff();
    child->InsertRow(0);
    child->DeleteRow(child->RowCount());
    child->Reset();
    copyRows(source, *child);
    return 1;
}

std::string w_print::wf_getdwname() {
    service::n_print& request = m_host.gnu_print;
    const std::string key = request.is_mode == "B" ? request.is_billid : "tmp";
    const DateTime now = m_host.f_getsysdatetime();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d%02d", now.date.year() % 100,
                  now.date.month(), now.date.day(), now.time.hour(), now.time.minute(),
                  now.time.second());
    std::string number = std::to_string(m_host.f_random() % 100000);
    number.insert(0, 5 - std::min<size_t>(5, number.size()), '0');
    // Entry names hold at most 80 characters; the time and number at the end keep it unique.
    std::string prefix = std::string(service::n_print::kTemporaryPrefix) + entryNamePart(key) +
                         entryNamePart(m_host.gs_appid);
    if (prefix.size() > 63) prefix.resize(63);
    const std::string name = prefix + stamp + number;
    if (request.of_dwisinlib(name)) request.of_deletelibdw(name);
    return name;
}

int w_print::wf_trimlib() {
    if (!ib_new) return 1;
    const std::string name = dw_preview.Describe("dw_report.dataobject");
    if (name.empty() || name == "!" || name == "?") return 1;
    m_host.gnu_print.of_deletelibdw(name);
    return 1;
}

int w_print::wf_setdwprop() {
    service::n_print& request = m_host.gnu_print;
    // The frame is shown as printed pages (the front end's preview), whatever the definition
    // or an older template says.
    dw_preview.Modify("DataWindow.Print.Preview=yes");
    dw_preview.Modify("DataWindow.Print.Preview.Rulers='Yes'");
    dw_preview.Modify("st_coname.text=" + modifyQuote(m_host.gs_incqc));
    const std::string title = dw_preview.Describe("st_repname.text");
    if (title.empty() || title == "repname")
        dw_preview.Modify("st_repname.text=" + modifyQuote(reportTitle()));
    dw_preview.Modify("st_printoper.text=" +
                      modifyQuote("打印员: [" + m_host.gs_opergh + "] " + m_host.gs_opername));

    if (request.is_billid == "305") {
        if (request.idw_header && request.idw_header->RowCount() > 0 && request.idw_detail) {
            const auto memo = request.idw_header->GetItem(1, "memo");
            const auto xdrq = request.idw_header->GetItem(1, "xdrq");
            const auto jhrq = request.idw_header->GetItem(1, "jhrq");
            const auto sum = request.idw_detail->GetItem(1, "sum_hsjjje");
            const Decimal amount =
                sum && !sum->isNull() ? sum->toDecimal().value_or(Decimal()) : Decimal();
            dw_preview.Modify("st_arrivetime.text=" +
                              modifyQuote("交付时间要求 : 首批最迟于" +
                                          formatted(xdrq, "YYYY年MM月DD日") + "前交付, 全部要求在" +
                                          formatted(jhrq, "YYYY年MM月DD日") +
                                          "前交付,否则此单自动失效。"));
            dw_preview.Modify("st_uppersum.text=" +
                              modifyQuote("金额(大写) : " + m_host.gf_moneytostring(amount)));
            dw_preview.Modify(
                "st_lowersum.text=" +
                modifyQuote("金额(小写) :   " + formatted(Value(amount), "￥#,###,##0.00")));
            dw_preview.Modify("st_memo.text=" +
                              modifyQuote(memo && !memo->isNull() ? memo->toText() : ""));
        }
    }
    // Every page frame shows the site's address line, the purchase order's too: its captions
    // without values would print a blank address.
    std::string line;
    const long rc = db::readAddressLine(m_host.sqlca, line);
    if (rc < 0) {
        m_host.f_ora_err();
        return -1;
    }
    if (rc == 0) dw_preview.Modify("st_address.text=" + modifyQuote(line));
    dw_preview.Modify("DataWindow.Print.Preview.Zoom=100");
    return 1;
}

int w_print::wf_buildcond() {
    service::n_print& request = m_host.gnu_print;
    std::string texts;
    if (request.ib_header_hav && request.idw_header && request.idw_header->RowCount() == 1) {
        // The header's fields obey the same rights as the list's columns: a cost total must not
        // print in clear above a list whose prices are masked.
        service::n_print::FieldRight mayShow;
        if (rightsApply() && !rightsExempt())
            mayShow = [this](const std::string& name, const std::string& tag) {
                return m_host.f_colname_denicolumn(name) && m_host.f_coltag_denicolumn(tag);
            };
        texts = request.of_setdwtotext(*request.idw_header, mayShow);
    }
    if (texts.empty()) {
        tabpage_text.hide();
        return 1;
    }
    const long y =
        describeLong(dw_preview, "st_repname.Y") + describeLong(dw_preview, "st_repname.height");
    const long columns = parseInteger(trim(m_host.f_getprivpara("PT"))).value_or(0);
    request.of_settexttodw(dw_preview, texts, static_cast<int>(columns), y);
    return 1;
}

int w_print::wf_resetrowno(engine::DataStore& dwc) {
    const long count = describeLong(dwc, "DataWindow.Column.Count");
    for (long n = 1; n <= count; ++n) {
        const std::string name = dwc.Describe("#" + std::to_string(n) + ".name");
        if (asciiLower(name.substr(0, 5)) != "rowno") continue;
        dwc.Modify(name + ".Format='[general]\tIf(" + name + "=GetRow(),\"####\",\"赠品####\")'");
        break;
    }
    return 1;
}

int w_print::wf_douserright(engine::DataStore& adw_child) {
    const bool exempt = rightsExempt();

    std::string objects = adw_child.Describe("DataWindow.VisualObjects");
    if (objects == "!" || objects == "?") return 1;
    for (const std::string& name : split(objects, '\t')) {
        if (name.empty()) continue;
        const std::string type = adw_child.Describe(name + ".type");
        if (type != "column" && type != "compute") continue;
        std::string tag = adw_child.Describe(name + ".tag");
        if (tag == "!" || tag == "?") tag.clear();
        const std::string format = adw_child.Describe(name + ".format");
        const std::string style = asciiLower(adw_child.Describe(name + ".edit.style"));
        const bool nameAllowed = m_host.f_colname_denicolumn(name);
        const bool tagAllowed = m_host.f_coltag_denicolumn(tag);
        if ((!nameAllowed || !tagAllowed) && format != "***" && !exempt) {
            Unmasked& original = m_unmasked[name];
            original.format = propertyText(format);
            if (style == "edit")
                original.editFormat = propertyText(adw_child.Describe(name + ".edit.format"));
            if (style == "editmask")
                original.editMask = propertyText(adw_child.Describe(name + ".editmask.mask"));
            adw_child.Modify(name + ".Format='***'");
            if (style == "edit") adw_child.Modify(name + ".edit.format='***'");
            if (style == "editmask") adw_child.Modify(name + ".editmask.mask='***'");
        } else if (format == "***" && nameAllowed && tagAllowed) {
            adw_child.Modify(name + ".Format='###,##0.00'");
            if (style == "edit") adw_child.Modify(name + ".edit.format='###,##0.00'");
            if (style == "editmask") adw_child.Modify(name + ".editmask.mask='###,##0.00'");
        }
        if (adw_child.Describe(name + ".format") == "***") m_masked.insert(asciiLower(name));
    }
    return 1;
}

int w_print::wf_backgroundcolor(engine::DataStore& dw) {
    const long count = describeLong(dw, "DataWindow.Column.Count");
    for (long n = 1; n <= count; ++n) {
        dw.Modify("#" + std::to_string(n) + ".background.mode=\"1\"");
        dw.Modify("#" + std::to_string(n) + ".background.color=\"0\"");
    }
    return 1;
}

int w_print::wf_display(engine::DataStore& dw) {
    const long count = describeLong(dw, "DataWindow.Column.Count");
    const long rows = dw.RowCount();
    for (long n = 1; n <= count; ++n) {
        const std::string style = asciiUpper(dw.Describe("#" + std::to_string(n) + ".Edit.Style"));
        if (style != "DDDW" && style != "DDLB") continue;
        const std::string column = asciiLower(dw.Describe("#" + std::to_string(n) + ".name"));
        for (long r = 1; r <= rows; ++r) {
            const std::string display =
                dw.Describe("Evaluate('lookupdisplay(" + column + ")'," + std::to_string(r) + ")");
            if (display.empty() || display == "!") continue;
            dw.SetItem(r, column, Value(display));
        }
    }
    return 1;
}

int w_print::wf_display_dw(DataWindowControl& dw) {
    return wf_display(dw);
}

}  // namespace print::print_window
