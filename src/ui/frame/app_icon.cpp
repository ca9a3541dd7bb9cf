#include "ui/frame/app_icon.h"

#include <QString>

// The resource lives in a static library: nothing would pull it in otherwise.
static void InitProgramIconResource() {
    Q_INIT_RESOURCE(app_icon);
}

namespace zep8 {

QIcon ProgramIcon() {
    InitProgramIconResource();
    // Rendered from data/icons/zep8.svg when the program is built.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/app/icons/zep8-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace zep8
