// One configuration to several modules on one line: each written and
// compared, their network groups left alone, failures kept to their module.
#include "ops/fleet/batch_write.h"

#include "sim/simulated_line.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

const std::vector<int> kModules{40, 48, 64};

class BatchWriteTest : public ::testing::Test, public BatchObserver {
  protected:
    void SetUp() override {
        processState().reset();
        std::string error;
        ASSERT_TRUE(line.start(error)) << error;
        device = std::make_unique<Device>(std::make_unique<LineByName>(), prompter);
        device->SetObserver(&observer);
        device->SetHost(&host);
        device->SetFinishHold(std::chrono::milliseconds(0));
        sim::LineSettings at = testing::FastLine();
        at.address = 40;
        testing::PointProgramAt(device->programNet(), line.portPath(), at);
        device->Rebuild();
        // The configuration: module 40's, edited, and with a network group of its own.
        ASSERT_TRUE(device->ReadAll());
        Input(2, "in-t").value = "ТХК(L)";
        Input(2, "Ain.H").value = "250.500";
        device->netNode.SetValue("Addr", "16", true);
        device->netNode.SetValue("bPS", "9600", true);
        line.module(0).resetCounters();
    }
    void TearDown() override {
        device.reset();
        line.stop();
        processState().reset();
    }
    Parameter& Input(int i, const char* name) {
        return *device->channelsNode.channel(i).FindParameter(name);
    }

    void ModuleStarted(int index, int, int address) override {
        started.push_back(address);
        if (onStart) onStart(index);
    }
    void ModuleProgress(BatchStage stage, int, int) override { stages.push_back(stage); }
    void ModuleFinished(const BatchRow& row) override { finished.push_back(row.address); }

    sim::SimulatedLine line{testing::FastLine(), kModules};
    RecordingPrompter prompter;
    testing::RecordingObserver observer;
    testing::RecordingHost host;
    std::unique_ptr<Device> device;
    std::vector<int> started, finished;
    std::vector<BatchStage> stages;
    std::function<void(int)> onStart;
};

TEST_F(BatchWriteTest, EachModuleWrittenAndVerifiedFailuresStayWithTheirModule) {
    line.moduleAt(64)->forceError("Ain.H", 0x06);  // refuses the value
    // The open configuration's marks and errors, which the batch must not touch.
    Input(2, "Ain.H").changed = true;
    Input(3, "Ain.H").errorText = "Ошибка, оставленная оператору";
    BatchWrite batch(*device, *this);
    const BatchResult result = batch.Run({40, 56, 48, 64});  // nobody lives at 56

    ASSERT_EQ(result.rows.size(), 4u);
    EXPECT_EQ(started, (std::vector<int>{40, 56, 48, 64}));
    EXPECT_EQ(finished, started);
    for (int i : {0, 2}) {
        const BatchRow& row = result.rows[static_cast<std::size_t>(i)];
        EXPECT_TRUE(row.verified()) << row.address << ": " << row.failure;
        EXPECT_EQ(row.device, "ZEP-8");
        EXPECT_EQ(row.version, "v7.12");
        EXPECT_EQ(row.failed, 0);
        EXPECT_EQ(row.differences, 0);
        EXPECT_EQ(row.written, 1 + 8 * 9);  // the general group and the inputs, no network
        EXPECT_EQ(row.exitBits, 0u);
    }
    const BatchRow& silent = result.rows[1];
    EXPECT_EQ(silent.device, "");
    EXPECT_EQ(silent.failure.rfind("нет ответа", 0), 0u) << silent.failure;
    EXPECT_EQ(silent.exitBits & EXIT_TIMEOUT, EXIT_TIMEOUT);
    EXPECT_EQ(BatchRowText(silent).rfind("адрес 56: не опознан; ", 0), 0u) << BatchRowText(silent);
    const BatchRow& refusing = result.rows[3];
    EXPECT_EQ(refusing.failed, 8);
    EXPECT_EQ(refusing.differences, 8);  // read back, every input's value is not there
    EXPECT_FALSE(refusing.verified());
    EXPECT_EQ(refusing.exitBits, std::uint32_t{EXIT_FAILED_PARAMETERS});
    EXPECT_EQ(result.exitBits, std::uint32_t{EXIT_TIMEOUT | EXIT_FAILED_PARAMETERS});
    EXPECT_EQ(processState().ExitStatus(), result.exitBits);

    for (const int address : kModules) {
        sim::VirtualModule& m = *line.moduleAt(address);
        EXPECT_EQ(m.value("in-t", 2), 5) << address;
        // The network group stays each module's own.
        EXPECT_EQ(m.activeSettings().address, address);
        EXPECT_EQ(m.pendingSettings().address, address);
        EXPECT_EQ(m.pendingSettings().baud, 115200);
        EXPECT_EQ(m.count("Addr").received, 0) << address;
        EXPECT_EQ(m.count("bPS").received, 0) << address;
    }
    EXPECT_DOUBLE_EQ(*line.moduleAt(48)->value("Ain.H", 2), 250.5);
    // The open configuration is as it was, and so is the program's module.
    EXPECT_TRUE(Input(2, "Ain.H").changed);
    EXPECT_EQ(Input(3, "Ain.H").errorText, "Ошибка, оставленная оператору");
    EXPECT_EQ(Input(2, "Ain.H").value, "250.500");
    EXPECT_EQ(device->port().settings.baseAddress, 40);
    EXPECT_EQ(device->programNet().GetValue("Addr"), "40");
    EXPECT_EQ(device->observer(), &observer);
    EXPECT_TRUE(device->netWriteEnabled);
    EXPECT_EQ(host.networkChanges, 0);
    EXPECT_EQ(prompter.count(), 0u);

    const std::string csv = BatchCsv(result.rows);
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "адрес;прибор;версия;записано;ошибок;отличий;время;длительность, с;итог");
    EXPECT_NE(csv.find("\n40;ZEP-8;v7.12;73;0;0;"), std::string::npos) << csv;
    EXPECT_NE(csv.find(";записан и проверен\n"), std::string::npos) << csv;
}

TEST_F(BatchWriteTest, AbortStopsAfterTheModuleUnderWay) {
    BatchWrite batch(*device, *this);
    onStart = [&](int index) {
        if (index == 0) batch.Abort();
    };
    const BatchResult result = batch.Run(kModules);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_TRUE(result.rows[0].verified()) << result.rows[0].failure;
    EXPECT_TRUE(result.aborted);
    EXPECT_EQ(result.exitBits, std::uint32_t{EXIT_INTERRUPTED});
    EXPECT_EQ(line.moduleAt(48)->value("in-t", 2), 0) << "never reached";
    EXPECT_EQ(stages.front(), BatchStage::Identify);
    EXPECT_EQ(stages.back(), BatchStage::Verify);
}

}  // namespace
}  // namespace zep8
