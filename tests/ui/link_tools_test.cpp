// The link tools of the window on the virtual module: the bus monitor's rows,
// pause, clear and save; the survey dialog finding the module and connecting.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "ui/link_tools/exchange_monitor.h"
#include "ui/link_tools/exchange_monitor_model.h"
#include "ui/link_tools/survey_dialog.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

using testing::WindowRun;

template <typename T>
T* Child(QWidget& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

class LinkToolsTest : public QObject {
    Q_OBJECT

  private slots:
    void monitorShowsPausesClearsAndSavesTheExchanges();
    void surveyFindsTheModuleAndConnectsToIt();
};

void LinkToolsTest::monitorShowsPausesClearsAndSavesTheExchanges() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    w.frame().show();
    w.frame().action(ID_BUS_MONITOR)->trigger();
    ExchangeMonitor& monitor = w.frame().monitor();
    QVERIFY(monitor.isVisible());
    ExchangeMonitorModel& rows = monitor.model();
    Device& device = w.document().device();

    Parameter dev("dev");
    QCOMPARE(device.TransferParameter(DIRECTION_READ, &dev), int{STATUS_OK});
    QTRY_VERIFY(rows.rowCount() >= 2);
    const int last = rows.rowCount() - 1;
    QCOMPARE(rows.index(last - 1, ExchangeMonitorModel::DIRECTION).data().toString(),
             QStringLiteral("->"));
    QVERIFY(rows.index(last - 1, ExchangeMonitorModel::DECODED)
                .data()
                .toString()
                .contains(QStringLiteral("чтение, dev")));
    QCOMPARE(rows.index(last, ExchangeMonitorModel::OUTCOME).data().toString(),
             QStringLiteral("ответ"));

    // Paused: exchanges pass unrecorded.
    const int before = rows.rowCount();
    monitor.pauseButton()->click();
    QCOMPARE(device.TransferParameter(DIRECTION_READ, &dev), int{STATUS_OK});
    QTest::qWait(250);
    QCOMPARE(rows.rowCount(), before);
    monitor.pauseButton()->click();

    monitor.clearButton()->click();
    QCOMPARE(rows.rowCount(), 0);
    QCOMPARE(device.TransferParameter(DIRECTION_READ, &dev), int{STATUS_OK});
    QTRY_COMPARE(rows.rowCount(), 2);

    const auto file = std::filesystem::temp_directory_path() /
                      ("zep8-monitor-" + std::to_string(getpid()) + ".txt");
    QVERIFY(monitor.SaveTo(QString::fromStdString(file.string())));
    const std::string text = testing::ReadFile(file);
    std::filesystem::remove(file);
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 2);
    QVERIFY(text.find("чтение, dev") != std::string::npos);

    // Closed with its close box, the menu item unchecks.
    monitor.close();
    QVERIFY(!w.frame().action(ID_BUS_MONITOR)->isChecked());
}

void LinkToolsTest::surveyFindsTheModuleAndConnectsToIt() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.document().device();
    // The program has the wrong address; the module answers at 16.
    device.programNet().SetValue("Addr", "8", true);
    device.ReopenPort(false);

    CSurveyDialog dialog(device, &w.frame());
    dialog.show();
    dialog.StartSurvey();
    QVERIFY(!Child<QPushButton>(dialog, "startButton")->isEnabled());
    QVERIFY(Child<QPushButton>(dialog, "abortButton")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(
        !dialog.running() && Child<QPushButton>(dialog, "startButton")->isEnabled(), 20000);
    QCOMPARE(dialog.finds().size(), std::size_t{1});
    QCOMPARE(Child<QTreeWidget>(dialog, "finds")->topLevelItem(0)->text(0), QStringLiteral("16"));
    QVERIFY(Child<QLabel>(dialog, "status")->text().startsWith(QStringLiteral("Поиск закончен.")));

    // "Сохранить список..." keeps what was found as a table.
    QVERIFY(Child<QPushButton>(dialog, "saveButton")->isEnabled());
    QTemporaryDir folder;
    const QString list = folder.filePath(QStringLiteral("приборы.csv"));
    QVERIFY(dialog.SaveList(list));
    QVERIFY(QString::fromStdString(testing::ReadFile(list.toStdString()))
                .startsWith(QStringLiteral("адрес;скорость;формат;прибор;версия;время ответа\n"
                                           "16;9600;8N1;ZEP-8;v7.12;")));

    QVERIFY(Child<QPushButton>(dialog, "connectButton")->isEnabled());
    Child<QPushButton>(dialog, "connectButton")->click();
    QTRY_COMPARE(dialog.result(), int{QDialog::Accepted});  // once the port has opened anew
    QCOMPARE(device.programNet().GetValue("Addr"), std::string("16"));
    Parameter dev("dev");
    QCOMPARE(device.TransferParameter(DIRECTION_READ, &dev), int{STATUS_OK});
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(LinkToolsTest, "link_tools_test");
#include "link_tools_test.moc"
