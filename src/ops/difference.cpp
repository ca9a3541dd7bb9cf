#include "ops/difference.h"

#include "model/parameter.h"

namespace zep8 {
namespace {

std::string WithAttributes(const Parameter& p, bool attributesDiffer) {
    if (!attributesDiffer) return p.value;
    return p.value + ", " + std::string(EditableText(p.attrEditable)) + ", принадлежит " +
           (p.attrFactory ? "заводу" : "пользователю");
}

}  // namespace

Difference MakeDifference(std::string group, const Parameter& config, const Parameter& module) {
    const bool attributes =
        config.attrEditable != module.attrEditable || config.attrFactory != module.attrFactory;
    return {std::move(group), config.name, config.title, WithAttributes(config, attributes),
            WithAttributes(module, attributes)};
}

Difference UnreadDifference(std::string group, const Parameter& config, std::string_view error) {
    return {std::move(group), config.name, config.title, config.value,
            "Не удалось прочитать: " + std::string(error)};
}

std::string TabSeparated(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += '\t';
            for (char c : row[i]) text += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
        }
        text += '\n';
    }
    return text;
}

}  // namespace zep8
