// The print window's start-up, modes, toolbar, printing, keyboard, template list events and
// closing.
#include "print_window/w_print.h"

#include <algorithm>
#include <cstdio>

#include "common/text.h"
#include "layout/report_layout.h"
#include "platform/units.h"
#include "report_defs/report_defs.h"

namespace print::print_window {

using platform::Icon;
using platform::KeyCode;
using platform::Pointer;
using platform::PointerGuard;

namespace {

constexpr long kWorkTop = 168;
// A tab control's pages lie below its tabs and inside its frame (pixels).
constexpr long kTabHeaderPixels = 30;
constexpr long kTabFramePixels = 3;
// The smallest work area below the toolbar that still shows a page (pixels).
constexpr long kMinWorkPixels = 300;

}  // namespace

void w_printtmp::ue_postopen() {
    closeWindow();
}

w_print::DefinitionsFirst::DefinitionsFirst() {
    report_defs::install();
}

w_print::w_print(service::HostContext& host)
    : w_center("w_print"),
      LayoutDesigner(dw_preview),
      tabpage_setup(&tab_setup, host),
      tabpage_page(&tab_setup, host),
      tabpage_text(&tab_setup, host),
      tabpage_column(&tab_setup, host),
      uo_option(this, host),
      m_host(host) {
    setTitle("打印 - 新的模板");
    dw_1.hide();
    dw_2.hide();
    dw_preview.setDataObject("d_print");
    dw_template.setDataObject("d_reptemplate");
    p_focus.setPictureName("PIC\\FOCUS.BMP");
    tabpage_setup.setPictureName("Properties!");
    tabpage_page.setPictureName("ScriptYes!");
    tabpage_text.setPictureName("PlaceColumn5!");
    tabpage_column.setPictureName("Cursor!");
    configureToolbar();
    connectEvents();
    resize(0, 0, 0);
    Control::resize(platform::pixelsToUnitsX(1024), platform::pixelsToUnitsY(700));
}

w_print::~w_print() = default;

void w_print::configureToolbar() {
    struct ButtonSetup {
        u_button* button;
        const char* bitmap;
        const char* text;
        const char* tooltip;
    };
    const ButtonSetup setups[] = {
        {&uo_redo, "Redo!", "", "重做"},
        {&uo_undo, "Undo!", "", "撤消"},
        {&pb_front, "BringToFront!", "", "置前"},
        {&pb_back, "SendToBack!", "", "置后"},
        {&pb_vevenly, "SpaceVertical!", "", "纵向等距"},
        {&pb_width, "SizeHorizontal!", "", "等宽"},
        {&pb_height, "SizeVertical!", "", "等高"},
        {&pb_hevenly, "SpaceHorizontal!", "", "横向等距"},
        {&pb_same, "SizeBoth!", "", "相同大小"},
        {&pb_left, "AlignLeft!", "", "左对齐"},
        {&pb_right, "AlignRight!", "", "右对齐"},
        {&pb_bottom, "AlignBottom!", "", "下对齐"},
        {&pb_top, "AlignTop!", "", "上对齐"},
        {&uob_save, "custom008!", "保 存", "保存打印模板"},
        {&uob_new, "ScriptNo!", "新模板", "新建打印模板"},
        {&uob_preview, "EditDataTabular!", "预 览", "切换预览/打印设置模式"},
        {&uob_saveas, "SaveAs!", "保存为文件", "将当前模板的数据保存为文件"},
        {&uob_print, "Print!", "打 印", "打印输出"},
        {&uob_exit, "custom009!", "关 闭", "关闭本窗口"},
    };
    for (const ButtonSetup& s : setups) {
        s.button->configure(s.bitmap, s.text, s.tooltip);
        s.button->resize(std::string_view(s.text).empty() ? 110 : 260, 150);
    }
    dw_template.resize(800, 1000);
}

void w_print::connectEvents() {
    for (u_button* b : {&uo_redo, &uo_undo, &pb_front, &pb_back, &pb_vevenly, &pb_width, &pb_height,
                        &pb_hevenly, &pb_same, &pb_left, &pb_right, &pb_bottom, &pb_top}) {
        // The command is the button's name after its first "_": pb_top gives "top".
        b->onClick = [this, b] {
            const std::string& name = b->name();
            ue_align(name.substr(name.find('_') + 1));
        };
    }
    uob_save.onClick = [this] { ue_savetemplate(); };
    uob_new.onClick = [this] {
        if (confirmDiscard()) ue_newtemplate();
    };
    uob_preview.onClick = [this] { clickPreview(); };
    uob_print.onClick = [this] { clickPrint(); };
    uob_saveas.onClick = [this] { wf_saveas(); };
    uob_exit.onClick = [this] { requestClose(); };

    dw_template.onDoubleClicked = [this](long, long, long, std::string_view) -> long {
        if (dw_template.RowCount() > 0) {
            ue_loadtemplate();
            clickPreview();
        }
        return 0;
    };
    dw_template.onRButtonDown = [this](long, long, long, std::string_view) -> long {
        if (billEditingLocked()) return 0;
        if (dw_template.RowCount() > 0 && dw_template.GetRow() > 0) {
            platform::m_template menu(this);
            ui().popMenu(menu.m_popup(), *this, pointerX(), pointerY());
        }
        return 0;
    };
    dw_template.onDbError = [](long, std::string_view) -> long { return 1; };
    dw_template.onItemError = [](long, std::string_view, std::string_view) -> long { return 1; };
    dw_preview.onDbError = [](long, std::string_view) -> long { return 1; };
    dw_preview.onLButtonDown = [this](int flags, long x, long y) -> long {
        return ue_lbuttondown(flags, x, y);
    };
    dw_preview.onLButtonUp = [this](int flags, long x, long y) -> long {
        return ue_lbuttonup(flags, x, y);
    };
    dw_preview.onKeyDown = [this](int key, int flags) -> long { return ue_keydown(key, flags); };
}

std::string w_print::objectUnderPointer() const {
    return dw_preview.GetObjectAtPointer();
}

std::string w_print::layoutSnapshot() {
    if (!m_reportLoaded) return {};
    std::string layout = dw_preview.Describe("DataWindow.Syntax");
    engine::DataWindowChild* list = nullptr;
    if (dw_preview.GetChild("dw_report", list) == 1 && list)
        layout += "\n" + list->Describe("DataWindow.Syntax");
    return layout;
}

bool w_print::confirmDiscard() {
    if (!m_reportLoaded || billEditingLocked() || m_savedLayout.empty()) return true;
    // What the settings pages hold counts as the operator's too, and the designer's markers
    // are no part of the layout.
    if (is_mode == "P") wf_setattrib();
    wf_clearselect();
    if (layoutSnapshot() == m_savedLayout) return true;
    const int answer = ui().messageBox("提示", "当前模板已修改，是否保存？", Icon::Question,
                                       platform::MessageButtons::YesNoCancel, 1);
    if (answer == 2) return true;
    if (answer != 1) return false;
    ue_savetemplate();
    // A save dialog the operator cancelled keeps the window as it was.
    return layoutSnapshot() == m_savedLayout;
}

bool w_print::billEditingLocked() const {
    return m_host.gnu_print.is_mode == "B" && m_host.gs_isbillprinttmp != "Y";
}

std::string w_print::documentName() const {
    const std::string& name = m_host.gnu_print.is_printname;
    const size_t comma = name.find(',');
    return comma == std::string::npos ? name : name.substr(comma + 1);
}

std::string w_print::reportTitle() const {
    const std::string& name = m_host.gnu_print.is_printname;
    const size_t comma = name.find(',');
    return comma == std::string::npos ? name : name.substr(0, comma);
}

void w_print::layoutWorkArea(long x, long y, long width, long height) {
    dw_template.move(x, y);
    dw_template.resize(dw_template.width(), height);
    tab_setup.move(x + dw_template.width() + 10, y);
    tab_setup.resize(std::max(0L, width - tab_setup.x()), height);
    dw_preview.move(x, y);
    dw_preview.resize(std::max(0L, width - 10), height);
    // The pages fill the tab control below its tabs, and each panel fits itself to its page.
    const long pageWidth =
        std::max(0L, tab_setup.width() - platform::pixelsToUnitsX(2 * kTabFramePixels));
    const long pageHeight = std::max(
        0L, tab_setup.height() - platform::pixelsToUnitsY(kTabHeaderPixels + 2 * kTabFramePixels));
    for (platform::TabPage* page : tab_setup.pages()) page->resize(pageWidth, pageHeight);
    tabpage_setup.ue_resize(0, pageWidth, pageHeight);
    tabpage_page.ue_resize(0, pageWidth, pageHeight);
    tabpage_text.ue_size(0, pageWidth, pageHeight);
    tabpage_column.ue_size(0, pageWidth, pageHeight);
}

void w_print::ue_postopen() {
    RememberLayout remember{*this};
    service::n_print& request = m_host.gnu_print;
    idw_chargehead = request.idw_header;
    if (!request.idw_detail || (request.is_mode != "B" && request.is_mode != "D")) {
        ui().messageBox("错误", "打印出现错误(参数错误)！", Icon::StopSign);
        return;
    }
    if (request.idw_detail->RowCount() == 0) {
        ui().messageBox("提示", "该表没有数据，不能打印！", Icon::Exclamation);
        closeWindow();
        return;
    }

    const platform::ScreenSize screen = ui().screenSize();
    Control::resize(platform::pixelsToUnitsX(std::max(screen.width - 20, 200L)),
                    platform::pixelsToUnitsY(std::max(screen.height - 50, 200L)));
    wf_setescexit(true);

    ib_sharedata = !(request.is_mode == "B" && request.ib_detaila_hav && request.idw_detaila &&
                     request.idw_detaila->RowCount() >= 1);
    is_printdw = request.idw_detail->dataObject();
    if (request.is_printcharge == "Y") ib_sharedata = true;

    request.ii_accessory_count =
        std::min(request.ii_accessory_count, static_cast<int>(request.is_accessory.size()));

    layoutWorkArea(10, kWorkTop, width() - 30, height() - kWorkTop - 110);
    // The toolbar follows the window's new size as after any resize.
    resize(0, width(), height());
    wf_setmode("V");
    if (billEditingLocked()) {
        tabpage_page.hide();
        tabpage_text.hide();
        tabpage_column.hide();
    }

    if (request.is_mode == "B") {
        if (service::f_str_isnull(request.is_billid) ||
            service::f_str_isnull(request.is_printname)) {
            ui().messageBox("错误", "单据打印出现错误(参数错误)！", Icon::StopSign);
            return;
        }
        dw_template.setDataObject("d_billtemplate");
    } else {
        dw_template.setDataObject("d_reptemplate");
    }
    dw_template.SetTransObject(&m_host.sqlca);
    dw_template.SetRowFocusIndicator(&p_focus);
    retrieveTemplateList();

    const long row = dw_template.Find("isdefault='Y'", 1, dw_template.RowCount());
    if (row <= 0) {
        ue_newtemplate();
    } else {
        dw_template.SetRow(row);
        dw_template.ScrollToRow(row);
        ue_loadtemplate();
    }
}

bool w_print::retrieveTemplateList() {
    std::vector<Value> args;
    if (m_host.gnu_print.is_mode == "B") {
        args = {Value(m_host.gnu_print.is_billid)};
    } else {
        const std::string dwname =
            m_host.gnu_print.idw_detail ? m_host.gnu_print.idw_detail->dataObject() : "";
        args = {Value(documentName()), Value(dwname), Value(m_host.gs_operid)};
    }
    if (dw_template.Retrieve(args) >= 0) return true;
    // The list's database-error event decides whether the platform's message is shown.
    if (dw_template.dberror(m_host.sqlca.sqlDbCode(), dw_template.lastError()) == 0)
        ui().messageBox("错误", dw_template.lastError(), Icon::StopSign);
    return false;
}

int w_print::wf_setmode(const std::string& as_mode) {
    if (as_mode == "V") {
        dw_preview.show();
        uob_saveas.show();
        uo_option.show();
        dw_template.hide();
        tab_setup.hide();
        uob_new.hide();
        uob_save.hide();
        uob_preview.of_settext("设 置");
        is_mode = "V";
        setFocus(&dw_preview);
    } else if (as_mode == "P") {
        dw_template.show();
        tab_setup.show();
        const bool locked = billEditingLocked();
        uob_new.setVisible(!locked);
        uob_save.setVisible(!locked);
        dw_preview.hide();
        uob_saveas.hide();
        uo_option.hide();
        uob_preview.of_settext("预 览");
        is_mode = "P";
    }
    return 1;
}

int w_print::wf_getattrib() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    tabpage_setup.of_getdwprint();
    if (!billEditingLocked()) {
        tabpage_page.of_getdwitem();
        tabpage_text.of_getdwitem();
        tabpage_column.of_getdwitem();
    }
    return 1;
}

int w_print::wf_setattrib() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    tabpage_setup.of_setdwprint();
    if (!billEditingLocked()) {
        tabpage_page.of_setdwitem();
        tabpage_text.of_setdwitem();
        tabpage_column.of_setdwitem();
    }
    return 1;
}

void w_print::clickPreview() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    if (is_mode == "P") {
        wf_setattrib();
        wf_setmode("V");
        return;
    }
    wf_clearselect();
    tabpage_setup.of_getdwprint();
    wf_setmode("P");
}

bool w_print::refuseTallBand(const std::string& refusal) {
    // A band no page holds would be drawn in slices: say which, and draw nothing.
    const auto tall = layout::layoutOf(dw_preview).tallBand();
    if (!tall) return false;
    char heights[96];
    std::snprintf(heights, sizeof heights, "%.1f", tall->height);
    const std::string height = heights;
    std::snprintf(heights, sizeof heights, "%.1f", tall->room);
    const std::string room = heights;
    ui().messageBox("错误",
                    tall->alongWith.empty()
                        ? "带区“" + tall->band + "”高" + height + "磅，超过一页所能容纳的" + room +
                              "磅，" + refusal
                        : "带区“" + tall->band + "”和“" + tall->alongWith + "”共高" + height +
                              "磅，一页" + room + "磅中已放不下报表的行，" + refusal,
                    Icon::StopSign);
    return true;
}

void w_print::clickPrint() {
    PointerGuard pointer(ui(), Pointer::HourGlass);
    if (!m_reportLoaded) {
        ui().messageBox("错误", "没有装入报表，不能打印！", Icon::StopSign);
        return;
    }
    wf_clearselect();
    if (is_mode == "P") wf_setattrib();
    // The settings page allows at most kMaxCopies; a template may hold any number.
    std::string copies = trim(dw_preview.Describe("DataWindow.Print.Copies"));
    if (copies.size() >= 2 && copies.front() == '"' && copies.back() == '"')
        copies = trim(copies.substr(1, copies.size() - 2));
    const bool digits =
        !copies.empty() && copies.find_first_not_of("0123456789") == std::string::npos;
    const auto n = Decimal::parse(copies);
    // A number too long to read is more than any bound.
    if ((n && *n > Decimal(kMaxCopies)) || (!n && digits)) {
        ui().messageBox("错误",
                        "打印份数(" + copies + ")超出允许的范围(1至" + std::to_string(kMaxCopies) +
                            ")，不能打印！",
                        Icon::StopSign);
        return;
    }
    if (refuseTallBand("不能打印！")) return;
    platform::PrintJob job;
    job.report = &dw_preview;
    job.documentName = dw_preview.Describe("DataWindow.Print.DocumentName");
    if (job.documentName == "!" || job.documentName == "?") job.documentName.clear();
    ui().print(job);
}

void w_print::key(KeyCode key, int keyFlags) {
    w_center::key(key, keyFlags);
    if (!isOpen()) return;
    const bool zDown = key == KeyCode::Z || ui().keyDown(KeyCode::Z);
    if (zDown && keyFlags == platform::kKeyFlagCtrl) ue_align("undo");
}

bool w_print::shortcut(KeyCode key, int keyFlags) {
    const bool ctrl = keyFlags == platform::kKeyFlagCtrl;
    // A key stands for a button only while the operator could click it.
    auto press = [](u_button& button) {
        if (button.shown() && button.enabled()) button.clicked();
        return true;
    };
    if (ctrl && key == KeyCode::P) return press(uob_print);
    if (ctrl && key == KeyCode::Y) {
        if (uo_redo.shown() && uo_redo.enabled()) ue_align("redo");
        return true;
    }
    if (is_mode != "V") return false;
    if (keyFlags == 0 && key == KeyCode::PageDown) return press(uo_option.uob_next);
    if (keyFlags == 0 && key == KeyCode::PageUp) return press(uo_option.uob_prior);
    if (ctrl && key == KeyCode::Home) return press(uo_option.uob_first);
    if (ctrl && key == KeyCode::End) return press(uo_option.uob_last);
    return false;
}

void w_print::resize(int sizeType, long newWidth, long newHeight) {
    const long x = 10;
    const long y = uo_option.y() + uo_option.height();
    const long width = std::max(0L, workSpaceWidth() - platform::pixelsToUnitsX(2));
    const long height = std::max(0L, workSpaceHeight() - platform::pixelsToUnitsY(2));
    uo_option.move(x, 4);
    uob_new.move(x, 4);
    uob_save.move(uob_new.x() + uob_new.width() + 10, 4);
    long bx = uo_option.x() + uo_option.width() + 20;
    for (u_button* b : {&uob_preview, &uob_saveas, &uob_print, &uo_undo, &uo_redo, &pb_top,
                        &pb_bottom, &pb_left, &pb_right, &pb_height, &pb_width, &pb_same,
                        &pb_hevenly, &pb_vevenly, &pb_front, &pb_back}) {
        b->move(bx, 4);
        bx += b->width() + 6;
    }
    uob_exit.move(std::max(bx + 20, width - uob_exit.width() - 10), 4);
    layoutWorkArea(x, y + 4, width, std::max(0L, height - y - 4));
    // Narrower than its toolbar, a button would be out of reach.
    setMinimumSize(bx + 20 + uob_exit.width() + 10 + platform::pixelsToUnitsX(2),
                   y + 4 + platform::pixelsToUnitsY(kMinWorkPixels));
}

void w_print::close() {
    w_center::close();
    PointerGuard pointer(ui(), Pointer::HourGlass);
    m_printtmp = std::make_unique<w_printtmp>();
    ui().openModal(*m_printtmp);
    engine::DataWindowChild* report = nullptr;
    if (dw_preview.GetChild("dw_report", report) == 1 && report) {
        if (ib_sharedata)
            report->ShareDataOff();
        else
            report->Reset();
    }
    wf_trimlib();
}

int w_print::triggerEvent(std::string_view event) {
    if (iequals(event, "ue_loadtemplate")) {
        ue_loadtemplate();
        return 1;
    }
    if (iequals(event, "ue_newtemplate")) {
        ue_newtemplate();
        return 1;
    }
    if (iequals(event, "ue_deltemplate")) {
        ue_deltemplate();
        return 1;
    }
    if (iequals(event, "ue_savetemplate")) {
        ue_savetemplate();
        return 1;
    }
    return w_center::triggerEvent(event);
}

void w_print::handToPanels() {
    tabpage_setup.of_setdwobject(dw_preview);
    tabpage_page.of_setdwobject(dw_preview);
    tabpage_text.of_setdwobject(dw_preview);
    tabpage_column.of_setdwobject(dw_preview);
    uo_option.of_setdwobject(dw_preview);
}

void installPrintWindow(service::HostContext& host) {
    host.printWindowFactory = [](service::HostContext& h) -> std::unique_ptr<platform::Window> {
        return std::make_unique<w_print>(h);
    };
}

}  // namespace print::print_window
