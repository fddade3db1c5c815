#include "print_service_test_support.h"

#include <gtest/gtest.h>

namespace print::service::test {

void StandInPrintWindow::ue_postopen() {
    const n_print& p = m_host.gnu_print;
    m_seen.push_back(SeenRequest{p.is_mode, p.is_billid, p.is_printname, p.is_printcharge,
                                 p.idw_header, p.idw_detail, p.idw_detaila, p.ib_header_hav,
                                 p.ib_detaila_hav, p.ii_accessory_count});
}

TestHost::TestHost() {
    host.printWindowFactory = [this](HostContext& h) {
        return std::make_unique<StandInPrintWindow>(h, seen);
    };
}

void createReport(engine::DataStore& dw, const std::string& syntax) {
    std::string error;
    ASSERT_EQ(dw.Create(syntax, error), 1) << error;
}

}  // namespace print::service::test
