#include "panels/panel_support.h"

#include <cmath>

#include "common/text.h"
#include "print_service/nvo_commdlg.h"

namespace print::panels {

PropertyValue describeValue(const engine::DataStore& report, const std::string& path) {
    PropertyValue v;
    v.raw = const_cast<engine::DataStore&>(report).Describe(path);
    if (v.raw == "?" || v.raw == "!") {
        v.absent = true;
        return v;
    }
    std::string text = v.raw;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    const size_t tab = text.find('\t');
    if (tab != std::string::npos && v.raw.front() == '"') {
        v.expression = true;
        text = text.substr(0, tab);
    }
    v.value = text;
    return v;
}

long formExtent(const engine::DataStore& form, bool across) {
    long extent = 0;
    for (const engine::ReportObject& object : form.objects()) {
        if (!object.isObject || trim(object.attrs.get("visible")) == "0") continue;
        const auto at = wholeNumber(object.attrs.get(across ? "x" : "y"));
        const auto size = wholeNumber(object.attrs.get(across ? "width" : "height"));
        if (at && size) extent = std::max(extent, *at + *size);
    }
    return extent;
}

std::optional<long> wholeNumber(const std::string& text) {
    if (auto n = parseInteger(trim(text))) return static_cast<long>(*n);
    if (auto d = Decimal::parse(text)) return static_cast<long>(d->toInt64());
    return std::nullopt;
}

std::string numberText(const Decimal& value) {
    return value.toString();
}

std::string itemText(const engine::DataStore& form, long row, const std::string& column) {
    std::optional<Value> v = form.GetItem(row, column);
    return v && !v->isNull() ? v->toText() : std::string();
}

std::optional<Decimal> itemNumber(const engine::DataStore& form, long row,
                                  const std::string& column) {
    std::optional<Value> v = form.GetItem(row, column);
    if (!v || v->isNull()) return std::nullopt;
    return v->toDecimal();
}

bool chooseFontForRow(platform::Services& services, platform::DataWindowControl& list, long row) {
    if (row < 1 || row > list.RowCount()) return false;
    auto num = [&](const char* column, long fallback) {
        auto d = itemNumber(list, row, column);
        return d ? std::lround(d->toDouble()) : fallback;
    };
    service::nvo_commdlg dialog(services);
    dialog.facename = itemText(list, row, "fontface");
    dialog.rgbcolors = num("textcolor", 0);
    // The engine's point height into the dialog's pixel height at 96 DPI: -9 becomes -12.
    dialog.height = std::lround(num("fontheight", -9) * 4.0 / 3.0);
    dialog.weight = num("fontweight", 400);
    dialog.italic = num("fontitalic", 0) == 1;
    dialog.underline = num("fontundline", 0) == 1;
    dialog.strikeout = num("fontstrth", 0) == 1;
    dialog.flags = service::nvo_commdlg::of_bitor(
        service::nvo_commdlg::of_bitor(service::nvo_commdlg::of_bitor(131072, 3), 256), 64);
    if (dialog.fontdialog() == 0) return false;
    list.SetItem(row, "textcolor", Value(static_cast<int64_t>(dialog.rgbcolors)));
    list.SetItem(row, "fontface", Value(dialog.facename));
    list.SetItem(row, "fontheight",
                 Value(static_cast<int64_t>(std::lround(dialog.height * 3 * 0.25))));
    list.SetItem(row, "fontweight", Value(static_cast<int64_t>(dialog.weight)));
    list.SetItem(row, "fontitalic", Value(static_cast<int64_t>(dialog.italic ? 1 : 0)));
    list.SetItem(row, "fontstrth", Value(static_cast<int64_t>(dialog.strikeout ? 1 : 0)));
    list.SetItem(row, "fontundline", Value(static_cast<int64_t>(dialog.underline ? 1 : 0)));
    return true;
}

long scrollPage(engine::DataStore& report, int direction) {
    const long before = layout::layoutOf(report).currentPage();
    const long row = direction < 0 ? report.ScrollPriorPage() : report.ScrollNextPage();
    if (row < 0) return -1;
    const long after = layout::layoutOf(report).currentPage();
    return after == before ? -1 : after;
}

}  // namespace print::panels
