// zep8 as a calling program sees it: options in, exit code out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Zep8Process : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("zep8-proc-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
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

    // Runs zep8 with its own settings folder.
    Outcome Run(const std::string& args) {
        const std::string command = "XDG_CONFIG_HOME='" + (dir / "config").string() + "' '" +
                                    ZEP8_BINARY + "' " + args + " > '" + (dir / "out").string() +
                                    "' 2> '" + (dir / "err").string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir / "out"), Read(dir / "err")};
    }
    std::string File(const char* name) { return (dir / name).string(); }

    // A standalone virtual module; returns its port.
    std::string StartSimulator(const std::vector<std::string>& options) {
        int pipeFds[2];
        EXPECT_EQ(pipe(pipeFds), 0);
        simulator = fork();
        if (simulator == 0) {
            dup2(pipeFds[1], 1);
            close(pipeFds[0]);
            std::vector<char*> argv{const_cast<char*>(ZEP8_SIM_BINARY)};
            for (const auto& o : options) argv.push_back(const_cast<char*>(o.c_str()));
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

    fs::path dir;
    pid_t simulator = -1;
};

TEST_F(Zep8Process, ReadsIntoAFileAndDumpsIt) {
    const Outcome read = Run("--simulate /read/close '" + File("a.zep") + "'");
    EXPECT_EQ(read.code, 0) << read.err;
    EXPECT_NE(read.err.find("Идет чтение параметров из прибора"), std::string::npos);
    EXPECT_NE(read.err.find("параметров: 84 (с ошибками 0)"), std::string::npos) << read.err;
    const Outcome dump = Run("--dump '" + File("a.zep") + "'");
    EXPECT_EQ(dump.code, 0);
    EXPECT_NE(dump.out.find("Название прибора"), std::string::npos);
    EXPECT_NE(dump.out.find("ZEP-8"), std::string::npos);
    EXPECT_NE(dump.out.find("in-t:7"), std::string::npos);

    const Outcome test = Run("--simulate /test");
    EXPECT_EQ(test.code, 0) << test.err;
}

TEST_F(Zep8Process, FileErrorsExitWith200) {
    EXPECT_EQ(Run("--simulate /write/close '" + File("missing.zep") + "'").code, 200);
    std::ofstream(File("junk.zep")) << "not a configuration";
    const Outcome dump = Run("--dump '" + File("junk.zep") + "'");
    EXPECT_EQ(dump.code, 200);
    EXPECT_NE(dump.err.find("Неверный формат данных!"), std::string::npos);
    EXPECT_EQ(Run("--dump '" + File("missing.zep") + "'").code, 200);
}

TEST_F(Zep8Process, NoModuleExitsWith202) {
    int master, slave;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    const Outcome test = Run(std::string("--port=") + name + " /bps:115200/test");
    EXPECT_EQ(test.code, 202) << test.err;
    close(master);
    close(slave);
}

TEST_F(Zep8Process, NetworkParameterEditRewritesTheFile) {
    ASSERT_EQ(Run("--simulate /read/close '" + File("n.zep") + "'").code, 0);
    const Outcome edit = Run("/newnetparam/bps:19200/addr:32 '" + File("n.zep") + "'");
    EXPECT_EQ(edit.code, 0) << edit.err;
    const std::string table = Run("--dump '" + File("n.zep") + "'").out;
    EXPECT_NE(table.find("bPS      19200"), std::string::npos) << table;
    EXPECT_NE(table.find("Addr     32"), std::string::npos);
    EXPECT_NE(table.find("Sbit     Нет данных"), std::string::npos);
}

TEST_F(Zep8Process, ApplyFollowsTheModuleToItsNewAddress) {
    ASSERT_EQ(Run("--simulate /read/close '" + File("p.zep") + "'").code, 0);
    ASSERT_EQ(Run("/newnetparam/addr:32 '" + File("p.zep") + "'").code, 0);
    // The file moves the module to address 32; with "aply" the program follows.
    const Outcome apply = Run("--simulate /write/aply/close '" + File("p.zep") + "'");
    EXPECT_EQ(apply.code, 0) << apply.err;
    EXPECT_EQ(apply.err.find("Ошибка"), std::string::npos) << apply.err;
}

TEST_F(Zep8Process, ExitEventStopsAWrite) {
    ASSERT_EQ(Run("--simulate /read/close '" + File("w.zep") + "'").code, 0);
    const std::string port = StartSimulator({"--baud", "2400", "--timing"});
    ASSERT_FALSE(port.empty());
    const std::string event = "zep8test" + std::to_string(getpid());
    auto run = std::async(std::launch::async, [&] {
        return Run("--port=" + port + " /bps:2400/write/close/exitevent:" + event + " '" +
                   File("w.zep") + "'");
    });
    std::this_thread::sleep_for(1500ms);
    sem_t* caller = sem_open(("/zep8." + event).c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(caller, SEM_FAILED);
    sem_post(caller);
    sem_close(caller);
    ASSERT_EQ(run.wait_for(20s), std::future_status::ready);
    const Outcome outcome = run.get();
    sem_unlink(("/zep8." + event).c_str());
    EXPECT_EQ(outcome.code, 205) << outcome.err;
}

}  // namespace
}  // namespace zep8
