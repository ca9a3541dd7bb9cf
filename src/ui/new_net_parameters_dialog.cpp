#include "ui/new_net_parameters_dialog.h"

#include <QPlainTextEdit>

#include "ops/network_apply.h"
#include "ui_new_net_parameters_dialog.h"

namespace zep8 {
namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The settings are a few short lines: the field shows all of them and no more.
void ShowLines(QPlainTextEdit& field, const QString& text) {
    field.setPlainText(text);
    field.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One line more than the text: room for the document's margins.
    const int lines = static_cast<int>(text.count('\n')) + 1;
    const QMargins frame = field.contentsMargins();
    field.setFixedHeight(field.fontMetrics().lineSpacing() * lines + frame.top() + frame.bottom());
}

}  // namespace

CNewNetParameters::CNewNetParameters(QWidget* parent, Device& device)
    : QDialog(parent), ui_(std::make_unique<Ui::CNewNetParameters>()), device_(device) {
    ui_->setupUi(this);
    setWindowTitle(Q(kSwitchCaption));
    ui_->warningLabel->setText(Q(kSwitchWarning));
    ui_->settingsGroup->setTitle(Q(kNewSettingsGroup));
    ShowLines(*ui_->settingsText, QString::fromStdString(ProgramSettingsText(&device)));
    ui_->okButton->setFocus();
}

CNewNetParameters::~CNewNetParameters() = default;

void CNewNetParameters::accept() {
    SwitchProgramSettings(device_);
    QDialog::accept();
}

}  // namespace zep8
