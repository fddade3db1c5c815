// The columns page.
#include <algorithm>

#include "common/text.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "print_service/modify_text.h"

namespace print::panels {

using platform::Pointer;
using platform::PointerGuard;

u_dwcolumn::u_dwcolumn(platform::Tab* tab, service::HostContext& host)
    : SettingsPage(tab, "tabpage_column", "表格列设置", host) {
    uob_down.configure("pic\\down16.bmp", "下移", "");
    uob_up.configure("pic\\up16.bmp", "上移", "");
    dw_column.setDataObject("d_dwcolumn");
    dw_column.SetRowFocusIndicator(nullptr);
    dw_column.resize(1400, 1500);
    uob_down.move(1440, 200);
    uob_down.resize(240, 100);
    uob_up.move(1440, 80);
    uob_up.resize(240, 100);
    uob_down.onClick = [this] { moveRow(+1); };
    uob_up.onClick = [this] { moveRow(-1); };
    dw_column.onClickedAt = [this](long, long, long row, std::string_view) -> long {
        if (row >= 1 && row <= dw_column.RowCount()) dw_column.SetRow(row);
        return 0;
    };
    dw_column.onItemChanged = [this](long, std::string_view, std::string_view) -> long {
        ib_modified = true;
        return 0;
    };
    dw_column.onItemError = [](long, std::string_view, std::string_view) -> long { return 1; };
}

engine::DataWindowChild* u_dwcolumn::idwc_rep() const {
    engine::DataWindowChild* list = nullptr;
    if (!idw_object || idw_object->GetChild("dw_report", list) != 1) return nullptr;
    return list;
}

void u_dwcolumn::ue_size(int, long, long newheight) {
    dw_column.move(0, 0);
    dw_column.resize(dw_column.width(), newheight);
}

int u_dwcolumn::of_setdwobject(DataWindowControl& report) {
    idw_object = &report;
    engine::DataWindowChild* list = idwc_rep();
    if (list) of_getdwitem();
    // Widths and positions are in the list's units: the page is offered for lists in the
    // platform's own units only, and again whenever a later report's list is.
    const bool locked = m_host.gnu_print.is_mode == "B" && m_host.gs_isbillprinttmp != "Y";
    if (list && list->Describe("DataWindow.Units") != "0")
        hide();
    else if (list && !locked)
        show();
    return 1;
}

int u_dwcolumn::of_getdwobject(const std::string& a_band, std::vector<std::string>& a_list) {
    engine::DataWindowChild* list = idwc_rep();
    if (!list) return -1;
    std::string objects = list->Describe("datawindow.objects");
    if (objects == "?") return 0;
    if (objects == "!") return -1;
    int added = 0;
    for (const std::string& name : split(objects, '\t')) {
        if (name.empty()) continue;
        if (iequals(list->Describe(name + ".band"), a_band)) {
            a_list.push_back(name);
            ++added;
        }
    }
    return added;
}

int u_dwcolumn::of_getdwitem() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    engine::DataWindowChild* list = idwc_rep();
    if (!list) {
        // No list (a load failed, or the report has none): nothing to show or write.
        dw_column.Reset();
        m_read.clear();
        ib_modified = false;
        return -1;
    }
    dw_column.SetRedraw(false);
    std::vector<std::string> detail, header;
    of_getdwobject("DETAIL", detail);
    of_getdwobject("HEADER", header);
    if (detail.empty()) {
        dw_column.SetRedraw(true);
        return 1;
    }
    auto x = [&](const std::string& name) {
        return wholeNumber(describeValue(*list, name + ".X").value).value_or(0);
    };
    std::stable_sort(detail.begin(), detail.end(),
                     [&](const std::string& a, const std::string& b) { return x(a) < x(b); });
    dw_column.Reset();
    m_read.clear();
    for (const std::string& name : detail) {
        const long cx = x(name);
        const long width = wholeNumber(describeValue(*list, name + ".Width").value).value_or(0);
        const PropertyValue visible = describeValue(*list, name + ".visible");
        // A heading is found by its name first (name_t), then as a shown heading at the same x:
        // a hidden column may still sit at the x another column has taken.
        std::string heading;
        const std::string byName = name + "_t";
        if (std::find_if(header.begin(), header.end(),
                         [&](const std::string& h) { return iequals(h, byName); }) != header.end())
            heading = byName;
        for (size_t pass = 0; heading.empty() && pass < 2; ++pass) {
            for (const std::string& h : header) {
                if (x(h) != cx) continue;
                if (pass == 0 && list->Describe(h + ".visible") == "0") continue;
                heading = h;
                break;
            }
        }
        if (service::f_str_isnull(heading)) continue;
        const long row = dw_column.InsertRow(0);
        dw_column.SetItem(row, "name", Value(name));
        dw_column.SetItem(row, "text", Value(describeValue(*list, heading + ".text").value));
        dw_column.SetItem(row, "width", Value(static_cast<int64_t>(width)));
        // A visibility given by an expression shows as its default and is kept unless the
        // operator toggles the box.
        const std::string shown = visible.value == "1" ? "1" : "0";
        dw_column.SetItem(row, "visible", Value(shown));
        m_read[name] = ReadColumn{shown, std::to_string(width), visible.expression};
    }
    dw_column.SetRedraw(true);
    if (dw_column.RowCount() > 0) dw_column.SetRow(1);
    ib_modified = false;
    return 1;
}

int u_dwcolumn::of_setdwitem() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    dw_column.AcceptText();
    if (!ib_modified) return 1;
    engine::DataWindowChild* list = idwc_rep();
    if (!list) {
        dw_column.Reset();
        ib_modified = false;
        return -1;
    }
    idw_object->SetRedraw(false);
    const long rows = dw_column.RowCount();
    // A column shown by an expression keeps it unless the operator toggled it.
    auto keepsExpression = [&](long row, const std::string& name) {
        auto it = m_read.find(name);
        return it != m_read.end() && it->second.expression &&
               itemText(dw_column, row, "visible") == it->second.visible;
    };
    auto width = [&](long row) {
        return std::to_string(wholeNumber(itemText(dw_column, row, "width")).value_or(0));
    };
    for (long row = 1; row <= rows; ++row) {
        const std::string name = itemText(dw_column, row, "name");
        if (!keepsExpression(row, name)) list->Modify(name + ".visible='0'");
    }
    for (long row = 1; row <= rows; ++row) {
        const std::string name = itemText(dw_column, row, "name");
        if (keepsExpression(row, name)) {
            if (width(row) != m_read[name].width)
                list->Modify(name + ".width='" + width(row) + "'");
            continue;
        }
        if (itemText(dw_column, row, "visible") != "1") continue;
        list->Modify(name + ".visible='1'");
        list->Modify(name + ".width='" + width(row) + "'");
    }
    idw_object->SetRedraw(true);
    ib_modified = false;
    return 1;
}

void u_dwcolumn::moveRow(int direction) {
    const long n = dw_column.RowCount();
    const long r = dw_column.GetRow();
    if (direction > 0) {
        if (n < 1 || r < 1 || r >= n) return;
        dw_column.RowsMove(r, r, engine::Buffer::Primary, dw_column, r + 2,
                           engine::Buffer::Primary);
        dw_column.SetRow(r + 1);
        dw_column.ScrollToRow(r + 1);
    } else {
        if (n < 1 || r < 2) return;
        dw_column.RowsMove(r, r, engine::Buffer::Primary, dw_column, r - 1,
                           engine::Buffer::Primary);
        dw_column.SetRow(r - 1);
        dw_column.ScrollToRow(r - 1);
    }
    ib_modified = true;
}

}  // namespace print::panels
