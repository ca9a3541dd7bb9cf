#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zep8 {

class Channels;
class Common;
class CommonParams;
class Event;
class NetRS485;
class Prompter;

// The nodes a .zep file holds, in the program's own objects.
struct ConfigurationNodes {
    CommonParams& commonParams;
    NetRS485& net;
    Common& common;
    Channels& channels;
};

// The bytes of a .zep file for the configuration.
std::string SaveConfiguration(const ConfigurationNodes& nodes);

enum class LoadStatus {
    Loaded,
    DamagedDocument,  // a document version the program does not read; nothing loaded
    FormatError,      // damaged or foreign file; nothing loaded
};

// Fills the existing parameters from the bytes of a .zep file. All or
// nothing: on any error the configuration stays as it was and the operator
// is told why; a format error also makes EXIT_FILE_ERROR (bit 0x01, exit
// code 200) the whole exit status and signals `abortEvent` when one is given.
LoadStatus LoadConfiguration(const ConfigurationNodes& nodes, std::string_view bytes,
                             Prompter& prompter, Event* abortEvent);

// Writes the file through a temporary one beside it, so that a failed save
// never destroys the previous file. Returns the reason of a failure.
std::optional<std::string> SaveConfigurationFile(const std::string& path,
                                                 const ConfigurationNodes& nodes);

// The whole content of a file, or nothing with the reason in `error`.
std::optional<std::string> ReadFileBytes(const std::string& path, std::string& error);

}  // namespace zep8
