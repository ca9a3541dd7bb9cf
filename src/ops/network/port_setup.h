#pragma once

// The port set-up worker: tries the program's port settings, scans the
// speeds for the module and reports to the port set-up dialog.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace zep8 {

class Device;

// What the port set-up dialog shows; called on the worker thread.
class PortSetupView {
  public:
    virtual ~PortSetupView() = default;
    virtual void SetStatus(std::string_view text, bool error) = 0;
    virtual void SetValueCell(int row, std::string_view value) = 0;
    // Delivers a command to the dialog as if its button had been pressed.
    virtual void PostCommand(int command) = 0;
};

// The port set-up dialog without its widgets: the program's port settings as
// a table, and a worker thread that tries the link, or every speed in turn,
// so the window stays responsive and every attempt can be interrupted.
class PortSetup {
  public:
    // Buttons and commands of the dialog.
    enum : int {
        CMD_OK = 1,
        CMD_EXIT = 2,
        CMD_CONNECT = 3,
        CMD_SCAN = 4,
        CMD_FACTORY = 5,
        CMD_OFFLINE = 1303,
    };

    struct Row {
        std::string title;  // "Параметры порта"
        std::string value;  // "Значение"
        std::string name;   // "Имя параметра в приборе"
    };

    // `establish` tries the link with the program's settings (the device's
    // EstablishLink unless given); `mainWindow` says whether the success
    // message has a window to show over.
    PortSetup(Device& device, PortSetupView& view, bool mainWindow,
              std::function<bool()> establish = {});
    ~PortSetup();
    PortSetup(const PortSetup&) = delete;
    PortSetup& operator=(const PortSetup&) = delete;

    // Fills the table and starts the worker.
    void Open();
    std::vector<Row> Rows() const;
    // An edit of a value cell.
    void EditValue(int row, const std::string& text);
    // A button or a delivered command; the dialog's close result once it
    // must close (1 OK, 2 cancel).
    std::optional<int> Command(int command);

    static constexpr std::string_view kCaption = "Установка сетевых параметров программы";
    static constexpr std::string_view kColumns[] = {"Параметры порта", "Значение",
                                                    "Имя параметра в приборе"};

  private:
    void Worker();
    void Connect();
    void Scan();
    bool WorkerRunning() const;
    // The worker is to end: a way out of the dialog, or the program's exit.
    bool Stopping();

    Device& device_;
    PortSetupView& view_;
    bool mainWindow_;
    std::function<bool()> establish_;
    std::atomic<int> pendingCommand_{CMD_EXIT};
    Event connectRequest_{Event::Reset::Auto};
    Event scanRequest_{Event::Reset::Auto};
    Event workerFinished_{Event::Reset::Manual};
    // The worker's stop, its own: set by every way out of the dialog.
    Event stop_{Event::Reset::Manual};
    std::thread worker_;
};

}  // namespace zep8
