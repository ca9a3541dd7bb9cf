#include "link/serial/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/serial/port_details.h"
#include "link/serial/port_list.h"
#include "link/serial/port_names.h"
#include "platform/process_state.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(LineTimings, TableOfReplyTimeOuts) {
    struct Row {
        unsigned baud;
        float characterTime;
        int own, rtu, silence;
    } rows[] = {{2400, 4.1667f, 410, 650, 15}, {4800, 2.0833f, 260, 380, 8},
                {9600, 1.0417f, 170, 230, 4},  {19200, 0.5208f, 110, 140, 2},
                {57600, 0.1736f, 110, 110, 1}, {115200, 0.0868f, 110, 110, 1}};
    for (const Row& r : rows) {
        const LineTimings own = ComputeLineTimings(r.baud, false, false, PROTOCOL_OWN);
        const LineTimings rtu = ComputeLineTimings(r.baud, false, false, PROTOCOL_MODBUS_RTU);
        EXPECT_NEAR(own.characterTime, r.characterTime, 0.0001) << r.baud;
        EXPECT_EQ(own.replyTimeout, r.own) << r.baud;
        EXPECT_EQ(rtu.replyTimeout, r.rtu) << r.baud;
        EXPECT_EQ(rtu.rtuSilence, r.silence) << r.baud;
    }
    // Parity and a second stop bit lengthen the character; the byte size does not count.
    EXPECT_NEAR(ComputeLineTimings(9600, true, true, PROTOCOL_OWN).characterTime, 1.25, 1e-6);
}

TEST(PortAccess, DevicePaths) {
    EXPECT_EQ(PortDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(PortDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(PortDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath("/dev/serial/by-id/usb-X"), "/dev/serial/by-id/usb-X");
    EXPECT_EQ(PortDevicePath("COMX"), "/dev/COMX");
}

TEST(PortAccess, PermissionReasons) {
    EXPECT_EQ(PermissionReason("/dev/ttyUSB0", "dialout", "ivan", false, false),
              "Нет прав на открытие порта /dev/ttyUSB0: устройство принадлежит группе dialout, "
              "а пользователь ivan в неё не входит. Добавьте его в группу (sudo usermod -a -G "
              "dialout ivan) и войдите в систему заново.");
    EXPECT_NE(PermissionReason("/dev/ttyUSB0", "dialout", "ivan", false, true)
                  .find("текущий сеанс начат раньше"),
              std::string::npos);
    EXPECT_EQ(DescribeOpenFailure("/dev/ttyNOPE", ENOENT),
              "Порт /dev/ttyNOPE не найден: такого устройства нет.");
}

TEST(PortAccess, EnumeratesRealPortsThenStableLinks) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("zep8-ports-" + std::to_string(getpid()));
    fs::remove_all(root);
    auto tty = [&](const std::string& name, const char* type) {
        fs::create_directories(root / "class" / name / "device");
        if (type) std::ofstream(root / "class" / name / "type") << type << "\n";
    };
    tty("ttyS0", "4");
    tty("ttyS1", "0");  // a placeholder without a UART
    tty("ttyS10", "4");
    tty("ttyUSB0", nullptr);
    fs::create_directories(root / "class" / "tty0");  // no device behind it
    fs::create_directories(root / "by-id");
    std::ofstream(root / "by-id" / "usb-FTDI_A1-if00-port0");
    std::ofstream(root / "by-id" / "bad:name");

    EXPECT_EQ(EnumeratePorts((root / "class").string(), (root / "by-id").string()),
              "ttyS0:ttyS10:ttyUSB0:" + (root / "by-id" / "usb-FTDI_A1-if00-port0").string());
    EXPECT_EQ(EnumeratePorts((root / "none").string(), (root / "none").string()), "");
    fs::remove_all(root);
}

// The latency timer of a USB adapter, by the port's name or by a stable link
// that leads to it; other ports have none.
TEST(PortAccess, ReadsTheLatencyTimerOfAUsbAdapter) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("zep8-usb-" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path devices = root / "bus" / "usb-serial" / "devices";
    fs::create_directories(devices / "ttyUSB0");
    std::ofstream(devices / "ttyUSB0" / "latency_timer") << "16\n";
    fs::create_directories(devices / "ttyUSB1");  // a driver without the timer
    fs::create_directories(root / "dev");
    std::ofstream(root / "dev" / "ttyUSB0");
    fs::create_symlink(root / "dev" / "ttyUSB0", root / "dev" / "usb-FTDI_A1-if00-port0");

    for (const fs::path& port :
         {fs::path("/dev/ttyUSB0"), root / "dev" / "usb-FTDI_A1-if00-port0"}) {
        const auto timer = ReadUsbLatencyTimer(port.string(), devices.string());
        ASSERT_TRUE(timer) << port;
        EXPECT_EQ(timer->milliseconds, 16);
        EXPECT_EQ(timer->file, (devices / "ttyUSB0" / "latency_timer").string());
    }
    EXPECT_FALSE(ReadUsbLatencyTimer("/dev/ttyUSB1", devices.string()));
    EXPECT_FALSE(ReadUsbLatencyTimer("/dev/ttyS0", devices.string()));
    fs::remove_all(root);
}

// A pseudo-terminal: the port opens the slave side, the test plays the module
// on the master side.
class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        processState().reset();
        char name[256];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        port.settings.name = name;
        port.directionMode = 1;
    }
    void TearDown() override {
        port.stopEvent.set();
        if (module.joinable()) module.join();
        port.Close();
        if (master >= 0) close(master);
        close(slave);
        processState().reset();
    }

    // Reads one request from the line (up to its carriage return).
    std::string ReadRequest() {
        std::string request;
        char c;
        pollfd p{master, POLLIN, 0};
        while (poll(&p, 1, 2000) > 0 && read(master, &c, 1) == 1) {
            request += c;
            if (c == '\r') break;
        }
        return request;
    }
    void Answer(std::string reply, std::chrono::milliseconds delay = 0ms) {
        module = std::thread([this, reply, delay] {
            ReadRequest();
            std::this_thread::sleep_for(delay);
            ASSERT_EQ(write(master, reply.data(), reply.size()),
                      static_cast<ssize_t>(reply.size()));
        });
    }

    int master = -1, slave = -1;
    SerialPort port;
    std::thread module;
    std::string reply;
};

TEST_F(PtyPort, OpenChecksTheSettings) {
    EXPECT_EQ(port.Open(), OPEN_OK);
    EXPECT_EQ(port.timings().replyTimeout, 170);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(port.Close(), -2);

    const std::pair<void (*)(PortSettings&), int> cases[] = {
        {[](PortSettings& s) { s.byteSize = 4; }, OPEN_BAD_BYTE_SIZE},
        {[](PortSettings& s) { s.byteSize = 9; }, OPEN_BAD_BYTE_SIZE},
        {[](PortSettings& s) { s.baudRate = 7200; }, OPEN_UNSUPPORTED},
        {[](PortSettings& s) { s.parityScheme = 6; }, OPEN_UNSUPPORTED},
        {[](PortSettings& s) { s.stopBits = 3; }, OPEN_UNSUPPORTED},
        {[](PortSettings& s) { s.baudRate = 14400; }, OPEN_OK},  // not a classic termios speed
        {[](PortSettings& s) { s.parityScheme = SCHEME_SPACE; }, OPEN_OK},
    };
    for (const auto& [change, expected] : cases) {
        PortSettings saved = port.settings;
        change(port.settings);
        EXPECT_EQ(port.Open(), expected);
        // Refused settings leave the port closed and say why.
        EXPECT_EQ(port.IsOpen(), expected == OPEN_OK);
        EXPECT_EQ(port.OpenFailureReason().empty(), expected == OPEN_OK);
        port.Close();
        port.settings = saved;
    }

    port.settings.baudRate = 12345;
    EXPECT_EQ(port.Open(), OPEN_UNSUPPORTED);
    EXPECT_EQ(port.OpenFailureReason(), "Скорость 12345 бод не поддерживается.");
    port.settings.baudRate = 9600;

    port.settings.name = "/dev/ttyNOPE";
    EXPECT_EQ(port.Open(), OPEN_CANNOT_OPEN);
    EXPECT_EQ(port.OpenFailureReason(), "Порт /dev/ttyNOPE не найден: такого устройства нет.");
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PtyPort, ReplyEndsWithItsCarriageReturn) {
    ASSERT_EQ(port.Open(), OPEN_OK);
    Answer("#HGHGTMOHPGMO\r");
    EXPECT_EQ(port.Transfer("#HGHGTMOHPGMO\r", reply), TRANSFER_OK);
    EXPECT_EQ(reply, "#HGHGTMOHPGMO\r");
}

TEST_F(PtyPort, OnlyThirtyOneCharactersAreKept) {
    ASSERT_EQ(port.Open(), OPEN_OK);
    Answer("#" + std::string(40, 'G') + "\r");
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_OK);
    EXPECT_EQ(reply, "#" + std::string(30, 'G'));
}

TEST_F(PtyPort, SilenceIsATimeOut) {
    ASSERT_EQ(port.Open(), OPEN_OK);
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_TIMEOUT);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 170ms);
    EXPECT_LT(waited, 400ms);
    // Characters without the carriage return are no reply either.
    Answer("#GGGG");
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_TIMEOUT);
}

TEST_F(PtyPort, ModbusRtuReplyEndsWithSilence) {
    processState().ProtocolMode = PROTOCOL_MODBUS_RTU;
    ASSERT_EQ(port.Open(), OPEN_OK);
    EXPECT_EQ(port.timings().replyTimeout, 230);
    module = std::thread([this] {
        char request[2];
        pollfd p{master, POLLIN, 0};
        for (std::size_t got = 0; got < 2 && poll(&p, 1, 2000) > 0;) {
            got += static_cast<std::size_t>(
                std::max<ssize_t>(read(master, request + got, 2 - got), 0));
        }
        ASSERT_EQ(write(master, "\x10\x05\xF0", 3), 3);
    });
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer(std::string("\x10\x05", 2), reply), TRANSFER_OK);
    EXPECT_LT(Clock::now() - start, 150ms);
    EXPECT_EQ(reply, std::string("\x10\x05\xF0", 3));
}

TEST_F(PtyPort, StopEventEndsTheWaitAtOnce) {
    port.settings.baudRate = 2400;
    ASSERT_EQ(port.Open(), OPEN_OK);
    std::thread stopper([this] {
        std::this_thread::sleep_for(50ms);
        port.stopEvent.set();
    });
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_ABORTED);
    EXPECT_LT(Clock::now() - start, 300ms);
    stopper.join();
}

TEST_F(PtyPort, VanishedLineEndsTheTransfer) {
    port.settings.baudRate = 2400;
    ASSERT_EQ(port.Open(), OPEN_OK);
    module = std::thread([this] {
        ReadRequest();
        close(master);
        master = -1;
    });
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_LINE_GONE);
    EXPECT_EQ(reply, "");
    EXPECT_LT(Clock::now() - start, 300ms);
    // The hang-up closes the port and says so; nothing is left to spin on.
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(port.OpenFailureReason().find("связь с прибором потеряна"), std::string::npos);
}

TEST_F(PtyPort, SemiAutomaticConverterPacesTheBytes) {
    port.settings.baudRate = 2400;
    port.directionMode = 0;
    ASSERT_EQ(port.Open(), OPEN_OK);
    const std::string frame = "#HGHGTMOHPGMO\r";
    Answer("#\r");
    const auto start = Clock::now();
    EXPECT_EQ(port.Transfer(frame, reply), TRANSFER_OK);
    // One character time after each of the 14 bytes.
    const std::chrono::duration<double, std::milli> lowerBound(14 * 4.1667);
    EXPECT_GE(Clock::now() - start, lowerBound);
}

TEST_F(PtyPort, ATransferOpensAClosedPortForItself) {
    Answer("#\r");
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_OK);
    EXPECT_EQ(reply, "#\r");
    EXPECT_FALSE(port.IsOpen());

    port.settings.baudRate = 12345;
    EXPECT_EQ(port.Open(), OPEN_UNSUPPORTED);
    EXPECT_EQ(port.OpenFailureReason(), "Скорость 12345 бод не поддерживается.");
    port.settings.baudRate = 9600;

    port.settings.name = "/dev/ttyNOPE";
    EXPECT_EQ(port.Transfer("#GG\r", reply), TRANSFER_LINE_GONE);
    EXPECT_NE(port.OpenFailureReason(), "");
}

}  // namespace
}  // namespace zep8
