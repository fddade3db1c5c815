// The settings pages of the print window and its view bar. Each panel is bound to the shown
// report by `of_setdwobject`, reads the report into its own forms and, when the window applies
// the panels, writes back with Modify commands what the operator changed. A value the operator
// did not touch is never written back, so reading then applying leaves the report as it was
// (expressions, quoting and unset properties included). Texts are quoted and escaped as the
// definition syntax reads them.
//
// The panels show no messages except the view bar's zoom message; commands the engine refuses
// are ignored and the remaining ones still go out.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/control.h"
#include "platform/datawindow_control.h"
#include "print_service/host_context.h"

namespace print::panels {

using platform::DataWindowControl;

// What every settings page offers the window.
class SettingsPage : public platform::TabPage {
public:
    SettingsPage(platform::Tab* tab, std::string name, std::string caption,
                 service::HostContext& host);
    virtual int of_setdwobject(DataWindowControl& report);
    virtual int of_getdwitem() { return idw_object ? 1 : -1; }
    virtual int of_setdwitem() { return idw_object ? 1 : -1; }

    DataWindowControl* idw_object = nullptr;
    bool ib_modified = false;

protected:
    platform::Services& ui() const { return m_host.services(); }
    service::HostContext& m_host;
};

// Printer settings: document, printer, margins, page range, copies, scale, quality, units,
// paper and orientation.
class u_printset : public SettingsPage {
public:
    u_printset(platform::Tab* tab, service::HostContext& host);

    DataWindowControl dw_set{this, "dw_set"};
    platform::u_button uob_setup{this, "uob_setup"};

    int of_setdwobject(DataWindowControl& report) override;
    int of_getdwprint();
    int of_setdwprint();
    int of_setprinter();
    // The window sized the page: the form takes its height, as much width as it needs, and the
    // setup button goes beside it.
    void ue_resize(int sizetype, long newwidth, long newheight);
    // Shows the paper `code`'s size and preview box, or hides the box when the code is unknown.
    void lookupPaper(long code);

private:
    std::map<std::string, std::string> m_read;  // the form's values as last read
};

// Page content: title, band heights, list heights and grid lines, transparency, attachments
// and the twenty frame items.
class u_pagedata : public SettingsPage {
public:
    u_pagedata(platform::Tab* tab, service::HostContext& host);

    platform::StaticText st_3{this, "st_3"};
    platform::StaticText st_2{this, "st_2"};
    platform::StaticText st_1{this, "st_1"};
    DataWindowControl dw_height{this, "dw_height"};
    DataWindowControl dw_font{this, "dw_font"};
    platform::GroupBox gb_1{this, "gb_1"};

    bool ib_trans = false;

    int of_getdwitem() override;
    int of_setdwitem() override;
    void ue_resize(int sizetype, long newwidth, long newheight);

    // The frame items: object name and caption, in the list's order.
    static const std::vector<std::pair<std::string, std::string>>& frameItems();

private:
    // The band and list heights of the report into the form.
    void readHeights();
    std::map<std::string, std::string> m_readHeight;
    std::vector<std::map<std::string, std::string>> m_readItems;
};

// The header texts "st_text_N": caption switch, visibility, alignment, band, colour and font.
class u_dwtext : public SettingsPage {
public:
    u_dwtext(platform::Tab* tab, service::HostContext& host);

    DataWindowControl dw_font{this, "dw_font"};

    int of_getdwitem() override;
    int of_setdwitem() override;
    void ue_size(int sizetype, long newwidth, long newheight);

private:
    std::vector<std::map<std::string, std::string>> m_readItems;
};

// The columns of the nested list: heading, shown or hidden, width, order.
class u_dwcolumn : public SettingsPage {
public:
    u_dwcolumn(platform::Tab* tab, service::HostContext& host);

    platform::u_button uob_down{this, "uob_down"};
    platform::u_button uob_up{this, "uob_up"};
    DataWindowControl dw_column{this, "dw_column"};

    int of_setdwobject(DataWindowControl& report) override;
    int of_getdwitem() override;
    int of_setdwitem() override;
    // The names of the nested list's objects in band `a_band` (not case sensitive), appended to
    // `a_list`: their number, 0 when the list answers no object list, -1 on an error answer.
    int of_getdwobject(const std::string& a_band, std::vector<std::string>& a_list);
    void ue_size(int sizetype, long newwidth, long newheight);

    // The nested list as it is now ("dw_report" of the report), null when there is none.
    engine::DataWindowChild* idwc_rep() const;

private:
    void moveRow(int direction);
    // Takes the list's geometry as it is now: where each listed column is, its heading, the
    // gaps between the shown ones and the summary and trailer fields under them.
    void rememberLayout(engine::DataStore& list);
    // Puts the shown columns left to right in the list's order with the gaps remembered, their
    // headings above them and their fields below them.
    void placeColumns(engine::DataStore& list);
    struct ReadColumn {
        std::string visible;
        std::string width;
        bool expression = false;  // its visibility is an expression
        long x = 0;
        long widthRead = 0;
        std::string heading;  // the header text that goes with it
    };
    // A summary or trailer field under a listed column, and where it was.
    struct UnderColumn {
        std::string name;
        std::string column;
        long x = 0;
    };
    std::map<std::string, ReadColumn> m_read;  // by column name, as last read
    long m_start = 0;                          // where the first shown column began
    std::vector<long> m_gaps;  // before the 2nd, 3rd, ... shown column, from its left neighbour
    std::vector<UnderColumn> m_under;
};

// The view bar over the preview: zoom, rulers, page navigation. Changes act at once.
class u_option : public platform::UserObject {
public:
    u_option(platform::Control* parent, service::HostContext& host);

    DataWindowControl dw_zoom{this, "dw_zoom"};
    platform::CheckBox cbx_rulers{this, "cbx_rulers"};
    platform::u_button uob_last{this, "uob_last"};
    platform::u_button uob_next{this, "uob_next"};
    platform::u_button uob_prior{this, "uob_prior"};
    platform::u_button uob_first{this, "uob_first"};

    int of_setdwobject(DataWindowControl& report);
    void of_getdwprop() {}

    DataWindowControl* idw_object = nullptr;

private:
    service::HostContext& m_host;
};

}  // namespace print::panels
