#include "ui/tree/tree_icons.h"

#include <QHash>
#include <QString>
#include <string>

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

// The image at 1x and 2x, rendered from src/ui/icons/NAME.svg when the program
// is built: a high-DPI screen takes the larger, and each is read only when
// first shown. PNG needs no image format plugin.
QIcon DrawnIcon(const char* file) {
    const QString path = QStringLiteral(":/tree/icons/%1").arg(QLatin1String(file));
    QIcon icon;
    icon.addFile(path + QStringLiteral(".png"), QSize(16, 16));
    icon.addFile(path + QStringLiteral("@2x.png"), QSize(32, 32));
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

QIcon ToolIcon(const char* name) {
    static const bool loaded = (InitTreeIconResource(), true);
    (void)loaded;
    return DrawnIcon((std::string("tool_") + name).c_str());
}

}  // namespace zep8
