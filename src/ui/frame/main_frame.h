#pragma once

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "model/change_notices.h"
#include "ui/frame/command_table.h"

class QLabel;

namespace zep8 {

class CProgressDialog;
class ExchangeMonitor;
class CTrendPlot;
class CZEP8TreeListView;
class Document;
class Prompter;
class SettingsStore;
class WindowJobs;

// The program's one window: menu, toolbar and status bar around the
// configuration view. Routes the commands to the document, enables the
// module's commands only when the run talks to a module, and can be pinned
// in place while an automated action runs.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    CMainFrame(Document& document, Prompter& prompter, SettingsStore& store);
    ~CMainFrame() override;

    // Runs a command now, as its menu item would (nothing when it is disabled).
    void RunCommand(int id);
    // Runs it once the window's event loop gets to it.
    void PostCommand(int id);
    QAction* action(int id) const;

    // A close asked by the calling program (its exit event, the end of an
    // automated action): nobody is there to answer, so every question of a
    // job or a dialog's worker takes its safe answer from now on, and the
    // window closes once the work under way lets it.
    void CloseForCaller();

    void SetPinned(bool pinned);
    bool pinned() const { return pinned_; }

    // "Режим автоматического чтения" checked or not.
    void SetAutoRead(bool on);
    void UpdateTitle();

    CZEP8TreeListView& view() const { return *view_; }
    ExchangeMonitor& monitor() const { return *monitor_; }
    // The exchanges the window asks for outside the transfer thread's jobs.
    WindowJobs& jobs() const { return *jobs_; }
    CProgressDialog& progress() const { return *progress_; }
    // "График опроса входов", made when first needed.
    CTrendPlot& plot();
    // Runs when the calibration command ends (the automated run waits for it).
    void SetCalibrationEnded(std::function<void()> ended) { calibrationEnded_ = std::move(ended); }

    // Asks whether to save a modified configuration; false: the operator
    // cancelled whatever was about to replace it.
    bool SaveModified();
    bool OpenFile(const QString& path);
    QStringList recentFiles() const { return recent_; }
    // Puts a file opened some other way (named on the command line, a
    // double-click in the file manager) at the top of "Последние файлы".
    void AddRecentFile(const QString& path);

    // The layout the operator left (the window with its dock and toolbar,
    // the plot, column widths set by hand) comes back, and this run's is kept
    // when the window closes. False when none was kept or it cannot be used:
    // the window then starts as the first time.
    bool RestoreLayout();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* AddCommand(const CommandRow& row, QMenu* menu);
    void BuildMenus();
    void ConnectCommandStates();
    void Execute(int id);
    void ExecuteViewCommand(int id, bool checked);
    void RunDocumentJob(int id);
    void ServiceReport();
    void BuildToolBar();
    void BuildStatusBar();
    void UpdateCommandState();
    void RunWaitingCommands();

    void NewDocument();
    void OpenDocument();
    bool SaveDocument();
    bool SaveDocumentAs();
    void ChangePassword();
    void About();
    void ExportParameterList();

    void SaveLayout();
    void KeepPlotLayout();
    // The line in the status bar: "rfc2217+tls://plc-hall:7002, TLS 1.3".
    void ShowLine();
    // Questions from other threads take their safe answer (the window goes).
    void AbandonQuestions();

    void LoadRecentFiles();
    void UpdateRecentMenu();

    Document& document_;
    Prompter& prompter_;
    SettingsStore& store_;
    // Goes before the widgets: what its jobs post back to them never comes after.
    std::unique_ptr<WindowJobs> jobs_;
    CZEP8TreeListView* view_ = nullptr;
    CProgressDialog* progress_ = nullptr;
    CTrendPlot* plot_ = nullptr;
    ExchangeMonitor* monitor_ = nullptr;
    QLabel* lineLabel_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QMenu* deviceMenu_ = nullptr;
    QAction* recentAnchor_ = nullptr;
    QList<QAction*> recentActions_;
    std::map<int, QAction*> actions_;
    QStringList recent_;
    bool pinned_ = false;
    bool keepLayout_ = false;  // a run placed by its command line leaves it alone
    QPoint pinnedAt_;
    bool initialUpdateDone_ = false;
    std::function<void()> calibrationEnded_;
    std::vector<int> waitingCommands_;  // asked for while an exchange ran
    ChangeNotices::Subscription changes_;
};

}  // namespace zep8
