// The component's own report definitions: the page frames (`d_print`, `d_printcharge_1` ...),
// the placeholder list `d_print_tmp`, the template lists `d_reptemplate` and `d_billtemplate`,
// the settings forms, and `d_goodsbase_print` and `d_temp` for hosts. They are compiled into the
// program and go first on the application's library search list, so that a library of the host
// cannot replace them by accident.
#pragma once

#include <string_view>
#include <vector>

namespace print::report_defs {

struct Definition {
    std::string_view name;
    std::string_view text;
};

// Every definition, ordered by name.
const std::vector<Definition>& definitions();

// Puts the definitions first on the application's library search list (idempotent).
void install();

}  // namespace print::report_defs
