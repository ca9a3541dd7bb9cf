#include "ops/fleet/batch_session.h"

#include "model/parameter.h"

namespace zep8 {

void ConfigurationCopy::Take(const Common& fromCommon, const Channels& fromChannels) {
    common.CopyParametersFrom(fromCommon);
    common.caption = fromCommon.caption;
    channels.CopyParametersFrom(fromChannels);
    channels.caption = fromChannels.caption;
    for (int i = 0; i < kInputCount; ++i) {
        channels.channel(i).CopyParametersFrom(fromChannels.channel(i));
        channels.channel(i).caption = fromChannels.channel(i).caption;
    }
}

BatchSession::BatchSession(Device& device, const ConfigurationCopy& taken, int address,
                           Progress progress)
    : device_(device), progress_(std::move(progress)) {
    work_.Take(taken);
    LinkTarget target = device.SessionTarget();
    target.address = address;
    run_ = ExchangeRun{target, &stop_};
}

void BatchSession::ResetCounters() {
    for (auto& c : counters_) c = 0;
}

int BatchSession::Identify(Device::Identity& identity) {
    return device_.Identify(false, &identity, run_.to());
}

void BatchSession::WriteAll() {
    work_.common.WriteElement(*this, true);
    work_.channels.WriteElement(*this, true);
}

std::optional<DifferenceList> BatchSession::CompareWritten() {
    differences_.clear();
    work_.common.CompareElement(*this);
    work_.channels.CompareElement(*this);
    if (stop_.isSet()) return std::nullopt;
    return differences_;
}

int BatchSession::ReadParameter(Parameter& p) {
    return device_.ReadParameter(p, run_);
}

int BatchSession::WriteParameter(Parameter& p) {
    return device_.WriteParameter(p, run_);
}

// The module's value beside the copy's; the copy is left as it is.
int BatchSession::CompareParameter(Parameter& p) {
    if (stop_.isSet()) return DEVICE_ABORTED;
    if (p.index < 0) return DEVICE_NEGATIVE_INDEX;
    Parameter module(p.name);
    const int status = device_.ReadModuleCopy(p, module, run_.to());
    if (status != 0) {
        differences_.push_back(UnreadDifference(GroupOf(p), p, module.errorText));
    } else if (p.value != module.value || p.attrFactory != module.attrFactory ||
               p.attrEditable != module.attrEditable) {
        differences_.push_back(MakeDifference(GroupOf(p), p, module));
    }
    return status;
}

bool BatchSession::ComparesParameter(const Parameter& p) {
    // What the write sent, and nothing else.
    return p.writable && p.value != kNoData;
}

void BatchSession::AddToCounter(ProgressCounter counter, int n) {
    counters_[static_cast<std::size_t>(counter)] += n;
    if (progress_ && (counter == ProgressCounter::Parameters ||
                      counter == ProgressCounter::ParametersWithErrors)) {
        progress_(this->counter(ProgressCounter::Parameters),
                  this->counter(ProgressCounter::ParametersWithErrors));
    }
}

std::string BatchSession::GroupOf(const Parameter& parameter) const {
    return GroupCaption(parameter, work_.channels, {&work_.common});
}

}  // namespace zep8
