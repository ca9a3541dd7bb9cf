#include "ops/network/program_setting_edit.h"

#include "model/net_rs485_prg.h"
#include "model/parameter.h"
#include "ops/device/configuration_edit.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {

std::optional<std::string> CheckProgramSetting(const NetRS485prg& node, std::string_view name,
                                               std::string_view text, Prompter& prompter) {
    if (!node.IsFormatAllowed(name, text)) {
        prompter.notify(kFormatRefusedText, kRefusedValueCaption, Icon::Information);
        return std::nullopt;
    }
    if (!node.IsAddressingAllowed(name, text)) {
        prompter.notify(kAddressingRefusedText, kRefusedValueCaption, Icon::Stop);
        return std::nullopt;
    }
    Parameter checked(name);
    if (EqualsIgnoreCase(name, "Port")) {
        if (!text.empty()) return std::string(text);
    } else if (checked.AssignValue(text, prompter)) {
        return checked.value;
    }
    prompter.notify(ConfigurationEditor::RefusalText(checked, text), "Неудалось изменить параметер",
                    Icon::Stop);
    return std::nullopt;
}

}  // namespace zep8
