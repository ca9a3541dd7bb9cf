// The window's images come from PNGs rendered when the program is built: each
// one the toolbar or the tree asks for is there at its size and at twice it
// for a high-DPI screen, drawn (not blank), greyed when disabled; the
// program's icon has a picture of its own at every size a desktop shows.
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <vector>

#include "ui/frame/app_icon.h"
#include "ui/frame/command_table.h"
#include "ui/tree/tree_icons.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

int DrawnPixels(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) drawn += qAlpha(image.pixel(x, y)) > 0;
    }
    return drawn;
}

void CheckBothScales(const QIcon& icon, const QString& name) {
    const QPixmap one = icon.pixmap(QSize(16, 16), 1.0);
    const QPixmap two = icon.pixmap(QSize(16, 16), 2.0);
    QVERIFY2(one.size() == QSize(16, 16), qPrintable(name));
    // Not the small one blown up: QIcon never scales a picture up.
    QVERIFY2(two.size() == QSize(32, 32), qPrintable(name));
    QVERIFY2(DrawnPixels(one) > 16, qPrintable(name));
    QVERIFY2(DrawnPixels(two) > 4 * 16, qPrintable(name));
    const QImage disabled = icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage();
    QVERIFY2(disabled.convertToFormat(QImage::Format_ARGB32) !=
                 one.toImage().convertToFormat(QImage::Format_ARGB32),
             qPrintable(name));
}

}  // namespace

class IconsTest : public QObject {
    Q_OBJECT

  private slots:
    void ToolbarImagesAtOneAndTwoTimes() {
        int images = 0;
        for (const CommandRow& row : CommandTable()) {
            if (!row.image) continue;
            CheckBothScales(ToolIcon(row.image), QString::fromUtf8(row.image));
            ++images;
        }
        QVERIFY(images >= 8);
    }

    // The rows' own images (those with a desktop theme's image fall back to
    // theirs where the desktop has none, as offscreen).
    void TreeImagesAtOneAndTwoTimes() {
        for (const int index : {4, 5, 6, 9, 17, 19, 20, 25, 27, 28, 30, 42, 43}) {
            CheckBothScales(TreeIcon(index), QString::number(index));
        }
        QVERIFY(TreeIcon(0).isNull());
    }

    void ProgramIconAtEverySize() {
        const QIcon icon = ProgramIcon();
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
            QCOMPARE(pixmap.size(), QSize(size, size));
            QVERIFY(DrawnPixels(pixmap) > size * size / 4);
        }
    }
};

}  // namespace zep8

ZEP8_UI_TEST(IconsTest, "icons_test");
#include "icons_test.moc"
