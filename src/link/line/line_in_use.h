#pragma once

// The line the program talks on now, and its text for the window's status bar.

#include <string>

#include "link/remote/tls_settings.h"

namespace zep8 {

// What the program's line is, for the window's status bar: the line sets it
// as it opens (on whichever thread opens it), the window reads it.
struct LineInUse {
    std::string name;      // the port name: "ttyUSB0", "rfc2217+tls://plc-hall:7002"
    std::string protocol;  // of an encrypted line: "TLSv1.3"
    bool open = false;
};

void SetLineInUse(LineInUse line);
LineInUse CurrentLineInUse();

// "rfc2217+tls://plc-hall:7002, TLS 1.3"; "ttyUSB0"; with ", нет связи" when
// the last open failed; empty before any.
std::string LineInUseText(const LineInUse& line);

}  // namespace zep8
