#include "engine/syntax_check.h"

#include "engine/datastore.h"

namespace print::engine {

Status checkDefinitionText(std::string_view text) {
    // Building the whole report catches what the text parser alone would let through: unknown
    // column types, objects in bands that do not exist, a missing datawindow block.
    DataStore probe;
    std::string error;
    if (probe.Create(text, error) != 1) return Error{error};
    return {};
}

}  // namespace print::engine
