// The settings pages of the print window and its view bar. Each panel is bound to the shown
// report by `of_setdwobject`, reads the report into its forms (`of_getdwprint` /
// `of_getdwitem`) and writes what the operator changed back with Modify commands
// (`of_setdwprint` / `of_setdwitem`). Functions return 1, or -1 when no report is bound.
#pragma once

#include "platform/control.h"
#include "platform/datawindow_control.h"
#include "print_service/host_context.h"

namespace print::panels {

using platform::DataWindowControl;

// What every settings page offers the window.
class SettingsPage : public platform::TabPage {
public:
    SettingsPage(platform::Tab* tab, std::string name, std::string caption,
                 service::HostContext& host)
        : TabPage(tab, std::move(name), std::move(caption)), m_host(host) {}
    virtual int of_setdwobject(DataWindowControl& report) {
        idw_object = &report;
        return 1;
    }
    virtual int of_getdwitem() { return idw_object ? 1 : -1; }
    virtual int of_setdwitem() { return idw_object ? 1 : -1; }

    DataWindowControl* idw_object = nullptr;

protected:
    service::HostContext& m_host;
};

// Printer settings.
class u_printset : public SettingsPage {
public:
    u_printset(platform::Tab* tab, service::HostContext& host)
        : SettingsPage(tab, "tabpage_setup", "打印设置", host) {}
    virtual int of_getdwprint() { return idw_object ? 1 : -1; }
    virtual int of_setdwprint() { return idw_object ? 1 : -1; }
};

// Page content: title, band heights, frame items.
class u_pagedata : public SettingsPage {
public:
    u_pagedata(platform::Tab* tab, service::HostContext& host)
        : SettingsPage(tab, "tabpage_page", "页面内容", host) {}
};

// Text objects of the report.
class u_dwtext : public SettingsPage {
public:
    u_dwtext(platform::Tab* tab, service::HostContext& host)
        : SettingsPage(tab, "tabpage_text", "页面文本设置", host) {}
};

// Columns of the nested list.
class u_dwcolumn : public SettingsPage {
public:
    u_dwcolumn(platform::Tab* tab, service::HostContext& host)
        : SettingsPage(tab, "tabpage_column", "表格列设置", host) {}
};

// The view options bar over the preview: zoom, rulers, pages.
class u_option : public platform::UserObject {
public:
    u_option(platform::Control* parent, service::HostContext& host)
        : UserObject(parent, "uo_option"), m_host(host) {}
    virtual int of_setdwobject(DataWindowControl& report) {
        idw_object = &report;
        return 1;
    }
    DataWindowControl* idw_object = nullptr;

protected:
    service::HostContext& m_host;
};

}  // namespace print::panels
