// The header texts page.
#include "common/text.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "print_service/modify_text.h"

namespace print::panels {

using platform::Pointer;
using platform::PointerGuard;
using service::modifyQuote;

std::map<std::string, std::string> readItemRow(engine::DataStore& report, DataWindowControl& list,
                                               long row, const std::string& name);
void applyItemRow(service::HostContext& host, engine::DataStore& report, DataWindowControl& list,
                  long row, const std::string& name,
                  const std::map<std::string, std::string>& read);

u_dwtext::u_dwtext(platform::Tab* tab, service::HostContext& host)
    : SettingsPage(tab, "tabpage_text", "页面文本设置", host) {
    dw_font.setDataObject("d_dwtextitem");
    dw_font.resize(2600, 1500);
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

void u_dwtext::ue_size(int, long newwidth, long newheight) {
    dw_font.move(0, 0);
    dw_font.resize(newwidth, newheight);
}

int u_dwtext::of_getdwitem() {
    if (!idw_object) return -1;
    PointerGuard pointer(ui(), Pointer::HourGlass);
    engine::DataStore& r = *idw_object;
    dw_font.SetRedraw(false);
    dw_font.Reset();
    m_readItems.clear();
    for (long n = 1;; ++n) {
        const std::string name = "st_text_" + std::to_string(n);
        if (!iequals(r.Describe(name + ".name"), name)) break;
        const PropertyValue tag = describeValue(r, name + ".tag");
        const std::string t = tag.absent ? std::string() : tag.value;
        const bool titled = !t.empty() && t[0] == '&';
        const long row = dw_font.InsertRow(0);
        dw_font.SetItem(row, "name", Value(name));
        dw_font.SetItem(row, "text", Value(titled ? t.substr(1) : t));
        dw_font.SetItem(row, "title", Value(titled ? "Y" : "N"));
        auto read = readItemRow(r, dw_font, row, name);
        read["title"] = titled ? "Y" : "N";
        m_readItems.push_back(std::move(read));
    }
    dw_font.SetRedraw(true);
    ib_modified = false;
    return 1;
}

int u_dwtext::of_setdwitem() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    dw_font.AcceptText();
    if (!ib_modified || !idw_object) return 1;
    engine::DataStore& r = *idw_object;
    r.SetRedraw(false);
    for (long row = 1; row <= dw_font.RowCount(); ++row) {
        const std::string name = itemText(dw_font, row, "name");
        const size_t i = static_cast<size_t>(row - 1);
        const auto read =
            i < m_readItems.size() ? m_readItems[i] : std::map<std::string, std::string>{};
        applyItemRow(m_host, r, dw_font, row, name, read);
        const std::string title = itemText(dw_font, row, "title");
        auto it = read.find("title");
        if (it != read.end() && it->second == title) continue;
        // The caption switch: the value is what follows "caption: " in the text, or the whole
        // text when the caption is not printed in front of it.
        const PropertyValue current = describeValue(r, name + ".text");
        const std::string s = current.absent ? std::string() : current.value;
        const std::string caption = itemText(dw_font, row, "text");
        const std::string prefix = caption + ": ";
        const size_t at = s.find(prefix);
        const std::string value = at == std::string::npos ? s : s.substr(at + prefix.size());
        if (title == "Y") {
            r.Modify(name + ".text=" + modifyQuote(prefix + value));
            r.Modify(name + ".tag=" + modifyQuote("&" + caption));
        } else {
            r.Modify(name + ".text=" + modifyQuote(value));
            r.Modify(name + ".tag=" + modifyQuote(caption));
        }
    }
    r.SetRedraw(true);
    ib_modified = false;
    return of_getdwitem();
}

}  // namespace print::panels
