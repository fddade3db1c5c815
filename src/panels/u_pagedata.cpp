// The page content page.
#include <algorithm>

#include "common/text.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "print_service/modify_text.h"

namespace print::panels {

using platform::Pointer;
using platform::PointerGuard;
using service::modifyQuote;

namespace {

// The item list's columns, the property each shows, and what "?" reads as.
struct ItemField {
    const char* column;
    const char* property;
    const char* absent;  // nullptr: the answer is kept as it comes
    bool number;
};
constexpr ItemField kItemFields[] = {
    {"visible", "visible", "0", false},
    {"align", "alignment", "0", false},
    {"textcolor", "color", "0", true},
    {"fontface", "font.face", nullptr, false},
    {"fontheight", "font.height", "-9", true},
    {"fontweight", "font.weight", "400", true},
    {"fontitalic", "font.italic", "0", true},
    {"fontstrth", "font.strikethrough", "0", true},
    {"fontundline", "font.underline", "0", true},
};

}  // namespace

// Reads one object's item properties into row `row` of an item list; returns what was read.
std::map<std::string, std::string> readItemRow(engine::DataStore& report, DataWindowControl& list,
                                               long row, const std::string& name) {
    for (const ItemField& f : kItemFields) {
        const PropertyValue v = describeValue(report, name + "." + f.property);
        std::string text = v.raw == "?" ? std::string(f.absent ? f.absent : "?") : v.value;
        if (v.raw == "!") text = "!";
        if (f.number) {
            const auto n = wholeNumber(text);
            list.SetItem(row, f.column, n ? Value(static_cast<int64_t>(*n)) : Value());
        } else {
            list.SetItem(row, f.column, Value(text));
        }
    }
    list.SetItem(row, "band", Value(describeValue(report, name + ".band").value));
    std::map<std::string, std::string> read;
    for (const ItemField& f : kItemFields) read[f.column] = itemText(list, row, f.column);
    read["band"] = itemText(list, row, "band");
    return read;
}

// Writes the item properties of row `row` that differ from what was read, then moves the
// object when its band changed.
void applyItemRow(service::HostContext& host, engine::DataStore& report, DataWindowControl& list,
                  long row, const std::string& name,
                  const std::map<std::string, std::string>& read) {
    for (const ItemField& f : kItemFields) {
        const std::string value = itemText(list, row, f.column);
        auto it = read.find(f.column);
        if (it != read.end() && it->second == value) continue;
        report.Modify(name + "." + f.property + "=" + modifyQuote(value));
    }
    const std::string band = itemText(list, row, "band");
    if (!band.empty() && band != asciiLower(report.Describe(name + ".band")))
        host.gnu_dwfunction.of_movedwobject(report, name, band);
}

const std::vector<std::pair<std::string, std::string>>& u_pagedata::frameItems() {
    static const std::vector<std::pair<std::string, std::string>> items{
        {"st_coname", "公司名称"},
        {"st_repname", "文档标题"},
        {"st_address", "公司地址"},
        {"st_printoper", "打印员"},
        {"st_printdate", "打印日期"},
        {"st_pageno", "页号"},
        {"st_gys", "供应商"},
        {"st_shr", "送货人"},
        {"st_thr", "提货人"},
        {"st_zwy", "帐务员"},
        {"st_thbz", "退货标志"},
        {"st_ckzg", "仓库主管"},
        {"st_bg", "保管"},
        {"st_khqs", "客户签收"},
        {"st_shy", "审核员"},
        {"st_1lian", "第一联: 财  务"},
        {"st_2lian", "第二联: 供应商"},
        {"st_3lian", "第三联: 收货部"},
        {"st_fangsun", "防损员:"},
        {"st_fuyan", "复验员:"},
    };
    return items;
}

u_pagedata::u_pagedata(platform::Tab* tab, service::HostContext& host)
    : SettingsPage(tab, "tabpage_page", "页面内容", host) {
    st_3.setText("1、本页可以设置表格打印的系统预定义项目的相关属性；");
    st_2.setText(
        "2、在打印预览中还可以通过鼠标操作来改变以上项目的尺寸、在    显示区域的具体位置"
        "（当鼠标移动到可以操作的项目上时光标    会变成手的形状）；");
    st_1.setText(
        "3、透明打印设置是不可逆向的操作，只能将表格由不透明设为透    明，而不能反向进行，"
        "本功能一般只需使用一次。");
    gb_1.setText("说明");
    dw_height.setDataObject("d_dwheight");
    dw_height.InsertRow(0);
    dw_height.SetRow(1);
    dw_font.setDataObject("d_dwpageitem");
    dw_height.move(20, 20);
    dw_height.resize(2920, 340);
    dw_font.move(20, 380);
    dw_font.resize(2400, 1200);
    gb_1.move(2440, 380);
    gb_1.resize(700, 1200);
    ue_resize(0, gb_1.x() + gb_1.width() + 20, gb_1.y() + gb_1.height());
    dw_height.onItemChanged = [this](long, std::string_view dwo, std::string_view data) -> long {
        ib_modified = true;
        if (iequals(dwo, "trans")) ib_trans = data == "Y";
        return 0;
    };
    dw_height.onItemError = [](long, std::string_view, std::string_view) -> long { return 1; };
    dw_font.onItemChanged = [this](long, std::string_view, std::string_view) -> long {
        ib_modified = true;
        return 0;
    };
    dw_font.onItemError = [](long, std::string_view, std::string_view) -> long { return 1; };
    dw_font.onButtonClicked = [this](long row, long, std::string_view dwo) -> long {
        if (iequals(dwo, "b_font") && chooseFontForRow(ui(), dw_font, row)) ib_modified = true;
        return 0;
    };
}

void u_pagedata::ue_resize(int, long newwidth, long newheight) {
    dw_font.resize(dw_font.width(), std::max(0L, newheight - dw_font.y()));
    // The notes need the room right of the list to be read.
    gb_1.resize(std::max(gb_1.width(), newwidth - gb_1.x() - 20),
                std::max(0L, newheight - gb_1.y()));
    const long inner = gb_1.width() - 80;
    const long noteHeight = std::max(0L, (gb_1.height() - 120) / 3);
    long y = gb_1.y() + 90;
    for (platform::StaticText* note : {&st_3, &st_2, &st_1}) {
        note->move(gb_1.x() + 40, y);
        note->resize(std::max(0L, inner), noteHeight);
        y += noteHeight;
    }
}

int u_pagedata::of_getdwitem() {
    if (!idw_object) return -1;
    PointerGuard pointer(ui(), Pointer::HourGlass);
    engine::DataStore& r = *idw_object;
    dw_height.SetItem(1, "docname", Value(describeValue(r, "st_repname.text").value));
    readHeights();

    // The nested list is looked up at every read: a later load may have replaced it.
    engine::DataWindowChild* list = nullptr;
    if (r.GetChild("dw_report", list) == 1 && list) {
        dw_height.Modify("grid.visible='1'");
        if (list->Describe("Datawindow.Processing") != "1") {
            dw_height.Modify("grid.visible='0'");
            dw_height.SetItem(1, "grid", Value("N"));
        } else {
            dw_height.SetItem(1, "grid",
                              Value(list->Describe("Datawindow.Grid.Lines") == "0" ? "Y" : "N"));
        }
    } else {
        dw_height.Modify("grid.visible='0'");
        dw_height.SetItem(1, "grid", Value("N"));
    }
    dw_height.SetItem(1, "trans", Value("N"));
    if (m_host.gnu_print.ii_accessory_count == 0) {
        dw_height.Modify("accessory.visible='0'");
        dw_height.SetItem(1, "accessory", Value("N"));
    } else {
        dw_height.Modify("accessory.visible='1'");
        const long summary = wholeNumber(r.Describe("DataWindow.Summary.Height")).value_or(0);
        dw_height.SetItem(1, "accessory", Value(summary > 0 ? "Y" : "N"));
    }

    dw_font.SetRedraw(false);
    dw_font.Reset();
    m_readItems.clear();
    for (const auto& [name, caption] : frameItems()) {
        const long row = dw_font.InsertRow(0);
        dw_font.SetItem(row, "name", Value(name));
        dw_font.SetItem(row, "text", Value(caption));
        m_readItems.push_back(readItemRow(r, dw_font, row, name));
    }
    dw_font.SetRedraw(true);
    m_readHeight.clear();
    for (const char* c : {"docname", "grid", "headerh", "footerh", "listdetailh", "listheaderh",
                          "summary", "accessory"})
        m_readHeight[c] = itemText(dw_height, 1, c);
    ib_modified = true;
    ib_trans = false;
    return 1;
}

void u_pagedata::readHeights() {
    engine::DataStore& r = *idw_object;
    auto setNumber = [&](const char* column, const engine::DataStore& from,
                         const std::string& path) {
        dw_height.SetItem(
            1, column,
            Value(static_cast<int64_t>(wholeNumber(describeValue(from, path).value).value_or(0))));
    };
    setNumber("headerh", r, "DataWindow.Header.Height");
    setNumber("footerh", r, "DataWindow.footer.Height");
    setNumber("summary", r, "DataWindow.Summary.Height");
    engine::DataWindowChild* list = nullptr;
    if (r.GetChild("dw_report", list) == 1 && list) {
        setNumber("listdetailh", *list, "DataWindow.detail.Height");
        setNumber("listheaderh", *list, "DataWindow.header.Height");
    }
}

int u_pagedata::of_setdwitem() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    dw_font.AcceptText();
    dw_height.AcceptText();
    if (!ib_modified || dw_height.GetRow() != 1 || !idw_object) return 1;
    engine::DataStore& r = *idw_object;
    auto changed = [&](const char* column) {
        return itemText(dw_height, 1, column) != m_readHeight[column];
    };
    auto number = [&](const char* column) {
        return std::to_string(wholeNumber(itemText(dw_height, 1, column)).value_or(0));
    };
    r.SetRedraw(false);
    if (changed("docname"))
        r.Modify("st_repname.text=" + modifyQuote(itemText(dw_height, 1, "docname")));
    if (changed("headerh")) r.Modify("DataWindow.Header.Height=" + number("headerh"));
    if (changed("footerh")) r.Modify("DataWindow.Footer.Height=" + number("footerh"));
    // The summary band is always written: showing or hiding the attachments below sizes it.
    r.Modify("DataWindow.Summary.Height=" + number("summary"));
    r.Modify("DataWindow.Print.Margin.Top=" + r.Describe("DataWindow.Print.Margin.Top"));

    engine::DataWindowChild* list = nullptr;
    if (r.GetChild("dw_report", list) == 1 && list) {
        // Grid lines shown only or printed only (2, 3) read as "N": written only when the
        // operator changed the box.
        if (list->Describe("Datawindow.Processing") == "1" && changed("grid"))
            list->Modify(std::string("Datawindow.Grid.Lines=") +
                         (itemText(dw_height, 1, "grid") == "Y" ? "0" : "1"));
        if (changed("listheaderh"))
            list->Modify("DataWindow.Header.Height=" + number("listheaderh"));
        if (changed("listdetailh"))
            list->Modify("DataWindow.Detail.Height=" + number("listdetailh"));
    }
    for (long row = 1; row <= dw_font.RowCount(); ++row) {
        const std::string name = itemText(dw_font, row, "name");
        const size_t i = static_cast<size_t>(row - 1);
        applyItemRow(
            m_host, r, dw_font, row, name,
            i < m_readItems.size() ? m_readItems[i] : std::map<std::string, std::string>{});
    }
    m_host.gnu_print.of_setaccvisible(r, itemText(dw_height, 1, "accessory") == "Y");
    if (ib_trans) m_host.gnu_dwfunction.of_setdwtrans(r);
    r.SetRedraw(true);
    ib_modified = false;
    ib_trans = false;
    // The attachments size the summary band themselves: the form shows the heights the report
    // took, not the ones typed.
    readHeights();
    for (auto& [column, value] : m_readHeight) value = itemText(dw_height, 1, column.c_str());
    for (long row = 1; row <= dw_font.RowCount(); ++row) {
        const size_t i = static_cast<size_t>(row - 1);
        if (i >= m_readItems.size()) break;
        for (auto& [column, value] : m_readItems[i]) value = itemText(dw_font, row, column);
    }
    return 1;
}

}  // namespace print::panels
