#include "sim/in_process_transport.h"

#include "sim/bus_reply.h"

namespace zep8::sim {
namespace {

bool SameParity(Parity module, int scheme) {
    switch (module) {
        case Parity::Even: return scheme == SCHEME_EVEN;
        case Parity::Odd: return scheme == SCHEME_ODD;
        case Parity::None: return scheme == SCHEME_NONE || scheme == SCHEME_NONE_0;
    }
    return false;
}

}  // namespace

InProcessTransport::InProcessTransport(std::vector<VirtualModule*> modules)
    : modules_(std::move(modules)) {}

InProcessTransport::~InProcessTransport() {
    stop();
}

bool InProcessTransport::start(std::string&) {
    if (!attached_) portName_ = AttachInProcessPeer(*this);
    attached_ = true;
    return true;
}

// The port name stays: a program that opens it after the stop is told the
// module has stopped.
void InProcessTransport::stop() {
    if (attached_) DetachInProcessPeer(portName_);
    attached_ = false;
}

std::optional<PeerReply> InProcessTransport::Answer(std::string_view frame,
                                                    const PortSettings& settings) {
    bool misheard = false;
    const auto hears = [&](const VirtualModule& m) {
        const LineSettings line = m.activeSettings();
        return static_cast<int>(settings.baudRate) == line.baud &&
               settings.byteSize == line.dataBits && SameParity(line.parity, settings.parityScheme);
    };
    std::optional<Reply> reply = BusReply(modules_, frame, hears, misheard);
    if (!reply) return std::nullopt;
    return PeerReply{std::move(reply->bytes), reply->delay};
}

}  // namespace zep8::sim
