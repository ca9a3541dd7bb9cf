#include "sim/in_process_transport.h"
#include "sim/simulated_line.h"

namespace zep8::sim {

// Windows has no pseudo-terminals: the modules' line is inside the program.
SimulatedLine::Kind SimulatedLine::NativeKind() {
    return Kind::InProcess;
}

std::unique_ptr<LineTransport> SimulatedLine::MakeTransport(Kind,
                                                            std::vector<VirtualModule*> modules) {
    return std::make_unique<InProcessTransport>(std::move(modules));
}

}  // namespace zep8::sim
