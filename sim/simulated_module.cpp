#include "sim/simulated_module.h"

namespace zep8::sim {

SimulatedModule::SimulatedModule(const LineSettings& settings) : module_(settings) {}

bool SimulatedModule::start(std::string& error) {
    return transport_.start(error);
}

}  // namespace zep8::sim
