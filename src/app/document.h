#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "model/common_params.h"
#include "model/configuration_file.h"
#include "ops/device/device.h"
#include "platform/child_process.h"

namespace zep8 {

class LinePort;
class Prompter;
class SettingsStore;

// The windows' part of the document's commands. The automated run has no
// windows and takes these defaults.
class DocumentUi {
  public:
    virtual ~DocumentUi() = default;
    // The port set-up dialog at start when no module answered; true when the
    // operator left it with "Выход".
    virtual bool PortSetupSaysExit(Device&) { return false; }
    // The apply dialog; true when it ended with OK.
    virtual bool ApplyDialog(Device&) { return false; }
    // The program settings dialog; true when it ended with OK.
    virtual bool ProgramSettingsDialog(Device&) { return false; }
    // The whole list behind the compare result's "Подробнее...".
    virtual void ShowDifferences(const DifferenceList&) {}
    // What a write is about to overwrite; true goes on with it ("Записать").
    virtual bool ConfirmOverwrite(const DifferenceList&) { return true; }
};

// What the document needs to know of the run.
struct DocumentSetup {
    OptionRecord options;
    std::string password;     // the operator password loaded at start, as kept (text or hash)
    std::string programPath;  // absolute path of the program file
    ProgramInfo info = CurrentProgramInfo();
    // Opens the manual (ManualPath) without waiting for the viewer; `failed`
    // runs on the window thread when the viewer cannot start or ends in a
    // failure. Empty: xdg-open, of which only a failed start is told.
    std::function<void(const std::string& file, std::function<void()> failed)> openHelp;
    // Where an automated run tells a failure that nobody would be there to
    // click away (a read whose file could not be saved): the window's run
    // writes the closing line (FailureLine) to standard error. Empty: the
    // prompter tells it, as the terminal's run does before its own closing line.
    std::function<void(int code, const std::string& reason)> failureLine;
    // --trace: sees the session's exchanges from the first one on.
    ExchangeTap* trace = nullptr;
};

// The manual at ../share/zep8/ from the program's folder: installed under a
// prefix, or in the build tree, where the build copies it (build/src/share).
// On Windows in manual\ beside zep8.exe, as the zip and the installer put it.
std::string ManualPath(const std::string& programPath);

// The one configuration of the run: the module's groups in the device
// session, the program's service rows, the file they came from, and the
// commands that act on them.
class Document : public SessionHost {
  public:
    Document(std::unique_ptr<LinePort> port, SettingsStore& store, Prompter& prompter,
             DocumentUi& ui, DocumentSetup setup);
    ~Document() override;

    // Refused after a cancelled start; empties the module's groups.
    bool NewDocument();
    // Refused after a cancelled start, for an unreadable file, for a missing
    // file when writing it to the module was asked for, and always in the
    // network-parameter edit run (which saves the file and ends).
    bool OpenDocument(const std::string& path);
    // The document the command line asks for: the named file, or a new one.
    // False when the program must end: a named file that does not load ends
    // an automated run with a file error (200) and is left as it is, also
    // when it was named for /read.
    bool Start();
    // The reason when saving failed.
    std::optional<std::string> SaveDocument(const std::string& path);

    bool ReadAll();
    // With "Показывать отличия перед записью" on (and an operator to ask), the
    // write first shows what it would overwrite and goes on only when told to.
    bool WriteAll() { return Write(true); }
    bool WriteChanged() { return Write(false); }
    bool Compare();
    bool showDifferencesBeforeWrite() const;
    void SetShowDifferencesBeforeWrite(bool on);
    void FactoryReset();
    void ChangePassword(const std::string& oldPassword, const std::string& newPassword,
                        const std::string& again);
    void ProgramNetworkSettings();
    void ApplyNewNetworkSettings();
    void Help();
    // The link options of the command line into the program's (and, with
    // "aply" or in the edit run, the module's) network settings.
    void ApplyLinkOptions();

    void NetworkSettingsChanged() override;
    void SaveAfterRead() override;

    Device& device() { return device_; }
    CommonParams& serviceNode() { return serviceNode_; }
    const std::string& path() const { return path_; }
    const std::string& title() const { return title_; }
    bool modified() const { return modified_; }
    // An edit in the window changed the configuration.
    void SetModified(bool modified);
    // Where the document says what changed: values, lists, title, modified flag.
    ChangeNotices& changes() { return device_.changes; }
    bool startupCancelled() const { return startupCancelled_; }
    bool linkFound() const { return linkFound_; }
    ConfigurationNodes nodes();

  private:
    static bool CommandLineAsks(std::uint32_t action);
    void ClearModuleValues();
    // The file, its name and the modified flag changed, and with them maybe
    // the contents.
    void AnnounceFile(std::optional<ChangeNotice> contents);
    bool Write(bool all);
    std::vector<std::string> ProgramSettingValues() const;

    SettingsStore& store_;
    Prompter& prompter_;
    DocumentUi& ui_;
    DocumentSetup setup_;
    Device device_;
    CommonParams serviceNode_;
    bool startupCancelled_ = false;
    // The program's port settings as the store gave them at start.
    std::vector<std::string> loadedProgramSettings_;
    bool linkFound_ = false;
    bool modified_ = false;
    std::string path_;
    std::string title_;
    // Viewers of the manual started without openHelp, collected once ended.
    std::vector<ChildProcess> helpViewers_;
};

}  // namespace zep8
