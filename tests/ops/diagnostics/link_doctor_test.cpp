// The connection doctor and the echo setting on virtual lines.
#include "ops/diagnostics/link_doctor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "link/serial/serial_port.h"
#include "sim/pty_transport.h"
#include "sim/simulated_module.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

class RecordingDoctor : public DoctorObserver {
  public:
    void DoctorLine(std::string_view line) override {
        std::lock_guard lock(mutex);
        text += std::string(line) + "\n";
    }
    std::mutex mutex;
    std::string text;
};

class EchoingLine : public testing::DeviceOnPty {
  protected:
    void SetUp() override {
        DeviceOnPty::SetUp();
        simulated.transport().setEcho(true);
    }
};

// A two-wire adapter that hears itself: the program takes its own request for
// the answer until the echo setting drops it; the doctor finds out and says so.
TEST_F(EchoingLine, FailsWithoutTheSettingReadsEverythingWithItAndTheDoctorProposesIt) {
    ASSERT_TRUE(device->ReadAll());
    EXPECT_GT(observer.counter(ProgressCounter::ParametersWithErrors), 0);

    RecordingDoctor report;
    LinkDoctor doctor([] { return std::make_unique<SerialPort>(); }, report);
    device->ClosePort();
    EXPECT_EQ(doctor.Run(DoctorSetupFrom(device->programNet(), 0)), 0u) << report.text;
    EXPECT_TRUE(doctor.findings().echo);
    EXPECT_NE(report.text.find("эхо передатчика: не снимать -> снимать"), std::string::npos)
        << report.text;

    ApplyDoctorFindings(doctor.findings(), device->programNet());
    EXPECT_EQ(device->programNet().GetValue("Echo"), kEchoOn);
    device->Rebuild();
    processState().reset();
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(observer.counter(ProgressCounter::ParametersWithErrors), 0);
    EXPECT_EQ(device->commonNode.GetValue("dev"), "ZEP-8");
    EXPECT_EQ(device->netNode.GetValue("bPS"), "115200");
}

// A module left on ModBUS-ASCII at another speed: found
// by the foreign sweep, brought back, identified; Abort ends a run at once.
TEST(LinkDoctor, FindsAModuleLeftOnAForeignProtocolAndStopsWhenAborted) {
    processState().reset();
    sim::LineSettings line;
    line.baud = 57600;
    line.protocol = sim::Protocol::ModbusAscii;
    sim::SimulatedModule simulated(line);
    std::string error;
    ASSERT_TRUE(simulated.start(error)) << error;

    NetRS485prg program;
    testing::PointProgramAt(program, simulated.portPath(), line);
    program.SetValue("bPS", "9600", false);
    RecordingDoctor report;
    LinkDoctor doctor([] { return std::make_unique<SerialPort>(); }, report);
    EXPECT_EQ(doctor.Run(DoctorSetupFrom(program, 1)), 0u) << report.text;
    EXPECT_EQ(doctor.findings().foreignProtocol, PROTOCOL_MODBUS_ASCII);
    EXPECT_EQ(doctor.findings().settings.baudRate, 57600u);
    EXPECT_EQ(doctor.findings().directionMode, 1);
    EXPECT_EQ(simulated.module().activeSettings().protocol, sim::Protocol::Own);
    EXPECT_NE(report.text.find("Прибор был оставлен на протоколе ModBUS-ASCII"), std::string::npos);

    RecordingDoctor aborted;
    LinkDoctor stopped([] { return std::make_unique<SerialPort>(); }, aborted);
    stopped.Abort();
    EXPECT_EQ(stopped.Run(DoctorSetupFrom(program, 0)),
              static_cast<std::uint32_t>(EXIT_INTERRUPTED));
    EXPECT_NE(aborted.text.find(LinkDoctor::kAbortedText), std::string::npos);
    simulated.stop();
    processState().reset();
}

// A USB adapter whose latency timer stays at 16 ms: the doctor tells what that
// costs at the module's speed and how to set it.
TEST(LinkDoctor, TellsWhatAUsbAdaptersLatencyTimerCosts) {
    namespace fs = std::filesystem;
    processState().reset();
    sim::SimulatedModule simulated(testing::FastLine());
    std::string error;
    ASSERT_TRUE(simulated.start(error)) << error;
    const fs::path root = fs::temp_directory_path() / ("zep8-doctor-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "devices" / "ttyUSB0");
    std::ofstream(root / "devices" / "ttyUSB0" / "latency_timer") << "16\n";
    fs::create_symlink(simulated.portPath(), root / "ttyUSB0");

    NetRS485prg program;
    testing::PointProgramAt(program, (root / "ttyUSB0").string(), testing::FastLine());
    RecordingDoctor report;
    LinkDoctor doctor([] { return std::make_unique<SerialPort>(); }, report);
    doctor.SetUsbSerialFolder((root / "devices").string());
    EXPECT_EQ(doctor.Run(DoctorSetupFrom(program, 0)), 0u) << report.text;
    const std::string timer = (root / "devices" / "ttyUSB0" / "latency_timer").string();
    EXPECT_NE(report.text.find("Таймер задержки USB-адаптера (" + timer + "): 16 мс."),
              std::string::npos)
        << report.text;
    EXPECT_NE(report.text.find("≈16 мс на каждый обмен, в 5 раз больше времени самого обмена на "
                               "115200 бит/с (3.3 мс)."),
              std::string::npos)
        << report.text;
    EXPECT_NE(report.text.find("echo 1 | sudo tee " + timer + "\n"), std::string::npos);
    simulated.stop();
    fs::remove_all(root);
    processState().reset();
}

// A module that ignores "any module" (255): nothing answers the doctor's
// probes, so it goes on with the survey's sweep, finds the module at its
// address and speed, and its findings become the program's settings.
TEST(LinkDoctor, FindsAModuleThatIgnoresAddress255ByTheAddressSweep) {
    processState().reset();
    sim::LineSettings line;
    line.baud = 38400;
    line.address = 40;
    sim::SimulatedModule simulated(line);
    simulated.module().setIgnoreBroadcast(true);
    std::string error;
    ASSERT_TRUE(simulated.start(error)) << error;

    NetRS485prg program;
    testing::PointProgramAt(program, simulated.portPath(), line);
    program.SetValue("bPS", "115200", false);
    program.SetValue("Addr", "16", false);
    RecordingDoctor report;
    LinkDoctor doctor([] { return std::make_unique<SerialPort>(); }, report);
    doctor.SetSweepSpeeds({115200, 38400});  // every speed would take most of a minute
    EXPECT_EQ(doctor.Run(DoctorSetupFrom(program, 0)), 0u) << report.text;
    EXPECT_NE(report.text.find("На адрес 255 не ответил никто"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("  38400 бит/с, адреса 0–248 (пройдено 32 из 64)"),
              std::string::npos)
        << report.text;
    EXPECT_NE(report.text.find("  адрес: 16 -> 40"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("  скорость: 115200 -> 38400"), std::string::npos);

    ApplyDoctorFindings(doctor.findings(), program);
    EXPECT_EQ(program.GetValue("Addr"), "40");
    EXPECT_EQ(program.GetValue("bPS"), "38400");
    simulated.stop();
    processState().reset();
}

}  // namespace
}  // namespace zep8
