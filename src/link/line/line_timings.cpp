#include "link/line/line_timings.h"

#include <cmath>

#include "link/exchange/frame_codec.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

constexpr float kMsPerSecond = 1000.0f;
// The byte size does not count: a character is taken as ten bits, plus one
// for a parity bit and one for a second stop bit.
constexpr float kCharacterBits = 10.0f;
constexpr float kParityBits = 1.0f;
constexpr float kSecondStopBits = 1.0f;
// The silence, in characters, that ends a reply: 3.5 in ModBUS-RTU (its frame
// gap), 1.5 in the other protocols.
constexpr float kRtuGapCharacters = 3.5f;
constexpr float kReadGapCharacters = 1.5f;
// The reply time-out: this many read periods, plus a fixed allowance (ms).
constexpr int kReplyTimeoutPeriods = 30;
constexpr int kReplyTimeoutAllowanceMs = 50;

}  // namespace

LineTimings ComputeLineTimings(unsigned baudRate, bool parity, bool twoStopBits, int protocolMode) {
    LineTimings t;
    if (baudRate == 0) return t;
    const float bits =
        kCharacterBits + (parity ? kParityBits : 0.0f) + (twoStopBits ? kSecondStopBits : 0.0f);
    t.characterTime = bits * kMsPerSecond / static_cast<float>(baudRate);
    const float rtuGap = t.characterTime * kRtuGapCharacters;
    t.readInterval = static_cast<int>(std::ceil(
        protocolMode == PROTOCOL_MODBUS_RTU ? rtuGap : t.characterTime * kReadGapCharacters));
    t.readTotalMultiplier = static_cast<int>(std::ceil(t.readInterval + t.characterTime));
    t.replyTimeout = static_cast<std::uint16_t>(t.readTotalMultiplier * kReplyTimeoutPeriods +
                                                kReplyTimeoutAllowanceMs);
    t.rtuSilence = static_cast<int>(std::ceil(rtuGap));
    return t;
}

int QuietGap(const LineTimings& timings) {
    constexpr int kAdapterHoldMs = 16;  // a USB adapter's latency timer
    return timings.readInterval + kAdapterHoldMs;
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
