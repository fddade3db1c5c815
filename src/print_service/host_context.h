// One host application as the component sees it: the host's globals (`gs_operid`, ...), its
// transaction `sqlca`, the print service `gnu_print`, the report helper `gnu_dwfunction`, the
// window services and the host's own services. Everything lives in this object rather than in
// C++ globals, so that several hosts (tests, a batch run beside a window) can run side by side.
//
// The print window is made through `printWindowFactory`; the print window layer installs its
// own, tests may install a stand-in.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/transaction.h"
#include "platform/services.h"
#include "platform/window.h"
#include "print_service/host_services.h"
#include "print_service/n_dwfunction.h"
#include "print_service/n_print.h"

namespace print::service {

class HostContext {
public:
    // `services` must outlive the context. Without `host`, the default host services are used.
    explicit HostContext(platform::Services& services,
                         std::unique_ptr<HostServices> host = nullptr);
    ~HostContext();
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;

    // --- the host's globals ---------------------------------------------------------------------
    std::string gs_operid;          // operator id: owner of private templates
    std::string gs_opergh;          // operator's staff number
    std::string gs_opername;        // operator's name
    std::string gs_incqc;           // company name printed on reports
    std::string gs_appid;           // application id, part of generated object names
    std::string gs_role;            // operator's role code
    std::string gs_isbillprinttmp;  // "Y" when bills may use print templates
    std::string gs_path;            // base folder of exported files
    db::Transaction sqlca;
    n_print gnu_print;
    n_dwfunction gnu_dwfunction;

    platform::Services& services() const { return m_services; }
    HostServices& hostServices() const { return *m_host; }

    // The host's functions, through its services.
    void f_ora_err() { m_host->f_ora_err(*this); }
    std::string f_getprivpara(std::string_view code) { return m_host->f_getprivpara(*this, code); }
    bool f_colname_denicolumn(std::string_view name) {
        return m_host->f_colname_denicolumn(*this, name);
    }
    bool f_coltag_denicolumn(std::string_view tag) {
        return m_host->f_coltag_denicolumn(*this, tag);
    }
    DateTime f_getsysdatetime() { return m_host->f_getsysdatetime(*this); }
    long f_random() { return m_host->f_random(*this); }
    std::string gf_moneytostring(const Decimal& amount) {
        return m_host->gf_moneytostring(*this, amount);
    }

    // Makes the print window that `of_print` opens; null means no window can be opened.
    std::function<std::unique_ptr<platform::Window>(HostContext&)> printWindowFactory;

private:
    platform::Services& m_services;
    std::unique_ptr<HostServices> m_host;
};

}  // namespace print::service
