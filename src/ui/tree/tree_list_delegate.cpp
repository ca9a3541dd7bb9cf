#include "ui/tree/tree_list_delegate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeView>
#include <algorithm>
#include <utility>

#include "ui/tree/tree_list_ctrl.h"

namespace zep8 {
namespace {

const QColor kRed(200, 0, 0);
constexpr int kMinRowHeight = 20;
// Room the edit box keeps right of its text.
constexpr int kEditBoxSlack = 5;
// QLineEdit keeps this margin on both sides of its text, inside the frame.
constexpr int kLineEditMargin = 2;
const char* const kCellWidth = "zep8CellWidth";

Qt::CheckState CheckStateOf(int stateIcon) {
    if (stateIcon == CTreeListCtrl::STATE_ON) return Qt::Checked;
    if (stateIcon == CTreeListCtrl::STATE_PARTIAL) return Qt::PartiallyChecked;
    return Qt::Unchecked;
}

}  // namespace

CTreeListDelegate::CTreeListDelegate(CTreeListCtrl* tree)
    : QStyledItemDelegate(tree), m_tree(tree) {}

void CTreeListDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    const QModelIndex record = index.siblingAtColumn(0);
    auto flag = [&](int role) { return record.data(role).toBool(); };

    if (flag(CTreeListCtrl::ROLE_BOLD) || flag(CTreeListCtrl::ROLE_CAPTION)) {
        option->font.setWeight(QFont::Bold);
        option->fontMetrics = QFontMetrics(option->font);
    }
    QColor colour = record.data(CTreeListCtrl::ROLE_COLOUR).value<QColor>();
    if (!colour.isValid()) colour = Qt::black;
    // Red marks an error, which a grey row must still show.
    if (flag(CTreeListCtrl::ROLE_DISABLED) && colour != kRed)
        colour = option->palette.color(QPalette::Disabled, QPalette::Text);
    option->palette.setColor(QPalette::Text, colour);

    if (index.column() != 0) return;
    const int stateIcon = record.data(CTreeListCtrl::ROLE_STATE_ICON).toInt();
    if (stateIcon > CTreeListCtrl::STATE_NONE) {
        option->features |= QStyleOptionViewItem::HasCheckIndicator;
        option->checkState = CheckStateOf(stateIcon);
    }
    const auto* view = qobject_cast<const QTreeView*>(option->widget);
    const bool open = view && view->isExpanded(record);
    const bool selected = option->state.testFlag(QStyle::State_Selected);
    const int image =
        record
            .data(selected || open ? CTreeListCtrl::ROLE_SELECTED_IMAGE : CTreeListCtrl::ROLE_IMAGE)
            .toInt();
    const QIcon icon = m_tree->Image(image);
    if (icon.isNull()) return;
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->icon = icon;
    option->decorationSize = QSize(16, 16);
}

QSize CTreeListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), kMinRowHeight));
    return size;
}

QWidget* CTreeListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    const EditorRequest request = std::exchange(m_next, EditorRequest{});
    switch (request.kind) {
        case EditorRequest::Kind::EditBox: {
            auto* box = new QLineEdit(parent);
            box->setFrame(false);
            box->setText(request.text);
            QObject::connect(box, &QLineEdit::textChanged, box, [box] { WidenEditBox(box); });
            return box;
        }
        case EditorRequest::Kind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->addItems(request.items);
            combo->setCurrentIndex(
                std::max(0, static_cast<int>(request.items.indexOf(request.text))));
            return combo;
        }
        case EditorRequest::Kind::None:
            break;
    }
    return nullptr;
}

void CTreeListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    editor->setProperty(kCellWidth, editor->width());
    WidenEditBox(editor);
}

void CTreeListDelegate::WidenEditBox(QWidget* editor) {
    auto* box = qobject_cast<QLineEdit*>(editor);
    if (!box || !box->parentWidget()) return;
    const QMargins text = box->textMargins();
    const QMargins frame = box->contentsMargins();
    const int needed = box->fontMetrics().horizontalAdvance(box->text()) + kEditBoxSlack +
                       2 * kLineEditMargin + text.left() + text.right() + frame.left() +
                       frame.right();
    const int cell = box->property(kCellWidth).toInt();
    const int room = box->parentWidget()->width() - box->x();
    box->resize(std::max(cell, std::min(needed, room)), box->height());
}

}  // namespace zep8
