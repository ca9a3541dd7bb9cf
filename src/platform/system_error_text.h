#pragma once

#include <string>

namespace zep8 {

// An errno value in the operator's words: the system's own texts are English
// in the C locale the program runs in.
std::string SystemErrorText(int error);
// The same for a Windows error code (GetLastError).
std::string WindowsErrorText(unsigned long error);

}  // namespace zep8
