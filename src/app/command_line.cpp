#include "app/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>

#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::array<std::string_view, 24> kOptionNames = {
    "write",     "read",   "port",  "bps",       "prty", "addr",      "len",  "sbit",
    "alen",      "rs485",  "aply",  "x",         "y",    "w",         "h",    "autoread",
    "autowrite", "silent", "close", "calibrate", "elog", "exitevent", "test", "newnetparam",
};

bool IsOptionName(std::string_view name) {
    return std::find(kOptionNames.begin(), kOptionNames.end(), name) != kOptionNames.end();
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// scanf's "%i": leading blanks, a sign, "0x" for hexadecimal, a leading 0 for
// octal; whatever follows the digits is left unread.
bool ScanInteger(std::string_view text, std::int64_t& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '0') {
        base = 8;
        if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
            DigitValue(text[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    const std::size_t first = i;
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 63;
    for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
        const auto digit = static_cast<std::uint64_t>(DigitValue(text[i]));
        if (magnitude > (kLimit - digit) / static_cast<std::uint64_t>(base)) return false;
        magnitude = magnitude * base + digit;
    }
    if (i == first) return false;
    if (!negative && magnitude == kLimit) return false;
    value =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

// A number that does not fit its field is treated like one that does not parse.
template <typename T>
bool ScanField(std::string_view text, T& field) {
    std::int64_t value = 0;
    if (!ScanInteger(text, value)) return false;
    if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
        value > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
        return false;
    }
    field = static_cast<T>(value);
    return true;
}

std::string_view Unquote(std::string_view text) {
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return text;
}

// Splits at "/", except inside double quotes, so that a quoted log path may
// hold the directory separator of this system.
std::vector<std::string_view> SplitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == '/' && !quoted) {
            tokens.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    tokens.push_back(text.substr(start));
    return tokens;
}

std::string NameOf(std::string_view token) {
    return FoldCase(token.substr(0, token.find(':')));
}

class Parser {
  public:
    void option(std::string_view token);
    void longOption(std::string_view arg, const std::vector<std::string>& args, std::size_t& i);
    void finish();

    OptionRecord record;

  private:
    void automation() { record.actionFlags |= ACTION_AUTOMATION; }
    void linkGiven() { record.actionFlags |= ACTION_AUTOMATION | ACTION_LINK_SETTINGS; }
    // Option bits only accumulate: "silent" and "autoread:on" may both be given.
    void setOption(std::uint16_t bits) {
        record.optionFlags = static_cast<std::uint16_t>(record.optionFlags | bits);
    }
    void setPortPath(std::string_view path);
    bool netParamEdit() const { return record.hasOption(OPT_NETPARAM_EDIT); }
};

void Parser::option(std::string_view token) {
    const std::size_t colon = token.find(':');
    const std::string name = FoldCase(token.substr(0, colon));
    const std::string_view rawValue =
        colon == std::string_view::npos ? std::string_view() : token.substr(colon + 1);
    // The log path keeps its case: file names here are case-sensitive.
    if (name == "elog") {
        record.errorLogPath = std::string(Unquote(rawValue));
        return;
    }
    const std::string value = FoldCase(rawValue);
    OptionRecord& r = record;

    if (name == "write") {
        r.actionFlags |= ACTION_AUTOMATION | ACTION_WRITE_ALL;
    } else if (name == "read") {
        r.actionFlags |= ACTION_AUTOMATION | ACTION_READ_ALL;
    } else if (name == "port") {
        if (netParamEdit()) return;
        automation();
        if (ScanField(value, r.portNumber)) {
            r.portPath.clear();
            linkGiven();
        }
    } else if (name == "bps") {
        if (ScanField(value, r.baudRate)) linkGiven();
    } else if (name == "prty") {
        linkGiven();
        if (value == "even") {
            r.parity = PARITY_EVEN;
        } else if (value == "odd") {
            r.parity = PARITY_ODD;
        } else if (value == "no") {
            r.parity = PARITY_NONE;
        } else {
            r.actionFlags &= ~ACTION_LINK_SETTINGS;
        }
    } else if (name == "addr") {
        // Too long for the record: ignored rather than cut to a different address.
        if (!value.empty() && Utf8Length(value) <= kMaxAddressLength) {
            r.address = value;
            linkGiven();
        }
    } else if (name == "len") {
        if (ScanField(value, r.dataBits)) linkGiven();
    } else if (name == "sbit") {
        if (!value.empty() && Utf8Length(value) <= kMaxStopBitsLength) {
            r.stopBits = value;
            linkGiven();
        }
    } else if (name == "alen") {
        if (ScanField(value, r.addressLength)) linkGiven();
    } else if (name == "rs485") {
        automation();
        if (value == "auto") r.converterMode = CONVERTER_AUTO;
        if (value == "off") r.converterMode = CONVERTER_OFF;
        if (value == "on") r.converterMode = CONVERTER_ON;
    } else if (name == "aply") {
        r.actionFlags |= ACTION_AUTOMATION | ACTION_APPLY;
    } else if (name == "x" || name == "y" || name == "w" || name == "h") {
        static constexpr std::string_view kNames = "xywh";
        const auto index = kNames.find(name);
        std::int32_t* fields[] = {&r.x, &r.y, &r.width, &r.height};
        if (ScanField(value, *fields[index])) {
            r.geometryFlags |= static_cast<std::uint8_t>(1u << index);
            automation();
        }
    } else if (name == "autoread") {
        automation();
        if (value == "on") setOption(OPT_AUTOREAD_ON);
        if (value == "off") setOption(OPT_AUTOREAD_OFF);
    } else if (name == "autowrite") {
        automation();
        if (value == "on") setOption(OPT_AUTOWRITE_ON);
        if (value == "off") setOption(OPT_AUTOWRITE_OFF);
    } else if (name == "silent") {
        automation();
        setOption(OPT_SILENT | OPT_AUTOREAD_OFF | OPT_AUTOWRITE_OFF);
    } else if (name == "close") {
        r.actionFlags |= ACTION_AUTOMATION | ACTION_CLOSE;
    } else if (name == "calibrate") {
        r.actionFlags |= ACTION_AUTOMATION | ACTION_CALIBRATE;
    } else if (name == "exitevent") {
        r.exitEventName = std::string(Unquote(value));
    } else if (name == "test") {
        automation();
        setOption(OPT_TEST_RUN);
    } else if (name == "newnetparam") {
        automation();
        setOption(OPT_NETPARAM_EDIT | OPT_NO_DEVICE);
        r.actionFlags &= ~ACTION_LINK_SETTINGS;
        r.portNumber = 0;
        r.portPath.clear();
    }
}

// --port=PATH names the port like "port" does with a number.
void Parser::setPortPath(std::string_view path) {
    if (netParamEdit()) return;
    automation();
    if (path.empty()) return;
    record.portPath = std::string(path);
    record.portNumber = 0;
    linkGiven();
}

void Parser::longOption(std::string_view arg, const std::vector<std::string>& args,
                        std::size_t& i) {
    constexpr std::string_view kPort = "--port=";
    constexpr std::string_view kDump = "--dump=";
    if (arg == "--help") {
        record.help = true;
    } else if (arg == "--version") {
        record.version = true;
    } else if (arg == "--simulate") {
        record.simulate = true;
    } else if (arg == "--headless") {
        record.headless = true;
    } else if (arg.starts_with(kPort)) {
        setPortPath(arg.substr(kPort.size()));
    } else if (arg.starts_with(kDump)) {
        record.dump = std::string(arg.substr(kDump.size()));
    } else if (arg == "--dump" && i + 1 < args.size()) {
        record.dump = args[++i];
    }
}

void Parser::finish() {
    OptionRecord& r = record;
    if (r.automation() && !r.portGiven()) r.optionFlags |= OPT_NO_DEVICE;
    const std::uint8_t size = GEOMETRY_WIDTH | GEOMETRY_HEIGHT;
    r.startMinimised = (r.geometryFlags & size) == size && r.width == 0 && r.height == 0;
}

}  // namespace

bool OptionRecord::automation() const {
    return hasAction(ACTION_AUTOMATION);
}

WindowStart StartOfWindow(const OptionRecord& options) {
    const std::uint8_t size = GEOMETRY_WIDTH | GEOMETRY_HEIGHT;
    const std::uint8_t place = GEOMETRY_X | GEOMETRY_Y;
    if ((options.geometryFlags & size) != size) return WindowStart::Maximised;
    if (options.width == 0 && options.height == 0) return WindowStart::Minimised;
    if ((options.geometryFlags & place) == place) return WindowStart::Placed;
    return WindowStart::Maximised;
}

OptionRecord ParseCommandLine(const std::vector<std::string>& args) {
    Parser parser;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.empty()) continue;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        bool isOption = false;
        if (!optionsEnded && arg.starts_with("--")) {
            parser.longOption(arg, args, i);
            continue;
        }
        if (!optionsEnded && arg.front() == '-') isOption = true;
        // An absolute path is a file unless it starts like an option.
        if (!optionsEnded && arg.front() == '/') {
            isOption = IsOptionName(NameOf(SplitTokens(arg.substr(1)).front()));
        }
        if (!isOption) {
            parser.record.fileArgument = std::string(arg);
            continue;
        }
        for (std::string_view token : SplitTokens(arg.substr(1))) parser.option(token);
    }
    parser.finish();
    return parser.record;
}

bool CreateErrorLog(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    close(fd);
    return true;
}

}  // namespace zep8
