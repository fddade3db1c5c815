// What the panels share: reading a report property as the value it holds, writing a text into
// a Modify command, and the font dialog on a row of an item list.
#pragma once

#include <optional>
#include <string>

#include "engine/datastore.h"
#include "platform/datawindow_control.h"
#include "platform/services.h"

namespace print::panels {

// A property as the operator sees it: Describe's answer without the quotes it puts around
// values holding a tab, a line end, "!" or "?"; for an expression ("default<TAB>expression")
// the default value. `absent` is true for "?" and "!".
struct PropertyValue {
    std::string raw;  // the answer as it came
    std::string value;
    bool absent = false;
    bool expression = false;
};
PropertyValue describeValue(const engine::DataStore& report, const std::string& path);

// How far a form's shown objects reach across (x + width) or down (y + height), in its units.
long formExtent(const engine::DataStore& form, bool across);

// The whole number of a text, nullopt when it is none ("12", "-9", "12.0").
std::optional<long> wholeNumber(const std::string& text);
// A number as the platform writes it to text: shortest form, no grouping ("1.5", "100").
std::string numberText(const Decimal& value);

// The row's text of a column ("" for null or a missing row), and its number.
std::string itemText(const engine::DataStore& form, long row, const std::string& column);
std::optional<Decimal> itemNumber(const engine::DataStore& form, long row,
                                  const std::string& column);

// The font dialog on row `row` of an item list (columns fontface, fontheight, fontweight,
// fontitalic, fontstrth, fontundline, textcolor): true when the operator chose a font and the
// row now holds it.
bool chooseFontForRow(platform::Services& services, platform::DataWindowControl& list, long row);

// Moves the preview of `report` one page on (+1) or back (-1): the new page, or -1.
long scrollPage(engine::DataStore& report, int direction);

}  // namespace print::panels
