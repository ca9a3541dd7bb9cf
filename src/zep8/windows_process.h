#pragma once

#include <string>
#include <vector>

// Windows only: what zep8.exe needs of its own process.
namespace zep8 {

// A program of the window subsystem starts without a console: when its caller
// gave it no standard output or error (a console program such as cmd does
// not), they go to the caller's console, if it has one. Handles the caller
// gave (a pipe, a file) stay as they are.
void AttachCallersConsole();

// Lets std::cout and std::cerr show Russian text in a console window: there
// the text goes out as UTF-16 (WriteConsoleW), whatever code page the console
// has. Output to a pipe or a file stays UTF-8 bytes, as a calling program reads
// them on Linux too.
void UseConsoleForStandardStreams();

// The arguments as typed, in UTF-8: main's argv is in the ANSI code page,
// which cannot hold every file name.
std::vector<std::string> CommandLineArguments();
// The program file's full path.
std::string ProgramFilePath();

}  // namespace zep8
