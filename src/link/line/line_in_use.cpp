#include "link/line/line_in_use.h"

#include <mutex>

namespace zep8 {
namespace {

std::mutex& LineMutex() {
    static std::mutex mutex;
    return mutex;
}

LineInUse& Line() {
    static LineInUse line;
    return line;
}

}  // namespace

void SetLineInUse(LineInUse line) {
    std::lock_guard lock(LineMutex());
    Line() = std::move(line);
}

LineInUse CurrentLineInUse() {
    std::lock_guard lock(LineMutex());
    return Line();
}

std::string LineInUseText(const LineInUse& line) {
    if (line.name.empty()) return {};
    if (!line.open) return line.name + ", нет связи";
    std::string protocol = line.protocol;
    // OpenSSL's "TLSv1.3" as people write it.
    if (protocol.starts_with("TLSv")) protocol = "TLS " + protocol.substr(4);
    return protocol.empty() ? line.name : line.name + ", " + protocol;
}

}  // namespace zep8
