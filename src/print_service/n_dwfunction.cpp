#include "print_service/n_dwfunction.h"

#include <algorithm>

#include "common/text.h"

namespace print::service {

std::optional<std::string> n_dwfunction::of_getitemvalue(const engine::DataStore& dw, long row,
                                                         std::string_view column) const {
    std::optional<Value> value = dw.GetItem(row, column);
    if (!value || value->isNull()) return std::nullopt;
    return value->toText();
}

int n_dwfunction::of_movedwobject(engine::DataStore& dw, std::string_view object,
                                  std::string_view band) const {
    if (dw.SetPosition(object, band, false) != 1) return -1;
    // Kept at its y, an object may lie below the new band's bottom, where the band cuts it off:
    // it goes up until it fits (to the band's top when it is taller than the band).
    const auto height = parseInteger(dw.Describe("DataWindow." + std::string(band) + ".Height"));
    if (!height) return 1;
    const std::string name(object);
    const bool line = dw.Describe(name + ".type") == "line";
    const auto y1 = parseInteger(dw.Describe(name + (line ? ".y1" : ".y")));
    const auto y2 =
        line ? parseInteger(dw.Describe(name + ".y2")) : [&]() -> std::optional<int64_t> {
        const auto h = parseInteger(dw.Describe(name + ".height"));
        if (!y1 || !h) return std::nullopt;
        return *y1 + *h;
    }();
    if (!y1 || !y2) return 1;
    const int64_t top = std::min(*y1, *y2), bottom = std::max(*y1, *y2);
    const int64_t placed = std::max<int64_t>(0, std::min(top, *height - (bottom - top)));
    if (placed == top) return 1;
    const int64_t shift = placed - top;
    if (line)
        dw.Modify(name + ".y1='" + std::to_string(*y1 + shift) + "' " + name + ".y2='" +
                  std::to_string(*y2 + shift) + "'");
    else
        dw.Modify(name + ".y='" + std::to_string(*y1 + shift) + "'");
    return 1;
}

int n_dwfunction::of_setdwtrans(engine::DataStore& dw) const {
    if (!dw.isCreated()) return -1;
    std::string command = "DataWindow.Color='536870912'";
    for (const std::string& band : split(dw.Describe("DataWindow.Bands"), '\t')) {
        if (band.empty() || band == "!" || band == "?") continue;
        command += " DataWindow." + band + ".Color='536870912'";
    }
    for (const auto& object : dw.objects()) {
        if (!object.isObject || object.name.empty()) continue;
        const std::string& kind = object.kind;
        if (kind != "text" && kind != "column" && kind != "compute" && kind != "report" &&
            kind != "button" && kind != "groupbox")
            continue;
        command += " " + object.name + ".Background.Mode='1' " + object.name +
                   ".Background.Color='553648127'";
    }
    return dw.Modify(command).empty() ? 1 : -1;
}

}  // namespace print::service
