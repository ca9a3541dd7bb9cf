#pragma once

#include <QPoint>
#include <vector>

#include <QDateTime>
#include <memory>
#include <optional>

#include "model/change_notices.h"
#include "model/object_with_parameters.h"
#include "ops/polling/channel_polling.h"
#include "ops/device/configuration_edit.h"
#include "ui/tree/tree_list_view.h"

namespace zep8 {

class Document;
class Prompter;
class WindowJobs;

// The configuration as one tree-list: the program's groups and the module's
// groups with a row per parameter (description, name, value, access
// attribute, exchange error). Edits go through the ConfigurationEditor;
// this class only moves texts between the rows and the document.
class CZEP8TreeListView : public CNewTreeListCtrlView {
    Q_OBJECT

  public:
    using Row = CTreeListCtrl::Row;

    // A group opened in the tree is read through `jobs`.
    CZEP8TreeListView(Document& document, Prompter& prompter, WindowJobs& jobs,
                      QWidget* parent = nullptr);

    // First display: columns, tree, the root opened.
    void OnInitialUpdate();

    void SetAutoRead(bool on) { autoRead_ = on; }
    bool autoRead() const { return autoRead_; }
    void SetShowIndexes(bool on) {
        showIndexes_ = on;
        RefreshAll();
    }

    // The three commands of the context menu, on the selected row.
    void ReadSelectedParameter();
    void WriteSelectedParameter();
    void ForgetSelectedValue();

    // Widths the operator set by hand, to keep for the next run; empty while
    // the columns follow the view's width.
    std::vector<int> userColumnWidths() const;
    // Such widths of an earlier run, one a column; anything else is ignored.
    void SetUserColumnWidths(const std::vector<int>& widths);

    Row root() const { return root_; }
    Row pollGroup() const { return pollGroup_; }
    ChannelPolling& polling() { return *polling_; }
    // The row of a parameter or group, searched through the whole tree.
    Row RowOf(const void* object) const;

  signals:
    // A measured value arrived for a poll row; no value: the read failed or
    // brought no number, and `why` says which (empty: the poll stopped).
    void pollSample(int input, const QString& label, const QDateTime& time,
                    std::optional<double> value, const QString& why);
    // Where the poll log goes, for the status bar.
    void logStarted(const QString& path);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void InsertColumns();
    void BuildTree();
    void AddNode(InvisibleElement& node, Row parent);
    void RefreshRows(Row parent);
    void ShowParameter(Row row);
    bool RowsMatchDocument() const;
    // What the document says changed; every row's texts and colour when it
    // does not say. Selection, open groups and scroll position stay.
    void OnChange(const ChangeNotice& notice);
    void RefreshAll();
    void FitColumns();
    std::vector<int> ColumnWidths() const;
    Parameter* SelectedParameter(bool tellWhenNone);

    void OnRowExpanding(Row row);
    void ReadGroup(InvisibleElement& node);
    void OnEditEnded(Row row, int column, const QString& oldText, const QString& newText);
    void OnContextMenu(Row row, QPoint globalPos);
    void AddPollBranch(Row parent);
    void OnStateIcon(Row row);
    void OnPollResult(const PollResult& result);
    bool EditPollRow(Row row, int column, const QString& oldText, const QString& newText);
    void MarkModified();

    Document& document_;
    Prompter& prompter_;
    WindowJobs& jobs_;
    const Parameter* shownAfterEdit_ = nullptr;  // its row changed under the editor
    ConfigurationEditor editor_;
    Row root_ = nullptr;
    bool autoRead_ = true;
    bool showIndexes_ = false;
    bool columnsSizedByUser_ = false;
    std::vector<int> keptWidths_;  // of an earlier run, until the columns exist
    Row pollGroup_ = nullptr;
    // The nodes the rows were made from, with their lists' generations then.
    std::vector<std::pair<const ObjectWithParameters*, unsigned>> builtFrom_;
    // Last: its scanners stop before anything they report to goes.
    std::unique_ptr<ChannelPolling> polling_;
    ChangeNotices::Subscription subscription_;
};

}  // namespace zep8
