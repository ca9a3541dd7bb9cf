#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

namespace zep8 {

class CTableCtrl;

// Draws the cells of CTableCtrl and makes the editor a value cell calls for:
// an edit box for numbers, a list for a fixed set of values (one that also
// takes a typed name for the computer's port).
class CTableDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    explicit CTableDelegate(CTableCtrl* table);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // The editor starts with its text when made.
    void setEditorData(QWidget*, const QModelIndex&) const override {}
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    QWidget* openEditor() const { return editor_; }

  private:
    CTableCtrl* table_;
    mutable QPointer<QWidget> editor_;
};

}  // namespace zep8
