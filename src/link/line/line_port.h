#pragma once

// The line interface every kind of line implements (a serial port, a serial
// device server, the line inside the program) and the results of a transfer.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/line/port_settings.h"
#include "link/remote/tls_settings.h"
#include "platform/event.h"

namespace zep8 {

// Results of one request/reply transfer.
enum TransferResult : int {
    TRANSFER_OK = 0,  // a reply, or nothing more to read
    TRANSFER_ABORTED = -1,
    TRANSFER_TIMEOUT = 2,
    TRANSFER_LINE_ERROR = 3,
    // The device is gone (hung up, unplugged) or cannot be opened: repeating
    // the request cannot help; the port's OpenFailureReason says why.
    TRANSFER_LINE_GONE = 4,
};

inline constexpr std::size_t kMaxReply = 31;  // characters of a reply that are kept

// What the transaction engine needs of the line: a real serial port, or a
// scripted one in tests.
class LinePort {
  public:
    virtual ~LinePort() = default;

    virtual int Open() = 0;
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;
    // Sends `frame` and collects the reply (at most kMaxReply characters).
    virtual int Transfer(std::string_view frame, std::string& reply) = 0;
    // Goes on listening, sending nothing, for the rest of the reply wait of
    // the last Transfer: the frame that came was not the answer (another
    // module's, or a late one). The same results as Transfer. A line that
    // cannot listen on hears nothing more.
    virtual int Listen(std::string& reply) {
        reply.clear();
        return TRANSFER_TIMEOUT;
    }
    // Before a request goes out again: drops what still comes until the line
    // has been quiet for a reply's gap (a torn or late reply ends meanwhile),
    // at most for one reply wait; the stop event ends it at once. A line that
    // cannot tell goes on at once.
    virtual void AwaitQuiet() {}
    // Why the last Open failed, in words for the operator; empty when it did not.
    virtual std::string OpenFailureReason() const { return {}; }
    // The network's round trip of a line to a serial device server, measured
    // when it was opened; zero for a local line.
    virtual std::chrono::microseconds RoundTrip() const { return {}; }
    // The encryption of a line to a server over TLS; nothing for any other line.
    virtual std::optional<TlsFacts> Security() const { return std::nullopt; }

    // Settings take effect at the next Open.
    PortSettings settings;
    // 0: semi-automatic converter (the program keys RTS), else automatic.
    std::atomic<int> directionMode{0};
    // Ends every wait of a transfer at once.
    Event stopEvent{Event::Reset::Manual};

    // The part of the reply wait (ms) that does not grow with the character
    // time. A command that keeps the module busy may lengthen it for its
    // exchange and put it back afterwards.
    static constexpr int kReadTotalConstant = 50;
    std::atomic<int> readTotalConstant{kReadTotalConstant};

    // When positive, the whole reply wait (ms) of a transfer, in place of the
    // one worked out from the speed: a probe that tries many settings waits
    // only as long as its own frames need.
    std::atomic<int> replyWaitOverride{0};
    // A two-wire adapter without echo cancellation hears its own request: the
    // first bytes received are then that request and are dropped.
    std::atomic<bool> echoSuppression{false};

    // The whole reply wait (ms) of a transfer whose line times out a reply
    // after `replyTimeout` ms with the usual read total constant.
    int ReplyWait(int replyTimeout) const {
        if (const int override = replyWaitOverride.load(); override > 0) return override;
        if (replyTimeout == 0) return 0;
        const int wait = replyTimeout - kReadTotalConstant + readTotalConstant.load();
        return wait > 0 ? wait : 0;
    }
};

// What bytes received for a reply gave: nothing but the request's echo, more
// of the reply, or the end of a reply of the own protocol (a carriage return).
enum class ReplyBytes { None, Taken, Ended };

// Drops what is left of the echo (`echoLeft` counts down) and keeps at most
// kMaxReply characters of the reply.
inline ReplyBytes TakeReplyBytes(std::string_view received, std::size_t& echoLeft,
                                 std::string& reply) {
    const std::size_t echoed = echoLeft < received.size() ? echoLeft : received.size();
    received.remove_prefix(echoed);
    echoLeft -= echoed;
    if (received.empty()) return ReplyBytes::None;
    const std::size_t room = reply.size() < kMaxReply ? kMaxReply - reply.size() : 0;
    reply.append(received.substr(0, room));
    return received.find('\r') != std::string_view::npos ? ReplyBytes::Ended : ReplyBytes::Taken;
}

// The same for a frame of the own protocol: what follows its carriage return
// in `received` is the next frame's and goes to `leftover`.
inline ReplyBytes TakeFrameBytes(std::string_view received, std::size_t& echoLeft,
                                 std::string& reply, std::string& leftover) {
    const std::size_t echoed = echoLeft < received.size() ? echoLeft : received.size();
    const std::size_t end = received.find('\r', echoed);
    if (end != std::string_view::npos) {
        leftover.assign(received.substr(end + 1));
        received = received.substr(0, end + 1);
    }
    return TakeReplyBytes(received, echoLeft, reply);
}

}  // namespace zep8
