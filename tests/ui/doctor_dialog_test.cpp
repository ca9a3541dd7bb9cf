// "Диагностика связи" as the operator meets it: the program's settings have
// drifted away from the virtual module; the doctor finds the module, shows
// what to change, and "Применить найденные настройки" brings the program back.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ui/link_tools/doctor_dialog.h"
#include "window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

class DoctorDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void findsTheModuleAndAppliesItsSettings() {
        testing::WindowRun w;
        QVERIFY(w.Start({"--simulate"}));
        QAction* item = w.frame().action(ID_LINK_DOCTOR);
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Диагностика связи"));

        Device& device = w.document().device();
        device.programNet().SetValue("bPS", "19200", false);
        device.programNet().SetValue("Addr", "24", false);
        device.ReopenPort(false);

        CDoctorDialog dialog(&w.frame(), device);
        auto* apply = dialog.findChild<QPushButton*>("applyButton");
        auto* close = dialog.findChild<QPushButton*>("closeButton");
        QVERIFY(apply && close);
        dialog.show();
        dialog.Start();
        QCOMPARE(close->text(), QStringLiteral("Прервать"));
        QVERIFY(!apply->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled(), 60000);
        const QString report = dialog.ReportText();
        QVERIFY2(report.contains(QStringLiteral("Итог: прибор ЗЕП8 найден.")), qPrintable(report));
        QVERIFY(report.contains(QStringLiteral("  скорость: 19200 -> 9600")));
        QVERIFY(report.contains(QStringLiteral("  адрес: 24 -> 16")));
        QCOMPARE(close->text(), QStringLiteral("Закрыть"));

        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(device.programNet().GetValue("bPS"), std::string("9600"));
        QCOMPARE(device.programNet().GetValue("Addr"), std::string("16"));
        QCOMPARE(device.programNet().GetValue("Echo"), std::string(kEchoOff));
        QVERIFY(device.port().IsOpen());
        QVERIFY(device.Identify(false) & IDENTIFY_ZEP8);
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

}  // namespace
}  // namespace zep8

ZEP8_UI_TEST(DoctorDialogTest, "doctor_dialog_test");
#include "doctor_dialog_test.moc"
