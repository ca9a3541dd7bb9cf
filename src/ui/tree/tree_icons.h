#pragma once

#include <QIcon>

namespace zep8 {

// Images of the configuration tree by their index in the program (4 network
// settings, 5/6 closed/open group, 9 input, 17 poll row, 19 port settings,
// 20 program information, 25 module, 27 choice, 28 text, 30 read-only
// parameter, 42 logging, 43 caption row). 0 and unknown indices: no icon.
QIcon TreeIcon(int index);

// The toolbar's images, drawn for this program: "new", "open", "save",
// "read", "write", "write_changed", "about".
QIcon ToolIcon(const char* name);

}  // namespace zep8
