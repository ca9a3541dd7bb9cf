// The real serial port and transaction engine against the virtual module on a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/exchange/device_io.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "link/serial/serial_port.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "platform/text.h"
#include "sim/pty_transport.h"
#include "sim/virtual_module.h"

namespace zep8 {
namespace {

using namespace std::chrono_literals;

sim::LineSettings FastLine() {
    sim::LineSettings line;
    line.baud = 115200;
    return line;
}

class EndToEnd : public ::testing::Test {
  protected:
    explicit EndToEnd(sim::LineSettings line = FastLine()) : module(line), transport(module) {}

    void SetUp() override {
        processState().reset();
        std::string error;
        ASSERT_TRUE(transport.start(error)) << error;
        auto serial = std::make_unique<SerialPort>();
        port = serial.get();
        io = std::make_unique<DeviceIO>(std::move(serial), prompter);
        NetRS485prg& net = io->programNet();
        net.SetValue("Port", transport.slavePath(), false);
        net.SetValue("bPS", "115200", false);
        net.SetValue("Addr", "16", false);
        net.SetValue("A.Len", "8", false);
        net.SetValue("LEn", "8", false);
        net.SetValue("Sbit", "1", false);
        net.SetValue("PrtY", "Отсутствует", false);
        port->directionMode = 1;
        ASSERT_EQ(io->ReopenPort(false), OPEN_OK) << port->OpenFailureReason();
    }
    void TearDown() override {
        io.reset();
        transport.stop();
        processState().reset();
    }

    int Read(Parameter& p, TraceLog* log = nullptr) {
        return io->TransferParameter(DIRECTION_READ, &p, log);
    }
    int Write(Parameter& p) { return io->TransferParameter(DIRECTION_WRITE, &p); }

    sim::VirtualModule module;
    sim::PtyTransport transport;
    RecordingPrompter prompter;
    SerialPort* port = nullptr;
    std::unique_ptr<DeviceIO> io;
};

TEST_F(EndToEnd, IdentifiesTheModule) {
    Parameter dev("dev"), ver("ver"), exit("exit");
    EXPECT_EQ(Read(dev), STATUS_OK) << dev.errorText;
    EXPECT_EQ(dev.value, "ZEP-8");
    EXPECT_EQ(Read(ver), STATUS_OK);
    EXPECT_EQ(ver.value, "v7.12");
    EXPECT_EQ(Read(exit), STATUS_OK);
    EXPECT_EQ(exit.value, "сброс по питанию");
}

TEST_F(EndToEnd, WritesAndReadsBackAnIndexedParameter) {
    Parameter written("in.SH");
    written.index = 3;
    written.value = "-12.5";
    written.changed = true;
    ASSERT_EQ(Write(written), STATUS_OK) << written.errorText;
    EXPECT_FALSE(written.changed);
    EXPECT_DOUBLE_EQ(*module.value("in.SH", 3), -12.5);
    EXPECT_DOUBLE_EQ(*module.value("in.SH", 2), 0);

    Parameter read("in.SH");
    read.index = 3;
    ASSERT_EQ(Read(read), STATUS_OK) << read.errorText;
    EXPECT_EQ(read.value, "-12.500");
    EXPECT_TRUE(read.attrEditable);
    EXPECT_FALSE(read.attrFactory);
    // One attribute exchange and one value exchange each way.
    EXPECT_EQ(module.count("M.s.t.r.").answered, 2);
    EXPECT_EQ(module.count("in.SH").answered, 2);
}

TEST_F(EndToEnd, LockedParameterTakesThreeExchanges) {
    module.setAttributes("Addr", 0, 0x02);  // the user's, locked
    Parameter addr("Addr");
    addr.value = "32";
    addr.attrEditable = false;
    addr.attrChanged = true;
    ASSERT_EQ(Write(addr), STATUS_OK) << addr.errorText;
    EXPECT_EQ(module.count("M.s.t.r.").answered, 2);
    EXPECT_EQ(module.count("Addr").answered, 1);
    EXPECT_EQ(*module.attributes("Addr"), 0x02);
    EXPECT_FALSE(addr.attrEditable);

    // Without unlocking, the module refuses the value.
    Parameter again("Addr");
    again.hasAttributes = false;
    again.value = "48";
    EXPECT_EQ(Write(again), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(again.errorText, "Редактирование параметра запрещено атрибутами доступа");
}

TEST_F(EndToEnd, SilentModuleMeansNoLink) {
    module.injectFault(sim::Fault::Silence, 4);
    Parameter dev("dev");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(dev.errorText, "Таймаут при передаче данных (нет связи)");
    EXPECT_EQ(processState().ExitStatus(), 4u);
    EXPECT_EQ(module.count("dev").received, 4);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4 * 110ms + 300ms);

    // The next good exchange shows that the line works but had trouble.
    EXPECT_EQ(Read(dev), STATUS_OK);
    EXPECT_EQ(processState().ExitStatus(), 8u);
}

TEST_F(EndToEnd, BadCheckSumIsReportedAtOnce) {
    // For a command: the calibration's state is not asked twice.
    module.injectFault(sim::Fault::BadChecksum);
    std::vector<std::uint8_t> reply;
    std::string error;
    EXPECT_FALSE(io->Exchange(true, "CLB.S", {}, reply, error, 0));
    EXPECT_EQ(error, "Ошибка в контрольной сумме ответа");
    EXPECT_EQ(module.count("CLB.S").received, 1);
}

TEST_F(EndToEnd, BadCheckSumOfAValueIsAskedAgain) {
    module.injectFault(sim::Fault::BadChecksum);
    Parameter dev("dev");
    EXPECT_EQ(Read(dev), STATUS_OK) << dev.errorText;
    EXPECT_EQ(dev.value, "ZEP-8");
    EXPECT_EQ(module.count("dev").received, 2);
    EXPECT_EQ(processState().ExitStatus(), 0u);

    // The same damaged reply twice is no noise on the line: no third try.
    module.injectFault(sim::Fault::BadChecksum, 100);
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(dev.errorText, "Ошибка в контрольной сумме ответа");
    EXPECT_EQ(module.count("dev").received, 4);
    EXPECT_EQ(processState().ExitStatus(), 8u);
}

// The polls ask "rEAd" at base + input under one hash. A reply that comes
// after its time-out, and the answer to the request sent again, must each
// land on their own input, never on the next one asked.
TEST_F(EndToEnd, ALateReplyNeverLandsOnTheNextInput) {
    module.setLineTiming(true);
    for (int k = 0; k < 4; ++k) module.setValue("in-t", k, 1);
    module.injectDelay(130ms);  // past the 110 ms reply wait at 115200 baud
    for (int round = 0; round < 2; ++round) {
        for (int k = 0; k < 4; ++k) {
            Parameter measured("rEAd");
            measured.addressOffset = k;
            ASSERT_EQ(Read(measured), STATUS_OK) << k << ": " << measured.errorText;
            EXPECT_EQ(measured.value, FormatFixed(20.0 + k, 1)) << "input " << k + 1;
        }
    }
}

TEST_F(EndToEnd, SixteenLostStarts) {
    module.injectFault(sim::Fault::LostStart, 16);
    Parameter dev("dev");
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(dev.errorText, "Потеря начала посылки.");
    EXPECT_EQ(module.count("dev").received, 16);
    EXPECT_EQ(processState().ExitStatus(), 8u);

    module.injectFault(sim::Fault::LostStart, 15);
    EXPECT_EQ(Read(dev), STATUS_OK);  // the sixteenth try gets through
}

TEST_F(EndToEnd, ApplyIsOneTransfer) {
    std::vector<std::uint8_t> reply;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(io->Exchange(false, "APLY", {}, reply, error, 0));
    EXPECT_EQ(module.count("APLY").received, 1);
    // Nothing answers an APLY: the transfer waits out one reply time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(EndToEnd, ModuleErrorTexts) {
    module.forceError("in.Fd", 0x36);
    Parameter filter("in.Fd");
    filter.hasAttributes = false;
    EXPECT_EQ(Read(filter), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(filter.errorText, "Индекс параметра превышает ограничитель индекса");
    module.forceError("in.Fd", 0xFF);
    EXPECT_EQ(Read(filter), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(filter.errorText, "Не найдено значение ошибки. (Код -1)");

    Parameter outOfRange("in.Fd");
    outOfRange.hasAttributes = false;
    outOfRange.index = 9;
    module.clearForcedError("in.Fd");
    EXPECT_EQ(Read(outOfRange), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(outOfRange.errorText, "Недопустимо большой линейный индекс");
}

TEST_F(EndToEnd, TraceOfARead) {
    Parameter type("in-t");
    type.hasAttributes = false;
    type.index = 0;
    module.setValue("in-t", 0, 6);
    TraceLog log;
    ASSERT_EQ(Read(type, &log), STATUS_OK);
    EXPECT_EQ(type.value, "ТХА(K)");
    EXPECT_EQ(log, (TraceLog{"Размер инф-ой части посылки 2 байт",
                             ">> Посылка: # 0 :   0 = 0x 0 (.)", ">> Посылка: # 1 :   0 = 0x 0 (.)",
                             "<< Ответ: # 0 :   6 = 0x 6 (.)", "<< Ответ: # 1 :   0 = 0x 0 (.)",
                             "<< Ответ: # 2 :   0 = 0x 0 (.)", "Всего получено 3 байт"}));
}

TEST_F(EndToEnd, StopEventEndsAnExchangePromptly) {
    module.injectDelay(2000ms);
    Parameter dev("dev");
    std::thread stopper([this] {
        std::this_thread::sleep_for(50ms);
        port->stopEvent.set();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    stopper.join();
}

TEST_F(EndToEnd, VanishedModuleEndsInTheRightText) {
    const std::string simulatedPath = transport.slavePath();
    transport.stop();
    transport.close();  // the pseudo-terminal goes away under the open port
    Parameter dev("dev");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(dev.errorText, "Порт " + simulatedPath +
                                 " отключился (обрыв связи): связь с прибором потеряна.\nПорт " +
                                 simulatedPath + " не найден: такого устройства нет.");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_TRUE(io->LineGone());
    EXPECT_EQ(processState().ExitStatus(), EXIT_PORT_ERROR);
}

class ForeignEndToEnd : public EndToEnd {
  protected:
    static sim::LineSettings RtuLine() {
        sim::LineSettings line = FastLine();
        line.protocol = sim::Protocol::ModbusRtu;
        return line;
    }
    ForeignEndToEnd() : EndToEnd(RtuLine()) {}
};

TEST_F(ForeignEndToEnd, ReturnCommandBringsTheModuleBack) {
    Parameter dev("dev");
    EXPECT_EQ(Read(dev), STATUS_EXCHANGE_FAILED);  // it does not speak the own protocol

    processState().ProtocolMode = PROTOCOL_MODBUS_RTU;
    ASSERT_EQ(io->ReopenPort(false), OPEN_OK);
    EXPECT_EQ(Read(dev), FOREIGN_OK) << dev.errorText;
    EXPECT_EQ(module.foreignReturns(), 1);

    processState().ProtocolMode = PROTOCOL_OWN;
    ASSERT_EQ(io->ReopenPort(false), OPEN_OK);
    EXPECT_EQ(Read(dev), STATUS_OK) << dev.errorText;
    EXPECT_EQ(dev.value, "ZEP-8");
}

}  // namespace
}  // namespace zep8
