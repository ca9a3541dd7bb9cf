#include "ui/dialogs/setup_carrier.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>

#include "ops/device/device.h"
#include "ops/network/program_setting_edit.h"
#include "ui/frame/widget_helpers.h"
#include "ui_setup_carrier.h"

namespace zep8 {
namespace {

constexpr int kValueColumn = 1;
constexpr int kNameColumn = 2;
constexpr int kColumnWeights[] = {3, 1, 1};

}  // namespace

CSetupCarrier::CSetupCarrier(QWidget* parent, Device& device, Prompter& prompter, bool mainWindow)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CSetupCarrier>()),
      device_(device),
      prompter_(prompter),
      setup_(std::make_unique<PortSetup>(device, static_cast<PortSetupView&>(*this), mainWindow)) {
    ui_->setupUi(this);
    setWindowTitle(Q(PortSetup::kCaption));
    KeepCaptionWhole(*this);
    const std::pair<QPushButton*, int> buttons[] = {
        {ui_->connectButton, PortSetup::CMD_CONNECT}, {ui_->scanButton, PortSetup::CMD_SCAN},
        {ui_->offlineButton, PortSetup::CMD_OFFLINE}, {ui_->factoryButton, PortSetup::CMD_FACTORY},
        {ui_->exitButton, PortSetup::CMD_EXIT},
    };
    for (const auto& [button, command] : buttons) {
        connect(button, &QPushButton::clicked, this, [this, command] { OnCommand(command); });
    }
    connect(ui_->table, &CTableCtrl::valueEdited, this,
            [this](int row, int, const QString& text) { OnValueEdited(row, text); });
    ShowStatus(QString(), false);
    FillTable();
    setup_->Open();
    ui_->table->setFocus();
}

CSetupCarrier::~CSetupCarrier() {
    // The worker goes first: it may still post to this window.
    setup_.reset();
}

void CSetupCarrier::FillTable() {
    CTableCtrl& table = *ui_->table;
    table.SetValueColumn(kValueColumn, kNameColumn);
    for (int c = 0; c < static_cast<int>(std::size(PortSetup::kColumns)); ++c) {
        table.InsertColumn(c, Q(PortSetup::kColumns[c]), kColumnWeights[c]);
    }
    for (const PortSetup::Row& row : setup_->Rows()) {
        table.InsertRow({Q(row.title), Q(row.value), Q(row.name)});
    }
    // Every row in sight, and no empty space under them.
    int height = table.horizontalHeader()->sizeHint().height() + 2 * table.frameWidth() + 2;
    for (int r = 0; r < table.rowCount(); ++r) height += table.rowHeight(r);
    table.setMinimumHeight(height);
    resize(width(), sizeHint().height());
}

void CSetupCarrier::SetStatus(std::string_view text, bool error) {
    OnThreadOf(this, Qt::QueuedConnection,
               [this, shown = Q(text), error] { ShowStatus(shown, error); });
}

void CSetupCarrier::SetValueCell(int row, std::string_view value) {
    OnThreadOf(this, Qt::QueuedConnection, [this, row, shown = Q(value)] {
        ui_->table->SetCellText(row, kValueColumn, shown);
    });
}

void CSetupCarrier::PostCommand(int command) {
    PostToThread(this, [this, command] { OnCommand(command); });
}

void CSetupCarrier::ShowStatus(const QString& text, bool error) {
    QPalette colours = ui_->statusLabel->palette();
    colours.setColor(QPalette::WindowText, error ? QColor(200, 0, 0) : QColor(0, 0, 200));
    ui_->statusLabel->setPalette(colours);
    ui_->statusLabel->setText(text);
    emit statusShown(text, error);
}

void CSetupCarrier::OnCommand(int command) {
    if (const std::optional<int> result = setup_->Command(command)) done(*result);
}

void CSetupCarrier::OnValueEdited(int row, const QString& text) {
    const std::vector<PortSetup::Row> rows = setup_->Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    const PortSetup::Row& shown = rows[static_cast<std::size_t>(row)];
    if (text.toStdString() == shown.value) return;
    const std::optional<std::string> stored =
        CheckProgramSetting(device_.programNet(), shown.name, text.toStdString(), prompter_);
    if (stored) setup_->EditValue(row, *stored);
    ui_->table->SetCellText(row, kValueColumn, Q(stored ? *stored : shown.value));
}

void CSetupCarrier::reject() {
    OnCommand(PortSetup::CMD_EXIT);
}

void CSetupCarrier::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || event->modifiers() & ~Qt::KeypadModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // No button is the default: Enter presses the focused one, or gives the OK
    // command, unless it ends an edit in the table.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
        button->click();
        return;
    }
    if (!ui_->table->OpenEditor()) OnCommand(PortSetup::CMD_OK);
}

}  // namespace zep8
