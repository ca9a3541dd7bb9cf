#include "ui/dialogs/about_dialog.h"

#include <QApplication>
#include <QIcon>

#include "platform/program_info.h"
#include "ui/frame/widget_helpers.h"
#include "ui_about_dialog.h"

namespace zep8 {

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CAboutDialog>()) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
    const ProgramInfo info = CurrentProgramInfo();
    ui_->versionLabel->setText(QStringLiteral("Версия ") + QString::fromStdString(info.version));
    ui_->copyrightLabel->setText(QString::fromStdString(info.copyright));
    const QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        ui_->iconLabel->hide();
    } else {
        ui_->iconLabel->setPixmap(icon.pixmap(32, 32));
    }
}

CAboutDialog::~CAboutDialog() = default;

}  // namespace zep8
