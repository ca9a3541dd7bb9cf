// The link tools of the terminal as an engineer uses them when the link does
// not work: --trace on a run, --survey of the bus.
#include <pty.h>

#include "support/zep8_process.h"

namespace zep8 {
namespace {

using testing::Has;

class LinkTools : public testing::ProcessTest {};

// Every exchange shows as a request line and a reply line, decoded.
TEST_F(LinkTools, TraceShowsEveryExchangeDecoded) {
    const testing::ProcessOutcome run = Run("--simulate --trace /test");
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "->  #")) << run.err;
    EXPECT_TRUE(Has(run.err, "[адрес 16, чтение, dev, КС верна]")) << run.err;
    EXPECT_TRUE(Has(run.err, "= ZEP-8")) << run.err;  // the reply's value
    EXPECT_TRUE(Has(run.err, " мс  ответ")) << run.err;

    // A line where nobody answers: every try is told as a time-out.
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    const testing::ProcessOutcome silent =
        Run(std::string("--trace --port=") + name + " /read/close '" + File("s.zep") + "'");
    close(master);
    EXPECT_EQ(silent.code, 202);
    EXPECT_TRUE(Has(silent.err, "мс  таймаут")) << silent.err;
}

// The module is at 38400 and address 40; the program's stored speed is
// 9600 and the command line names the module's.
TEST_F(LinkTools, SurveyListsTheModuleOnTheBus) {
    const std::string port = StartSimulator({"--baud", "38400", "--address", "40"});
    const testing::ProcessOutcome found = Run("--survey --port=" + port + " /bps:38400");
    EXPECT_EQ(found.code, 0) << found.err;
    EXPECT_EQ(found.out.rfind("адрес 40, 38400 бит/с: ZEP-8, версия ", 0), 0u) << found.out;
    // 32 base addresses and the "ver" of the one that answered.
    EXPECT_TRUE(Has(found.err, "найдено приборов: 1; запросов 33")) << found.err;

    const testing::ProcessOutcome missing = Run("--survey --port=/dev/zep8-no-such-port");
    EXPECT_EQ(missing.code, 201) << missing.err;
    EXPECT_TRUE(Has(missing.err, "/dev/zep8-no-such-port")) << missing.err;
}

}  // namespace
}  // namespace zep8
