#include "ui/tree_icons.h"

#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

// The resource lives in a static library: nothing would pull it in otherwise.
static void InitTreeIconResource() {
    Q_INIT_RESOURCE(tree_icons);
}

namespace zep8 {
namespace {

struct IconSource {
    int index;
    const char* themeName;  // nullptr: no freedesktop name fits
    const char* file;
};

constexpr IconSource kIcons[] = {
    {4, "network-wired", "network_settings"},
    {5, "folder", "folder_closed"},
    {6, "folder-open", "folder_open"},
    {9, nullptr, "input"},
    {17, nullptr, "poll"},
    {19, nullptr, "port_settings"},
    {20, "help-about", "information"},
    {25, nullptr, "module"},
    {27, nullptr, "parameter_choice"},
    {28, nullptr, "parameter_text"},
    {30, nullptr, "parameter_readonly"},
    {42, nullptr, "logging"},
    {43, nullptr, "caption"},
};

QPixmap Render(QSvgRenderer& renderer, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

// Drawn through QSvgRenderer so no image format plugin is needed.
QIcon DrawnIcon(const char* file) {
    QSvgRenderer renderer(QStringLiteral(":/tree/icons/%1.svg").arg(QLatin1String(file)));
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (int size : {16, 24, 32}) icon.addPixmap(Render(renderer, size));
    return icon;
}

QIcon MakeIcon(int index) {
    for (const IconSource& source : kIcons) {
        if (source.index != index) continue;
        QIcon drawn = DrawnIcon(source.file);
        if (source.themeName) return QIcon::fromTheme(QLatin1String(source.themeName), drawn);
        return drawn;
    }
    return {};
}

}  // namespace

QIcon TreeIcon(int index) {
    // Window thread only, like every widget that shows them.
    static QHash<int, QIcon> cache;
    static const bool loaded = (InitTreeIconResource(), true);
    (void)loaded;
    auto found = cache.constFind(index);
    if (found != cache.constEnd()) return *found;
    QIcon icon = MakeIcon(index);
    cache.insert(index, icon);
    return icon;
}

}  // namespace zep8
