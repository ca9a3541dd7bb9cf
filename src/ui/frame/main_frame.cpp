#include "ui/frame/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <thread>

#include "app/document.h"
#include "app/preferences.h"
#include "link/line/line_in_use.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/calibration_dialogs.h"
#include "ui/dialogs/change_password.h"
#include "ui/dialogs/device_dialogs.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/parameter_list_page.h"
#include "ui/frame/qt_prompter.h"
#include "ui/frame/service_report_command.h"
#include "ui/frame/startup_fonts.h"
#include "ui/frame/widget_helpers.h"
#include "ui/frame/window_jobs.h"
#include "ui/link_tools/exchange_monitor.h"
#include "ui/plot/trend_plot.h"
#include "ui/tree/config_tree_view.h"
#include "ui/tree/tree_icons.h"

namespace zep8 {
namespace {

constexpr const char* kFilter = "Файлы конфигурации для ЗЕП8 (*.zep);;Все файлы (*.*)";
constexpr const char* kIdlePrompt = "Ready";

}  // namespace

CMainFrame::CMainFrame(Document& document, Prompter& prompter, SettingsStore& store)
    : document_(document), prompter_(prompter), store_(store) {
    WaitForFontWarmUp();
    jobs_ = std::make_unique<WindowJobs>();
    jobs_->SetBusyListener([this](bool busy) {
        UpdateCommandState();
        if (!busy) RunWaitingCommands();
    });
    view_ = new CZEP8TreeListView(document, prompter, *jobs_, this);
    setCentralWidget(view_);
    progress_ = new CProgressDialog(this, [this] { document_.device().Abort(); });
    monitor_ = new ExchangeMonitor(document.device(), prompter, this);
    addDockWidget(Qt::BottomDockWidgetArea, monitor_);
    monitor_->hide();
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    LoadRecentFiles();
    UpdateCommandState();
    setAcceptDrops(true);
    setWindowIcon(QApplication::windowIcon());
    // Whoever tells of a change, the views hear of it on this thread.
    document.changes().DeliverOn(std::this_thread::get_id(), [](std::function<void()> deliver) {
        PostToThread(QCoreApplication::instance(), std::move(deliver));
    });
    // The title follows the document's name and its modified flag.
    changes_ = document.changes().Subscribe([this](const ChangeNotice& notice) {
        if (notice.kind == ChangeNotice::Kind::Title ||
            notice.kind == ChangeNotice::Kind::Modified) {
            UpdateTitle();
        }
    });
    connect(
        view_, &CZEP8TreeListView::pollSample, this,
        [this](int input, const QString& label, const QDateTime& time, std::optional<double> value,
               const QString& why) { plot().AddSample(input, label, time, value, why); });
    connect(view_, &CZEP8TreeListView::logStarted, this, [this](const QString& path) {
        statusBar()->showMessage(QStringLiteral("Протокол опроса пишется в ") + path);
    });

    const ProcessState& state = processState();
    SetAutoRead(!state.hasOption(OPT_SILENT | OPT_NO_DEVICE));
    UpdateTitle();
    resize(1024, 700);
}

CMainFrame::~CMainFrame() {
    // The dock goes after the frame's own parts: what it says as it goes is not heard.
    monitor_->disconnect();
    // A job that asks a question now would wait for a window that is going:
    // it takes the safe answer, and the frame waits for its end.
    auto* boxes = dynamic_cast<QtPrompter*>(&prompter_);
    if (boxes) boxes->Abandon(true);
    jobs_->SetBusyListener({});
    jobs_->Stop();
    if (boxes) boxes->Abandon(false);
}

QAction* CMainFrame::AddCommand(const CommandRow& row, QMenu* menu) {
    auto* action = new QAction(QString::fromUtf8(row.text), this);
    QList<QKeySequence> keys;
    for (const CommandKey& key : row.keys) {
        if (!key.empty()) keys << key.sequence();
    }
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    if (row.prompt) action->setStatusTip(QString::fromUtf8(row.prompt));
    if (row.tip) action->setToolTip(QString::fromUtf8(row.tip));
    action->setCheckable(row.checkable);
    connect(action, &QAction::triggered, this, [this, id = row.id] { Execute(id); });
    if (menu) {
        menu->addAction(action);
    } else {
        addAction(action);  // reachable by its keys only
    }
    actions_[row.id] = action;
    return action;
}

// The menus in the table's order: a menu begins with its first row, the
// converter's submenu where its first row stands in the device menu.
void CMainFrame::BuildMenus() {
    std::map<MenuOf, QMenu*> menus;
    auto menuOf = [&](MenuOf which) -> QMenu* {
        if (which == MenuOf::None) return nullptr;
        QMenu*& menu = menus[which];
        if (!menu) {
            const QString title = QString::fromUtf8(MenuTitle(which));
            menu = which == MenuOf::Converter ? menus[MenuOf::Device]->addMenu(title)
                                              : menuBar()->addMenu(title);
        }
        return menu;
    };
    for (const CommandRow& row : CommandTable()) {
        QMenu* menu = menuOf(row.menu);
        if (row.id == 0) {
            menu->addSeparator();
        } else {
            AddCommand(row, menu);
        }
    }
    fileMenu_ = menus[MenuOf::File];
    deviceMenu_ = menus[MenuOf::Device];
    recentAnchor_ = actions_[ID_FILE_MRU];
    ConnectCommandStates();
}

// What the checkable commands show, kept in step with what they stand for.
void CMainFrame::ConnectCommandStates() {
    actions_[ID_DIFFERENCES_BEFORE_WRITE]->setChecked(document_.showDifferencesBeforeWrite());
    actions_[ID_VIEW_STATUS_BAR]->setChecked(true);
    QAction* semi = actions_[ID_CONVERTER_SEMI];
    QAction* automatic = actions_[ID_CONVERTER_AUTO];
    auto* converters = new QActionGroup(this);
    for (QAction* a : {semi, automatic}) converters->addAction(a);
    connect(deviceMenu_, &QMenu::aboutToShow, this, [this, semi, automatic] {
        const bool semiAutomatic = document_.device().port().directionMode.load() == 0;
        semi->setChecked(semiAutomatic);
        automatic->setChecked(!semiAutomatic);
    });
    QAction* monitorItem = actions_[ID_BUS_MONITOR];
    connect(monitor_, &QDockWidget::visibilityChanged, monitorItem, [this, monitorItem] {
        // Docked behind another tab counts as shown; only a closed monitor unchecks.
        monitorItem->setChecked(!monitor_->isHidden());
    });
}

// What each command does.
void CMainFrame::Execute(int id) {
    Device& device = document_.device();
    const bool checked = actions_[id]->isChecked();
    switch (id) {
        case ID_FILE_NEW:
            return NewDocument();
        case ID_FILE_OPEN:
            return OpenDocument();
        case ID_FILE_SAVE:
            SaveDocument();
            return;
        case ID_FILE_SAVE_AS:
            SaveDocumentAs();
            return;
        case ID_APP_EXIT:
            close();
            return;
        case ID_READ_ALL:
        case ID_WRITE_ALL:
        case ID_WRITE_CHANGED:
        case ID_COMPARE:
            return RunDocumentJob(id);
        case ID_BATCH_WRITE:
            return RunBatchWriteDialog(this, device, prompter_);
        case ID_AUTO_READ:
            return SetAutoRead(checked);
        case ID_DIFFERENCES_BEFORE_WRITE:
            return document_.SetShowDifferencesBeforeWrite(checked);
        case ID_CHANGE_PASSWORD:
            return ChangePassword();
        case ID_FACTORY_RESET:
            return document_.FactoryReset();
        case ID_CALIBRATION:
            RunCalibrationWizard(this, device);
            if (calibrationEnded_) calibrationEnded_();
            return;
        case ID_SINGLE_POINT:
            return RunSinglePointDialog(this, device);
        case ID_CHECK_LINK:
            // The identity is read into parameters of its own: the
            // configuration is not touched off the window thread.
            return jobs_->Run([&device](WindowJobs::Context&) { device.Identify(true); });
        case ID_CONVERTER_SEMI:
        case ID_CONVERTER_AUTO:
            device.port().directionMode = id == ID_CONVERTER_SEMI ? 0 : 1;
            return;
        case ID_PORT_SETUP:
            RunPortSetupDialog(this, device, prompter_, store_);
            return;
        case ID_BUS_SURVEY:
            return RunSurveyDialog(this, device);
        case ID_LINK_DOCTOR:
            return RunDoctorDialog(this, device);
        case ID_SERVICE_REPORT:
            return ServiceReport();
        default:
            return ExecuteViewCommand(id, checked);
    }
}

void CMainFrame::ExecuteViewCommand(int id, bool checked) {
    switch (id) {
        case ID_VIEW_STATUS_BAR:
            return statusBar()->setVisible(checked);
        case ID_TREND_PLOT:
            plot().show();
            plot().raise();
            plot().activateWindow();
            return;
        case ID_BUS_MONITOR:
            return monitor_->setVisible(checked);
        case ID_SHOW_INDEXES:
            return view_->SetShowIndexes(checked);
        case ID_HELP:
            return document_.Help();
        case ID_APP_ABOUT:
            return About();
        case ID_EXPORT_HTML:
            return ExportParameterList();
        case ID_PROGRAM_NETWORK:
            return document_.ProgramNetworkSettings();
        case ID_APPLY_NETWORK:
            return document_.ApplyNewNetworkSettings();
        default:
            return;
    }
}

// A job of the transfer thread under the wait cursor; the document tells the
// views what it changed.
void CMainFrame::RunDocumentJob(int id) {
    WaitCursor wait;
    switch (id) {
        case ID_READ_ALL:
            document_.ReadAll();
            break;
        case ID_WRITE_ALL:
            document_.WriteAll();
            break;
        case ID_WRITE_CHANGED:
            document_.WriteChanged();
            break;
        case ID_COMPARE:
            document_.Compare();
            break;
        default:
            break;
    }
}

void CMainFrame::ServiceReport() {
    const auto path = RunServiceReport(this, document_, view_->polling(), *progress_, prompter_);
    if (path) statusBar()->showMessage(QStringLiteral("Отчёт о приборе записан в ") + *path);
}

void CMainFrame::BuildToolBar() {
    QToolBar* tools = addToolBar(QStringLiteral("Стандартная"));
    tools->setObjectName(QStringLiteral("standard"));
    tools->setIconSize(QSize(16, 16));
    tools->setMovable(true);
    tools->setFloatable(true);
    tools->setAllowedAreas(Qt::AllToolBarAreas);
    int group = 0;
    for (const CommandRow& row : CommandTable()) {
        if (!row.image) continue;
        if (group != 0 && row.toolGroup != group) tools->addSeparator();
        group = row.toolGroup;
        QAction* a = actions_[row.id];
        a->setIcon(ToolIcon(row.image));
        tools->addAction(a);
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* status = statusBar();
    // An empty message pane says the program waits for the operator.
    connect(status, &QStatusBar::messageChanged, this, [status](const QString& message) {
        if (message.isEmpty()) status->showMessage(QString::fromUtf8(kIdlePrompt));
    });
    status->showMessage(QString::fromUtf8(kIdlePrompt));
    // The line opens on whichever thread needs it; the bar looks twice a second.
    lineLabel_ = new QLabel(status);
    lineLabel_->setObjectName(QStringLiteral("lineLabel"));
    status->addPermanentWidget(lineLabel_);
    auto* lineTimer = new QTimer(this);
    connect(lineTimer, &QTimer::timeout, this, [this] { ShowLine(); });
    lineTimer->start(500);
    ShowLine();
}

void CMainFrame::ShowLine() {
    const QString text = Q(LineInUseText(CurrentLineInUse()));
    if (lineLabel_->text() != text) lineLabel_->setText(text);
}

CTrendPlot& CMainFrame::plot() {
    if (!plot_) {
        plot_ = new CTrendPlot(this);
        KeepPlotLayout();
    }
    return *plot_;
}

// The module's commands wait while the window's own exchange (a group read,
// a link check) runs: one exchange job at a time, none over another's values.
void CMainFrame::UpdateCommandState() {
    const bool device = !processState().hasOption(OPT_NO_DEVICE);
    const bool busy = jobs_->busy();
    for (const CommandRow& row : CommandTable()) {
        if (row.needsModule || row.exchanges)
            actions_[row.id]->setEnabled((device || !row.needsModule) && !(busy && row.exchanges));
    }
    deviceMenu_->menuAction()->setEnabled(device);
}

void CMainFrame::RunWaitingCommands() {
    while (!waitingCommands_.empty() && !jobs_->busy()) {
        const int id = waitingCommands_.front();
        waitingCommands_.erase(waitingCommands_.begin());
        RunCommand(id);
    }
}

QAction* CMainFrame::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::RunCommand(int id) {
    QAction* a = action(id);
    // Asked for by a program rather than a click: it waits for its turn.
    const CommandRow* row = FindCommand(id);
    if (a && row && row->exchanges && jobs_->busy()) {
        waitingCommands_.push_back(id);
        return;
    }
    if (a && a->isEnabled()) a->trigger();
}

void CMainFrame::PostCommand(int id) {
    PostToThread(this, [this, id] { RunCommand(id); });
}

void CMainFrame::SetAutoRead(bool on) {
    actions_[ID_AUTO_READ]->setChecked(on);
    view_->SetAutoRead(on);
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(Q(kProgramTitle) + QStringLiteral(" - ") +
                   QString::fromStdString(document_.title()));
}

void CMainFrame::SetPinned(bool pinned) {
    pinned_ = pinned;
    // Changing the flags hides a shown window.
    const bool shown = isVisible();
    const auto showAgain = qScopeGuard([this, shown] {
        if (shown) show();
    });
    if (pinned) {
        pinnedAt_ = pos();
        setFixedSize(size());
        setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    }
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && pinned_ &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        QTimer::singleShot(0, this, [this] { setWindowState(Qt::WindowNoState); });
    }
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (pinned_ && pos() != pinnedAt_) {
        QTimer::singleShot(0, this, [this] {
            if (pinned_) move(pinnedAt_);
        });
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!initialUpdateDone_) {
        initialUpdateDone_ = true;
        view_->OnInitialUpdate();
    }
}

void CMainFrame::CloseForCaller() {
    AbandonQuestions();
    close();
}

void CMainFrame::AbandonQuestions() {
    if (auto* boxes = dynamic_cast<QtPrompter*>(&prompter_)) boxes->Abandon(true);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A job's progress is modal: the close waits for its very end, the
    // display gone or not (what the job's end hands to the window comes after
    // the display). Asked again every 100 ms; the job ends by itself, by
    // "Прервать" or by the exit event.
    if (progress_->isVisible() || !progress_->jobFinished()) {
        event->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    // A group read stops before its next parameter; the window goes once it has.
    if (jobs_->busy()) {
        jobs_->RequestStop();
        event->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    if (!SaveModified()) {
        event->ignore();
        return;
    }
    SaveLayout();
    // The application quits with the last window, the dialogs over it
    // included; their workers are joined as the dialogs go, on this thread: a
    // question of theirs could never be shown now.
    AbandonQuestions();
    event->accept();
}

bool CMainFrame::SaveModified() {
    if (!document_.modified()) return true;
    const Answer answer = prompter_.ask("Сохранить изменения в " + document_.title() + "?",
                                        kProgramTitle, Buttons::YesNoCancel, Icon::Question);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes) return SaveDocument();
    return true;
}

void CMainFrame::NewDocument() {
    if (!SaveModified()) return;
    document_.NewDocument();
}

void CMainFrame::OpenDocument() {
    if (!SaveModified()) return;
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Открытие файла конфигурации"), QString(), QString::fromUtf8(kFilter));
    if (!path.isEmpty()) OpenFile(path);
}

bool CMainFrame::OpenFile(const QString& path) {
    bool opened = false;
    {
        WaitCursor wait;
        opened = document_.OpenDocument(path.toStdString());
    }
    if (opened) AddRecentFile(QFileInfo(path).absoluteFilePath());
    return opened;
}

bool CMainFrame::SaveDocument() {
    if (document_.path().empty()) return SaveDocumentAs();
    if (const auto error = document_.SaveDocument(document_.path())) {
        prompter_.notify(*error, "Ошибка сохранения файла", Icon::Error);
        return false;
    }
    return true;
}

bool CMainFrame::SaveDocumentAs() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Сохранение файла конфигурации"),
        QString::fromStdString(document_.path().empty() ? "ZEP8.zep" : document_.path()),
        QString::fromUtf8(kFilter));
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".zep");
    if (const auto error = document_.SaveDocument(path.toStdString())) {
        prompter_.notify(*error, "Ошибка сохранения файла", Icon::Error);
        return false;
    }
    AddRecentFile(QFileInfo(path).absoluteFilePath());
    return true;
}

void CMainFrame::ChangePassword() {
    CChangePassword dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    document_.ChangePassword(dialog.oldPassword(), dialog.newPassword(), dialog.newPasswordAgain());
}

void CMainFrame::About() {
    CAboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::ExportParameterList() {
    std::string error;
    std::optional<std::string> path;
    {
        WaitCursor wait;
        path = WriteParameterListPage(ExportFolder(), error);
    }
    if (!path) {
        prompter_.notify("Не удалось записать список параметров:\n" + error, kProgramTitle,
                         Icon::Error);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Список параметров записан в ") +
                             QString::fromStdString(*path));
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(*path)));
}

void CMainFrame::LoadRecentFiles() {
    recent_.clear();
    for (const std::string& path : Preferences(store_).recentFiles())
        recent_.append(QString::fromStdString(path));
    UpdateRecentMenu();
}

void CMainFrame::AddRecentFile(const QString& file) {
    // As the system writes paths: C:\folder\file.zep on Windows.
    const QString path = QDir::toNativeSeparators(file);
    recent_.removeAll(path);
    recent_.prepend(path);
    while (recent_.size() > Preferences::kRecentFiles) recent_.removeLast();
    std::vector<std::string> files;
    for (const QString& file : recent_) files.push_back(file.toStdString());
    Preferences(store_).StoreRecentFiles(files);
    UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        a->deleteLater();
    }
    recentActions_.clear();
    recentAnchor_->setVisible(recent_.isEmpty());
    recentAnchor_->setEnabled(false);
    for (int i = 0; i < recent_.size(); ++i) {
        const QString path = recent_[i];
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this);
        connect(a, &QAction::triggered, this, [this, path] {
            if (SaveModified()) OpenFile(path);
        });
        fileMenu_->insertAction(recentAnchor_, a);
        recentActions_.append(a);
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    const QString path = urls.first().toLocalFile();
    // Opened after the drop ends, so that message boxes do not run inside it.
    QTimer::singleShot(0, this, [this, path] {
        if (SaveModified()) OpenFile(path);
    });
}

}  // namespace zep8
