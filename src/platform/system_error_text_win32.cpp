#include <windows.h>

#include "platform/system_error_text.h"

namespace zep8 {

std::string WindowsErrorText(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "нет такой папки или файла";
        case ERROR_ACCESS_DENIED:
            return "нет прав на запись";
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "занято другой программой";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "на диске нет места";
        case ERROR_WRITE_PROTECT:
            return "диск защищён от записи";
        case ERROR_FILENAME_EXCED_RANGE:
            return "слишком длинное имя";
        case ERROR_INVALID_NAME:
            return "недопустимое имя";
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
            return "устройства нет";
        case ERROR_GEN_FAILURE:
        case ERROR_CRC:
            return "ошибка ввода-вывода";
        default:
            return "ошибка системы " + std::to_string(error);
    }
}

}  // namespace zep8
