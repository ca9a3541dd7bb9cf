#include "ops/fleet/csv_table.h"

#include "platform/local_time.h"
#include "platform/whole_file.h"

namespace zep8 {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvTime(std::chrono::system_clock::time_point when) {
    return FormatLocalTime("%Y-%m-%dT%H:%M:%S", std::chrono::system_clock::to_time_t(when));
}

std::string SurveyCsv(const std::vector<SurveyFind>& finds) {
    std::string text = std::string(kSurveyCsvHeader) + "\n";
    for (const SurveyFind& f : finds) {
        text += std::to_string(f.address) + ";" + std::to_string(f.baudRate) + ";" +
                CsvField(f.format) + ";" + CsvField(f.device) + ";" + CsvField(f.version) + ";" +
                CsvTime(f.answeredAt) + "\n";
    }
    return text;
}

std::optional<std::string> SaveCsv(const std::string& path, const std::string& text,
                                   std::string_view what) {
    if (path.empty()) return std::string(what) + ": не указано имя файла.";
    if (std::optional<std::string> failure = WriteWholeFile(path, text))
        return std::string(what) + ": " + *failure;
    return std::nullopt;
}

std::optional<std::string> SaveSurveyCsv(const std::string& path,
                                         const std::vector<SurveyFind>& finds) {
    return SaveCsv(path, SurveyCsv(finds), "Список приборов не сохранен");
}

}  // namespace zep8
