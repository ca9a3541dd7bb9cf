#include "link/exchange/device_io.h"

#include <gtest/gtest.h>

#include "link/exchange/device_error_text.h"
#include "link/foreign/foreign_frame.h"
#include "link/foreign/foreign_status_text.h"
#include "model/name_hash.h"
#include "model/parameter.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "support/scripted_exchange.h"

namespace zep8 {
namespace {

using testing::kAttributes;
using testing::kDev;
using testing::kError;
using testing::ScriptedPort;
using Bytes = std::vector<std::uint8_t>;

class Engine : public testing::ScriptedExchange {
  protected:
    bool Read(std::string_view name, Bytes& reply, std::string& error, int offset = 0) {
        return io.Exchange(true, name, {}, reply, error, offset);
    }
};

TEST_F(Engine, FourTimeOutsMeanNoLink) {
    EXPECT_FALSE(Read("dev", reply, error));
    EXPECT_EQ(error, "Таймаут при передаче данных (нет связи)");
    EXPECT_EQ(port->sent.size(), 4u);
    EXPECT_EQ(processState().ExitStatus(), 4u);
    for (const auto& frame : port->sent) EXPECT_EQ(frame, port->sent[0]);  // the same frame again
}

TEST_F(Engine, ATimeOutDoesNotHideEarlierGarbage) {
    processState().SetExitStatus(8);
    EXPECT_FALSE(Read("dev", reply, error));
    EXPECT_EQ(processState().ExitStatus(), 8u);
}

TEST_F(Engine, GoodReplyAfterTimeOutsTurnsFourIntoEight) {
    EXPECT_FALSE(Read("dev", reply, error));
    port->Add(TRANSFER_TIMEOUT);
    port->Answer(kDev, {'8', '-', 'P', 'E', 'Z'});
    EXPECT_TRUE(Read("dev", reply, error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(reply, (Bytes{'8', '-', 'P', 'E', 'Z'}));
    EXPECT_EQ(processState().ExitStatus(), 8u);
}

TEST_F(Engine, BadCheckSumIsNotRepeated) {
    // A command's: the calibration's state (a value's read is asked again).
    std::string bad = ScriptedPort::Reply(hash_name("CLB.S"), {1, 2});
    bad[5] = bad[5] == 'G' ? 'H' : 'G';
    port->Add(TRANSFER_OK, bad);
    EXPECT_FALSE(Read("CLB.S", reply, error));
    EXPECT_EQ(error, "Ошибка в контрольной сумме ответа");
    EXPECT_EQ(port->sent.size(), 1u);
}

TEST_F(Engine, LostStartsAndLineErrorsHaveTheirOwnLimits) {
    for (int i = 0; i < 16; ++i) port->Add(TRANSFER_OK, i % 2 ? "garbage\r" : "#");
    EXPECT_FALSE(Read("dev", reply, error));
    EXPECT_EQ(error, "Потеря начала посылки.");
    EXPECT_EQ(port->sent.size(), 16u);
    EXPECT_EQ(processState().ExitStatus(), 8u);

    processState().SetExitStatus(0);
    port->sent.clear();
    for (int i = 0; i < 17; ++i) port->Add(TRANSFER_LINE_ERROR);
    EXPECT_FALSE(Read("dev", reply, error));
    EXPECT_EQ(error, "Неверны настройки порта.");
    EXPECT_EQ(port->sent.size(), 17u);
    EXPECT_EQ(processState().ExitStatus(), 8u);

    // The counters are independent: 3 time-outs, 16 line errors and 15 bad starts still pass.
    port->sent.clear();
    for (int i = 0; i < 3; ++i) port->Add(TRANSFER_TIMEOUT);
    for (int i = 0; i < 16; ++i) port->Add(TRANSFER_LINE_ERROR);
    for (int i = 0; i < 15; ++i) port->Add(TRANSFER_ABORTED);
    port->Answer(kDev, {'x'});
    EXPECT_TRUE(Read("dev", reply, error));
    EXPECT_EQ(port->sent.size(), 35u);
}

TEST_F(Engine, ApplyNeedsNoAnswer) {
    EXPECT_TRUE(io.Exchange(false, "APLY", {}, reply, error, 0));
    EXPECT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(error, "");
    EXPECT_EQ(port->Requests()[0].hash, 0x8403);
}

TEST_F(Engine, ModuleErrorReplies) {
    port->Answer(kError, {0x36});
    EXPECT_FALSE(Read("in-t", reply, error));
    EXPECT_EQ(error, "Индекс параметра превышает ограничитель индекса");
    EXPECT_EQ(reply, Bytes{0x36});  // the caller still sees the code
    port->Answer(kError, {0xFF});
    EXPECT_FALSE(Read("in-t", reply, error));
    EXPECT_EQ(error, "Не найдено значение ошибки. (Код -1)");
    port->Answer(0x1234, {});
    EXPECT_FALSE(Read("in-t", reply, error));
    EXPECT_EQ(error, "Пришла посылка с кодом команды, отличным от посланной и от n.Err.\n");
}

TEST_F(Engine, AddressingOfTheRequest) {
    port->settings.baseAddress = 32;
    Read("rEAd", reply, error, 3);
    EXPECT_EQ(static_cast<std::uint8_t>(port->Requests()[0].flags), 0x10);  // read flag, no data
    EXPECT_EQ(port->sent[0].substr(1, 2), "IJ");                            // 32 + 3 = 0x23
    port->sent.clear();
    Read("dev", reply, error, -1);
    EXPECT_EQ(port->sent[0].substr(1, 2), "VV");  // 255 whatever the base
    port->sent.clear();
    port->settings.addressLength = 11;
    port->settings.baseAddress = 2047;
    Read("dev", reply, error);
    EXPECT_EQ(port->sent[0].substr(1, 4), "VVVG");  // FF F0: three address bits over the read flag
}

TEST(DeviceErrorTexts, Table) {
    std::string text = "untouched";
    EXPECT_EQ(DeviceErrorText(nullptr, 0, text), 0);
    EXPECT_EQ(text, "untouched");
    auto of = [](std::uint8_t code) {
        std::string t;
        DeviceErrorText(&code, 1, t);
        return t;
    };
    EXPECT_EQ(of(0x00), "Безошибочный прием кадра");
    EXPECT_EQ(of(0x33), "Редактирование параметра запрещено атрибутами доступа");
    EXPECT_EQ(of(0x35), of(0x36));
    EXPECT_EQ(of(0x29),
              "Не найдена сетевая функция, хотя дескриптор найден!!!\t\t\t\t\t\t\t  В нормальном "
              "приборе эта ошибка встречаться НЕ ДОЛЖНА!!!");
    EXPECT_EQ(of(0x46), "В программе стоит заглушка функции RunCOMTask()");
    EXPECT_EQ(of(0x01), "Не найдено значение ошибки. (Код 1)");
    EXPECT_EQ(of(0x40), "Не найдено значение ошибки. (Код 64)");
    EXPECT_EQ(of(0x80), "Не найдено значение ошибки. (Код -128)");
    EXPECT_EQ(ForeignStatusText(5), "Адрес устройства в запросе не соответствует адресу в ответе.");
    EXPECT_EQ(ForeignStatusText(0), "");
    EXPECT_EQ(ForeignStatusText(-1), "");
}

class Transfer : public Engine {};

TEST_F(Transfer, ReadingDevIsOneRequestWithoutData) {
    Parameter dev("dev");
    port->Answer(kDev, {'2', '1', '.', '7', 'v'});
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &dev), STATUS_OK);
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->Requests()[0].flags, 0x10);
    EXPECT_EQ(dev.value, "v7.12");
}

TEST_F(Transfer, IndexedReadAndWriteDataFields) {
    Parameter filter("in.Fd");
    filter.index = 3;
    filter.hasAttributes = false;  // just the value exchange here
    port->Answer(0x1659, {0x00, 0x07, 0x00, 0x03});
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &filter), STATUS_OK);
    EXPECT_EQ(port->Requests()[0].data, (Bytes{0x00, 0x03}));
    EXPECT_EQ(filter.value, "7");

    filter.value = "300";
    filter.changed = true;
    port->Answer(0x1659, {0x01, 0x2C, 0x00, 0x03});  // a write is answered with the value
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &filter), STATUS_OK);
    EXPECT_EQ(port->Requests()[1].data, (Bytes{0x01, 0x2C, 0x00, 0x03}));
    EXPECT_EQ(port->Requests()[1].flags, 0x04);
    EXPECT_FALSE(filter.changed);
}

TEST_F(Transfer, LockedParameterIsUnlockedForTheWriteAndLockedAgain) {
    Parameter addr("Addr");
    addr.value = "32";
    addr.attrEditable = false;
    addr.attrChanged = true;
    port->Answer(kAttributes, {0x03, 0x9F, 0x62});
    port->Answer(0x9F62, {0x00, 0x20});
    port->Answer(kAttributes, {0x02, 0x9F, 0x62});
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), STATUS_OK);
    const auto requests = port->Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].hash, kAttributes);
    EXPECT_EQ(requests[0].data, (Bytes{0x03, 0x9F, 0x62}));  // editable, belongs to the user
    EXPECT_EQ(requests[1].data, (Bytes{0x00, 0x20}));
    EXPECT_EQ(requests[2].data, (Bytes{0x02, 0x9F, 0x62}));
    EXPECT_FALSE(addr.attrEditable);
    EXPECT_FALSE(addr.IsPending());
}

// The module has been unlocked when the value's write fails: the lock stays to
// be written, and the next write unlocks, writes and locks again (a plain
// attribute write first would lock the module before the value).
TEST_F(Transfer, LockedParameterWhoseValueWriteFailsStaysToBeLocked) {
    Parameter addr("Addr");
    addr.value = "32";
    addr.attrEditable = false;
    addr.attrChanged = true;
    port->Answer(kAttributes, {0x03, 0x9F, 0x62});  // the value is not answered
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), STATUS_EXCHANGE_FAILED);
    EXPECT_FALSE(addr.attrEditable);
    EXPECT_TRUE(addr.attrChanged);
    EXPECT_TRUE(addr.IsPending());

    const std::size_t before = port->Requests().size();
    port->Answer(kAttributes, {0x03, 0x9F, 0x62});
    port->Answer(0x9F62, {0x00, 0x20});
    port->Answer(kAttributes, {0x02, 0x9F, 0x62});
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), STATUS_OK);
    const auto requests = port->Requests();
    ASSERT_EQ(requests.size(), before + 3);
    EXPECT_EQ(requests[before].data, (Bytes{0x03, 0x9F, 0x62}));
    EXPECT_EQ(requests[before + 1].data, (Bytes{0x00, 0x20}));
    EXPECT_EQ(requests[before + 2].data, (Bytes{0x02, 0x9F, 0x62}));
    EXPECT_FALSE(addr.IsPending());
}

TEST_F(Transfer, AttributeReplyOfTheWrongSize) {
    Parameter type("in-t");
    type.index = 2;
    port->Answer(kAttributes, {0x03, 0x00, 0x02, 0x93});
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_ATTRIBUTE_SIZE);
    EXPECT_EQ(type.errorText, "Ошибка атрибутов; размер ответа не совпадает с ожидаемым.\n");
    EXPECT_EQ(port->Requests()[0].data, (Bytes{0x00, 0x02, 0x93, 0x2D}));
    EXPECT_EQ(port->sent.size(), 1u);
}

TEST_F(Transfer, AttributesOfAReadAreTaken) {
    Parameter type("in-t");
    type.index = 1;
    type.attrChanged = true;
    port->Answer(kAttributes, {0x01, 0x00, 0x01, 0x93, 0x2D});  // locked for the user: factory's
    port->Answer(0x932D, {0x05, 0x00, 0x01});
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_OK);
    EXPECT_TRUE(type.attrEditable);
    EXPECT_TRUE(type.attrFactory);
    EXPECT_EQ(type.value, "ТХК(L)");
}

TEST_F(Transfer, FailuresAndTheirStatuses) {
    Parameter dev("dev");
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, nullptr), STATUS_NO_PARAMETER);
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &dev), STATUS_EXCHANGE_FAILED);
    EXPECT_EQ(dev.errorText, "Таймаут при передаче данных (нет связи)");

    Parameter type("in-t");
    type.hasAttributes = false;
    type.value = "ТХК(L)";
    port->Answer(0x932D, {99, 0, 0});
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &type), STATUS_UNDECODABLE);
    EXPECT_EQ(type.errorText, "Не могу раскодировать ответ");
    EXPECT_EQ(type.value, "");

    Parameter shift("in.SH");
    shift.hasAttributes = false;
    shift.value = "-";
    port->sent.clear();
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &shift), STATUS_CANNOT_ENCODE);
    EXPECT_EQ(shift.errorText, "Неверное значение (неудается закодировать данные)");
    EXPECT_TRUE(port->sent.empty());

    Parameter attributes("Addr");
    attributes.value = "16";
    port->Answer(kError, {0x07});
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &attributes), STATUS_ATTRIBUTES_FAILED);
    EXPECT_EQ(attributes.errorText.rfind("Несанкционированная попытка редактирования", 0), 0u);
}

TEST_F(Transfer, NoDeviceCommunicationChangesNothing) {
    processState().optionFlags = OPT_NO_DEVICE;
    Parameter addr("Addr");
    addr.value = "32";
    addr.changed = true;
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), STATUS_OK);
    EXPECT_TRUE(port->sent.empty());
    EXPECT_TRUE(addr.changed);
    EXPECT_EQ(addr.value, "32");
}

TEST_F(Transfer, TraceLines) {
    Parameter slope("in.SL");
    slope.hasAttributes = false;
    slope.index = 1;
    slope.value = "1";
    TraceLog log;
    port->Answer(0x20B6, {0x33, 0xE8, 0x00, 0x01});
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &slope, &log), STATUS_OK);
    EXPECT_EQ(log, (TraceLog{
                       "Размер инф-ой части посылки 4 байт",
                       ">> Посылка: # 0 :  51 = 0x33 (3)",
                       ">> Посылка: # 1 : 232 = 0xE8 (и)",
                       ">> Посылка: # 2 :   0 = 0x 0 (.)",
                       ">> Посылка: # 3 :   1 = 0x 1 (.)",
                       "<< Ответ: # 0 :  51 = 0x33 (3)",
                       "<< Ответ: # 1 : 232 = 0xE8 (и)",
                       "<< Ответ: # 2 :   0 = 0x 0 (.)",
                       "<< Ответ: # 3 :   1 = 0x 1 (.)",
                       "Всего получено 4 байт",
                   }));
    Parameter dev("dev");
    log.clear();
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &dev, &log), STATUS_NO_ENCODING);
    EXPECT_EQ(log, TraceLog{"Метод формирования посылки для команды 'dev' не определен."});
}

TEST_F(Transfer, ForeignProtocolSendsTheReturnCommand) {
    processState().ProtocolMode = PROTOCOL_MODBUS_RTU;
    const std::string echo = BuildForeignFrame(PROTOCOL_MODBUS_RTU, 16, kModbusReturnCommand);
    port->Add(TRANSFER_OK, echo);
    Parameter addr("Addr");
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, &addr), FOREIGN_OK);
    EXPECT_EQ(port->sent[0], echo);
    EXPECT_EQ(addr.errorText, "");

    std::string wrongEcho = echo;
    wrongEcho[3] = '\x01';
    const std::uint16_t crc =
        ModbusCrc(std::vector<std::uint8_t>(wrongEcho.begin(), wrongEcho.end() - 2));
    wrongEcho[6] = static_cast<char>(crc & 0xFF);
    wrongEcho[7] = static_cast<char>(crc >> 8);
    port->Add(TRANSFER_OK, wrongEcho);
    EXPECT_EQ(io.TransferParameter(DIRECTION_WRITE, &addr), FOREIGN_MALFORMED);
    EXPECT_EQ(addr.errorText, "Некорректный ответ");

    processState().ProtocolMode = PROTOCOL_DCON;
    port->Add(TRANSFER_OK, "!10" + std::string("A1") + "\r");  // wrong check sum
    EXPECT_EQ(io.TransferParameter(DIRECTION_READ, nullptr), FOREIGN_CHECKSUM);
}

TEST_F(Transfer, ForeignTimeOutsTryBothConverters) {
    processState().ProtocolMode = PROTOCOL_MODBUS_ASCII;
    std::vector<std::uint8_t> reply;
    EXPECT_EQ(io.ExchangeForeignFrame(kModbusReturnCommand, reply), FOREIGN_TIMEOUT);
    EXPECT_EQ(port->directionModes, (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(port->directionMode.load(), 1);  // the last one tried stays

    port->settings.addressLength = 11;
    port->sent.clear();
    EXPECT_EQ(io.ExchangeForeignFrame(kModbusReturnCommand, reply), FOREIGN_NOT_8_BIT);
    EXPECT_TRUE(port->sent.empty());
}

class PortSettingsTest : public Engine {};

TEST_F(PortSettingsTest, LoadMapsTheProgramSettings) {
    NetRS485prg& net = io.programNet();
    net.SetValue("Port", "ttyUSB0", true);
    net.SetValue("bPS", "115200", true);
    net.SetValue("Addr", "48", true);
    net.SetValue("A.Len", "11", true);
    net.SetValue("LEn", "7", true);
    net.SetValue("Sbit", "2", true);
    processState().networkChanged = true;
    const std::pair<const char*, int> parities[] = {
        {"Отсутствует", SCHEME_NONE}, {"Четность", SCHEME_EVEN}, {"Нечетность", SCHEME_ODD}};
    for (const auto& [text, scheme] : parities) {
        net.SetValue("PrtY", text, true);
        io.LoadPortSettings();
        EXPECT_EQ(port->settings.parityScheme, scheme) << text;
    }
    EXPECT_EQ(port->settings.name, "ttyUSB0");
    EXPECT_EQ(port->settings.baudRate, 115200u);
    EXPECT_EQ(port->settings.baseAddress, 48);
    EXPECT_EQ(port->settings.addressLength, 11);
    EXPECT_EQ(port->settings.byteSize, 7);
    EXPECT_EQ(port->settings.stopBits, 2);
    EXPECT_FALSE(processState().networkChanged);
    for (const auto& p : net.parameters()) EXPECT_FALSE(p->changed);

    net.SetValue("PrtY", "четность?", false);  // matches no item: scheme unchanged
    io.LoadPortSettings();
    EXPECT_EQ(port->settings.parityScheme, SCHEME_ODD);
}

TEST_F(PortSettingsTest, ReopenReportsAFailureOnce) {
    port->openResult = OPEN_CANNOT_OPEN;
    io.programNet().SetValue("Port", "ttyS0", false);
    EXPECT_EQ(io.ReopenPort(true), OPEN_CANNOT_OPEN);
    EXPECT_EQ(processState().ExitStatus(), 2u);
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text,
              "Не удается открыть порт ttyS0. Связь с сетью отсутствует. Проверьте сетевые "
              "параметры\n\nПорт /dev/ttyS0 не найден: такого устройства нет.");
    EXPECT_EQ(prompter.messages()[0].caption, "Ошибка драйвера последовательного порта");

    io.ReopenPort(true);
    EXPECT_EQ(prompter.count(), 1u);  // the same failure again: told once
    processState().actionFlags = ACTION_AUTOMATION;
    io.programNet().SetValue("Port", "ttyS1", false);
    io.ReopenPort(true);
    EXPECT_EQ(prompter.count(), 1u);  // automation: no message
    processState().actionFlags = 0;

    port->openResult = OPEN_OK;
    EXPECT_EQ(io.ReopenPort(true), OPEN_OK);
    EXPECT_EQ(processState().ExitStatus(), 0u);
    port->openResult = OPEN_CANNOT_OPEN;
    io.programNet().SetValue("Port", "ttyS0", false);
    io.ReopenPort(true);
    EXPECT_EQ(prompter.count(), 2u);  // after an open it is news again
    port->openResult = OPEN_OK;
    io.ReopenPort(true);

    processState().optionFlags = OPT_SILENT;
    const int opens = port->opens;
    EXPECT_EQ(io.ReopenPort(true), OPEN_OK);
    EXPECT_EQ(port->opens, opens);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(PortSettingsTest, AnUnopenablePortSaysWhyInTheErrorText) {
    port->openResult = OPEN_CANNOT_OPEN;
    for (int i = 0; i < 16; ++i) port->Add(TRANSFER_ABORTED);
    EXPECT_FALSE(Read("dev", reply, error));
    EXPECT_EQ(error, "Потеря начала посылки.\nПорт /dev/ttyS0 не найден: такого устройства нет.");
}

}  // namespace
}  // namespace zep8
