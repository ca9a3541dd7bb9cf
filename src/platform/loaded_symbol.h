#pragma once

namespace zep8 {

// A function of a library the program is already linked with, looked up by
// name at run time; nullptr when no loaded library has it (on Windows,
// always: nothing the program asks for this way lives there).
void* LoadedSymbol(const char* name);

}  // namespace zep8
