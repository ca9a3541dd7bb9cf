// zep8 --doctor as an operator runs it in the terminal: the report on
// standard output, the verdict as the exit code.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zep8 {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int code = -1;
    std::string out;
};

class DoctorProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("zep8-doctor-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
    }
    void TearDown() override {
        if (simulator > 0) {
            kill(simulator, SIGTERM);
            waitpid(simulator, nullptr, 0);
        }
        fs::remove_all(dir);
    }

    Outcome Doctor(const std::string& port) {
        const fs::path out = dir / "out";
        const std::string command = "XDG_CONFIG_HOME='" + (dir / "config").string() + "' '" +
                                    ZEP8_BINARY + "' --doctor --port='" + port + "' > '" +
                                    out.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
    }

    std::string StartSimulator(std::vector<std::string> options) {
        int pipeFds[2];
        EXPECT_EQ(pipe(pipeFds), 0);
        simulator = fork();
        if (simulator == 0) {
            dup2(pipeFds[1], 1);
            close(pipeFds[0]);
            std::vector<char*> argv{const_cast<char*>(ZEP8_SIM_BINARY)};
            for (std::string& o : options) argv.push_back(o.data());
            argv.push_back(nullptr);
            execv(ZEP8_SIM_BINARY, argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        std::string path;
        char c;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') path += c;
        close(pipeFds[0]);
        return path;
    }

    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    fs::path dir;
    pid_t simulator = -1;
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
