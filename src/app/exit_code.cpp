#include "app/exit_code.h"

#include "link/line/line_port.h"
#include "link/serial/port_names.h"

namespace zep8 {
namespace {

char ParityLetter(int scheme) {
    switch (scheme) {
        case SCHEME_EVEN:
            return 'E';
        case SCHEME_ODD:
            return 'O';
        case SCHEME_MARK:
            return 'M';
        case SCHEME_SPACE:
            return 'S';
        default:
            return 'N';
    }
}

// A message box text is several lines; a calling program's log wants one.
std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

int ExitCodeFor(std::uint32_t exitStatus, int normalCode) {
    constexpr int kFirstCode = 200;
    constexpr int kBits = 7;  // 0x01 ... 0x40
    for (int bit = 0; bit < kBits; ++bit) {
        if (exitStatus & (std::uint32_t{1} << bit)) return kFirstCode + bit;
    }
    return normalCode;
}

std::string_view ExitCodeMeaning(int code) {
    switch (code) {
        case 200:
            return "нет файла или он испорчен";
        case 201:
            return "порт не открывается или не указан";
        case 202:
            return "прибор не отвечает";
        case 203:
            return "ошибки на линии (ответы не разобрать)";
        case 204:
            return "задание закончилось с ошибками параметров";
        case 205:
            return "прервано";
        case 206:
            return "ответил не ЗЕП8";
        default:
            return "ошибка";
    }
}

std::string FailureLine(int code, std::string_view reason, const PortSettings* port) {
    std::string line = "zep8: " + std::string(ExitCodeMeaning(code));
    if (const std::string shown = OneLine(reason); !shown.empty()) line += ": " + shown;
    if (port) {
        line += " (" + PortDevicePath(port->name) + ", " + std::to_string(port->baudRate) +
                " бод, " + std::to_string(port->byteSize) + ParityLetter(port->parityScheme) +
                std::to_string(port->stopBits) + ", адрес " + std::to_string(port->baseAddress);
        if (port->addressLength == 11) line += " (11 бит)";
        line += ")";
    }
    return line;
}

}  // namespace zep8
