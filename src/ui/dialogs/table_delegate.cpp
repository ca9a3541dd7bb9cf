#include "ui/dialogs/table_delegate.h"

#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

#include "model/catalogue.h"
#include "ui/dialogs/table_ctrl.h"

namespace zep8 {
namespace {

const QColor kGrid(243, 244, 227);
const QColor kSelectedFill(210, 210, 210);
const QColor kSelectedFrame(100, 100, 100);
const QColor kGreyText(170, 170, 170);
const QColor kRedText(200, 0, 0);
const QColor kReadingText(0, 128, 64);
const QString kNoDataText = QStringLiteral("Нет данных");
const QString kNoDataShort = QStringLiteral("Н/Д");
const QString kReading = QStringLiteral("читаю...");
constexpr int kTextMargin = 4;
constexpr int kReadingColumn = 2;

QString Shown(const QString& text) {
    return text == kNoDataText ? kNoDataShort : text;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect TextRect(const QRect& cell) {
    return cell.adjusted(kTextMargin, 0, -kTextMargin, 0);
}

Qt::Alignment AlignmentOf(int column) {
    return column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter;
}

}  // namespace

CTableDelegate::CTableDelegate(CTableCtrl* table) : QStyledItemDelegate(table), table_(table) {}

void CTableDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const quint16 flags = static_cast<quint16>(index.data(CTableCtrl::ROLE_FLAGS).toUInt());
    const bool disabled = flags & CTableCtrl::CELL_DISABLED;
    const bool selected = option.state.testFlag(QStyle::State_Selected) && !disabled;
    const QRect cell = option.rect;
    const bool first = index.column() == 0;
    const bool last = index.column() == index.model()->columnCount() - 1;

    painter->save();
    painter->fillRect(cell, selected ? kSelectedFill : Qt::white);
    // Vertical line before the column, horizontal ones above and below the row.
    painter->setPen(selected ? kSelectedFrame : kGrid);
    painter->drawLine(cell.topLeft(), cell.topRight());
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    if (!selected || first) painter->drawLine(cell.topLeft(), cell.bottomLeft());
    if (selected && last) painter->drawLine(cell.topRight(), cell.bottomRight());

    const QString text = index.data(Qt::DisplayRole).toString();
    QColor colour = Qt::black;
    if (disabled) {
        colour = kGreyText;
    } else if (flags & CTableCtrl::CELL_ERROR) {
        colour = kRedText;
    } else if (index.column() == kReadingColumn && text == kReading) {
        colour = kReadingText;
    }
    painter->setPen(colour);
    painter->setFont(option.font);
    const QRect area = TextRect(cell);
    painter->drawText(area, AlignmentOf(index.column()) | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(Shown(text), Qt::ElideRight, area.width()));
    painter->restore();
}

QWidget* CTableDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                      const QModelIndex& index) const {
    if (index.column() != table_->valueColumn()) return nullptr;
    if (index.data(CTableCtrl::ROLE_FLAGS).toUInt() & CTableCtrl::CELL_DISABLED) return nullptr;
    const std::string name =
        index.siblingAtColumn(table_->nameColumn()).data().toString().toStdString();
    const QString text = Shown(index.data().toString());
    const ParamDescriptor descriptor = GetDescriptor(name);
    switch (descriptor.type) {
        case PT_DECIMAL:
        case PT_INTEGER: {
            auto* box = new QLineEdit(parent);
            box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            box->setText(text);
            box->selectAll();
            editor_ = box;
            return box;
        }
        case PT_ENUM: {
            auto* list = new QComboBox(parent);
            for (const std::string& item : descriptor.items) list->addItem(FromUtf8(item));
            // The computer's port: any device path may be typed besides the listed ports.
            const CatalogueEntry* entry = FindCatalogueEntry(name);
            if (entry && entry->items == CatalogueEntry::Items::SerialPorts) {
                list->setEditable(true);
                list->setInsertPolicy(QComboBox::NoInsert);
                if (list->findText(text) < 0) list->addItem(text);
            }
            list->setCurrentIndex(list->findText(text));
            if (!list->isEditable()) {
                // A choice from the list is the whole edit.
                auto* self = const_cast<CTableDelegate*>(this);
                connect(list, &QComboBox::activated, self, [self, list] {
                    emit self->commitData(list);
                    emit self->closeEditor(list);
                });
            }
            editor_ = list;
            return list;
        }
        default:
            return nullptr;
    }
}

void CTableDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                  const QModelIndex& index) const {
    QString text;
    if (auto* box = qobject_cast<QLineEdit*>(editor)) text = box->text();
    if (auto* list = qobject_cast<QComboBox*>(editor)) text = list->currentText();
    // An untouched "no data" stays what it was.
    if (text == kNoDataShort && index.data().toString() == kNoDataText) text = kNoDataText;
    table_->EndEdit(index.row(), index.column(), text);
}

void CTableDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                          const QModelIndex&) const {
    QRect area = option.rect;
    if (qobject_cast<QComboBox*>(editor)) area.adjust(1, 0, -1, 0);
    editor->setGeometry(area);
}

bool CTableDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    // Only a text the cell cuts short gets a tip.
    const QString text = Shown(index.data().toString());
    if (option.fontMetrics.horizontalAdvance(text) > TextRect(option.rect).width()) {
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

}  // namespace zep8
