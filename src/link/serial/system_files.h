#pragma once

// Reading the folders and one-line files of /sys and /proc, for the serial
// port units.

#include <string>
#include <vector>

namespace zep8 {

// The machine's own files (/sys, /proc) read the simple way: what cannot be
// read gives nothing.

// The entries of a folder, without "." and "..".
std::vector<std::string> DirectoryNames(const std::string& directory);
std::string ReadFirstLine(const std::string& path);

}  // namespace zep8
