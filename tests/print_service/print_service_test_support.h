// A host for the print service's tests: headless services, the default host services, and a
// stand-in print window that records the request it saw while it was open.
#pragma once

#include <string>
#include <vector>

#include "platform/headless_services.h"
#include "platform/window.h"
#include "print_service/host_context.h"

namespace print::service::test {

// What the print window saw in gnu_print while it was open.
struct SeenRequest {
    std::string mode, billid, printname, printcharge;
    platform::DataWindowControl* header = nullptr;
    platform::DataWindowControl* detail = nullptr;
    platform::DataWindowControl* detaila = nullptr;
    bool headerHav = false, detailaHav = false;
    int accessoryCount = 0;
};

class StandInPrintWindow : public platform::w_center {
public:
    StandInPrintWindow(HostContext& host, std::vector<SeenRequest>& seen)
        : w_center("w_print"), m_host(host), m_seen(seen) {}
    void ue_postopen() override;

private:
    HostContext& m_host;
    std::vector<SeenRequest>& m_seen;
};

// A host whose print window is the stand-in.
struct TestHost {
    platform::HeadlessServices services;
    HostContext host{services};
    std::vector<SeenRequest> seen;
    TestHost();
};

// Creates a report from definition text in `dw`; fails the test when it does not load.
void createReport(engine::DataStore& dw, const std::string& syntax);

}  // namespace print::service::test
