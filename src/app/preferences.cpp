#include "app/preferences.h"

#include <algorithm>
#include <optional>

#include "link/remote/remote_line.h"
#include "model/number_text.h"
#include "platform/password_hash.h"
#include "platform/text.h"

namespace zep8 {
namespace {

struct NumberValue {
    std::string_view name;
    std::optional<std::int32_t> ProgramPortSettings::*field;
    std::int32_t fallback;
};
constexpr NumberValue kPortNumbers[] = {
    {"address", &ProgramPortSettings::address, 16},
    {"address_length", &ProgramPortSettings::addressLength, 8},
    {"baud_rate", &ProgramPortSettings::baudRate, 9600},
    {"byte_size", &ProgramPortSettings::byteSize, 8},
    {"stop_bits", &ProgramPortSettings::stopBits, 1},
};

constexpr std::size_t kRememberedServers = 4;

// "COMn" gives n; any other name nothing.
std::optional<long long> ComNumber(std::string_view name) {
    if (name.size() <= 3 || !EqualsIgnoreCase(name.substr(0, 3), "COM")) return std::nullopt;
    const std::string_view digits = name.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    return ReadInteger(digits);
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Widths as "300,100,150"; anything else is no widths at all.
std::vector<int> ReadWidths(std::string_view text) {
    std::vector<int> widths;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        const std::optional<long long> width = ReadInteger(text.substr(start, end - start));
        if (!width || *width <= 0 || *width > 100000) return {};
        widths.push_back(static_cast<int>(*width));
        start = end + 1;
    }
    return widths;
}

}  // namespace

bool Preferences::HaveKey(std::string_view key) {
    return store_.hasKey(key) || store_.createKey(key);
}

ProgramPortSettings Preferences::portSettings() const {
    ProgramPortSettings settings;
    for (const NumberValue& n : kPortNumbers) {
        settings.*n.field = store_.readInt(kProgramKey, n.name).value_or(n.fallback);
    }
    settings.parityScheme = store_.readInt(kProgramKey, "parity_scheme").value_or(1);
    settings.echo = store_.readInt(kProgramKey, "echo").value_or(0) != 0;
    const std::string name = store_.readString(kProgramKey, "port_name").value_or("");
    const std::int32_t number = store_.readInt(kProgramKey, "port_number").value_or(1);
    settings.port = name.empty() ? "COM" + std::to_string(number) : name;
    return settings;
}

void Preferences::StorePortSettings(const ProgramPortSettings& settings) {
    // Nobody installs the key on this system: the first store makes it.
    if (!HaveKey(kProgramKey)) return;
    for (const NumberValue& n : kPortNumbers) {
        if (const auto& v = settings.*n.field) store_.writeInt(kProgramKey, n.name, *v);
    }
    if (settings.parityScheme)
        store_.writeInt(kProgramKey, "parity_scheme", *settings.parityScheme);
    store_.writeInt(kProgramKey, "echo", settings.echo ? 1 : 0);
    if (!settings.port) return;
    const std::string& port = *settings.port;
    if (const std::optional<long long> n = ComNumber(port)) {
        store_.writeInt(kProgramKey, "port_number", static_cast<std::int32_t>(*n));
        store_.writeString(kProgramKey, "port_name", "");
        return;
    }
    store_.writeString(kProgramKey, "port_name", port);
    if (!IsRemotePortName(port)) return;
    // The server just used goes first; the oldest beyond the few remembered goes.
    std::vector<std::string> names = recentRemotePorts();
    names.erase(std::remove(names.begin(), names.end(), port), names.end());
    names.insert(names.begin(), port);
    if (names.size() > kRememberedServers) names.resize(kRememberedServers);
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : "\n") + name;
    store_.writeString(kProgramKey, "remote_ports", text);
}

void Preferences::LoadProgramSettings(NetRS485prg& node) const {
    zep8::LoadProgramSettings(node, portSettings());
}

void Preferences::StoreProgramSettings(const NetRS485prg& node) {
    StorePortSettings(ProgramSettingsOf(node));
}

TlsSettings Preferences::tlsSettings(const std::string& server) const {
    return TlsSettings::FromText(
        store_.readString(kProgramKey, "tls " + FoldCase(server)).value_or(""));
}

void Preferences::StoreTlsSettings(const std::string& server, const TlsSettings& settings) {
    if (HaveKey(kProgramKey))
        store_.writeString(kProgramKey, "tls " + FoldCase(server), settings.Text());
}

void Preferences::PinFingerprint(const std::string& server, const std::string& fingerprint) {
    TlsSettings settings = tlsSettings(server);
    settings.fingerprint = fingerprint;
    StoreTlsSettings(server, settings);
}

std::vector<ServerEntry> Preferences::keptServers() const {
    std::vector<ServerEntry> servers;
    for (const std::string& name : Lines(store_.readString(kProgramKey, "servers").value_or(""))) {
        std::optional<ServerEntry> entry = ServerEntry::FromPortName(name);
        if (!entry) continue;
        if (entry->tls) entry->trust = tlsSettings(entry->Server());
        servers.push_back(std::move(*entry));
    }
    return servers;
}

void Preferences::KeepServer(const ServerEntry& server, const std::string& replaced) {
    if (!HaveKey(kProgramKey)) return;
    const std::string name = server.PortName();
    std::vector<std::string> names;
    for (const ServerEntry& kept : keptServers()) names.push_back(kept.PortName());
    // An edited server stays in its place; a new one goes last; none twice.
    auto at = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
        return !replaced.empty() && EqualsIgnoreCase(n, replaced);
    });
    if (at != names.end()) {
        *at = name;
    } else {
        names.push_back(name);
    }
    std::vector<std::string> once;
    for (const std::string& n : names) {
        if (std::none_of(once.begin(), once.end(),
                         [&](const std::string& o) { return EqualsIgnoreCase(o, n); }))
            once.push_back(n);
    }
    std::string text;
    for (const std::string& n : once) text += (text.empty() ? "" : "\n") + n;
    store_.writeString(kProgramKey, "servers", text);
    // The trust belongs to the server: a plain line keeps none.
    StoreTlsSettings(server.Server(), server.tls ? server.trust : TlsSettings{});
}

void Preferences::ForgetServer(const std::string& portName) {
    if (!HaveKey(kProgramKey)) return;
    std::string text;
    for (const ServerEntry& kept : keptServers()) {
        if (EqualsIgnoreCase(kept.PortName(), portName)) continue;
        text += (text.empty() ? "" : "\n") + kept.PortName();
    }
    store_.writeString(kProgramKey, "servers", text);
}

std::string Preferences::PortChoice(const std::string& machinePorts) const {
    std::string list = machinePorts;
    std::vector<std::string> offered;
    auto offer = [&](const std::string& name) {
        for (const std::string& o : offered)
            if (EqualsIgnoreCase(o, name)) return;
        offered.push_back(name);
        list += (list.empty() ? "" : ":") + name;
    };
    for (const ServerEntry& kept : keptServers()) offer(kept.PortName());
    for (const std::string& name : recentRemotePorts()) offer(name);
    return list;
}

std::vector<std::string> Preferences::recentRemotePorts() const {
    return Lines(store_.readString(kProgramKey, "remote_ports").value_or(""));
}

PasswordRead Preferences::password() const {
    if (!store_.hasKey(kProgramKey)) return {std::string(kDefaultPassword), PASSWORD_KEY_MISSING};
    std::optional<std::string> password = store_.readString(kProgramKey, "password");
    if (!password) return {std::string(kDefaultPassword), PASSWORD_VALUE_UNREADABLE};
    return {std::move(*password), PASSWORD_READ_OK};
}

int Preferences::StorePassword(std::string_view password) {
    if (!store_.hasKey(kProgramKey)) return PASSWORD_WRITE_KEY_MISSING;
    // The form already kept: another configurator reading the same value
    // takes a plain one as text. A new value is hashed in a store of our own.
    const std::optional<std::string> kept = store_.readString(kProgramKey, "password");
    const bool hashed = kept ? IsPasswordHash(*kept) : !store_.sharedWithOtherPrograms();
    const std::string value = hashed ? HashPassword(password) : std::string(password);
    if (hashed && value.empty()) return PASSWORD_WRITE_FAILED;
    return store_.writeString(kProgramKey, "password", value) ? PASSWORD_WRITE_OK
                                                              : PASSWORD_WRITE_FAILED;
}

std::string Preferences::OperatorPassword() const {
    return password().password;
}

bool Preferences::showDifferencesBeforeWrite() const {
    return store_.readInt(kProgramKey, "show_differences_before_write").value_or(0) != 0;
}

void Preferences::SetShowDifferencesBeforeWrite(bool on) {
    if (!store_.hasKey(kProgramKey)) store_.createKey(kProgramKey);
    store_.writeInt(kProgramKey, "show_differences_before_write", on ? 1 : 0);
}

std::vector<std::string> Preferences::recentFiles() const {
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const auto path = store_.readString(kRecentFilesKey, "File" + std::to_string(i));
        if (path && !path->empty()) files.push_back(*path);
    }
    return files;
}

void Preferences::StoreRecentFiles(const std::vector<std::string>& files) {
    if (!store_.hasKey(kRecentFilesKey)) store_.createKey(kRecentFilesKey);
    for (std::size_t i = 0; i < kRecentFiles; ++i) {
        store_.writeString(kRecentFilesKey, "File" + std::to_string(i + 1),
                           i < files.size() ? files[i] : std::string());
    }
}

WindowLayout Preferences::windowLayout() const {
    WindowLayout layout;
    layout.geometry = store_.readString(kWindowLayoutKey, "main_geometry").value_or("");
    layout.state = store_.readString(kWindowLayoutKey, "main_state").value_or("");
    layout.columnWidths =
        ReadWidths(store_.readString(kWindowLayoutKey, "column_widths").value_or(""));
    return layout;
}

void Preferences::StoreWindowLayout(const WindowLayout& layout) {
    if (!HaveKey(kWindowLayoutKey)) return;
    store_.writeString(kWindowLayoutKey, "main_geometry", layout.geometry);
    store_.writeString(kWindowLayoutKey, "main_state", layout.state);
    std::string widths;
    for (int w : layout.columnWidths) widths += (widths.empty() ? "" : ",") + std::to_string(w);
    store_.writeString(kWindowLayoutKey, "column_widths", widths);
}

std::string Preferences::plotGeometry() const {
    return store_.readString(kWindowLayoutKey, "plot_geometry").value_or("");
}

void Preferences::StorePlotGeometry(std::string_view geometry) {
    if (HaveKey(kWindowLayoutKey)) store_.writeString(kWindowLayoutKey, "plot_geometry", geometry);
}

}  // namespace zep8
