#include "ui/link_tools/survey_dialog.h"

#include <QHeaderView>

#include "ops/fleet/csv_table.h"
#include "ops/device/device.h"
#include "platform/prompter.h"
#include "ui/dialogs/device_dialogs.h"
#include "ui/frame/csv_save.h"
#include "ui/frame/widget_helpers.h"
#include "ui_survey_dialog.h"

namespace zep8 {
namespace {

QString Seconds(std::chrono::milliseconds ms) {
    return QString::number(static_cast<double>(ms.count()) / 1000.0, 'f', 1);
}

}  // namespace

CSurveyDialog::CSurveyDialog(Device& device, QWidget* parent)
    : QDialog(parent),
      device_(device),
      ui_(std::make_unique<Ui::CSurveyDialog>()),
      thread_(device, *this) {
    ui_->setupUi(this);
    KeepCaptionWhole(*this);
    ui_->finds->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui_->finds->header()->setStretchLastSection(true);
    // Under the link lock: a worker may be reopening the port.
    const PortSettings line = device_.PortNow().settings;
    ui_->status->setText(QStringLiteral("Порт %1, %2 бит/с, адреса %3 бит. Приборы отвечают на "
                                        "запрос \"dev\" по своим базовым адресам.")
                             .arg(Q(line.name))
                             .arg(line.baudRate)
                             .arg(line.addressLength));
    connect(ui_->startButton, &QPushButton::clicked, this, [this] { StartSurvey(); });
    connect(ui_->abortButton, &QPushButton::clicked, this, [this] { thread_.Abort(); });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui_->connectButton, &QPushButton::clicked, this, [this] { Connect(); });
    connect(ui_->saveButton, &QPushButton::clicked, this, [this] {
        const QString path = AskCsvPath(this, QStringLiteral("Сохранить список приборов"),
                                        QStringLiteral("приборы"));
        if (!path.isEmpty()) SaveList(path);
    });
    connect(ui_->finds, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(ui_->finds, &QTreeWidget::itemDoubleClicked, this, [this] { Connect(); });
}

CSurveyDialog::~CSurveyDialog() {
    thread_.Stop();
}

void CSurveyDialog::StartSurvey() {
    if (thread_.Running()) return;
    finds_.clear();
    ui_->finds->clear();
    ui_->progress->setValue(0);
    thread_.Start(ui_->allSpeeds->isChecked(), [this](const SurveyResult& result) {
        OnThreadOf(this, Qt::QueuedConnection, [this, result] { Finished(result); });
    });
    UpdateButtons();
}

void CSurveyDialog::SurveyProgress(int done, int total, unsigned baudRate) {
    OnThreadOf(this, Qt::QueuedConnection, [this, done, total, baudRate] {
        ui_->progress->setMaximum(total);
        ui_->progress->setValue(done);
        ui_->status->setText(QStringLiteral("Опрошено адресов: %1 из %2 (%3 бит/с)...")
                                 .arg(done)
                                 .arg(total)
                                 .arg(baudRate));
    });
}

void CSurveyDialog::SurveyFound(const SurveyFind& find) {
    OnThreadOf(this, Qt::QueuedConnection, [this, find] {
        finds_.push_back(find);
        auto* item = new QTreeWidgetItem(
            ui_->finds, {QString::number(find.address), QString::number(find.baudRate),
                         Q(find.device), Q(find.version)});
        if (finds_.size() == 1) ui_->finds->setCurrentItem(item);
    });
}

void CSurveyDialog::Finished(const SurveyResult& result) {
    QString text;
    if (!result.failure.empty()) {
        text = Q(result.failure);
    } else {
        text = QStringLiteral("%1 Найдено приборов: %2. Запросов: %3 за %4 с.")
                   .arg(result.aborted ? QStringLiteral("Поиск прерван.")
                                       : QStringLiteral("Поиск закончен."))
                   .arg(result.finds.size())
                   .arg(result.asked)
                   .arg(Seconds(result.took));
    }
    ui_->status->setText(text);
    UpdateButtons();
}

void CSurveyDialog::Connect() {
    const int row = ui_->finds->indexOfTopLevelItem(ui_->finds->currentItem());
    if (thread_.Running() || connecting_ || row < 0 || row >= static_cast<int>(finds_.size())) {
        return;
    }
    UseSurveyFind(finds_[static_cast<std::size_t>(row)], device_.programNet());
    // On a remote line the reopening connects anew, which may take seconds.
    connecting_ = true;
    UpdateButtons();
    Device& device = device_;
    jobs_.Run([&device](WindowJobs::Context&) { device.ReopenPort(true); }, [this] { accept(); });
}

bool CSurveyDialog::SaveList(const QString& path) {
    const auto failure = SaveSurveyCsv(path.toStdString(), finds_);
    if (failure) device_.prompter().notify(*failure, "Поиск приборов на линии", Icon::Warning);
    return !failure;
}

void CSurveyDialog::UpdateButtons() {
    const bool running = thread_.Running();
    const bool busy = running || connecting_;
    ui_->startButton->setEnabled(!busy);
    ui_->allSpeeds->setEnabled(!busy);
    ui_->abortButton->setEnabled(running);
    ui_->closeButton->setEnabled(!connecting_);
    ui_->connectButton->setEnabled(!busy && ui_->finds->currentItem() != nullptr);
    ui_->saveButton->setEnabled(!busy && !finds_.empty());
}

void CSurveyDialog::reject() {
    // The program's settings are the chosen module's already: the dialog ends
    // once the port has opened with them.
    if (connecting_) return;
    // The survey has the port: it ends before the dialog does.
    thread_.Stop();
    QDialog::reject();
}

void RunSurveyDialog(QWidget* parent, Device& device) {
    const AnnounceOnClose announce(device);
    CSurveyDialog dialog(device, parent);
    dialog.StartSurvey();
    dialog.exec();
}

}  // namespace zep8
