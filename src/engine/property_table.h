// The properties the engine knows for each object kind and for the report itself, with their
// defaults and how their values are kept.
//
// A property missing from the table is still known for an object whose definition carries it
// (what a definition says is kept and answered). Paths are lower case here; callers compare
// without regard to case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace print::engine {

enum class PropertyKind {
    Text,     // any text
    YesNo,    // stored "yes"/"no"; true/1 read as yes, false/0 as no
    OneZero,  // stored "1"/"0"; yes/true read as 1, no/false as 0
    ReadOnly  // answered by Describe, refused by Modify
};

struct PropertyInfo {
    PropertyKind kind = PropertyKind::Text;
    // What a property that was never set means; nullopt when it then has no value (a tag, a
    // text, a document name), and Describe answers "?", which callers read as absent.
    std::optional<std::string_view> defaultValue;
};

// Known properties of an object kind ("text", "column", ...); nullopt when unknown.
std::optional<PropertyInfo> objectProperty(std::string_view kind, std::string_view property);
// Known `DataWindow.` properties stored in the datawindow(...) block ("units",
// "print.margin.top", ...); nullopt when unknown.
std::optional<PropertyInfo> reportProperty(std::string_view property);
// Whether `kind` is one of the object kinds the engine draws.
bool isObjectKind(std::string_view kind);
// Whether a property of an object or band may hold `default<TAB>expression` (the properties
// marked "(exp)" by the platform: colours, sizes, positions, fonts, format, visible, ...).
bool takesExpression(std::string_view property);

// The symbologies `barcode.type` names, in lower case; and whether `type` (any letter case,
// blanks around it ignored) is one of them.
const std::vector<std::string_view>& barcodeTypes();
bool isBarcodeType(std::string_view type);

// Applies the kind's reading of booleans: "True" becomes "yes" for a YesNo property, "no"
// becomes "0" for a OneZero property. Values holding an expression are kept as they are.
std::string normaliseValue(PropertyKind kind, std::string value);

}  // namespace print::engine
