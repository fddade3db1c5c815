#include "print_service/host_services.h"

#include <random>

#include "print_service/host_context.h"
#include "print_service/money_text.h"

namespace print::service {

void HostServices::f_ora_err(HostContext& host) {
    std::string text = host.sqlca.sqlErrText();
    if (text.empty()) text = "数据库操作失败";
    if (host.sqlca.sqlDbCode() != 0)
        text = "SQLDBCode " + std::to_string(host.sqlca.sqlDbCode()) + ": " + text;
    // Roll back before the message so that nothing of the failed work can reach a later commit
    // even when the operator leaves the box open.
    if (host.sqlca.isConnected()) host.sqlca.rollback();
    host.services().messageBox("错误", text, platform::Icon::StopSign);
}

std::string HostServices::f_getprivpara(HostContext& host, std::string_view code) {
    std::vector<Value> row;
    const long rc = host.sqlca.selectInto("SELECT value FROM t_Privatepara WHERE code = :code",
                                          {Value(std::string(code))}, row);
    if (rc != 0 || row.empty() || row[0].isNull()) return "";
    return row[0].toText();
}

bool HostServices::f_colname_denicolumn(HostContext&, std::string_view) {
    return true;
}

bool HostServices::f_coltag_denicolumn(HostContext&, std::string_view) {
    return true;
}

DateTime HostServices::f_getsysdatetime(HostContext&) {
    return DateTime::now();
}

long HostServices::f_random(HostContext&) {
    static std::mt19937 engine{std::random_device{}()};
    return std::uniform_int_distribution<long>(0, 99999)(engine);
}

std::string HostServices::gf_moneytostring(HostContext&, const Decimal& amount) {
    return moneyToChinese(amount);
}

bool f_str_isnull(std::string_view s) {
    return s.empty();
}

bool f_str_isnull(const std::string& s) {
    return s.empty();
}

bool f_str_isnull(const char* s) {
    return !s || !*s;
}

bool f_str_isnull(const std::optional<std::string>& s) {
    return !s || s->empty();
}

long f_posback(std::string_view text, std::string_view part, long) {
    if (text.empty() || part.empty()) return 0;
    const size_t pos = text.rfind(part);
    return pos == std::string_view::npos ? 0 : static_cast<long>(pos) + 1;
}

}  // namespace print::service
