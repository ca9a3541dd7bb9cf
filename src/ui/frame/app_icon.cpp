#include "ui/frame/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in a static library: nothing would pull it in otherwise.
static void InitProgramIconResource() {
    Q_INIT_RESOURCE(app_icon);
}

namespace zep8 {

QIcon ProgramIcon() {
    InitProgramIconResource();
    // Drawn here rather than through the SVG icon plugin, which a system may lack.
    QSvgRenderer renderer(QStringLiteral(":/app/zep8.svg"));
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace zep8
