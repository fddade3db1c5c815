// The columns page.
#include <algorithm>

#include "common/text.h"
#include "layout/columns_under.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "print_service/modify_text.h"

namespace print::panels {

using platform::Pointer;
using platform::PointerGuard;

namespace {

long numberOf(const engine::DataStore& list, const std::string& path) {
    return wholeNumber(describeValue(list, path).value).value_or(0);
}

}  // namespace

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
        dw_column.SetItem(row, "visible", Value(visible.value == "1" ? "1" : "0"));
    }
    rememberLayout(*list);
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
    auto width = [&](long row) {
        return std::to_string(wholeNumber(itemText(dw_column, row, "width")).value_or(0));
    };
    // Only what the operator changed is written: a visibility given by an expression stays
    // unless the box was toggled, and an untouched width is not written again.
    for (long row = 1; row <= dw_column.RowCount(); ++row) {
        const std::string name = itemText(dw_column, row, "name");
        auto it = m_read.find(name);
        const std::string visible = itemText(dw_column, row, "visible") == "1" ? "1" : "0";
        const bool toggled = it == m_read.end() || visible != it->second.visible;
        if (toggled) list->Modify(name + ".visible='" + visible + "'");
        const bool shown = visible == "1" || (!toggled && it->second.expression);
        if (shown && (it == m_read.end() || width(row) != it->second.width))
            list->Modify(name + ".width='" + width(row) + "'");
    }
    // The list's order reaches the report through the columns' positions: left to right with
    // the gaps the report had, their headings and totals with them.
    placeColumns(*list);
    rememberLayout(*list);
    idw_object->SetRedraw(true);
    ib_modified = false;
    return 1;
}

void u_dwcolumn::rememberLayout(engine::DataStore& list) {
    m_read.clear();
    m_under.clear();
    m_gaps.clear();
    std::vector<std::string> listed;
    for (long row = 1; row <= dw_column.RowCount(); ++row)
        listed.push_back(itemText(dw_column, row, "name"));
    std::vector<std::string> header;
    of_getdwobject("HEADER", header);
    for (const std::string& name : listed) {
        ReadColumn c;
        const PropertyValue visible = describeValue(list, name + ".visible");
        c.visible = visible.value == "1" ? "1" : "0";
        c.expression = visible.expression;
        c.x = numberOf(list, name + ".x");
        c.widthRead = numberOf(list, name + ".width");
        c.width = std::to_string(c.widthRead);
        // As the grid pairs them: the header text named after the column, else the first one
        // at its x.
        for (const std::string& h : header)
            if (iequals(h, name + "_t") && list.Describe(h + ".type") == "text") c.heading = h;
        for (size_t i = 0; c.heading.empty() && i < header.size(); ++i)
            if (list.Describe(header[i] + ".type") == "text" &&
                numberOf(list, header[i] + ".x") == c.x)
                c.heading = header[i];
        m_read[name] = c;
    }

    // The gaps between the columns that take room in the grid, left to right.
    std::vector<const ReadColumn*> shown;
    for (const std::string& name : listed)
        if (m_read[name].visible == "1" || m_read[name].expression) shown.push_back(&m_read[name]);
    std::stable_sort(shown.begin(), shown.end(),
                     [](const ReadColumn* a, const ReadColumn* b) { return a->x < b->x; });
    m_start = 0;
    if (!shown.empty()) {
        m_start = shown.front()->x;
    } else if (!listed.empty()) {
        m_start = m_read[listed.front()].x;
        for (const std::string& name : listed) m_start = std::min(m_start, m_read[name].x);
    }
    for (size_t k = 1; k < shown.size(); ++k)
        m_gaps.push_back(shown[k]->x - (shown[k - 1]->x + shown[k - 1]->widthRead));

    // The summary and trailer fields under a column, found as the grid finds them.
    const std::string objects = list.Describe("datawindow.objects");
    if (objects == "?" || objects == "!") return;
    std::vector<layout::ColumnsUnder::Column> columns;
    for (const std::string& name : listed)
        columns.push_back({name, static_cast<double>(m_read[name].x),
                           static_cast<double>(m_read[name].widthRead)});
    const layout::ColumnsUnder lookup(std::move(columns));
    for (const std::string& field : split(objects, '\t')) {
        const std::string band = asciiLower(list.Describe(field + ".band"));
        if (band != "summary" && !band.starts_with("trailer")) continue;
        const std::string type = list.Describe(field + ".type");
        if (type != "text" && type != "column" && type != "compute") continue;
        const long fx = numberOf(list, field + ".x");
        const std::string expression =
            type == "compute" ? describeValue(list, field + ".expression").value : "";
        const auto column = lookup.find(expression, static_cast<double>(fx),
                                        static_cast<double>(numberOf(list, field + ".width")));
        if (column) m_under.push_back(UnderColumn{field, listed[*column], fx});
    }
}

void u_dwcolumn::placeColumns(engine::DataStore& list) {
    auto setX = [&](const std::string& object, long x) {
        const PropertyValue now = describeValue(list, object + ".x");
        // A position given by an expression is the report's own: it is not overwritten.
        if (now.absent || now.expression || wholeNumber(now.value) == x) return;
        list.Modify(object + ".x='" + std::to_string(x) + "'");
    };
    long cursor = m_start;
    size_t slot = 0;
    for (long row = 1; row <= dw_column.RowCount(); ++row) {
        const std::string name = itemText(dw_column, row, "name");
        auto it = m_read.find(name);
        if (it == m_read.end()) continue;
        const ReadColumn& c = it->second;
        const std::string visible = itemText(dw_column, row, "visible");
        // A column shown by an expression that the operator left alone takes room as well.
        if (visible != "1" && !(c.expression && visible == c.visible)) continue;
        const long width = wholeNumber(itemText(dw_column, row, "width")).value_or(0);
        long gap = 0;
        if (slot > 0)
            gap = slot - 1 < m_gaps.size() ? m_gaps[slot - 1] : m_gaps.empty() ? 0 : m_gaps.back();
        const long x = slot == 0 ? m_start : cursor + gap;
        cursor = x + width;
        ++slot;
        setX(name, x);
        if (!c.heading.empty()) setX(c.heading, x);
        // A total keeps its distance to the right edge of its column.
        const long shift = (x + width) - (c.x + c.widthRead);
        for (const UnderColumn& u : m_under)
            if (u.column == name) setX(u.name, u.x + shift);
    }
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
