// Values pasted into `Modify` commands and `Find` expressions. Text that comes from data or from
// the operator (a supplier called O'Brien, a remark holding `~`, a title with a line break) is
// quoted and escaped as the definition syntax reads it, so that it arrives whole.
#pragma once

#include <string>
#include <string_view>

namespace print::service {

// `text` between apostrophes, with `~` → `~~`, `'` → `~'`, `"` → `~"`, tab → `~t`,
// carriage return → `~r` and line feed → `~n`.
std::string modifyQuote(std::string_view text);

// The same escaping without the surrounding apostrophes, for callers that build the quotes
// into a longer literal.
std::string modifyEscape(std::string_view text);

}  // namespace print::service
