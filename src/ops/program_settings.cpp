#include "ops/program_settings.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/remote_line.h"
#include "model/catalogue.h"
#include "model/net_rs485_prg.h"
#include "model/number_text.h"
#include "platform/settings_store.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::string_view kKey = "SOFTWARE\\ARVO\\ZEP8";

struct NumberSetting {
    std::string_view value;
    std::string_view parameter;
    std::int32_t fallback;
};
constexpr NumberSetting kNumbers[] = {
    {"address", "Addr", 16}, {"address_length", "A.Len", 8}, {"baud_rate", "bPS", 9600},
    {"byte_size", "LEn", 8}, {"stop_bits", "Sbit", 1},
};

constexpr std::string_view kRemotePorts = "remote_ports";  // newline-separated
constexpr std::size_t kRemembered = 4;

// The port just used goes first; the oldest beyond the few remembered goes.
void RememberRemotePort(const std::string& name, SettingsStore& store) {
    std::vector<std::string> names = RecentRemotePorts(store);
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    names.insert(names.begin(), name);
    if (names.size() > kRemembered) names.resize(kRemembered);
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : "\n") + n;
    store.writeString(kKey, kRemotePorts, text);
}

// "COMn" gives n; any other name nothing.
std::optional<long long> ComNumber(std::string_view name) {
    if (name.size() <= 3 || !EqualsIgnoreCase(name.substr(0, 3), "COM")) return std::nullopt;
    const std::string_view digits = name.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    return ReadInteger(digits);
}

}  // namespace

void LoadProgramSettings(NetRS485prg& node, const SettingsStore& store) {
    node.InitParameters();
    for (const NumberSetting& s : kNumbers) {
        const std::int32_t v = store.readInt(kKey, s.value).value_or(s.fallback);
        node.SetValue(s.parameter, std::to_string(v), false);
    }
    const std::int32_t parity = store.readInt(kKey, "parity_scheme").value_or(1);
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    if (parity >= 1 && parity <= static_cast<std::int32_t>(items.size())) {
        node.SetValue("PrtY", items[static_cast<std::size_t>(parity - 1)], false);
    }
    const bool echo = store.readInt(kKey, "echo").value_or(0) != 0;
    node.SetValue("Echo", echo ? kEchoOn : kEchoOff, false);
    const std::string name = store.readString(kKey, "port_name").value_or("");
    const std::int32_t number = store.readInt(kKey, "port_number").value_or(1);
    node.SetValue("Port", name.empty() ? "COM" + std::to_string(number) : name, false);
    for (const auto& p : node.parameters()) p->hasAttributes = false;
    node.ClearChangeFlags();
}

void StoreProgramSettings(const NetRS485prg& node, SettingsStore& store) {
    // Nobody installs the key on this system: the first store makes it.
    if (!store.hasKey(kKey) && !store.createKey(kKey)) return;
    for (const NumberSetting& s : kNumbers) {
        const std::string text = node.GetValue(s.parameter);
        if (const std::optional<long long> v = ReadInteger(text)) {
            store.writeInt(kKey, s.value, static_cast<std::int32_t>(*v));
        }
    }
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    const std::string parity = node.GetValue("PrtY");
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == parity)
            store.writeInt(kKey, "parity_scheme", static_cast<std::int32_t>(i + 1));
    }
    store.writeInt(kKey, "echo", node.GetValue("Echo") == kEchoOn ? 1 : 0);
    const std::string port = node.GetValue("Port");
    if (port == kNoData) return;
    if (const std::optional<long long> n = ComNumber(port)) {
        store.writeInt(kKey, "port_number", static_cast<std::int32_t>(*n));
        store.writeString(kKey, "port_name", "");
    } else {
        store.writeString(kKey, "port_name", port);
        if (IsRemotePortName(port)) RememberRemotePort(port, store);
    }
}

std::vector<std::string> RecentRemotePorts(const SettingsStore& store) {
    const std::string text = store.readString(kKey, kRemotePorts).value_or("");
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

}  // namespace zep8
