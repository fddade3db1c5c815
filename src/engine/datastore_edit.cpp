// Edit styles on typed text: what an operator may enter into a form's cell.
#include "common/text.h"
#include "engine/datastore.h"

namespace print::engine {

namespace {

bool flagOn(const AttributeList& attrs, std::string_view name) {
    const std::string v = asciiLower(attrs.get(name));
    return v == "yes" || v == "1" || v == "true";
}

// The code table "display<TAB>data/display<TAB>data/" as pairs.
std::vector<std::pair<std::string, std::string>> codeTable(const std::string& values) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& entry : split(values, '/')) {
        if (entry.empty()) continue;
        const size_t tab = entry.find('\t');
        if (tab == std::string::npos)
            out.emplace_back(entry, entry);
        else
            out.emplace_back(entry.substr(0, tab), entry.substr(tab + 1));
    }
    return out;
}

bool sameValue(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const auto x = Decimal::parse(a), y = Decimal::parse(b);
    return x && y && *x == *y;
}

}  // namespace

std::optional<std::string> DataStore::editStyleValue(int columnIndex,
                                                     const std::string& text) const {
    const ColumnView& view = columnView(columnIndex);
    if (!view.object) return text;
    const AttributeList& attrs = view.object->attrs;
    const std::string& style = view.editStyle;

    if (style == "checkbox") {
        for (const char* state : {"checkbox.on", "checkbox.off", "checkbox.other"}) {
            const Attribute* a = attrs.find(state);
            if (a && sameValue(a->value, text)) return a->value;
        }
        return std::nullopt;
    }
    if (style == "dddw") {
        DataStore* child = dddwChild(columnIndex);
        if (child && !text.empty()) {
            const std::string dataColumn = attrs.get("dddw.datacolumn");
            const std::string displayColumn = attrs.get("dddw.displaycolumn");
            for (long r = 1; r <= child->RowCount(); ++r) {
                const auto data = child->GetItem(r, dataColumn);
                if (data && !data->isNull() && sameValue(data->toText(), text))
                    return data->toText();
            }
            for (long r = 1; r <= child->RowCount(); ++r) {
                const auto display = child->GetItem(r, displayColumn);
                if (display && !display->isNull() && display->toText() == text) {
                    const auto data = child->GetItem(r, dataColumn);
                    return data && !data->isNull() ? data->toText() : std::string();
                }
            }
            if (!flagOn(attrs, "dddw.allowedit")) return std::nullopt;
        }
        return text;
    }
    if (const Attribute* values = attrs.find("values"); values && !text.empty()) {
        const auto table = codeTable(values->value);
        for (const auto& [display, data] : table)
            if (sameValue(data, text)) return data;
        for (const auto& [display, data] : table)
            if (display == text) return data;
        const bool editable = (style == "ddlb" && flagOn(attrs, "ddlb.allowedit")) ||
                              (style == "edit" && !flagOn(attrs, "edit.codetable")) ||
                              style == "editmask";
        if (!editable) return std::nullopt;
    }
    if (style == "editmask") {
        const std::string range = attrs.get("editmask.spinrange");
        const size_t tilde = range.find('~');
        if (flagOn(attrs, "editmask.spin") && tilde != std::string::npos && !text.empty()) {
            const auto low = Decimal::parse(range.substr(0, tilde));
            const auto high = Decimal::parse(range.substr(tilde + 1));
            const auto number = Decimal::parse(text);
            if (low && high && number && (*number < *low || *number > *high)) return std::nullopt;
        }
    }
    return text;
}

}  // namespace print::engine
