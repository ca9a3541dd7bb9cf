// A group opened on a silent line: the window goes on painting and answering
// while the group is read, and the rows show the failure afterwards.
#include <QCursor>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "sim/virtual_module.h"
#include "ui/window_jobs.h"
#include "ui/window_run.h"

namespace zep8 {
namespace {

using testing::WindowRun;

constexpr char kGaveUp[] =
    "Так как прошло 5 безуспешных попыток чтения,\nто операции обмена будут прекращены.";

class GroupReadTest : public QObject {
    Q_OBJECT

  private slots:
    void windowAnswersWhileAGroupIsReadOnASilentLine();
};

void GroupReadTest::windowAnswersWhileAGroupIsReadOnASilentLine() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    InvisibleElement& group = w.document().device().channelsNode.channel(0);
    w.module().injectFault(sim::Fault::Silence, 1000);

    // The longest gap between two ticks of a 1 ms timer is how long the
    // window could not answer.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(1);
    connect(&tick, &QTimer::timeout, this, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    tick.start();

    w.tree().expandItem(w.RowOf(&group));
    QVERIFY(w.frame().jobs().busy());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QTRY_VERIFY_WITH_TIMEOUT(!w.frame().jobs().busy(), 60000);
    tick.stop();
    const qint64 took = clock.elapsed();
    QVERIFY2(longest < 200,
             qPrintable(QStringLiteral("%1 ms without events in %2 ms").arg(longest).arg(took)));
    qInfo("longest gap %lld ms in %lld ms", longest, took);
    QVERIFY(!QApplication::overrideCursor());

    // Five failed reads end the exchanges with the usual message; their rows
    // say why in red, the rest wait for another try.
    QCOMPARE(w.prompter.count(), std::size_t{1});
    QCOMPARE(w.LastMessage().text, std::string(kGaveUp));
    QCOMPARE(w.LastMessage().caption, std::string(kProgramTitle));
    int failed = 0;
    for (const auto& p : group.parameters()) {
        if (p->errorText.empty()) continue;
        ++failed;
        QCOMPARE(w.Cell(*p, 4).toStdString(), p->errorText);
        QCOMPARE(w.tree().GetRowColour(w.RowOf(p.get())), QColor(200, 0, 0));
        QCOMPARE(w.Cell(*p, 2), QStringLiteral("Нет данных"));
    }
    QCOMPARE(failed, 5);
}

}  // namespace
}  // namespace zep8

QTEST_MAIN(zep8::GroupReadTest)
#include "group_read_test.moc"
