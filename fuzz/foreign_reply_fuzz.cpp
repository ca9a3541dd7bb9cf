// Replies in the foreign protocols (ModBus RTU, ModBus ASCII, DCON) into
// their checks. Besides crashes it checks that a reply that is taken
// re-encodes, with the address and data it gave, to the same frame: byte for
// byte in RTU; in ASCII and DCON up to the letter case of hexadecimal digits
// and what follows the end of the frame, which the checks rightly ignore.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "platform/process_state.h"

namespace {

using namespace zep8;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The frame the module sends for `data` from `address`.
std::string Reply(int mode, std::uint8_t address, const std::vector<std::uint8_t>& data) {
    std::string frame = BuildForeignFrame(mode, address, data);
    if (mode == PROTOCOL_DCON) {
        // A reply starts with "!" where a command starts with "%"; the sum covers it.
        frame[0] = '!';
        const std::uint8_t sum = DconChecksum(frame.substr(0, frame.size() - 3));
        static constexpr char kHex[] = "0123456789ABCDEF";
        frame[frame.size() - 3] = kHex[sum >> 4];
        frame[frame.size() - 2] = kHex[sum & 0x0F];
    }
    return frame;
}

// What a received frame should be once its free parts are put the module's way.
std::string Normalised(int mode, std::string_view received) {
    switch (mode) {
        case PROTOCOL_MODBUS_ASCII:
            // Hex digits in upper case; the frame ends at its carriage return.
            return Upper(received.substr(0, received.find('\r') + 1)) + "\n";
        case PROTOCOL_DCON: {
            std::string frame(received);
            const std::size_t sumAt = frame.size() - 3;
            frame.replace(1, 2, Upper(frame.substr(1, 2)));
            frame.replace(sumAt, 2, Upper(frame.substr(sumAt, 2)));
            frame.back() = '\r';
            return frame;
        }
        default:
            return std::string(received);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) return 0;
    const int mode = PROTOCOL_MODBUS_RTU + bytes[0] % 3;
    const std::uint8_t address = bytes[1];
    const std::string_view received(reinterpret_cast<const char*>(bytes) + 2, size - 2);
    std::vector<std::uint8_t> data{0xAA};
    const int status = ParseForeignReply(mode, address, received, data);
    if (status != FOREIGN_OK) {
        if (!data.empty()) Fail("a refused reply left data behind");
        if (ForeignStatusText(status).empty()) Fail("a refusal without a text");
        return 0;
    }
    const std::string rebuilt = Reply(mode, address, data);
    std::vector<std::uint8_t> again;
    if (ParseForeignReply(mode, address, rebuilt, again) != FOREIGN_OK || again != data) {
        Fail("a re-encoded reply is not taken with the same data");
    }
    // DCON's sum covers the address digits as sent: lower-case ones give
    // another (equally right) sum than the module's upper-case ones.
    const bool lowerDconAddress =
        mode == PROTOCOL_DCON && Upper(received.substr(1, 2)) != received.substr(1, 2);
    if (!lowerDconAddress && rebuilt != Normalised(mode, received)) {
        Fail("a reply does not re-encode to its own frame");
    }
    return 0;
}
