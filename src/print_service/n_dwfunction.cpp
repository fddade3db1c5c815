#include "print_service/n_dwfunction.h"

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
    return dw.SetPosition(object, band, false);
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
