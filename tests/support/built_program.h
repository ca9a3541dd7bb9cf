#pragma once
// A program the build makes, found from the running test program's own place.
// The build passes each program's path relative to the test program, not the
// absolute path: an absolute path would differ in every clone and keep the
// compiler cache from serving one clone's objects to another.

#include <filesystem>
#include <string>

namespace zep8::test {

inline std::string BuiltProgram(const char* relativeToTest) {
    static const std::filesystem::path here =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    return (here / relativeToTest).lexically_normal().string();
}

}  // namespace zep8::test
