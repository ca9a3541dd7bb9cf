#pragma once

// Whether a frame that came after a request is that request's answer, an
// error reply, a damaged frame or another module's.

#include <cstdint>
#include <string_view>

#include "link/exchange/frame_codec.h"

namespace zep8 {

// What a frame of the own protocol that came after a request is to that request.
enum class ReplyKind {
    Answer,       // this module's answer to this request
    ModuleError,  // this module's "n.Err" to this request
    Damaged,      // changed on the line: a bad check sum, a character that is no letter
    Stray,        // a sound frame, but another module's or another request's
};

struct CheckedReply {
    ReplyKind kind = ReplyKind::Damaged;
    bool otherModule = false;  // a stray frame from another address
    ReplyFrame frame;
};

// Checks `received` ("#" first) against `request`: the check sum, the
// address (any module may answer a request to 255, each with its own), the
// hash, and for "M.s.t.r." the index and name echoed behind the attribute byte.
CheckedReply CheckReply(std::string_view received, const RequestFrame& request);

// The module's error codes that say the request reached it damaged
// (framing, parity, stop bit, overrun, a bad character, a bad check sum).
bool IsTransmissionError(std::uint8_t code);

// A read or write of a parameter's value may be asked again after a bad
// reply: it changes nothing the first one did not. Commands may not: "APLY",
// the calibration's "CLB.*" and the attributes' "M.s.t.r.".
bool RepeatsOnBadReply(std::uint16_t hash);

}  // namespace zep8
