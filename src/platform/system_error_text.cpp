#include "platform/system_error_text.h"

#include <cerrno>

namespace zep8 {

std::string SystemErrorText(int error) {
    switch (error) {
        case EFBIG:
            return "файл больше, чем разрешено записывать";
        case ENOSPC:
            return "на диске нет места";
#ifdef EDQUOT
        case EDQUOT:
            return "исчерпана дисковая квота";
#endif
        case EACCES:
        case EPERM:
            return "нет прав на запись";
        case EROFS:
            return "файловая система только для чтения";
        case EIO:
            return "ошибка ввода-вывода";
        case ENOENT:
            return "нет такой папки или файла";
        case ENOTDIR:
            return "на месте папки в пути лежит файл";
        case EISDIR:
            return "на месте файла папка";
        case ENAMETOOLONG:
            return "слишком длинное имя";
        case EBUSY:
            return "занято другой программой";
        case ENODEV:
        case ENXIO:
            return "устройства нет";
        default:
            return "ошибка системы " + std::to_string(error);
    }
}

}  // namespace zep8
