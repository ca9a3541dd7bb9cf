#pragma once

#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <vector>

namespace zep8 {

class CTableDelegate;

// A report-style table drawn by the program: white rows on a faint grid, the
// selected row filled grey and framed, per-cell flags for grey and red text,
// and an in-place editor for the value cells chosen by the parameter that
// the row names.
class CTableCtrl : public QTableWidget {
    Q_OBJECT

  public:
    // Bits of a cell's flag word.
    enum CellFlag : quint16 { CELL_DISABLED = 0x0001, CELL_ERROR = 0x0008 };
    enum Role : int { ROLE_FLAGS = Qt::UserRole + 1 };

    explicit CTableCtrl(QWidget* parent = nullptr);

    // `weight`: the column's share of the width; no column gets narrower than its title.
    void InsertColumn(int index, const QString& title, int weight);
    int InsertRow(const QStringList& texts);
    void SetCellText(int row, int column, const QString& text);
    QString GetCellText(int row, int column) const;
    // Sets (`on`) or clears the bits of `mask`; column -1: every cell of the row.
    void SetCellFlags(int row, int column, quint16 mask, bool on);
    quint16 GetCellFlags(int row, int column) const;

    // Cells of `valueColumn` are edited with the editor of the parameter
    // whose name stands in `nameColumn` of the same row.
    void SetValueColumn(int valueColumn, int nameColumn);
    int valueColumn() const { return valueColumn_; }
    int nameColumn() const { return nameColumn_; }
    // Opens the editor of a row's value cell; false when it has none.
    bool BeginEdit(int row);
    QWidget* OpenEditor() const;

  signals:
    // An edit ended with `text` in the cell; the owner stores it or puts the old text back.
    void valueEdited(int row, int column, const QString& text);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class CTableDelegate;
    void EndEdit(int row, int column, const QString& text);
    void FitColumns();

    CTableDelegate* delegate_;
    std::vector<int> weights_;
    int valueColumn_ = 1;
    int nameColumn_ = 2;
};

}  // namespace zep8
