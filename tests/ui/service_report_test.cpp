// "Отчёт о приборе..." in the window: the module read under the progress
// display while the window goes on, the poll's latest value and the
// difference from the open file in the page.
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/service_report_command.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WindowRun;

class ServiceReportTest : public QObject {
    Q_OBJECT

  private slots:
    void theReportHoldsThePollAndTheDifference();
};

void ServiceReportTest::theReportHoldsThePollAndTheDifference() {
    const fs::path dir = fs::temp_directory_path() / ("zep8-report-ui-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    QCOMPARE(w.frame().action(ID_SERVICE_REPORT)->text(), QStringLiteral("Отчёт о приборе..."));
    Document& document = w.document();
    ChannelPolling& polling = w.frame().view().polling();

    // The module read, saved and open in the window, then one value changed
    // in the window only.
    w.frame().RunCommand(ID_READ_ALL);
    QCOMPARE(document.SaveDocument((dir / "c.zep").string()), std::nullopt);
    w.Type(*document.device().channelsNode.channel(0).FindParameter("in.Fd"), "7");
    polling.scanner(3)->SetPeriod(100);
    polling.TogglePollRow(3, POLL_ICON_OFF);
    QTRY_VERIFY(polling.Latest(3).has_value());

    bool windowWentOn = false;
    QTimer::singleShot(0, [&] { windowWentOn = w.frame().progress().isVisible(); });
    const std::string path = (dir / "r.html").string();
    QCOMPARE(MakeServiceReport(document, polling, w.frame().progress(), path), std::nullopt);
    QVERIFY(windowWentOn);
    QVERIFY(!w.frame().progress().isVisible());

    const std::string page = ReadFile(path);
    QVERIFY(page.find("<h1>Отчёт о приборе ЗЕП8</h1>") != std::string::npos);
    QVERIFY(page.find("<p>Обнаружены отличия (1):</p>") != std::string::npos);
    QVERIFY(page.find("<tr><td>Вход №1</td><td class=\"name\">in.Fd</td>") != std::string::npos);
    const std::size_t polled = page.find("<td class=\"num\">4</td><td>Вход №4</td>");
    QVERIFY(polled != std::string::npos);
    QVERIFY(page.find("<td>опрос входа</td>", polled) < page.find("</tr>", polled));
    QVERIFY(page.find(document.path()) != std::string::npos);
    polling.TogglePollRow(3, POLL_ICON_ON);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(ServiceReportTest, "service_report_test");
#include "service_report_test.moc"
