#include "sim/sim_options.h"

#include <algorithm>
#include <charconv>

namespace zep8::sim {
namespace {

std::optional<int> ReadInt(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<Parity> ReadParity(std::string_view text) {
    if (text == "none" || text == "n") return Parity::None;
    if (text == "even" || text == "e") return Parity::Even;
    if (text == "odd" || text == "o") return Parity::Odd;
    return std::nullopt;
}

}  // namespace

std::string_view SimUsage() {
    return "Usage: zep8-sim [options]\n"
           "Runs a virtual ZEP8 module on a pseudo-terminal and prints the port path.\n"
           "\n"
           "  --baud N             2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200\n"
           "                       (default 9600)\n"
           "  --data-bits N        7 or 8 (default 8)\n"
           "  --parity P           none, even or odd (default none)\n"
           "  --stop-bits N        1 or 2 (default 1)\n"
           "  --address-length N   8 or 11 bits (default 8)\n"
           "  --address N          base address (default 16); given again, one more module\n"
           "                       on the same line, with parameters of its own\n"
           "  --delay MS           response delay RS.dL, 0..50 ms (default 2)\n"
           "  --protocol NAME      arvo, modbus-rtu, modbus-ascii or dcon (default arvo)\n"
           "  --timing             answer no sooner than the line at this speed would allow\n"
           "  --any-speed          answer whatever speed the program set on the port\n"
           "  --sine               measured values swing (one minute per period) instead of\n"
           "                       staying at 20, 21, ... 27\n"
           "  --echo               send every byte the program sends straight back to it,\n"
           "                       as a two-wire adapter without echo cancellation does\n"
           "  --ignore-broadcast   leave requests to \"any module\" (address 255) unanswered;\n"
           "                       only the own base address answers\n"
           "  --link PATH          also make PATH a symbolic link to the port\n"
           "  --help               this text\n"
           "\n"
           "Stops on Ctrl+C (SIGINT) or SIGTERM.\n";
}

ParsedOptions ParseSimOptions(std::span<const std::string_view> args) {
    SimOptions options;
    LineSettings& s = options.settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> value;
        if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--timing") {
            options.lineTiming = true;
            continue;
        }
        if (name == "--sine") {
            options.sineSources = true;
            continue;
        }
        if (name == "--echo") {
            options.echo = true;
            continue;
        }
        if (name == "--ignore-broadcast") {
            options.ignoreBroadcast = true;
            continue;
        }
        if (name == "--any-speed") {
            options.lineCheck = false;
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) return {std::nullopt, std::string(name) + " needs a value"};
            value = args[++i];
        }
        const std::string bad = "bad value for " + std::string(name) + ": " + std::string(*value);
        if (name == "--link") {
            options.linkPath = std::string(*value);
        } else if (name == "--parity") {
            const auto parity = ReadParity(*value);
            if (!parity) return {std::nullopt, bad};
            s.parity = *parity;
        } else if (name == "--protocol") {
            const auto protocol = ProtocolFromName(*value);
            if (!protocol) return {std::nullopt, bad};
            s.protocol = *protocol;
        } else {
            const auto number = ReadInt(*value);
            if (!number) return {std::nullopt, bad};
            if (name == "--baud") {
                s.baud = *number;
            } else if (name == "--data-bits") {
                s.dataBits = *number;
            } else if (name == "--stop-bits") {
                s.stopBits = *number;
            } else if (name == "--address-length") {
                s.addressBits = *number;
            } else if (name == "--address") {
                if (std::ranges::find(options.addresses, *number) != options.addresses.end())
                    return {std::nullopt, "address " + std::string(*value) + " given twice"};
                options.addresses.push_back(*number);
            } else if (name == "--delay") {
                s.responseDelayMs = *number;
            } else {
                return {std::nullopt, "unknown option " + std::string(name)};
            }
        }
    }
    if (options.addresses.empty()) options.addresses.push_back(s.address);
    s.address = options.addresses.front();
    if (!options.help) {
        for (const int address : options.addresses) {
            LineSettings own = s;
            own.address = address;
            if (const auto reason = own.unusableReason())
                return {std::nullopt, std::string(*reason)};
        }
    }
    return {options, {}};
}

}  // namespace zep8::sim
