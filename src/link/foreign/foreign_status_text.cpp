#include "link/foreign/foreign_status_text.h"

#include "link/exchange/device_error_text.h"

namespace zep8 {

std::string ForeignStatusText(int status) {
    switch (status) {
        case FOREIGN_TIMEOUT:
            return std::string(kTimeoutText);
        case FOREIGN_LINE_ERRORS:
            return "Ошибки на линии связи";
        case FOREIGN_CHECKSUM:
            return "Ошибка в контрольной сумме";
        case FOREIGN_ADDRESS:
            return "Адрес устройства в запросе не соответствует адресу в ответе.";
        case FOREIGN_MALFORMED:
            return "Некорректный ответ";
        default:
            return "";
    }
}

}  // namespace zep8
