#include "ui/link_tools/exchange_monitor.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "link/exchange/device_io.h"
#include "platform/prompter.h"
#include "ui/frame/widget_helpers.h"
#include "ui/link_tools/exchange_monitor_model.h"

namespace zep8 {
namespace {

constexpr int kRefreshMs = 100;

QToolButton* Button(QWidget* parent, const char* text, const char* tip, bool checkable) {
    auto* button = new QToolButton(parent);
    button->setText(QString::fromUtf8(text));
    button->setToolTip(QString::fromUtf8(tip));
    button->setCheckable(checkable);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

}  // namespace

ExchangeMonitor::ExchangeMonitor(DeviceIO& io, Prompter& prompter, QWidget* parent)
    : QDockWidget(QStringLiteral("Монитор обмена"), parent), io_(io), prompter_(prompter) {
    setObjectName(QStringLiteral("ExchangeMonitor"));
    model_ = new ExchangeMonitorModel(journal_, ExchangeJournal::kDefaultCapacity, this);

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 4);
    auto* buttons = new QHBoxLayout;
    follow_ = Button(body, "Следить", "Показывать последние обмены", true);
    follow_->setChecked(true);
    pause_ = Button(body, "Пауза", "Не записывать новые обмены", true);
    clear_ = Button(body, "Очистить", "Удалить все записанные обмены", false);
    save_ = Button(body, "Сохранить...", "Сохранить записанные обмены в текстовый файл", false);
    auto* count = new QLabel(body);
    for (QWidget* w : {static_cast<QWidget*>(follow_), static_cast<QWidget*>(pause_),
                       static_cast<QWidget*>(clear_), static_cast<QWidget*>(save_)})
        buttons->addWidget(w);
    buttons->addStretch(1);
    buttons->addWidget(count);
    layout->addLayout(buttons);

    table_ = new QTableView(body);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics = table_->fontMetrics();
    table_->setColumnWidth(ExchangeMonitorModel::TIME, metrics.horizontalAdvance("00:00:00.0000"));
    table_->setColumnWidth(ExchangeMonitorModel::DIRECTION, metrics.horizontalAdvance("<-<-"));
    table_->setColumnWidth(ExchangeMonitorModel::FRAME,
                           metrics.horizontalAdvance("#GGGGGGGGGGGGGGGGGGGGGGGG\\r"));
    table_->setColumnWidth(ExchangeMonitorModel::DECODED,
                           metrics.horizontalAdvance("адрес 16, чтение in.SH[3] = 12.5, данные "
                                                     "00 00 00 00, КС верна"));
    table_->setColumnWidth(ExchangeMonitorModel::REPLY_MS, metrics.horizontalAdvance("0000.00"));
    layout->addWidget(table_);
    setWidget(body);

    connect(pause_, &QToolButton::toggled, this, [this](bool on) { journal_.SetPaused(on); });
    connect(clear_, &QToolButton::clicked, this, [this] {
        journal_.Clear();
        model_->Clear();
    });
    connect(save_, &QToolButton::clicked, this, [this] { SaveAs(); });
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this, count] {
        count->setText(QStringLiteral("Обменов: %1").arg(model_->exchanges()));
    });
    connect(model_, &QAbstractItemModel::modelReset, this,
            [count] { count->setText(QStringLiteral("Обменов: 0")); });

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
    timer_->start(kRefreshMs);
    io_.AddTap(&journal_);
}

ExchangeMonitor::~ExchangeMonitor() {
    io_.RemoveTap(&journal_);
}

void ExchangeMonitor::Refresh() {
    // A hidden monitor keeps recording; its rows are made when it is looked at.
    if (!isVisible()) return;
    if (model_->Pull() > 0 && follow_->isChecked()) table_->scrollToBottom();
}

bool ExchangeMonitor::SaveTo(const QString& path) {
    std::string error;
    if (journal_.SaveText(path.toStdString(), error)) return true;
    prompter_.ask(error, "Монитор обмена", Buttons::Ok, Icon::Error);
    return false;
}

void ExchangeMonitor::SaveAs() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Сохранить обмен"), QStringLiteral("obmen.txt"),
        QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
    if (!path.isEmpty()) SaveTo(path);
}

}  // namespace zep8
