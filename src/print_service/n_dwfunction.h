// The host's report helper `gnu_dwfunction`: an item's value as text whatever the column's
// type, moving an object into another band, and making a report transparent for printing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/datastore.h"

namespace print::service {

class n_dwfunction {
public:
    // The item's value as text: strings as they are, numbers in shortest exact form ("12.5",
    // "-3"), dates "YYYY-MM-DD", date-times "YYYY-MM-DD HH:MM:SS", times "HH:MM:SS". nullopt
    // for a null value, a row that does not exist or a column that does not exist (computed
    // fields are read too).
    std::optional<std::string> of_getitemvalue(const engine::DataStore& dw, long row,
                                               std::string_view column) const;

    // Moves object `object` into band "header", "footer" or "summary" (any other band name of
    // the report also works), behind the band's other objects; an object that would reach below
    // the band's bottom goes up until it fits, to the band's top when it is taller than the
    // band. 1, or -1 when the object or band does not exist.
    int of_movedwobject(engine::DataStore& dw, std::string_view object,
                        std::string_view band) const;

    // Makes every band and every object with a background transparent, so that the report
    // prints on pre-printed paper; 1, or -1 when the report has no definition.
    int of_setdwtrans(engine::DataStore& dw) const;
};

}  // namespace print::service
