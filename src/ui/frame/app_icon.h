#pragma once

#include <QIcon>

namespace zep8 {

// The program's icon (the one installed into the icon theme), compiled in, for
// the window's title bar and the task bar.
QIcon ProgramIcon();

}  // namespace zep8
