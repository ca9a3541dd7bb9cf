#pragma once

// The differences between the open configuration and the module, as table
// rows: for the differences dialog, the batch write and the report.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zep8 {

class Channels;
class InvisibleElement;
class Parameter;

// One parameter whose configuration and module disagree, as a row of the
// difference table.
struct Difference {
    std::string group;      // the caption of its group, such as "Вход №3"
    std::string parameter;  // the short name, such as "in-t"
    std::string name;       // its title
    std::string configValue;
    std::string moduleValue;
};

using DifferenceList = std::vector<Difference>;

// The row for `config` against what the module holds; the attributes are
// added to the values only when they are part of the difference.
Difference MakeDifference(std::string group, const Parameter& config, const Parameter& module);
// The row for a parameter whose module value could not be read.
Difference UnreadDifference(std::string group, const Parameter& config, std::string_view error);

// The caption of the group that holds `parameter`: `first` (when given) or
// one of the inputs; the inputs' own caption for what none of them holds.
std::string GroupCaption(const Parameter& parameter, const Channels& inputs,
                         std::initializer_list<const InvisibleElement*> first);

// Rows of cells as tab-separated lines, the way a spreadsheet pastes them:
// tabs and line breaks inside a cell become spaces.
std::string TabSeparated(const std::vector<std::vector<std::string>>& rows);

}  // namespace zep8
