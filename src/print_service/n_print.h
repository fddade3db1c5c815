// The print service `n_print`: the object through which the host asks for a print. It checks
// and holds one print request, opens the print window modally and clears the request when the
// window has closed; turns the host's condition form into header texts of the report; writes
// the summary ("accessory") texts; and keeps the print library file where report definitions
// made from templates live.
//
// The host keeps one instance in its context (`HostContext::gnu_print`); the print window reads
// the request from there while it is open. DataWindow arguments are pointers to the host's own
// controls, null standing for a null DataWindow; the request holds them and never owns them.
//
// Failures are shown as the host's message boxes ("错误" with the stop sign) or returned as -1 /
// false, as each function says; nothing throws.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"
#include "engine/datastore.h"
#include "platform/datawindow_control.h"

namespace print::service {

class HostContext;

using DataWindow = platform::DataWindowControl;

class n_print {
public:
    explicit n_print(HostContext& host) : m_host(host) {}
    n_print(const n_print&) = delete;
    n_print& operator=(const n_print&) = delete;

    // --- the print request ----------------------------------------------------------------------
    std::string is_mode;       // "B" bill, "D" report, "" none
    std::string is_billid;     // bill id of a bill request
    std::string is_printname;  // bill name, or "title,document name" of a report
    std::string is_printcharge = "N";
    DataWindow* idw_header = nullptr;
    DataWindow* idw_detail = nullptr;
    DataWindow* idw_detaila = nullptr;
    bool ib_header_hav = false;
    bool ib_detaila_hav = false;
    std::vector<std::string> is_accessory;
    int ii_accessory_count = 0;

    std::string is_printlib;  // path of the print library file; "" when none is set

    // --- print requests (they return nothing) ---------------------------------------------------
    // Bill requests: the bill is looked up in T_BILLMAIN (status 'Y'); an empty bill id or a
    // null DataWindow shows "参数传递错误！", an unknown or closed bill "无效的单据ID！", a
    // database error goes to f_ora_err; in each case the window is not opened.
    void of_print(const std::string& billid, DataWindow* header, DataWindow* detail);
    void of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                  const std::vector<std::string>& accessory);
    void of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                  DataWindow* detaila);
    // `ischarge` "Y" prints a charge bill without the header DataWindow.
    void of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                  DataWindow* detaila, const std::string& ischarge);
    void of_print(const std::string& billid, DataWindow* header, DataWindow* detail,
                  DataWindow* detaila, const std::vector<std::string>& accessory);
    // Report requests: the report's print document name becomes the request's name.
    void of_print(DataWindow* dw);
    void of_print(DataWindow* dw, DataWindow* head);
    void of_print(DataWindow* dw, const std::string& docname);
    void of_print(DataWindow* dw, DataWindow* head, const std::string& docname);
    // Withdrawn: shows "此函数已不再使用!" and does nothing else.
    void of_print(const std::string& billid, const std::string& billno);

    // Sets the report's print document name: 1, or -1 for a null DataWindow.
    int of_setdwdocname(DataWindow* dw, const std::string& docname);
    void of_initparm();

    // --- header texts and column conditions -----------------------------------------------------
    // The condition list of a condition form: "title@value" entries separated by tabs, one per
    // visible field with a label, range pairs (MIN/MAX tags on one database column) as one
    // entry. With `mayShow`, a field it refuses (by the field's name and tag; for a range, either
    // field) gives "***" as its value, as the operator's column rights mask a list's columns.
    using FieldRight = std::function<bool(const std::string& name, const std::string& tag)>;
    std::string of_setdwtotext(engine::DataStore& dw, const FieldRight& mayShow = {});
    // Writes a condition list into the header band as texts "st_text_1", ... laid out
    // `columns` to a row (below 1: two) from `starty` down; updates existing ones in place and
    // destroys surplus ones.
    void of_settexttodw(engine::DataStore& dw, const std::string& texts, int columns, long starty);
    // Parses a field tag "FLAG(OPER@DBNAME)<DEFAULT>"; `dbname` is left as it is when the tag
    // names none.
    void of_analyzetag(const std::string& coltag, std::string& flag, std::string& oper,
                       std::string& dbname, std::string& defvalue) const;

    // --- summary accessory texts ----------------------------------------------------------------
    void of_setaccessory(engine::DataStore& dw);
    void of_setaccvisible(engine::DataStore& dw, bool vis);

    // --- print library --------------------------------------------------------------------------
    // 1, or -1 when the file did not exist (or held no completed library) and could not be
    // created. Temporary entries (`kTemporaryPrefix` names without a stamp in their comment)
    // older than a day, which killed sessions left, are removed.
    int of_setprintlib(const std::string& as_libfile);
    // The prefix of the generated names of report objects in the print library.
    static constexpr std::string_view kTemporaryPrefix = "dp_";
    bool of_libisvalid(const std::string& libfile) const;
    // Whether the library holds an entry of that name (whole name, not case sensitive).
    bool of_dwisinlib(const std::string& libfile, const std::string& dwname) const;
    bool of_dwisinlib(const std::string& dwname) const;
    // The entry's modification time: 1, or -1 when the library is not valid or has no such
    // entry.
    int of_getdwdatetime(const std::string& libfile, const std::string& dwname,
                         DateTime& dwdate) const;
    int of_getdwdatetime(const std::string& dwname, DateTime& dwdate) const;
    // Imports the report's syntax under `a_name` (replacing an entry of that name): the
    // import's result, or -1 when the library is not valid or the syntax cannot be read.
    int of_importlibdw(engine::DataStore& a_dw, const std::string& a_name);
    // Imports a syntax under `as_name`: the import's result (1 / -1), -1 when the library is not
    // valid. `comment` is stored with the entry.
    int of_setdebuglib(const std::string& as_syntax, const std::string& as_name,
                       const std::string& comment = {});
    // The comment stored with an entry of the print library; "" when there is none.
    std::string of_getdwcomment(const std::string& dwname) const;
    int of_deletelibdw(const std::string& a_name);
    int of_deleteprintlib();

private:
    void removeLeftovers(const std::string& libfile);
    void printBill(const std::string& billid, DataWindow* header, DataWindow* detail,
                   DataWindow* detaila, const std::vector<std::string>* accessory,
                   const std::string* ischarge, bool withDetaila);
    void printReport(DataWindow* dw, DataWindow* head);
    void openPrintWindow();

    HostContext& m_host;
};

}  // namespace print::service
