#include "link/line/in_process_line.h"

#include <map>
#include <mutex>

#include "link/line/run_stop.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

constexpr std::string_view kScheme = "sim://";

struct Peers {
    std::mutex mutex;
    std::map<std::string, InProcessPeer*, std::less<>> byName;
    int lastNumber = 0;
};

Peers& peers() {
    static Peers instance;
    return instance;
}

}  // namespace

std::string AttachInProcessPeer(InProcessPeer& peer) {
    Peers& all = peers();
    std::lock_guard lock(all.mutex);
    std::string name = std::string(kScheme) + std::to_string(++all.lastNumber);
    all.byName[name] = &peer;
    return name;
}

void DetachInProcessPeer(const std::string& portName) {
    Peers& all = peers();
    std::lock_guard lock(all.mutex);
    all.byName.erase(portName);
}

bool IsInProcessPortName(std::string_view name) {
    return name.substr(0, kScheme.size()) == kScheme;
}

int InProcessLine::Open() {
    open_ = false;
    const PortSettings& s = owner_.settings;
    {
        Peers& all = peers();
        std::lock_guard lock(all.mutex);
        if (!all.byName.contains(s.name)) {
            failure_ = "Виртуальный прибор " + s.name + " уже остановлен.";
            return OPEN_CANNOT_OPEN;
        }
    }
    if (auto refused = RefuseSettings(s, true)) {
        failure_ = refused->reason;
        return refused->result;
    }
    failure_.clear();
    timings_ = ComputeLineTimings(s.baudRate, HasParity(s), s.stopBits == 2,
                                  processState().ProtocolMode.load());
    open_ = true;
    return OPEN_OK;
}

int InProcessLine::Close() {
    open_ = false;
    return 0;
}

// The reply is there when the far end says it is whole; the program waits for
// it from the end of its request on, as long as the port's reply wait.
int InProcessLine::Transfer(std::string_view frame, std::string& reply) {
    using Clock = std::chrono::steady_clock;
    reply.clear();
    const bool openedHere = !open_;
    if (openedHere && Open() != OPEN_OK) return TRANSFER_LINE_GONE;
    const auto start = Clock::now();
    const std::chrono::duration<double, std::milli> character(timings_.characterTime);
    const auto wire = [&](std::size_t characters) {
        return std::chrono::duration_cast<Clock::duration>(character * static_cast<double>(characters));
    };
    std::optional<PeerReply> answer;
    {
        Peers& all = peers();
        std::lock_guard lock(all.mutex);
        const auto found = all.byName.find(owner_.settings.name);
        if (found != all.byName.end()) answer = found->second->Answer(frame, owner_.settings);
    }
    const auto waitEnd =
        start + wire(frame.size()) +
        std::chrono::milliseconds(owner_.ReplyWait(timings_.replyTimeout));
    auto until = waitEnd;
    if (answer) until = start + std::chrono::duration_cast<Clock::duration>(answer->delay);
    const bool inTime = answer && until <= waitEnd;
    if (openedHere) Close();
    if (WaitOnLine(owner_.stopEvent, Event::Remaining(inTime ? until : waitEnd)) == 0)
        return TRANSFER_ABORTED;
    if (!inTime) return TRANSFER_TIMEOUT;
    std::size_t noEcho = 0;
    TakeReplyBytes(answer->bytes, noEcho, reply);
    return TRANSFER_OK;
}

}  // namespace zep8
