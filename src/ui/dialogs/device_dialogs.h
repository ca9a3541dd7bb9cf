#pragma once

class QWidget;

namespace zep8 {

class Device;
class Prompter;
class SettingsStore;

// The dialogs that drive the engines of ops/ on the device. Each opens
// modally over `parent` and returns when it has closed. They are made in
// device_dialogs.cpp, but for the survey (survey_dialog.cpp). The calibration
// wizard, whose windows take turns under one host, has calibration_dialogs.h.

// Held while one of them is open: when it closes, the device's change list
// hears that values may have changed (the program's port settings, what was
// read on the way).
class AnnounceOnClose {
  public:
    explicit AnnounceOnClose(Device& device) : device_(device) {}
    ~AnnounceOnClose();
    AnnounceOnClose(const AnnounceOnClose&) = delete;
    AnnounceOnClose& operator=(const AnnounceOnClose&) = delete;

  private:
    Device& device_;
};

// "Установка сетевых параметров программы": true when the operator left it
// with "Выход" (at start, that ends the program). The servers added there are
// kept in `store`.
bool RunPortSetupDialog(QWidget* parent, Device& device, Prompter& prompter, SettingsStore& store);
// "Изменение сетевых параметров прибора"; true when it ended with OK.
bool RunApplyDialog(QWidget* parent, Device& device);
// "Перевод программы на новый режим работы"; true when it ended with OK.
bool RunProgramSettingsDialog(QWidget* parent, Device& device);
// "Произвольный доступ к отдельным параметрам (Single Point)".
void RunSinglePointDialog(QWidget* parent, Device& device);
// "Поиск приборов на линии": the bus survey; the operator may connect to a found module.
void RunSurveyDialog(QWidget* parent, Device& device);
// "Диагностика связи": the connection doctor on the program's port.
void RunDoctorDialog(QWidget* parent, Device& device);
// "Записать конфигурацию в несколько приборов": the open configuration to
// several modules on the line, each verified.
void RunBatchWriteDialog(QWidget* parent, Device& device, Prompter& prompter);

}  // namespace zep8
