#pragma once

// The waits of a line worked out from its speed and character format, set
// when a port opens, and the wait of a probe.

#include <cstdint>

namespace zep8 {

// Time-outs of the line, derived from the character time.
struct LineTimings {
    float characterTime = 0;         // milliseconds: ten bits, plus parity, plus a second stop bit
    int readInterval = 0;            // ms; 3.5 characters in ModBUS-RTU, else 1.5
    int readTotalMultiplier = 0;     // ms
    std::uint16_t replyTimeout = 0;  // ms a reply may take
    int rtuSilence = 0;              // ms of silence that end a ModBUS-RTU reply
};

// The silence (ms) after which nothing more of a reply is under way: the
// gap that ends a reply, and what a USB adapter may hold bytes back.
int QuietGap(const LineTimings& timings);

LineTimings ComputeLineTimings(unsigned baudRate, bool parity, bool twoStopBits, int protocolMode);

// The shortest wait (ms) that is still sure to see a reply of the own protocol
// to a request without data: the longest reply on the wire, the longest
// response delay a module can be set to, and the system's latency; with an
// automatic converter also the request, which is still being sent when the
// wait begins (the program keys a semi-automatic one and sends it out first).
int ProbeReplyWait(unsigned baudRate, bool parity, bool twoStopBits, bool requestStillSending);

}  // namespace zep8
