#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "model/catalogue.h"
#include "module_client.h"

namespace zep8::sim {
namespace {

using namespace test;

TEST(ModuleIdentity, AnswersTheProgramsIdentificationReads) {
    VirtualModule module;
    const auto dev = Ask(module, "dev", true);
    ASSERT_TRUE(dev);
    EXPECT_TRUE(dev->checksumOk);
    EXPECT_EQ(dev->hash, hash_name("dev"));
    EXPECT_EQ(dev->data, (Bytes{'8', '-', 'P', 'E', 'Z'}));  // last character first
    EXPECT_EQ(ReadText(module, "dev"), "ZEP-8");
    EXPECT_EQ(ReadText(module, "ver"), "v7.12");
    EXPECT_EQ(ReadText(module, "exit"), "сброс по питанию");

    module.setIdentity("ЗЕП-8", "v7.20");
    module.setRestartCause({0x18, 0x00, 0x10});
    EXPECT_EQ(Ask(module, "dev", true)->data.size(), 5u);  // one byte per letter on the wire
    EXPECT_EQ(ReadText(module, "dev"), "ЗЕП-8");
    EXPECT_EQ(ReadText(module, "exit"), "Адрес прибора: 16");
}

TEST(ModuleAddressing, AnswersOnlyItsOwnAddressAndMeasuredValuesAtEachInput) {
    VirtualModule module;  // 8-bit address 16
    module.setValue("in-t", 3, 11);
    EXPECT_TRUE(Ask(module, "dev", true, {}, 16));
    EXPECT_FALSE(Ask(module, "dev", true, {}, 17));
    EXPECT_FALSE(Ask(module, "dev", true, {}, 8));
    EXPECT_FALSE(Ask(module, "dev", true, {}, 16, true)) << "an 11-bit frame is not for it";
    const auto measured = Ask(module, "rEAd", true, {}, 16 + 3);
    ASSERT_TRUE(measured);
    EXPECT_EQ(measured->data.size(), 6u);
    EXPECT_FALSE(Ask(module, "rEAd", true, {}, 16 + 8));
    EXPECT_FALSE(Ask(module, "in-t", true, Index(3), 16 + 3)) << "only rEAd answers at base + i";
    EXPECT_EQ(module.total().received, 2);

    const auto any = module.handleFrame(RequestText("dev", true, {}, 255));
    ASSERT_TRUE(any) << "255 reaches any module";
    EXPECT_EQ(any->bytes.substr(1, 2), "HG") << "and is answered with the module's own address";

    module.setIgnoreBroadcast(true);
    EXPECT_FALSE(module.handleFrame(RequestText("dev", true, {}, 255))) << "unless it ignores 255";
    EXPECT_TRUE(Ask(module, "dev", true, {}, 16)) << "its own address still answers";
}

TEST(ModuleAddressing, ElevenBitAddressesUseBothHeaderBytes) {
    LineSettings s;
    s.addressBits = 11;
    s.address = 1600;
    VirtualModule module(s);
    const auto reply = module.handleFrame(RequestText("dev", true, {}, 1600, true));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->bytes.substr(0, 4), RequestText("dev", true, {}, 1600, true).substr(0, 4))
        << "the reply carries the request's address";
    EXPECT_FALSE(Ask(module, "dev", true, {}, 1600 & 0xFF, false));
    EXPECT_FALSE(Ask(module, "dev", true, {}, 1601, true));
    EXPECT_TRUE(Ask(module, "rEAd", true, {}, 1607, true));
}

TEST(ModuleValues, StartWithFactoryDefaultsOnEveryInput) {
    VirtualModule module;
    for (const std::string_view name : InputParameterNames()) {
        const std::string expected(*FactoryDefault(name));
        for (int i = 0; i < VirtualModule::kInputs; ++i) {
            const std::string text = ReadText(module, name, i);
            if (FindCatalogueEntry(name)->type == PT_ENUM) {
                EXPECT_EQ(text, expected) << name << " " << i;
            } else {
                EXPECT_DOUBLE_EQ(std::stod(text), std::stod(expected)) << name << " " << i;
            }
        }
    }
    EXPECT_EQ(ReadText(module, "Cj-.C"), "Включен");
    EXPECT_EQ(ReadText(module, "bPS"), "9600");
    EXPECT_EQ(ReadText(module, "LEn"), "8");
    EXPECT_EQ(ReadText(module, "Prot"), "АРВО");
    EXPECT_EQ(ReadText(module, "Addr"), "16");
    EXPECT_EQ(Ask(module, "in.SL", true, Index(0))->data, (Bytes{0x33, 0xE8, 0, 0}));
}

TEST(ModuleValues, WritesKeepTheValuePerInputAndEchoIt) {
    VirtualModule module;
    const auto reply = WriteText(module, "in.SH", "-12.5", 5);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->hash, hash_name("in.SH"));
    EXPECT_EQ(reply->data, (Bytes{0x90, 0x7D, 0, 5})) << "value as written, then the index";
    EXPECT_EQ(ReadText(module, "in.SH", 5), "-12.500");
    EXPECT_EQ(ReadText(module, "in.SH", 4), "0.000");

    WriteText(module, "in.Fd", "1800", 7);
    EXPECT_EQ(ReadText(module, "in.Fd", 7), "1800");
    WriteText(module, "in.Fd", "16.0", 2);  // a whole number with a point is still whole
    EXPECT_EQ(ReadText(module, "in.Fd", 2), "16");
    WriteText(module, "in-t", "Датчик 4…20мА", 1);
    EXPECT_EQ(ReadText(module, "in-t", 1), "Датчик 4…20мА");
    WriteText(module, "Itrl", "12.3", 0);
    EXPECT_EQ(ReadText(module, "Itrl", 0), "12.300");
    WriteText(module, "Cj-.C", "Выключен");
    EXPECT_EQ(ReadText(module, "Cj-.C"), "Выключен");
    EXPECT_EQ(module.value("in-t", 1), 11);
}

TEST(ModuleAttributes, ReadAndWriteTheAttributeBytePerInput) {
    VirtualModule module;
    const Bytes cjHash = HashBytes("Cj-.C");
    const Bytes fdHash = HashBytes("in.Fd");

    const auto plain = Ask(module, "M.s.t.r.", true, cjHash);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->hash, hash_name("M.s.t.r."));
    EXPECT_EQ(plain->data, Concat({0x03}, cjHash));
    EXPECT_EQ(Ask(module, "M.s.t.r.", true, Concat(Index(4), fdHash))->data,
              Concat(Concat({0x03}, Index(4)), fdHash));

    // Lock input 4: its value write is refused, input 3 stays writable.
    EXPECT_EQ(Ask(module, "M.s.t.r.", false, Concat(Concat({0x02}, Index(4)), fdHash))->data[0],
              0x02);
    EXPECT_EQ(module.attributes("in.Fd", 4), 0x02);
    EXPECT_EQ(ErrorCode(WriteText(module, "in.Fd", "5", 4)), 0x33);
    EXPECT_EQ(ErrorCode(WriteText(module, "in.Fd", "5", 3)), -1);

    // The program's way through a lock: unlock, write, lock again.
    Ask(module, "M.s.t.r.", false, Concat(Concat({0x01}, Index(4)), fdHash));
    EXPECT_EQ(ReadText(module, "in.Fd", 3), "5");
    EXPECT_EQ(ErrorCode(WriteText(module, "in.Fd", "7", 4)), -1);
    Ask(module, "M.s.t.r.", false, Concat(Concat({0x00}, Index(4)), fdHash));
    EXPECT_EQ(module.attributes("in.Fd", 4), 0x02) << "the owner bit is not the user's to change";
    EXPECT_EQ(ReadText(module, "in.Fd", 4), "7");

    module.setAttributes("Cj-.C", 0, 0x01);  // the factory's
    EXPECT_EQ(ErrorCode(Ask(module, "M.s.t.r.", false, Concat({0x03}, cjHash))), 0x07);
    EXPECT_EQ(module.attributes("Cj-.C"), 0x01);
    EXPECT_EQ(ErrorCode(WriteText(module, "Cj-.C", "Выключен")), -1) << "editable all the same";
}

struct ErrorCase {
    const char* what;
    const char* name;
    bool read;
    Bytes data;
    int code;
};

class ModuleErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ModuleErrors, AnswersTheErrorReplyWithItsCode) {
    VirtualModule module;
    const ErrorCase& c = GetParam();
    const auto reply = Ask(module, c.name, c.read, c.data);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->checksumOk);
    EXPECT_EQ(reply->hash, 0x0233);
    EXPECT_EQ(ErrorCode(reply), c.code);
    EXPECT_EQ(module.count(c.name).errorReplies, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModuleErrors,
    ::testing::Values(ErrorCase{"write dev", "dev", false, {'x'}, 0x03},
                      ErrorCase{"write ver", "ver", false, {'x'}, 0x03},
                      ErrorCase{"write exit", "exit", false, {0, 0, 7}, 0x03},
                      ErrorCase{"unknown hash", "Port", true, {}, 0x28},
                      ErrorCase{"unknown hash", "xyz", false, {1}, 0x28},
                      ErrorCase{"Itrl 40.0", "Itrl", false, {0x11, 0x90, 0, 0}, 0x06},
                      ErrorCase{"Addr 2048", "Addr", false, {0x08, 0x00}, 0x06},
                      ErrorCase{"in-t code 42", "in-t", false, {42, 0, 0}, 0x06},
                      ErrorCase{"bPS code 9", "bPS", false, {9}, 0x06},
                      ErrorCase{"index 8", "in.Fd", true, {0, 8}, 0x34},
                      ErrorCase{"index 256", "in.Fd", false, {0x05, 1, 0}, 0x34},
                      ErrorCase{"missing index", "in-t", true, {}, 0x31},
                      ErrorCase{"missing index", "in.SH", false, {0x05}, 0x31},
                      ErrorCase{"surplus index", "Cj-.C", true, {0, 1}, 0x31},
                      ErrorCase{"surplus index", "PrtY", false, {1, 0, 1}, 0x31},
                      ErrorCase{"data on read", "dev", true, {1}, 0x31},
                      ErrorCase{"point 4", "in.SH", false, {0x41, 0, 0}, 0x02},
                      ErrorCase{"Itrl with 2 decimals", "Itrl", false, {0x24, 0xB0, 0, 0}, 0x05},
                      ErrorCase{"in.Fd 1.5", "in.Fd", false, {0x10, 0x0F, 0, 0}, 0x04},
                      ErrorCase{"attributes of dev", "M.s.t.r.", true, HashBytes("dev"), 0x08},
                      ErrorCase{"attributes of nothing", "M.s.t.r.", true, {0x12, 0x34}, 0x28},
                      ErrorCase{"attribute index missing", "M.s.t.r.", true, HashBytes("in-t"),
                                0x31},
                      ErrorCase{"write rEAd", "rEAd", false, {1}, 0x32}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(ModuleErrors, DamagedRequestsAddressedToTheModule) {
    VirtualModule module;
    std::string request = RequestText("dev", true);
    request[request.size() - 2] = request[request.size() - 2] == 'G' ? 'H' : 'G';
    EXPECT_EQ(ErrorCode(ParseReplyText(module.handleFrame(request)->bytes)), 0x27);
    request = RequestText("dev", true);
    request[6] = 'z';
    EXPECT_EQ(ErrorCode(ParseReplyText(module.handleFrame(request)->bytes)), 0x26);
    EXPECT_FALSE(module.handleFrame("#GHGH\r")) << "too short to carry an address";
    EXPECT_FALSE(module.handleFrame("noise\r"));
    EXPECT_TRUE(module.handleFrame("noise" + RequestText("dev", true)))
        << "the frame starts at its #";
}

TEST(ModuleNetwork, WritesArePendingUntilApply) {
    VirtualModule module;
    WriteText(module, "bPS", "115200");
    WriteText(module, "PrtY", "Четность");
    WriteText(module, "A.Len", "11");
    WriteText(module, "Addr", "304");
    WriteText(module, "RS.dL", "7");
    EXPECT_EQ(module.activeSettings(), LineSettings{}) << "nothing changes before APLY";
    EXPECT_EQ(ReadText(module, "bPS"), "115200") << "reads show what was written";
    EXPECT_EQ(module.pendingSettings().address, 304);

    EXPECT_FALSE(Ask(module, "APLY", false)) << "APLY has no reply";
    const LineSettings active = module.activeSettings();
    EXPECT_EQ(active.baud, 115200);
    EXPECT_EQ(active.parity, Parity::Even);
    EXPECT_EQ(active.addressBits, 11);
    EXPECT_EQ(active.address, 304);
    EXPECT_EQ(active.responseDelayMs, 7);
    EXPECT_FALSE(Ask(module, "dev", true, {}, 16));
    EXPECT_TRUE(Ask(module, "dev", true, {}, 304, true));
    EXPECT_EQ(module.count("APLY").received, 1);
    EXPECT_EQ(module.count("APLY").answered, 0);
}

TEST(ModuleNetwork, RefusesToApplySettingsItCannotWorkWith) {
    VirtualModule module;
    WriteText(module, "Addr", "300");  // 8-bit addressing cannot reach it
    Ask(module, "APLY", false);
    EXPECT_EQ(module.refusedApplies(), 1);
    EXPECT_EQ(module.activeSettings().address, 16);

    WriteText(module, "Addr", "24");
    WriteText(module, "LEn", "7");  // 7N1 is not a format of the module
    Ask(module, "APLY", false);
    EXPECT_EQ(module.refusedApplies(), 2);
    WriteText(module, "Sbit", "2");
    Ask(module, "APLY", false);
    EXPECT_EQ(module.activeSettings().address, 24);
    EXPECT_EQ(module.activeSettings().dataBits, 7);
    EXPECT_EQ(ReadText(module, "LEn", std::nullopt, 24), "7");
}

TEST(ModuleMeasurement, ValuesComeFromTheInputsSource) {
    VirtualModule module;
    EXPECT_EQ(ReadText(module, "rEAd"), "Датчик отключен.");
    module.setValue("in-t", 2, 11);
    module.setSource(2, MeasurementSource::constant(50));
    const auto reply = Ask(module, "rEAd", true, {}, 18);
    ASSERT_EQ(reply->data.size(), 6u);
    EXPECT_EQ((Bytes(reply->data.begin(), reply->data.begin() + 4)), (Bytes{0x42, 0x48, 0, 0}));
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 18), "50.0");

    WriteText(module, "in.SL", "1.1", 2);
    WriteText(module, "in.SH", "-5", 2);
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 18), "50.0") << "50 * 1.1 - 5";

    module.setMeasurementException(2, 0xFD);
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 18), "Обрыв датчика.");
    module.setMeasurementException(2, std::nullopt);
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 18), "50.0");
}

TEST(ModuleMeasurement, RampAndSineFollowTheClock) {
    VirtualModule module;
    VirtualModule::Clock::time_point now{};
    module.setClock([&now] { return now; });
    module.setValue("in-t", 0, 3);
    module.setValue("in-t", 1, 3);
    module.setSource(0, MeasurementSource::ramp(10, 2, 5));
    module.setSource(1, MeasurementSource::sine(100, 10, 4));
    now += std::chrono::seconds(1);
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 16), "12.0");
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 17), "110.0");
    now += std::chrono::seconds(5);  // the ramp starts again after its period
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 16), "12.0");
    now += std::chrono::seconds(1);
    EXPECT_EQ(ReadText(module, "rEAd", std::nullopt, 17), "90.0");
}

TEST(ModuleTiming, ReplyDelayIsTheWireTimeOfBothFramesPlusTheResponseDelay) {
    LineSettings s;
    s.baud = 2400;
    s.parity = Parity::Even;
    s.stopBits = 1;
    s.responseDelayMs = 10;
    VirtualModule module(s);
    EXPECT_EQ(s.bitsPerCharacter(), 11);
    const std::string request = RequestText("dev", true);
    EXPECT_EQ(module.handleFrame(request)->delay, std::chrono::nanoseconds(0)) << "off by default";
    module.setLineTiming(true);
    const auto reply = module.handleFrame(request);
    const std::size_t chars = request.size() + reply->bytes.size();  // 14 + 24
    EXPECT_EQ(chars, 38u);
    EXPECT_EQ(reply->delay, std::chrono::nanoseconds(38LL * 11 * 1'000'000'000 / 2400) +
                                std::chrono::milliseconds(10));
}

TEST(ModuleCounters, CountWhatCrossedTheLinePerParameter) {
    VirtualModule module;
    Ask(module, "dev", true);
    Ask(module, "dev", true);
    Ask(module, "dev", false, {1});
    Ask(module, "in-t", true, Index(1));
    Ask(module, "dev", true, {}, 17);  // not for this module
    EXPECT_EQ(module.count("DEV").received, 3);
    EXPECT_EQ(module.count("dev").answered, 3);
    EXPECT_EQ(module.count("dev").errorReplies, 1);
    EXPECT_EQ(module.count("in-t").received, 1);
    EXPECT_EQ(module.count("ver").received, 0);
    EXPECT_EQ(module.total().received, 4);
    module.resetCounters();
    EXPECT_EQ(module.total().received, 0);
    EXPECT_EQ(module.count("dev").received, 0);
}

}  // namespace
}  // namespace zep8::sim
