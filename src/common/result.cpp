#include "common/result.h"

namespace print {

std::string Error::describe() const {
    if (line <= 0) return message;
    return "Line " + std::to_string(line) + " Column " + std::to_string(column) + ": " + message;
}

}  // namespace print
