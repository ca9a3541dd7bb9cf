#pragma once

#include <QDialog>
#include <memory>

#include "ops/diagnostics/doctor_session.h"

namespace Ui {
class CDoctorDialog;
}

namespace zep8 {

class Device;

// "Диагностика связи": the doctor's report growing line by line while it
// runs on its own thread; "Прервать" stops it and then closes the window,
// "Применить найденные настройки" takes over what it found.
class CDoctorDialog : public QDialog, private DoctorSessionView {
    Q_OBJECT

  public:
    CDoctorDialog(QWidget* parent, Device& device, LinkDoctor::PortFactory makePort = {});
    ~CDoctorDialog() override;

    // Starts the doctor once the window is up.
    void Start();
    QString ReportText() const;

  protected:
    void reject() override;

  private:
    void DoctorLine(std::string_view line) override;
    void DoctorFinished(bool found) override;
    void OnClose();
    void OnApply();

    std::unique_ptr<Ui::CDoctorDialog> ui_;
    std::unique_ptr<DoctorSession> session_;
    bool finished_ = false;
};

}  // namespace zep8
