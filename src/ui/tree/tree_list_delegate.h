#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

namespace zep8 {

class CTreeListCtrl;

// Draws the rows of CTreeListCtrl from their record (colour, bold, grey,
// images, check box) and makes the in-place editors the control asks for.
class CTreeListDelegate : public QStyledItemDelegate {
  public:
    // The editor of the next edit the control opens.
    struct EditorRequest {
        enum class Kind { None, EditBox, ComboBox };
        Kind kind = Kind::None;
        QString text;       // the cell's text
        QStringList items;  // combo box only; `text` is one of them when not empty
    };

    explicit CTreeListDelegate(CTreeListCtrl* tree);

    void Prepare(EditorRequest request) { m_next = std::move(request); }
    // The style option of a cell, as paint() uses it.
    void StyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
        initStyleOption(option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // The editors start with their text when made and the control writes the
    // cell itself when the edit ends, so the model never reaches an editor.
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The edit box grows with its text, never past the right edge of the tree.
    static void WidenEditBox(QWidget* editor);

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    CTreeListCtrl* m_tree;
    mutable EditorRequest m_next;
};

}  // namespace zep8
