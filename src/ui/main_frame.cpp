#include "ui/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/document.h"
#include "app/preferences.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"
#include "ui/about_dialog.h"
#include "ui/change_password.h"
#include "ui/config_tree_view.h"
#include "ui/device_dialogs.h"
#include "ui/exchange_monitor.h"
#include "ui/parameter_list_page.h"
#include "ui/progress_dialog.h"
#include "ui/service_report_command.h"
#include "ui/startup_fonts.h"
#include "ui/tree_icons.h"
#include "ui/trend_plot.h"
#include "ui/widget_helpers.h"
#include "ui/window_jobs.h"

namespace zep8 {
namespace {

constexpr const char* kFilter = "Файлы конфигурации для ЗЕП8 (*.zep);;Все файлы (*.*)";
constexpr const char* kIdlePrompt = "Ready";

// The status-bar prompt and the tool tip of a command.
struct Prompt {
    int id;
    const char* prompt;
    const char* tip;
};
constexpr Prompt kPrompts[] = {
    {ID_READ_ALL, "Считать все параметры из прибора", "Считать все параметры"},
    {ID_WRITE_ALL, "Записать все параметры из прибора", "Записать все параметры"},
    {ID_WRITE_CHANGED, "Записать только измененные параметры из прибора", "Записать изменения"},
    {ID_FILE_NEW, "Создать новую конфигурацию", "Новый"},
    {ID_FILE_OPEN, "Открыть существующую конфигурацию", "Открыть"},
    {ID_FILE_SAVE, "Сохранить конфигурацию", "Сохранить"},
    {ID_APP_ABOUT, "Показать информацию о программе", "О программе..."},
    {ID_APP_EXIT, "Закрыть программу-конфигуратор", "Закрыть"},
};

// Commands that need the module: off in a run without one. The program's own
// network settings (Alt+P) and their apply (Alt+A) stay on: a run without the
// module is how new network settings are prepared.
constexpr int kDeviceCommands[] = {ID_READ_ALL,      ID_WRITE_ALL,   ID_WRITE_CHANGED,
                                   ID_COMPARE,       ID_AUTO_READ,   ID_CHANGE_PASSWORD,
                                   ID_FACTORY_RESET, ID_CALIBRATION, ID_SINGLE_POINT,
                                   ID_CHECK_LINK,    ID_PORT_SETUP};

QList<QKeySequence> Keys(std::initializer_list<QKeySequence> keys) {
    return QList<QKeySequence>(keys);
}

}  // namespace

CMainFrame::CMainFrame(Document& document, Prompter& prompter, SettingsStore& store)
    : document_(document), prompter_(prompter), store_(store) {
    WaitForFontWarmUp();
    jobs_ = std::make_unique<WindowJobs>();
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
}

QAction* CMainFrame::AddCommand(QMenu* menu, int id, const QString& text,
                                const QList<QKeySequence>& keys, std::function<void()> handler) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    for (const Prompt& p : kPrompts) {
        if (p.id == id) {
            action->setStatusTip(QString::fromUtf8(p.prompt));
            action->setToolTip(QString::fromUtf8(p.tip));
        }
    }
    connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    if (menu) {
        menu->addAction(action);
    } else {
        addAction(action);  // reachable by its keys only
    }
    actions_[id] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    QMenuBar* bar = menuBar();
    Document& doc = document_;

    fileMenu_ = bar->addMenu(QStringLiteral("&Файл"));
    AddCommand(fileMenu_, ID_FILE_NEW, QStringLiteral("&Новый\tCtrl+N"), Keys({QKeySequence::New}),
               [this] { NewDocument(); });
    AddCommand(fileMenu_, ID_FILE_OPEN, QStringLiteral("&Открыть...\tCtrl+O"),
               Keys({QKeySequence::Open}), [this] { OpenDocument(); });
    AddCommand(fileMenu_, ID_FILE_SAVE, QStringLiteral("&Сохранить\tCtrl+S"),
               Keys({QKeySequence::Save}), [this] { SaveDocument(); });
    AddCommand(fileMenu_, ID_FILE_SAVE_AS, QStringLiteral("Сохранить &как..."), {},
               [this] { SaveDocumentAs(); });
    fileMenu_->addSeparator();
    recentAnchor_ =
        AddCommand(fileMenu_, ID_FILE_MRU, QStringLiteral("Последние файлы"), {}, [] {});
    fileMenu_->addSeparator();
    AddCommand(fileMenu_, ID_APP_EXIT, QStringLiteral("&Выход"), {}, [this] { close(); });

    deviceMenu_ = bar->addMenu(QStringLiteral("Прибор &ЗЕП8"));
    // A job of the transfer thread under the wait cursor; the document tells
    // the views what it changed.
    auto job = [this](std::function<bool(Document&)> run) {
        return [this, run = std::move(run)] {
            WaitCursor wait;
            run(document_);
        };
    };
    AddCommand(deviceMenu_, ID_READ_ALL, QStringLiteral("Считать все параметры\tAlt+R"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_R)}),
               job([](Document& d) { return d.ReadAll(); }));
    AddCommand(deviceMenu_, ID_WRITE_ALL, QStringLiteral("Записать все параметры\tAlt+W"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_W)}),
               job([](Document& d) { return d.WriteAll(); }));
    AddCommand(deviceMenu_, ID_WRITE_CHANGED, QStringLiteral("Записать изменения\tAlt+U"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_U)}),
               job([](Document& d) { return d.WriteChanged(); }));
    AddCommand(deviceMenu_, ID_COMPARE, QStringLiteral("Сравнить с параметрами в приборе"), {},
               job([](Document& d) { return d.Compare(); }));
    AddCommand(deviceMenu_, ID_BATCH_WRITE,
               QStringLiteral("Записать конфигурацию в несколько приборов"), {},
               [this] { RunBatchWriteDialog(this, document_.device(), prompter_); });
    QAction* autoRead =
        AddCommand(deviceMenu_, ID_AUTO_READ, QStringLiteral("Режим автоматического чтения"), {},
                   [this] { SetAutoRead(actions_[ID_AUTO_READ]->isChecked()); });
    autoRead->setCheckable(true);
    QAction* showDifferences =
        AddCommand(deviceMenu_, ID_DIFFERENCES_BEFORE_WRITE,
                   QStringLiteral("Показывать отличия перед записью"), {}, [this] {
                       document_.SetShowDifferencesBeforeWrite(
                           actions_[ID_DIFFERENCES_BEFORE_WRITE]->isChecked());
                   });
    showDifferences->setCheckable(true);
    showDifferences->setChecked(doc.showDifferencesBeforeWrite());
    deviceMenu_->addSeparator();
    AddCommand(deviceMenu_, ID_CHANGE_PASSWORD, QStringLiteral("Смена пароля"), {},
               [this] { ChangePassword(); });
    AddCommand(deviceMenu_, ID_FACTORY_RESET,
               QStringLiteral("Восстановление заводских установок\tAlt+I"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_I)}), [this] { document_.FactoryReset(); });
    AddCommand(deviceMenu_, ID_CALIBRATION, QStringLiteral("Юстировка\tAlt+C"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_C)}), [this] {
                   RunCalibrationWizard(this, document_.device(), prompter_);
                   if (calibrationEnded_) calibrationEnded_();
               });
    deviceMenu_->addSeparator();
    AddCommand(deviceMenu_, ID_SINGLE_POINT,
               QStringLiteral("Опрос отдельного параметра\tCtr+Alt+S"),
               Keys({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S)}),
               [this] { RunSinglePointDialog(this, document_.device(), prompter_); });
    AddCommand(deviceMenu_, ID_CHECK_LINK, QStringLiteral("Проверить связь с прибором\tAlt+N"),
               Keys({QKeySequence(Qt::ALT | Qt::Key_N)}), [this] {
                   // The identity is read into parameters of its own: the
                   // configuration is not touched off the window thread.
                   Device& device = document_.device();
                   jobs_->Run([&device](WindowJobs::Context&) { device.Identify(true); });
               });
    QMenu* converter = deviceMenu_->addMenu(QStringLiteral("Преобразователь интерфейса"));
    auto* converters = new QActionGroup(this);
    QAction* semi =
        AddCommand(converter, ID_CONVERTER_SEMI, QStringLiteral("Полуавтоматический (PK-2)"), {},
                   [&doc] { doc.device().port().directionMode = 0; });
    QAction* automatic =
        AddCommand(converter, ID_CONVERTER_AUTO, QStringLiteral("Автоматический (RT 4410)"), {},
                   [&doc] { doc.device().port().directionMode = 1; });
    for (QAction* a : {semi, automatic}) {
        a->setCheckable(true);
        converters->addAction(a);
    }
    connect(deviceMenu_, &QMenu::aboutToShow, this, [this, semi, automatic] {
        const bool semiAutomatic = document_.device().port().directionMode.load() == 0;
        semi->setChecked(semiAutomatic);
        automatic->setChecked(!semiAutomatic);
    });
    AddCommand(deviceMenu_, ID_PORT_SETUP, QStringLiteral("Настройка порта"), {},
               [this] { RunPortSetupDialog(this, document_.device(), prompter_); });
    AddCommand(deviceMenu_, ID_BUS_SURVEY, QStringLiteral("Поиск приборов на линии"), {},
               [this] { RunSurveyDialog(this, document_.device()); });
    AddCommand(deviceMenu_, ID_LINK_DOCTOR, QStringLiteral("Диагностика связи"), {},
               [this] { RunDoctorDialog(this, document_.device()); });
    AddCommand(deviceMenu_, ID_SERVICE_REPORT, QStringLiteral("Отчёт о приборе..."), {}, [this] {
        const auto path =
            RunServiceReport(this, document_, view_->polling(), *progress_, prompter_);
        if (path) statusBar()->showMessage(QStringLiteral("Отчёт о приборе записан в ") + *path);
    });

    QMenu* viewMenu = bar->addMenu(QStringLiteral("Пр&осмотр"));
    QAction* statusBarItem =
        AddCommand(viewMenu, ID_VIEW_STATUS_BAR, QStringLiteral("По&дсказки"), {},
                   [this] { statusBar()->setVisible(actions_[ID_VIEW_STATUS_BAR]->isChecked()); });
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    viewMenu->addSeparator();
    AddCommand(viewMenu, ID_TREND_PLOT, QStringLiteral("График опроса входов"), {}, [this] {
        plot().show();
        plot().raise();
        plot().activateWindow();
    });
    QAction* monitorItem =
        AddCommand(viewMenu, ID_BUS_MONITOR, QStringLiteral("Монитор обмена"), {},
                   [this] { monitor_->setVisible(actions_[ID_BUS_MONITOR]->isChecked()); });
    monitorItem->setCheckable(true);
    connect(monitor_, &QDockWidget::visibilityChanged, monitorItem, [this, monitorItem] {
        // Docked behind another tab counts as shown; only a closed monitor unchecks.
        monitorItem->setChecked(!monitor_->isHidden());
    });
    QAction* indexes =
        AddCommand(viewMenu, ID_SHOW_INDEXES, QStringLiteral("Показывать линейные индексы"), {},
                   [this] { view_->SetShowIndexes(actions_[ID_SHOW_INDEXES]->isChecked()); });
    indexes->setCheckable(true);

    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Справка"));
    AddCommand(helpMenu, ID_HELP, QStringLiteral("Справка\tF1"), Keys({QKeySequence(Qt::Key_F1)}),
               [this] { document_.Help(); });
    helpMenu->addSeparator();
    AddCommand(helpMenu, ID_APP_ABOUT, QStringLiteral("&О программе..."), {}, [this] { About(); });
    AddCommand(helpMenu, ID_EXPORT_HTML, QStringLiteral("Экспорт списка параметров в HTML"), {},
               [this] { ExportParameterList(); });

    // Reached by their keys only.
    AddCommand(
        nullptr, ID_PROGRAM_NETWORK, QString(),
        Keys({QKeySequence(Qt::ALT | Qt::Key_P), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_P)}),
        [this] { document_.ProgramNetworkSettings(); });
    AddCommand(nullptr, ID_APPLY_NETWORK, QString(), Keys({QKeySequence(Qt::ALT | Qt::Key_A)}),
               [this] { document_.ApplyNewNetworkSettings(); });
}

void CMainFrame::BuildToolBar() {
    QToolBar* tools = addToolBar(QStringLiteral("Стандартная"));
    tools->setObjectName(QStringLiteral("standard"));
    tools->setIconSize(QSize(16, 16));
    tools->setMovable(true);
    tools->setFloatable(true);
    tools->setAllowedAreas(Qt::AllToolBarAreas);
    struct Button {
        int id;
        const char* icon;
    };
    const Button buttons[] = {
        {ID_FILE_NEW, "new"},
        {ID_FILE_OPEN, "open"},
        {ID_FILE_SAVE, "save"},
        {0, nullptr},
        {ID_READ_ALL, "read"},
        {ID_WRITE_ALL, "write"},
        {ID_WRITE_CHANGED, "write_changed"},
        {0, nullptr},
        {ID_TREND_PLOT, "plot"},
        {ID_APP_ABOUT, "about"},
    };
    for (const Button& b : buttons) {
        if (b.id == 0) {
            tools->addSeparator();
            continue;
        }
        QAction* a = actions_[b.id];
        a->setIcon(ToolIcon(b.icon));
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
}

CTrendPlot& CMainFrame::plot() {
    if (!plot_) {
        plot_ = new CTrendPlot(this);
        KeepPlotLayout();
    }
    return *plot_;
}

void CMainFrame::UpdateCommandState() {
    const bool device = !processState().hasOption(OPT_NO_DEVICE);
    for (int id : kDeviceCommands) actions_[id]->setEnabled(device);
    deviceMenu_->menuAction()->setEnabled(device);
}

QAction* CMainFrame::action(int id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::RunCommand(int id) {
    QAction* a = action(id);
    if (a && a->isEnabled()) a->trigger();
}

void CMainFrame::PostCommand(int id) {
    QMetaObject::invokeMethod(
        this, [this, id] { RunCommand(id); }, Qt::QueuedConnection);
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

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A job's progress is modal: the close waits for its end.
    if (progress_->isVisible()) {
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

void CMainFrame::AddRecentFile(const QString& path) {
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
