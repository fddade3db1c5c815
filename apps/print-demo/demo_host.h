// The demo host's side of the print component: its context (operator, company, database,
// print library), its services (who may see cost prices) and the documents of the demo
// database, each loaded into the host's own DataWindows and handed to n_print as a real ERP
// host does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/datawindow_control.h"
#include "platform/services.h"
#include "platform/window.h"
#include "print_service/host_context.h"

namespace demo {

struct Operator {
    std::string id;
    std::string staffNo;
    std::string name;
    std::string role;  // "00" sees every column
};
const std::vector<Operator>& operators();

// A document the demo lists: a bill of T_BILLMAIN or the sales report.
struct Document {
    std::string billid;  // "" for the sales report
    std::string billno;
    std::string title;   // what the list shows
    std::string status;  // T_BILLMAIN.billstatus
};

class DemoHost {
public:
    // Connects to `url` (the SQLite demo database is created and filled when missing) and
    // sets up the print library beside it. False with `error` set when that fails.
    DemoHost(print::platform::Services& services);
    bool open(const std::string& url, const std::string& printLibrary, std::string& error);

    print::service::HostContext& host() { return *m_host; }
    void setOperator(const Operator& op);
    std::vector<Document> documents();

    // The host's own DataWindows of a document: loaded and retrieved. False with `error` set.
    bool load(const Document& doc, std::string& error);
    // Hands the loaded document to n_print: the print window opens modally.
    void print(const Document& doc);

    print::platform::Window hostWindow{"w_demo"};
    print::platform::DataWindowControl dw_head{&hostWindow, "dw_head"};
    print::platform::DataWindowControl dw_detail{&hostWindow, "dw_detail"};
    print::platform::DataWindowControl dw_detail2{&hostWindow, "dw_detail2"};

private:
    bool create(print::platform::DataWindowControl& dw, const std::string& name,
                std::string& error);
    std::unique_ptr<print::service::HostContext> m_host;
};

}  // namespace demo
