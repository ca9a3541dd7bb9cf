#include "link/line/port_settings.h"

#include <algorithm>
#include <iterator>

namespace zep8 {
namespace {

constexpr unsigned kBaudRates[] = {110,   300,   600,   1200,  2400,  4800,   9600,   14400,
                                   19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000};

}  // namespace

std::optional<SettingsRefusal> RefuseSettings(const PortSettings& s, bool checkSpeed) {
    if (s.parityScheme < SCHEME_NONE_0 || s.parityScheme > SCHEME_SPACE) {
        return SettingsRefusal{OPEN_UNSUPPORTED, "Схема контроля четности " +
                                                     std::to_string(s.parityScheme) +
                                                     " не поддерживается."};
    }
    if (s.byteSize < 5 || s.byteSize > 8) {
        return SettingsRefusal{OPEN_BAD_BYTE_SIZE, "Длина слова данных " +
                                                       std::to_string(s.byteSize) +
                                                       " бит не поддерживается."};
    }
    if (s.stopBits != 1 && s.stopBits != 2) {
        return SettingsRefusal{OPEN_UNSUPPORTED, "Число стоп-бит " + std::to_string(s.stopBits) +
                                                     " не поддерживается."};
    }
    if (checkSpeed &&
        std::find(std::begin(kBaudRates), std::end(kBaudRates), s.baudRate) == std::end(kBaudRates)) {
        return SettingsRefusal{OPEN_UNSUPPORTED,
                               "Скорость " + std::to_string(s.baudRate) + " бод не поддерживается."};
    }
    return std::nullopt;
}

}  // namespace zep8
