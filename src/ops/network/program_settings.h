#pragma once

// The program's own port settings as one record, between the network node
// and the settings store (app/preferences.h keeps them).

#include <cstdint>
#include <optional>
#include <string>

namespace zep8 {

class NetRS485prg;

// The program's own port settings as one plain record, between the network
// node and the place they are kept (app/preferences.h holds their stored
// names and defaults). A value left out is one the node does not have: it
// is neither set nor kept.
struct ProgramPortSettings {
    std::optional<std::int32_t> address;
    std::optional<std::int32_t> addressLength;
    std::optional<std::int32_t> baudRate;
    std::optional<std::int32_t> byteSize;
    std::optional<std::int32_t> stopBits;
    std::optional<std::int32_t> parityScheme;  // 1 none, 2 even, 3 odd
    bool echo = false;                         // drop the adapter's echo of each request
    std::optional<std::string> port;           // "COMn", a path, a server's address
};

// Builds the node's parameters and sets them from `settings`, unchanged by
// the operator and without access attributes.
void LoadProgramSettings(NetRS485prg& node, const ProgramPortSettings& settings);
ProgramPortSettings ProgramSettingsOf(const NetRS485prg& node);

}  // namespace zep8
