#include "model/net_rs485.h"

#include "model/catalogue.h"
#include "model/number_text.h"
#include "platform/text.h"

namespace zep8 {

void NetRS485::CreateLinkParameters() {
    InvisibleElement::InitParameters();
    for (const char* name : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"}) AddParameter(name);
}

void NetRS485::InitParameters() {
    CreateLinkParameters();
    AddParameter("RS.dL");
    AddParameter("Prot");
}

namespace {

constexpr int kOwnProtocolCode = 0;
constexpr int kAddressAlignment = 8;
constexpr int kShortAddressLimit = 255;

}  // namespace

bool NetRS485::IsFormatAllowed(std::string_view name, std::string_view newValue) const {
    const bool parity = EqualsIgnoreCase(name, "PrtY");
    const bool length = EqualsIgnoreCase(name, "LEn");
    const bool stopBits = EqualsIgnoreCase(name, "Sbit");
    if (!parity && !length && !stopBits) return true;
    const std::string bits = length ? std::string(newValue) : GetValue("LEn");
    const std::string stops = stopBits ? std::string(newValue) : GetValue("Sbit");
    const std::string scheme = parity ? std::string(newValue) : GetValue("PrtY");
    // The three character formats the module cannot take.
    if (bits == "7" && stops == "1" && EqualsIgnoreCase(scheme, kParityNone)) return false;
    if (bits == "8" && stops == "2" &&
        (EqualsIgnoreCase(scheme, kParityEven) || EqualsIgnoreCase(scheme, kParityOdd))) {
        return false;
    }
    return true;
}

bool NetRS485::IsAddressingAllowed(std::string_view name, std::string_view newValue) const {
    // The protocol's code is its position in the item list; a node without
    // "Prot" (the program's) speaks the own protocol.
    auto protocolCode = [this](std::string_view text) {
        const Parameter* prot = FindParameter("Prot");
        if (!prot) return kOwnProtocolCode;
        Parameter probe("Prot");
        probe.value = text;
        std::vector<std::uint8_t> data;
        return probe.ConvertToData(data) == MyConverter::CONVERT_OK ? data[0] : kOwnProtocolCode;
    };
    const auto address = [](std::string_view text) {
        return static_cast<long long>(ReadValueNumber(text));
    };
    const long long current = address(GetValue("Addr"));
    const std::string currentProtocol = GetValue("Prot");

    if (EqualsIgnoreCase(name, "Addr")) {
        const long long a = address(newValue);
        const int code = protocolCode(currentProtocol);
        if (GetValue("A.Len") != "11" && a > kShortAddressLimit) return false;
        if (code != kOwnProtocolCode && a > kShortAddressLimit) return false;
        if (code == kOwnProtocolCode && a % kAddressAlignment != 0) return false;
        return true;
    }
    if (EqualsIgnoreCase(name, "A.Len")) {
        return newValue == "11" || current <= kShortAddressLimit;
    }
    if (EqualsIgnoreCase(name, "Prot")) {
        const int code = protocolCode(newValue);
        if (code != kOwnProtocolCode && current > kShortAddressLimit) return false;
        if (code == kOwnProtocolCode && current % kAddressAlignment != 0) return false;
        return true;
    }
    return true;
}

}  // namespace zep8
