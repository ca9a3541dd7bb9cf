#pragma once

// An edit of one of the program's port settings in the port set-up table,
// checked as the tree checks it. Used by the port set-up dialog.

#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

class NetRS485prg;
class Prompter;

// An edit of one of the program's port settings outside the configuration
// tree (the port set-up table): the same checks as in the tree, so the
// program never tries a character format or address the module refuses.
// The text to store, or nothing after telling the operator why not. The port
// takes any name or path: the machine's list is only a choice of known ones.
std::optional<std::string> CheckProgramSetting(const NetRS485prg& node, std::string_view name,
                                               std::string_view text, Prompter& prompter);

}  // namespace zep8
