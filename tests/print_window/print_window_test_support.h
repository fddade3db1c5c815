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
#include "print_window/operator_script.h"
#include "print_window/w_print.h"

namespace print::print_window::test {

// A goods list with a row number, a gift-free amount total and five stored rows.
extern const char* const kGoodsReport;
// A one-row bill header (memo, dates, settlement number).
extern const char* const kBillHeader;
// A second detail: two gift rows of the same layout as kGoodsReport.
extern const char* const kGiftRows;

class Operator {
public:
    Operator(const std::string& url, const std::string& operid, const std::string& library);

    platform::HeadlessServices services;
    service::HostContext host{services};
    platform::Window hostWindow{"w_host"};
    platform::DataWindowControl dw_header{&hostWindow, "dw_header"};
    platform::DataWindowControl dw_detail{&hostWindow, "dw_detail"};
    platform::DataWindowControl dw_detail2{&hostWindow, "dw_detail2"};

    // Creates one of the host's DataWindows from definition text (a failed test otherwise).
    void create(platform::DataWindowControl& dw, const std::string& syntax);

    // Runs `request` (an of_print call) with the script lines played on the windows it opens;
    // returns what describe/syntax/modify printed. Script errors fail the test.
    std::string run(const std::function<void()>& request, const std::string& script);
    // Message boxes shown since the last call, as "TITLE | TEXT | ICON | BUTTONS -> N".
    std::vector<std::string> boxes();

    // The print window of the request that runs now (null outside `run`).
    w_print* window = nullptr;

private:
    size_t m_boxesSeen = 0;
};

class PrintWindowTest : public db::test::DatabaseTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // An operator with a print library of its own (or a shared one when `library` is given).
    Operator& addOperator(const std::string& operid, const std::string& library = {});

    std::vector<std::unique_ptr<Operator>> operators;

private:
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> m_savedLibraries;
};

}  // namespace print::print_window::test
