#include "link/exchange/exchange_trace.h"

#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "link/exchange/device_error_text.h"
#include "link/exchange/frame_codec.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "link/line/line_port.h"
#include "model/catalogue.h"
#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/codepage.h"
#include "platform/local_time.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::string_view kAnswer = "ответ";
constexpr std::string_view kNoReplyExpected = "ответа не бывает";
constexpr std::string_view kErrorName = "n.Err";
// Commands of the protocol that are not parameters of the catalogue.
constexpr std::string_view kCommandNames[] = {
    kAttributesName, kErrorName, "APLY", "CLB.I", "CLB.S", "CLB.T", "CLB.G", "CLB.P", "CLB.A"};

std::optional<std::string_view> NameOfHash(std::uint16_t hash) {
    for (std::string_view name : kCommandNames) {
        if (hash_name(name) == hash) return name;
    }
    for (const CatalogueEntry& entry : CatalogueEntries()) {
        if (!entry.name.empty() && entry.name.front() != ' ' && hash_name(entry.name) == hash)
            return entry.name;
    }
    return std::nullopt;
}

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char two[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(two, sizeof two, "%02X", bytes[i]);
        if (!text.empty()) text += ' ';
        text += two;
    }
    return text;
}

std::string Hex(std::string_view bytes) {
    return Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// The own protocol's characters as they are, the carriage return shown as "\r"
// and any other control or foreign byte as "\xHH".
std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string TimeText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    char tail[8];
    std::snprintf(tail, sizeof tail, ".%03d", static_cast<int>(ms.count()));
    return FormatLocalTime("%H:%M:%S", seconds) + tail;
}

// A frame of the own protocol taken apart; nothing when it is not one.
struct OwnFrame {
    int address = 0;
    bool request = false;
    std::uint16_t hash = 0;
    std::vector<std::uint8_t> data;
    bool checksumOk = false;
};

std::optional<OwnFrame> ParseOwnFrame(std::string_view text, bool elevenBitAddress) {
    if (text.size() < 2 || text.front() != kFrameStart) return std::nullopt;
    const ReplyFrame parsed = ParseReplyText(text);
    std::uint8_t head[2] = {0, 0};
    decode_buffer(text.data() + 1, 4, head);
    if (parsed.flags == 0 && parsed.hash == 0 && !parsed.checksumOk) {
        // Too short to hold its own length.
        OwnFrame broken;
        broken.checksumOk = false;
        return broken;
    }
    OwnFrame frame;
    frame.address = elevenBitAddress ? (head[0] << 3) | (head[1] >> 5) : head[0];
    frame.request = (parsed.flags & 0x10) != 0;
    frame.hash = parsed.hash;
    frame.data = parsed.data;
    frame.checksumOk = parsed.checksumOk;
    return frame;
}

// "Addr[2] = 40" style text of a parameter's data; the name's own decoding.
std::string ValueText(std::string_view name, const std::vector<std::uint8_t>& data) {
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry || data.empty()) return {};
    const bool indexed = entry->indexed && data.size() >= 2;
    std::string text;
    if (indexed) {
        const int index = (data[data.size() - 2] << 8) | data.back();
        text += "[" + std::to_string(index) + "]";
        if (data.size() == 2) return text;
    }
    Parameter p(name);
    if (p.ConvertFromData(data.data(), data.size(), indexed) == MyConverter::CONVERT_FAILED)
        return text + " (не раскодируется)";
    return text + " = " + p.value;
}

std::string DescribeOwn(const OwnFrame& frame, bool asRequest) {
    std::string text = "адрес " + std::to_string(frame.address);
    if (asRequest) text += frame.request ? ", чтение" : ", запись";
    const std::optional<std::string_view> name = NameOfHash(frame.hash);
    char hash[8];
    std::snprintf(hash, sizeof hash, "%04X", frame.hash);
    text += ", " + (name ? std::string(*name) : std::string("код ") + hash);
    if (name && *name == kAttributesName && frame.data.size() >= 2) {
        const auto of = static_cast<std::uint16_t>((frame.data[frame.data.size() - 2] << 8) |
                                                   frame.data.back());
        const std::optional<std::string_view> target = NameOfHash(of);
        if (target) text += " (" + std::string(*target) + ")";
    } else if (name && *name != kErrorName) {
        text += ValueText(*name, frame.data);
    }
    if (!frame.data.empty()) text += ", данные " + Hex(frame.data.data(), frame.data.size());
    text += frame.checksumOk ? ", КС верна" : ", КС неверна";
    return text;
}

std::string OwnOutcome(const ExchangeRecord& record, std::uint16_t askedHash) {
    const std::optional<OwnFrame> reply = ParseOwnFrame(record.received, record.elevenBitAddress);
    if (!reply) return "потеря начала посылки";
    if (!reply->checksumOk) return "неверная КС";
    if (reply->hash == hash_name(kErrorName)) {
        std::string text;
        DeviceErrorText(reply->data.data(), reply->data.size(), text);
        const int code = reply->data.empty() ? 0 : reply->data[0];
        char head[32];
        std::snprintf(head, sizeof head, "n.Err %02X: ", code);
        return head + text;
    }
    if (reply->hash != askedHash) return "ответ на другой запрос";
    return std::string(kAnswer);
}

std::string TransferOutcome(int result) {
    switch (result) {
        case TRANSFER_TIMEOUT:
            return "таймаут";
        case TRANSFER_LINE_ERROR:
            return "ошибка линии";
        case TRANSFER_ABORTED:
            return "прервано";
        case TRANSFER_LINE_GONE:
            return "порт отключился";
        default:
            return {};
    }
}

}  // namespace

std::array<TraceRow, 2> DescribeExchange(const ExchangeRecord& record) {
    std::array<TraceRow, 2> rows;
    TraceRow& request = rows[0];
    TraceRow& reply = rows[1];
    request.time = TimeText(record.startedAt);
    request.direction = "->";
    reply.time =
        TimeText(record.startedAt +
                 std::chrono::duration_cast<std::chrono::system_clock::duration>(record.took));
    reply.direction = "<-";
    reply.replyMs = FormatFixed(static_cast<double>(record.took.count()) / 1000.0, 1);

    const bool own = record.protocolMode == PROTOCOL_OWN;
    request.frame = own ? Printable(record.sent) : Hex(record.sent);
    if (record.listenedOn) request.direction = "..";  // not sent again: the wait went on
    reply.frame = own ? Printable(record.received) : Hex(record.received);

    std::uint16_t askedHash = 0;
    if (own) {
        if (const auto frame = ParseOwnFrame(record.sent, record.elevenBitAddress)) {
            request.decoded = DescribeOwn(*frame, true);
            askedHash = frame->hash;
        }
        if (const auto frame = ParseOwnFrame(record.received, record.elevenBitAddress))
            reply.decoded = DescribeOwn(*frame, false);
    } else {
        static constexpr const char* kProtocols[] = {"", "ModBUS-RTU", "ModBUS-ASCII", "DCON"};
        request.decoded = record.protocolMode > 0 && record.protocolMode <= PROTOCOL_DCON
                              ? kProtocols[record.protocolMode]
                              : "";
    }

    if (!record.replyExpected) {
        reply.outcome = kNoReplyExpected;
    } else if (const std::string failed = TransferOutcome(record.result); !failed.empty()) {
        reply.outcome = failed;
    } else if (own) {
        reply.outcome = OwnOutcome(record, askedHash);
    } else {
        std::vector<std::uint8_t> data;
        const auto address = static_cast<std::uint8_t>(record.address & 0xFF);
        const int status = ParseForeignReply(record.protocolMode, address, record.received, data);
        reply.outcome = status == FOREIGN_OK ? std::string(kAnswer) : ForeignStatusText(status);
    }
    reply.failed = reply.outcome != kAnswer && reply.outcome != kNoReplyExpected;
    return rows;
}

std::string TraceRowText(const TraceRow& row) {
    std::string line = row.time + "  " + row.direction + "  " + row.frame;
    if (!row.decoded.empty()) line += "  [" + row.decoded + "]";
    if (!row.replyMs.empty()) line += "  " + row.replyMs + " мс";
    if (!row.outcome.empty()) line += "  " + row.outcome;
    return line;
}

}  // namespace zep8
