// zep8 --doctor as an operator runs it in the terminal: the report on
// standard output, the verdict as the exit code.
#include <pty.h>

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

// Nobody answers on the line: 202. A port that is not there: 201.
TEST_F(DoctorProcess, SilentLineAndMissingDeviceGiveTheirVerdicts) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    const Outcome silent = Doctor(name);
    close(master);
    EXPECT_EQ(silent.code, 202) << silent.out;
    EXPECT_TRUE(Has(silent.out, "Линия молчит")) << silent.out;
    EXPECT_TRUE(Has(silent.out, "Итог: прибор не отвечает")) << silent.out;

    const Outcome missing = Doctor("/dev/zep8-no-such-port");
    EXPECT_EQ(missing.code, 201) << missing.out;
    EXPECT_TRUE(Has(missing.out, "Порт /dev/zep8-no-such-port не найден")) << missing.out;
    EXPECT_TRUE(Has(missing.out, "Итог: порт не открывается")) << missing.out;
}

}  // namespace
}  // namespace zep8
