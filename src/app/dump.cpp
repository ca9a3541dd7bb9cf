#include "app/dump.h"

#include <vector>

#include "app/exit_code.h"
#include "app/terminal.h"
#include "model/configuration.h"
#include "model/tree_row.h"
#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Row = std::array<std::string, 6>;

void AddRows(const InvisibleElement& node, std::vector<Row>& rows) {
    for (const auto& p : node.parameters()) {
        const TreeRow row = DescribeParameterRow(*p, node, true);
        rows.push_back({node.caption, row.text, row.columns[1], row.columns[2], row.columns[3],
                        row.columns[4]});
    }
}

}  // namespace

int DumpConfiguration(const std::string& path, std::ostream& out, std::ostream& errors) {
    Configuration configuration;
    std::string error;
    const std::optional<std::string> bytes = ReadFileBytes(path, error);
    StreamPrompter prompter(errors);
    if (!bytes) {
        errors << error << std::endl;
        return ExitCodeFor(EXIT_FILE_ERROR, 0);
    }
    if (LoadConfiguration(configuration.nodes(), *bytes, prompter, nullptr) != LoadStatus::Loaded) {
        return ExitCodeFor(EXIT_FILE_ERROR, 0);
    }

    std::vector<Row> rows{{"Группа", "Параметр", "Имя", "Значение", "Атрибут", "Ошибка"}};
    for (const InvisibleElement* node : std::initializer_list<const InvisibleElement*>{
             &configuration.common, &configuration.net, &configuration.channels}) {
        AddRows(*node, rows);
    }
    for (int i = 0; i < kInputCount; ++i) AddRows(configuration.channels.channel(i), rows);

    std::array<std::size_t, 6> widths{};
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], Utf8Length(row[c]));
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - Utf8Length(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << "\n";
    }
    return 0;
}

}  // namespace zep8
