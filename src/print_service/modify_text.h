// Values pasted into `Modify` commands and `Find` expressions. Text that comes from data or from
// the operator (a supplier called O'Brien, a remark holding `~`, a title with a line break) is
// quoted and escaped as the definition syntax reads it, so that it arrives whole; the escaping
// itself is the common one (common/text.h), which the engine uses too.
#pragma once

#include "common/text.h"

namespace print::service {

using print::modifyEscape;
using print::modifyQuote;

}  // namespace print::service
