#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "sim/virtual_module.h"

namespace zep8::sim {

// What the program hears back when every module on a line gets `frame`: the
// one reply, nothing, or noise when two answer at once. `hears` tells whether
// a module hears the program's line settings at all; `misheard` is set when
// one did not.
template <typename Hears>
std::optional<Reply> BusReply(const std::vector<VirtualModule*>& modules, std::string_view frame,
                              Hears hears, bool& misheard);

// Two transmitters at once: the program receives noise as long as the
// longest reply, from the earliest start on.
Reply Collision(const std::vector<Reply>& replies);

template <typename Hears>
std::optional<Reply> BusReply(const std::vector<VirtualModule*>& modules, std::string_view frame,
                              Hears hears, bool& misheard) {
    misheard = false;
    std::vector<Reply> replies;
    for (VirtualModule* module : modules) {
        if (!hears(*module)) {
            misheard = true;
            continue;
        }
        if (std::optional<Reply> reply = module->handleFrame(frame)) replies.push_back(*reply);
    }
    if (replies.size() <= 1) {
        return replies.empty() ? std::nullopt : std::optional<Reply>(replies.front());
    }
    return Collision(replies);
}

}  // namespace zep8::sim
