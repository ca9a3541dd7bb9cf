#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "link/serial/serial_port.h"
#include "ops/device/device.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_module.h"
#include "support/program_line.h"
#include "ui/dialogs/change_password.h"
#include "ui/dialogs/password_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/qt_prompter.h"
#include "ui/frame/widget_helpers.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

// Acts on the first visible top-level T from a timer, so the action runs
// inside whatever modal loop shows it; `act` returns true when it is done.
template <typename T, typename Act>
void WhenShown(Act act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act]() mutable {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* shown = qobject_cast<T*>(widget);
            if (shown && shown->isVisible() && act(shown)) {
                timer->stop();
                timer->deleteLater();
                return;
            }
        }
    });
    timer->start(10);
}

struct BoxSeen {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QWidget* parent = nullptr;
};

// Notes what the box shows, then presses `press` (a button text, or Escape when empty).
void AnswerBox(BoxSeen& seen, const QString& press) {
    WhenShown<QMessageBox>([&seen, press](QMessageBox* box) {
        seen = {box->text(), box->windowTitle(), box->icon(), {}, box->parentWidget()};
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            seen.buttons << button->text();
            if (button->text() == press) chosen = button;
        }
        if (chosen) {
            chosen->click();
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
        }
        return true;
    });
}

QString FieldText(CProgressDialog& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(name)->text();
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void boxesComeToTheWindowThread();
    void passwordEntry();
    void progressOfDeviceJobs();
    void jobEndingBeforeTheLoopStarts();
};

void DialogsTest::boxesComeToTheWindowThread() {
    QWidget window;
    QtPrompter prompter;
    prompter.setWindow(&window);

    // From the transfer thread: the box opens on the window thread and the thread gets the answer.
    BoxSeen seen;
    AnswerBox(seen, "Нет");
    std::atomic<bool> answered{false};
    Answer answer = Answer::Yes;
    std::thread worker([&] {
        answer = prompter.ask("Так как прошло 5 безуспешных попыток чтения,\nто операции <b>обмена",
                              "Ошибка", Buttons::YesNo, Icon::Stop);
        answered = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
    worker.join();
    QVERIFY(answer == Answer::No);
    QCOMPARE(seen.text, "Так как прошло 5 безуспешных попыток чтения,\nто операции <b>обмена");
    QCOMPARE(seen.caption, "Ошибка");
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(seen.buttons.size(), 2);
    QVERIFY(seen.buttons.contains("Да") && seen.buttons.contains("Нет"));
    QCOMPARE(seen.parent, &window);

    // On the window thread itself the box shows directly; Escape is the cancel.
    AnswerBox(seen, {});
    QVERIFY(prompter.ask("Восстановить?", "Внимание", Buttons::OkCancel, Icon::Warning) ==
            Answer::Cancel);
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QVERIFY(seen.buttons.contains("ОК") && seen.buttons.contains("Отмена"));

    AnswerBox(seen, "ОК");
    prompter.notify("Пароль изменен", "Смена пароля", Icon::None);
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.buttons, QStringList{"ОК"});
}

void DialogsTest::passwordEntry() {
    QtPrompter prompter;
    const char* prompt =
        "Подтвердите Ваше право:\na) восстанавливать заводские установки прибора;\nb) изменять "
        "атрибут редактирования.";

    // Masked, from another thread, confirmed with Enter.
    QString caption;
    QString promptShown;
    bool masked = false;
    WhenShown<CPasswordDialog>([&](CPasswordDialog* dialog) {
        caption = dialog->windowTitle();
        promptShown = dialog->findChild<QLabel*>("promptLabel")->text();
        auto* field = dialog->findChild<QLineEdit*>("textField");
        masked = field->echoMode() == QLineEdit::Password;
        QTest::keyClicks(field, "902417");
        QTest::keyClick(field, Qt::Key_Return);
        return true;
    });
    std::optional<std::string> entered;
    std::atomic<bool> answered{false};
    std::thread worker([&] {
        entered = prompter.enterText(prompt, "Введите пароль", true);
        answered = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 10000);
    worker.join();
    QCOMPARE(entered, std::optional<std::string>("902417"));
    QCOMPARE(caption, "Введите пароль");
    QCOMPARE(promptShown, prompt);
    QVERIFY(masked);

    // Plain text on the window thread; "Отмена" gives nothing whatever was typed.
    WhenShown<CPasswordDialog>([&](CPasswordDialog* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("textField");
        masked = field->echoMode() == QLineEdit::Password;
        QTest::keyClicks(field, "typed");
        dialog->findChild<QPushButton*>("cancelButton")->click();
        return true;
    });
    QCOMPARE(prompter.enterText("Адрес:", "Параметр", false), std::nullopt);
    QVERIFY(!masked);

    // "Смена пароля" filled from the keyboard in tab order; Enter is "Сменить!".
    CChangePassword change;
    WhenShown<CChangePassword>([](CChangePassword* shown) {
        for (const char* text : {"old", "new", "new2"}) {
            QTest::keyClicks(QApplication::focusWidget(), text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(shown, Qt::Key_Return);
        return true;
    });
    QCOMPARE(change.exec(), int(QDialog::Accepted));
    QCOMPARE(change.oldPassword(), "old");
    QCOMPARE(change.newPassword(), "new");
    QCOMPARE(change.newPasswordAgain(), "new2");
}

void DialogsTest::progressOfDeviceJobs() {
    processState().reset();
    sim::LineSettings line;
    line.baud = 115200;
    sim::SimulatedModule simulated(line);
    std::string error;
    QVERIFY2(simulated.start(error), error.c_str());
    RecordingPrompter prompter;
    Device device(std::make_unique<SerialPort>(), prompter);
    CProgressDialog dialog(nullptr, [&device] { device.Abort(); });
    device.SetObserver(&dialog);
    device.SetFinishHold(std::chrono::milliseconds(300));
    testing::PointProgramAt(device.programNet(), simulated.portPath(),
                            simulated.module().activeSettings());
    device.Rebuild();

    // A whole read: the counters come from the transfer thread while the dialog
    // is up, and the last ones stay on it through the hold.
    QString title;
    QString shownParameters;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &dialog, [&] {
        if (!dialog.isVisible()) return;
        title = dialog.windowTitle();
        shownParameters = FieldText(dialog, "parametersField");
    });
    watch.start(10);
    QVERIFY(device.ReadAll());
    watch.stop();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(title, "Идет чтение параметров из прибора");
    // A caption only: no close, minimise or maximise box; wide enough for the
    // longest caption in a window manager's title bar.
    QCOMPARE(dialog.windowFlags(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QVERIFY(dialog.width() >=
            CaptionWidth(QStringLiteral("Идет запись измененных значений параметров в прибор")));
    const int parameters = FieldText(dialog, "parametersField").toInt();
    QVERIFY(parameters > 20);
    QCOMPARE(shownParameters, QString::number(parameters));
    QVERIFY(FieldText(dialog, "groupsField").toInt() > 0);
    QCOMPARE(FieldText(dialog, "parametersWithErrorsField"), "0");
    QCOMPARE(processState().ExitStatus(), 0u);

    // A second read, cut short: Escape does nothing, "Прервать" stops the job.
    bool stayedAfterEscape = false;
    WhenShown<CProgressDialog>([&](CProgressDialog* shown) {
        if (FieldText(*shown, "parametersField") == "0") return false;
        QTest::keyClick(shown, Qt::Key_Escape);
        stayedAfterEscape = shown->isVisible();
        QTest::mouseClick(shown->findChild<QPushButton*>("abortButton"), Qt::LeftButton);
        return true;
    });
    QVERIFY(device.ReadAll());
    QVERIFY(stayedAfterEscape);
    QVERIFY(FieldText(dialog, "parametersField").toInt() < parameters);
    QCOMPARE(processState().ExitStatus() & 0x20u, 0x20u);
    processState().reset();
}

void DialogsTest::jobEndingBeforeTheLoopStarts() {
    int aborts = 0;
    CProgressDialog dialog(nullptr, [&aborts] { ++aborts; });
    dialog.JobStarted(Job::WriteOne, JobCaption(Job::WriteOne));
    QCOMPARE(dialog.windowTitle(), "Идет запись параметра в прибор");
    std::thread([&dialog] {
        dialog.CounterChanged(ProgressCounter::Parameters, 1);
        dialog.JobFinished();
    }).join();
    // Something pumps the events first: the queued close finds no loop to end.
    QCoreApplication::processEvents();
    dialog.WaitForJob();
    QCOMPARE(FieldText(dialog, "parametersField"), "1");
    QVERIFY(!dialog.isVisible());

    // The next job starts from zero, and Enter presses "Прервать".
    dialog.JobStarted(Job::ReadOne, JobCaption(Job::ReadOne));
    QCOMPARE(FieldText(dialog, "parametersField"), "0");
    WhenShown<CProgressDialog>([&](CProgressDialog* shown) {
        QTest::keyClick(shown, Qt::Key_Return);
        if (aborts == 1) std::thread([&dialog] { dialog.JobFinished(); }).join();
        return true;
    });
    dialog.WaitForJob();
    QCOMPARE(aborts, 1);
}

}  // namespace zep8

ZEP8_UI_TEST(DialogsTest, "dialogs_test");
#include "dialogs_test.moc"
