#include "ops/device/configuration_edit.h"

#include "model/catalogue.h"
#include "model/net_rs485.h"
#include "model/parameter.h"
#include "ops/device/device.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {
namespace {

// How the refusal names what the value must be.
std::string MustBeText(const ParamDescriptor& d) {
    switch (d.type) {
        case PT_DECIMAL:
            return "числом";
        case PT_INTEGER:
            return "целым числом";
        case PT_ASCII:
            return "строкой";
        case PT_ENUM: {
            std::string text = "равно ";
            for (std::size_t i = 0; i < d.items.size(); ++i) {
                if (i > 0) text += i + 1 == d.items.size() ? " или " : ", ";
                text += d.items[i];
            }
            return text;
        }
        default:
            return "";
    }
}

}  // namespace

ConfigurationEditor::ConfigurationEditor(Device& device, Prompter& prompter)
    : device_(device), prompter_(prompter) {}

std::string ConfigurationEditor::RefusalText(const Parameter& p, std::string_view newText) {
    const ParamDescriptor d = GetDescriptor(p.name);
    std::string text = "Параметеру '" + p.name + "' (" + p.title +
                       ")\nне может быть присвоено значение '" + std::string(newText) +
                       "'.\n (Значение этого параметра должно быть ";
    const std::string type = MustBeText(d);
    if (!d.hasRange()) return text + type + ")\n";
    if (!type.empty()) text += type + " и\n";
    return text + " должно быть больше " + FormatFixed(d.min, 6) + " и меньше " +
           FormatFixed(d.max, 6) + ")\n";
}

EditOutcome ConfigurationEditor::EditValue(Parameter& p, InvisibleElement& owner,
                                           std::string_view oldText, std::string_view newText) {
    EditOutcome outcome;
    if (newText == oldText) return outcome;
    outcome.changedAnything = true;

    if (p.attrFactory) {
        prompter_.notify("Нет права на изменение значения,\n закрытого атрибутом принадлежности!",
                         kProgramTitle, Icon::Stop);
        return outcome;
    }
    if (const auto* net = dynamic_cast<const NetRS485*>(&owner)) {
        if (!net->IsFormatAllowed(p.name, newText)) {
            prompter_.notify(kFormatRefusedText, kRefusedValueCaption, Icon::Information);
            return outcome;
        }
        if (!net->IsAddressingAllowed(p.name, newText)) {
            prompter_.notify(kAddressingRefusedText, kRefusedValueCaption, Icon::Stop);
            return outcome;
        }
    }
    if (!p.AssignValue(newText, prompter_)) {
        prompter_.notify(RefusalText(p, newText), "Неудалось изменить параметер", Icon::Stop);
        return outcome;
    }
    outcome.accepted = true;
    outcome.cellText = p.value;
    if (&owner == &device_.programNet()) {
        // Values read over the old settings may belong to another module.
        device_.commonNode.ResetValues();
        device_.netNode.ResetValues();
        device_.channelsNode.ResetValues();
        device_.ReopenPort(true);
        outcome.updateAllViews = true;
    }
    outcome.pending = p.changed;
    device_.changes.Notify(outcome.updateAllViews ? ChangeNotice::AllValues()
                                                  : ChangeNotice::ValueOf(p));
    return outcome;
}

EditOutcome ConfigurationEditor::EditAttribute(Parameter& p, std::string_view oldText,
                                               std::string_view newText) {
    EditOutcome outcome;
    if (newText == oldText) return outcome;
    outcome.changedAnything = true;
    if (!device_.CheckPassword()) return outcome;
    p.attrEditable = newText == kEditableText;
    p.attrChanged = true;
    outcome.accepted = true;
    outcome.cellText = std::string(newText);
    outcome.pending = true;
    device_.changes.Notify(ChangeNotice::ValueOf(p));
    return outcome;
}

bool ConfigurationEditor::IsModuleGroup(const InvisibleElement& node) const {
    if (&node == &device_.commonNode || &node == &device_.netNode ||
        &node == &device_.channelsNode) {
        return true;
    }
    for (int i = 0; i < kInputCount; ++i) {
        if (&node == &device_.channelsNode.channel(i)) return true;
    }
    return false;
}

std::shared_ptr<GroupRead> ConfigurationEditor::ReadOnExpand(InvisibleElement& node,
                                                             bool autoRead) {
    if (!autoRead || !IsModuleGroup(node) || beingRead_.contains(&node)) return nullptr;
    std::vector<Parameter*> unread;
    for (const auto& p : node.parameters()) {
        if (p->value == kNoData && p->errorText.empty()) unread.push_back(p.get());
    }
    if (unread.empty()) return nullptr;
    beingRead_.insert(&node);
    return std::make_shared<GroupRead>(device_, node, unread);
}

void ConfigurationEditor::ExpandReadEnded(const InvisibleElement& node) {
    beingRead_.erase(&node);
}

void ConfigurationEditor::ForgetValue(Parameter& p) {
    p.value = std::string(kNoData);
    p.errorText.clear();
    p.changed = p.attrChanged = p.pendingWrite = false;
    device_.changes.Notify(ChangeNotice::ValueOf(p));
}

}  // namespace zep8
