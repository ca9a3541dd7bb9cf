#include "ui/tree/tree_list_model.h"

#include <algorithm>
#include <functional>

namespace zep8 {

RowObject RowObject::of(Parameter* parameter) {
    if (!parameter) return {};
    return {Kind::Parameter, parameter, -1};
}

RowObject RowObject::of(InvisibleElement* node) {
    if (!node) return {};
    return {Kind::Node, node, -1};
}

RowObject RowObject::poller(int number) {
    return {Kind::Poller, nullptr, number};
}

Parameter* RowObject::parameter() const {
    return kind == Kind::Parameter ? static_cast<Parameter*>(pointer) : nullptr;
}

InvisibleElement* RowObject::node() const {
    return kind == Kind::Node ? static_cast<InvisibleElement*>(pointer) : nullptr;
}

TreeListRow* TreeListRow::child(int i) const {
    return i >= 0 && i < childCount() ? children_[static_cast<std::size_t>(i)].get() : nullptr;
}

QString TreeListRow::text(int column) const {
    return column >= 0 && column < texts_.size() ? texts_.at(column) : QString();
}

int TreeListRow::position() const {
    if (!parent_) return 0;
    const auto& siblings = parent_->children_;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [this](const auto& sibling) { return sibling.get() == this; });
    return static_cast<int>(found - siblings.begin());
}

std::size_t CTreeListModel::ObjectKeyHash::operator()(const ObjectKey& key) const {
    return std::hash<const void*>()(key.pointer) ^ (std::hash<int>()(key.number) << 1) ^
           (std::hash<int>()(key.kind) << 2);
}

CTreeListModel::ObjectKey CTreeListModel::KeyOf(const RowObject& object) {
    return {static_cast<int>(object.kind), object.pointer, object.number};
}

CTreeListModel::CTreeListModel(QObject* parent) : QAbstractItemModel(parent) {
    root_.isRoot_ = true;
}

CTreeListModel::~CTreeListModel() = default;

void CTreeListModel::InsertColumn(int index, Qt::Alignment alignment) {
    if (columns_.empty()) {
        // The first title goes to the column every row already has.
        columns_.push_back(Column{QString(), QString(), alignment});
        return;
    }
    // Column 0 holds the row records: later columns never go before it.
    const int count = static_cast<int>(columns_.size());
    index = std::clamp(index, 1, count);
    beginInsertColumns(QModelIndex(), index, index);
    columns_.insert(columns_.begin() + index, Column{QString(), QString(), alignment});
    std::function<void(TreeListRow&)> widen = [&](TreeListRow& row) {
        if (!row.isRoot_ && index <= row.texts_.size()) row.texts_.insert(index, QString());
        for (auto& child : row.children_) widen(*child);
    };
    widen(root_);
    endInsertColumns();
}

void CTreeListModel::SetTitle(int column, const QString& shown, const QString& tip) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return;
    Column& c = columns_[static_cast<std::size_t>(column)];
    if (c.shown == shown && c.tip == tip) return;
    c.shown = shown;
    c.tip = tip;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

CTreeListModel::Row CTreeListModel::InsertRow(const QString& text, int image, int selectedImage,
                                              bool textEditing, bool choiceEditing, Row parent,
                                              Row after) {
    TreeListRow& container = Children(parent);
    int position = container.childCount();
    if (after && after->parent_ == &container) position = after->position() + 1;
    auto row = std::make_unique<TreeListRow>();
    row->parent_ = &container;
    row->texts_.resize(std::max<qsizetype>(1, static_cast<qsizetype>(columns_.size())));
    row->texts_[0] = text;
    row->image_ = image;
    row->selectedImage_ = selectedImage;
    row->textEditing_ = textEditing;
    row->choiceEditing_ = choiceEditing;
    const Row made = row.get();
    beginInsertRows(parent ? IndexOf(parent) : QModelIndex(), position, position);
    container.children_.insert(container.children_.begin() + position, std::move(row));
    endInsertRows();
    return made;
}

void CTreeListModel::Unindex(const TreeListRow& row) {
    for (const auto& child : row.children_) Unindex(*child);
    if (row.object_.isNone()) return;
    rowsByObject_.erase(KeyOf(row.object_));
    if (row.object_.pointer) rowsByPointer_.erase(row.object_.pointer);
}

void CTreeListModel::RemoveRow(Row row) {
    if (!row || row->isRoot_) return;
    TreeListRow& container = *row->parent_;
    const int position = row->position();
    beginRemoveRows(IndexOf(row->parent()), position, position);
    Unindex(*row);
    container.children_.erase(container.children_.begin() + position);
    endRemoveRows();
}

void CTreeListModel::Clear() {
    beginResetModel();
    root_.children_.clear();
    rowsByObject_.clear();
    rowsByPointer_.clear();
    endResetModel();
}

void CTreeListModel::RowChanged(Row row, int firstColumn, int lastColumn, const QList<int>& roles) {
    emit dataChanged(IndexOf(row, firstColumn), IndexOf(row, lastColumn), roles);
}

void CTreeListModel::SetCellText(Row row, int column, const QString& text) {
    if (!row || column < 0) return;
    if (column >= row->texts_.size()) row->texts_.resize(column + 1);
    if (row->texts_[column] == text) return;
    row->texts_[column] = text;
    RowChanged(row, column, column, {Qt::DisplayRole, Qt::EditRole});
}

void CTreeListModel::SetRowObject(Row row, RowObject object) {
    if (!row) return;
    Unindex(*row);
    row->object_ = object;
    if (object.isNone()) return;
    rowsByObject_[KeyOf(object)] = row;
    if (object.pointer) rowsByPointer_[object.pointer] = row;
}

void CTreeListModel::SetRowColour(Row row, QColor colour) {
    if (!row) return;
    if (!colour.isValid()) colour = Qt::black;
    if (row->colour_ == colour) return;
    row->colour_ = colour;
    // The colour is the row's: every cell is drawn in it.
    RowChanged(row, 0, std::max(0, columnCount() - 1), {ROLE_COLOUR});
}

void CTreeListModel::SetRowBold(Row row, bool on) {
    if (!row || row->bold_ == on) return;
    row->bold_ = on;
    RowChanged(row, 0, std::max(0, columnCount() - 1), {ROLE_BOLD});
}

void CTreeListModel::SetRowDisabled(Row row, bool on, bool withChildren) {
    if (!row) return;
    if (withChildren) {
        for (auto& child : row->children_) SetRowDisabled(child.get(), on, true);
    }
    if (row->disabled_ == on) return;
    row->disabled_ = on;
    RowChanged(row, 0, std::max(0, columnCount() - 1), {ROLE_DISABLED});
}

void CTreeListModel::SetRowCaption(Row row, bool on) {
    if (!row || row->caption_ == on) return;
    row->caption_ = on;
    RowChanged(row, 0, std::max(0, columnCount() - 1), {ROLE_CAPTION});
}

void CTreeListModel::SetStateIcon(Row row, int index) {
    index = std::max(0, index);
    if (!row || row->stateIcon_ == index) return;
    row->stateIcon_ = index;
    RowChanged(row, 0, 0, {ROLE_STATE_ICON});
}

CTreeListModel::Row CTreeListModel::RowOf(const RowObject& object) const {
    const auto found = rowsByObject_.find(KeyOf(object));
    return found == rowsByObject_.end() ? nullptr : found->second;
}

CTreeListModel::Row CTreeListModel::RowOfPointer(const void* pointer) const {
    const auto found = rowsByPointer_.find(pointer);
    return found == rowsByPointer_.end() ? nullptr : found->second;
}

CTreeListModel::Row CTreeListModel::FindRow(Row start, const QString& text,
                                            const RowObject& object) const {
    const auto matches = [&](Row row) { return row->text(0) == text && row->object_ == object; };
    if (!object.isNone()) {
        const Row row = RowOf(object);
        if (!row || !matches(row)) return nullptr;
        for (Row up = row->parent(); up; up = up->parent()) {
            if (up == start) return row;
        }
        return start ? nullptr : row;
    }
    // Rows without an object are few: the root, captions. Depth first.
    std::function<Row(const TreeListRow&)> search = [&](const TreeListRow& under) -> Row {
        for (const auto& child : under.children_) {
            if (matches(child.get())) return child.get();
            if (const Row found = search(*child)) return found;
        }
        return nullptr;
    };
    return search(Children(start));
}

QModelIndex CTreeListModel::IndexOf(Row row, int column) const {
    if (!row || row->isRoot_) return {};
    return createIndex(row->position(), column, row);
}

CTreeListModel::Row CTreeListModel::RowAt(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return nullptr;
    return static_cast<Row>(index.internalPointer());
}

QModelIndex CTreeListModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= columnCount()) return {};
    const TreeListRow& container = Children(RowAt(parent));
    const Row child = container.child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex CTreeListModel::parent(const QModelIndex& child) const {
    const Row row = RowAt(child);
    return row ? IndexOf(row->parent()) : QModelIndex();
}

int CTreeListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return Children(RowAt(parent)).childCount();
}

int CTreeListModel::columnCount(const QModelIndex&) const {
    return std::max(1, static_cast<int>(columns_.size()));
}

bool CTreeListModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant CTreeListModel::data(const QModelIndex& index, int role) const {
    const Row row = RowAt(index);
    if (!row) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return row->text(index.column());
        case Qt::TextAlignmentRole:
            return {};
        default:
            break;
    }
    // The record is the row's, kept with its first cell.
    if (index.column() != 0) return {};
    switch (role) {
        case ROLE_BOLD:
            return row->bold_;
        case ROLE_DISABLED:
            return row->disabled_;
        case ROLE_COLOUR:
            return row->colour_;
        case ROLE_STATE_ICON:
            return row->stateIcon_;
        case ROLE_IMAGE:
            return row->image_;
        case ROLE_SELECTED_IMAGE:
            return row->selectedImage_;
        case ROLE_CAPTION:
            return row->caption_;
        default:
            return {};
    }
}

QVariant CTreeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns_.size())) {
        return {};
    }
    const Column& c = columns_[static_cast<std::size_t>(section)];
    switch (role) {
        case Qt::DisplayRole:
            return c.shown;
        case Qt::ToolTipRole:
            return c.tip.isEmpty() ? QVariant() : QVariant(c.tip);
        case Qt::TextAlignmentRole:
            return static_cast<int>(c.alignment.toInt());
        default:
            return {};
    }
}

Qt::ItemFlags CTreeListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Editable for Qt's editor machinery; the control decides which cell really is.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

}  // namespace zep8
