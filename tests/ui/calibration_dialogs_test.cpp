// The calibration wizard's windows as a service engineer goes through them,
// started from the main window on the virtual module: a type-1 run to its
// end, wrong codes over several dialogs, "Отмена" in the middle of the
// polling, and a faulty coefficient measured again.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <sstream>

#include "ops/calibration/calibration_mode.h"
#include "ui/dialogs/calibration_mode_dialog.h"
#include "ui/dialogs/calibration_step_dialog.h"
#include "ui/window_run.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

using testing::WindowRun;

int Requests(WindowRun& w, std::string_view name) {
    return w.module().count(name).received;
}

QStringList Captions(WindowRun& w) {
    QStringList all;
    for (const auto& m : w.prompter.messages()) all << QString::fromStdString(m.caption);
    return all;
}

// Plays the engineer: every 10 ms it hands the calibration dialog on the
// screen to the test's script. The step blocks the thread between its
// waits, so the script only ever runs inside a wait or between presses.
// A wizard still open after 30 s is cancelled, so a fault fails the test
// instead of hanging it.
class Engineer : public QObject {
  public:
    std::function<void(CCalibrationModeDialog&)> onMode;
    std::function<void(CCalibrationStepDialog&)> onStep;

    Engineer() {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* mode = qobject_cast<CCalibrationModeDialog*>(window);
                auto* step = qobject_cast<CCalibrationStepDialog*>(window);
                if (!window->isVisible() || (!mode && !step)) continue;
                if (clock_.elapsed() > 30000) {
                    window->findChild<QPushButton*>("cancelButton")->click();
                } else if (mode && onMode) {
                    onMode(*mode);
                } else if (step && onStep) {
                    onStep(*step);
                }
            }
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
};

template <typename T>
T& Child(QWidget& dialog, const char* name) {
    return *dialog.findChild<T*>(name);
}

// Through the event queue: a press that runs a whole step must not hold up
// the engineer's next look.
void Press(QWidget& dialog, const char* button) {
    QMetaObject::invokeMethod(&Child<QPushButton>(dialog, button), &QAbstractButton::click,
                              Qt::QueuedConnection);
}

bool CanContinue(QWidget& step) {
    auto& button = Child<QPushButton>(step, "continueButton");
    return button.isVisible() && button.isEnabled();
}

QString Instruction(QWidget& step) {
    return Child<QLabel>(step, "instructionText").text();
}

void EnterCode(CCalibrationModeDialog& mode, int type, const QString& code) {
    Child<QComboBox>(mode, "typeList").setCurrentIndex(type);
    auto& field = Child<QSpinBox>(mode, "codeField");
    field.selectAll();
    QTest::keyClicks(&field, code);
}

const QStringList kJumperWarnings{"Выполните подготовительные дйствия",
                                  "Возврат в рабочее состояние"};

}  // namespace

class CalibrationDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { CCalibrationMode::ResetWrongCodeCount(); }
    void typeOneToTheEnd();
    void wrongCodesCountOverDialogs();
    void cancelEndsTheWaitAtOnce();
    void faultyCoefficientIsMeasuredAgain();
};

void CalibrationDialogsTest::typeOneToTheEnd() {
    WindowRun w;
    // No sensor anywhere at first: the calibration sets input 1's and no other.
    QVERIFY(w.Start({"--simulate=factory"}));
    sim::CalibrationTask::Setup setup;
    setup.pollsNeeded = 2;
    w.module().setCalibration(setup);

    Engineer engineer;
    engineer.onMode = [](CCalibrationModeDialog& mode) {
        // Input 3 under type 4 first: type 1 still calibrates input 1.
        Child<QComboBox>(mode, "typeList").setCurrentIndex(4);
        Child<QComboBox>(mode, "inputList").setCurrentIndex(2);
        EnterCode(mode, 1, "0271");
        QVERIFY(!Child<QComboBox>(mode, "inputList").isVisible());
        Child<QComboBox>(mode, "sensorList").setCurrentIndex(3);  // Термопара TХА (К)
        Press(mode, "continueButton");
    };
    QStringList statusLines, instructions, captions;
    engineer.onStep = [&](CCalibrationStepDialog& step) {
        auto& status = Child<QLineEdit>(step, "statusField");
        if (statusLines.isEmpty()) {
            statusLines << status.text();
            connect(&status, &QLineEdit::textChanged, &step,
                    [&](const QString& t) { statusLines << t; });
        }
        if (!CanContinue(step)) return;
        instructions << Instruction(step);
        captions << step.windowTitle();
        Press(step, "continueButton");
    };
    w.frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.frame()));
    QTest::keyClick(&w.frame(), Qt::Key_C, Qt::AltModifier);

    QCOMPARE(statusLines,
             (QStringList{"Добро пожаловать в утилиту юстировки!",
                          "Старт процесса юстировки (CLB.I)", "Старт процесса юстировки (CLB.S)",
                          "CLB.S: Флаг процесса=0x01. Ждем 2 секунд...",
                          "CLB.S: Флаг процесса=0x80. Ждем 3 секунд...", "Измерения завершены...",
                          "Прием измеренных коэф-тов с прибора...", "Проверте коэффициент(ы)...",
                          "Завершение юстировки"}));
    QCOMPARE(instructions.size(), 4);
    QVERIFY(instructions[0].endsWith(
        "установите на нем значение 40,30 мВ. Нажмите на кнопку «Продолжить»"));
    QVERIFY(instructions[1].startsWith("Юстировочные коэффициенты найдены и сохранены в приборе."));
    QCOMPARE(instructions[2],
             "Значение коэффициента:  1.001200\n\nЮстировка прошла успешно\n\n"
             "Нажмите на кнопку «Продолжить»");
    QCOMPARE(instructions[3], "Юстировка НСХ преобразования успешно завершена. ");
    QCOMPARE(captions, (QStringList{"Продолжение юстировки", "Продолжение юстировки",
                                    "Продолжение юстировки", "Завершение юстировки"}));

    QCOMPARE(w.module().value("in-t", 0).value_or(-1), 6.0);
    QCOMPARE(w.module().value("in-t", 2).value_or(-1), 0.0);
    QCOMPARE(w.module().calibration().type(), 1);
    QCOMPARE(w.module().calibration().commits(), 1);
    QVERIFY(!w.module().calibration().running());
    QCOMPARE(Captions(w), kJumperWarnings);
}

void CalibrationDialogsTest::wrongCodesCountOverDialogs() {
    int tries = 0;
    bool cancelAfterOne = false;
    Engineer engineer;
    engineer.onMode = [&](CCalibrationModeDialog& mode) {
        if (cancelAfterOne && tries == 1) {
            Press(mode, "cancelButton");
            cancelAfterOne = false;
            return;
        }
        ++tries;
        EnterCode(mode, 3, "123");
        Press(mode, "continueButton");
    };
    const QStringList fourWrong(4, "Ошибка");
    {
        // "/calibrate": the program opens the wizard itself and closes after it.
        WindowRun w;
        QVERIFY(w.Start({"--simulate", "/calibrate"}));
        QTRY_VERIFY_WITH_TIMEOUT(!w.frame().isVisible(), 10000);
        QCOMPARE(tries, 4);
        QCOMPARE(Captions(w), fourWrong);
        QCOMPARE(w.prompter.messages().back().text, "Неправильно введен код");
        QCOMPARE(w.session->ExitCode(0), 0);
    }
    // One wrong try, "Отмена", a new dialog: the count goes on and the third
    // wrong try there is the fourth.
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    tries = 0;
    cancelAfterOne = true;
    w.frame().RunCommand(ID_CALIBRATION);
    QCOMPARE(tries, 1);
    QCOMPARE(CCalibrationMode::WrongCodeCount(), 1);
    w.frame().RunCommand(ID_CALIBRATION);
    QCOMPARE(tries, 4);
    QCOMPARE(CCalibrationMode::WrongCodeCount(), 0);
    QCOMPARE(Captions(w), fourWrong);
}

void CalibrationDialogsTest::cancelEndsTheWaitAtOnce() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    sim::CalibrationTask::Setup setup;
    setup.pollsNeeded = 1000;  // never measured: twelve polls
    w.module().setCalibration(setup);

    Engineer engineer;
    engineer.onMode = [](CCalibrationModeDialog& mode) {
        EnterCode(mode, 3, "913");
        Press(mode, "continueButton");
    };
    bool started = false;
    int pollsBeforeCancel = -1;
    QElapsedTimer sinceCancel;
    qint64 closedAfter = -1;
    engineer.onStep = [&](CCalibrationStepDialog& step) {
        if (!started) {
            started = true;
            connect(&step, &QDialog::finished, &step, [&] { closedAfter = sinceCancel.elapsed(); });
            Press(step, "continueButton");
        } else if (pollsBeforeCancel < 0 && Child<QLineEdit>(step, "statusField").text() ==
                                                "CLB.S: Флаг процесса=0x01. Ждем 3 секунд...") {
            // The step waits for its third poll: the click must get through.
            pollsBeforeCancel = Requests(w, "CLB.S");
            sinceCancel.start();
            QTest::mouseClick(&Child<QPushButton>(step, "cancelButton"), Qt::LeftButton);
        }
    };
    w.frame().RunCommand(ID_CALIBRATION);

    QCOMPARE(pollsBeforeCancel, 2);
    QVERIFY2(closedAfter >= 0 && closedAfter < 300, qPrintable(QString::number(closedAfter)));
    QCOMPARE(Requests(w, "CLB.S"), 2);
    QCOMPARE(Requests(w, "CLB.A"), 1);
    QVERIFY(!w.module().calibration().running());
    QCOMPARE(Captions(w), kJumperWarnings);
}

void CalibrationDialogsTest::faultyCoefficientIsMeasuredAgain() {
    WindowRun w;
    QVERIFY(w.Start({"--simulate"}));
    sim::CalibrationTask::Setup setup;
    setup.faultyCoefficient = 1;
    w.module().setCalibration(setup);

    Engineer engineer;
    engineer.onMode = [](CCalibrationModeDialog& mode) {
        EnterCode(mode, 1, "271");
        Child<QComboBox>(mode, "sensorList").setCurrentIndex(8);  // ТСМ 100М (Cu 100)
        Press(mode, "continueButton");
    };
    CCalibrationStepDialog* first = nullptr;
    QString opening, report, reopening;
    engineer.onStep = [&](CCalibrationStepDialog& step) {
        if (first && &step != first) {
            reopening = Instruction(step);
            Press(step, "cancelButton");
            return;
        }
        if (!first) opening = Instruction(*(first = &step));
        if (!CanContinue(step)) return;
        if (Instruction(step).startsWith("Значение ошибочного")) {
            report = Instruction(step);
            w.prompter.scriptAnswer(Answer::Yes);
        }
        Press(step, "continueButton");
    };
    w.frame().RunCommand(ID_CALIBRATION);

    QCOMPARE(report,
             "Значение ошибочного коэффициента:  1.001200 \n\nНажмите на кнопку «Продолжить»\n\n"
             "Коэффициент юстировки не соответствует заданным требованиям. Проверьте величину "
             "сигнала на контактах.Вход 1, а также правильность подключения источника сигналов. "
             "После устранения замечаний юстировку повторите.");
    QVERIFY(opening.contains("установите на нем значение 100,000 Ом."));
    QCOMPARE(reopening, opening);
    QCOMPARE(Captions(w),
             (QStringList{kJumperWarnings[0], "Вопрос о повторе калибкровки", kJumperWarnings[1]}));
    const auto repeat = w.prompter.messages()[1];
    QCOMPARE(repeat.text, "Попытка юстировки закончилась неудачно; повторить юстировку?");
    QVERIFY(repeat.buttons == Buttons::YesNo && repeat.icon == Icon::Question);
    QCOMPARE(Requests(w, "CLB.P"), 0);
    QCOMPARE(Requests(w, "CLB.A"), 2);
}

}  // namespace zep8

ZEP8_UI_TEST(CalibrationDialogsTest, "calibration_dialogs_test");
#include "calibration_dialogs_test.moc"
