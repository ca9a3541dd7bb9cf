#include "ui/dialogs/table_ctrl.h"

#include <QHeaderView>
#include <algorithm>
#include <numeric>

#include "ui/dialogs/table_delegate.h"

namespace zep8 {
namespace {

constexpr int kTitlePadding = 16;

}  // namespace

CTableCtrl::CTableCtrl(QWidget* parent)
    : QTableWidget(parent), delegate_(new CTableDelegate(this)) {
    setItemDelegate(delegate_);
    setShowGrid(false);  // the delegate draws its own, in the table's colour
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
}

void CTableCtrl::InsertColumn(int index, const QString& title, int weight) {
    insertColumn(index);
    setHorizontalHeaderItem(index, new QTableWidgetItem(title));
    weights_.insert(weights_.begin() + std::clamp<std::ptrdiff_t>(index, 0, weights_.size()),
                    std::max(1, weight));
    FitColumns();
}

int CTableCtrl::InsertRow(const QStringList& texts) {
    const int row = rowCount();
    insertRow(row);
    for (int column = 0; column < columnCount(); ++column) {
        auto* item = new QTableWidgetItem(column < texts.size() ? texts[column] : QString());
        item->setData(ROLE_FLAGS, 0);
        if (column != valueColumn_) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        setItem(row, column, item);
    }
    return row;
}

void CTableCtrl::SetCellText(int row, int column, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column)) cell->setText(text);
}

QString CTableCtrl::GetCellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CTableCtrl::SetCellFlags(int row, int column, quint16 mask, bool on) {
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? columnCount() - 1 : column;
    for (int c = first; c <= last; ++c) {
        QTableWidgetItem* cell = item(row, c);
        if (!cell) continue;
        const quint16 flags = GetCellFlags(row, c);
        const quint16 changed = on ? (flags | mask) : (flags & ~mask);
        if (changed != flags) cell->setData(ROLE_FLAGS, changed);  // redraws the row
    }
}

quint16 CTableCtrl::GetCellFlags(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? static_cast<quint16>(cell->data(ROLE_FLAGS).toUInt()) : 0;
}

void CTableCtrl::SetValueColumn(int valueColumn, int nameColumn) {
    valueColumn_ = valueColumn;
    nameColumn_ = nameColumn;
}

bool CTableCtrl::BeginEdit(int row) {
    const QModelIndex cell = model()->index(row, valueColumn_);
    if (!cell.isValid()) return false;
    setCurrentIndex(cell);
    edit(cell);
    return OpenEditor() != nullptr;
}

QWidget* CTableCtrl::OpenEditor() const {
    return delegate_->openEditor();
}

void CTableCtrl::EndEdit(int row, int column, const QString& text) {
    SetCellText(row, column, text);
    emit valueEdited(row, column, text);
}

void CTableCtrl::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    FitColumns();
}

// Shares of the width, but every title whole: what a narrow column needs
// comes out of the widest.
void CTableCtrl::FitColumns() {
    const int columns = std::min(columnCount(), static_cast<int>(weights_.size()));
    if (columns == 0) return;
    const int total = std::accumulate(weights_.begin(), weights_.begin() + columns, 0);
    const int room = viewport()->width();
    const QFontMetrics metrics(horizontalHeader()->font());
    std::vector<int> widths(static_cast<std::size_t>(columns));
    int missing = 0, widest = 0;
    for (int c = 0; c < columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const QTableWidgetItem* title = horizontalHeaderItem(c);
        const int needed = (title ? metrics.horizontalAdvance(title->text()) : 0) + kTitlePadding;
        widths[i] = room * weights_[i] / total;
        missing += std::max(0, needed - widths[i]);
        widths[i] = std::max(widths[i], needed);
        if (widths[i] > widths[static_cast<std::size_t>(widest)]) widest = c;
    }
    widths[static_cast<std::size_t>(widest)] -= missing;
    for (int c = 0; c < columns; ++c) setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

}  // namespace zep8
