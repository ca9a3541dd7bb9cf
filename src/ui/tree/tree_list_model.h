#pragma once

#include <QAbstractItemModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <memory>
#include <unordered_map>
#include <vector>

namespace zep8 {

class InvisibleElement;
class Parameter;

// What a row of the tree-list stands for. Compared by value, so a row can be
// found again after a rebuild from the same object.
struct RowObject {
    enum class Kind { None, Parameter, Node, Poller };
    Kind kind = Kind::None;
    void* pointer = nullptr;
    int number = -1;  // the input of a poll row

    static RowObject of(Parameter* parameter);
    static RowObject of(InvisibleElement* node);
    static RowObject poller(int number);

    Parameter* parameter() const;
    InvisibleElement* node() const;
    bool isNone() const { return kind == Kind::None; }
    bool operator==(const RowObject&) const = default;
};

// One row of the tree-list as it is shown: the texts of its cells and how it
// is drawn and edited. The rows keep copies of what they show, so drawing
// never reads the configuration that a transfer thread may be writing.
class TreeListRow {
  public:
    // Null for a top-level row.
    TreeListRow* parent() const { return parent_ && !parent_->isRoot_ ? parent_ : nullptr; }
    int childCount() const { return static_cast<int>(children_.size()); }
    TreeListRow* child(int i) const;
    QString text(int column) const;
    // The row's place among its parent's children.
    int position() const;

  private:
    friend class CTreeListModel;

    TreeListRow* parent_ = nullptr;  // the model's hidden root above top-level rows
    bool isRoot_ = false;
    std::vector<std::unique_ptr<TreeListRow>> children_;
    QStringList texts_;
    RowObject object_;
    QColor colour_{Qt::black};
    int image_ = 0;
    int selectedImage_ = 0;
    int stateIcon_ = 0;
    bool textEditing_ = false;
    bool choiceEditing_ = false;
    bool bold_ = false;
    bool disabled_ = false;
    bool caption_ = false;
};

// The rows of the tree-list as a Qt item model. Column 0 carries the row's
// record in the roles below, which the delegate draws from. Every change
// tells the views exactly which cells changed, and only when they did.
class CTreeListModel : public QAbstractItemModel {
    Q_OBJECT

  public:
    using Row = TreeListRow*;

    enum Role : int {
        ROLE_BOLD = Qt::UserRole + 1,
        ROLE_DISABLED,
        ROLE_COLOUR,
        ROLE_STATE_ICON,
        ROLE_IMAGE,
        ROLE_SELECTED_IMAGE,
        ROLE_CAPTION,
    };

    explicit CTreeListModel(QObject* parent = nullptr);
    ~CTreeListModel() override;

    // Columns: titles as the header shows them, the whole title as its tip.
    void InsertColumn(int index, Qt::Alignment alignment);
    void SetTitle(int column, const QString& shown, const QString& tip);

    // `parent` null: a top-level row; `after` null: the last child.
    Row InsertRow(const QString& text, int image, int selectedImage, bool textEditing,
                  bool choiceEditing, Row parent, Row after);
    // The row goes with its children.
    void RemoveRow(Row row);
    // Every row goes: the views reset.
    void Clear();

    void SetCellText(Row row, int column, const QString& text);
    void SetRowObject(Row row, RowObject object);
    RowObject GetRowObject(Row row) const { return row ? row->object_ : RowObject{}; }
    void SetRowColour(Row row, QColor colour);
    QColor GetRowColour(Row row) const { return row ? row->colour_ : QColor(Qt::black); }
    void SetRowBold(Row row, bool on);
    bool IsRowBold(Row row) const { return row && row->bold_; }
    void SetRowDisabled(Row row, bool on, bool withChildren);
    bool IsRowDisabled(Row row) const { return row && row->disabled_; }
    void SetRowCaption(Row row, bool on);
    bool IsRowCaption(Row row) const { return row && row->caption_; }
    bool HasTextEditing(Row row) const { return row && row->textEditing_; }
    bool HasChoiceEditing(Row row) const { return row && row->choiceEditing_; }
    void SetStateIcon(Row row, int index);
    int GetStateIcon(Row row) const { return row ? row->stateIcon_ : 0; }

    // The row standing for `object`, from an index kept as rows get objects.
    Row RowOf(const RowObject& object) const;
    // The row of a parameter or node, whatever its kind.
    Row RowOfPointer(const void* pointer) const;
    // The row with this object and this column-0 text under `start` (the
    // whole tree when null).
    Row FindRow(Row start, const QString& text, const RowObject& object) const;

    QModelIndex IndexOf(Row row, int column = 0) const;
    Row RowAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

  private:
    struct Column {
        QString shown;
        QString tip;
        Qt::Alignment alignment;
    };
    struct ObjectKey {
        int kind;
        const void* pointer;
        int number;
        bool operator==(const ObjectKey&) const = default;
    };
    struct ObjectKeyHash {
        std::size_t operator()(const ObjectKey& key) const;
    };
    static ObjectKey KeyOf(const RowObject& object);

    TreeListRow& Children(Row parent) { return parent ? *parent : root_; }
    const TreeListRow& Children(Row parent) const { return parent ? *parent : root_; }
    void RowChanged(Row row, int firstColumn, int lastColumn, const QList<int>& roles);
    void Unindex(const TreeListRow& row);

    TreeListRow root_;
    std::vector<Column> columns_;
    std::unordered_map<ObjectKey, Row, ObjectKeyHash> rowsByObject_;
    std::unordered_map<const void*, Row> rowsByPointer_;
};

}  // namespace zep8
