#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/event.h"

namespace zep8 {

class AutomatedRun;
class CMainFrame;
class ExitWatcher;
class LinePort;
class Prompter;
class ViewerLauncher;
class WindowHost;

// A run of the program with its window: the document, the main window over
// it, the command line's action posted to the window, and the watchers that
// let a calling program close it.
class WindowSession {
  public:
    // `port`: the document's line; a plain serial port when empty (a
    // benchmark passes one that counts what crosses the line).
    WindowSession(RunContext& run, Prompter& prompter, std::unique_ptr<LinePort> port = nullptr);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    // Builds the document and shows the window placed as the command line
    // says; posts the automated action and starts the watchers. False when
    // the program ends at once (a cancelled start, a link test, a file the
    // run cannot go on without).
    bool Start();

    CMainFrame& frame() const { return *frame_; }
    Document& document() const { return *document_; }
    // The process exit code once the window has closed.
    int ExitCode(int normalCode) const;

  private:
    void StartAutomation();

    RunContext& run_;
    Prompter& prompter_;
    Event stop_{Event::Reset::Manual};
    Event done_{Event::Reset::Manual, true};
    std::unique_ptr<LinePort> port_;
    std::unique_ptr<ViewerLauncher> viewers_;  // the manual's viewer, not waited for
    std::unique_ptr<WindowHost> host_;
    std::unique_ptr<Document> document_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<ExitWatcher> exitWatcher_;
    std::unique_ptr<AutomatedRun> automation_;
};

// The program with windows (a QApplication exists): returns the exit code.
int RunWithWindows(const std::vector<std::string>& args, RunEnvironment& env);

}  // namespace zep8
