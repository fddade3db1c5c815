// The demo's order 305 and its sales report, opened in the print window as `printctl print`
// opens them: the host's windows made from the demo definitions and retrieved from a private
// SQLite database that holds the demo data.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/library.h"
#include "print_window_test_support.h"

namespace print::print_window::test {

struct DemoDocument {
    std::unique_ptr<Operator> op;
    std::function<void()> print;  // the host's of_print call, which opens the print window
};

class DemoDocuments : public db::test::DatabaseTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Order 305 with its header, goods and gifts; the sales report of three days with its
    // condition form.
    DemoDocument order305();
    DemoDocument salesReport();
    // Settlement 508 with its receipts and charges, and the QR code of its figures.
    DemoDocument settlement508();

private:
    // A bill of the demo: its header, detail and second detail windows, retrieved by bill id.
    DemoDocument bill(const std::string& id, const std::string& head, const std::string& detail,
                      const std::string& detail2);
    std::unique_ptr<Operator> makeOperator();
    void load(Operator& op, platform::DataWindowControl& dw, const std::string& name,
              const std::vector<Value>& arguments);

    // The host's windows under their data object names, and the demo's other definitions (the
    // order's frame) beside them.
    std::shared_ptr<engine::MemoryLibrary> m_definitions;
    std::shared_ptr<engine::FolderLibrary> m_folder;
    std::vector<std::shared_ptr<engine::DefinitionLibrary>> m_saved;
};

}  // namespace print::print_window::test
