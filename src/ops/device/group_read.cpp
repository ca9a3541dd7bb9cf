#include "ops/device/group_read.h"

#include <algorithm>

#include "model/invisible_element.h"
#include "ops/device/device.h"
#include "platform/event.h"

namespace zep8 {

GroupRead::GroupRead(Device& device, InvisibleElement& node,
                     const std::vector<Parameter*>& parameters)
    : device_(device), node_(node), epoch_(device.epoch()) {
    for (Parameter* p : parameters) items_.push_back(Item{p, *p});
}

void GroupRead::Read(const Event& stop,
                     const std::function<void(std::size_t, Parameter)>& arrived) {
    const ExchangeRun run{device_.SessionTarget(), &failed_};
    for (std::size_t i = 0; i < items_.size() && !stop.isSet() && !failed_.isSet(); ++i) {
        Parameter copy = items_[i].picked;
        device_.ReadParameter(copy, run);
        arrived(i, std::move(copy));
    }
}

bool GroupRead::Unchanged(const Item& item) const {
    const auto& list = node_.parameters();
    const bool present = std::any_of(list.begin(), list.end(),
                                     [&item](const auto& p) { return p.get() == item.target; });
    if (!present) return false;
    const Parameter& now = *item.target;
    const Parameter& then = item.picked;
    return now.name == then.name && now.index == then.index && now.value == then.value &&
           now.errorText == then.errorText && now.changed == then.changed &&
           now.attrChanged == then.attrChanged && now.pendingWrite == then.pendingWrite &&
           now.attrEditable == then.attrEditable && now.attrFactory == then.attrFactory;
}

Parameter* GroupRead::Store(std::size_t item, const Parameter& read) {
    if (item >= items_.size() || device_.epoch() != epoch_ || device_.jobRunning() ||
        !Unchanged(items_[item])) {
        return nullptr;
    }
    Parameter& p = *items_[item].target;
    // What an exchange writes into a parameter, and nothing else.
    p.value = read.value;
    p.errorText = read.errorText;
    p.timedOut = read.timedOut;
    p.attrEditable = read.attrEditable;
    p.attrFactory = read.attrFactory;
    p.changed = read.changed;
    p.attrChanged = read.attrChanged;
    p.pendingWrite = read.pendingWrite;
    return &p;
}

}  // namespace zep8
