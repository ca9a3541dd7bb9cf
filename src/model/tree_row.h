#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zep8 {

class InvisibleElement;
class Parameter;
class Prompter;

struct RowColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const RowColour&) const = default;
};
inline constexpr RowColour kRowNormal{0, 0, 0};
inline constexpr RowColour kRowError{200, 0, 0};
inline constexpr RowColour kRowPending{0, 175, 0};

// Everything the tree-list shows for one item; the control only draws it.
struct TreeRow {
    std::string text;
    int image = 0;
    int selectedImage = 0;
    bool editAsText = false;             // edited in a text field
    bool editAsChoice = false;           // edited by choosing one of the enumeration's items
    std::array<std::string, 5> columns;  // 1 name, 2 value, 3 attribute, 4 error; 0 unused
    RowColour colour = kRowNormal;
};

// The row of a parameter under its node's item. `showIndexes` is the
// diagnostic display of linear indexes.
TreeRow DescribeParameterRow(const Parameter& parameter, const InvisibleElement& owner,
                             bool showIndexes);
// The node's own item. Finding its linear index may warn about odd indexes.
TreeRow DescribeNodeItem(const InvisibleElement& node, bool showIndexes, Prompter& prompter);

}  // namespace zep8
