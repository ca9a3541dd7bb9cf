#include "sim/in_process_transport.h"
#include "sim/pty_transport.h"
#include "sim/simulated_line.h"

namespace zep8::sim {

SimulatedLine::Kind SimulatedLine::NativeKind() {
    return Kind::PseudoTerminal;
}

std::unique_ptr<LineTransport> SimulatedLine::MakeTransport(Kind kind,
                                                            std::vector<VirtualModule*> modules) {
    if (kind == Kind::InProcess) return std::make_unique<InProcessTransport>(std::move(modules));
    return std::make_unique<PtyTransport>(std::move(modules));
}

PtyTransport& SimulatedLine::transport() {
    return dynamic_cast<PtyTransport&>(*transport_);
}

}  // namespace zep8::sim
