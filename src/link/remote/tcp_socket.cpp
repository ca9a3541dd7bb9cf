#include "link/remote/tcp_socket.h"

namespace zep8::tcp_texts {

std::string HostNotFound(const std::string& host, NameFault fault) {
    const char* why = "адрес не определяется";
    switch (fault) {
        case NameFault::NoSuchName:
            why = "такого имени в сети нет";
            break;
        case NameFault::ServiceDown:
            why = "служба имён сейчас не отвечает";
            break;
        case NameFault::BadPort:
            why = "номер порта неверен";
            break;
        case NameFault::Other:
            break;
    }
    return "Сервер " + host + " не найден: " + why + ".";
}

std::string NotConnected(const std::string& where, ConnectFault fault,
                         std::chrono::milliseconds timeout, const std::string& systemText) {
    if (fault == ConnectFault::Refused) {
        return "Сервер " + where +
               " отказал в соединении: на этом порту никто не ждёт (сервер портов не запущен?).";
    }
    if (fault == ConnectFault::TimedOut) {
        return "Сервер " + where + " не отвечает: соединения нет за " +
               std::to_string(timeout.count() / 1000) + " с.";
    }
    return "Нет соединения с сервером " + where + ": " + systemText + ".";
}

std::string Interrupted(const std::string& where) {
    return "Соединение с сервером " + where + " прервано.";
}

}  // namespace zep8::tcp_texts
