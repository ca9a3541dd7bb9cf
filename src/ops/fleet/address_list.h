#pragma once

// Lists of base addresses as the operator types them ("40,48,56"): read by
// the command line's --addresses= and the batch write dialog.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zep8 {

// "40,48,56" (with `separator` ','), or "40 48, 56" (with ' ': blanks and
// commas alike): base addresses, none twice. Nothing, and the reason in
// `why`, for anything else.
std::optional<std::vector<int>> ReadAddressList(std::string_view text, char separator,
                                                std::string& why);

}  // namespace zep8
