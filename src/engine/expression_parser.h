// Text to expression tree. Private to the expression module.
#pragma once

#include <memory>
#include <string_view>

#include "common/result.h"
#include "engine/expression_node.h"

namespace print::engine {

// The tree of `text`, or an Error at line 1 and the 1-based character where parsing stopped.
Result<std::unique_ptr<ExprNode>> parseExpression(std::string_view text);

}  // namespace print::engine
