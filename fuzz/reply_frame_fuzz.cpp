// Replies of the module's own protocol as the line delivers them, into the
// frame codec and the transaction engine's reply checks. Besides crashes it
// checks that
// - a reply the codec takes re-encodes to the same frame,
// - a request frame built from the input's bytes decodes to what it was built from,
// - the engine accepts a reply only when the codec takes it under the hash
//   that was asked for, hands on exactly its data, and gives a reason for
//   every refusal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/exchange/device_io.h"
#include "link/exchange/frame_codec.h"
#include "model/check_sum.h"
#include "platform/recording_prompter.h"

namespace {

using namespace zep8;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// A line whose every transfer brings the same characters.
class FixedReplyPort : public LinePort {
  public:
    int Open() override {
        open_ = true;
        return OPEN_OK;
    }
    int Close() override {
        open_ = false;
        return 0;
    }
    bool IsOpen() const override { return open_; }
    int Transfer(std::string_view, std::string& reply) override {
        reply = received.substr(0, kMaxReply);
        return received.empty() ? TRANSFER_TIMEOUT : TRANSFER_OK;
    }
    std::string received;

  private:
    bool open_ = true;
};

std::string Letters(const std::vector<std::uint8_t>& bytes) {
    std::string text(1 + 2 * bytes.size() + 1, kFrameStart);
    encode_buffer(bytes.data(), bytes.size(), text.data() + 1);
    text.back() = kFrameEnd;
    return text;
}

bool SameFrame(const ReplyFrame& a, const ReplyFrame& b) {
    return a.checksumOk == b.checksumOk && a.flags == b.flags && a.hash == b.hash &&
           a.data == b.data;
}

// "#", letters G..V in pairs, carriage return: what the module itself sends.
bool Canonical(std::string_view text) {
    if (text.size() < 2 || text.front() != kFrameStart || text.back() != kFrameEnd) return false;
    if (text.size() % 2 != 0) return false;
    for (char c : text.substr(1, text.size() - 2)) {
        if (c < 'G' || c > 'V') return false;
    }
    return true;
}

void CheckCodec(std::string_view text) {
    const ReplyFrame parsed = ParseReplyText(text);
    if (!parsed.checksumOk) return;
    if (parsed.data.size() != (parsed.flags & 0x0Fu)) Fail("data length differs from the flags");
    std::uint8_t first = 0;
    decode_buffer(text.data() + 1, 2, &first);
    std::vector<std::uint8_t> bytes{first, parsed.flags,
                                    static_cast<std::uint8_t>(parsed.hash >> 8),
                                    static_cast<std::uint8_t>(parsed.hash & 0xFF)};
    bytes.insert(bytes.end(), parsed.data.begin(), parsed.data.end());
    const std::uint16_t sum = hash_buffer(bytes.data(), bytes.size());
    bytes.push_back(static_cast<std::uint8_t>(sum >> 8));
    bytes.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    const std::string rebuilt = Letters(bytes);
    if (!SameFrame(ParseReplyText(rebuilt), parsed)) Fail("a re-encoded reply decodes differently");
    // Bytes after the check sum go into the computed sum but are not kept:
    // only a reply without them can come back the same.
    const bool nothingAfterSum = (text.size() - 2) / 2 == parsed.data.size() + kFrameOverhead;
    if (Canonical(text) && nothingAfterSum && rebuilt != text) {
        Fail("a reply does not re-encode to its own frame");
    }
}

void CheckRequest(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return;
    RequestFrame request;
    request.elevenBitAddress = (data[0] & 0x01) != 0;
    request.read = (data[0] & 0x02) != 0;
    request.address = request.elevenBitAddress ? ((data[1] << 8) | data[2]) & 0x7FF : data[1];
    request.hash = static_cast<std::uint16_t>((data[2] << 8) | data[3]);
    request.data = std::span(data + 4, std::min<std::size_t>(size - 4, kMaxRequestData));
    const std::optional<std::string> text = BuildRequestText(request);
    if (!text) Fail("a request of at most 15 data bytes was not built");
    const ReplyFrame parsed = ParseReplyText(*text);
    const std::vector<std::uint8_t> sent(request.data.begin(), request.data.end());
    if (!parsed.checksumOk || parsed.hash != request.hash || parsed.data != sent ||
        ((parsed.flags & 0x10) != 0) != request.read) {
        Fail("a request frame does not decode to what it was built from");
    }
}

struct Engine {
    RecordingPrompter prompter;
    FixedReplyPort* port = nullptr;
    std::unique_ptr<DeviceIO> io;
    Engine() {
        auto line = std::make_unique<FixedReplyPort>();
        port = line.get();
        io = std::make_unique<DeviceIO>(std::move(line), prompter);
        port->settings.baseAddress = 16;
    }
};

void CheckEngine(std::uint8_t selector, std::string_view text) {
    static Engine engine;
    static constexpr std::string_view kNames[] = {"rEAd", "ver", "dev",  "in-t",
                                                  "Addr", "bPS", "exit", "n.Err"};
    const std::string_view name = kNames[(selector >> 1) & 0x07];
    const bool read = (selector & 0x01) != 0;
    engine.port->received = std::string(text);
    const std::uint8_t value[] = {0x10, 0x05};
    std::vector<std::uint8_t> reply;
    std::string errorText;
    const bool ok = engine.io->Exchange(read, name, read ? std::span<const std::uint8_t>{} : value,
                                        reply, errorText, 0);
    if (!ok) {
        if (errorText.empty()) Fail("a refused reply without a reason");
        return;
    }
    const ReplyFrame parsed = ParseReplyText(text.substr(0, kMaxReply));
    if (!errorText.empty() || !parsed.checksumOk || parsed.hash != hash_name(name) ||
        parsed.data != reply) {
        Fail("the engine took a reply the codec does not take as the answer");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckCodec(text);
    CheckRequest(data, size);
    CheckEngine(data[0], text);
    return 0;
}
