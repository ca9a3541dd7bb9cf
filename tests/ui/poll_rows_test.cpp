// The poll branch of the tree-list on the virtual module: ticking inputs,
// their rows and log, the table log, a refused period, poll settings as edits
// of the configuration, and closing the window while every input polls.
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ui/plot/trend_plot.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Row;
using testing::WindowRun;

class PollRowsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        dir = fs::temp_directory_path() / ("zep8-poll-" + std::to_string(getpid()));
        fs::remove_all(dir);
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
    }
    void cleanupTestCase() { fs::remove_all(dir); }
    void tickedInputsUpdateTheirRowsAndTheLog();
    void pollSettingsAreEditsOfTheConfiguration();
    void closingWhileEveryInputPollsEndsCleanly();

  private:
    static Row PollRow(WindowRun& w, int input) {
        Row group = w.frame().view().pollGroup();
        for (int i = 0; i < group->childCount(); ++i) {
            const RowObject object = w.tree().GetRowObject(group->child(i));
            if (object.kind == RowObject::Kind::Poller && object.number == input) {
                return group->child(i);
            }
        }
        return nullptr;
    }
    static void Click(WindowRun& w, Row row) {
        w.tree().scrollToItem(row);
        QTest::mouseClick(w.tree().viewport(), Qt::LeftButton, {},
                          w.tree().StateIconRect(row).center());
    }
    static void Edit(WindowRun& w, Row row, int column, const QString& text) {
        w.tree().setCurrentItem(row);
        QVERIFY(w.tree().BeginEdit(row, column));
        auto* edit = qobject_cast<QLineEdit*>(w.tree().OpenEditor());
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY(!w.tree().OpenEditor());
    }

    fs::path dir;
};

void PollRowsTest::tickedInputsUpdateTheirRowsAndTheLog() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    CTreeListCtrl& tree = w.tree();
    Row group = w.frame().view().pollGroup();
    QVERIFY(group);
    for (Row up = group; up; up = up->parent()) tree.expandItem(up);
    Row first = PollRow(w, 0), fifth = PollRow(w, 4);
    QCOMPARE(tree.GetCellText(first, 0), QStringLiteral("Вход №1"));
    Row logging = group->child(0);

    // Inputs with a sensor measure; logging on into "polls.log", inputs 1 and 5 every 100 ms.
    w.module().setValue("in-t", 0, 6);
    w.module().setValue("in-t", 4, 6);
    Edit(w, logging, 2, QStringLiteral("polls"));
    Click(w, logging);
    QTRY_COMPARE(tree.GetStateIcon(logging), 3);
    for (Row row : {first, fifth}) {
        Edit(w, row, 1, QStringLiteral("100"));
        Click(w, row);
        QTRY_COMPARE(tree.GetStateIcon(row), 3);
    }
    const fs::path log = dir / "ARVO" / "polls.log";
    QTRY_VERIFY_WITH_TIMEOUT(ReadFile(log).find("номером 5 (") != std::string::npos, 3000);
    QVERIFY(ReadFile(log).find("номером 1 (Вход №1)") != std::string::npos);
    QVERIFY(!tree.GetCellText(first, 2).isEmpty() || !tree.GetCellText(first, 4).isEmpty());

    // A period below 100 ms is refused and the cell keeps its text.
    Row second = PollRow(w, 1);
    Edit(w, second, 1, QStringLiteral("50"));
    QCOMPARE(w.LastMessage().text,
             std::string("Период опроса должен быть задан числом в миллисекундах.\nПериод опроса "
                         "не может быть меньше 100 миллисекунд"));
    QCOMPARE(w.LastMessage().caption, std::string("Неудалось изменить период опроса"));
    QCOMPARE(tree.GetCellText(second, 1), QStringLiteral("1000"));

    // The plot gets what the rows get; a value that is no number is a gap.
    CTrendPlot& plot = w.frame().plot();
    QTRY_VERIFY(plot.SampleCount(4) > 0 && !plot.HasGapAfterLast(4));
    bool number = false;
    tree.GetCellText(first, 2).toDouble(&number);
    QVERIFY(number);
    w.module().setMeasurementException(4, 0xF7);
    QTRY_VERIFY(plot.HasGapAfterLast(4));
    QVERIFY(!plot.HasGapAfterLast(0));

    // Unticked, they stop: the log stops growing after a read under way.
    for (Row row : {first, fifth}) Click(w, row);
    QTRY_COMPARE(tree.GetStateIcon(fifth), 1);
    QTest::qWait(300);
    const std::string stoppedLog = ReadFile(log);
    QTest::qWait(400);
    QCOMPARE(ReadFile(log).size(), stoppedLog.size());
    auto lines = [&stoppedLog](const std::string& what) {
        int n = 0;
        for (std::size_t at = 0; (at = stoppedLog.find(what, at)) != std::string::npos; ++at) ++n;
        return n;
    };
    // One result each that the log has, and the break where the poll stopped.
    QCOMPARE(plot.SampleCount(0), lines("номером 1 (") + 1);
    QCOMPARE(plot.SampleCount(4), lines("номером 5 (") + 1);

    // A name ending in ".csv" gives a table for a spreadsheet.
    Edit(w, logging, 2, QStringLiteral("polls.csv"));
    Click(w, first);
    const fs::path csv = dir / "ARVO" / "polls.csv";
    QTRY_VERIFY_WITH_TIMEOUT(ReadFile(csv).find("\n2") != std::string::npos, 3000);
    const std::string table = ReadFile(csv);
    QVERIFY(table.rfind("time;input;label;value;error\n", 0) == 0);
    const std::size_t begin = table.find('\n') + 1;
    const std::string row = table.substr(begin, table.find('\n', begin) - begin);
    QVERIFY2(QRegularExpression(
                 QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3};1;Вход №1;[^;]*;[^;]*)"))
                 .match(QString::fromStdString(row))
                 .hasMatch(),
             row.c_str());
}

void PollRowsTest::pollSettingsAreEditsOfTheConfiguration() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Row group = w.frame().view().pollGroup();
    for (Row up = group; up; up = up->parent()) w.tree().expandItem(up);
    Row logging = group->child(0), eighth = PollRow(w, 7);
    const std::function<void()> edits[] = {
        [&] { Edit(w, logging, 2, QStringLiteral("oven")); },
        [&] { Click(w, logging); },
        [&] { Edit(w, eighth, 0, QStringLiteral("Oven")); },
        [&] { Edit(w, eighth, 1, QStringLiteral("2000")); },
        [&] { Click(w, eighth); },
    };
    for (const auto& edit : edits) {
        w.document().SetModified(false);
        edit();
        QTRY_VERIFY(w.document().modified());
    }
    // The log's name is an edited text, green as any other.
    QCOMPARE(w.tree().GetRowColour(logging), QColor(0, 175, 0));
    w.prompter.scriptAnswer(Answer::Cancel);
    QVERIFY(!w.frame().close());
    QCOMPARE(w.LastMessage().text, "Сохранить изменения в " + w.document().title() + "?");
}

void PollRowsTest::closingWhileEveryInputPollsEndsCleanly() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    Row group = w.frame().view().pollGroup();
    for (Row up = group; up; up = up->parent()) w.tree().expandItem(up);
    for (int input = 0; input < kInputCount; ++input) {
        Row row = PollRow(w, input);
        Edit(w, row, 1, QStringLiteral("100"));
        Click(w, row);
        QTRY_COMPARE(w.tree().GetStateIcon(row), 3);
    }
    QTest::qWait(300);
    const auto start = std::chrono::steady_clock::now();
    w.session.reset();
    QCoreApplication::processEvents();
    const auto took = std::chrono::steady_clock::now() - start;
    QVERIFY(took < std::chrono::milliseconds(1000));
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(PollRowsTest, "poll_rows_test");
#include "poll_rows_test.moc"
