#include <gtest/gtest.h>

#include <bit>

#include "module_client.h"

namespace zep8::sim {
namespace {

using namespace test;

class Calibration : public ::testing::Test {
  protected:
    // The wizard's raw write of the sensor type: code, 0, input.
    void setSensor(int input, int code) {
        const auto reply =
            Ask(module, "in-t", false,
                {static_cast<std::uint8_t>(code), 0, static_cast<std::uint8_t>(input)});
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->hash, hash_name("in-t"));
    }
    Bytes command(std::string_view name, bool read, const Bytes& data = {}) {
        const auto reply = Ask(module, name, read, data);
        if (!reply || reply->hash != hash_name(name)) return {0xEE};
        return reply->data;
    }
    static float Coefficient(const Bytes& reply) {
        return std::bit_cast<float>(
            static_cast<std::uint32_t>(reply[1] << 24 | reply[2] << 16 | reply[3] << 8 | reply[4]));
    }

    VirtualModule module;
};

TEST_F(Calibration, TypeOneRunsFromStartToCommit) {
    CalibrationTask::Setup setup;
    setup.pollsNeeded = 3;
    setup.coefficients[0] = 1.25f;
    module.setCalibration(setup);
    setSensor(0, 2);

    EXPECT_EQ(command("CLB.I", false, {1}), (Bytes{0x01, 0x00}));
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x01, 0x00}));
    EXPECT_EQ(command("CLB.T", true), (Bytes{0x00, 0x01, 0x20})) << "not measured yet";
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x01, 0x00}));
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x80, 0x00})) << "third poll ends measuring";
    EXPECT_EQ(command("CLB.T", true), (Bytes{0x00, 0x80, 0x00}));

    const Bytes k1 = command("CLB.G", true, {1});
    ASSERT_EQ(k1.size(), 5u);
    EXPECT_EQ(k1[0], 1);
    EXPECT_FLOAT_EQ(Coefficient(k1), 1.25f);
    EXPECT_EQ(command("CLB.G", true, {2}), (Bytes{0x80, 0x21})) << "type 1 has one coefficient";

    EXPECT_EQ(command("CLB.P", false), (Bytes{0xC0, 0x00}));
    EXPECT_EQ(module.calibration().commits(), 1);
    EXPECT_EQ(command("CLB.A", false), (Bytes{0xC0, 0x00}));
    EXPECT_FALSE(module.calibration().running());
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.S", true)), 0x42) << "no task after the end";
}

TEST_F(Calibration, TypeFourCarriesValveAndInput) {
    setSensor(5, 41);
    EXPECT_EQ(command("CLB.I", false, {0x80 | 5, 4}), (Bytes{0x01, 0x00}));
    const CalibrationTask task = module.calibration();
    EXPECT_EQ(task.type(), 4);
    EXPECT_EQ(task.input(), 5);
    EXPECT_TRUE(task.valveOpen());
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x80, 0x00}));
    EXPECT_EQ(command("CLB.G", true, {1}).size(), 5u);
}

TEST_F(Calibration, TypeThreeHasFourCoefficients) {
    EXPECT_EQ(command("CLB.I", false, {3}), (Bytes{0x01, 0x00}));
    command("CLB.S", true);
    for (std::uint8_t n = 1; n <= 4; ++n) EXPECT_EQ(command("CLB.G", true, {n}).size(), 5u);
    EXPECT_EQ(command("CLB.G", true, {5}), (Bytes{0x80, 0x24}));
    EXPECT_EQ(command("CLB.G", true, {0}), (Bytes{0x80, 0x24}));
}

TEST_F(Calibration, RefusedStartsEndAtOnceWithTheirStatus) {
    // Type 2 needs a thermocouple on input 1; the input is switched off.
    EXPECT_EQ(command("CLB.I", false, {2}), (Bytes{0x80, 0x0A}));
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x80, 0x0A}));
    EXPECT_EQ(command("CLB.P", false), (Bytes{0x80, 0x0A})) << "nothing to commit";
    EXPECT_EQ(command("CLB.I", false, {7}), (Bytes{0x80, 0x0D}));
    EXPECT_EQ(command("CLB.I", false, {9, 4}), (Bytes{0x80, 0x0C}));
    setSensor(0, 5);
    EXPECT_EQ(command("CLB.I", false, {2}), (Bytes{0x01, 0x00}));
}

TEST_F(Calibration, SettableOutcomes) {
    CalibrationTask::Setup setup;
    setup.endStatus = 0x07;
    module.setCalibration(setup);
    command("CLB.I", false, {3});
    EXPECT_EQ(command("CLB.S", true), (Bytes{0x80, 0x07}));

    setup.endStatus = 0;
    setup.faultyCoefficient = 2;
    setup.commitRefusals = 2;
    module.setCalibration(setup);
    command("CLB.I", false, {3});  // a new start replaces the unfinished task
    command("CLB.S", true);
    EXPECT_EQ(command("CLB.T", true), (Bytes{0x02, 0x80, 0x00}));
    EXPECT_EQ(command("CLB.P", false), (Bytes{0x80, 0x0F}));
    EXPECT_EQ(command("CLB.P", false), (Bytes{0x80, 0x0F}));
    EXPECT_EQ(command("CLB.P", false), (Bytes{0xC0, 0x00}));
    EXPECT_EQ(module.calibration().commits(), 1);
}

TEST_F(Calibration, MalformedCommands) {
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.I", true, {1})), 0x32);
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.S", false)), 0x32);
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.I", false)), 0x31);
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.G", true)), 0x31);
    EXPECT_EQ(ErrorCode(Ask(module, "CLB.G", true, {1})), 0x42);
    EXPECT_EQ(command("CLB.A", false), (Bytes{0x00, 0x00})) << "aborting nothing is harmless";
}

}  // namespace
}  // namespace zep8::sim
