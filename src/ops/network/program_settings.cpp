#include "ops/network/program_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/catalogue.h"
#include "model/net_rs485_prg.h"
#include "model/number_text.h"

namespace zep8 {
namespace {

struct NumberSetting {
    std::string_view parameter;
    std::optional<std::int32_t> ProgramPortSettings::*field;
};
constexpr NumberSetting kNumbers[] = {
    {"Addr", &ProgramPortSettings::address},  {"A.Len", &ProgramPortSettings::addressLength},
    {"bPS", &ProgramPortSettings::baudRate},  {"LEn", &ProgramPortSettings::byteSize},
    {"Sbit", &ProgramPortSettings::stopBits},
};

}  // namespace

void LoadProgramSettings(NetRS485prg& node, const ProgramPortSettings& settings) {
    node.InitParameters();
    for (const NumberSetting& s : kNumbers) {
        if (const auto& v = settings.*s.field)
            node.SetValue(s.parameter, std::to_string(*v), false);
    }
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    if (const std::optional<std::int32_t> parity = settings.parityScheme;
        parity && *parity >= 1 && *parity <= static_cast<std::int32_t>(items.size())) {
        node.SetValue("PrtY", items[static_cast<std::size_t>(*parity - 1)], false);
    }
    node.SetValue("Echo", settings.echo ? kEchoOn : kEchoOff, false);
    if (settings.port) node.SetValue("Port", *settings.port, false);
    for (const auto& p : node.parameters()) p->hasAttributes = false;
    node.ClearChangeFlags();
}

ProgramPortSettings ProgramSettingsOf(const NetRS485prg& node) {
    ProgramPortSettings settings;
    for (const NumberSetting& s : kNumbers) {
        if (const std::optional<long long> v = ReadInteger(node.GetValue(s.parameter))) {
            settings.*s.field = static_cast<std::int32_t>(*v);
        }
    }
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    const std::string parity = node.GetValue("PrtY");
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == parity) settings.parityScheme = static_cast<std::int32_t>(i + 1);
    }
    settings.echo = node.GetValue("Echo") == kEchoOn;
    if (std::string port = node.GetValue("Port"); port != kNoData) settings.port = std::move(port);
    return settings;
}

}  // namespace zep8
