// The main window as an engineer and a calling program use it, on the
// virtual module: command state, edits and their refusals, a whole
// read-edit-write walk, and the automated read with the window.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "model/net_rs485.h"
#include "ui/frame/window_jobs.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Row;
using testing::WindowRun;

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void commandStateFollowsTheRun();
    void everyCommandIsInTheMenusOnce();
    void editsAreCheckedBeforeTheyStick();
    void readEditWriteAndReadOneParameter();
    void windowedReadSavesWhatTheTerminalRunSaves();
    void qtDialogsSpeakTheDesktopsLanguage();
};

void MainWindowTest::commandStateFollowsTheRun() {
    const fs::path file = fs::temp_directory_path() / "zep8-ui-noport.zep";
    fs::remove(file);
    {
        // An automated read without a port: nothing to talk to, nothing read.
        WindowRun w;
        QVERIFY(w.Start({"/read", file.string()}));
        QVERIFY(!w.frame().action(ID_READ_ALL)->isEnabled());
        QVERIFY(!w.frame().action(ID_PORT_SETUP)->isEnabled());
        QVERIFY(!w.frame().action(ID_AUTO_READ)->isChecked());
        QVERIFY(w.frame().action(ID_FILE_OPEN)->isEnabled());
        // New network settings are prepared without a module.
        QVERIFY(w.frame().action(ID_PROGRAM_NETWORK)->isEnabled());
        QVERIFY(w.frame().action(ID_APPLY_NETWORK)->isEnabled());
        QTest::qWait(50);
        QVERIFY(!fs::exists(file));
        QCOMPARE(w.session->ExitCode(0), 201);
    }
    {
        WindowRun w;
        QVERIFY(w.Start({"--simulate", "/silent"}));
        QVERIFY(w.frame().action(ID_READ_ALL)->isEnabled());
        QVERIFY(!w.frame().action(ID_AUTO_READ)->isChecked());
    }
    {
        WindowRun w;
        QVERIFY(w.Start({"--simulate"}));
        QVERIFY(w.frame().action(ID_AUTO_READ)->isChecked());
        QCOMPARE(w.frame().windowTitle(), QStringLiteral("Конфигуратор ЗЕП-8 - Имя не задано"));
    }
    {
        // Placed and pinned while the automated read runs; free afterwards.
        WindowRun w;
        QVERIFY(w.Start({"--simulate", "/x:10/y:20/w:400/h:300/read", file.string()}));
        CMainFrame& frame = w.frame();
        QVERIFY(frame.pinned());
        QCOMPARE(frame.pos(), QPoint(10, 20));
        QCOMPARE(frame.size(), QSize(400, 300));
        frame.resize(600, 500);
        QCOMPARE(frame.size(), QSize(400, 300));
        QTRY_VERIFY(!frame.pinned());
        frame.resize(600, 500);
        QCOMPARE(frame.size(), QSize(600, 500));
        QVERIFY(fs::exists(file));
        // The file an automated read saves into is not one the operator opened.
        QVERIFY(frame.recentFiles().isEmpty());
    }
    {
        // A file named on the command line (a double-click on it) is one.
        WindowRun w;
        QVERIFY(w.Start({"--simulate", file.string()}));
        QCOMPARE(w.frame().recentFiles(),
                 QStringList{QDir::toNativeSeparators(
                     QFileInfo(QString::fromStdString(file.string())).absoluteFilePath())});
    }
    fs::remove(file);
}

// The menus and the toolbar are made from one table: each command once, with its
// text as described, the keys-only ones on the window.
void MainWindowTest::everyCommandIsInTheMenusOnce() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate", "/silent"}));
    std::vector<QAction*> items;
    std::function<void(const QList<QAction*>&)> collect = [&](const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            if (a->menu()) {
                collect(a->menu()->actions());
            } else if (!a->isSeparator()) {
                items.push_back(a);
            }
        }
    };
    collect(w.frame().menuBar()->actions());
    for (const CommandRow& row : CommandTable()) {
        if (row.id == 0) continue;
        const auto n = std::count(items.begin(), items.end(), w.frame().action(row.id));
        QCOMPARE(n, row.menu == MenuOf::None ? 0 : 1);
        QCOMPARE(w.frame().action(row.id)->text(), QString::fromUtf8(row.text));
    }
    QCOMPARE(items.size(), std::size_t(std::count_if(CommandTable().begin(), CommandTable().end(),
                                                     [](const CommandRow& r) {
                                                         return r.id && r.menu != MenuOf::None;
                                                     })));
    QCOMPARE(w.frame().action(ID_SINGLE_POINT)->text(),
             QStringLiteral("Опрос отдельного параметра\tCtr+Alt+S"));
    QCOMPARE(w.frame().action(ID_SINGLE_POINT)->shortcut(),
             QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    QCOMPARE(w.frame().action(ID_PROGRAM_NETWORK)->shortcuts().size(), 2);
    QStringList tools;
    for (QAction* a : w.frame().findChild<QToolBar*>()->actions()) {
        tools << (a->isSeparator() ? QStringLiteral("|") : a->toolTip());
    }
    QCOMPARE(tools.join(QLatin1Char(',')),
             QStringLiteral("Новый,Открыть,Сохранить,|,Считать все параметры,Записать все "
                            "параметры,Записать изменения,|,График опроса входов,О программе..."));
}

void MainWindowTest::editsAreCheckedBeforeTheyStick() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.document().device();
    NetRS485prg& program = device.programNet();
    Parameter& filter = *device.channelsNode.channel(0).FindParameter("in.Fd");
    // Opening the groups reads them (auto-read is on), the window going on meanwhile.
    w.tree().expandAll();
    QTRY_VERIFY(!w.frame().jobs().busy());
    QCOMPARE(w.Cell(filter, 2), QStringLiteral("0"));

    struct Refusal {
        Parameter* parameter;
        QString typed;
        std::string text;
        std::string caption;
    };
    filter.attrFactory = true;
    const Refusal refusals[] = {
        {&filter, "7", "Нет права на изменение значения,\n закрытого атрибутом принадлежности!",
         std::string(kProgramTitle)},
        {program.FindParameter("LEn"), "7", std::string(kFormatRefusedText),
         std::string(kRefusedValueCaption)},
        {program.FindParameter("Addr"), "20", std::string(kAddressingRefusedText),
         std::string(kRefusedValueCaption)},
    };
    for (const Refusal& r : refusals) {
        const QString before = w.Cell(*r.parameter, 2);
        const std::size_t seen = w.prompter.count();
        w.Type(*r.parameter, r.typed);
        QCOMPARE(w.prompter.count(), seen + 1);
        QCOMPARE(w.LastMessage().text, r.text);
        QCOMPARE(w.LastMessage().caption, r.caption);
        QCOMPARE(w.Cell(*r.parameter, 2), before);
    }
    filter.attrFactory = false;
    const QString before = w.Cell(filter, 2);
    w.Type(filter, "5000");
    QCOMPARE(w.LastMessage().text,
             std::string("Параметеру 'in.Fd' (Постоянная времени  цифрового фильтра)\nне может "
                         "быть присвоено значение '5000'.\n (Значение этого параметра должно быть "
                         "целым числом и\n должно быть больше 0.000000 и меньше 1800.000000)\n"));
    QCOMPARE(w.LastMessage().caption, std::string("Неудалось изменить параметер"));
    QCOMPARE(w.Cell(filter, 2), before);

    // The same text again is no change at all.
    w.document().SetModified(false);
    const std::size_t seen = w.prompter.count();
    w.Type(*program.FindParameter("bPS"), w.Cell(*program.FindParameter("bPS"), 2));
    QVERIFY(!w.document().modified());
    QCOMPARE(w.prompter.count(), seen);

    // A choice lists every item once, the current one chosen; Tab applies.
    Parameter& parity = *program.FindParameter("PrtY");
    Row row = w.RowOf(&parity);
    w.tree().setCurrentItem(row);
    QVERIFY(w.tree().BeginEdit(row, 2));
    auto* combo = qobject_cast<QComboBox*>(w.tree().OpenEditor());
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentText(), QStringLiteral("Отсутствует"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    items.sort();
    QCOMPARE(items, (QStringList{"Нечетность", "Отсутствует", "Четность"}));
    combo->setCurrentIndex(combo->findText(QStringLiteral("Четность")));
    QTest::keyClick(combo, Qt::Key_Tab);
    QCOMPARE(parity.value, std::string("Четность"));
    QCOMPARE(w.Cell(parity, 2), QStringLiteral("Четность"));
    QVERIFY(w.document().modified());
    // New port settings: what was read over the old ones is forgotten.
    Parameter& speed = *device.netNode.FindParameter("bPS");
    QCOMPARE(w.Cell(speed, 2), QStringLiteral("Нет данных"));

    // The attribute is behind the password; a cancelled password keeps it.
    Row attribute = w.RowOf(&filter);
    w.tree().setCurrentItem(attribute);
    QVERIFY(w.tree().BeginEdit(attribute, 3));
    combo = qobject_cast<QComboBox*>(w.tree().OpenEditor());
    QVERIFY(combo);
    combo->setCurrentIndex(combo->findText(QStringLiteral("Не редактируемый")));
    w.prompter.scriptText(std::nullopt);
    QTest::keyClick(combo, Qt::Key_Tab);
    QTRY_VERIFY(!w.tree().OpenEditor());
    QCOMPARE(w.Cell(filter, 3), QStringLiteral("Редактируемый"));
    QVERIFY(filter.attrEditable);
}

void MainWindowTest::readEditWriteAndReadOneParameter() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Device& device = w.document().device();
    w.frame().RunCommand(ID_READ_ALL);
    for (InvisibleElement* node :
         {static_cast<InvisibleElement*>(&device.commonNode),
          static_cast<InvisibleElement*>(&device.netNode),
          static_cast<InvisibleElement*>(&device.channelsNode.channel(2))}) {
        for (const auto& p : node->parameters()) {
            QVERIFY2(w.Cell(*p, 2) != QStringLiteral("Нет данных"), p->name.c_str());
            QCOMPARE(w.Cell(*p, 2).toStdString(), p->value);
        }
    }

    Parameter& filter = *device.channelsNode.channel(2).FindParameter("in.Fd");
    w.Type(filter, "15");
    QCOMPARE(w.Cell(filter, 2), QStringLiteral("15"));
    QCOMPARE(w.tree().GetRowColour(w.RowOf(&filter)), QColor(0, 175, 0));
    w.frame().RunCommand(ID_WRITE_CHANGED);
    QCOMPARE(w.module().value("in.Fd", 2).value_or(-1), 15.0);
    QCOMPARE(w.tree().GetRowColour(w.RowOf(&filter)), QColor(0, 0, 0));

    // "Прочитать параметр" brings back what the module holds now.
    w.module().setValue("in.Fd", 2, 33);
    w.tree().setCurrentItem(w.RowOf(&filter));
    w.frame().view().ReadSelectedParameter();
    QCOMPARE(w.Cell(filter, 2), QStringLiteral("33"));

    // A Russian operator's decimal comma is the point, all the way to the module.
    Parameter& shift = *device.channelsNode.channel(2).FindParameter("in.SH");
    w.Type(shift, "2,5");
    QCOMPARE(w.Cell(shift, 2), QStringLiteral("2.5"));
    w.frame().RunCommand(ID_WRITE_CHANGED);
    QCOMPARE(w.module().value("in.SH", 2).value_or(-1), 2.5);
    w.tree().setCurrentItem(w.RowOf(&shift));
    w.frame().view().ReadSelectedParameter();
    QCOMPARE(w.Cell(shift, 2), QStringLiteral("2.500"));
    // A number with something after it is refused whole, never cut to 12.
    w.Type(shift, "12abc");
    QCOMPARE(w.LastMessage().text,
             "Параметеру 'in.SH' (" + shift.title +
                 ")\nне может быть присвоено значение '12abc'.\n (Значение этого параметра "
                 "должно быть числом и\n должно быть больше -999.000000 и меньше 9999.000000)\n");
    QCOMPARE(w.Cell(shift, 2), QStringLiteral("2.500"));
    QCOMPARE(shift.value, std::string("2.500"));
}

void MainWindowTest::windowedReadSavesWhatTheTerminalRunSaves() {
    const fs::path dir =
        fs::temp_directory_path() / ("zep8-ui-" + std::to_string(QCoreApplication::applicationPid()));
    fs::create_directories(dir);
    // The program beside the test's, as the build placed it.
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(ZEP8_BINARY));
    auto run = [&dir, &program](const QString& how, const std::string& file) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.string()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess zep8;
        zep8.setProcessEnvironment(environment);
        zep8.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList args{QStringLiteral("--simulate"), QStringLiteral("/read/close"),
                         QString::fromStdString((dir / file).string())};
        if (!how.isEmpty()) args.prepend(how);
        zep8.start(QDir::cleanPath(program), args);
        // A read of the virtual module takes seconds; two minutes, then the test fails.
        if (!zep8.waitForFinished(120000)) {
            zep8.kill();
            zep8.waitForFinished();
            return -1;
        }
        return zep8.exitStatus() == QProcess::NormalExit ? zep8.exitCode() : -1;
    };
    QCOMPARE(run(QString(), "window.zep"), 0);
    QCOMPARE(run(QStringLiteral("--headless"), "terminal.zep"), 0);
    const std::string window = ReadFile(dir / "window.zep");
    QVERIFY(!window.empty());
    QVERIFY(window == ReadFile(dir / "terminal.zep"));
    fs::remove_all(dir);
}

// The desktop is Russian (the tests run under LC_ALL=ru_RU.UTF-8): Qt's own
// dialogs say so too.
void MainWindowTest::qtDialogsSpeakTheDesktopsLanguage() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        for (QPushButton* b :
             dialog->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>()) {
            buttons << b->text().remove('&');
        }
        dialog->reject();
    });
    w.frame().RunCommand(ID_FILE_SAVE_AS);
    QVERIFY2(buttons.contains(QStringLiteral("Отмена")), qPrintable(buttons.join(", ")));
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(MainWindowTest, "main_window_test");
#include "main_window_test.moc"
