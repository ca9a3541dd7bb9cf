#include "ui/dialogs/server_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "link/remote/tls_channel.h"
#include "platform/prompter.h"
#include "ui/frame/widget_helpers.h"
#include "ui_server_dialog.h"

namespace zep8 {
namespace {

constexpr int kRfc2217 = 0;
constexpr int kRaw = 1;

QString Text(const QLineEdit& field) {
    return field.text().trimmed();
}

}  // namespace

CServerDialog::CServerDialog(QWidget* parent, Prompter& prompter,
                             const std::optional<ServerEntry>& shown)
    : QDialog(parent), ui_(std::make_unique<Ui::CServerDialog>()), prompter_(prompter) {
    ui_->setupUi(this);
    setWindowTitle(Q(kCaption));
    if (shown) {
        ui_->kindField->setCurrentIndex(shown->rfc2217 ? kRfc2217 : kRaw);
        ui_->hostField->setText(Q(shown->host));
        ui_->portField->setValue(shown->port);
        ui_->tlsField->setChecked(shown->tls);
        ui_->caField->setText(Q(shown->trust.caFile));
        ui_->fingerprintField->setText(
            Q(shown->trust.fingerprint.empty() ? "" : SpacedFingerprint(shown->trust.fingerprint)));
        ui_->certField->setText(Q(shown->trust.certFile));
        ui_->keyField->setText(Q(shown->trust.keyFile));
    }
    // The Windows build has no TLS: the choice is there, greyed, saying why.
    if (const std::string missing = TlsChannel::Unavailable(""); !missing.empty()) {
        ui_->tlsField->setChecked(false);
        ui_->tlsField->setEnabled(false);
        ui_->tlsField->setText(QStringLiteral("Шифровать (TLS): в этой сборке недоступно"));
    }
    const QString certificates = QStringLiteral("Сертификаты (*.pem *.crt *.cer);;Все файлы (*)");
    connect(ui_->caButton, &QPushButton::clicked, this, [this, certificates] {
        Choose(*ui_->caField, QStringLiteral("Сертификат центра"), certificates);
    });
    connect(ui_->certButton, &QPushButton::clicked, this, [this, certificates] {
        Choose(*ui_->certField, QStringLiteral("Сертификат клиента"), certificates);
    });
    connect(ui_->keyButton, &QPushButton::clicked, this, [this] {
        Choose(*ui_->keyField, QStringLiteral("Ключ клиента"),
               QStringLiteral("Ключи (*.key *.pem);;Все файлы (*)"));
    });
    connect(ui_->kindField, &QComboBox::currentIndexChanged, this, [this] { ShowName(); });
    connect(ui_->hostField, &QLineEdit::textChanged, this, [this] { ShowName(); });
    connect(ui_->portField, &QSpinBox::valueChanged, this, [this] { ShowName(); });
    connect(ui_->tlsField, &QCheckBox::toggled, this, [this] {
        ShowTls();
        ShowName();
    });
    connect(ui_->okButton, &QPushButton::clicked, this, [this] { Accept(); });
    ShowTls();
    ShowName();
    KeepCaptionWhole(*this);
    FitHeightToWidth(*this);
}

CServerDialog::~CServerDialog() = default;

ServerEntry CServerDialog::FromFields() const {
    ServerEntry entry;
    entry.rfc2217 = ui_->kindField->currentIndex() == kRfc2217;
    entry.tls = ui_->tlsField->isChecked();
    entry.host = Text(*ui_->hostField).toStdString();
    entry.port = ui_->portField->value();
    if (entry.tls) {
        entry.trust.caFile = Text(*ui_->caField).toStdString();
        entry.trust.fingerprint = Text(*ui_->fingerprintField).toStdString();
        entry.trust.certFile = Text(*ui_->certField).toStdString();
        entry.trust.keyFile = Text(*ui_->keyField).toStdString();
    }
    return entry;
}

void CServerDialog::ShowName() {
    const ServerEntry entry = FromFields();
    ui_->nameLabel->setText(QStringLiteral("Имя порта: ") +
                            (entry.host.empty() ? QStringLiteral("—") : Q(entry.PortName())));
}

void CServerDialog::ShowTls() {
    ui_->tlsGroup->setEnabled(ui_->tlsField->isChecked());
}

void CServerDialog::Choose(QLineEdit& field, const QString& title, const QString& filter) {
    const QString now = Text(field);
    const QString path = QFileDialog::getOpenFileName(
        this, title, now.isEmpty() ? QString() : QFileInfo(now).absolutePath(), filter);
    if (!path.isEmpty()) field.setText(path);
}

void CServerDialog::Accept() {
    ServerEntry entry = FromFields();
    if (const std::string fault = entry.Fault(); !fault.empty()) {
        prompter_.notify(fault, kCaption, Icon::Warning);
        return;
    }
    entry_ = std::move(entry);
    accept();
}

}  // namespace zep8
