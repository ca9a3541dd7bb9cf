#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "ops/device/difference.h"

class QPushButton;

namespace Ui {
class CDifferencesDialog;
}

namespace zep8 {

// The differences between the configuration and the module as a table:
// sortable by any column, the selected rows copied as tab-separated text.
// Either the compare result's details, or the question before a write.
class CDifferencesDialog : public QDialog {
    Q_OBJECT

  public:
    enum class Purpose { Details, ConfirmWrite };

    CDifferencesDialog(QWidget* parent, const DifferenceList& differences, Purpose purpose);
    ~CDifferencesDialog() override;

    int rowCount() const;
    QString cell(int row, int column) const;
    // "Записать" of the question (none in the details).
    QPushButton* writeButton() const { return writeButton_; }
    // Puts the selected rows, in their shown order, on the clipboard.
    void CopySelectedRows();

  private:
    void Fill(const DifferenceList& differences);

    std::unique_ptr<Ui::CDifferencesDialog> ui_;
    QPushButton* writeButton_ = nullptr;
};

// The compare result's whole list, over the window that asked for it.
void ShowDifferencesDialog(QWidget* parent, const DifferenceList& differences);
// The list of what a write would overwrite; true: "Записать".
bool ConfirmOverwriteDialog(QWidget* parent, const DifferenceList& differences);

}  // namespace zep8
