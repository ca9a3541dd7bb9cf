// The difference table on the virtual module: the compare result's
// "Подробнее...", and the question before a write that overwrites the module.
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "ui/dialogs/differences_dialog.h"
#include "ui/frame/qt_prompter.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using testing::WindowRun;

constexpr std::string_view kProgramKey = "SOFTWARE\\ARVO\\ZEP8";

// Runs `act` on the next window of type `W` that opens modally (inside its
// own event loop); `seen` tells whether one opened.
template <typename W>
class WhenOpen {
  public:
    explicit WhenOpen(std::function<void(W&)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* window = qobject_cast<W*>(QApplication::activeModalWidget());
            if (!window) return;
            timer_.stop();
            ++seen;
            act_(*window);
            // A failed check must not leave the test waiting in the window's loop.
            if (window->isVisible()) window->reject();
        });
        timer_.start(20);
    }
    int seen = 0;

  private:
    std::function<void(W&)> act_;
    QTimer timer_;
};

class DifferencesTest : public QObject {
    Q_OBJECT

  private slots:
    void compareDetailsThenAskBeforeWriting();
    void automatedWriteNeverAsks();
    void detailsButtonLeavesTheMessageOpen();
};

Parameter& Filter(Document& document, int input) {
    return *document.device().channelsNode.channel(input).FindParameter("in.Fd");
}

void DifferencesTest::compareDetailsThenAskBeforeWriting() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    w.frame().RunCommand(ID_READ_ALL);
    for (int input = 0; input < 3; ++input) {
        w.Type(Filter(w.document(), input), QString::number(15 + input));
    }

    // The message lists them as always; its "Подробнее..." shows the table.
    QStringList copied;
    WhenOpen<CDifferencesDialog> details([&](CDifferencesDialog& table) {
        QCOMPARE(table.rowCount(), 3);
        QVERIFY(!table.writeButton());
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(table.cell(row, 0), QStringLiteral("Вход №%1").arg(row + 1));
            QCOMPARE(table.cell(row, 1), QStringLiteral("in.Fd"));
            QCOMPARE(table.cell(row, 3), QString::number(15 + row));
            QCOMPARE(table.cell(row, 4), QStringLiteral("0"));
        }
        auto* grid = table.findChild<QTableWidget*>();
        grid->sortByColumn(3, Qt::DescendingOrder);
        QCOMPARE(table.cell(0, 3), QStringLiteral("17"));
        grid->selectAll();
        grid->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&table));
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        table.reject();
    });
    w.prompter.scriptDetails();
    w.frame().RunCommand(ID_COMPARE);
    QCOMPARE(details.seen, 1);
    const std::string message = w.LastMessage().text;
    QCOMPARE(w.LastMessage().caption, std::string("Результат сравнения"));
    QVERIFY2(message.rfind("Обнаружены отличия (3):\n\n1) Параметер 'in.Fd (", 0) == 0,
             message.c_str());
    QVERIFY(message.find("\n3) Параметер 'in.Fd") != std::string::npos);
    QCOMPARE(copied.size(), 3);
    QCOMPARE(copied[0], QStringLiteral("Вход №3\tin.Fd\tПостоянная времени  цифрового "
                                       "фильтра\t17\t0"));

    // Off at first; the menu item keeps its state in the settings store.
    QAction* item = w.frame().action(ID_DIFFERENCES_BEFORE_WRITE);
    QVERIFY(!item->isChecked());
    item->trigger();
    QCOMPARE(w.store.readInt(kProgramKey, "show_differences_before_write"), 1);

    // "Отмена" writes nothing and keeps the changes pending.
    WhenOpen<CDifferencesDialog> cancel([](CDifferencesDialog& table) {
        QCOMPARE(table.rowCount(), 3);
        QVERIFY(table.writeButton());
        table.reject();
    });
    w.frame().RunCommand(ID_WRITE_CHANGED);
    QCOMPARE(cancel.seen, 1);
    for (int input = 0; input < 3; ++input) {
        QCOMPARE(w.module().value("in.Fd", input).value_or(-1), 0.0);
        QVERIFY(Filter(w.document(), input).changed);
    }
    QCOMPARE(w.tree().GetRowColour(w.RowOf(&Filter(w.document(), 0))), QColor(0, 175, 0));

    // "Записать" writes.
    WhenOpen<CDifferencesDialog> write([](CDifferencesDialog& table) {
        QCOMPARE(table.rowCount(), 3);
        table.writeButton()->click();
    });
    w.frame().RunCommand(ID_WRITE_CHANGED);
    QCOMPARE(write.seen, 1);
    for (int input = 0; input < 3; ++input) {
        QCOMPARE(w.module().value("in.Fd", input).value_or(-1), 15.0 + input);
    }

    // Nothing left that differs: no question, the write just runs.
    WhenOpen<CDifferencesDialog> none([](CDifferencesDialog& table) { table.reject(); });
    Filter(w.document(), 0).changed = true;
    w.frame().RunCommand(ID_WRITE_CHANGED);
    QCOMPARE(none.seen, 0);
    QVERIFY(!Filter(w.document(), 0).changed);
}

void DifferencesTest::automatedWriteNeverAsks() {
    const fs::path file = fs::temp_directory_path() / "zep8-ui-differences.zep";
    {
        WindowRun w;
        QVERIFY(w.Start({"--simulate"}));
        w.frame().RunCommand(ID_READ_ALL);
        w.Type(Filter(w.document(), 4), QStringLiteral("21"));
        QVERIFY(!w.document().SaveDocument(file.string()));
    }
    WindowRun w;
    w.store.createKey(kProgramKey);
    w.store.writeInt(kProgramKey, "show_differences_before_write", 1);
    WhenOpen<CDifferencesDialog> asked([](CDifferencesDialog& table) { table.reject(); });
    QVERIFY(w.Start({"--simulate", "/write", file.string()}));
    QTRY_COMPARE(w.module().value("in.Fd", 4).value_or(-1), 21.0);
    QCOMPARE(asked.seen, 0);
    fs::remove(file);
}

void DifferencesTest::detailsButtonLeavesTheMessageOpen() {
    QtPrompter prompter;
    int pressed = 0;
    bool stillOpen = false;
    WhenOpen<QMessageBox> box([&](QMessageBox& message) {
        QCOMPARE(message.text(), QStringLiteral("Обнаружены отличия (1):"));
        QPushButton* more = nullptr;
        for (QAbstractButton* b : message.buttons()) {
            if (b->text() == QStringLiteral("Подробнее...")) more = qobject_cast<QPushButton*>(b);
        }
        QVERIFY(more);
        more->click();
        QTest::qWait(50);
        stillOpen = message.isVisible();
        message.button(QMessageBox::Ok)->click();
    });
    prompter.notifyWithDetails("Обнаружены отличия (1):", "Результат сравнения", Icon::Information,
                               [&] { ++pressed; });
    QCOMPARE(box.seen, 1);
    QCOMPARE(pressed, 1);
    QVERIFY(stillOpen);
}

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(DifferencesTest, "differences_test");
#include "differences_test.moc"
