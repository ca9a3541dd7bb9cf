#include "sim/virtual_module.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "link/exchange/frame_codec.h"
#include "model/catalogue.h"
#include "model/my_converter.h"
#include "model/name_hash.h"
#include "model/number_text.h"
#include "platform/codepage.h"
#include "sim/foreign_frames.h"

namespace zep8::sim {
namespace {

// Codes of the module's error reply "n.Err".
enum ModuleError : std::uint8_t {
    ERR_POINT_ABOVE_3 = 0x02,
    ERR_READ_ONLY = 0x03,
    ERR_NOT_WHOLE = 0x04,
    ERR_FIXED_POINT = 0x05,
    ERR_OUT_OF_RANGE = 0x06,
    ERR_FACTORY_OWNED = 0x07,
    ERR_NO_ATTRIBUTES = 0x08,
    ERR_BAD_CHARACTER = 0x26,
    ERR_BAD_CHECKSUM = 0x27,
    ERR_UNKNOWN_HASH = 0x28,
    ERR_DATA_SIZE = 0x31,
    ERR_REQUEST_BIT = 0x32,
    ERR_LOCKED = 0x33,
    ERR_INDEX = 0x34,
};

constexpr std::uint8_t kSensorDisconnected = 0xF7;
constexpr int kAnyModuleAddress = 255;

const std::uint16_t kErrorHash = hash_name("n.Err");
const std::uint16_t kApplyHash = hash_name("APLY");
const std::uint16_t kAttributeHash = hash_name("M.s.t.r.");
const std::uint16_t kReadHash = hash_name("rEAd");
const std::uint16_t kDevHash = hash_name("dev");
const std::uint16_t kVerHash = hash_name("ver");
const std::uint16_t kExitHash = hash_name("exit");
const std::uint16_t kClbI = hash_name("CLB.I");
const std::uint16_t kClbS = hash_name("CLB.S");
const std::uint16_t kClbT = hash_name("CLB.T");
const std::uint16_t kClbG = hash_name("CLB.G");
const std::uint16_t kClbP = hash_name("CLB.P");
const std::uint16_t kClbA = hash_name("CLB.A");

// Everything the module keeps a value of. "n.Flt" has attributes but no
// value the program can decode; it reads as 0 and cannot be written.
constexpr std::string_view kValueNames[] = {
    "bPS",   "LEn",  "PrtY",  "Sbit",  "A.Len", "Addr",  "RS.dL", "Prot", "Cj-.C", "in-t",
    "in.Fd", "Itrl", "in.SH", "in.SL", "in.FG", "Ain.L", "Ain.H", "dP",   "n.Flt",
};

// The module's own code table for the data length; the configurator's item
// list for it changes with its protocol mode, the module's does not.
constexpr int kDataBitsByCode[] = {7, 8};
constexpr int kStopBitsByCode[] = {1, 2};
constexpr int kAddressBitsByCode[] = {8, 11};

int CodeOf(std::span<const int> table, int value) {
    const auto it = std::ranges::find(table, value);
    return it == table.end() ? 0 : static_cast<int>(it - table.begin());
}

int DecimalsOf(std::string_view text) {
    const std::size_t point = text.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

bool IsFrameLetter(char c) {
    return c >= 'G' && c <= 'V';
}

std::vector<std::uint8_t> FloatBytes(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
}

}  // namespace

VirtualModule::VirtualModule(const LineSettings& start)
    : active_(start), clock_([] { return Clock::now(); }) {
    started_ = clock_();
    for (const std::string_view name : kValueNames) {
        Parameter p;
        p.name = name;
        p.hash = hash_name(name);
        p.entry = FindCatalogueEntry(name);
        p.readOnly = p.entry == nullptr || p.entry->type == PT_NONE;
        if (p.entry && p.entry->type == PT_ENUM) {
            p.itemCount = p.entry->items == CatalogueEntry::Items::Fixed
                              ? static_cast<int>(p.entry->fixedItems.size())
                              : static_cast<int>(std::size(kDataBitsByCode));
        }
        if (p.entry && !p.entry->factoryDefault.empty() && p.entry->type != PT_ENUM) {
            const std::string text(p.entry->factoryDefault);
            for (Slot& s : p.perInput) {
                s.number = ReadNumber(text).value;
                s.decimals = p.entry->decimals > 0 ? p.entry->decimals : DecimalsOf(text);
            }
        } else if (p.entry && p.entry->items == CatalogueEntry::Items::Fixed) {
            const auto& items = p.entry->fixedItems;
            const auto it = std::ranges::find(items, p.entry->factoryDefault);
            for (Slot& s : p.perInput)
                s.number = it == items.end() ? 0 : double(it - items.begin());
        }
        parameters_.push_back(p);
    }
    storeSettings(start);
    for (int i = 0; i < kInputs; ++i) sources_[i] = MeasurementSource::constant(20.0 + i);
}

std::optional<Reply> VirtualModule::handleFrame(std::string_view received) {
    std::lock_guard lock(mutex_);
    if (active_.protocol != Protocol::Own) return handleForeignFrame(received);
    return handleOwnFrame(received);
}

std::optional<Reply> VirtualModule::handleOwnFrame(std::string_view received) {
    if (received.empty() || received.back() != kFrameEnd) return std::nullopt;
    // Whatever came before the last "#" is noise the module never saw as a frame.
    const std::size_t start = received.rfind(kFrameStart);
    if (start == std::string_view::npos) return std::nullopt;
    const std::string_view frame = received.substr(start);
    const std::string_view letters = frame.substr(1, frame.size() - 2);
    if (letters.size() < 2 * kFrameOverhead) return std::nullopt;

    std::uint8_t head[2];
    decode_buffer(letters.data(), 4, head);
    int address = 0;
    if (active_.addressBits == 11) {
        address = head[0] << 3 | head[1] >> 5;
    } else {
        if ((head[1] & 0xE0) != 0) return std::nullopt;  // an 11-bit address: not for us
        address = head[0];
    }
    Request request;
    request.address = address;
    request.offset = address - active_.address;
    request.read = (head[1] & 0x10) != 0;
    // The program sends to 255 to reach a module whatever its base address.
    const bool outsideInputs = request.offset < 0 || request.offset >= kInputs;
    if (active_.addressBits == 8 && address == kAnyModuleAddress && outsideInputs &&
        !ignoreBroadcast_) {
        request.offset = 0;
        request.address = active_.address;  // the reply says who answered
    }
    if (request.offset < 0 || request.offset >= kInputs) return std::nullopt;

    Outcome outcome;
    const ReplyFrame parsed = ParseReplyText(frame);
    if (!std::ranges::all_of(letters, IsFrameLetter)) {
        outcome.error = ERR_BAD_CHARACTER;
    } else if (!parsed.checksumOk) {
        outcome.error = ERR_BAD_CHECKSUM;
    } else {
        request.parsed = true;
        request.hash = parsed.hash;
        request.data = parsed.data;
        // Only the measured values answer at base address + input.
        if (request.offset != 0 && request.hash != kReadHash) return std::nullopt;
        ++counts_[request.hash].received;
        const auto forced = forcedErrors_.find(request.hash);
        outcome =
            forced != forcedErrors_.end() ? Outcome{{}, forced->second, false} : dispatch(request);
    }
    ++total_.received;
    if (outcome.silent) return std::nullopt;
    return finishReply(request, outcome, received.size());
}

std::optional<Reply> VirtualModule::finishReply(const Request& request, const Outcome& outcome,
                                                std::size_t receivedLength) {
    if (takeFault(Fault::Silence)) return std::nullopt;
    RequestFrame frame;
    frame.address = request.address;
    frame.elevenBitAddress = active_.addressBits == 11;
    frame.read = request.read;
    frame.hash = outcome.error ? kErrorHash : request.hash;
    std::vector<std::uint8_t> data = outcome.error ? std::vector{*outcome.error} : outcome.data;
    data.resize(std::min(data.size(), kMaxRequestData));
    frame.data = data;
    if (takeFault(Fault::WrongHash)) {
        frame.hash = static_cast<std::uint16_t>(frame.hash + 1);
        if (frame.hash == kErrorHash || frame.hash == request.hash) frame.hash += 2;
    }
    std::string text = BuildRequestText(frame).value_or(std::string());
    if (takeFault(Fault::BadChecksum)) {
        char& last = text[text.size() - 2];
        last = last == 'V' ? 'G' : static_cast<char>(last + 1);
    }
    if (takeFault(Fault::NoCarriageReturn)) text.pop_back();
    if (takeFault(Fault::LostStart)) text.erase(0, 1);
    if (takeFault(Fault::Garbage)) text = std::string(text.size() - 1, '?') + kFrameEnd;

    ++total_.answered;
    if (outcome.error) ++total_.errorReplies;
    if (request.parsed) {
        RequestCount& count = counts_[request.hash];
        ++count.answered;
        if (outcome.error) ++count.errorReplies;
    }
    return Reply{text, replyDelay(receivedLength, text.size())};
}

std::optional<Reply> VirtualModule::handleForeignFrame(std::string_view received) {
    std::optional<std::string> reply =
        ReturnCommandReply(active_.protocol, active_.address, received);
    if (!reply) return std::nullopt;
    ++foreignReturns_;
    active_.protocol = Protocol::Own;
    if (Slot* s = slot("Prot", 0)) s->number = static_cast<double>(Protocol::Own);
    if (takeFault(Fault::Silence)) return std::nullopt;
    return Reply{*reply, replyDelay(received.size(), reply->size())};
}

std::chrono::nanoseconds VirtualModule::replyDelay(std::size_t requestLength,
                                                   std::size_t replyLength) {
    std::chrono::nanoseconds delay{0};
    if (delayedReplies_ > 0) {
        --delayedReplies_;
        delay += faultDelay_;
    }
    if (lineTiming_) {
        delay += active_.wireTime(requestLength + replyLength) +
                 std::chrono::milliseconds(active_.responseDelayMs);
    }
    return delay;
}

bool VirtualModule::takeFault(Fault fault) {
    const auto it = faults_.find(fault);
    if (it == faults_.end() || it->second <= 0) return false;
    // Asked once a request: the requests before the fault count down here.
    if (int& after = faultsAfter_[fault]; after > 0) {
        --after;
        return false;
    }
    --it->second;
    return true;
}

VirtualModule::Outcome VirtualModule::dispatch(const Request& request) {
    const std::uint16_t hash = request.hash;
    if (hash == kApplyHash) {
        apply();
        return {{}, std::nullopt, true};
    }
    if (hash == kAttributeHash) return attributeRequest(request);
    if (hash == kReadHash) return measurement(request);
    if (hash == kClbI || hash == kClbS || hash == kClbT || hash == kClbG || hash == kClbP ||
        hash == kClbA) {
        return calibrationRequest(request);
    }
    if (hash == kDevHash || hash == kVerHash || hash == kExitHash) {
        if (!request.read) return {{}, ERR_READ_ONLY};
        if (!request.data.empty()) return {{}, ERR_DATA_SIZE};
        if (hash == kDevHash) return text(deviceName_);
        if (hash == kVerHash) return text(version_);
        return {{restartCause_.begin(), restartCause_.end()}, std::nullopt};
    }
    if (Parameter* p = find(hash)) return valueRequest(*p, request);
    return {{}, ERR_UNKNOWN_HASH};
}

VirtualModule::Outcome VirtualModule::text(const std::string& utf8) const {
    std::string bytes = Utf8ToCp1251(utf8);
    bytes.resize(std::min(bytes.size(), kMaxRequestData));
    return {{bytes.rbegin(), bytes.rend()}, std::nullopt};
}

VirtualModule::Outcome VirtualModule::valueRequest(Parameter& p, const Request& request) {
    const bool indexed = p.entry && p.entry->indexed;
    const std::vector<std::uint8_t>& data = request.data;
    const std::size_t indexBytes = indexed ? 2 : 0;
    if (request.read ? data.size() != indexBytes : data.size() <= indexBytes) {
        return {{}, ERR_DATA_SIZE};
    }
    int index = 0;
    if (indexed) {
        index = data[data.size() - 2] << 8 | data[data.size() - 1];
        if (index >= kInputs) return {{}, ERR_INDEX};
    }
    Slot& s = p.perInput[static_cast<std::size_t>(index)];

    if (!request.read) {
        if (p.readOnly) return {{}, ERR_READ_ONLY};
        if ((s.attributes & kEditable) == 0) return {{}, ERR_LOCKED};
        const std::span<const std::uint8_t> value(data.data(), data.size() - indexBytes);
        Slot next = s;
        if (p.entry->type == PT_ENUM) {
            if (value.size() != 1) return {{}, ERR_DATA_SIZE};
            if (value[0] >= p.itemCount) return {{}, ERR_OUT_OF_RANGE};
            next.number = value[0];
        } else {
            if (value.size() > 4) return {{}, ERR_DATA_SIZE};
            const int point = (value[0] >> 4) & 0x07;
            if (point > 3) return {{}, ERR_POINT_ABOVE_3};
            const double x = MyConverter::DecodePacked(value.data(), value.size()).value_or(0);
            const int fixed = p.entry->decimals;
            if (p.entry->type == PT_DECIMAL && fixed > 0 && point != fixed) {
                return {{}, ERR_FIXED_POINT};
            }
            if (p.entry->type == PT_INTEGER && x != std::floor(x)) return {{}, ERR_NOT_WHOLE};
            constexpr double kSlack = 1e-9;
            if (x < p.entry->min - kSlack || x > p.entry->max + kSlack) {
                return {{}, ERR_OUT_OF_RANGE};
            }
            next.number = x;
            next.decimals = p.entry->type == PT_INTEGER ? 0 : point;
        }
        s = next;
    }
    std::vector<std::uint8_t> reply = encodeValue(p, s);
    if (indexed) {
        reply.push_back(0);
        reply.push_back(static_cast<std::uint8_t>(index));
    }
    return {reply, std::nullopt};
}

std::vector<std::uint8_t> VirtualModule::encodeValue(const Parameter& p, const Slot& s) const {
    if (!p.entry || p.entry->type == PT_NONE) return {0};
    if (p.entry->type == PT_ENUM) return {static_cast<std::uint8_t>(s.number)};
    return MyConverter::EncodePacked(s.number, s.decimals);
}

VirtualModule::Outcome VirtualModule::attributeRequest(const Request& request) {
    const std::vector<std::uint8_t>& data = request.data;
    if (data.size() < 2) return {{}, ERR_DATA_SIZE};
    const auto target =
        static_cast<std::uint16_t>(data[data.size() - 2] << 8 | data[data.size() - 1]);
    Parameter* p = find(target);
    if (!p) {
        const bool known =
            target == kDevHash || target == kVerHash || target == kExitHash || target == kReadHash;
        return {{}, known ? ERR_NO_ATTRIBUTES : ERR_UNKNOWN_HASH};
    }
    if (!p->entry || !p->entry->hasAttributes) return {{}, ERR_NO_ATTRIBUTES};
    const bool indexed = p->entry->indexed;
    const std::size_t expected = (request.read ? 2U : 3U) + (indexed ? 2U : 0U);
    if (data.size() != expected) return {{}, ERR_DATA_SIZE};
    int index = 0;
    const std::size_t indexAt = request.read ? 0 : 1;
    if (indexed) {
        index = data[indexAt] << 8 | data[indexAt + 1];
        if (index >= kInputs) return {{}, ERR_INDEX};
    }
    Slot& s = p->perInput[static_cast<std::size_t>(index)];
    if (!request.read) {
        if ((s.attributes & kUserOwned) == 0) return {{}, ERR_FACTORY_OWNED};
        // The user may lock or unlock; the owner is the maker's to set.
        s.attributes =
            static_cast<std::uint8_t>((s.attributes & kUserOwned) | (data[0] & kEditable));
    }
    std::vector<std::uint8_t> reply{s.attributes};
    if (indexed) {
        reply.push_back(0);
        reply.push_back(static_cast<std::uint8_t>(index));
    }
    reply.push_back(static_cast<std::uint8_t>(target >> 8));
    reply.push_back(static_cast<std::uint8_t>(target & 0xFF));
    return {reply, std::nullopt};
}

VirtualModule::Outcome VirtualModule::measurement(const Request& request) {
    if (!request.read) return {{}, ERR_REQUEST_BIT};
    if (!request.data.empty()) return {{}, ERR_DATA_SIZE};
    const auto input = static_cast<std::size_t>(request.offset);
    if (exceptions_[input]) return {{*exceptions_[input]}, std::nullopt};
    if (number("in-t", request.offset) == 0) return {{kSensorDisconnected}, std::nullopt};

    const double seconds = std::chrono::duration<double>(clock_() - started_).count();
    // The module applies the input's shift and slope to what the sensor gives.
    const double value = sources_[input].valueAt(seconds) * number("in.SL", request.offset) +
                         number("in.SH", request.offset);
    std::vector<std::uint8_t> reply = FloatBytes(static_cast<float>(value));
    const std::uint16_t counter = ++measurementCounters_[input];
    reply.push_back(static_cast<std::uint8_t>(counter >> 8));
    reply.push_back(static_cast<std::uint8_t>(counter & 0xFF));
    return {reply, std::nullopt};
}

VirtualModule::Outcome VirtualModule::calibrationRequest(const Request& request) {
    const std::uint16_t hash = request.hash;
    const bool isWrite = hash == kClbI || hash == kClbP || hash == kClbA;
    if (request.read == isWrite) return {{}, ERR_REQUEST_BIT};
    const std::size_t size = request.data.size();
    CalibrationTask::Result result;
    if (hash == kClbI) {
        if (size != 1 && size != 2) return {{}, ERR_DATA_SIZE};
        std::array<int, kInputs> sensors{};
        for (int i = 0; i < kInputs; ++i) sensors[i] = static_cast<int>(number("in-t", i));
        result = calibration_.start(request.data, sensors);
    } else if (hash == kClbG) {
        if (size != 1) return {{}, ERR_DATA_SIZE};
        result = calibration_.coefficient(request.data[0]);
    } else {
        if (size != 0) return {{}, ERR_DATA_SIZE};
        if (hash == kClbS) result = calibration_.state();
        if (hash == kClbT) result = calibration_.check();
        if (hash == kClbP) result = calibration_.commit();
        if (hash == kClbA) result = calibration_.abort();
    }
    return {result.data, result.error};
}

void VirtualModule::apply() {
    const LineSettings next = storedSettings();
    if (next.unusableReason()) {
        ++refusedApplies_;
        return;
    }
    active_ = next;
}

void VirtualModule::storeSettings(const LineSettings& settings) {
    auto set = [this](std::string_view name, double value) {
        if (Slot* s = slot(name, 0)) s->number = value;
    };
    set("bPS", BaudCode(settings.baud).value_or(2));
    set("LEn", CodeOf(kDataBitsByCode, settings.dataBits));
    set("PrtY", static_cast<double>(settings.parity));
    set("Sbit", CodeOf(kStopBitsByCode, settings.stopBits));
    set("A.Len", CodeOf(kAddressBitsByCode, settings.addressBits));
    set("Addr", settings.address);
    set("RS.dL", settings.responseDelayMs);
    set("Prot", static_cast<double>(settings.protocol));
}

LineSettings VirtualModule::storedSettings() const {
    auto code = [this](std::string_view name) { return static_cast<int>(number(name)); };
    LineSettings s;
    s.baud = BaudFromCode(code("bPS")).value_or(9600);
    s.dataBits = kDataBitsByCode[code("LEn") & 1];
    s.parity = static_cast<Parity>(code("PrtY"));
    s.stopBits = kStopBitsByCode[code("Sbit") & 1];
    s.addressBits = kAddressBitsByCode[code("A.Len") & 1];
    s.address = code("Addr");
    s.responseDelayMs = code("RS.dL");
    s.protocol = static_cast<Protocol>(code("Prot"));
    return s;
}

VirtualModule::Parameter* VirtualModule::find(std::uint16_t hash) {
    const auto it = std::ranges::find(parameters_, hash, &Parameter::hash);
    return it == parameters_.end() ? nullptr : &*it;
}

const VirtualModule::Parameter* VirtualModule::find(std::uint16_t hash) const {
    const auto it = std::ranges::find(parameters_, hash, &Parameter::hash);
    return it == parameters_.end() ? nullptr : &*it;
}

VirtualModule::Slot* VirtualModule::slot(std::string_view name, int index) {
    Parameter* p = find(hash_name(name));
    if (!p || index < 0 || index >= kInputs) return nullptr;
    return &p->perInput[static_cast<std::size_t>(p->entry && p->entry->indexed ? index : 0)];
}

const VirtualModule::Slot* VirtualModule::slot(std::string_view name, int index) const {
    return const_cast<VirtualModule*>(this)->slot(name, index);
}

double VirtualModule::number(std::string_view name, int index) const {
    const Slot* s = slot(name, index);
    return s ? s->number : 0;
}

}  // namespace zep8::sim
