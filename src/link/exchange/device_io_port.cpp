// The port's settings and state: which module the program talks to, at what
// speed, and opening the port anew. Whatever changes them holds the link lock.
#include "link/exchange/device_io.h"

#include "model/catalogue.h"
#include "model/number_text.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/prompter.h"

namespace zep8 {

LinkTarget DeviceIO::SessionTargetLocked() const {
    const PortSettings& settings = port_->settings;
    return LinkTarget{settings.baseAddress, settings.addressLength, true};
}

LinkTarget DeviceIO::SessionTarget() const {
    std::lock_guard lock(targetMutex_);
    return published_;
}

void DeviceIO::PublishTarget() {
    std::lock_guard lock(targetMutex_);
    published_ = SessionTargetLocked();
}

DeviceIO::PortState DeviceIO::PortNow() {
    std::lock_guard lock(linkLock_);
    PortState state;
    state.settings = port_->settings;
    state.open = port_->IsOpen();
    if (!state.open) state.failure = port_->OpenFailureReason();
    return state;
}

int DeviceIO::ReopenAtSpeed(unsigned baudRate, std::string* failure) {
    std::lock_guard lock(linkLock_);
    ++epoch_;
    if (port_->IsOpen()) port_->Close();
    port_->settings.baudRate = baudRate;
    const int result = port_->Open();
    if (result != OPEN_OK && failure) *failure = port_->OpenFailureReason();
    return result;
}

void DeviceIO::RestoreSpeed(unsigned baudRate, bool reopen) {
    std::lock_guard lock(linkLock_);
    ++epoch_;
    if (port_->IsOpen()) port_->Close();
    port_->settings.baudRate = baudRate;
    if (reopen) port_->Open();
}

void DeviceIO::LoadPortSettings() {
    std::unique_lock settingsLock = LockProgramSettings();
    PortSettings& settings = port_->settings;
    auto number = [&](std::string_view name, auto& field) {
        // "no data" leaves the port's setting as it is
        const std::string text = programNet_.GetValue(name);
        if (HasDigit(text))
            field = static_cast<std::remove_reference_t<decltype(field)>>(ReadValueNumber(text));
    };
    if (const Parameter* portName = programNet_.FindParameter("Port");
        portName && portName->value != kNoData) {
        settings.name = portName->value;
    }
    number("bPS", settings.baudRate);
    number("Addr", settings.baseAddress);
    number("A.Len", settings.addressLength);
    number("LEn", settings.byteSize);
    number("Sbit", settings.stopBits);
    port_->echoSuppression = programNet_.GetValue("Echo") == kEchoOn;
    const std::string parity = programNet_.GetValue("PrtY");
    const std::vector<std::string> items = GetDescriptor("PrtY").items;
    constexpr int kSchemes[] = {SCHEME_NONE, SCHEME_EVEN, SCHEME_ODD};
    for (std::size_t i = 0; i < items.size() && i < std::size(kSchemes); ++i) {
        if (items[i] == parity) settings.parityScheme = kSchemes[i];
    }
    programNet_.ClearChangeFlags();
    settingsLock.unlock();
    processState().networkChanged = false;
    PublishTarget();
}

void DeviceIO::UseAddress(int address) {
    std::lock_guard lock(linkLock_);
    ++epoch_;
    {
        const auto settingsLock = LockProgramSettings();
        programNet_.SetValue("Addr", std::to_string(address), false);
    }
    port_->settings.baseAddress = address;
    PublishTarget();
}

int DeviceIO::ReopenPort(bool showMessage) {
    ProcessState& state = processState();
    int result = OPEN_OK;
    std::string name, reason;
    {
        // The polls may come back to another module or speed; a job on
        // another thread must not find the port half reopened.
        PollPause pause(polls_);
        std::lock_guard lock(linkLock_);
        ++epoch_;
        if (port_->IsOpen()) port_->Close();
        LoadPortSettings();
        if (!state.hasOption(OPT_SILENT | OPT_NO_DEVICE)) result = port_->Open();
        name = port_->settings.name;
        if (result != OPEN_OK) reason = port_->OpenFailureReason();
    }
    if (result != OPEN_OK) {
        state.setExitBits(EXIT_PORT_ERROR);
        RecordVerdict(EXIT_PORT_ERROR, reason.empty() ? "Не удается открыть порт " + name : reason);
    } else {
        lineGone_ = false;
        // A port that opens says nothing of a line lost before: a server takes
        // the connection whether or not the module behind it can be reached.
        if (!lostUnanswered_) {
            state.clearExitBits(EXIT_PORT_ERROR);
            RecordVerdict(EXIT_PORT_ERROR, "");
        }
        std::lock_guard told(failureToldMutex_);
        lastFailureTold_.clear();
    }

    if (showMessage && result != OPEN_OK && !state.automation()) {
        std::string text = "Не удается открыть порт " + name +
                           ". Связь с сетью отсутствует. Проверьте сетевые параметры";
        if (!reason.empty()) text += "\n\n" + reason;
        // The link search reopens the port several times in a row: the same
        // failure is told once, until the port opens or fails otherwise.
        bool news = false;
        {
            std::lock_guard told(failureToldMutex_);
            news = text != lastFailureTold_;
            lastFailureTold_ = text;
        }
        if (news) {
            prompter_.ask(text, "Ошибка драйвера последовательного порта", Buttons::Ok, Icon::None);
        }
    }
    return result;
}

bool DeviceIO::OpenPortIfClosed() {
    if (processState().hasOption(OPT_NO_DEVICE)) return false;
    std::lock_guard lock(linkLock_);
    return !port_->IsOpen() && port_->Open() == OPEN_OK;
}

void DeviceIO::ClosePort() {
    std::lock_guard lock(linkLock_);
    if (port_->IsOpen()) port_->Close();
}

}  // namespace zep8
