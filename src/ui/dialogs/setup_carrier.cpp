#include "ui/dialogs/setup_carrier.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>

#include "app/preferences.h"
#include "link/remote/tls_trust.h"
#include "ops/device/device.h"
#include "ops/network/program_setting_edit.h"
#include "platform/prompter.h"
#include "platform/text.h"
#include "ui/dialogs/server_dialog.h"
#include "ui/frame/widget_helpers.h"
#include "ui_setup_carrier.h"

namespace zep8 {
namespace {

constexpr int kValueColumn = 1;
constexpr int kNameColumn = 2;
constexpr int kColumnWeights[] = {3, 1, 1};

}  // namespace

CSetupCarrier::CSetupCarrier(QWidget* parent, Device& device, Prompter& prompter,
                             SettingsStore& store, bool mainWindow)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CSetupCarrier>()),
      device_(device),
      prompter_(prompter),
      store_(store),
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
    connect(ui_->addServerButton, &QPushButton::clicked, this, [this] { AddServer(); });
    connect(ui_->editServerButton, &QPushButton::clicked, this, [this] { EditServer(); });
    connect(ui_->removeServerButton, &QPushButton::clicked, this, [this] { RemoveServer(); });
    connect(ui_->table, &CTableCtrl::valueEdited, this,
            [this](int row, int, const QString& text) { OnValueEdited(row, text); });
    ShowStatus(QString(), false);
    FillTable();
    ShowServerButtons();
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
    ShowServerButtons();
}

int CSetupCarrier::PortRow() const {
    const std::vector<PortSetup::Row> rows = setup_->Rows();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (EqualsIgnoreCase(rows[r].name, "Port")) return static_cast<int>(r);
    }
    return -1;
}

std::string CSetupCarrier::PortShown() const {
    const int row = PortRow();
    return row < 0 ? std::string() : setup_->Rows()[static_cast<std::size_t>(row)].value;
}

void CSetupCarrier::UsePort(const std::string& name) {
    const int row = PortRow();
    if (row < 0) return;
    setup_->EditValue(row, name);
    ui_->table->SetCellText(row, kValueColumn, Q(name));
    // A certificate refused before is asked about again on the next link.
    ForgetRefusedCertificates();
    ShowServerButtons();
}

void CSetupCarrier::AddServer() {
    CServerDialog dialog(this, prompter_);
    if (dialog.exec() != QDialog::Accepted) return;
    const ServerEntry server = dialog.entry();
    Preferences(store_).KeepServer(server);
    UsePort(server.PortName());
    ShowStatus(QStringLiteral("Сервер %1 добавлен в список портов.").arg(Q(server.PortName())),
               false);
}

void CSetupCarrier::EditServer() {
    const std::string name = PortShown();
    Preferences preferences(store_);
    std::optional<ServerEntry> shown = ServerEntry::FromPortName(name);
    if (!shown) return;
    if (shown->tls) shown->trust = preferences.tlsSettings(shown->Server());
    CServerDialog dialog(this, prompter_, shown);
    if (dialog.exec() != QDialog::Accepted) return;
    const ServerEntry server = dialog.entry();
    preferences.KeepServer(server, name);
    UsePort(server.PortName());
    ShowStatus(QStringLiteral("Сервер %1 сохранён.").arg(Q(server.PortName())), false);
}

void CSetupCarrier::RemoveServer() {
    const std::string name = PortShown();
    const Answer answer = prompter_.ask(
        "Убрать сервер " + name + " из списка портов? Его настройки TLS тоже будут забыты.",
        CServerDialog::kCaption, Buttons::YesNo, Icon::Question);
    if (answer != Answer::Yes) return;
    Preferences preferences(store_);
    preferences.ForgetServer(name);
    if (const auto server = ServerEntry::FromPortName(name))
        preferences.StoreTlsSettings(server->Server(), {});
    ShowStatus(QStringLiteral("Сервер %1 убран из списка портов.").arg(Q(name)), false);
    ShowServerButtons();
}

// "Изменить" serves any server the port row names; "Убрать" the kept ones.
void CSetupCarrier::ShowServerButtons() {
    const std::string name = PortShown();
    const bool server = ServerEntry::FromPortName(name).has_value();
    bool kept = false;
    for (const ServerEntry& entry : Preferences(store_).keptServers())
        kept = kept || EqualsIgnoreCase(entry.PortName(), name);
    ui_->editServerButton->setEnabled(server);
    ui_->removeServerButton->setEnabled(kept);
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
