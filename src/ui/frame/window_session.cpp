#include "ui/frame/window_session.h"

#include <QApplication>
#include <QFileInfo>

#include "app/automated_run.h"
#include "app/exit_code.h"
#include "app/preferences.h"
#include "app/watchers.h"
#include "link/line/line_by_name.h"
#include "link/remote/tls_trust.h"
#include "platform/process_state.h"
#include "ui/dialogs/device_dialogs.h"
#include "ui/dialogs/differences_dialog.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/qt_prompter.h"
#include "ui/frame/qt_translations.h"
#include "ui/frame/viewer_launcher.h"
#include "ui/frame/widget_helpers.h"
#include "ui/tree/config_tree_view.h"

namespace zep8 {

// The window's side of the document and of the transfer thread. What the
// transfer thread sends at the end of a job runs on the window thread while
// that thread waits, as a sent window message would.
class WindowHost : public QObject, public DocumentUi, public SessionHost {
  public:
    WindowHost(Prompter& prompter, SettingsStore& store) : prompter_(prompter), store_(store) {}

    void Attach(Document* document, CMainFrame* frame) {
        document_ = document;
        frame_ = frame;
    }

    // The document's dialogs: before the main window exists, they have no parent.
    bool PortSetupSaysExit(Device& device) override {
        return RunPortSetupDialog(frame_, device, prompter_, store_);
    }
    bool ApplyDialog(Device& device) override { return RunApplyDialog(frame_, device); }
    bool ProgramSettingsDialog(Device& device) override {
        return RunProgramSettingsDialog(frame_, device);
    }
    void ShowDifferences(const DifferenceList& differences) override {
        ShowDifferencesDialog(frame_, differences);
    }
    bool ConfirmOverwrite(const DifferenceList& differences) override {
        return ConfirmOverwriteDialog(frame_, differences);
    }

    void NetworkSettingsChanged() override {
        OnWindowThread(Qt::BlockingQueuedConnection, [this] {
            if (document_) document_->NetworkSettingsChanged();
        });
    }
    void SaveAfterRead() override {
        OnWindowThread(Qt::BlockingQueuedConnection, [this] {
            if (document_) document_->SaveAfterRead();
        });
    }

  private:
    template <typename Call>
    void OnWindowThread(Qt::ConnectionType otherThread, Call call) {
        OnThreadOf(this, otherThread, call);
    }

    Prompter& prompter_;
    SettingsStore& store_;
    Document* document_ = nullptr;
    CMainFrame* frame_ = nullptr;
};

WindowSession::WindowSession(RunContext& run, Prompter& prompter, std::unique_ptr<LinePort> port)
    : run_(run),
      prompter_(prompter),
      port_(port ? std::move(port) : std::make_unique<LineByName>()),
      viewers_(std::make_unique<ViewerLauncher>()),
      host_(std::make_unique<WindowHost>(prompter, run.env.store)) {}

WindowSession::~WindowSession() {
    stop_.set();
    automation_.reset();
    exitWatcher_.reset();
    if (document_) {
        Device& device = document_->device();
        device.SetObserver(nullptr);
        device.SetHost(nullptr);
        device.SetDoneEvent(nullptr);
    }
    host_->Attach(nullptr, nullptr);
    frame_.reset();
    document_.reset();
    // Every line of the run has gone: nobody asks any more, and what was
    // trusted for the run alone goes with it.
    SetCertificateAsker(nullptr);
    ForgetSessionTrust();
}

namespace {

// A server whose certificate no authority vouches for: the operator is asked
// through the prompter, on the thread of the line that opens (the window
// thread shows the question). "Доверять этому серверу" pins the fingerprint in
// the settings.
TrustAnswer AskOperatorToTrust(Prompter& prompter, SettingsStore& store,
                               const CertificateFacts& facts) {
    const std::vector<std::string> buttons(std::begin(kTrustButtons), std::end(kTrustButtons));
    const int refuse = static_cast<int>(TrustAnswer::Refuse);
    const int choice =
        prompter.choose(TrustQuestionText(facts), kTrustCaption, buttons, Icon::Warning, refuse);
    const auto answer =
        choice >= 0 && choice <= refuse ? static_cast<TrustAnswer>(choice) : TrustAnswer::Refuse;
    if (answer == TrustAnswer::Pin)
        Preferences(store).PinFingerprint(facts.server, facts.fingerprint);
    return answer;
}

}  // namespace

bool WindowSession::Start() {
    // Before the first window: the port set-up at start may already show.
    InstallQtTranslations();
    // Before the first line opens. A run the command line drives asks nobody:
    // an untrusted server is refused with 201, as in the terminal.
    if (!processState().automation()) {
        SetCertificateAsker(
            [&prompter = prompter_, &store = run_.env.store](const CertificateFacts& facts) {
                return AskOperatorToTrust(prompter, store, facts);
            });
    }
    DocumentSetup setup = run_.MakeDocumentSetup();
    ViewerLauncher* viewers = viewers_.get();
    setup.openHelp = [viewers](const std::string& file, std::function<void()> failed) {
        viewers->Open(file, std::move(failed));
    };
    std::ostream& err = run_.env.err;
    setup.failureLine = [&err](int code, const std::string& reason) {
        err << FailureLine(code, reason, nullptr) << std::endl;
    };
    document_ = std::make_unique<Document>(std::move(port_), run_.env.store, prompter_, *host_,
                                           std::move(setup));
    if (!document_->Start()) return false;

    frame_ = std::make_unique<CMainFrame>(*document_, prompter_, run_.env.store);
    host_->Attach(document_.get(), frame_.get());
    Device& device = document_->device();
    device.SetObserver(&frame_->progress());
    device.SetHost(host_.get());
    device.SetDoneEvent(&done_);

    const OptionRecord& o = run_.options;
    switch (StartOfWindow(o)) {
        case WindowStart::Placed:
            frame_->move(o.x, o.y);
            frame_->resize(o.width, o.height);
            frame_->show();
            frame_->SetPinned(true);
            break;
        case WindowStart::Minimised:
            frame_->showMinimized();
            break;
        case WindowStart::Maximised:
            // As the operator left it; the whole screen the first time.
            if (frame_->RestoreLayout()) {
                frame_->show();
            } else {
                frame_->showMaximized();
            }
            break;
    }
    ApplyConverterOption(o, device);
    // "autoread:on" wins over "silent", which reads nothing by itself.
    const ProcessState& state = processState();
    if (state.hasOption(OPT_AUTOREAD_ON)) {
        frame_->SetAutoRead(true);
    } else if (state.hasOption(OPT_AUTOREAD_OFF)) {
        frame_->SetAutoRead(false);
    }
    if (state.automation()) {
        StartAutomation();
    } else if (!o.fileArgument.empty() && !document_->path().empty()) {
        // The file the operator opened from the file manager, as the "Открыть" command keeps it.
        frame_->AddRecentFile(
            QFileInfo(QString::fromStdString(document_->path())).absoluteFilePath());
    }

    CMainFrame* frame = frame_.get();
    exitWatcher_ = std::make_unique<ExitWatcher>(
        stop_, run_.exitEvent.get(), [&device] { device.StopAll(); },
        [frame] { PostToThread(frame, [frame] { frame->CloseForCaller(); }); });
    return true;
}

namespace {

// The window posts the action to its main window, as the operator's command.
class WindowTarget : public AutomationTarget {
  public:
    explicit WindowTarget(CMainFrame& frame) : frame_(frame) {}
    void WriteAll() override { frame_.PostCommand(ID_WRITE_ALL); }
    void ReadAll() override { frame_.PostCommand(ID_READ_ALL); }
    bool CanCalibrate() const override { return true; }
    void Calibrate(std::function<void()> ended) override {
        frame_.SetCalibrationEnded(std::move(ended));
        frame_.PostCommand(ID_CALIBRATION);
    }

  private:
    CMainFrame& frame_;
};

}  // namespace

void WindowSession::StartAutomation() {
    CMainFrame* frame = frame_.get();
    WindowTarget target(*frame);
    automation_ = std::make_unique<AutomatedRun>(
        run_.options, stop_, done_, target,
        [frame] { PostToThread(frame, [frame] { frame->CloseForCaller(); }); },
        [frame] { PostToThread(frame, [frame] { frame->SetPinned(false); }); });
}

int WindowSession::ExitCode(int normalCode) const {
    return ExitCodeFor(processState().ExitStatus(), normalCode);
}

int RunWithWindows(const std::vector<std::string>& args, RunEnvironment& env) {
    RunContext run(ParseCommandLine(args), env);
    if (const int code = RunInformation(run.options, env); code != kRunGoesOn) return code;
    if (const int code = run.Prepare(); code != kRunGoesOn) return code;

    QtPrompter prompter;
    int normal = 0;
    {
        WindowSession session(run, prompter);
        if (!session.Start()) return session.ExitCode(0);
        prompter.setWindow(&session.frame());
        normal = QApplication::exec();
        prompter.setWindow(nullptr);
    }
    return ExitCodeFor(processState().ExitStatus(), normal);
}

}  // namespace zep8
