#pragma once

// The record of one exchange as the line saw it, and the taps that are given
// every one (the bus monitor, the trace).

#include <chrono>
#include <string>

namespace zep8 {

// One request and what came back on the line, as the port saw it.
struct ExchangeRecord {
    std::chrono::system_clock::time_point startedAt;
    std::chrono::microseconds took{0};
    int protocolMode = 0;           // the ProtocolMode at the time
    bool elevenBitAddress = false;  // own protocol: the address carries three more bits
    bool replyExpected = true;      // "APLY" is never answered
    int address = 0;                // the module's address the request went to
    int result = 0;                 // TransferResult
    bool listenedOn = false;        // nothing sent: the reply wait went on after a stray frame
    std::string sent;
    std::string received;
};

// Sees every exchange on the line. Called on the thread of the exchange with
// the link lock held, so it must be quick and must not use the link.
class ExchangeTap {
  public:
    virtual ~ExchangeTap() = default;
    virtual void OnExchange(const ExchangeRecord& record) = 0;
};

}  // namespace zep8
