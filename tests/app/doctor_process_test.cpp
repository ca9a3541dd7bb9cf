// zep8 --doctor as an operator runs it in the terminal: the report on
// standard output, the verdict as the exit code.
#include <pty.h>

#include <sstream>

#include "app/command_line.h"
#include "app/doctor_run.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "support/zep8_process.h"

namespace zep8 {
namespace {

using testing::Has;

struct Outcome {
    int code = -1;
    std::string out;  // standard output and error together
};

class DoctorProcess : public testing::ProcessTest {
  protected:
    Outcome Doctor(const std::string& port) {
        const testing::ProcessOutcome run = Run("--doctor --port='" + port + "'");
        return {run.code, run.out + run.err};
    }
};

// The program's settings are the defaults (9600 baud, address 16); the module
// is at 38400 and address 40.
TEST_F(DoctorProcess, FindsTheModuleTellsWhatToChangeAndEndsWithZero) {
    const std::string port = StartSimulator({"--baud", "38400", "--address", "40"});
    ASSERT_FALSE(port.empty());
    const Outcome run = Doctor(port);
    EXPECT_EQ(run.code, 0) << run.out;
    EXPECT_TRUE(Has(run.out, "Проверяемый порт: " + port)) << run.out;
    EXPECT_TRUE(Has(run.out, "Ответил прибор \"ZEP-8\"")) << run.out;
    EXPECT_TRUE(Has(run.out, "Настройки прибора: 38400 бит/с, 8-N-1, адрес 40 (8 бит)."))
        << run.out;
    EXPECT_TRUE(Has(run.out, "Итог: прибор ЗЕП8 найден.")) << run.out;
    EXPECT_TRUE(Has(run.out, "  скорость: 9600 -> 38400")) << run.out;
    EXPECT_TRUE(Has(run.out, "  адрес: 16 -> 40")) << run.out;
    EXPECT_TRUE(Has(run.out, "нижняя граница линии")) << run.out;
}

// A port that is not there: 201.
TEST_F(DoctorProcess, AMissingPortEndsWith201) {
    const Outcome missing = Doctor("/dev/zep8-no-such-port");
    EXPECT_EQ(missing.code, 201) << missing.out;
    EXPECT_TRUE(Has(missing.out, "Порт /dev/zep8-no-such-port не найден")) << missing.out;
    EXPECT_TRUE(Has(missing.out, "Итог: порт не открывается")) << missing.out;
}

// Nobody answers on the line: 202. The run is the terminal job's own, in this
// process, so that the address sweep can take one speed: every speed takes
// most of a minute.
TEST(DoctorRun, ASilentLineEndsWith202) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    processState().reset();
    MemorySettingsStore store;
    std::ostringstream out, err;
    RunEnvironment env{out, err, store, ""};
    const int code =
        RunDoctor(ParseCommandLine({"--doctor", std::string("--port=") + name}), env, {115200});
    close(master);
    EXPECT_EQ(code, 202) << out.str() << err.str();
    EXPECT_TRUE(Has(out.str(), "Линия молчит")) << out.str();
    EXPECT_TRUE(Has(out.str(), "Итог: прибор не отвечает")) << out.str();
}

}  // namespace
}  // namespace zep8
