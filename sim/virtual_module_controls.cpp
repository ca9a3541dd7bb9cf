// The module's controls: what a test, zep8-sim or the configurator's
// simulation mode sets and reads while the module runs. The protocol itself
// is in virtual_module.cpp.
#include <algorithm>

#include "model/catalogue.h"
#include "model/name_hash.h"
#include "sim/virtual_module.h"

namespace zep8::sim {

VirtualModule::Framing VirtualModule::framing() const {
    std::lock_guard lock(mutex_);
    return active_.protocol == Protocol::ModbusRtu ? Framing::Silence : Framing::CarriageReturn;
}

LineSettings VirtualModule::activeSettings() const {
    std::lock_guard lock(mutex_);
    return active_;
}

LineSettings VirtualModule::pendingSettings() const {
    std::lock_guard lock(mutex_);
    return storedSettings();
}

int VirtualModule::refusedApplies() const {
    std::lock_guard lock(mutex_);
    return refusedApplies_;
}

void VirtualModule::setLineTiming(bool on) {
    std::lock_guard lock(mutex_);
    lineTiming_ = on;
}

bool VirtualModule::lineTiming() const {
    std::lock_guard lock(mutex_);
    return lineTiming_;
}

void VirtualModule::setIgnoreBroadcast(bool on) {
    std::lock_guard lock(mutex_);
    ignoreBroadcast_ = on;
}

bool VirtualModule::ignoresBroadcast() const {
    std::lock_guard lock(mutex_);
    return ignoreBroadcast_;
}

void VirtualModule::setIdentity(std::string deviceName, std::string version) {
    std::lock_guard lock(mutex_);
    deviceName_ = std::move(deviceName);
    version_ = std::move(version);
}

void VirtualModule::setRestartCause(std::array<std::uint8_t, 3> bytes) {
    std::lock_guard lock(mutex_);
    restartCause_ = bytes;
}

std::optional<double> VirtualModule::value(std::string_view name, int index) const {
    std::lock_guard lock(mutex_);
    const Slot* s = slot(name, index);
    if (!s) return std::nullopt;
    return s->number;
}

bool VirtualModule::setValue(std::string_view name, int index, double value) {
    std::lock_guard lock(mutex_);
    Slot* s = slot(name, index);
    if (!s) return false;
    s->number = value;
    return true;
}

std::optional<std::uint8_t> VirtualModule::attributes(std::string_view name, int index) const {
    std::lock_guard lock(mutex_);
    const Slot* s = slot(name, index);
    if (!s) return std::nullopt;
    return s->attributes;
}

bool VirtualModule::setAttributes(std::string_view name, int index, std::uint8_t bits) {
    std::lock_guard lock(mutex_);
    Slot* s = slot(name, index);
    if (!s) return false;
    s->attributes = bits & (kEditable | kUserOwned);
    return true;
}

void VirtualModule::setSource(int input, const MeasurementSource& source) {
    std::lock_guard lock(mutex_);
    if (input >= 0 && input < kInputs) sources_[static_cast<std::size_t>(input)] = source;
}

void VirtualModule::setMeasurementException(int input, std::optional<std::uint8_t> code) {
    std::lock_guard lock(mutex_);
    if (input >= 0 && input < kInputs) exceptions_[static_cast<std::size_t>(input)] = code;
}

void VirtualModule::setClock(std::function<Clock::time_point()> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
    started_ = clock_();
}

void VirtualModule::setCalibration(const CalibrationTask::Setup& setup) {
    std::lock_guard lock(mutex_);
    calibration_.setup = setup;
}

CalibrationTask VirtualModule::calibration() const {
    std::lock_guard lock(mutex_);
    return calibration_;
}

void VirtualModule::injectFault(Fault fault, int count, int after) {
    std::lock_guard lock(mutex_);
    faults_[fault] = count;
    faultsAfter_[fault] = after;
}

void VirtualModule::injectDelay(std::chrono::milliseconds delay, int count) {
    std::lock_guard lock(mutex_);
    faultDelay_ = delay;
    delayedReplies_ = count;
}

void VirtualModule::forceError(std::string_view name, std::uint8_t code) {
    std::lock_guard lock(mutex_);
    forcedErrors_[hash_name(name)] = code;
}

void VirtualModule::clearForcedError(std::string_view name) {
    std::lock_guard lock(mutex_);
    forcedErrors_.erase(hash_name(name));
}

void VirtualModule::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
    faultsAfter_.clear();
    delayedReplies_ = 0;
    forcedErrors_.clear();
}

RequestCount VirtualModule::count(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = counts_.find(hash_name(name));
    return it == counts_.end() ? RequestCount{} : it->second;
}

RequestCount VirtualModule::total() const {
    std::lock_guard lock(mutex_);
    return total_;
}

int VirtualModule::foreignReturns() const {
    std::lock_guard lock(mutex_);
    return foreignReturns_;
}

void VirtualModule::resetCounters() {
    std::lock_guard lock(mutex_);
    counts_.clear();
    total_ = {};
    foreignReturns_ = 0;
}

}  // namespace zep8::sim
