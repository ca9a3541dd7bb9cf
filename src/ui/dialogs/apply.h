#pragma once

#include <QDialog>
#include <memory>

#include "ui/frame/window_jobs.h"

namespace Ui {
class CApply;
}

namespace zep8 {

class Device;

// "Изменение сетевых параметров прибора": the module's settings about to be
// applied and the choices of how; OK applies them.
class CApply : public QDialog {
    Q_OBJECT

  public:
    CApply(QWidget* parent, Device& device);
    ~CApply() override;

    // OK: the exchanges run off the window thread and the dialog closes after
    // them; a close meanwhile waits for that.
    void accept() override;
    void reject() override;

  private:
    std::unique_ptr<Ui::CApply> ui_;
    Device& device_;
    bool applying_ = false;
    // Last: it ends, and with it the exchange under way, before the rest goes.
    WindowJobs jobs_;
};

}  // namespace zep8
