// The host application's services: what the component needs from the application it runs in
// (error reporting on the transaction, site parameters, column rights, the clock, random
// numbers, amounts in words). A host derives from `HostServices` and overrides what it does
// differently; the defaults here serve printctl, the demo and the tests.
//
// The string helpers `f_str_isnull` and `f_posback` are the same in every host and are plain
// functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"
#include "common/decimal.h"

namespace print::service {

class HostContext;

class HostServices {
public:
    virtual ~HostServices() = default;

    // Reports the error of the statement that just failed on `sqlca` in a message box titled
    // "错误" with the stop-sign icon, and rolls the transaction back so that a failed save
    // never leaves half its work waiting for the next commit.
    virtual void f_ora_err(HostContext& host);
    // The site parameter `code` from t_Privatepara; "" when there is none or it cannot be read.
    virtual std::string f_getprivpara(HostContext& host, std::string_view code);
    // Whether the operator may see a column, by its name and by its tag. The default grants
    // every column.
    virtual bool f_colname_denicolumn(HostContext& host, std::string_view columnName);
    virtual bool f_coltag_denicolumn(HostContext& host, std::string_view columnTag);
    virtual DateTime f_getsysdatetime(HostContext& host);
    // A non-negative whole number below 100000 (printed with the picture "00000").
    virtual long f_random(HostContext& host);
    virtual std::string gf_moneytostring(HostContext& host, const Decimal& amount);
};

// True when the string is null or empty.
bool f_str_isnull(std::string_view s);
bool f_str_isnull(const std::string& s);
bool f_str_isnull(const char* s);
bool f_str_isnull(const std::optional<std::string>& s);

// 1-based position of the last occurrence of `part` in `text` (searching back from the end);
// 0 when absent or either is empty. `start` is kept for the callers' signature (always 1).
long f_posback(std::string_view text, std::string_view part, long start = 1);

}  // namespace print::service
