#include "ui/dialogs/single_point_dialog.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "ui/frame/widget_helpers.h"
#include "ui_single_point_dialog.h"

namespace zep8 {
namespace {

QStringList Texts(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) list << Q(text);
    return list;
}

}  // namespace

CSinglePoint::CSinglePoint(QWidget* parent, Device& device)
    : QDialog(parent), ui_(std::make_unique<Ui::CSinglePoint>()), point_(device) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
    // The names are typed as they are: no completion from the list.
    ui_->nameCombo->setCompleter(nullptr);
    ui_->valueCombo->setCompleter(nullptr);
    ui_->indexField->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    // Shown and hidden with the mode, without the fields below jumping.
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->valueLabel), static_cast<QWidget*>(ui_->valueCombo)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    point_.Open();
    {
        const QSignalBlocker blocker(ui_->nameCombo);
        ui_->nameCombo->addItems(Texts(point_.names()));
        ui_->nameCombo->setEditText(Q(point_.name()));
    }
    ShowFields();

    connect(ui_->nameCombo, &QComboBox::editTextChanged, this, &CSinglePoint::OnNameEdited);
    connect(ui_->readRadio, &QRadioButton::toggled, this, &CSinglePoint::OnModeChosen);
    connect(ui_->executeButton, &QPushButton::clicked, this, &CSinglePoint::Execute);
}

CSinglePoint::~CSinglePoint() = default;

void CSinglePoint::OnNameEdited(const QString& text) {
    const QString upper = text.toUpper();
    if (upper != text) {
        // The field holds upper case only; the caret stays where it was.
        QLineEdit* edit = ui_->nameCombo->lineEdit();
        const int caret = edit->cursorPosition();
        const QSignalBlocker blocker(ui_->nameCombo);
        edit->setText(upper);
        edit->setCursorPosition(caret);
    }
    TakeFields();
    point_.SetName(upper.toStdString());
    ShowFields();
}

void CSinglePoint::OnModeChosen() {
    TakeFields();
    ShowFields();
}

void CSinglePoint::done(int result) {
    if (jobs_.busy()) {
        closing_ = result;
        return;
    }
    QDialog::done(result);
}

void CSinglePoint::Execute() {
    if (jobs_.busy()) return;
    TakeFields();
    ui_->traceList->clear();
    std::optional<SinglePoint::Request> request = point_.Begin();
    if (!request) {
        ui_->traceList->addItems(Texts(point_.log()));
        ShowFields();
        return;
    }
    // The exchange may take seconds on a silent line: the dialog answers meanwhile.
    ui_->executeButton->setEnabled(false);
    auto running = std::make_shared<SinglePoint::Request>(std::move(*request));
    Device& device = point_.device();
    jobs_.Run([&device, running](WindowJobs::Context&) { SinglePoint::Transfer(device, *running); },
              [this, running] { Executed(*running); });
}

void CSinglePoint::Executed(const SinglePoint::Request& request) {
    point_.End(request);
    ui_->traceList->addItems(Texts(point_.log()));
    ui_->traceList->scrollToBottom();
    ShowFields();
    ui_->executeButton->setEnabled(true);
    if (closing_) QDialog::done(*closing_);
}

void CSinglePoint::TakeFields() {
    point_.SetMode(ui_->writeRadio->isChecked() ? SinglePoint::kWrite : SinglePoint::kRead);
    point_.valueText = ui_->valueCombo->currentText().toStdString();
    point_.indexFlag = ui_->indexCheck->isChecked();
    point_.indexText = ui_->indexField->text().toStdString();
}

void CSinglePoint::ShowFields() {
    ui_->hashField->setText(Q(point_.hashText()));
    ui_->descriptionField->setText(Q(point_.description()));
    ui_->descriptionField->setCursorPosition(0);
    ui_->indexCheck->setChecked(point_.indexFlag);
    ui_->indexField->setText(Q(point_.indexText));
    ui_->writeRadio->setChecked(point_.mode() == SinglePoint::kWrite);
    ui_->readRadio->setChecked(point_.mode() == SinglePoint::kRead);
    ui_->valueLabel->setVisible(point_.valueFieldVisible());
    ui_->valueCombo->setVisible(point_.valueFieldVisible());

    const QStringList items = Texts(point_.valueItems());
    QStringList shown;
    for (int i = 0; i < ui_->valueCombo->count(); ++i) shown << ui_->valueCombo->itemText(i);
    if (shown != items) {
        // A new list; what was typed stays typed.
        const QString typed = ui_->valueCombo->currentText();
        ui_->valueCombo->clear();
        ui_->valueCombo->addItems(items);
        ui_->valueCombo->setEditText(typed);
    }
}

}  // namespace zep8
