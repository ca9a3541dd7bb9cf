#include "app/installation.h"

#include <filesystem>
#include <system_error>

#include "platform/file_path.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr std::string_view kQuestionHead =
    "Вероятно, на вашем компьютере установлено несколько конфигураторов этого прибора,\n"
    "что не рекомендуется, но допускается.\n\n"
    "Установить запущенный конфигуратор (\"";
constexpr std::string_view kQuestionMiddle =
    "\")\nкак основной или оставить ссылку на конфигуратор прибора ЗЕП8 как она сейчас есть\n(\"";
constexpr std::string_view kQuestionTail = "\")?";

bool HasValue(const SettingsStore& store, std::string_view name) {
    return store.readString(kInstallationKey, name) || store.readInt(kInstallationKey, name);
}

void WriteWhenAbsent(SettingsStore& store, std::string_view name, std::string_view value) {
    if (!store.hasKey(kInstallationKey) && !store.createKey(kInstallationKey)) return;
    if (!HasValue(store, name)) store.writeString(kInstallationKey, name, value);
}

std::string_view Unquote(std::string_view text) {
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return text;
}

bool IsExistingFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(FilePath(path), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

// The same program under another spelling or through a link needs no question.
bool SameProgram(const std::string& a, const std::string& b) {
    if (EqualsIgnoreCase(a, b)) return true;
    std::error_code error;
    return std::filesystem::equivalent(FilePath(a), FilePath(b), error) && !error;
}

}  // namespace

void RecordProgramNames(SettingsStore& store, std::string_view programVersion) {
    WriteWhenAbsent(store, "name", "ZEP8v7x");
    WriteWhenAbsent(store, "version", programVersion);
}

void CheckInstallationRecord(SettingsStore& store, const std::string& programPath,
                             Prompter& prompter) {
    WriteWhenAbsent(store, "description", "ЗЕП8 v7.x");
    const std::optional<std::string> value = store.readString(kInstallationKey, "application");
    if (!value) return;
    const std::string registered(Unquote(*value));
    if (!IsExistingFile(registered) || SameProgram(registered, programPath)) return;

    std::string question(kQuestionHead);
    question.append(programPath).append(kQuestionMiddle);
    question.append(registered).append(kQuestionTail);
    if (prompter.ask(question, kProgramTitle, Buttons::YesNo, Icon::Information) == Answer::Yes) {
        store.writeString(kInstallationKey, "application", "\"" + programPath + "\"");
    }
}

}  // namespace zep8
