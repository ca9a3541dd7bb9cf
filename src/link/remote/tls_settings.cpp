#include "link/remote/tls_settings.h"

#include <cctype>
#include <filesystem>
#include <mutex>

#include "platform/file_path.h"

namespace zep8 {
namespace {

std::mutex& ProviderMutex() {
    static std::mutex mutex;
    return mutex;
}

TlsSettingsProvider& Provider() {
    static TlsSettingsProvider provider;
    return provider;
}

constexpr std::string_view kCa = "ca=", kFingerprint = "fingerprint=", kCert = "cert=",
                           kKey = "key=";

}  // namespace

std::string TlsSettings::Identity() const {
    return caFile + '\n' + fingerprint + '\n' + certFile + '\n' + keyFile;
}

std::string TlsSettings::Text() const {
    std::string text;
    auto add = [&](std::string_view name, const std::string& value) {
        if (!value.empty()) text += (text.empty() ? "" : "\n") + std::string(name) + value;
    };
    add(kCa, caFile);
    add(kFingerprint, fingerprint);
    add(kCert, certFile);
    add(kKey, keyFile);
    return text;
}

TlsSettings TlsSettings::FromText(std::string_view text) {
    TlsSettings settings;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        for (auto [name, field] : {std::pair{kCa, &settings.caFile},
                                   std::pair{kFingerprint, &settings.fingerprint},
                                   std::pair{kCert, &settings.certFile},
                                   std::pair{kKey, &settings.keyFile}}) {
            if (line.starts_with(name)) *field = std::string(line.substr(name.size()));
        }
    }
    // A damaged pin stays as it is: read as no pin, it would trust any
    // certificate the authorities signed. The handshake refuses it.
    if (!settings.fingerprint.empty()) {
        settings.fingerprint = NormalFingerprint(settings.fingerprint).value_or(settings.fingerprint);
    }
    return settings;
}

std::optional<std::string> NormalFingerprint(std::string_view typed) {
    std::string hex;
    for (const char c : typed) {
        if (c == ':' || c == ' ' || c == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (hex.size() != 64) return std::nullopt;
    return hex;
}

std::string SpacedFingerprint(std::string_view hex) {
    std::string text;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (i > 0) text += ':';
        for (std::size_t j = i; j < i + 2 && j < hex.size(); ++j)
            text += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[j])));
    }
    return text;
}

void SetTlsSettingsProvider(TlsSettingsProvider provider) {
    std::lock_guard lock(ProviderMutex());
    Provider() = std::move(provider);
}

TlsSettings TlsSettingsFor(const std::string& server) {
    TlsSettingsProvider provider;
    {
        std::lock_guard lock(ProviderMutex());
        provider = Provider();
    }
    return provider ? provider(server) : TlsSettings{};
}

std::string KeyFileExposure(const std::string& keyFile) {
#ifdef _WIN32
    (void)keyFile;
    return {};
#else
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::perms rights = fs::status(FilePath(keyFile), error).permissions();
    if (error || (rights & (fs::perms::group_read | fs::perms::others_read)) == fs::perms::none)
        return {};
    return "файл ключа клиента " + keyFile +
           " могут читать не только его владелец: оставьте права только владельцу (chmod 600 " +
           keyFile + ").";
#endif
}

}  // namespace zep8
