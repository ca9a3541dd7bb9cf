// The window's layout as the operator leaves it comes back at the next start,
// unless the calling program places the window.
#include <QHeaderView>
#include <QTest>
#include <QWindow>
#include <functional>
#include <string>
#include <vector>

#include "app/preferences.h"
#include "ui/frame/window_jobs.h"
#include "ui/link_tools/exchange_monitor.h"
#include "ui/plot/trend_plot.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

using testing::WindowRun;

// The window closes as the operator closes it, and the program starts again
// on the same settings (changed `meanwhile`).
bool Restart(WindowRun& w, const std::vector<std::string>& args,
             const std::function<void()>& meanwhile = {}) {
    if (w.session) {
        if (!QTest::qWaitFor([&w] { return !w.frame().jobs().busy(); })) return false;
        if (!w.frame().close()) return false;
        w.session.reset();
        w.run.reset();
    }
    if (meanwhile) meanwhile();
    if (!w.Start(args)) return false;
    return QTest::qWaitForWindowExposed(&w.frame());
}

// The mouse on the right edge of a column's title, dragged `by` pixels.
void DragColumnEdge(CMainFrame& frame, int column, int by) {
    QHeaderView* header = frame.view().GetTreeCtrl().header();
    const QPoint edge(header->sectionViewportPosition(column) + header->sectionSize(column) - 1,
                      header->height() / 2);
    const QPoint at = header->viewport()->mapTo(&frame, edge);
    QWindow* window = frame.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    QTest::mouseMove(window, at + QPoint(by / 2, 0));
    QTest::mouseMove(window, at + QPoint(by, 0));
    QTest::mouseRelease(window, Qt::LeftButton, {}, at + QPoint(by, 0));
}

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void keptAcrossARestartUnlessPlaced();
};

void WindowLayoutTest::keptAcrossARestartUnlessPlaced() {
    WindowRun w;
    QVERIFY(Restart(w, {"--simulate"}));
    QTRY_VERIFY(w.frame().isMaximized());  // nothing kept yet

    // The operator makes the window smaller, opens the monitor and the plot,
    // and widens the parameter names.
    const QRect place(30, 40, 600, 450);
    w.frame().showNormal();
    QTRY_VERIFY(!w.frame().isMaximized());
    w.frame().setGeometry(place);
    w.frame().action(ID_BUS_MONITOR)->trigger();
    QVERIFY(w.frame().monitor().isVisible());
    const int nameWidth = w.tree().columnWidth(1);
    DragColumnEdge(w.frame(), 1, 40);
    QCOMPARE(w.tree().columnWidth(1), nameWidth + 40);
    const std::vector<int> widths = w.frame().view().userColumnWidths();
    QCOMPARE(widths.size(), std::size_t{5});
    w.frame().action(ID_TREND_PLOT)->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame().plot()));
    const QRect plotPlace(100, 120, 640, 400);
    w.frame().plot().setGeometry(plotPlace);
    w.frame().plot().close();

    QVERIFY(Restart(w, {"--simulate"}));
    QVERIFY(!w.frame().isMaximized());
    QCOMPARE(w.frame().geometry(), place);
    QVERIFY(w.frame().monitor().isVisible());
    QVERIFY(w.frame().action(ID_BUS_MONITOR)->isChecked());
    QCOMPARE(w.frame().view().userColumnWidths(), widths);
    QCOMPARE(w.tree().columnWidth(1), nameWidth + 40);
    w.frame().action(ID_TREND_PLOT)->trigger();
    QCOMPARE(w.frame().plot().geometry(), plotPlace);

    // The calling program's place wins, and what it set is not kept.
    QVERIFY(Restart(w, {"--simulate", "/x:10/y:20/w:400/h:300"}));
    QCOMPARE(w.frame().pos(), QPoint(10, 20));
    QCOMPARE(w.frame().size(), QSize(400, 300));
    QVERIFY(!w.frame().monitor().isVisible());
    QVERIFY(w.frame().view().userColumnWidths().empty());
    QVERIFY(Restart(w, {"--simulate"}));
    QCOMPARE(w.frame().geometry(), place);
    QCOMPARE(w.frame().view().userColumnWidths(), widths);

    // A kept layout that makes no sense is passed over.
    QVERIFY(Restart(w, {"--simulate"}, [&w] {
        for (const char* name : {"main_geometry", "main_state", "plot_geometry"})
            w.store.writeString(kWindowLayoutKey, name, "не то*");
        w.store.writeString(kWindowLayoutKey, "column_widths", "120,,x");
    }));
    QTRY_VERIFY(w.frame().isMaximized());
    QVERIFY(w.frame().view().userColumnWidths().empty());
    w.frame().action(ID_TREND_PLOT)->trigger();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frame().plot()));
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(WindowLayoutTest, "window_layout_test");
#include "window_layout_test.moc"
