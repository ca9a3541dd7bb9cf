#include "link/line_timings.h"

#include <cmath>

#include "link/frame_codec.h"
#include "platform/process_state.h"

namespace zep8 {

LineTimings ComputeLineTimings(unsigned baudRate, bool parity, bool twoStopBits, int protocolMode) {
    LineTimings t;
    if (baudRate == 0) return t;
    // The byte size does not count: a character is taken as ten bits.
    const float bits = 10000.0f + (parity ? 1000.0f : 0.0f) + (twoStopBits ? 1000.0f : 0.0f);
    t.characterTime = bits / static_cast<float>(baudRate);
    const float rtuGap = t.characterTime * 3.5f;
    t.readInterval = static_cast<int>(
        std::ceil(protocolMode == PROTOCOL_MODBUS_RTU ? rtuGap : t.characterTime * 1.5f));
    t.readTotalMultiplier = static_cast<int>(std::ceil(t.readInterval + t.characterTime));
    t.replyTimeout = static_cast<std::uint16_t>(t.readTotalMultiplier * 30 + 50);
    t.rtuSilence = static_cast<int>(std::ceil(rtuGap));
    return t;
}

int ProbeReplyWait(unsigned baudRate, bool parity, bool twoStopBits, bool requestStillSending) {
    const int requestChars = requestStillSending ? 1 + 2 * static_cast<int>(kFrameOverhead) + 1 : 0;
    constexpr int kLongestReplyChars =
        1 + 2 * static_cast<int>(kFrameOverhead + kMaxRequestData) + 1;
    constexpr int kMaxResponseDelayMs = 50;  // "RS.dL" at most
    constexpr int kSystemMarginMs = 30;      // USB adapters hold bytes up to 16 ms
    const LineTimings t = ComputeLineTimings(baudRate, parity, twoStopBits, PROTOCOL_OWN);
    return static_cast<int>(std::ceil((requestChars + kLongestReplyChars) * t.characterTime)) +
           kMaxResponseDelayMs + kSystemMarginMs;
}

}  // namespace zep8
