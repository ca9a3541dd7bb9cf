#include "app/command_line.h"


#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>

#include "link/remote/remote_line.h"
#include "link/serial/port_names.h"
#include "ops/fleet/address_list.h"
#include "platform/file_path.h"
#include "platform/named_exit_event.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

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

std::string UsageErrorText(std::string_view what) {
    return "zep8: " + std::string(what) + " (список параметров: zep8 --help)";
}

class Parser {
  public:
    void option(std::string_view token);
    void longOption(std::string_view arg, const std::vector<std::string>& args, std::size_t& i);
    void tlsOption(std::string_view arg);
    void finish();

    OptionRecord record;

    // What the options' actions do to the record.
    void actions(std::uint32_t bits) { record.actionFlags |= bits; }
    void automation() { record.actionFlags |= ACTION_AUTOMATION; }
    void linkGiven() { record.actionFlags |= ACTION_AUTOMATION | ACTION_LINK_SETTINGS; }
    // Option bits only accumulate: "silent" and "autoread:on" may both be given.
    void setOption(std::uint16_t bits) {
        record.optionFlags = static_cast<std::uint16_t>(record.optionFlags | bits);
    }
    void setPortPath(std::string_view path);
    bool netParamEdit() const { return record.hasOption(OPT_NETPARAM_EDIT); }
};

// One option of the command line: its name, what may follow the colon, its
// line in --help, and what it does to the record (given the value in lower
// case and as typed).
struct OptionEntry {
    std::string_view name;
    std::string_view value;
    std::string_view help;
    void (*apply)(Parser& p, const std::string& value, std::string_view typed);
};

void LinkNumber(Parser& p, const std::string& value, auto OptionRecord::*field) {
    if (ScanField(value, p.record.*field)) p.linkGiven();
}

void LinkText(Parser& p, const std::string& value, std::string OptionRecord::*field,
              std::size_t limit) {
    // Too long for the record: ignored rather than cut to a different value.
    if (!value.empty() && Utf8Length(value) <= limit) {
        p.record.*field = value;
        p.linkGiven();
    }
}

void Geometry(Parser& p, const std::string& value, std::int32_t OptionRecord::*field,
              std::uint8_t bit) {
    if (ScanField(value, p.record.*field)) {
        p.record.geometryFlags |= bit;
        p.automation();
    }
}

void OnOff(Parser& p, const std::string& value, std::uint16_t on, std::uint16_t off) {
    p.automation();
    if (value == "on") p.setOption(on);
    if (value == "off") p.setOption(off);
}

constexpr OptionEntry kOptions[] = {
    {"write", "", "записать в прибор все параметры из ФАЙЛ.zep",
     [](Parser& p, const std::string&, std::string_view) {
         p.actions(ACTION_AUTOMATION | ACTION_WRITE_ALL);
     }},
    {"read", "", "считать все параметры прибора и сохранить их в ФАЙЛ.zep",
     [](Parser& p, const std::string&, std::string_view) {
         p.actions(ACTION_AUTOMATION | ACTION_READ_ALL);
     }},
    {"port", "N", "порт N на этот запуск",
     [](Parser& p, const std::string& value, std::string_view) {
         if (p.netParamEdit()) return;
         p.automation();
         if (ScanField(value, p.record.portNumber)) {
             p.record.portPath.clear();
             p.linkGiven();
         }
     }},
    {"bps", "N", "скорость обмена",
     [](Parser& p, const std::string& value, std::string_view) {
         LinkNumber(p, value, &OptionRecord::baudRate);
     }},
    {"prty", "even|odd|no", "контроль четности",
     [](Parser& p, const std::string& value, std::string_view) {
         p.linkGiven();
         if (value == "even") {
             p.record.parity = PARITY_EVEN;
         } else if (value == "odd") {
             p.record.parity = PARITY_ODD;
         } else if (value == "no") {
             p.record.parity = PARITY_NONE;
         } else {
             p.record.actionFlags &= ~ACTION_LINK_SETTINGS;
         }
     }},
    {"addr", "N", "адрес прибора",
     [](Parser& p, const std::string& value, std::string_view) {
         LinkText(p, value, &OptionRecord::address, kMaxAddressLength);
     }},
    {"len", "N", "длина слова данных",
     [](Parser& p, const std::string& value, std::string_view) {
         LinkNumber(p, value, &OptionRecord::dataBits);
     }},
    {"sbit", "N", "количество стоп-бит",
     [](Parser& p, const std::string& value, std::string_view) {
         LinkText(p, value, &OptionRecord::stopBits, kMaxStopBitsLength);
     }},
    {"alen", "8|11", "длина адреса",
     [](Parser& p, const std::string& value, std::string_view) {
         LinkNumber(p, value, &OptionRecord::addressLength);
     }},
    {"rs485", "auto|off|on", "тип преобразователя интерфейса",
     [](Parser& p, const std::string& value, std::string_view) {
         p.automation();
         if (value == "auto") p.record.converterMode = CONVERTER_AUTO;
         if (value == "off") p.record.converterMode = CONVERTER_OFF;
         if (value == "on") p.record.converterMode = CONVERTER_ON;
     }},
    {"aply", "", "применить новые сетевые настройки (с /write и параметрами связи)",
     [](Parser& p, const std::string&, std::string_view) {
         p.actions(ACTION_AUTOMATION | ACTION_APPLY);
     }},
    {"x", "N", "левый край окна",
     [](Parser& p, const std::string& value, std::string_view) {
         Geometry(p, value, &OptionRecord::x, GEOMETRY_X);
     }},
    {"y", "N", "верхний край окна",
     [](Parser& p, const std::string& value, std::string_view) {
         Geometry(p, value, &OptionRecord::y, GEOMETRY_Y);
     }},
    {"w", "N", "ширина окна (/w:0/h:0 - свернуть)",
     [](Parser& p, const std::string& value, std::string_view) {
         Geometry(p, value, &OptionRecord::width, GEOMETRY_WIDTH);
     }},
    {"h", "N", "высота окна",
     [](Parser& p, const std::string& value, std::string_view) {
         Geometry(p, value, &OptionRecord::height, GEOMETRY_HEIGHT);
     }},
    {"autoread", "on|off", "режим автоматического чтения",
     [](Parser& p, const std::string& value, std::string_view) {
         OnOff(p, value, OPT_AUTOREAD_ON, OPT_AUTOREAD_OFF);
     }},
    {"autowrite", "on|off", "режим автоматической записи (только отмечается)",
     [](Parser& p, const std::string& value, std::string_view) {
         OnOff(p, value, OPT_AUTOWRITE_ON, OPT_AUTOWRITE_OFF);
     }},
    {"silent", "", "без сообщений связи, порт открывается только для работы",
     [](Parser& p, const std::string&, std::string_view) {
         p.automation();
         p.setOption(OPT_SILENT | OPT_AUTOREAD_OFF | OPT_AUTOWRITE_OFF);
     }},
    {"close", "", "закрыть программу по окончании",
     [](Parser& p, const std::string&, std::string_view) {
         p.actions(ACTION_AUTOMATION | ACTION_CLOSE);
     }},
    {"calibrate", "", "открыть юстировку и закрыть программу по ее окончании",
     [](Parser& p, const std::string&, std::string_view) {
         p.actions(ACTION_AUTOMATION | ACTION_CALIBRATE);
     }},
    {"elog", "ФАЙЛ", "протокол ошибок чтения и записи",
     [](Parser& p, const std::string&, std::string_view typed) {
         // The log path keeps its case: file names here are case-sensitive.
         p.record.errorLogPath = std::string(Unquote(typed));
     }},
    {"exitevent", "ИМЯ", "событие завершения для вызывающей программы:",
     [](Parser& p, const std::string& value, std::string_view) {
         p.record.exitEventName = std::string(Unquote(value));
     }},
    {"test", "", "только проверить связь с прибором",
     [](Parser& p, const std::string&, std::string_view) {
         p.automation();
         p.setOption(OPT_TEST_RUN);
     }},
    {"newnetparam", "", "заменить сетевые параметры в ФАЙЛ.zep параметрами связи",
     [](Parser& p, const std::string&, std::string_view) {
         p.automation();
         p.setOption(OPT_NETPARAM_EDIT | OPT_NO_DEVICE);
         p.record.actionFlags &= ~ACTION_LINK_SETTINGS;
         p.record.portNumber = 0;
         p.record.portPath.clear();
     }},
};

const OptionEntry* FindOption(std::string_view name) {
    for (const OptionEntry& entry : kOptions) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

void Parser::option(std::string_view token) {
    const std::size_t colon = token.find(':');
    const std::string name = FoldCase(token.substr(0, colon));
    const std::string_view typed =
        colon == std::string_view::npos ? std::string_view() : token.substr(colon + 1);
    if (const OptionEntry* entry = FindOption(name)) entry->apply(*this, FoldCase(typed), typed);
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
    constexpr std::string_view kReport = "--report=";
    constexpr std::string_view kAddresses = "--addresses=";
    constexpr std::string_view kCsv = "--csv=";
    if (arg.starts_with("--tls-")) {
        tlsOption(arg);
    } else if (arg == "--help") {
        record.help = true;
    } else if (arg == "--version") {
        record.version = true;
    } else if (arg == "--simulate") {
        record.simulate = true;
    } else if (arg == "--simulate=factory") {
        record.simulate = true;
        record.simulateFactory = true;
    } else if (arg == "--headless") {
        record.headless = true;
    } else if (arg == "--doctor") {
        record.doctor = true;
    } else if (arg == "--trace") {
        record.trace = true;
    } else if (arg == "--survey") {
        record.survey = true;
    } else if (arg == "--all-speeds") {
        record.allSpeeds = true;
    } else if (arg.starts_with(kPort)) {
        setPortPath(arg.substr(kPort.size()));
    } else if (arg.starts_with(kAddresses) || arg == "--addresses") {
        const std::string_view list = arg.substr(std::min(arg.size(), kAddresses.size()));
        record.addresses.clear();
        record.addressSurvey = FoldCase(list) == "survey";
        std::string why;
        if (list.empty()) why = "после --addresses= нужен список адресов или survey";
        if (!record.addressSurvey && why.empty()) {
            if (const auto addresses = ReadAddressList(list, ',', why))
                record.addresses = *addresses;
        }
        if (!why.empty() && record.usageError.empty())
            record.usageError = UsageErrorText("--addresses=: " + why);
    } else if (arg.starts_with(kCsv)) {
        record.csvPath = std::string(arg.substr(kCsv.size()));
    } else if (arg.starts_with(kDump)) {
        record.dump = std::string(arg.substr(kDump.size()));
    } else if (arg.starts_with(kReport) || arg == "--report") {
        record.report = true;
        if (arg.size() > kReport.size())
            record.reportPath = std::string(arg.substr(kReport.size()));
    } else if (arg == "--dump") {
        if (i + 1 < args.size()) record.dump = args[++i];
    } else if (record.unknownOption.empty()) {
        record.unknownOption = std::string(arg);
    }
}

void Parser::tlsOption(std::string_view arg) {
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const std::string value =
        equals == std::string_view::npos ? std::string() : std::string(arg.substr(equals + 1));
    TlsSettings& tls = record.tls;
    std::string why;
    if (name == "--tls-fingerprint") {
        const std::optional<std::string> fingerprint = NormalFingerprint(value);
        if (fingerprint) tls.fingerprint = *fingerprint;
        else why = "--tls-fingerprint=: нужен отпечаток SHA-256 сертификата сервера, 64 "
                   "шестнадцатеричные цифры (двоеточия можно)";
    } else if (name == "--tls-ca" || name == "--tls-cert" || name == "--tls-key") {
        std::string& field = name == "--tls-ca"     ? tls.caFile
                             : name == "--tls-cert" ? tls.certFile
                                                    : tls.keyFile;
        // Kept in the settings: a relative name would mean another file elsewhere.
        std::error_code error;
        field = value.empty() ? value : Utf8Name(std::filesystem::absolute(FilePath(value), error));
        if (value.empty()) why = std::string(name) + "=: нужно имя файла";
    } else if (record.unknownOption.empty()) {
        record.unknownOption = std::string(arg);
    }
    if (!why.empty() && record.usageError.empty()) record.usageError = UsageErrorText(why);
}

void Parser::finish() {
    OptionRecord& r = record;
    const std::optional<RemoteAddress> remote = ParseRemotePortName(r.portPath);
    if (const std::string fault = RemotePortNameFault(r.portPath);
        !fault.empty() && r.usageError.empty()) {
        r.usageError = UsageErrorText(fault);
    }
    if (r.tlsGiven() && !(remote && remote->tls) && r.usageError.empty()) {
        r.usageError = UsageErrorText(
            "--tls-ca, --tls-fingerprint, --tls-cert и --tls-key задаются вместе с "
            "--port=rfc2217+tls://СЕРВЕР:ПОРТ или --port=tcp+tls://СЕРВЕР:ПОРТ");
    }
    // One address and a list of them cannot both hold.
    if (r.manyModules() && !r.address.empty() && r.usageError.empty())
        r.usageError = UsageErrorText("--addresses= не задается вместе с /addr:");
    if (r.manyModules() && (r.hasAction(ACTION_READ_ALL) || r.hasOption(OPT_TEST_RUN)) &&
        r.usageError.empty())
        r.usageError = UsageErrorText("--addresses= задается с /write, не с /read и /test");
    if (r.report && r.usageError.empty()) {
        constexpr std::uint32_t kJobs =
            ACTION_WRITE_ALL | ACTION_READ_ALL | ACTION_CALIBRATE | ACTION_APPLY;
        if (r.reportPath.empty()) {
            r.usageError = UsageErrorText("после --report= нужно имя файла отчёта");
        } else if (r.hasAction(kJobs) || r.hasOption(OPT_TEST_RUN | OPT_NETPARAM_EDIT) ||
                   r.survey || r.doctor || !r.dump.empty()) {
            // A report reads the module and changes nothing: never half of another job.
            r.usageError = UsageErrorText(
                "--report не сочетается с /read, /write, /calibrate, /aply, /test, "
                "/newnetparam, --survey, --doctor и --dump");
        }
    }
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
            isOption = FindOption(NameOf(SplitTokens(arg.substr(1)).front())) != nullptr;
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

std::string UnknownOptionText(std::string_view option) {
    return "zep8: неизвестный параметр " + std::string(option) +
           " (список параметров: zep8 --help)";
}

std::string RefusalText(const OptionRecord& options) {
    if (!options.unknownOption.empty()) return UnknownOptionText(options.unknownOption);
    return options.usageError;
}

std::string OptionHelp() {
    std::string text;
    for (const OptionEntry& entry : kOptions) {
        std::string usage = "  /" + std::string(entry.name);
        if (!entry.value.empty()) usage += ":" + std::string(entry.value);
        const std::size_t width = Utf8Length(usage);
        usage.append(width < 22 ? 22 - width : 1, ' ');
        text += usage + std::string(entry.help);
        // What differs between systems is told by the system's own units.
        if (entry.name == "port") text += " (это " + std::string(PortNumberMeaning()) + ")";
        if (entry.name == "exitevent") text += " " + NamedExitEvent::SemaphoreName("имя");
        text += "\n";
    }
    return text;
}

bool CreateErrorLog(const std::string& path) {
    std::ofstream log(FilePath(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(log);
}

}  // namespace zep8
