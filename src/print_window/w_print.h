// The print window `w_print`: opened modally by a print request, it reads the request from the
// host's print service, lists the templates filed for the bill or report, loads the default one
// or builds a new layout, and lets the operator preview ("V") or change settings ("P"), load,
// make, delete and save templates, export and print.
//
// Building the shown report (`wf_loadreport` and the `wf_` functions around it) lives in
// w_print_load.cpp; the template events in w_print_templates.cpp; the save dialog in
// w_savetemplate.h. Failures are shown to the operator in message boxes ("错误" with the stop
// sign for errors, "提示" for notices) and end the action; functions return 1 on success.
//
// Columns that the operator may not see are masked in the shown report; `maskedColumns()` names
// them, so that anything leaving the window (export) can keep their values out.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "designer/layout_designer.h"
#include "panels/panels.h"
#include "platform/control.h"
#include "platform/datawindow_control.h"
#include "platform/window.h"
#include "print_service/host_context.h"

namespace print::print_window {

using platform::DataWindowControl;
using platform::u_button;

// The second window that the print window opens while it closes; it closes itself at once.
class w_printtmp : public platform::w_center {
public:
    w_printtmp() : w_center("w_printtmp") {}
    void ue_postopen() override;
};

class w_print : public platform::w_center, public designer::LayoutDesigner {
public:
    explicit w_print(service::HostContext& host);
    ~w_print() override;

    service::HostContext& host() const { return m_host; }

private:
    // The component's definitions go on the library search list before any control loads one.
    struct DefinitionsFirst {
        DefinitionsFirst();
    } m_definitionsFirst;

public:
    // --- controls, in declaration order ---------------------------------------------------------
    DataWindowControl dw_2{this, "dw_2"};
    DataWindowControl dw_1{this, "dw_1"};
    u_button uo_redo{this, "uo_redo"};
    u_button uo_undo{this, "uo_undo"};
    u_button pb_front{this, "pb_front"};
    u_button pb_back{this, "pb_back"};
    u_button pb_vevenly{this, "pb_vevenly"};
    u_button pb_width{this, "pb_width"};
    u_button pb_height{this, "pb_height"};
    u_button pb_hevenly{this, "pb_hevenly"};
    u_button pb_same{this, "pb_same"};
    u_button pb_left{this, "pb_left"};
    u_button pb_right{this, "pb_right"};
    u_button pb_bottom{this, "pb_bottom"};
    u_button pb_top{this, "pb_top"};
    u_button uob_save{this, "uob_save"};
    u_button uob_new{this, "uob_new"};
    u_button uob_preview{this, "uob_preview"};
    platform::Tab tab_setup{this, "tab_setup"};
    panels::u_printset tabpage_setup;
    panels::u_pagedata tabpage_page;
    panels::u_dwtext tabpage_text;
    panels::u_dwcolumn tabpage_column;
    u_button uob_saveas{this, "uob_saveas"};
    u_button uob_print{this, "uob_print"};
    u_button uob_exit{this, "uob_exit"};
    DataWindowControl dw_preview{this, "dw_preview"};
    panels::u_option uo_option;
    DataWindowControl dw_template{this, "dw_template"};
    platform::Picture p_focus{this, "p_focus"};

    // --- state
    // ------------------------------------------------------------------------------------
    std::string is_mode;     // "V" preview, "P" settings
    std::string is_tmpname;  // the template shown; "新的打印模板" for an unsaved layout
    bool ib_new = false;     // the shown layout was never saved
    bool ib_newbill = false;
    bool ib_sharedata = true;
    bool ib_convert = false;
    DataWindowControl* idw_chargehead = nullptr;
    std::string is_printdw;

    // --- events
    // -----------------------------------------------------------------------------------
    void ue_postopen() override;
    void close() override;
    void resize(int sizeType, long newWidth, long newHeight) override;
    void key(platform::KeyCode key, int keyFlags) override;
    // Ctrl+P prints, Ctrl+Y redoes; in preview PageUp, PageDown, Ctrl+Home and Ctrl+End turn
    // the pages as the view bar's buttons do.
    bool shortcut(platform::KeyCode key, int keyFlags) override;
    int triggerEvent(std::string_view event) override;

    void ue_loadtemplate();
    void ue_newtemplate();
    void ue_deltemplate();
    void ue_savetemplate();
    // Before moved objects or changed settings are thrown away (closing, Esc, 新模板): where the
    // window can save templates, asks "当前模板已修改，是否保存？" — Yes opens the save dialog,
    // No discards, Cancel stays. True when the caller may go on.
    bool confirmDiscard();
    bool closeQuery() override { return confirmDiscard(); }

    // --- functions
    // --------------------------------------------------------------------------------
    int wf_setmode(const std::string& as_mode);
    int wf_getattrib();
    int wf_setattrib();
    // Bill editing is locked: a bill request while bills may not use templates.
    bool billEditingLocked() const;

    int wf_loadreport(const std::string& as_syntaxm, const std::string& as_syntaxc,
                      const std::string& as_repname);
    std::string wf_getdwname();
    int wf_trimlib();
    int wf_setdwprop();
    int wf_buildcond();
    int wf_resetrowno(engine::DataStore& dwc);
    int wf_douserright(engine::DataStore& adw_child);
    int wf_backgroundcolor(engine::DataStore& dw);
    int wf_display(engine::DataStore& dw);
    int wf_display_dw(DataWindowControl& dw);

    // The toolbar commands, as the buttons run them. Printing is refused while no report is
    // loaded and when the report asks for more copies than kMaxCopies.
    void clickPreview();
    void clickPrint();
    static constexpr int kMaxCopies = 999;
    // Exports the report to a file the operator chooses: 1 saved, 0 cancelled, -1 failed.
    int wf_saveas();
    static const char* exportFilters();
    // Why the last export failed (for the log and tests; the operator sees "文档保存失败！").
    const std::string& lastExportError() const { return m_lastExportError; }
    // The second line of that message: an export's error `message` in the operator's words,
    // a column named by its heading in `exported` when it has one; a reason not known here is
    // shown as it is.
    static std::string whyNotSaved(const std::string& message, engine::DataStore& exported);

    // The columns and computed fields masked for this operator in the shown list, by name
    // (lower case); empty when nothing is masked.
    const std::set<std::string>& maskedColumns() const { return m_masked; }
    // The list's definition as a template keeps it: without the masks of this operator's rights
    // (a template never holds masks; the rights of whoever loads it apply after each load).
    std::string templateListSyntax(engine::DataStore& list) const;

    // Whether a report is loaded: the last load went through to the end. Printing and exporting
    // are refused while none is, so that an unfilled frame never reaches paper or a file.
    bool reportLoaded() const { return m_reportLoaded; }
    // The shown template's flags as stored: public (always for bills) and default. A new
    // layout is public and not the default.
    bool shownTemplatePublic() const { return m_shownPublic; }
    bool shownTemplateDefault() const { return m_shownDefault; }

    // The report's document name: the part of the request's name after the first ",".
    std::string documentName() const;
    // The report's title: the part before the first ",".
    std::string reportTitle() const;

    // The time stamp recorded with a report object imported by the next `wf_loadreport`
    // (the template row's stamp); "" when the import records none.
    std::string is_importstamp;

    // Set by the save dialog after the template rows are written.
    void afterSave(const std::string& name, const std::string& syntaxm, const std::string& syntaxc,
                   const std::string& dwname, const std::string& stamp, bool isPublic,
                   bool isDefault);

protected:
    bool designerActive() const override { return is_mode == "V"; }
    platform::Services& designerServices() const override { return services(); }
    std::string objectUnderPointer() const override;

private:
    void layoutWorkArea(long x, long y, long width, long height);
    void configureToolbar();
    void connectEvents();
    void handToPanels();
    bool copyRows(DataWindowControl* source, engine::DataStore& target);
    // Whether the operator's column rights apply to this request (bills, but not role "00"),
    // and whether he is one of the site's operators exempt from them.
    bool rightsApply() const;
    bool rightsExempt();
    static bool isComponentDefinition(const std::string& name);
    int loadChargeChild(const char* childName, DataWindowControl* source);
    int loadJournalChild(const char* childName, DataWindowControl* source);
    bool retrieveTemplateList();
    platform::Services& ui() const { return services(); }
    // When a band of the shown report is taller than a page holds, says which, ending the
    // message with `refusal` ("不能打印！"), and returns true: nothing is to be drawn.
    bool refuseTallBand(const std::string& refusal);

    // What masking changed on a column, to be put back in a template's copy of the list.
    struct Unmasked {
        std::string format;
        std::optional<std::string> editFormat;  // for the edit style "edit"
        std::optional<std::string> editMask;    // for the edit style "editmask"
    };

    service::HostContext& m_host;
    std::set<std::string> m_masked;
    std::map<std::string, Unmasked> m_unmasked;  // by object name as the list has it
    bool m_reportLoaded = false;
    bool m_shownPublic = true;
    bool m_shownDefault = false;
    std::string m_lastExportError;
    // The layout as loaded or saved last (frame and list definitions), to tell a changed one.
    std::string m_savedLayout;
    std::string layoutSnapshot();
    void rememberLayout() { m_savedLayout = layoutSnapshot(); }
    // Remembers the layout on every way out of a scope that loads or saves one.
    struct RememberLayout {
        w_print& window;
        ~RememberLayout() { window.rememberLayout(); }
    };
    std::unique_ptr<w_printtmp> m_printtmp;
};

// Makes `of_print` open the print window.
void installPrintWindow(service::HostContext& host);

}  // namespace print::print_window
