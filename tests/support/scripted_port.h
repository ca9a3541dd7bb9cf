#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/exchange/frame_codec.h"
#include "link/line/line_port.h"

namespace zep8::testing {

// Name hashes of what scripts answer most: "dev", "M.s.t.r." and "n.Err".
inline constexpr std::uint16_t kDev = 0xD681, kAttributes = 0x5EA0, kError = 0x0233;

// A line that answers from a script, without any waiting: each transfer takes
// the next scripted outcome (result and received characters) and records the
// frame it was given. With the script empty it times out.
class ScriptedPort : public LinePort {
  public:
    struct Outcome {
        int result = TRANSFER_OK;
        std::string received;
    };

    int Open() override {
        ++opens;
        open_ = openResult == OPEN_OK;
        return openResult;
    }
    int Close() override {
        if (!open_) return -2;
        open_ = false;
        return 0;
    }
    bool IsOpen() const override { return open_; }
    std::string OpenFailureReason() const override { return openResult == OPEN_OK ? "" : reason; }

    int Transfer(std::string_view frame, std::string& reply) override {
        sent.emplace_back(frame);
        directionModes.push_back(directionMode.load());
        Outcome next{TRANSFER_TIMEOUT, ""};
        if (responder) {
            next = responder(std::string(frame));
        } else if (!script.empty()) {
            next = script.front();
            script.pop_front();
        }
        reply = next.received.substr(0, kMaxReply);
        return next.result;
    }

    // Going on listening takes the next scripted outcome, and sends nothing.
    int Listen(std::string& reply) override {
        ++listens;
        Outcome next{TRANSFER_TIMEOUT, ""};
        if (!responder && !script.empty()) {
            next = script.front();
            script.pop_front();
        }
        reply = next.received.substr(0, kMaxReply);
        return next.result;
    }
    void AwaitQuiet() override { ++quietWaits; }

    // A reply frame of the own protocol, as the module would send it.
    static std::string Reply(std::uint16_t hash, std::vector<std::uint8_t> data, int address = 16) {
        RequestFrame f;
        f.address = address;
        f.hash = hash;
        f.data = data;
        return *BuildRequestText(f);
    }
    void Answer(std::uint16_t hash, std::vector<std::uint8_t> data) {
        script.push_back({TRANSFER_OK, Reply(hash, std::move(data))});
    }
    void Add(int result, std::string received = "") {
        script.push_back({result, std::move(received)});
    }

    // The decoded request frames sent so far.
    std::vector<ReplyFrame> Requests() const {
        std::vector<ReplyFrame> frames;
        for (const auto& s : sent) frames.push_back(ParseReplyText(s));
        return frames;
    }

    std::deque<Outcome> script;
    std::function<Outcome(const std::string&)> responder;
    std::vector<std::string> sent;
    std::vector<int> directionModes;
    int openResult = OPEN_OK;
    std::string reason = "Порт /dev/ttyS0 не найден: такого устройства нет.";
    int opens = 0;
    int listens = 0;
    int quietWaits = 0;

  private:
    bool open_ = false;
};

}  // namespace zep8::testing
