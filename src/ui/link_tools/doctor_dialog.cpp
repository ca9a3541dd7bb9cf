#include "ui/link_tools/doctor_dialog.h"

#include <QFontDatabase>
#include <QPushButton>
#include <QScrollBar>

#include "ui/frame/widget_helpers.h"
#include "ui_doctor_dialog.h"

namespace zep8 {

CDoctorDialog::CDoctorDialog(QWidget* parent, Device& device, LinkDoctor::PortFactory makePort)
    : QDialog(parent), ui_(std::make_unique<Ui::CDoctorDialog>()) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
    DoctorSessionView& view = *this;
    session_ = std::make_unique<DoctorSession>(device, view, std::move(makePort));
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { OnClose(); });
    connect(ui_->applyButton, &QPushButton::clicked, this, [this] { OnApply(); });
}

CDoctorDialog::~CDoctorDialog() {
    // The doctor's thread ends before the widgets it reports to go.
    session_.reset();
}

void CDoctorDialog::Start() {
    session_->Start();
}

QString CDoctorDialog::ReportText() const {
    return ui_->report->toPlainText();
}

void CDoctorDialog::DoctorLine(std::string_view line) {
    const QString text = Q(line);
    OnThreadOf(this, Qt::QueuedConnection, [this, text] {
        ui_->report->appendPlainText(text);
        ui_->report->verticalScrollBar()->setValue(ui_->report->verticalScrollBar()->maximum());
    });
}

void CDoctorDialog::DoctorFinished(bool found) {
    OnThreadOf(this, Qt::QueuedConnection, [this, found] {
        finished_ = true;
        ui_->status->setText(found ? QStringLiteral("Прибор найден.")
                                   : QStringLiteral("Прибор не найден."));
        ui_->applyButton->setEnabled(found);
        ui_->closeButton->setText(QStringLiteral("Закрыть"));
        ui_->closeButton->setEnabled(true);
    });
}

void CDoctorDialog::OnClose() {
    if (finished_) {
        accept();
        return;
    }
    ui_->status->setText(QStringLiteral("Прерывание операции..."));
    ui_->closeButton->setEnabled(false);
    session_->Abort();
}

void CDoctorDialog::reject() {
    // Escape or the window's close box: the doctor stops first.
    if (!finished_) {
        OnClose();
        return;
    }
    QDialog::reject();
}

void CDoctorDialog::OnApply() {
    if (!session_->Apply()) return;
    ui_->applyButton->setEnabled(false);
    ui_->report->appendPlainText(
        QStringLiteral("Найденные настройки стали настройками программы."));
}

}  // namespace zep8
