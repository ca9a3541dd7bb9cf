#include "ui/dialogs/batch_write_dialog.h"

#include <QHeaderView>
#include <QListWidgetItem>

#include "ops/fleet/address_list.h"
#include "ops/device/device.h"
#include "platform/prompter.h"
#include "ui/frame/csv_save.h"
#include "ui/frame/widget_helpers.h"
#include "ui_batch_write_dialog.h"

namespace zep8 {
namespace {

constexpr int kAddressRole = Qt::UserRole;
constexpr std::string_view kCaption = "Записать конфигурацию в несколько приборов";

QString StageText(BatchStage stage) {
    switch (stage) {
        case BatchStage::Identify:
            return QStringLiteral("опознание");
        case BatchStage::Write:
            return QStringLiteral("запись");
        case BatchStage::Verify:
            return QStringLiteral("проверка");
    }
    return {};
}

QString Seconds(std::chrono::milliseconds ms) {
    return QString::number(static_cast<double>(ms.count()) / 1000.0, 'f', 1);
}

}  // namespace

CBatchWriteDialog::CBatchWriteDialog(Device& device, Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      device_(device),
      prompter_(prompter),
      ui_(std::make_unique<Ui::CBatchWriteDialog>()),
      survey_(device, *this),
      batch_(device, *this) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
    ui_->results->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui_->results->header()->setStretchLastSection(true);
    // Under the link lock: a worker may be reopening the port.
    const PortSettings line = device_.PortNow().settings;
    ui_->status->setText(QStringLiteral("Порт %1, %2 бит/с. Отметьте приборы и нажмите "
                                        "\"Записать\".")
                             .arg(Q(line.name))
                             .arg(line.baudRate));
    connect(ui_->surveyButton, &QPushButton::clicked, this, [this] { StartSurvey(); });
    connect(ui_->addButton, &QPushButton::clicked, this,
            [this] { AddAddresses(ui_->addresses->text()); });
    connect(ui_->addresses, &QLineEdit::returnPressed, this,
            [this] { AddAddresses(ui_->addresses->text()); });
    connect(ui_->writeButton, &QPushButton::clicked, this, [this] { StartWrite(); });
    connect(ui_->abortButton, &QPushButton::clicked, this, [this] {
        survey_.Abort();
        batch_.Abort();
        ui_->abortButton->setEnabled(false);
    });
    connect(ui_->saveButton, &QPushButton::clicked, this, [this] {
        const QString path =
            AskCsvPath(this, QStringLiteral("Сохранить итог записи"), QStringLiteral("запись"));
        if (!path.isEmpty()) SaveResults(path);
    });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui_->modules, &QListWidget::itemChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
    ui_->addresses->setFocus();
}

CBatchWriteDialog::~CBatchWriteDialog() {
    survey_.Stop();
    batch_.Abort();
    if (worker_.joinable()) worker_.join();
}

void CBatchWriteDialog::AddModule(int address, const QString& text) {
    for (int i = 0; i < ui_->modules->count(); ++i) {
        QListWidgetItem* item = ui_->modules->item(i);
        if (item->data(kAddressRole).toInt() != address) continue;
        item->setText(text);
        item->setCheckState(Qt::Checked);
        return;
    }
    auto* item = new QListWidgetItem(text, ui_->modules);
    item->setData(kAddressRole, address);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
}

bool CBatchWriteDialog::AddAddresses(const QString& text) {
    std::string why;
    const auto addresses = ReadAddressList(text.toStdString(), ' ', why);
    if (!addresses) {
        prompter_.notify("Адреса не добавлены: " + why + ".", kCaption, Icon::Warning);
        return false;
    }
    for (const int address : *addresses)
        AddModule(address, QStringLiteral("адрес %1").arg(address));
    ui_->addresses->clear();
    UpdateButtons();
    ui_->writeButton->setFocus();  // the modules are there: writing is next
    return true;
}

void CBatchWriteDialog::StartSurvey() {
    if (running()) return;
    survey_.Start(false, [this](const SurveyResult& result) {
        OnThreadOf(this, Qt::QueuedConnection, [this, result] {
            ui_->status->setText(!result.failure.empty()
                                     ? Q(result.failure)
                                     : QStringLiteral("Поиск закончен. Найдено приборов: %1.")
                                           .arg(result.finds.size()));
            UpdateButtons();
        });
    });
    UpdateButtons();
}

void CBatchWriteDialog::SurveyProgress(int done, int total, unsigned baudRate) {
    OnThreadOf(this, Qt::QueuedConnection, [this, done, total, baudRate] {
        ui_->progress->setMaximum(total);
        ui_->progress->setValue(done);
        ui_->status->setText(QStringLiteral("Поиск: опрошено адресов %1 из %2 (%3 бит/с)...")
                                 .arg(done)
                                 .arg(total)
                                 .arg(baudRate));
    });
}

void CBatchWriteDialog::SurveyFound(const SurveyFind& find) {
    OnThreadOf(this, Qt::QueuedConnection,
               [this, find] { AddModule(find.address, Q(SurveyFindText(find))); });
}

std::vector<int> CBatchWriteDialog::TickedAddresses() const {
    std::vector<int> addresses;
    for (int i = 0; i < ui_->modules->count(); ++i) {
        const QListWidgetItem* item = ui_->modules->item(i);
        if (item->checkState() == Qt::Checked)
            addresses.push_back(item->data(kAddressRole).toInt());
    }
    return addresses;
}

void CBatchWriteDialog::StartWrite() {
    const std::vector<int> addresses = TickedAddresses();
    if (running() || addresses.empty()) return;
    if (worker_.joinable()) worker_.join();
    rows_.clear();
    ui_->results->clear();
    ui_->progress->setMaximum(static_cast<int>(addresses.size()));
    ui_->progress->setValue(0);
    // The configuration as it is when the write starts; the batch works on its copy.
    batch_.TakeConfiguration();
    running_ = true;
    worker_ = std::thread([this, addresses] {
        const BatchResult result = batch_.Run(addresses);
        running_ = false;
        OnThreadOf(this, Qt::QueuedConnection, [this, result] { Finished(result); });
    });
    UpdateButtons();
}

void CBatchWriteDialog::ModuleStarted(int index, int count, int address) {
    OnThreadOf(this, Qt::QueuedConnection, [this, index, count, address] {
        module_ =
            QStringLiteral("Прибор %1 из %2, адрес %3").arg(index + 1).arg(count).arg(address);
        ui_->progress->setValue(index);
        ui_->status->setText(module_ + QStringLiteral("..."));
    });
}

void CBatchWriteDialog::ModuleProgress(BatchStage stage, int parameters, int failed) {
    OnThreadOf(this, Qt::QueuedConnection, [this, stage, parameters, failed] {
        ui_->status->setText(QStringLiteral("%1: %2, параметров %3, ошибок %4")
                                 .arg(module_, StageText(stage))
                                 .arg(parameters)
                                 .arg(failed));
    });
}

void CBatchWriteDialog::ModuleFinished(const BatchRow& row) {
    OnThreadOf(this, Qt::QueuedConnection, [this, row] {
        rows_.push_back(row);
        const QString identity =
            row.device.empty() ? QStringLiteral("-") : Q(row.device + " " + row.version);
        auto* item = new QTreeWidgetItem(
            ui_->results,
            {QString::number(row.address), identity, QString::number(row.written),
             QString::number(row.failed),
             row.differences < 0 ? QStringLiteral("-") : QString::number(row.differences),
             Seconds(row.took),
             row.verified() ? QStringLiteral("записан и проверен") : Q(row.failure)});
        if (!row.verified()) {
            for (int c = 0; c < item->columnCount(); ++c) item->setForeground(c, Qt::red);
        }
        ui_->progress->setValue(static_cast<int>(rows_.size()));
    });
}

void CBatchWriteDialog::Finished(const BatchResult& result) {
    if (worker_.joinable()) worker_.join();
    int verified = 0;
    for (const BatchRow& row : result.rows) verified += row.verified() ? 1 : 0;
    ui_->status->setText(QStringLiteral("%1 Записано и проверено приборов: %2 из %3 за %4 с.")
                             .arg(result.aborted ? QStringLiteral("Запись прервана.")
                                                 : QStringLiteral("Запись закончена."))
                             .arg(verified)
                             .arg(result.rows.size())
                             .arg(Seconds(result.took)));
    UpdateButtons();
    if (closeWhenDone_) QDialog::reject();
}

bool CBatchWriteDialog::SaveResults(const QString& path) {
    const auto failure = SaveBatchCsv(path.toStdString(), rows_);
    if (failure) prompter_.notify(*failure, kCaption, Icon::Warning);
    return !failure;
}

void CBatchWriteDialog::UpdateButtons() {
    const bool busy = running();
    ui_->surveyButton->setEnabled(!busy);
    ui_->addButton->setEnabled(!busy);
    ui_->addresses->setEnabled(!busy);
    ui_->modules->setEnabled(!busy);
    ui_->writeButton->setEnabled(!busy && !TickedAddresses().empty());
    ui_->abortButton->setEnabled(busy);
    ui_->saveButton->setEnabled(!busy && !rows_.empty());
}

void CBatchWriteDialog::reject() {
    // The module under way is finished first; the dialog goes when the batch ends.
    if (running_) {
        closeWhenDone_ = true;
        batch_.Abort();
        ui_->abortButton->setEnabled(false);
        return;
    }
    survey_.Stop();
    QDialog::reject();
}

}  // namespace zep8
