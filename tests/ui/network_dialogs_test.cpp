// The port set-up, apply, program-settings and single-parameter dialogs as
// the operator meets them, on the virtual module: at start when no module
// answers, from the menu and keys, and after a write that moves the module.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

#include "app/application.h"
#include "app/installation.h"
#include "model/name_hash.h"
#include "model/net_rs485.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "ui/dialogs/apply.h"
#include "ui/dialogs/new_net_parameters.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/dialogs/setup_carrier.h"
#include "ui/dialogs/single_point_dialog.h"
#include "ui/dialogs/table_ctrl.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_session.h"
#include "ui/ui_test_main.h"
#include "ui/when_shown.h"

namespace zep8 {
namespace {

// One run of the program with its window, in this process; the store
// outlives it, as the operator's settings outlive the program.
struct StoredWindowRun {
    explicit StoredWindowRun(MemorySettingsStore& store) : env{out, err, store, ""} {}
    ~StoredWindowRun() {
        session.reset();
        run.reset();
    }

    // `beforeStart` runs once the virtual module is up and before the
    // document looks for it.
    bool Start(const std::vector<std::string>& args,
               const std::function<void()>& beforeStart = {}) {
        processState().reset();
        run = std::make_unique<RunContext>(ParseCommandLine(args), env);
        if (run->Prepare() != kRunGoesOn) return false;
        if (beforeStart) beforeStart();
        session = std::make_unique<WindowSession>(*run, prompter);
        if (!session->Start()) return false;
        device().SetFinishHold(std::chrono::milliseconds(0));
        return true;
    }
    CMainFrame& frame() { return session->frame(); }
    Device& device() { return session->document().device(); }
    sim::VirtualModule& module() { return run->simulated->module(); }

    std::ostringstream out, err;
    RecordingPrompter prompter;
    RunEnvironment env;
    std::unique_ptr<RunContext> run;
    std::unique_ptr<WindowSession> session;
};

using testing::Child;
using testing::WhenShown;

QString Status(CSetupCarrier* dialog) {
    return Child<QLabel>(dialog, "statusLabel")->text();
}

// The longest time the window thread went without handling its events.
class GapMeter {
  public:
    GapMeter() {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            if (running_) longest_ = std::max(longest_, clock_.restart());
        });
        timer_.start(5);
    }
    void Start() {
        running_ = true;
        clock_.start();
    }
    void Stop() { running_ = false; }
    qint64 longest() const { return longest_; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    bool running_ = false;
    qint64 longest_ = 0;
};

// Moves the module to another speed: written, then applied with "APLY".
void MoveModuleTo(Device& device, const std::string& speed) {
    Parameter baud("bPS");
    baud.value = speed;
    QCOMPARE(device.WriteParameter(baud), 0);
    Parameter apply("APLY");
    apply.value.clear();
    device.WriteParameter(apply);
}

// Edits of the port set-up table: a refused character format, an address,
// and a port typed as a path.
void EditTable(CTableCtrl& table, Device& device, RecordingPrompter& prompter) {
    QCOMPARE(table.columnCount(), 3);
    QCOMPARE(table.horizontalHeaderItem(2)->text(), QStringLiteral("Имя параметра в приборе"));
    QCOMPARE(table.GetCellText(0, 0), QStringLiteral("Скорость обмена данными"));
    QCOMPARE(table.GetCellText(6, 2), QStringLiteral("Port"));

    // 7 data bits, no parity, 1 stop bit: refused, the old value stays.
    QVERIFY(table.BeginEdit(1));
    auto* list = qobject_cast<QComboBox*>(table.OpenEditor());
    QVERIFY(list && !list->isEditable());
    QCOMPARE(list->currentText(), QStringLiteral("8"));
    list->setCurrentIndex(list->findText("7"));
    QTest::keyClick(list, Qt::Key_Tab);
    QCOMPARE(prompter.messages().back().text, std::string(kFormatRefusedText));
    QCOMPARE(prompter.messages().back().caption, std::string(kRefusedValueCaption));
    QCOMPARE(table.GetCellText(1, 1), QStringLiteral("8"));
    QCOMPARE(device.programNet().GetValue("LEn"), std::string("8"));

    // The address in an edit box; the port takes a typed path.
    QVERIFY(table.BeginEdit(5));
    auto* box = qobject_cast<QLineEdit*>(table.OpenEditor());
    QVERIFY(box);
    QCOMPARE(box->selectedText(), QStringLiteral("16"));
    QTest::keyClicks(box, "24");
    QTest::keyClick(box, Qt::Key_Return);
    QTRY_COMPARE(device.programNet().GetValue("Addr"), std::string("24"));
    QVERIFY(table.BeginEdit(6));
    auto* port = qobject_cast<QComboBox*>(table.OpenEditor());
    QVERIFY(port && port->isEditable());
    port->lineEdit()->selectAll();
    QTest::keyClicks(port->lineEdit(), "/dev/zep8-elsewhere");
    QTest::keyClick(port, Qt::Key_Tab);
    QCOMPARE(device.programNet().GetValue("Port"), std::string("/dev/zep8-elsewhere"));
    QCOMPARE(table.GetCellText(6, 1), QStringLiteral("/dev/zep8-elsewhere"));
}

constexpr const char* kFactory[] = {"9600", "8", "Отсутствует", "1", "8", "16", "COM1"};

}  // namespace

class NetworkDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void noModuleAtStart();
    void portSetupScansTheSpeeds();
    void portSetupTableAndFactorySettings();
    void applyMovesProgramAndStoreWithTheModule();
    void singlePointReadsAndWritesAnyName();
};

void NetworkDialogsTest::noModuleAtStart() {
    for (const char* button : {"exitButton", "offlineButton"}) {
        // The module starts at 38400; the program's settings say 9600.
        MemorySettingsStore store;
        store.createKey(kProgramKey);
        store.writeInt(kProgramKey, "baud_rate", 38400);
        StoredWindowRun w(store);
        bool hadParent = true;
        const auto watch = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
            hadParent = dialog->parentWidget() != nullptr;
            Child(dialog, button)->click();
            return true;
        });
        const bool started =
            w.Start({"--simulate"}, [&store] { store.writeInt(kProgramKey, "baud_rate", 9600); });
        QVERIFY(!hadParent);  // before the main window
        if (button == std::string("exitButton")) {
            QVERIFY(!started);
            QCOMPARE(w.session->ExitCode(0), 202);
            continue;
        }
        // Offline: nothing is read by itself, even when the groups open.
        QVERIFY(started);
        QCOMPARE(processState().optionFlags.load(), static_cast<std::uint16_t>(OPT_AUTOREAD_OFF));
        const int requests = w.module().total().received;
        w.frame().show();
        QVERIFY(!w.frame().action(ID_AUTO_READ)->isChecked());
        QTest::qWait(50);
        QCOMPARE(w.module().total().received, requests);
    }
}

void NetworkDialogsTest::portSetupScansTheSpeeds() {
    MemorySettingsStore store;
    StoredWindowRun w(store);
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.device();
    // The module one speed above the first: each speed without it costs the
    // scan some five seconds, which the test need not wait through again and again.
    MoveModuleTo(device, "4800");

    // "Выход" during the first speed: no other speed is tried, and the old one is back.
    QStringList statuses;
    bool openWhileStopping = false;
    const auto stopping = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
        if (statuses.isEmpty()) {
            connect(dialog, &CSetupCarrier::statusShown, this,
                    [&statuses](const QString& text) { statuses << text; });
            Child(dialog, "scanButton")->click();
        }
        if (!statuses.join(' ').contains("2400")) return false;
        Child(dialog, "exitButton")->click();
        // Still open until the worker has handed the command back.
        openWhileStopping = dialog->isVisible();
        return true;
    });
    w.frame().RunCommand(ID_PORT_SETUP);
    QVERIFY(statuses.contains(QStringLiteral("Прерывание операции...")));
    QVERIFY(openWhileStopping);
    QVERIFY(!statuses.join(' ').contains("4800"));
    QCOMPARE(device.programNet().GetValue("bPS"), std::string("9600"));

    // The whole scan, the window handling its events all along.
    GapMeter gaps;
    QString shownSpeed;
    statuses.clear();
    const auto scanning = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
        auto* table = Child<CTableCtrl>(dialog, "table");
        connect(dialog, &CSetupCarrier::statusShown, this, [&, table](const QString& text) {
            statuses << text;
            shownSpeed = table->GetCellText(0, 1);
        });
        Child(dialog, "scanButton")->click();
        gaps.Start();
        return true;
    });
    const std::size_t seen = w.prompter.count();
    w.frame().RunCommand(ID_PORT_SETUP);
    gaps.Stop();
    qInfo("longest gap between window events during the scan: %lld ms",
          static_cast<long long>(gaps.longest()));
    // Never as long as one exchange: a reply alone takes some 200 ms at the
    // speeds tried. (A busy machine, or ThreadSanitizer, stretches the window's
    // own gaps to 100 ms and more now and then.)
    QVERIFY2(gaps.longest() < 190, qPrintable(QString::number(gaps.longest())));
    for (const char* speed : {"2400", "4800"}) {
        QVERIFY2(
            statuses.contains(QStringLiteral("Идет сканирование на скорости %1...").arg(speed)),
            speed);
    }
    QVERIFY(!statuses.join(' ').contains("9600"));
    QCOMPARE(statuses.last(), QStringLiteral("Связь установлена!"));
    QCOMPARE(shownSpeed, QStringLiteral("4800"));
    QCOMPARE(device.programNet().GetValue("bPS"), std::string("4800"));
    QCOMPARE(w.prompter.count(), seen + 1);
    QCOMPARE(w.prompter.messages().back().text, std::string("Связь с прибором установлена!"));
    QVERIFY(device.Identify(false) & IDENTIFY_ZEP8);
}

void NetworkDialogsTest::portSetupTableAndFactorySettings() {
    MemorySettingsStore store;
    StoredWindowRun w(store);
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.device();
    bool done = false;
    QStringList rows;
    QString finalStatus;
    QColor statusColour;
    const auto watch = WhenShown<CSetupCarrier>([&](CSetupCarrier* dialog) {
        CTableCtrl& table = *Child<CTableCtrl>(dialog, "table");
        if (done) {
            if (!Status(dialog).startsWith("Не удалось")) return false;
            finalStatus = Status(dialog);
            statusColour =
                Child<QLabel>(dialog, "statusLabel")->palette().color(QPalette::WindowText);
            for (int r = 0; r < table.rowCount(); ++r) rows << table.GetCellText(r, 1);
            Child(dialog, "exitButton")->click();
            return true;
        }
        EditTable(table, device, w.prompter);
        Child(dialog, "factoryButton")->click();
        done = true;
        return false;
    });
    w.frame().RunCommand(ID_PORT_SETUP);
    QVERIFY(done);
    QStringList factory;
    for (const char* value : kFactory) factory << QString::fromUtf8(value);
    factory << QStringLiteral("Выключен");  // "Эхо передатчика": the program's alone, kept
    QCOMPARE(rows, factory);
    QCOMPARE(finalStatus, QStringLiteral("Не удалось установить связь с прибором!"));
    QCOMPARE(statusColour, QColor(200, 0, 0));
    QCOMPARE(device.programNet().GetValue("Port"), std::string("COM1"));
}

void NetworkDialogsTest::applyMovesProgramAndStoreWithTheModule() {
    sim::SimulatedModule simulated;
    std::string error;
    QVERIFY2(simulated.start(error), error.c_str());
    const std::string port = "--port=" + simulated.portPath();
    MemorySettingsStore store;
    {
        StoredWindowRun w(store);
        QVERIFY(w.Start({port}));
        Device& device = w.device();
        w.frame().RunCommand(ID_READ_ALL);
        QCOMPARE(device.netNode.GetValue("bPS"), std::string("9600"));
        device.netNode.SetValue("bPS", "19200", true);
        device.netNode.SetValue("Addr", "24", true);

        // The write leaves the module's settings unlike the program's: the apply dialog follows.
        QString shownSettings;
        bool programBox = false, allBox = true, threeBox = false, threeEnabled = true;
        bool progressShown = true;
        const auto watch = WhenShown<CApply>([&](CApply* dialog) {
            progressShown = w.frame().progress().isVisible();
            shownSettings = Child<QPlainTextEdit>(dialog, "settingsText")->toPlainText();
            programBox = Child<QCheckBox>(dialog, "changeProgramCheck")->isChecked();
            allBox = Child<QCheckBox>(dialog, "allDevicesCheck")->isChecked();
            threeBox = Child<QCheckBox>(dialog, "threeTimesCheck")->isChecked();
            threeEnabled = Child<QCheckBox>(dialog, "threeTimesCheck")->isEnabled();
            Child(dialog, "okButton")->click();
            return true;
        });
        w.frame().RunCommand(ID_WRITE_CHANGED);
        QCOMPARE(shownSettings,
                 QStringLiteral("Скорость обмена данными: 19200\nДлина слова данных: 8\n"
                                "Контроль по четности слова данных: Отсутствует\n"
                                "Количество стоп-бит в посылке: 1\nДлина сетевого адреса: 8\n"
                                "Базовый адрес прибора: 24\n"));
        QVERIFY(programBox && !allBox && threeBox && !threeEnabled);
        QVERIFY2(!progressShown, "the write's progress closes before the apply dialog opens");
        QCOMPARE(simulated.module().activeSettings().baud, 19200);
        QCOMPARE(simulated.module().activeSettings().address, 24);
        QCOMPARE(device.programNet().GetValue("bPS"), std::string("19200"));
        QCOMPARE(device.programNet().GetValue("Addr"), std::string("24"));
        QVERIFY(device.Identify(false) & IDENTIFY_ZEP8);
        QVERIFY(!processState().networkChanged);
    }
    QCOMPARE(store.readInt(kProgramKey, "baud_rate"), std::optional<std::int32_t>(19200));
    QCOMPARE(store.readInt(kProgramKey, "address"), std::optional<std::int32_t>(24));

    // The next start finds the module at once; Alt+P shows what the program uses.
    StoredWindowRun w(store);
    const auto unexpected = WhenShown<CSetupCarrier>([](CSetupCarrier* dialog) {
        Child(dialog, "exitButton")->click();  // not expected: the module answers
        return true;
    });
    QVERIFY(w.Start({port}));
    QString shownSettings;
    w.prompter.scriptAnswer(Answer::Yes);
    const auto watch = WhenShown<CNewNetParameters>([&](CNewNetParameters* dialog) {
        shownSettings = Child<QPlainTextEdit>(dialog, "settingsText")->toPlainText();
        Child(dialog, "okButton")->click();
        return true;
    });
    w.frame().RunCommand(ID_PROGRAM_NETWORK);
    QCOMPARE(w.prompter.messages().back().caption,
             std::string("Вы уверены что хотите изменить настройки порграммы?"));
    QCOMPARE(shownSettings, QStringLiteral("Скорость: 19200\nДлина слова данных: 8\n"
                                           "Четность: Отсутствует\nКол-во стоп-бит: 1\n"
                                           "Длина адреса: 8\nАдрес: 24\nПорт: ") +
                                QString::fromStdString(simulated.portPath()) + "\n");
    QVERIFY(w.device().Identify(false) & IDENTIFY_ZEP8);
}

void NetworkDialogsTest::singlePointReadsAndWritesAnyName() {
    MemorySettingsStore store;
    StoredWindowRun w(store);
    QVERIFY(w.Start({"--simulate"}));
    QStringList readVer, writeFilter, readFilter, unknown;
    QString initialName, typedName, hash, description, unknownHash, unknownDescription;
    bool valueShownAtFirst = true, valueShownToWrite = false, indexTaken = false;
    int requestsBefore = 0, requestsAfter = 0;
    const auto watch = WhenShown<CSinglePoint>([&](CSinglePoint* dialog) {
        auto* name = Child<QComboBox>(dialog, "nameCombo");
        auto* trace = Child<QListWidget>(dialog, "traceList");
        auto* button = Child(dialog, "executeButton");
        // The exchange runs off the window thread; the button comes back with its result.
        auto execute = [button] {
            button->click();
            QTRY_VERIFY(button->isEnabled());
        };
        auto lines = [trace] {
            QStringList list;
            for (int i = 0; i < trace->count(); ++i) list << trace->item(i)->text();
            return list;
        };
        initialName = name->currentText();
        hash = Child<QLineEdit>(dialog, "hashField")->text();
        description = Child<QLineEdit>(dialog, "descriptionField")->text();
        valueShownAtFirst = Child<QComboBox>(dialog, "valueCombo")->isVisible();
        execute();
        readVer = lines();

        name->lineEdit()->selectAll();
        QTest::keyClicks(name->lineEdit(), "in.fd");
        typedName = name->currentText();
        indexTaken = Child<QCheckBox>(dialog, "indexCheck")->isChecked();
        auto* index = Child<QLineEdit>(dialog, "indexField");
        index->selectAll();
        QTest::keyClicks(index, "2x");  // digits only
        Child<QRadioButton>(dialog, "writeRadio")->click();
        auto* value = Child<QComboBox>(dialog, "valueCombo");
        valueShownToWrite = value->isVisible();
        value->setEditText("15");
        execute();
        writeFilter = lines();
        Child<QRadioButton>(dialog, "readRadio")->click();
        execute();
        readFilter = lines();

        // An unknown name keeps the index box as it is; the warning is answered OK.
        name->lineEdit()->selectAll();
        QTest::keyClicks(name->lineEdit(), "zq9");
        unknownHash = Child<QLineEdit>(dialog, "hashField")->text();
        unknownDescription = Child<QLineEdit>(dialog, "descriptionField")->text();
        w.prompter.scriptAnswer(Answer::Ok);
        requestsBefore = w.module().total().received;
        execute();
        requestsAfter = w.module().total().received;
        unknown = lines();
        Child(dialog, "exitButton")->click();
        return true;
    });
    w.frame().RunCommand(ID_SINGLE_POINT);

    QCOMPARE(initialName, QStringLiteral("VER"));
    QCOMPARE(hash, QStringLiteral("0x2D5B"));
    QVERIFY2(description.endsWith("(сторка)"), qPrintable(description));
    QVERIFY(!valueShownAtFirst);
    QVERIFY(readVer.first().startsWith("VER ("));
    QVERIFY(readVer.filter(">> Посылка:").isEmpty());  // a read carries no data
    QVERIFY(!readVer.filter("<< Ответ:").isEmpty());
    QCOMPARE(readVer.mid(readVer.size() - 2),
             QStringList({"Нет ошибок; строковая нотация ответа:", "v7.12"}));

    QCOMPARE(typedName, QStringLiteral("IN.FD"));
    QVERIFY(indexTaken && valueShownToWrite);
    QVERIFY(!writeFilter.filter(">> Посылка:").isEmpty());
    QCOMPARE(writeFilter.last(), QStringLiteral("Нет ошибок; значение записано."));
    QCOMPARE(w.module().value("in.Fd", 2).value_or(-1), 15.0);
    QCOMPARE(readFilter.last(), QStringLiteral("15"));

    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%X", hash_name("ZQ9"));
    QCOMPARE(unknownHash, QString::fromLatin1(expected));
    QVERIFY2(unknownDescription.endsWith("(неизвестный тип)"), qPrintable(unknownDescription));
    QCOMPARE(w.prompter.messages().back().text,
             std::string("Данная комманда не должна иметь линейный индекс"));
    QVERIFY(requestsAfter > requestsBefore);
    QVERIFY(unknown.contains("Имеет место ошибка:"));
}

}  // namespace zep8

ZEP8_UI_TEST(NetworkDialogsTest, "network_dialogs_test");
#include "network_dialogs_test.moc"
