#include <windows.h>

#include "link/serial/port_names.h"
#include "platform/system_error_text.h"
#include "platform/text.h"

namespace zep8 {

// "COMn" is \\.\COMn, which also reaches COM10 and above; a name that already
// is a device path, or a serial device server's URL, names itself.
std::string PortDevicePath(const std::string& name) {
    if (name.find("://") != std::string::npos || name.starts_with("\\\\")) return name;
    return "\\\\.\\" + name;
}

std::string_view PortNumberMeaning() {
    return "COMN";
}

std::string_view ExamplePortPath() {
    return "COM3";
}

std::string PermissionReason(const std::string& path, const std::string&, const std::string&,
                             bool, bool) {
    return "Нет прав на открытие порта " + path + ".";
}

// `error` is the system's code (GetLastError).
std::string DescribeOpenFailure(const std::string& path, int error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME:
            return "Порт " + path + " не найден: такого устройства нет.";
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            // A COM port is opened by one program at a time; the system does
            // not say which holds it.
            return "Порт " + path + " занят другой программой.";
        default:
            return "Не удаётся открыть порт " + path + ": " +
                   WindowsErrorText(static_cast<unsigned long>(error)) + ".";
    }
}

}  // namespace zep8
