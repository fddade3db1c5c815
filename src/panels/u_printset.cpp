// The printer settings page.
#include <algorithm>

#include "common/text.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "platform/units.h"
#include "print_service/modify_text.h"

namespace print::panels {

using platform::Pointer;
using platform::PointerGuard;

SettingsPage::SettingsPage(platform::Tab* tab, std::string name, std::string caption,
                           service::HostContext& host)
    : TabPage(tab, std::move(name), std::move(caption)), m_host(host) {}

int SettingsPage::of_setdwobject(DataWindowControl& report) {
    idw_object = &report;
    return of_getdwitem();
}

namespace {

// The form's columns the page writes back, in the order the report receives them, with the
// property each goes to and whether its value is written as a text.
struct PrintField {
    const char* column;
    const char* property;
};
constexpr PrintField kPrintFields[] = {
    {"pagerange", "DataWindow.Print.Page.Range"},
    {"pagerangeinclude", "DataWindow.Print.Page.RangeInclude"},
    {"quality", "DataWindow.Print.Quality"},
    {"copies", "DataWindow.Print.Copies"},
    {"scale", "DataWindow.Print.Scale"},
    {"papersize", "DataWindow.Print.Paper.Size"},
    {"orientation", "DataWindow.Print.Orientation"},
};
constexpr PrintField kMargins[] = {
    {"marginleft", "DataWindow.Print.Margin.Left"},
    {"marginright", "DataWindow.Print.Margin.Right"},
    {"margintop", "DataWindow.Print.Margin.Top"},
    {"marginbottom", "DataWindow.Print.Margin.Bottom"},
};

}  // namespace

u_printset::u_printset(platform::Tab* tab, service::HostContext& host)
    : SettingsPage(tab, "tabpage_setup", "打印设置", host) {
    dw_set.setDataObject("d_prninfo_set");
    dw_set.InsertRow(0);
    dw_set.SetRow(1);
    dw_set.move(20, 20);
    dw_set.resize(1900, 1100);
    uob_setup.configure("print!", "设置...", "");
    uob_setup.move(1940, 40);
    uob_setup.resize(300, 110);
    dw_set.onItemChanged = [this](long row, std::string_view dwo, std::string_view data) -> long {
        ib_modified = true;
        if (iequals(dwo, "papersize")) lookupPaper(wholeNumber(std::string(data)).value_or(-1));
        return 0;
    };
    dw_set.onItemError = [](long, std::string_view, std::string_view) -> long { return 1; };
    uob_setup.onClick = [this] {
        std::string printer;
        if (idw_object) {
            const PropertyValue current = describeValue(*idw_object, "DataWindow.Printer");
            printer = current.absent ? "" : current.value;
        }
        // The printer chosen becomes the report's; the dialog's answer is not examined further.
        if (ui().printerSetup(printer) == 1 && idw_object)
            idw_object->Modify("DataWindow.Printer=" + service::modifyQuote(printer));
        of_setprinter();
    };
}

void u_printset::ue_resize(int, long newwidth, long newheight) {
    // The form as wide as it needs (and a scroll bar's room) when the page is wider, the
    // setup button beside it.
    const long margin = 20;
    const long button = uob_setup.width() + 2 * margin;
    const long needed = formExtent(dw_set, true) + platform::pixelsToUnitsX(24);
    const long width = std::max(0L, std::min(needed, newwidth - margin - button));
    dw_set.move(margin, margin);
    dw_set.resize(width, std::max(0L, newheight - 2 * margin));
    uob_setup.move(dw_set.x() + width + margin, 40);
}

int u_printset::of_setdwobject(DataWindowControl& report) {
    idw_object = &report;
    return of_getdwprint();
}

int u_printset::of_setprinter() {
    if (dw_set.GetRow() != 1) return -1;
    const PropertyValue printer = idw_object ? describeValue(*idw_object, "DataWindow.printer")
                                             : PropertyValue{"?", "", true};
    if (printer.absent || trim(printer.value).empty()) {
        // A report that names no printer prints on the system's default one: show that.
        const std::string system = ui().defaultPrinter();
        dw_set.SetItem(1, "printer", Value(system.empty() ? std::string("无") : system));
        return system.empty() ? -1 : 1;
    }
    dw_set.SetItem(1, "printer", Value(printer.value));
    return 1;
}

void u_printset::lookupPaper(long code) {
    engine::DataWindowChild* papers = nullptr;
    if (dw_set.GetChild("papersize", papers) != 1 || !papers) return;
    const long row = papers->Find("paperid=" + std::to_string(code), 1, papers->RowCount());
    dw_set.Modify("t_paper.Visible='no'");
    dw_set.SetItem(1, "width", Value(0));
    dw_set.SetItem(1, "height", Value(0));
    if (row <= 0) return;
    dw_set.SetItem(1, "width", papers->GetItem(row, "width").value_or(Value(0)));
    dw_set.SetItem(1, "height", papers->GetItem(row, "height").value_or(Value(0)));
    dw_set.Modify("t_paper.Visible='yes'");
}

int u_printset::of_getdwprint() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    if (dw_set.GetRow() != 1 || !idw_object) return -1;
    of_setprinter();
    dw_set.SetRedraw(false);
    engine::DataStore& r = *idw_object;
    auto text = [&](const char* path, const char* fallback) {
        const PropertyValue v = describeValue(r, path);
        return v.absent ? std::string(fallback) : v.value;
    };
    dw_set.SetItem(1, "docname", Value(text("DataWindow.print.Documentname", "无")));
    for (const PrintField& m : kMargins)
        dw_set.SetItem(1, m.column,
                       Value(static_cast<int64_t>(wholeNumber(text(m.property, "0")).value_or(0))));
    dw_set.SetItem(1, "pagerange", Value(text("DataWindow.Print.Page.Range", "")));
    dw_set.SetItem(1, "pagerangeinclude", Value(text("DataWindow.Print.Page.Rangeinclude", "0")));
    dw_set.SetItem(1, "quality", Value(text("DataWindow.Print.Quality", "0")));
    dw_set.SetItem(1, "units", Value(text("DataWindow.units", "0")));
    const long copies = wholeNumber(text("DataWindow.Print.Copies", "1")).value_or(1);
    dw_set.SetItem(1, "copies", Value(static_cast<int64_t>(copies < 1 ? 1 : copies)));
    const std::optional<Decimal> scale = Decimal::parse(text("DataWindow.Print.Scale", "0"));
    dw_set.SetItem(1, "scale",
                   !scale || scale->sign() <= 0 ? Value(100) : Value(*scale * Decimal(100)));
    const long paper = wholeNumber(text("DataWindow.Print.Paper.Size", "0")).value_or(0);
    dw_set.SetItem(1, "papersize", Value(static_cast<int64_t>(paper)));
    lookupPaper(paper);
    dw_set.SetItem(1, "Orientation", Value(text("DataWindow.Print.Orientation", "0")));
    dw_set.SetRedraw(true);
    ib_modified = false;
    m_read.clear();
    for (const auto& f : kPrintFields) m_read[f.column] = itemText(dw_set, 1, f.column);
    for (const auto& f : kMargins) m_read[f.column] = itemText(dw_set, 1, f.column);
    return 1;
}

int u_printset::of_setdwprint() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    dw_set.AcceptText();
    if (!ib_modified || dw_set.GetRow() != 1 || !idw_object) return 1;
    engine::DataStore& r = *idw_object;
    r.SetRedraw(false);
    // Only what the operator changed goes back: an unset scale stays unset, an expression stays
    // an expression.
    auto changed = [&](const char* column) {
        return itemText(dw_set, 1, column) != m_read[column];
    };
    for (const PrintField& f : kPrintFields) {
        if (!changed(f.column)) continue;
        std::string value = itemText(dw_set, 1, f.column);
        if (std::string_view(f.column) == "scale") {
            const Decimal percent = itemNumber(dw_set, 1, "scale").value_or(Decimal(100));
            value = numberText(*Decimal::divide(percent, Decimal(100)));
        } else if (std::string_view(f.column) == "copies") {
            // The form's spin range: 1 to 999, whatever is typed.
            const long copies = wholeNumber(value).value_or(1);
            value = std::to_string(std::clamp(copies, 1L, 999L));
        }
        r.Modify(std::string(f.property) + "=" + service::modifyQuote(value));
    }
    // Written back as they are, so that the engine lays the page out again.
    r.Modify("DataWindow.Header.Height=" + r.Describe("DataWindow.Header.Height"));
    r.Modify("DataWindow.Footer.Height=" + r.Describe("DataWindow.Footer.Height"));
    for (const PrintField& m : kMargins)
        if (changed(m.column))
            r.Modify(std::string(m.property) + "=" +
                     service::modifyQuote(itemText(dw_set, 1, m.column)));
    r.SetRedraw(true);
    ib_modified = false;
    for (const auto& f : kPrintFields) m_read[f.column] = itemText(dw_set, 1, f.column);
    for (const auto& f : kMargins) m_read[f.column] = itemText(dw_set, 1, f.column);
    return 1;
}

}  // namespace print::panels
