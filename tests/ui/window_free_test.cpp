// The window goes on painting and answering while it talks to the module or
// starts a viewer: a group opened on a silent line, the link check, the manual,
// the single-parameter dialog's read.
#include <QByteArray>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "sim/virtual_module.h"
#include "ui/dialogs/single_point_dialog.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/viewer_launcher.h"
#include "ui/frame/window_jobs.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

using testing::WindowRun;

constexpr char kGaveUp[] =
    "Так как прошло 5 безуспешных попыток чтения,\nто операции обмена будут прекращены.";

class WindowFreeTest : public QObject {
    Q_OBJECT

  private slots:
    void windowAnswersWhileAGroupIsReadOnASilentLine();
    void closingStopsTheReadBetweenParameters();
    void linkCheckTellsWhatAnswered();
    void viewerIsNotWaitedFor();
    void singlePointReadOnASilentLine();
};

void WindowFreeTest::windowAnswersWhileAGroupIsReadOnASilentLine() {
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

void WindowFreeTest::closingStopsTheReadBetweenParameters() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.document().device();
    w.module().injectFault(sim::Fault::Silence, 1000);
    w.tree().expandItem(w.RowOf(&device.commonNode));
    w.tree().expandItem(w.RowOf(&device.netNode));  // waits its turn, dropped by the close
    w.module().resetCounters();
    QTRY_VERIFY(w.module().total().received > 0);
    QVERIFY(!w.frame().close());
    QVERIFY(w.frame().isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!w.frame().isVisible(), 10000);
    QVERIFY(!w.frame().jobs().busy());
    // The exchange under way ended; no other one began.
    int failed = 0;
    for (const auto& p : device.commonNode.parameters()) failed += p->errorText.empty() ? 0 : 1;
    QCOMPARE(failed, 1);
    for (const auto& p : device.netNode.parameters()) QVERIFY(p->errorText.empty());
    QCOMPARE(w.prompter.count(), std::size_t{0});
}

void WindowFreeTest::linkCheckTellsWhatAnswered() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    w.frame().RunCommand(ID_CHECK_LINK);
    QVERIFY(w.frame().jobs().busy());
    QTRY_VERIFY(!w.frame().jobs().busy());
    // A loaded machine may lose "ver" to a time-out: the module's name is what must come.
    QCOMPARE(w.LastMessage().caption, std::string("Общие параметры прибора"));
    QVERIFY2(w.LastMessage().text.starts_with("Прибор: "), w.LastMessage().text.c_str());
    const std::size_t before = w.prompter.count();

    // Silent: the same check says why, after the other commands asked for meanwhile.
    w.module().injectFault(sim::Fault::Silence, 1000);
    w.frame().RunCommand(ID_CHECK_LINK);
    w.frame().RunCommand(ID_CHECK_LINK);
    QTRY_VERIFY_WITH_TIMEOUT(!w.frame().jobs().busy(), 30000);
    QCOMPARE(w.prompter.count(), before + 2);
    for (std::size_t i = before; i < before + 2; ++i) {
        QCOMPARE(w.prompter.messages()[i].caption, std::string("Ошибка"));
        QVERIFY(w.prompter.messages()[i].text.starts_with("Ошибка команды 'dev':\n"));
    }
}

// A fake xdg-open first in PATH: one that takes its time, one that fails.
void WindowFreeTest::viewerIsNotWaitedFor() {
    const QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString marker = bin.filePath(QStringLiteral("opened"));
    const auto fake = [&](const QString& body) {
        QFile script(bin.filePath(QStringLiteral("xdg-open")));
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ":" + path);
    ViewerLauncher viewers;
    int failures = 0;

    fake("exec > /dev/null 2>&1 < /dev/null; touch '" + marker + "'; sleep 5");
    QElapsedTimer clock;
    clock.start();
    viewers.Open(bin.filePath(QStringLiteral("zep8.html")).toStdString(), [&] { ++failures; });
    QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(QFile::exists(marker));

    fake(QStringLiteral("exit 4"));
    viewers.Open(bin.filePath(QStringLiteral("zep8.html")).toStdString(), [&] { ++failures; });
    QTRY_COMPARE(failures, 1);
    fake(QStringLiteral("exit 0"));
    viewers.Open(bin.filePath(QStringLiteral("zep8.html")).toStdString(), [&] { ++failures; });
    QTest::qWait(300);
    QCOMPARE(failures, 1);
    qputenv("PATH", path);
}

void WindowFreeTest::singlePointReadOnASilentLine() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    w.module().injectFault(sim::Fault::Silence, 1000);
    CSinglePoint dialog(&w.frame(), w.document().device());
    dialog.show();
    auto* execute = dialog.findChild<QPushButton*>("executeButton");
    auto* trace = dialog.findChild<QListWidget*>("traceList");
    QVERIFY(execute && trace);

    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(1);
    connect(&tick, &QTimer::timeout, this, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    tick.start();

    // "VER" is read; no second read meanwhile, and the close waits for the answer.
    execute->click();
    QVERIFY(!execute->isEnabled());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialog.reject();
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 30000);
    tick.stop();
    QVERIFY2(longest < 200, qPrintable(QStringLiteral("%1 ms without events").arg(longest)));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(execute->isEnabled());
    QVERIFY(trace->count() >= 3);
    QVERIFY(trace->item(0)->text().startsWith(QStringLiteral("VER (")));
    QCOMPARE(trace->item(trace->count() - 2)->text(), QStringLiteral("Имеет место ошибка:"));
    QCOMPARE(trace->item(trace->count() - 1)->text(),
             QStringLiteral("Таймаут при передаче данных (нет связи)"));
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(WindowFreeTest, "window_free_test");
#include "window_free_test.moc"
