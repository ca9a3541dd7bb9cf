// "Записать конфигурацию в несколько приборов" as the operator meets it: two
// virtual modules on the line and an address where nobody answers; the
// result table shows two written and verified and one failed, and is saved.
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "ui/dialogs/batch_write_dialog.h"
#include "window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

class BatchWriteDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void writesTheTickedModulesAndSavesTheTable() {
        testing::WindowRun w;
        QVERIFY(w.Start({"--simulate", "--addresses=16,40"}));
        QAction* item = w.frame().action(ID_BATCH_WRITE);
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Записать конфигурацию в несколько приборов"));
        Device& device = w.document().device();
        QVERIFY(w.document().ReadAll());
        device.channelsNode.channel(2).SetValue("Ain.H", "250.500", true);

        CBatchWriteDialog dialog(device, w.prompter, &w.frame());
        auto* write = dialog.findChild<QPushButton*>("writeButton");
        auto* save = dialog.findChild<QPushButton*>("saveButton");
        auto* modules = dialog.findChild<QListWidget*>("modules");
        auto* results = dialog.findChild<QTreeWidget*>("results");
        QVERIFY(write && save && modules && results);
        dialog.show();
        QVERIFY(!write->isEnabled());

        QVERIFY(!dialog.AddAddresses(QStringLiteral("16, 4x")));
        QCOMPARE(w.LastMessage().text,
                 std::string("Адреса не добавлены: неверный адрес \"4x\": нужны базовые адреса, "
                             "кратные 8 (0, 8, 16 ...), через запятую."));
        QVERIFY(dialog.AddAddresses(QStringLiteral("16 40, 56")));
        QCOMPARE(modules->count(), 3);
        QCOMPARE(modules->item(2)->text(), QStringLiteral("адрес 56"));
        QVERIFY(write->isEnabled());

        QTest::mouseClick(write, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(save->isEnabled(), 30000);
        QCOMPARE(results->topLevelItemCount(), 3);
        for (int row : {0, 1}) {
            QCOMPARE(results->topLevelItem(row)->text(1), QStringLiteral("ZEP-8 v7.12"));
            QCOMPARE(results->topLevelItem(row)->text(6), QStringLiteral("записан и проверен"));
        }
        QTreeWidgetItem* silent = results->topLevelItem(2);
        QCOMPARE(silent->text(0), QStringLiteral("56"));
        QVERIFY(silent->text(6).startsWith(QStringLiteral("нет ответа")));
        QCOMPARE(silent->foreground(0).color(), QColor(Qt::red));
        QCOMPARE(*w.run->simulated->moduleAt(40)->value("Ain.H", 2), 250.5);
        QCOMPARE(device.port().settings.baseAddress, 16);  // the program's own again

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("итог.csv"));
        QVERIFY(dialog.SaveResults(path));
        QCOMPARE(QString::fromStdString(testing::ReadFile(path.toStdString())).count('\n'), 4);
        QVERIFY(!dialog.SaveResults(dir.filePath(QStringLiteral("нет/итог.csv"))));
        QVERIFY(QString::fromStdString(w.LastMessage().text)
                    .startsWith(QStringLiteral("Итог записи не сохранен: ")));
    }
};

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(BatchWriteDialogTest, "batch_write_dialog_test");
#include "batch_write_dialog_test.moc"
