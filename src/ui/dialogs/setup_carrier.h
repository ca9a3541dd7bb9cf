#pragma once

#include <QDialog>
#include <memory>

#include "ops/network/port_setup.h"

namespace Ui {
class CSetupCarrier;
}

namespace zep8 {

class Device;
class Prompter;
class SettingsStore;

// "Установка сетевых параметров программы": the program's port settings in a
// table and the ways on (connect, scan the speeds, factory settings, offline,
// exit). The link attempts run on the engine's worker thread; what it shows
// comes here through the window's event queue. exec() gives the closing
// command: PortSetup::CMD_OK or PortSetup::CMD_EXIT.
class CSetupCarrier : public QDialog, private PortSetupView {
    Q_OBJECT

  public:
    // `mainWindow`: the success message has a window to show over. `store`
    // keeps the servers the operator adds to the port list.
    CSetupCarrier(QWidget* parent, Device& device, Prompter& prompter, SettingsStore& store,
                  bool mainWindow);
    ~CSetupCarrier() override;

    // Escape and the window's close button are "Выход".
    void reject() override;

  signals:
    // Every text of the status line, red when `error`.
    void statusShown(const QString& text, bool error);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void SetStatus(std::string_view text, bool error) override;
    void SetValueCell(int row, std::string_view value) override;
    void PostCommand(int command) override;

    void FillTable();
    void ShowStatus(const QString& text, bool error);
    void OnCommand(int command);
    void OnValueEdited(int row, const QString& text);

    // The servers of the port list: "Добавить сервер...", "Изменить
    // сервер..." (the one the port row names) and "Убрать сервер".
    int PortRow() const;
    std::string PortShown() const;
    void AddServer();
    void EditServer();
    void RemoveServer();
    void UsePort(const std::string& name);
    void ShowServerButtons();

    std::unique_ptr<Ui::CSetupCarrier> ui_;
    Device& device_;
    Prompter& prompter_;
    SettingsStore& store_;
    std::unique_ptr<PortSetup> setup_;
};

}  // namespace zep8
