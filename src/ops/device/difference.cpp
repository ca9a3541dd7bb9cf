#include "ops/device/difference.h"

#include "model/channels.h"
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

std::string GroupCaption(const Parameter& parameter, const Channels& inputs,
                         std::initializer_list<const InvisibleElement*> first) {
    auto holds = [&parameter](const ObjectWithParameters& node) {
        for (const auto& p : node.parameters()) {
            if (p.get() == &parameter) return true;
        }
        return false;
    };
    for (const InvisibleElement* node : first) {
        if (holds(*node)) return node->caption;
    }
    for (int i = 0; i < kInputCount; ++i) {
        if (holds(inputs.channel(i))) return inputs.channel(i).caption;
    }
    return inputs.caption;
}

}  // namespace zep8
