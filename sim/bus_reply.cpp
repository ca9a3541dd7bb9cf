#include "sim/bus_reply.h"

#include <algorithm>

namespace zep8::sim {

Reply Collision(const std::vector<Reply>& replies) {
    Reply collision;
    collision.delay = replies.front().delay;
    std::size_t length = 0;
    for (const Reply& r : replies) {
        collision.delay = std::min(collision.delay, r.delay);
        length = std::max(length, r.bytes.size());
    }
    collision.bytes.assign(length, '?');
    collision.bytes.back() = '\r';
    return collision;
}

}  // namespace zep8::sim
