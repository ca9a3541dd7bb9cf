// zep8 --simulate: the virtual module as on a test bench; --simulate=factory:
// as it leaves the factory.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <string>

#include "app/application.h"
#include "app/command_line.h"
#include "model/number_text.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "sim/module_client.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;

struct SimulatedRun {
    explicit SimulatedRun(const std::string& option) : run(ParseCommandLine({option}), env) {
        processState().reset();
    }
    sim::VirtualModule& module() { return run.simulated->module(); }
    std::string Measured(int input) {
        const int base = module().activeSettings().address;
        return sim::test::ReadText(module(), "rEAd", std::nullopt, base + input);
    }

    MemorySettingsStore store;
    std::ostringstream out, err;
    RunEnvironment env{out, err, store, ""};
    RunContext run;
};

std::optional<double> Number(const std::string& text) {
    const NumberReading reading = ReadNumber(text);
    if (reading.consumed == 0 || reading.consumed != text.size()) return std::nullopt;
    return reading.value;
}

TEST(SimulateOption, BenchInputsMeasureAndChangeFactoryInputsHaveNoSensor) {
    SimulatedRun bench("--simulate");
    ASSERT_EQ(bench.run.Prepare(), kRunGoesOn) << bench.err.str();
    sim::VirtualModule::Clock::time_point now{};
    bench.module().setClock([&now] { return now; });
    now += 3s;
    std::optional<double> before[4];
    for (int input = 0; input < 4; ++input) {
        before[input] = Number(bench.Measured(input));
        ASSERT_TRUE(before[input]) << "input " << input + 1 << ": " << bench.Measured(input);
    }
    now += 9s;  // every sine still rising: none of them back where it was
    for (int input = 0; input < 4; ++input) {
        const std::optional<double> after = Number(bench.Measured(input));
        ASSERT_TRUE(after);
        EXPECT_NE(*after, *before[input]) << "input " << input + 1;
    }
    EXPECT_EQ(bench.Measured(4), "Датчик отключен.");

    SimulatedRun factory("--simulate=factory");
    ASSERT_EQ(factory.run.Prepare(), kRunGoesOn) << factory.err.str();
    EXPECT_TRUE(factory.run.options.portGiven());
    EXPECT_EQ(factory.Measured(0), "Датчик отключен.");
}

}  // namespace
}  // namespace zep8
