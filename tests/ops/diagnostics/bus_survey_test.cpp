// The bus survey on the program's own link: a module at another speed is
// found, and the program's line is as it was afterwards.
#include "ops/diagnostics/bus_survey.h"

#include "support/device_on_pty.h"

namespace zep8 {
namespace {

sim::LineSettings ModuleLine() {
    sim::LineSettings line;
    line.baud = 38400;
    line.address = 40;
    return line;
}

class BusSurveyTest : public testing::DeviceOnPty, public SurveyObserver {
  protected:
    BusSurveyTest() : DeviceOnPty(ModuleLine()) {}
    void SurveyProgress(int done, int, unsigned) override {
        progress.push_back(done);
        if (onProgress) onProgress(done);
    }
    void SurveyFound(const SurveyFind& find) override { found.push_back(find); }

    std::vector<int> progress;
    std::vector<SurveyFind> found;
    std::function<void(int)> onProgress;
};

TEST_F(BusSurveyTest, FindsTheModuleAtItsSpeedAndGivesTheLineBack) {
    device->programNet().SetValue("bPS", "9600", true);
    device->ReopenPort(false);

    BusSurvey survey(*device, *this);
    const SurveyResult result = survey.RunAt({9600, 38400});
    ASSERT_EQ(result.finds.size(), 1u);
    EXPECT_EQ(found.size(), 1u);
    EXPECT_EQ(result.finds[0].address, 40);
    EXPECT_EQ(result.finds[0].baudRate, 38400u);
    EXPECT_EQ(result.finds[0].device, "ZEP-8");
    EXPECT_EQ(result.asked, 65);  // 2 x 32 "dev", one "ver"
    EXPECT_EQ(progress.back(), 64);
    EXPECT_GE(result.took, result.lowerBound);
    EXPECT_EQ(device->port().settings.baudRate, 9600u);
    EXPECT_TRUE(device->port().IsOpen());

    // Connecting takes the module's address and speed; the link then works.
    UseSurveyFind(result.finds[0], device->programNet());
    device->ReopenPort(false);
    Parameter dev("dev");
    EXPECT_EQ(device->TransferParameter(DIRECTION_READ, &dev), STATUS_OK) << dev.errorText;

    // "Прервать" stops before the next request.
    BusSurvey stopped(*device, *this);
    onProgress = [&](int done) {
        if (done == 3) stopped.Abort();
    };
    const SurveyResult aborted = stopped.Run(false);
    EXPECT_TRUE(aborted.aborted);
    EXPECT_EQ(aborted.asked, 3);
}

}  // namespace
}  // namespace zep8
