#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/remote/tls_settings.h"
#include "ops/network/program_settings.h"
#include "ops/network/server_entry.h"
#include "platform/settings_store.h"

namespace zep8 {

class NetRS485prg;

// Every value the program keeps between runs, with the names, defaults and
// formats earlier versions wrote, so that their settings files keep working:
//
// "SOFTWARE\ARVO\ZEP8" (kProgramKey), the program's own:
//   "port_number" (n of "COMn", 1), "port_name" (any other port name, ""),
//   "baud_rate" (9600), "byte_size" (8), "parity_scheme" (1 none, 2 even,
//   3 odd; 1), "stop_bits" (1), "address_length" (8), "address" (16),
//   "echo" (1: drop the adapter's echo of each request; 0),
//   "remote_ports" (the last four serial device servers used, newest first,
//   one a line), "servers" (the servers the operator keeps, by port name,
//   one a line, in the order added), "password" (902417 while none is kept; a salted hash, or
//   the text as the maker's other configurators keep it: see StorePassword),
//   "show_differences_before_write" (0 or 1; 0),
//   "tls HOST:PORT" (how to trust that server over TLS: TlsSettings::Text).
// "Software\ARVO\ZEP8\Recent File List": "File1" ... "File8", newest first.
// "Software\ARVO\ZEP8\Window Layout": "main_geometry" and "main_state" (the
//   main window with its dock and toolbar), "plot_geometry", as base64 text of
//   what the window layer saved; "column_widths" ("300,100,150,110,340", or
//   empty while the columns follow the window's width).
// "Software\ARVO\Devices\ZEP8v7x" (kInstallationKey), the installation
//   record: "name", "version", "description", "application" (installation.h).
inline constexpr std::string_view kProgramKey = "SOFTWARE\\ARVO\\ZEP8";
inline constexpr std::string_view kRecentFilesKey = "Software\\ARVO\\ZEP8\\Recent File List";
inline constexpr std::string_view kWindowLayoutKey = "Software\\ARVO\\ZEP8\\Window Layout";
inline constexpr std::string_view kInstallationKey = "Software\\ARVO\\Devices\\ZEP8v7x";
inline constexpr std::string_view kDefaultPassword = "902417";

enum PasswordReadStatus : int {
    PASSWORD_READ_OK = 0,
    PASSWORD_VALUE_UNREADABLE = 1,
    PASSWORD_KEY_MISSING = 2,
};

enum PasswordWriteStatus : int {
    PASSWORD_WRITE_OK = 0,
    PASSWORD_WRITE_FAILED = 1,
    PASSWORD_WRITE_KEY_MISSING = 2,
};

struct PasswordRead {
    // As kept: a hash (PasswordMatches checks a typed password against it), a
    // plain text of an earlier version, or the default unless the status is
    // PASSWORD_READ_OK.
    std::string password;
    int status = PASSWORD_READ_OK;
};

// The main window as the operator left it. The window layer's own bytes,
// kept as text; empty when nothing is kept.
struct WindowLayout {
    std::string geometry;
    std::string state;
    // Only widths the operator set by hand; empty: fitted to the window.
    std::vector<int> columnWidths;
};

// A view of the settings store by what the program keeps in it; cheap to
// make wherever a value is wanted.
class Preferences {
  public:
    static constexpr int kRecentFiles = 8;

    explicit Preferences(SettingsStore& store) : store_(store) {}

    // How to trust the server "HOST:PORT" over TLS: the defaults when nothing
    // is kept for it.
    TlsSettings tlsSettings(const std::string& server) const;
    void StoreTlsSettings(const std::string& server, const TlsSettings& settings);
    // The operator trusts the server's certificate for good: its fingerprint
    // is pinned, beside whatever else is kept for the server.
    void PinFingerprint(const std::string& server, const std::string& fingerprint);

    // The servers the operator keeps, with their TLS settings.
    std::vector<ServerEntry> keptServers() const;
    // Keeps `server` (in the place of the one named `replaced`, when given)
    // with its TLS settings.
    void KeepServer(const ServerEntry& server, const std::string& replaced = {});
    void ForgetServer(const std::string& portName);
    // The ports to offer: the machine's, the kept servers, the servers used
    // lately; ":"-separated, as the port list is.
    std::string PortChoice(const std::string& machinePorts) const;

    // The program's port settings, the defaults for what is missing.
    ProgramPortSettings portSettings() const;
    // Writes what the record has; the first write makes the program's key.
    void StorePortSettings(const ProgramPortSettings& settings);
    // The same, to and from the program's network node.
    void LoadProgramSettings(NetRS485prg& node) const;
    void StoreProgramSettings(const NetRS485prg& node);
    std::vector<std::string> recentRemotePorts() const;

    PasswordRead password() const;
    // Keeps `password` in the form the store holds already: as text when the
    // value kept is text (the maker's other configurators read it so from the
    // shared registry key), else as a salted hash; a first value is hashed
    // unless the store is shared with other programs. Writes into the
    // existing program key only, it never creates it.
    int StorePassword(std::string_view password);
    // The password of this run, as password() reads it; never rewritten
    // (PasswordMatches checks either form).
    std::string OperatorPassword() const;

    bool showDifferencesBeforeWrite() const;
    void SetShowDifferencesBeforeWrite(bool on);

    // Newest first, at most kRecentFiles.
    std::vector<std::string> recentFiles() const;
    void StoreRecentFiles(const std::vector<std::string>& files);

    WindowLayout windowLayout() const;
    void StoreWindowLayout(const WindowLayout& layout);
    std::string plotGeometry() const;
    void StorePlotGeometry(std::string_view geometry);

  private:
    bool HaveKey(std::string_view key);

    SettingsStore& store_;
};

}  // namespace zep8
