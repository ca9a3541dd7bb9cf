#include "ops/network/server_entry.h"

#include <filesystem>

#include "link/remote/remote_line.h"
#include "platform/file_path.h"

namespace zep8 {
namespace {

std::string MissingFile(const std::string& path, std::string_view what) {
    if (path.empty()) return {};
    std::error_code error;
    if (std::filesystem::is_regular_file(FilePath(path), error)) return {};
    return std::string(what) + " " + path + " не найден.";
}

}  // namespace

std::string ServerEntry::PortName() const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return std::string(rfc2217 ? "rfc2217" : "tcp") + (tls ? "+tls" : "") + "://" + shownHost +
           ":" + std::to_string(port);
}

std::string ServerEntry::Server() const {
    return host + ":" + std::to_string(port);
}

std::optional<ServerEntry> ServerEntry::FromPortName(std::string_view name,
                                                     const TlsSettings& trust) {
    const std::optional<RemoteAddress> address = ParseRemotePortName(name);
    if (!address) return std::nullopt;
    ServerEntry entry;
    entry.rfc2217 = address->rfc2217;
    entry.tls = address->tls;
    entry.host = address->host;
    entry.port = std::stoi(address->port);
    if (entry.tls) entry.trust = trust;
    return entry;
}

std::string ServerEntry::Fault() {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')  // [::1]
        host = host.substr(1, host.size() - 2);
    if (host.empty()) return "Укажите имя или адрес сервера.";
    if (host.find_first_of(" /[]") != std::string::npos || host.find("://") != std::string::npos)
        return "Имя сервера «" + host +
               "» пишется без пробелов и без вида линии, например plc-hall или 192.168.0.7.";
    if (port < 1 || port > 65535) return "Номер порта сервера должен быть числом от 1 до 65535.";
    if (!ParseRemotePortName(PortName())) return "Имя сервера «" + host + "» не годится.";
    if (!tls) {
        trust = {};
        return {};
    }
    if (!trust.fingerprint.empty()) {
        const std::optional<std::string> normal = NormalFingerprint(trust.fingerprint);
        if (!normal) {
            return "Отпечаток сертификата сервера — это SHA-256: 64 шестнадцатеричные цифры "
                   "(двоеточия и пробелы между ними можно оставить).";
        }
        trust.fingerprint = *normal;
    }
    if (!trust.keyFile.empty() && trust.certFile.empty())
        return "Ключ клиента задан без сертификата клиента.";
    for (const auto& [path, what] : {std::pair{&trust.caFile, "Файл сертификата центра"},
                                     std::pair{&trust.certFile, "Файл сертификата клиента"},
                                     std::pair{&trust.keyFile, "Файл ключа клиента"}}) {
        if (std::string missing = MissingFile(*path, what); !missing.empty()) return missing;
    }
    return {};
}

}  // namespace zep8
