// An operator who clicks while the window talks to the module, with two
// modules on one line and a poll running: one exchange job at a time, a batch
// to the other module that leaves the open configuration and the polls alone,
// a new configuration that no late read fills, and a close with the polls on.
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/preferences.h"
#include "model/net_rs485_prg.h"
#include "ops/polling/channel_polling.h"
#include "sim/measurement_source.h"
#include "sim/virtual_module.h"
#include "ui/dialogs/batch_write_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/window_jobs.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::WindowRun;

class BusyOperatorTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        dir = fs::temp_directory_path() /
              ("zep8-busy-" + std::to_string(QCoreApplication::applicationPid()));
        fs::remove_all(dir);
        // The logs' folder: DIR/ARVO.
#ifdef _WIN32
        _wputenv_s(L"APPDATA", dir.c_str());
#else
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
#endif
    }
    void cleanupTestCase() { fs::remove_all(dir); }
    void oneJobAtATimeAndEveryValueStaysWithItsModule();

  private:
    fs::path dir;
};

int Reads(sim::VirtualModule& module) {
    return module.count("rEAd").received;
}

void BusyOperatorTest::oneJobAtATimeAndEveryValueStaysWithItsModule() {
    WindowRun w;
    // The port of an earlier run has gone since: a run on the virtual modules
    // neither opens it nor names it.
    NetRS485prg stored;
    stored.InitParameters();
    stored.SetValue("Port", "/dev/zep8-unplugged", false);
    Preferences(w.store).StoreProgramSettings(stored);
    QVERIFY(w.Start({"--simulate", "--addresses=16,40"}));
    QCOMPARE(w.prompter.count(), std::size_t{0});
    CMainFrame& frame = w.frame();
    Device& device = w.document().device();
    sim::VirtualModule& own = *w.run->simulated->moduleAt(16);
    sim::VirtualModule& other = *w.run->simulated->moduleAt(40);
    // The wire's own pace at 9600 bit/s: exchanges take long enough to click into.
    for (sim::VirtualModule* m : {&own, &other}) {
        m->setLineTiming(true);
        m->setValue("in-t", 0, 6);
    }
    own.setSource(0, sim::MeasurementSource::constant(11));
    other.setSource(0, sim::MeasurementSource::constant(77));

    // Input 1 of the open module polled every 100 ms into a table log.
    ChannelPolling& polling = frame.view().polling();
    QVERIFY(polling.EditLogName("", "busy.csv").accepted);
    QCOMPARE(polling.ToggleLoggingRow(POLL_ICON_OFF), int{POLL_ICON_ON});
    QVERIFY(polling.EditPeriod(0, "100"));
    QCOMPARE(polling.TogglePollRow(0, POLL_ICON_OFF), int{POLL_ICON_ON});
    QTRY_VERIFY(Reads(own) > 0);

    // A group read runs: the module's commands wait, a calling program's
    // read-all waits its turn, the right button's write is not taken.
    Channel& second = device.channelsNode.channel(1);
    Parameter& filter = *second.FindParameter("in.Fd");
    w.tree().expandItem(w.RowOf(&device.channelsNode));
    w.tree().expandItem(w.RowOf(&second));
    QVERIFY(frame.jobs().busy());
    for (int id : {ID_READ_ALL, ID_WRITE_ALL, ID_BATCH_WRITE, ID_CHECK_LINK, ID_FACTORY_RESET})
        QVERIFY2(!frame.action(id)->isEnabled(), qPrintable(QString::number(id)));
    frame.RunCommand(ID_READ_ALL);
    QVERIFY(!device.jobRunning());
    w.tree().setCurrentItem(w.RowOf(&filter));
    frame.view().WriteSelectedParameter();
    QVERIFY(!device.jobRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!frame.jobs().busy() && !device.jobRunning() &&
                                 device.commonNode.GetValue("dev") != kNoData,
                             60000);
    QVERIFY(frame.action(ID_READ_ALL)->isEnabled());
    QCOMPARE(filter.errorText, std::string());
    QVERIFY(filter.value != kNoData);

    // An edit of the open configuration, then the batch to the other module.
    Parameter& high = *device.channelsNode.channel(2).FindParameter("Ain.H");
    w.Type(high, QStringLiteral("250.5"));
    QVERIFY(high.changed);
    const QString shown = w.Cell(high, 2);
    const int ownReads = Reads(own);
    const int otherReads = Reads(other);
    {
        CBatchWriteDialog dialog(device, w.prompter, &frame);
        auto* write = dialog.findChild<QPushButton*>("writeButton");
        auto* save = dialog.findChild<QPushButton*>("saveButton");
        dialog.show();
        QVERIFY(dialog.AddAddresses(QStringLiteral("40")));
        QTest::mouseClick(write, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 60000);
    }
    QCOMPARE(*other.value("Ain.H", 2), 250.5);
    QCOMPARE(Reads(other), otherReads);  // no poll asked the other module
    QTRY_VERIFY(Reads(own) > ownReads);  // and the polls came back to their own
    QVERIFY(high.changed);
    QCOMPARE(high.errorText, std::string());
    QCOMPARE(device.programNet().GetValue("Addr"), std::string("16"));
    QCOMPARE(w.Cell(high, 2), shown);

    // File -> New while a group read runs: what it reads belongs to the old one.
    Channel& fourth = device.channelsNode.channel(3);
    fourth.ClearValues();
    w.document().changes().Notify(ChangeNotice::AllValues());
    w.tree().expandItem(w.RowOf(&fourth));
    QVERIFY(frame.jobs().busy());
    w.prompter.scriptAnswer(Answer::No);  // "Сохранить изменения?"
    frame.RunCommand(ID_FILE_NEW);
    QTRY_VERIFY_WITH_TIMEOUT(!frame.jobs().busy(), 60000);
    for (const auto& p : fourth.parameters()) QCOMPARE(p->value, std::string(kNoData));
    QVERIFY(!w.document().modified());

    // Every logged value is the own module's, and no poll set the run's verdict.
    const std::string log = ReadFile(dir / "ARVO" / "busy.csv");
    QVERIFY2(log.find(";11") != std::string::npos, log.c_str());
    QCOMPARE(log.find(";77"), std::string::npos);
    QCOMPARE(processState().ExitStatus() & (EXIT_TIMEOUT | EXIT_GARBAGE), 0u);

    // The close with the poll on.
    frame.close();
    QTRY_VERIFY(!frame.isVisible());
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(BusyOperatorTest, "busy_operator_test");
#include "busy_operator_test.moc"
