#include "link/exchange/reply_check.h"

#include <algorithm>
#include <array>

#include "model/name_hash.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kErrorHash = 0x0233;       // "n.Err"
constexpr std::uint16_t kAttributesHash = 0x5EA0;  // "M.s.t.r."
constexpr int kBroadcastAddress = 255;
constexpr std::uint8_t kFirstTransmissionError = 0x21;
constexpr std::uint8_t kLastTransmissionError = 0x27;

bool OnlyLetters(std::string_view received) {
    // "#", pairs of letters G..V, and the carriage return when it was kept.
    std::string_view letters = received.substr(1);
    if (!letters.empty() && letters.back() == kFrameEnd) letters.remove_suffix(1);
    if (letters.size() % 2 != 0) return false;
    return std::ranges::all_of(letters, [](char c) { return c >= 'G' && c <= 'V'; });
}

bool FromTheModuleAsked(const ReplyFrame& frame, const RequestFrame& request) {
    if (request.address == kBroadcastAddress) return true;
    const int mask = request.elevenBitAddress ? 0x7FF : 0xFF;
    return ReplyAddress(frame, request.elevenBitAddress) == (request.address & mask);
}

// An attribute reply is the attribute byte, then the index and the name as asked.
bool EchoesTheRequest(const ReplyFrame& frame, const RequestFrame& request) {
    if (request.hash != kAttributesHash || frame.data.empty()) return true;
    std::span<const std::uint8_t> asked = request.data;
    if (!request.read && !asked.empty()) asked = asked.subspan(1);  // the attribute byte written
    const std::span<const std::uint8_t> echoed = std::span(frame.data).subspan(1);
    const std::size_t n = std::min(asked.size(), echoed.size());
    return std::equal(echoed.begin(), echoed.begin() + static_cast<std::ptrdiff_t>(n),
                      asked.begin());
}

}  // namespace

CheckedReply CheckReply(std::string_view received, const RequestFrame& request) {
    CheckedReply checked;
    checked.frame = ParseReplyText(received);
    const ReplyFrame& frame = checked.frame;
    if (!frame.checksumOk || !OnlyLetters(received)) {
        checked.kind = ReplyKind::Damaged;
    } else if (!FromTheModuleAsked(frame, request)) {
        checked.kind = ReplyKind::Stray;
        checked.otherModule = true;
    } else if (frame.hash == kErrorHash && frame.hash != request.hash) {
        checked.kind = ReplyKind::ModuleError;
    } else if (frame.hash == request.hash && EchoesTheRequest(frame, request)) {
        checked.kind = ReplyKind::Answer;
    } else {
        checked.kind = ReplyKind::Stray;
    }
    return checked;
}

bool IsTransmissionError(std::uint8_t code) {
    return code >= kFirstTransmissionError && code <= kLastTransmissionError;
}

bool RepeatsOnBadReply(std::uint16_t hash) {
    static const std::array<std::uint16_t, 8> kCommands = {
        hash_name("APLY"),  hash_name("M.s.t.r."), hash_name("CLB.I"), hash_name("CLB.S"),
        hash_name("CLB.T"), hash_name("CLB.G"),    hash_name("CLB.P"), hash_name("CLB.A")};
    return std::ranges::find(kCommands, hash) == kCommands.end();
}

}  // namespace zep8
