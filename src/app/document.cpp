#include "app/document.h"


#include <filesystem>
#include <fstream>

#include "app/exit_code.h"
#include "app/installation.h"
#include "app/preferences.h"
#include "model/catalogue.h"
#include "model/configuration_file.h"
#include "ops/polling/channel_polling.h"
#include "ops/network/network_apply.h"
#include "platform/file_path.h"
#include "platform/local_time.h"
#include "platform/password_hash.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/settings_store.h"

namespace zep8 {
namespace {

constexpr std::string_view kUntitled = "Имя не задано";

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(FilePath(path), error);
}

std::string Directory(const std::string& path) {
    const std::filesystem::path parent = FilePath(path).parent_path();
    return parent.empty() ? "." : Utf8Name(parent);
}

std::string ParityText(std::uint8_t parity) {
    switch (parity) {
        case 1:
            return std::string(kParityEven);
        case 2:
            return std::string(kParityOdd);
        case 3:
            return std::string(kParityNone);
        default:
            return std::string(kNoData);
    }
}

std::string NumberOrNoData(long long value) {
    return value != 0 ? std::to_string(value) : std::string(kNoData);
}

std::string TextOrNoData(const std::string& text) {
    return text.empty() ? std::string(kNoData) : text;
}

}  // namespace

Document::Document(std::unique_ptr<LinePort> port, SettingsStore& store, Prompter& prompter,
                   DocumentUi& ui, DocumentSetup setup)
    : store_(store),
      prompter_(prompter),
      ui_(ui),
      setup_(std::move(setup)),
      device_(std::move(port), prompter),
      serviceNode_(setup_.info),
      title_(kUntitled) {
    ProcessState& state = processState();
    device_.SetPassword(setup_.password);
    device_.SetHost(this);
    device_.SetErrorLogPath(setup_.options.errorLogPath);
    if (setup_.trace) device_.AddTap(setup_.trace);

    serviceNode_.InitParameters();
    RecordProgramNames(store_, setup_.info.version);
    // No installer made the program's key on this system: the first run does.
    if (!store_.hasKey(kProgramKey)) store_.createKey(kProgramKey);
    if (!setup_.programPath.empty()) CheckInstallationRecord(store_, setup_.programPath, prompter_);

    if (const std::string notice = store_.damageNotice(); !notice.empty()) {
        prompter_.notify(notice, "Настройки программы", Icon::Warning);
    }
    Preferences(store_).LoadProgramSettings(device_.programNet());
    loadedProgramSettings_ = ProgramSettingValues();
    // A port named on the command line (the virtual module's among them)
    // replaces the stored one before anything opens it: a stored port that has
    // gone is neither opened nor named in such a run.
    if (!setup_.options.portPath.empty()) {
        device_.programNet().SetValue("Port", setup_.options.portName(), true);
    }
    device_.Rebuild();
    // A port named on this platform's command line counts in every run.
    if (state.automation() || !setup_.options.portPath.empty()) ApplyLinkOptions();

    linkFound_ = state.hasOption(OPT_NO_DEVICE) || device_.EstablishLink();
    if (state.hasOption(OPT_SILENT)) state.SetExitStatus(0);
    if (!linkFound_ && !state.automation() && ui_.PortSetupSaysExit(device_)) {
        startupCancelled_ = true;
    }
    if (state.hasOption(OPT_TEST_RUN)) startupCancelled_ = true;
    store_.startupWritten();
}

std::vector<std::string> Document::ProgramSettingValues() const {
    std::vector<std::string> values;
    for (const auto& p : device_.programNet().parameters()) values.push_back(p->value);
    return values;
}

Document::~Document() {
    Channels& channels = device_.channelsNode;
    if (channels.loggingOn && !IsCsvLogName(channels.logSwitch.value)) {
        std::ofstream log(FilePath(PollLogPath(channels.logSwitch.value)), std::ios::app);
        log << "\nПротоколирование остановлено в \n" << FormatLocalTime("%c") << "\n";
    }
    // A simulated module's port exists only for this run: keep the operator's.
    // Settings that did not change are not written: a settings file that
    // could not be read stays as it is until the operator changes something.
    if (!setup_.options.simulate && ProgramSettingValues() != loadedProgramSettings_) {
        Preferences(store_).StoreProgramSettings(device_.programNet());
    }
}

ConfigurationNodes Document::nodes() {
    return {serviceNode_, device_.netNode, device_.commonNode, device_.channelsNode};
}

void Document::SetModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    device_.changes.Notify(ChangeNotice::Of(ChangeNotice::Kind::Modified));
}

void Document::AnnounceFile(std::optional<ChangeNotice> contents) {
    if (contents) device_.changes.Notify(*contents);
    device_.changes.Notify(ChangeNotice::Of(ChangeNotice::Kind::Title));
    device_.changes.Notify(ChangeNotice::Of(ChangeNotice::Kind::Modified));
}

void Document::ClearModuleValues() {
    device_.netNode.ClearValues();
    device_.commonNode.ClearValues();
    device_.channelsNode.ClearValues();
    for (int i = 0; i < kInputCount; ++i) device_.channelsNode.channel(i).ClearValues();
}

// The command line's action, until the automated action is done: then the
// watcher clears it and what follows is the operator's.
bool Document::CommandLineAsks(std::uint32_t action) {
    return (processState().actionFlags.load() & action) != 0;
}

bool Document::NewDocument() {
    if (startupCancelled_) return false;
    title_ = kUntitled;
    path_.clear();
    modified_ = false;
    // A read asked for before is not for this configuration.
    device_.NewEpoch();
    ClearModuleValues();
    AnnounceFile(ChangeNotice::AllValues());
    return true;
}

bool Document::OpenDocument(const std::string& path) {
    if (startupCancelled_) return false;
    ProcessState& state = processState();
    if (FileExists(path)) {
        std::string error;
        const std::optional<std::string> bytes = ReadFileBytes(path, error);
        if (!bytes) {
            prompter_.notify(error, "Ошибка открытия файла", Icon::Warning);
            state.SetExitStatus(EXIT_FILE_ERROR);
            return false;
        }
        device_.NewEpoch();
        // A file that does not load stops no job: nothing is written from it
        // (below), and the next job's stop is its own.
        if (LoadConfiguration(nodes(), *bytes, prompter_, nullptr) !=
            LoadStatus::Loaded) {
            // Loading is all or nothing: the whole file is read before a node
            // changes, so the configuration is as it was; its rows are drawn again.
            device_.changes.Notify(ChangeNotice::AllValues());
            // The command line's file did not load: nothing may be written from
            // it, and a read must not replace it (it may be another version's).
            if (state.automation()) state.setExitBits(EXIT_FILE_ERROR);
            return false;
        }
    } else if (CommandLineAsks(ACTION_WRITE_ALL)) {
        state.SetExitStatus(EXIT_FILE_ERROR);
        return false;
    }
    // A missing file is taken as the name for what is read next.
    path_ = path;
    title_ = Utf8Name(FilePath(path).filename());
    modified_ = false;

    if (state.hasOption(OPT_NETPARAM_EDIT)) {
        ApplyLinkOptions();
        SaveDocument(setup_.options.fileArgument.empty() ? path : setup_.options.fileArgument);
        return false;
    }
    AnnounceFile(ChangeNotice::Of(ChangeNotice::Kind::Rebuilt));
    return true;
}

bool Document::Start() {
    const OptionRecord& o = setup_.options;
    if (o.fileArgument.empty()) return NewDocument();
    return OpenDocument(o.fileArgument);
}

std::optional<std::string> Document::SaveDocument(const std::string& path) {
    std::optional<std::string> error = SaveConfigurationFile(path, nodes());
    if (!error) {
        path_ = path;
        title_ = Utf8Name(FilePath(path).filename());
        modified_ = false;
        AnnounceFile({});
    }
    return error;
}

bool Document::ReadAll() {
    return device_.ReadAll();
}

bool Document::Compare() {
    return device_.Compare([this](const DifferenceList& list) { ui_.ShowDifferences(list); });
}

bool Document::showDifferencesBeforeWrite() const {
    return Preferences(store_).showDifferencesBeforeWrite();
}

void Document::SetShowDifferencesBeforeWrite(bool on) {
    Preferences(store_).SetShowDifferencesBeforeWrite(on);
}

bool Document::Write(bool all) {
    // An automated run has nobody to ask.
    if (showDifferencesBeforeWrite() && !processState().automation()) {
        const std::optional<DifferenceList> differences = device_.CompareBeforeWrite(all);
        if (!differences) return false;  // interrupted: nothing is written
        // Nothing would change in the module: no question, the write goes on.
        if (!differences->empty() && !ui_.ConfirmOverwrite(*differences)) return false;
    }
    return all ? device_.WriteAll() : device_.WriteChanged();
}

void Document::SaveAfterRead() {
    if (setup_.options.fileArgument.empty()) return;
    // The caller asked for the file: one that could not be written is a file error.
    if (const std::optional<std::string> error = SaveDocument(setup_.options.fileArgument)) {
        processState().setExitBits(EXIT_FILE_ERROR);
        // A box would hold an unattended /read/close until someone clicks it.
        if (setup_.failureLine) {
            setup_.failureLine(ExitCodeFor(EXIT_FILE_ERROR, 0), *error);
        } else {
            prompter_.notify(*error, "Ошибка сохранения файла", Icon::Error);
        }
    }
}

void Document::FactoryReset() {
    if (!device_.CheckPassword()) return;
    const Answer answer = prompter_.ask(
        "Внимание! Сейчас будет произведено восстановление заводских установок прибора!\n\nВ "
        "текущей конфигурации '*.zep' все значения параметров прибора будут заменены на\n"
        "установленные на заводе-изготовителе.\nЕсли Вы хотите использовать текущую "
        "конфигурацию в дальнейшем, то нажмите кнопку\n\"Отмена\" и сохраните ее в файле. "
        "Нажмите \"ОК\", чтобы восстановить в приборе\nзаводские установки.",
        "Восстановление заводских установок прибора", Buttons::OkCancel, Icon::Warning);
    if (answer != Answer::Ok) return;

    auto restore = [](InvisibleElement& node) {
        for (const auto& p : node.parameters()) {
            if (const std::optional<std::string_view> value = FactoryDefault(p->name)) {
                node.SetValue(p->name, *value, true);
            }
        }
        node.MarkRestored();
    };
    restore(device_.channelsNode);
    for (int i = 0; i < kInputCount; ++i) restore(device_.channelsNode.channel(i));
    restore(device_.netNode);

    const bool writeNet = device_.netWriteEnabled.exchange(true);
    device_.WriteAll();
    device_.netWriteEnabled = writeNet;
}

void Document::ChangePassword(const std::string& oldPassword, const std::string& newPassword,
                              const std::string& again) {
    if (!PasswordMatches(oldPassword, setup_.password)) {
        prompter_.notify("Старый пароль введен неверно!", kProgramTitle, Icon::Error);
        return;
    }
    if (newPassword != again) {
        prompter_.notify("Новый пароль введен неверно\n (значения не совпадают)!", kProgramTitle,
                         Icon::Error);
        return;
    }
    Preferences preferences(store_);
    preferences.StorePassword(newPassword);
    const PasswordRead stored = preferences.password();
    // The running program keeps its password until the next start.
    if (stored.status == PASSWORD_READ_OK && PasswordMatches(newPassword, stored.password)) {
        prompter_.notify("Пароль изменен", kProgramTitle, Icon::None);
    } else {
        prompter_.notify(
            "Внимание: возможно, что пароль изменить не удалось!\nПричина заключается скорее "
            "всего в некорректной\nинсталяции (установки) программы.\nПереустановите программу",
            kProgramTitle, Icon::Error);
    }
}

void Document::ProgramNetworkSettings() {
    const Answer answer = prompter_.ask(
        "Данная операция предназначена для переключения сетевых настоек программы, но не "
        "прибора.\nЭто нужно, если:\n1) вы используйте несколько приборов, подключенных к одному "
        "компьютеру\nи хотитепри переключиться с одного прибора на другой;\n2) при "
        "первоначальной настройке.\nДля продолжения нажмите 'Да' ('Yes'), для отмены - 'Нет' "
        "('No')",
        "Вы уверены что хотите изменить настройки порграммы?", Buttons::YesNo, Icon::Question);
    if (answer == Answer::Yes && ui_.ProgramSettingsDialog(device_)) device_.Rebuild();
}

void Document::ApplyNewNetworkSettings() {
    ProcessState& state = processState();
    if (!state.automation()) {
        ui_.ApplyDialog(device_);
    } else if (CommandLineAsks(ACTION_APPLY)) {
        ApplyNetworkSettingsAutomated(device_);
    }
    device_.changes.Notify(ChangeNotice::AllValues());
    state.networkChanged = false;
}

void Document::NetworkSettingsChanged() {
    ApplyNewNetworkSettings();
}

std::string ManualPath(const std::string& programPath) {
#ifdef _WIN32
    // The zip and the installer put it into a folder beside zep8.exe.
    const std::filesystem::path file = FilePath(Directory(programPath)) / "manual/zep8.html";
#else
    const std::filesystem::path file =
        FilePath(Directory(programPath)) / "../share/zep8/zep8.html";
#endif
    return Utf8Name(file.lexically_normal());
}

void Document::Help() {
    const std::string file = ManualPath(setup_.programPath);
    // The prompter outlives the document: a viewer may fail after it has gone.
    Prompter& prompter = prompter_;
    auto notFound = [&prompter] {
        prompter.notify("Файл справки не был найден!\nПопробуйте найти его самостоятельно.",
                        "Не найден файл...", Icon::Information);
    };
    if (!FileExists(file)) {
        notFound();
    } else if (setup_.openHelp) {
        setup_.openHelp(file, notFound);
    } else {
        std::erase_if(helpViewers_,
                      [](ChildProcess& viewer) { return viewer.Ended().has_value(); });
        if (auto viewer = ChildProcess::Start({"xdg-open", file})) {
            helpViewers_.push_back(std::move(*viewer));
        } else {
            notFound();
        }
    }
}

void Document::ApplyLinkOptions() {
    const OptionRecord& o = setup_.options;
    ProcessState& state = processState();
    const bool editRun = state.hasOption(OPT_NETPARAM_EDIT);
    const bool linkGiven = o.hasAction(ACTION_LINK_SETTINGS);
    const bool apply = o.hasAction(ACTION_APPLY);
    const std::pair<std::string_view, std::string> settings[] = {
        {"Addr", TextOrNoData(o.address)},   {"A.Len", NumberOrNoData(o.addressLength)},
        {"bPS", NumberOrNoData(o.baudRate)}, {"Len", NumberOrNoData(o.dataBits)},
        {"Sbit", TextOrNoData(o.stopBits)},  {"PrtY", ParityText(o.parity)},
    };
    bool programChanged = false;
    for (const auto& [name, text] : settings) {
        bool toModule = editRun;
        if (linkGiven && !editRun && text != kNoData) {
            device_.programNet().SetValue(name, text, true);
            programChanged = true;
            toModule = apply;
        }
        if (toModule) device_.netNode.SetValue(name, text, false);
    }
    if (!editRun && ((linkGiven && o.portNumber != 0) || !o.portPath.empty())) {
        device_.programNet().SetValue("Port", o.portName(), true);
        programChanged = true;
    }
    if (programChanged) device_.ReopenPort(true);
}

}  // namespace zep8
