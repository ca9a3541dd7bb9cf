#include "ui/tree/tree_icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
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

// Draws the SVG at the size asked, when it is first asked: the program starts
// without rendering images it may never show. QSvgRenderer needs no image
// format plugin.
class SvgIconEngine : public QIconEngine {
  public:
    explicit SvgIconEngine(QString file) : file_(std::move(file)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        const QString key = QStringLiteral("%1:%2x%3:%4")
                                .arg(file_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(mode));
        if (const auto found = rendered_.constFind(key); found != rendered_.constEnd()) {
            return *found;
        }
        QPixmap image(size);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            QSvgRenderer renderer(file_);
            renderer.render(&painter);
        }
        if (mode == QIcon::Disabled) {
            QStyleOption option;
            image = QApplication::style()->generatedIconPixmap(mode, image, &option);
        }
        rendered_.insert(key, image);
        return image;
    }
    QIconEngine* clone() const override { return new SvgIconEngine(file_); }
    QString key() const override { return QStringLiteral("zep8-svg"); }

  private:
    QString file_;
    QHash<QString, QPixmap> rendered_;
};

QIcon DrawnIcon(const char* file) {
    return QIcon(new SvgIconEngine(QStringLiteral(":/tree/icons/%1.svg").arg(QLatin1String(file))));
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
