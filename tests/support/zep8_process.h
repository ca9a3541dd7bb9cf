#pragma once
// zep8 and zep8-sim as separate processes, as a calling program runs them:
// each test has its own settings folder and at most one standalone module.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/built_program.h"

namespace zep8::testing {

struct ProcessOutcome {
    int code = -1;
    std::string out, err;
};

inline std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(Zep8()) || !std::filesystem::exists(Simulator()))
            GTEST_SKIP() << "the programs are not built here";
        dir = std::filesystem::temp_directory_path() /
              ("zep8-proc-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "config");
    }
    void TearDown() override {
        StopSimulator();
        std::filesystem::remove_all(dir);
    }

    static std::string Zep8() { return zep8::test::BuiltProgram(ZEP8_BINARY); }
    static std::string Simulator() { return zep8::test::BuiltProgram(ZEP8_SIM_BINARY); }

    // Runs zep8 with its own settings folder; `shell` runs before it in the
    // same shell (limits, ignored signals).
    ProcessOutcome Run(const std::string& args, const std::string& shell = "") {
        const std::string command = shell + "XDG_CONFIG_HOME='" + (dir / "config").string() +
                                    "' '" + Zep8() + "' " + args + " > '" + (dir / "out").string() +
                                    "' 2> '" + (dir / "err").string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWhole(dir / "out"),
                ReadWhole(dir / "err")};
    }
    std::string File(const char* name) { return (dir / name).string(); }

    // A standalone virtual module; returns its port.
    std::string StartSimulator(std::vector<std::string> options) {
        int pipeFds[2];
        EXPECT_EQ(pipe(pipeFds), 0);
        const std::string sim = Simulator();
        simulator = fork();
        if (simulator == 0) {
            dup2(pipeFds[1], 1);
            close(pipeFds[0]);
            std::vector<char*> argv{const_cast<char*>(sim.c_str())};
            for (std::string& o : options) argv.push_back(o.data());
            argv.push_back(nullptr);
            execv(sim.c_str(), argv.data());
            _exit(127);
        }
        close(pipeFds[1]);
        std::string path;
        char c;
        while (read(pipeFds[0], &c, 1) == 1 && c != '\n') path += c;
        close(pipeFds[0]);
        return path;
    }
    void StopSimulator() {
        if (simulator <= 0) return;
        kill(simulator, SIGTERM);
        waitpid(simulator, nullptr, 0);
        simulator = -1;
    }

    std::filesystem::path dir;
    pid_t simulator = -1;
};

}  // namespace zep8::testing
