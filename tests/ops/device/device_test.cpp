#include "ops/device/device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "support/device_on_pty.h"

namespace zep8 {
namespace {

using testing::DeviceOnPty;

class Session : public DeviceOnPty {
  protected:
    int Counter(ProgressCounter c) const { return observer.counter(c); }
    Parameter& Input(int i, const char* name) {
        return *device->channelsNode.channel(i).FindParameter(name);
    }
};

// "ver" is read the way the module's own tools print it: decimal, 0x, leading 0.
TEST(MajorVersion, ReadsLikePercentI) {
    EXPECT_EQ(MajorVersion("v7.12"), 7);
    EXPECT_EQ(MajorVersion("ver 0x7"), 7);
    EXPECT_EQ(MajorVersion("07.1"), 7);
    EXPECT_EQ(MajorVersion("010"), 8);
    EXPECT_EQ(MajorVersion("12"), 12);
    EXPECT_EQ(MajorVersion(".5"), 0);
    EXPECT_EQ(MajorVersion("none"), 0);
}

TEST_F(Session, ReadAllFillsEveryGroup) {
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(observer.captions, std::vector<std::string>{"Идет чтение параметров из прибора"});
    EXPECT_EQ(device->commonNode.GetValue("dev"), "ZEP-8");
    EXPECT_EQ(device->netNode.GetValue("bPS"), "115200");
    EXPECT_EQ(device->netNode.GetValue("Prot"), "АРВО");
    EXPECT_EQ(device->channelsNode.GetValue("Cj-.C"), "Включен");
    EXPECT_EQ(Input(7, "in-t").value, "Датчик отключен");
    EXPECT_EQ(Input(7, "in.SL").value, "1.000");
    EXPECT_EQ(Counter(ProgressCounter::Groups), 11);
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 3 + 8 + 1 + 8 * 9);
    EXPECT_EQ(Counter(ProgressCounter::ParametersWithErrors), 0);
    EXPECT_EQ(prompter.count(), 0u);
}

TEST_F(Session, WriteAllThenCompareFindsNoDifference) {
    ASSERT_TRUE(device->ReadAll());
    Input(2, "in-t").value = "ТХК(L)";
    Input(2, "Ain.H").value = "250.5";
    module().setValue("in.Fd", 5, 900);  // the module drifted away from the configuration
    ASSERT_TRUE(device->WriteAll());
    EXPECT_EQ(*module().value("in-t", 2), 5);
    EXPECT_DOUBLE_EQ(*module().value("Ain.H", 2), 250.5);
    EXPECT_DOUBLE_EQ(*module().value("in.Fd", 5), 0);

    // Read back, the module keeps what the configuration says.
    Input(2, "Ain.H").value = "250.500";
    ASSERT_TRUE(device->Compare());
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "Отличий не обнаружено");
    EXPECT_EQ(prompter.messages()[0].caption, "Результат сравнения");
}

TEST_F(Session, CompareReportsTheFirstTenOfTwelve) {
    ASSERT_TRUE(device->ReadAll());
    for (int i = 0; i < 8; ++i) module().setValue("in.Fd", i, 5);
    for (int i = 0; i < 4; ++i) module().setValue("Itrl", i, 2.5);
    ASSERT_TRUE(device->Compare());
    EXPECT_EQ(device->differenceCount(), 12);
    const std::string text = prompter.messages().back().text;
    EXPECT_EQ(text.rfind("Обнаружены отличия (12) (показанны только первые 10):\n\n1) Параметер "
                         "'in.Fd (Постоянная времени  цифрового фильтра) в конфигурации: "
                         "значение=0,Редактируемый,принадлежит пользователю; в приборе: "
                         "значение=5,Редактируемый,принадлежит пользователю.\n\n2) Параметер "
                         "'Itrl (",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\n10) Параметер 'in.Fd"), std::string::npos);
    EXPECT_EQ(text.find("\n11) "), std::string::npos);
}

TEST_F(Session, WriteChangedWithNothingChangedWritesNothing) {
    ASSERT_TRUE(device->ReadAll());
    module().resetCounters();
    ASSERT_TRUE(device->WriteChanged());
    EXPECT_EQ(observer.captions.back(), "Идет запись измененных значений параметров в прибор");
    EXPECT_EQ(module().total().received, 0);
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 0);
    EXPECT_EQ(Counter(ProgressCounter::Groups), 11);
}

TEST_F(Session, FiveTimeOutsInARowStopTheJob) {
    module().injectFault(sim::Fault::Silence, 1000);
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 5);
    EXPECT_EQ(Counter(ProgressCounter::ParametersWithErrors), 5);
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text,
              "Так как прошло 5 безуспешных попыток чтения,\nто операции обмена будут "
              "прекращены.");
    EXPECT_EQ(prompter.messages()[0].icon, Icon::Information);
    EXPECT_FALSE(device->abortEvent.isSet());  // reset when the job ends
    EXPECT_EQ(processState().failureCounter.load(), 0);
}

TEST_F(Session, ErrorRepliesDoNotStopTheJob) {
    for (const char* name : {"dev", "ver", "exit", "M.s.t.r."}) module().forceError(name, 0x28);
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 84);
    EXPECT_EQ(Counter(ProgressCounter::ParametersWithErrors), 84);
    EXPECT_EQ(prompter.count(), 0u);
    EXPECT_EQ(Input(0, "in-t").errorText, "Не найден дескриптор");
}

TEST_F(Session, AbortStopsTheJobAndMarksTheRun) {
    observer.onCounter = [this](ProgressCounter c, int value) {
        if (c == ProgressCounter::Parameters && value >= 12) device->Abort();
    };
    ASSERT_TRUE(device->ReadAll());
    EXPECT_LT(Counter(ProgressCounter::Parameters), 84);
    EXPECT_EQ(processState().ExitStatus(), 0x20u);
    EXPECT_FALSE(device->abortEvent.isSet());
}

// Stops the run from the line itself, at the first exchange: as the caller's
// exit event or "Прервать" would while that exchange is under way.
class StopAtFirstExchange : public ExchangeTap {
  public:
    explicit StopAtFirstExchange(std::function<void()> stop) : stop_(std::move(stop)) {}
    void OnExchange(const ExchangeRecord&) override {
        if (!stopped_.exchange(true)) stop_();
    }

  private:
    std::function<void()> stop_;
    std::atomic<bool> stopped_{false};
};

// The module stops answering and the run is stopped while an exchange waits
// for it: that exchange fails after the stop, and the run still ends as
// stopped (205), not with failed parameters (204) or a dead line (202); the
// file of an automated read is not replaced by what little was read.
TEST_F(Session, AnExchangeThatFailsAfterTheStopLeavesTheRunStopped) {
    processState().actionFlags = ACTION_AUTOMATION | ACTION_READ_ALL;
    module().injectFault(sim::Fault::Silence, 1000);
    StopAtFirstExchange operatorStop([this] { device->Abort(); });
    device->AddTap(&operatorStop);
    ASSERT_TRUE(device->ReadAll());
    device->RemoveTap(&operatorStop);
    EXPECT_EQ(processState().ExitStatus(), std::uint32_t{EXIT_INTERRUPTED});
    EXPECT_EQ(host.saves, 0);

    // The exit watcher gives the verdict before it sets the abort event.
    processState().SetExitStatus(0);
    StopAtFirstExchange callerStop([] { processState().SetExitStatus(EXIT_INTERRUPTED); });
    device->AddTap(&callerStop);
    ASSERT_TRUE(device->ReadAll());
    device->RemoveTap(&callerStop);
    EXPECT_EQ(processState().ExitStatus(), std::uint32_t{EXIT_INTERRUPTED});
    EXPECT_EQ(host.saves, 0);
}

TEST_F(Session, TheProgramsStopEndsTheJobUnderWayAndEveryRunAfter) {
    observer.onCounter = [this](ProgressCounter c, int value) {
        if (c == ProgressCounter::Parameters && value == 12) device->StopAll();
    };
    ASSERT_TRUE(device->ReadAll());
    EXPECT_LT(Counter(ProgressCounter::Parameters), 84);
    observer.onCounter = nullptr;
    module().resetCounters();
    // Nothing after it goes to the module: a job, a read or write of its own.
    ASSERT_TRUE(device->WriteAll());
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 0);
    Parameter dev("dev");
    EXPECT_EQ(device->ReadParameter(dev), DEVICE_ABORTED);
    Parameter filter = *device->channelsNode.channel(0).FindParameter("in.Fd");
    EXPECT_EQ(device->WriteParameter(filter), DEVICE_ABORTED);
    EXPECT_FALSE(device->EstablishLink());
    EXPECT_EQ(module().total().received, 0);
    EXPECT_TRUE(device->abortEvent.isSet());
}

TEST_F(Session, AStopOutsideAJobStopsNoJob) {
    // Five silent reads of their own (a dialog's) stop those reads only.
    module().injectFault(sim::Fault::Silence, 1000);
    for (int i = 0; i < 5; ++i) {
        Parameter dev("dev");
        std::thread([&] { device->ReadParameter(dev); }).join();
    }
    ASSERT_EQ(prompter.count(), 1u);
    module().clearFaults();
    device->abortEvent.set();  // a stop left from before belongs to no job
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 84);
    EXPECT_EQ(Counter(ProgressCounter::ParametersWithErrors), 0);
}

TEST_F(Session, ErrorLogGetsOneLinePerFailure) {
    const std::string path = ::testing::TempDir() + "zep8-elog-" + std::to_string(getpid());
    std::filesystem::remove(path);
    device->SetErrorLogPath(path);
    module().forceError("in-t", 0x34);
    ASSERT_TRUE(device->ReadAll());
    {
        std::ifstream log(path);  // closed before the file goes
        std::string first;
        std::getline(log, first);
        EXPECT_EQ(first, "in-t:0 - Недопустимо большой линейный индекс");
        int lines = 1;
        for (std::string line; std::getline(log, line);) ++lines;
        EXPECT_EQ(lines, 8);
    }
    std::filesystem::remove(path);
}

TEST_F(Session, WritingNoDataIsRefusedWithoutTraffic) {
    Parameter& addr = *device->netNode.FindParameter("Addr");
    module().resetCounters();
    EXPECT_EQ(device->WriteParameter(addr), DEVICE_NO_DATA);
    EXPECT_EQ(addr.errorText, "Значение не записанно, так как параметер не инициализирован");
    EXPECT_EQ(module().total().received, 0);
    Parameter negative("in-t");
    negative.index = -1;
    EXPECT_EQ(device->ReadParameter(negative), DEVICE_NEGATIVE_INDEX);
}

TEST_F(Session, SingleParameterJobs) {
    Parameter& type = Input(4, "in-t");
    type.value = "ТХА(K)";
    ASSERT_TRUE(device->WriteOne(type));
    EXPECT_EQ(*module().value("in-t", 4), 6);
    type.value = "?";
    ASSERT_TRUE(device->ReadOne(type));
    EXPECT_EQ(type.value, "ТХА(K)");
    EXPECT_EQ(observer.captions, (std::vector<std::string>{"Идет запись параметра в прибор",
                                                           "Идет чтение параметра из прибора"}));
    EXPECT_EQ(Counter(ProgressCounter::Parameters), 1);
}

TEST_F(Session, ChangedNetworkSettingsAreReportedAfterTheWrite) {
    ASSERT_TRUE(device->ReadAll());
    ASSERT_TRUE(device->WriteChanged());
    EXPECT_EQ(host.networkChanges.load(), 0);
    device->netNode.SetValue("Addr", "32", true);
    ASSERT_TRUE(device->WriteChanged());
    EXPECT_EQ(host.networkChanges.load(), 1);
    EXPECT_TRUE(processState().networkChanged.load());

    device->netWriteEnabled = false;  // the group stays out of write jobs
    device->netNode.SetValue("Addr", "48", true);
    ASSERT_TRUE(device->WriteAll());
    EXPECT_EQ(module().pendingSettings().address, 32);
}

TEST_F(Session, AutomatedReadAsksForTheSaveAndReleasesTheWatcher) {
    Event done(Event::Reset::Manual);
    device->SetDoneEvent(&done);
    processState().actionFlags = ACTION_AUTOMATION | ACTION_READ_ALL;
    ASSERT_TRUE(device->ReadAll());
    EXPECT_EQ(host.saves.load(), 1);
    EXPECT_TRUE(done.isSet());
}

TEST_F(Session, IdentifyRecognisesTheModule) {
    EXPECT_EQ(device->Identify(true), 0x07);
    ASSERT_EQ(prompter.count(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "Прибор: ZEP-8\nВерсия ПО: v7.12\n");
    EXPECT_EQ(prompter.messages()[0].caption, "Общие параметры прибора");

    module().setIdentity("z-e-p-8", "X7.12");
    EXPECT_EQ(device->Identify(false), 0x07);
    module().setIdentity("ЗЕП-8", "ver");
    EXPECT_EQ(device->Identify(false), 0x03);
    module().setIdentity("ZEP-9", "v6.0");
    EXPECT_EQ(device->Identify(false), 0x02);

    module().injectFault(sim::Fault::Silence, 4);
    prompter.clear();
    EXPECT_EQ(device->Identify(true), 0);
    EXPECT_EQ(prompter.messages()[0].text,
              "Ошибка команды 'dev':\nТаймаут при передаче данных (нет связи)\n");
    EXPECT_EQ(prompter.messages()[0].caption, "Ошибка");
}

TEST_F(Session, EstablishLinkTriesTheOtherConverter) {
    module().injectFault(sim::Fault::Silence, 4);  // the first try (automatic converter) fails
    EXPECT_TRUE(device->EstablishLink());
    EXPECT_EQ(device->port().directionMode.load(), 0);
    processState().SetExitStatus(8);
    EXPECT_TRUE(device->EstablishLink());
    EXPECT_EQ(device->port().directionMode.load(), 1);
    EXPECT_EQ(processState().ExitStatus(), 0u);  // a ZEP8 with version 7 clears the trouble
}

TEST_F(Session, AnotherModuleIsNotAZep8) {
    module().setIdentity("MB110", "v1.0");
    EXPECT_FALSE(device->EstablishLink());
    EXPECT_EQ(processState().ExitStatus(), 0x40u);
    EXPECT_EQ(processState().ProtocolMode.load(), PROTOCOL_OWN);
    EXPECT_EQ(device->port().directionMode.load(), 0);
}

TEST_F(Session, PasswordUnlocksTheSessionOnce) {
    prompter.scriptText(std::nullopt);
    EXPECT_FALSE(device->CheckPassword());
    EXPECT_EQ(prompter.count(), 1u);  // only the question
    prompter.scriptText("123");
    EXPECT_FALSE(device->CheckPassword());
    EXPECT_EQ(prompter.messages().back().text, "Пароль не верен!");
    EXPECT_EQ(prompter.messages().back().caption, "Нет доступа");
    prompter.scriptText("902417");
    EXPECT_TRUE(device->CheckPassword());
    EXPECT_EQ(prompter.messages().back().caption, "Изменение разрешено");
    const std::size_t asked = prompter.count();
    EXPECT_TRUE(device->CheckPassword());
    EXPECT_EQ(prompter.count(), asked);
}

sim::LineSettings On(sim::Protocol protocol) {
    sim::LineSettings line = testing::FastLine();
    line.protocol = protocol;
    return line;
}

class LeftOnForeignProtocol : public DeviceOnPty,
                              public ::testing::WithParamInterface<sim::Protocol> {
  protected:
    LeftOnForeignProtocol() : DeviceOnPty(On(GetParam())) {}
};

TEST_P(LeftOnForeignProtocol, EstablishLinkBringsTheModuleBack) {
    EXPECT_TRUE(device->EstablishLink());
    EXPECT_EQ(module().activeSettings().protocol, sim::Protocol::Own);
    EXPECT_EQ(processState().ProtocolMode.load(), PROTOCOL_OWN);
    EXPECT_EQ(processState().ExitStatus() & (EXIT_TIMEOUT | EXIT_NOT_ZEP8), 0u);
    EXPECT_EQ(device->Identify(false), 0x07);
}

INSTANTIATE_TEST_SUITE_P(Protocols, LeftOnForeignProtocol,
                         ::testing::Values(sim::Protocol::ModbusRtu, sim::Protocol::ModbusAscii,
                                           sim::Protocol::Dcon));

}  // namespace
}  // namespace zep8
