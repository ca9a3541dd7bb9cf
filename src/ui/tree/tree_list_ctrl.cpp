#include "ui/tree/tree_list_ctrl.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "model/catalogue.h"
#include "model/parameter.h"
#include "platform/text.h"
#include "ui/tree/tree_list_delegate.h"

namespace zep8 {
namespace {

// Columns of the configuration the editors know about.
constexpr int kValueColumn = 2;
constexpr int kAttributeColumn = 3;
constexpr int kTipGap = 3;  // between the row and a tip under it

const QString kEditable = QString::fromUtf8(kEditableText);
const QString kNotEditable = QString::fromUtf8(kNotEditableText);

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// The choices with the cell's own spelling of the current one, which stays
// where the list has it (or comes last when the list lacks it).
QStringList ChoiceList(const std::vector<std::string>& items, const QString& current) {
    const std::string currentUtf8 = current.toStdString();
    QStringList list;
    bool placed = current.isEmpty();
    for (const std::string& item : items) {
        if (!EqualsIgnoreCase(item, currentUtf8)) {
            list << FromUtf8(item);
        } else if (!placed) {
            list << current;
            placed = true;
        }
    }
    if (!placed) list << current;
    return list;
}

Qt::Alignment TitleAlignment(int alignment) {
    switch (alignment) {
        case CTreeListCtrl::ALIGN_RIGHT:
            return Qt::AlignRight | Qt::AlignVCenter;
        case CTreeListCtrl::ALIGN_CENTRE:
            return Qt::AlignCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// QToolTip puts its label a cursor's height below the point it is given;
// the tip of a cell belongs right under the row instead.
void MoveToolTipTo(QPoint globalPos) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != QLatin1String("qtooltip_label") || !widget->isVisible())
            continue;
        QPoint pos = globalPos;
        if (const QScreen* screen = widget->screen()) {
            const QRect room = screen->availableGeometry();
            pos.setX(std::clamp(pos.x(), room.left(),
                                std::max(room.left(), room.right() - widget->width())));
            pos.setY(std::clamp(pos.y(), room.top(),
                                std::max(room.top(), room.bottom() - widget->height())));
        }
        widget->move(pos);
    }
}

}  // namespace

CTreeListCtrl::CTreeListCtrl(QWidget* parent)
    : QTreeView(parent),
      m_model(new CTreeListModel(this)),
      m_delegate(new CTreeListDelegate(this)) {
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    // Edits begin only where the control decides (double click, BeginEdit).
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setTextElideMode(Qt::ElideRight);
    header()->setSectionsMovable(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(this, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { emit rowExpanding(itemFromIndex(index)); });
    // A rebuild takes every row away, the edited one too: its edit ends unheard.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { DropEdit(); });
    connect(header(), &QHeaderView::sectionResized, this, [this](int column) { FitTitle(column); });
}

CTreeListCtrl::~CTreeListCtrl() = default;

void CTreeListCtrl::InsertColumn(int index, const QString& title, int alignment, int width) {
    // Column 0 holds the row records: later columns never go before it.
    index = m_titles.isEmpty() ? 0 : std::clamp(index, 1, static_cast<int>(m_titles.size()));
    // The widths right of the new column move with their columns.
    std::vector<int> widths;
    for (int column = index; column < m_titles.size(); ++column)
        widths.push_back(columnWidth(column));
    m_model->InsertColumn(index, TitleAlignment(alignment));
    m_titles.insert(index, title);
    setColumnWidth(index, width);
    for (std::size_t i = 0; i < widths.size(); ++i)
        setColumnWidth(index + 1 + static_cast<int>(i), widths[i]);
    for (int column = index; column < m_titles.size(); ++column) FitTitle(column);
}

void CTreeListCtrl::FitTitle(int column) {
    if (column < 0 || column >= m_titles.size()) return;
    // The header cuts a title that does not fit: it is shortened with an
    // ellipsis instead and shown in full as the title's tool tip.
    const QString& title = m_titles.at(column);
    const int margin = header()->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header());
    const int room = header()->sectionSize(column) - 2 * margin - 2;
    const QString shown = header()->fontMetrics().elidedText(title, Qt::ElideRight, room);
    m_model->SetTitle(column, shown, shown == title ? QString() : title);
}

CTreeListCtrl::Row CTreeListCtrl::InsertRow(const QString& text, int image, int selectedImage,
                                            bool textEditing, bool choiceEditing, Row parent,
                                            Row after) {
    return m_model->InsertRow(text, image, selectedImage, textEditing, choiceEditing, parent,
                              after);
}

void CTreeListCtrl::SetCellText(Row row, int column, const QString& text) {
    m_model->SetCellText(row, column, text);
}

QString CTreeListCtrl::GetCellText(Row row, int column) const {
    return row ? row->text(column) : QString();
}

void CTreeListCtrl::SetRowObject(Row row, RowObject object) {
    m_model->SetRowObject(row, object);
}

RowObject CTreeListCtrl::GetRowObject(Row row) const {
    return m_model->GetRowObject(row);
}

// The model tells the view which cells changed: `redraw` is kept for callers
// that set several rows before one paint, and costs nothing now.
void CTreeListCtrl::SetRowColour(Row row, QColor colour, bool) {
    m_model->SetRowColour(row, colour);
}

QColor CTreeListCtrl::GetRowColour(Row row) const {
    return m_model->GetRowColour(row);
}

void CTreeListCtrl::SetRowBold(Row row, bool on, bool) {
    m_model->SetRowBold(row, on);
}

bool CTreeListCtrl::IsRowBold(Row row) const {
    return m_model->IsRowBold(row);
}

void CTreeListCtrl::SetRowDisabled(Row row, bool on, bool, bool withChildren) {
    m_model->SetRowDisabled(row, on, withChildren);
}

bool CTreeListCtrl::IsRowDisabled(Row row) const {
    return m_model->IsRowDisabled(row);
}

void CTreeListCtrl::SetRowCaption(Row row, bool on) {
    m_model->SetRowCaption(row, on);
}

bool CTreeListCtrl::IsRowCaption(Row row) const {
    return m_model->IsRowCaption(row);
}

bool CTreeListCtrl::HasTextEditing(Row row) const {
    return m_model->HasTextEditing(row);
}

bool CTreeListCtrl::HasChoiceEditing(Row row) const {
    return m_model->HasChoiceEditing(row);
}

void CTreeListCtrl::SetStateIcon(Row row, int index) {
    m_model->SetStateIcon(row, index);
}

int CTreeListCtrl::GetStateIcon(Row row) const {
    return m_model->GetStateIcon(row);
}

CTreeListCtrl::Row CTreeListCtrl::FindRow(Row start, const QString& text, RowObject object) const {
    return m_model->FindRow(start, text, object);
}

void CTreeListCtrl::Clear() {
    m_model->Clear();
}

CTreeListCtrl::Row CTreeListCtrl::currentItem() const {
    return itemFromIndex(currentIndex());
}

void CTreeListCtrl::setCurrentItem(Row row, int column) {
    setCurrentIndex(indexFromItem(row, column));
}

void CTreeListCtrl::expandItem(Row row) {
    expand(indexFromItem(row));
}

void CTreeListCtrl::collapseItem(Row row) {
    collapse(indexFromItem(row));
}

bool CTreeListCtrl::isItemExpanded(Row row) const {
    return isExpanded(indexFromItem(row));
}

void CTreeListCtrl::scrollToItem(Row row, ScrollHint hint) {
    scrollTo(indexFromItem(row), hint);
}

QRect CTreeListCtrl::visualItemRect(Row row) const {
    const QModelIndex first = indexFromItem(row, 0);
    if (!first.isValid()) return {};
    // The whole row, as far as its columns reach.
    QRect rect = visualRect(first);
    for (int column = 1; column < m_model->columnCount(); ++column) {
        rect |= visualRect(indexFromItem(row, column));
    }
    return rect;
}

QModelIndex CTreeListCtrl::indexFromItem(Row row, int column) const {
    return m_model->IndexOf(row, column);
}

CTreeListCtrl::Row CTreeListCtrl::itemFromIndex(const QModelIndex& index) const {
    return m_model->RowAt(index);
}

void CTreeListCtrl::SetGridLines(bool on, QColor colour) {
    m_grid = on;
    m_gridColour = colour;
    viewport()->update();
}

void CTreeListCtrl::SetImageList(ImageList images) {
    m_images = std::move(images);
    viewport()->update();
}

QIcon CTreeListCtrl::Image(int index) const {
    return index > 0 && m_images ? m_images(index) : QIcon();
}

bool CTreeListCtrl::BeginEdit(Row row, int column) {
    // The owner hears of the edit that ends here and may rebuild its rows.
    const QPersistentModelIndex wanted = indexFromItem(row, 0);
    EndEdit(true);
    row = itemFromIndex(wanted);
    if (!row || column < 0 || column >= columnCount()) return false;
    if (IsRowDisabled(row) || IsRowCaption(row)) return false;

    using Request = CTreeListDelegate::EditorRequest;
    Request request;
    request.text = GetCellText(row, column);
    const RowObject object = GetRowObject(row);
    if (object.kind == RowObject::Kind::Poller) {
        // A poll row is renamed and its period set in place, whatever its flags.
        if (column > 1) return false;
        request.kind = Request::Kind::EditBox;
    } else if (!HasTextEditing(row) && !HasChoiceEditing(row)) {
        return false;
    } else if (column == kValueColumn) {
        if (HasChoiceEditing(row)) {
            const Parameter* parameter = object.parameter();
            request.kind = Request::Kind::ComboBox;
            request.items = ChoiceList(
                parameter ? GetDescriptor(parameter->name).items : std::vector<std::string>{},
                request.text);
        } else {
            request.kind = Request::Kind::EditBox;
        }
    } else if (column == kAttributeColumn && object.parameter() &&
               object.parameter()->hasAttributes) {
        const QString other = object.parameter()->attrEditable ? kNotEditable : kEditable;
        request.kind = Request::Kind::ComboBox;
        request.items = ChoiceList({other.toStdString()}, request.text);
    } else {
        return false;
    }

    const QModelIndex index = indexFromItem(row, column);
    const int code = request.kind == Request::Kind::ComboBox ? EDIT_CODE_CHOICE : EDIT_CODE_TEXT;
    m_delegate->Prepare(std::move(request));
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr)) {
        m_delegate->Prepare({});
        return false;
    }
    m_editor = indexWidget(index);
    m_editIndex = index;
    m_editCode = code;
    m_committed.reset();
    m_editStartText = GetCellText(row, column);
    return m_editor != nullptr;
}

CTreeListCtrl::Row CTreeListCtrl::EditingRow() const {
    if (!m_editor || !m_editIndex.isValid()) return nullptr;
    return itemFromIndex(m_editIndex.sibling(m_editIndex.row(), 0));
}

void CTreeListCtrl::DropEdit() {
    m_editor = nullptr;
    m_editIndex = QPersistentModelIndex();
    m_committed.reset();
}

void CTreeListCtrl::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // Qt moves the current row away first, which would end the edit and tell
    // the owner about a row on its way out: the edit is dropped silently.
    for (QModelIndex index = m_editIndex; index.isValid(); index = index.parent()) {
        if (index.parent() == parent && index.row() >= start && index.row() <= end) {
            DropEdit();
            break;
        }
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void CTreeListCtrl::EndEdit(bool apply) {
    QWidget* editor = m_editor;
    if (!editor) return;
    if (apply) commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void CTreeListCtrl::commitData(QWidget* editor) {
    if (!editor || editor != m_editor) return;
    if (auto* box = qobject_cast<QLineEdit*>(editor)) {
        m_committed = box->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        m_committed = combo->currentText();
    }
}

// Whatever the hint, Tab included, an edit never walks on to the next cell.
void CTreeListCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint) {
    if (!editor || editor != m_editor) {
        QTreeView::closeEditor(editor, QAbstractItemDelegate::NoHint);
        return;
    }
    const QPersistentModelIndex index = m_editIndex;
    const int code = m_editCode;
    const std::optional<QString> committed = std::move(m_committed);
    m_editor = nullptr;
    m_editIndex = QPersistentModelIndex();
    m_committed.reset();
    // The editor goes before the owner hears of the edit, so a message box the
    // owner shows cannot end the same edit a second time.
    QTreeView::closeEditor(editor, QAbstractItemDelegate::NoHint);

    Row row = itemFromIndex(index);
    if (!row) return;
    const int column = index.column();
    // The text the operator began with: the cell may have changed under the
    // editor (a read came in), and that is no edit of his.
    const QString oldText = m_editStartText;
    const QString newText = committed.value_or(oldText);
    m_model->SetCellText(row, column, newText);
    emit editEnded(row, column, oldText, newText, code);
}

QStyleOptionViewItem CTreeListCtrl::CellStyle(Row row, int column) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = indexFromItem(row, column);
    if (!index.isValid()) return option;
    option.rect = visualRect(index);
    if (selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
    m_delegate->StyleOption(&option, index);
    return option;
}

QRect CTreeListCtrl::StateIconRect(Row row) const {
    if (GetStateIcon(row) == STATE_NONE) return {};
    const QStyleOptionViewItem option = CellStyle(row, 0);
    if (!option.features.testFlag(QStyleOptionViewItem::HasCheckIndicator)) return {};
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

CTreeListCtrl::Row CTreeListCtrl::RowAt(QPoint viewportPos) const {
    QModelIndex index = indexAt(viewportPos);
    if (!index.isValid()) {
        // Right of the last column: the row at that height all the same.
        index = indexAt(QPoint(header()->sectionViewportPosition(0) + 1, viewportPos.y()));
    }
    return itemFromIndex(index);
}

bool CTreeListCtrl::OnExpandButton(Row row, QPoint viewportPos) const {
    if (!row || row->childCount() == 0) return false;
    const int left = visualItemRect(row).left();
    return viewportPos.x() < left && viewportPos.x() >= left - indentation();
}

void CTreeListCtrl::SelectRowAt(QPoint viewportPos) {
    Row row = RowAt(viewportPos);
    if (!row || OnExpandButton(row, viewportPos)) return;
    if (currentItem() != row) setCurrentItem(row, std::max(0, currentIndex().column()));
    const QModelIndex index = indexFromItem(row, 0);
    if (!selectionModel()->isRowSelected(index.row(), index.parent())) {
        selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void CTreeListCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    m_pressedStateIcon = QPersistentModelIndex();
    if (event->button() == Qt::LeftButton) {
        Row row = RowAt(pos);
        if (StateIconRect(row).contains(pos)) m_pressedStateIcon = indexFromItem(row, 0);
    }
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) SelectRowAt(pos);
}

void CTreeListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    QTreeView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    SelectRowAt(pos);
    const QPersistentModelIndex pressed = std::exchange(m_pressedStateIcon, {});
    Row row = RowAt(pos);
    if (!pressed.isValid() || itemFromIndex(pressed) != row || !StateIconRect(row).contains(pos))
        return;
    // Posted, as the owner may rebuild the rows it toggles.
    QMetaObject::invokeMethod(
        this,
        [this, pressed] {
            if (Row clicked = itemFromIndex(pressed)) emit stateIconClicked(clicked);
        },
        Qt::QueuedConnection);
}

void CTreeListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int column = columnAt(pos.x());
    // Only the tree column opens and closes rows on a double click.
    if (column <= 0) QTreeView::mouseDoubleClickEvent(event);
    setFocus(Qt::MouseFocusReason);
    Row row = RowAt(pos);
    if (!row || row != currentItem() || column < 0) return;
    // A quick second click on a check box is not meant to edit the label.
    if (column == 0 && StateIconRect(row).contains(pos)) return;
    BeginEdit(row, column);
}

void CTreeListCtrl::keyPressEvent(QKeyEvent* event) {
    Row row = currentItem();
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier && row && !m_editor) {
        // A poll row's name is its label; every other row edits its value.
        const int column = GetRowObject(row).kind == RowObject::Kind::Poller ? 0 : kValueColumn;
        if (BeginEdit(row, column)) {
            event->accept();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void CTreeListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        SelectRowAt(event->pos());
    } else if (Row current = currentItem()) {
        global = viewport()->mapToGlobal(visualItemRect(current).bottomLeft());
    }
    emit contextMenuWanted(currentItem(), global);
    event->accept();
}

bool CTreeListCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        ShowCellTip(help->pos());
        return true;
    }
    return QTreeView::viewportEvent(event);
}

void CTreeListCtrl::ShowCellTip(QPoint viewportPos) {
    const QModelIndex index = indexAt(viewportPos);
    const Row row = itemFromIndex(index);
    const QString text = row ? row->text(index.column()) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    const QStyleOptionViewItem option = CellStyle(row, index.column());
    const QRect textRect = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    if (option.fontMetrics.horizontalAdvance(text) + 2 * margin <= textRect.width()) {
        QToolTip::hideText();
        return;
    }
    const QRect rowRect = visualRect(index);
    const QPoint under = viewport()->mapToGlobal(
        QPoint(textRect.left(), rowRect.top() + rowRect.height() + kTipGap));
    QToolTip::showText(under, text, viewport(), rowRect);
    MoveToolTipTo(under);
}

void CTreeListCtrl::scrollContentsBy(int dx, int dy) {
    // The editor would otherwise float over another cell.
    if (dx != 0) EndEdit(true);
    QTreeView::scrollContentsBy(dx, dy);
}

void CTreeListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QTreeView::drawRow(painter, option, index);
    if (!m_grid) return;
    const QHeaderView* titles = header();
    int left = option.rect.right();
    int right = option.rect.left();
    painter->save();
    painter->setPen(m_gridColour);
    for (int section = 0; section < titles->count(); ++section) {
        if (titles->isSectionHidden(section)) continue;
        const int start = titles->sectionViewportPosition(section);
        const int end = start + titles->sectionSize(section) - 1;
        painter->drawLine(end, option.rect.top(), end, option.rect.bottom());
        left = std::min(left, start);
        right = std::max(right, end);
    }
    painter->drawLine(left, option.rect.bottom(), right, option.rect.bottom());
    painter->restore();
}

}  // namespace zep8
