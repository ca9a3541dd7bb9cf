#include "platform/process_state.h"

namespace zep8 {

void ProcessState::reset() {
    optionFlags = 0;
    actionFlags = 0;
    exitStatus_ = 0;
    exitAsked_ = false;
    ProtocolMode = PROTOCOL_OWN;
    failureCounter = 0;
    networkChanged = false;
    for (auto& running : pollerRunning) running = false;
}

ProcessState& processState() {
    static ProcessState state;
    return state;
}

}  // namespace zep8
