// Whole print requests through the print service and the print window on the headless window
// layer, on a private database of each back end. An operator is one host: its own services,
// globals and print library file; several operators share the database.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "db/library_file.h"
#include "db_test_support.h"
#include "engine/library.h"
#include "platform/headless_services.h"
#include "print_service/host_context.h"
#include "platform/operator_script.h"
#include "print_window/w_print.h"

namespace print::print_window::test {

// A goods list with a row number, a price tagged COST and an amount total.
extern const char* const kGoodsReport;
// A bill header (memo, dates, settlement number).
extern const char* const kBillHeader;
// Charge lines of a settlement.
extern const char* const kChargeLines;

// Five goods rows, two gift rows of the same layout, one header row, two charge lines.
void fillGoods(engine::DataStore& dw);
void fillGifts(engine::DataStore& dw);
void fillHeader(engine::DataStore& dw);
void fillCharges(engine::DataStore& dw);

class Operator {
public:
    Operator(const std::string& url, const std::string& operid, const std::string& library,
             std::unique_ptr<service::HostServices> hostServices = nullptr);

    platform::HeadlessServices services;
    service::HostContext host;
    platform::Window hostWindow{"w_host"};
    platform::DataWindowControl dw_header{&hostWindow, "dw_header"};
    platform::DataWindowControl dw_detail{&hostWindow, "dw_detail"};
    platform::DataWindowControl dw_detail2{&hostWindow, "dw_detail2"};

    // Creates one of the host's DataWindows from definition text (a failed test otherwise).
    void create(platform::DataWindowControl& dw, const std::string& syntax);

    // Runs `request` (an of_print call) with the script lines played on the windows it opens;
    // returns what describe/syntax/modify printed. Script errors fail the test.
    std::string run(const std::function<void()>& request, const std::string& script);
    // Runs `request` with `act` acting on the print window it opens (in C++, where a script
    // cannot reach).
    void runWith(const std::function<void()>& request, const std::function<void(w_print&)>& act);
    // Message boxes shown since the last call, as "TITLE | TEXT | ICON | BUTTONS -> N".
    std::vector<std::string> boxes();

    // Libraries of the host's own definitions, searched after the print library.
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> hostLibraries;

    // The print window of the request that runs now (null outside `run`).
    w_print* window = nullptr;

private:
    // One search list per application: while this operator works, it holds his libraries.
    void useLibraries();
    size_t m_boxesSeen = 0;
};

class PrintWindowTest : public db::test::DatabaseTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // An operator with a print library of its own (or a shared one when `library` is given).
    Operator& addOperator(const std::string& operid, const std::string& library = {},
                          std::unique_ptr<service::HostServices> hostServices = nullptr);

    // The first operator ("A"), with the goods report as its detail, filled `fills` times, made
    // on first use.
    Operator& goodsOperator(int fills = 1);
    // Runs a request to print the goods report with `script`; what the script printed.
    std::string runGoodsReport(const std::string& script, int fills = 1);

    std::vector<std::unique_ptr<Operator>> operators;

private:
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> m_savedLibraries;
};

}  // namespace print::print_window::test
