#pragma once

#include <string>
#include <vector>

namespace zep8 {

class NetRS485prg;
class SettingsStore;

// The program's own port settings live in the settings store under
// "SOFTWARE\ARVO\ZEP8": "address", "address_length", "baud_rate",
// "byte_size", "stop_bits", "parity_scheme" (1 none, 2 even, 3 odd) and
// "port_number" (n of "COMn") as numbers; any other port name is kept in the
// text "port_name"; "echo" (1: drop the adapter's echo of each request, 0 the
// default) as a number; "remote_ports" keeps the last few serial device
// servers used ("tcp://HOST:PORT", "rfc2217://HOST:PORT"), newest first, one
// a line.

// Builds the node's parameters and fills them from the store (defaults for
// what is missing: COM1, 9600 baud, 8 data bits, no parity, 1 stop bit,
// 8-bit addresses, base address 16).
void LoadProgramSettings(NetRS485prg& node, const SettingsStore& store);
void StoreProgramSettings(const NetRS485prg& node, SettingsStore& store);
std::vector<std::string> RecentRemotePorts(const SettingsStore& store);

}  // namespace zep8
