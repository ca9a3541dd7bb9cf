#include "ui/dialogs/differences_dialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidgetItem>
#include <algorithm>

#include "ui/frame/widget_helpers.h"
#include "ui_differences_dialog.h"

namespace zep8 {
namespace {

constexpr int kColumns = 5;
// A column never grows past this on opening; the tool tip has the rest.
constexpr int kWidestColumn = 420;

// Over the box that asked (the compare result), else over `parent`.
QWidget* Owner(QWidget* parent) {
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : parent;
}

}  // namespace

CDifferencesDialog::CDifferencesDialog(QWidget* parent, const DifferenceList& differences,
                                       Purpose purpose)
    : QDialog(parent), ui_(std::make_unique<Ui::CDifferencesDialog>()) {
    ui_->setupUi(this);
    const QString count = QString::number(static_cast<qsizetype>(differences.size()));
    if (purpose == Purpose::ConfirmWrite) {
        setWindowTitle(QStringLiteral("Запись параметров в прибор"));
        ui_->summaryLabel->setText(
            QStringLiteral("Запись изменит в приборе значения этих параметров (%1). Записать?")
                .arg(count));
        writeButton_ =
            ui_->buttons->addButton(QStringLiteral("Записать"), QDialogButtonBox::AcceptRole);
        QPushButton* cancel =
            ui_->buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
        // Enter keeps the module as it is.
        cancel->setDefault(true);
        writeButton_->setAutoDefault(false);
    } else {
        ui_->summaryLabel->setText(QStringLiteral("Обнаружены отличия (%1):").arg(count));
        ui_->buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)
            ->setDefault(true);
    }
    KeepCaptionWhole(*this);
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* copy = new QAction(QStringLiteral("Копировать"), ui_->table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &CDifferencesDialog::CopySelectedRows);
    ui_->table->addAction(copy);

    Fill(differences);
}

CDifferencesDialog::~CDifferencesDialog() = default;

void CDifferencesDialog::Fill(const DifferenceList& differences) {
    QTableWidget& table = *ui_->table;
    table.setRowCount(static_cast<int>(differences.size()));
    int row = 0;
    for (const Difference& d : differences) {
        const std::string* cells[kColumns] = {&d.group, &d.parameter, &d.name, &d.configValue,
                                              &d.moduleValue};
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem(Q(*cells[column]));
            item->setToolTip(item->text());
            table.setItem(row, column, item);
        }
        ++row;
    }
    // The walk's order first; a click on a header sorts.
    table.horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table.setSortingEnabled(true);
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 8);
    table.resizeColumnsToContents();
    int width = 0;
    for (int column = 0; column < kColumns; ++column) {
        table.setColumnWidth(column, std::min(table.columnWidth(column), kWidestColumn));
        width += table.columnWidth(column);
    }
    if (row > 0) table.selectRow(0);
    // Wide enough for every column when the screen allows it.
    width += table.verticalScrollBar()->sizeHint().width() + 2 * table.frameWidth() +
             layout()->contentsMargins().left() + layout()->contentsMargins().right();
    const QScreen* shown = screen();
    const int widest = shown ? shown->availableGeometry().width() * 9 / 10 : width;
    resize(std::clamp(width, this->width(), std::max(widest, this->width())), height());
}

int CDifferencesDialog::rowCount() const {
    return ui_->table->rowCount();
}

QString CDifferencesDialog::cell(int row, int column) const {
    const QTableWidgetItem* item = ui_->table->item(row, column);
    return item ? item->text() : QString();
}

void CDifferencesDialog::CopySelectedRows() {
    QList<int> rows;
    for (const QModelIndex& index : ui_->table->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::vector<std::string>> cells;
    for (int row : rows) {
        std::vector<std::string>& line = cells.emplace_back();
        for (int column = 0; column < kColumns; ++column) {
            line.push_back(cell(row, column).toStdString());
        }
    }
    if (!cells.empty()) QApplication::clipboard()->setText(Q(TabSeparated(cells)));
}

namespace {

// The command that opens the table runs under the wait cursor; the table waits
// for the operator, so it shows the plain one.
int ExecWithArrow(QDialog& dialog) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = dialog.exec();
    QApplication::restoreOverrideCursor();
    return result;
}

}  // namespace

void ShowDifferencesDialog(QWidget* parent, const DifferenceList& differences) {
    CDifferencesDialog dialog(Owner(parent), differences, CDifferencesDialog::Purpose::Details);
    ExecWithArrow(dialog);
}

bool ConfirmOverwriteDialog(QWidget* parent, const DifferenceList& differences) {
    CDifferencesDialog dialog(Owner(parent), differences,
                              CDifferencesDialog::Purpose::ConfirmWrite);
    return ExecWithArrow(dialog) == QDialog::Accepted;
}

}  // namespace zep8
