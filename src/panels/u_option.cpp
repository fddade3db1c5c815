// The view bar over the preview.
#include "common/text.h"
#include "panels/panel_support.h"
#include "panels/panels.h"
#include "print_service/modify_text.h"

namespace print::panels {

u_option::u_option(platform::Control* parent, service::HostContext& host)
    : UserObject(parent, "uo_option"), m_host(host) {
    dw_zoom.setDataObject("d_zoom");
    dw_zoom.InsertRow(0);
    dw_zoom.SetRow(1);
    // The zoom form whole, without scroll bars: its labels and its list's arrow in sight.
    dw_zoom.move(0, 0);
    dw_zoom.resize(500, 170);
    cbx_rulers.setText("标尺");
    cbx_rulers.move(520, 50);
    cbx_rulers.resize(200, 72);
    struct Nav {
        platform::u_button* button;
        const char* picture;
        const char* tooltip;
    };
    long x = 740;
    for (const Nav& n :
         {Nav{&uob_first, "VcrFirst!", "第一页"}, Nav{&uob_prior, "VcrPrior!", "上一页"},
          Nav{&uob_next, "VcrNext!", "下一页"}, Nav{&uob_last, "VcrLast!", "最末页"}}) {
        n.button->configure(n.picture, "", n.tooltip);
        n.button->move(x, 30);
        n.button->resize(110, 110);
        x += 120;
    }
    resize(x, 170);
    auto refused = [this](std::string_view data) {
        const std::string text(data);
        if (!trim(text).empty() && Decimal::parse(text) && text.find('%') == std::string::npos)
            return false;
        m_host.services().messageBox("提示", "输入的应为比例的百分数，即75%应输入为75 。",
                                     platform::Icon::Exclamation);
        return true;
    };
    dw_zoom.onItemChanged = [this, refused](long, std::string_view dwo,
                                            std::string_view data) -> long {
        if (!iequals(dwo, "zoom")) return 0;
        if (refused(data)) return 1;
        if (idw_object)
            idw_object->Modify("DataWindow.Print.Preview.Zoom=" +
                               service::modifyQuote(std::string(data)));
        return 0;
    };
    // Text that is no number ("75%") never reaches item-changed: the same message tells the
    // operator what to type, and the entry is refused without the platform's own message.
    dw_zoom.onItemError = [refused](long, std::string_view dwo, std::string_view data) -> long {
        if (iequals(dwo, "zoom")) refused(data);
        return 1;
    };
    cbx_rulers.onClicked = [this] {
        if (idw_object)
            idw_object->Modify(std::string("DataWindow.Print.Preview.Rulers='") +
                               (cbx_rulers.checked() ? "Yes" : "No") + "'");
    };
    uob_first.onClick = [this] {
        if (idw_object) idw_object->ScrollToRow(0);
    };
    uob_prior.onClick = [this] {
        if (idw_object) scrollPage(*idw_object, -1);
    };
    uob_next.onClick = [this] {
        if (idw_object) scrollPage(*idw_object, +1);
    };
    uob_last.onClick = [this] {
        if (!idw_object) return;
        engine::DataWindowChild* list = nullptr;
        if (idw_object->GetChild("dw_report", list) == 1 && list)
            list->ScrollToRow(list->RowCount());
        else
            idw_object->ScrollToRow(idw_object->RowCount());
    };
}

int u_option::of_setdwobject(DataWindowControl& report) {
    idw_object = &report;
    cbx_rulers.setChecked(asciiUpper(report.Describe("DataWindow.Print.Preview.Rulers")) == "YES");
    const std::string zoom = report.Describe("DataWindow.Print.Preview.Zoom");
    const long value = zoom == "?" || zoom == "!" ? 0 : wholeNumber(zoom).value_or(0);
    dw_zoom.SetItem(1, "zoom", Value(static_cast<int64_t>(value < 1 ? 100 : value)));
    return 1;
}

}  // namespace print::panels
