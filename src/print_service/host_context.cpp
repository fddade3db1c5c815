#include "print_service/host_context.h"

namespace print::service {

HostContext::HostContext(platform::Services& services, std::unique_ptr<HostServices> host)
    : gnu_print(*this), m_services(services), m_host(std::move(host)) {
    if (!m_host) m_host = std::make_unique<HostServices>();
}

HostContext::~HostContext() = default;

}  // namespace print::service
