#pragma once

#include <QColor>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <functional>
#include <optional>

#include "ui/tree/tree_list_model.h"

namespace zep8 {

class CTreeListDelegate;

// A tree whose rows also have columns, with in-place editors for the value
// and attribute cells: a view of its own CTreeListModel. What an edit means is
// left to the owner, which hears of every finished edit through editEnded.
class CTreeListCtrl : public QTreeView {
    Q_OBJECT

  public:
    using Row = CTreeListModel::Row;

    // Codes of editEnded: which editor finished.
    enum EditCode : int { EDIT_CODE_TEXT = -106, EDIT_CODE_CHOICE = -101 };
    // Title alignments of InsertColumn.
    enum Alignment : int { ALIGN_LEFT = 0, ALIGN_RIGHT = 1, ALIGN_CENTRE = 2 };
    // State icons: the check box left of the row's image.
    enum StateIcon : int { STATE_NONE = 0, STATE_OFF = 1, STATE_PARTIAL = 2, STATE_ON = 3 };
    // The row record, kept with column 0.
    enum Role : int {
        ROLE_BOLD = CTreeListModel::ROLE_BOLD,
        ROLE_DISABLED = CTreeListModel::ROLE_DISABLED,
        ROLE_COLOUR = CTreeListModel::ROLE_COLOUR,
        ROLE_STATE_ICON = CTreeListModel::ROLE_STATE_ICON,
        ROLE_IMAGE = CTreeListModel::ROLE_IMAGE,
        ROLE_SELECTED_IMAGE = CTreeListModel::ROLE_SELECTED_IMAGE,
        ROLE_CAPTION = CTreeListModel::ROLE_CAPTION,
    };

    using ImageList = std::function<QIcon(int index)>;

    explicit CTreeListCtrl(QWidget* parent = nullptr);
    ~CTreeListCtrl() override;

    CTreeListModel& model() const { return *m_model; }

    void InsertColumn(int index, const QString& title, int alignment, int width);
    int GetColumnCount() const { return static_cast<int>(m_titles.size()); }
    int columnCount() const { return m_model->columnCount(); }
    // `parent` null: a top-level row; `after` null: the last child.
    Row InsertRow(const QString& text, int image, int selectedImage, bool textEditing,
                  bool choiceEditing, Row parent = nullptr, Row after = nullptr);

    void SetCellText(Row row, int column, const QString& text);
    QString GetCellText(Row row, int column) const;
    void SetRowObject(Row row, RowObject object);
    RowObject GetRowObject(Row row) const;
    // An invalid colour means black.
    void SetRowColour(Row row, QColor colour, bool redraw);
    QColor GetRowColour(Row row) const;
    void SetRowBold(Row row, bool on, bool redraw);
    bool IsRowBold(Row row) const;
    // Disabled rows are drawn grey (red ones stay red) and refuse editing.
    void SetRowDisabled(Row row, bool on, bool redraw, bool withChildren);
    bool IsRowDisabled(Row row) const;
    // The row under an open in-place editor, or null.
    Row EditingRow() const;
    // A caption row heads a table inside the tree: bold and never edited.
    void SetRowCaption(Row row, bool on);
    bool IsRowCaption(Row row) const;
    bool HasTextEditing(Row row) const;
    bool HasChoiceEditing(Row row) const;
    void SetStateIcon(Row row, int index);
    int GetStateIcon(Row row) const;
    // Under `start` (the whole tree when null): the row with this object and
    // this column-0 text.
    Row FindRow(Row start, const QString& text, RowObject object) const;
    void RemoveRow(Row row) { m_model->RemoveRow(row); }
    // Every row goes.
    void Clear();

    // The rows as the view has them: the current one, open or not, where.
    Row currentItem() const;
    void setCurrentItem(Row row, int column = 0);
    void expandItem(Row row);
    void collapseItem(Row row);
    bool isItemExpanded(Row row) const;
    void scrollToItem(Row row, ScrollHint hint = EnsureVisible);
    QRect visualItemRect(Row row) const;
    QModelIndex indexFromItem(Row row, int column = 0) const;
    Row itemFromIndex(const QModelIndex& index) const;

    void SetGridLines(bool on, QColor colour = QColor(200, 200, 200));
    void SetImageList(ImageList images);
    // An image of the image list; none for 0.
    QIcon Image(int index) const;

    // Opens the editor the cell calls for, closing one still open; false when
    // the cell is not editable. A double click on a cell does the same.
    bool BeginEdit(Row row, int column);
    // Ends an open edit, keeping the typed text or not; editEnded follows.
    void EndEdit(bool apply);
    QWidget* OpenEditor() const { return m_editor; }

    // How a cell is drawn: font, text colour, icon, check box.
    QStyleOptionViewItem CellStyle(Row row, int column) const;
    // Where a row's check box is, in viewport coordinates; empty without one.
    QRect StateIconRect(Row row) const;
    // The row at a viewport point, also right of the last column.
    Row RowAt(QPoint viewportPos) const;

  signals:
    // After the new text is in the cell: the owner validates and may put
    // `oldText` back. A cancelled edit ends with newText == oldText.
    void editEnded(zep8::TreeListRow* row, int column, const QString& oldText,
                   const QString& newText, int code);
    // A click on a row's check box; delivered through the event queue. The
    // control does not toggle: the owner sets the new state icon.
    void stateIconClicked(zep8::TreeListRow* row);
    // A row opens; its children are not painted yet.
    void rowExpanding(zep8::TreeListRow* row);
    // The right button (or the menu key) asks for a context menu; `row` is the
    // selected row, which the click has made the one under the cursor.
    void contextMenuWanted(zep8::TreeListRow* row, QPoint globalPos);

  protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // F2 edits the current row's value, as a double click on it does.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    void FitTitle(int column);
    void DropEdit();
    void SelectRowAt(QPoint viewportPos);
    bool OnExpandButton(Row row, QPoint viewportPos) const;
    void ShowCellTip(QPoint viewportPos);
    CTreeListModel* m_model;
    CTreeListDelegate* m_delegate;
    QStringList m_titles;  // as inserted; the header may show them shortened
    bool m_grid = false;
    QColor m_gridColour{200, 200, 200};
    ImageList m_images;

    QPointer<QWidget> m_editor;
    QPersistentModelIndex m_editIndex;
    int m_editCode = 0;
    std::optional<QString> m_committed;  // set when the edit is applied, not cancelled
    QString m_editStartText;             // the cell as the operator began to edit it

    QPersistentModelIndex m_pressedStateIcon;
};

}  // namespace zep8
