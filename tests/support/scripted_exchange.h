#pragma once

// DeviceIO on a scripted port, the process's state fresh around each test.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/exchange/device_io.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "support/scripted_port.h"

namespace zep8::testing {

class ScriptedExchange : public ::testing::Test {
  protected:
    void SetUp() override { processState().reset(); }
    void TearDown() override { processState().reset(); }

    RecordingPrompter prompter;
    ScriptedPort* port = new ScriptedPort;
    DeviceIO io{std::unique_ptr<LinePort>(port), prompter};
    std::vector<std::uint8_t> reply;
    std::string error;
};

}  // namespace zep8::testing
