// Checks a definition text without building a report: the library import uses it to refuse a
// definition that could not be opened again.
#pragma once

#include <string_view>

#include "common/result.h"

namespace print::engine {

// Success, or the parser's Error with line and column.
Status checkDefinitionText(std::string_view text);

}  // namespace print::engine
