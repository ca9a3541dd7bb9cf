#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/built_program.h"

#include "module_client.h"
#include "serial_end.h"

namespace zep8::sim {
namespace {

using namespace test;

// Reads one line of the child's output, waiting at most a few seconds.
std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (line.size() < 256) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0 || read(fd, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}

TEST(SimProgram, PrintsThePortServesItAndStopsOnSignal) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("zep8-sim-run-" + std::to_string(getpid())))
            .string();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string program = zep8::test::BuiltProgram(ZEP8_SIM_PROGRAM);
    std::vector<std::string> args{program, "--baud", "19200", "--address", "32", "--link", link};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    const std::string path = ReadLine(out[0]);
    close(out[0]);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);

    {
        SerialEnd port(link, B19200);
        const std::string reply = port.exchange(RequestText("dev", true, {}, 32));
        EXPECT_TRUE(ParseReplyText(reply).checksumOk) << reply;
    }

    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the program";
}

}  // namespace
}  // namespace zep8::sim
