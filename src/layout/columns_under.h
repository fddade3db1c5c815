// Which column of a list a summary or trailer field belongs to: the total under a column that
// goes with it when a grid shows the column elsewhere or the columns page moves it. The grid
// layout and the columns page decide it by these same rules, so that a total the page moves is
// the one the grid moves:
//   1. a computed field whose expression names one column alone, when it lies under that
//      column (a QR code of the bill's figures at the left is under no amount column);
//   2. else the field that begins where a column begins;
//   3. else the field whose box spans one column's box and no other's.
// Lookups take time in the number of names of the expression and the columns the field spans,
// so that a list of thousands of columns and totals is matched in about linear time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace print::layout {

class ColumnsUnder {
public:
    struct Column {
        std::string name;  // as expressions name it (any letter case)
        double x = 0;
        double width = 0;
    };
    // `columns` in any order; where two share a name or an x, the first given counts.
    explicit ColumnsUnder(std::vector<Column> columns);

    // The index (into the columns as given) of the column the field at `x`, `width` wide, is
    // under; `expression` is a computed field's expression, empty for any other field. Nullopt
    // when it is under none, or under several alike.
    std::optional<size_t> find(std::string_view expression, double x, double width) const;

private:
    std::vector<Column> m_columns;
    std::unordered_map<std::string, size_t> m_byName;  // lower case
    std::unordered_map<double, size_t> m_byX;
    std::vector<size_t> m_byLeft;  // indices in the order of their x
    std::vector<double> m_lefts;   // their x, in that order
};

}  // namespace print::layout
