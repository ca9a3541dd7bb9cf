// zep8 as a calling program sees it: options in, exit code out.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/preferences.h"
#include "app/qsettings_store.h"
#include "link/serial/serial_port.h"
#include "model/net_rs485_prg.h"
#include "sim/simulated_module.h"
#include "support/program_line.h"
#include "support/zep8_process.h"

namespace zep8 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using Outcome = testing::ProcessOutcome;

std::string Read(const fs::path& file) {
    return testing::ReadWhole(file);
}

class Zep8Process : public testing::ProcessTest {};

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

// The module stops answering (here: its simulator is frozen) and the calling
// program gives up on it through the exit event while an exchange waits: that
// exchange fails after the stop, and the run ends as stopped all the same.
TEST_F(Zep8Process, AStoppedRunEnds205EvenWhenTheModuleHasFallenSilent) {
    ASSERT_EQ(Run("--simulate /read/close '" + File("w.zep") + "'").code, 0);
    const std::string port = StartSimulator({"--baud", "2400", "--timing"});
    ASSERT_FALSE(port.empty());
    const std::string event = "zep8silent" + std::to_string(getpid());
    auto run = std::async(std::launch::async, [&] {
        return Run("--headless --port=" + port + " /bps:2400/write/close/exitevent:" + event +
                   " '" + File("w.zep") + "'");
    });
    std::this_thread::sleep_for(1500ms);  // the write at 2400 baud takes far longer
    kill(simulator, SIGSTOP);
    sem_t* caller = sem_open(("/zep8." + event).c_str(), O_CREAT, 0600, 0);
    ASSERT_NE(caller, SEM_FAILED);
    sem_post(caller);
    sem_close(caller);
    // 30 s at most (the run's own end stops it); the module is let go either way.
    const bool ended = run.wait_for(30s) == std::future_status::ready;
    kill(simulator, SIGCONT);
    sem_unlink(("/zep8." + event).c_str());
    ASSERT_TRUE(ended);
    const Outcome outcome = run.get();
    EXPECT_EQ(outcome.code, 205) << outcome.err;
}

// An automated read in the window whose file cannot be saved: the failure
// line on standard error and the run's end, no box that would wait for
// someone to click it.
TEST_F(Zep8Process, AFailedSaveInTheWindowDoesNotWaitForAClick) {
    // A box would hold the run for good: `timeout` ends it after 60 s (code 124).
    const Outcome outcome = Run("--simulate /read/close '" + File("no-such-folder/r.zep") + "'",
                                "QT_QPA_PLATFORM=offscreen timeout 60 env ");
    EXPECT_EQ(outcome.code, 200) << outcome.err;
    EXPECT_NE(outcome.err.find("zep8: нет файла или он испорчен: Не удалось"), std::string::npos)
        << outcome.err;
}

// A server's port number the resolver would wrap (70000 is 4464 to it): the
// run is refused before anything starts, in words.
TEST_F(Zep8Process, AServerPortOutsideTheTcpRangeIsRefused) {
    for (const char* name : {"tcp://127.0.0.1:70000", "rfc2217+tls://plc:0"}) {
        const Outcome outcome = Run(std::string("--headless --port=") + name + " /test");
        EXPECT_EQ(outcome.code, 2) << outcome.err;
        EXPECT_EQ(outcome.err, std::string("zep8: Номер порта сервера в ") + name +
                                   " должен быть числом от 1 до 65535. (список параметров: "
                                   "zep8 --help)\n");
    }
}

// What a calling program sees of runs that do nothing, or fail, while a file
// or a port is at stake.
TEST_F(Zep8Process, NoRunThatDidNothingOrFailedEndsAsASuccess) {
    // The stored port is a fifo whose opening we watch.
    const std::string fifo = File("port");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    {
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        QSettingsStore store;
        NetRS485prg program;
        testing::PointProgramAt(program, fifo, sim::LineSettings{});
        Preferences(store).StoreProgramSettings(program);
    }
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
    auto portOpened = [watch] {
        char events[4096];
        return read(watch, events, sizeof events) > 0;
    };
    std::ofstream(File("damaged.zep")) << "not a configuration";
    std::ofstream(File("schema.zep"), std::ios::binary)
        << std::string("\xff\xff\x04\x00\x08\x00CZEP8Doc", 14);

    struct Case {
        std::string args;
        int code;
        const char* file;  // written by the run, or null
    } cases[] = {
        {"/read/close 'new.zep'", 201, nullptr},
        {"/write/close 'schema.zep'", 201, nullptr},
        {"--simulate /write/close 'schema.zep'", 200, nullptr},
        {"--simulate /write/close 'damaged.zep'", 200, nullptr},
        {"--simulate /calibrate/read/close 'cal.zep'", 204, nullptr},
        // A file that does not load may be another version's: not even /read replaces it.
        {"--simulate /read/close 'damaged.zep'", 200, nullptr},
        {"--simulate /read/close 'schema.zep'", 200, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string args = c.args;
        for (const char* name : {"new.zep", "schema.zep", "damaged.zep", "cal.zep"}) {
            const std::string quoted = "'" + std::string(name) + "'";
            if (const auto at = args.find(quoted); at != std::string::npos) {
                args.replace(at, quoted.size(), "'" + File(name) + "'");
            }
        }
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.code, c.code) << outcome.err;
        // (A run with a port of its own opens the stored one once at start, then its own.)
        const bool opened = portOpened();
        EXPECT_TRUE(c.code != 201 || !opened);
        if (c.file) {
            EXPECT_EQ(Run("--dump '" + File(c.file) + "'").code, 0);
        }
    }
    EXPECT_FALSE(fs::exists(File("new.zep")));
    EXPECT_FALSE(fs::exists(File("cal.zep")));
    EXPECT_EQ(Read(File("damaged.zep")), "not a configuration");
    EXPECT_EQ(Read(File("schema.zep")), std::string("\xff\xff\x04\x00\x08\x00CZEP8Doc", 14));
    EXPECT_NE(Run("/read/close '" + File("new.zep") + "'").err.find("/port:N или --port="),
              std::string::npos);
    close(watch);
}

// Replies that cannot be taken are garbage on the line (203); values the
// module refuses fail the job (204).
TEST_F(Zep8Process, FailedParametersAreTold) {
    ASSERT_EQ(Run("--simulate /read/close '" + File("f.zep") + "'").code, 0);
    sim::SimulatedModule module(sim::LineSettings{});
    std::string error;
    ASSERT_TRUE(module.start(error)) << error;
    const std::string port = "--port=" + module.portPath() + " /bps:9600 ";

    module.module().forceError("in.Fd", 3);
    const Outcome refused = Run(port + "/write/close '" + File("f.zep") + "'");
    EXPECT_EQ(refused.code, 204) << refused.err;
    module.module().clearForcedError("in.Fd");

    module.module().injectFault(sim::Fault::BadChecksum, 1000000);
    EXPECT_EQ(Run(port + "/read/close '" + File("g.zep") + "'").code, 203);
    module.stop();
}

// The one closing line of a failed run without windows.
std::string ClosingLine(const std::string& err) {
    std::string last;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("zep8: ") && line != "zep8: работаю без окон.") {
            EXPECT_EQ(last, "") << "a second closing line: " << line;
            last = line;
        }
    }
    return last;
}

// A calling program (or a person at a terminal) learns what went wrong,
// where, and with which line settings, from the last line; the old file stays.
TEST_F(Zep8Process, FailuresEndWithOneClearLine) {
    int master, slave;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    const Outcome silent = Run(std::string("--headless --port=") + name + " /bps:115200/test");
    EXPECT_EQ(silent.code, 202);
    EXPECT_EQ(ClosingLine(silent.err),
              std::string("zep8: прибор не отвечает: Таймаут при передаче данных (нет связи) (") +
                  name + ", 115200 бод, 8N1, адрес 16)");
    close(master);

    const auto start = std::chrono::steady_clock::now();
    const Outcome missing =
        Run("--headless --port=/dev/ttyZEP8NONE /bps:9600/read/close '" + File("m.zep") + "'");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);  // no round of lost frames
    EXPECT_EQ(missing.code, 201);
    EXPECT_EQ(ClosingLine(missing.err),
              "zep8: порт не открывается или не указан: Порт /dev/ttyZEP8NONE не найден: "
              "такого устройства нет. (/dev/ttyZEP8NONE, 9600 бод, 8N1, адрес 16)");
    EXPECT_FALSE(fs::exists(File("m.zep")));

    // A port held by another program: its name and process are told.
    sim::SimulatedModule module(sim::LineSettings{});
    std::string error;
    ASSERT_TRUE(module.start(error)) << error;
    SerialPort holder;
    holder.settings.name = module.portPath();
    ASSERT_EQ(holder.Open(), OPEN_OK) << holder.OpenFailureReason();
    const Outcome busy = Run("--headless --port=" + module.portPath() + " /bps:9600/test");
    EXPECT_EQ(busy.code, 201);
    const std::string me = Read("/proc/self/comm").substr(0, Read("/proc/self/comm").find('\n'));
    EXPECT_NE(
        ClosingLine(busy.err).find("Порт " + module.portPath() + " занят другой программой: " + me +
                                   " (процесс " + std::to_string(getpid()) + ")."),
        std::string::npos)
        << busy.err;
    holder.Close();
    EXPECT_EQ(Run("--headless --port=" + module.portPath() + " /bps:9600/test").code, 0);
    module.stop();

    // The file system refuses the save: the old file is kept whole, and the reason told.
    ASSERT_EQ(Run("--headless --simulate /read/close '" + File("a.zep") + "'").code, 0);
    const std::string before = Read(File("a.zep"));
    ASSERT_GT(before.size(), 2048u);
    const Outcome full = Run("--headless --simulate /read/close '" + File("a.zep") + "'",
                             "ulimit -f 2; trap '' XFSZ; ");
    EXPECT_EQ(full.code, 200);
    EXPECT_EQ(Read(File("a.zep")), before);
    EXPECT_NE(ClosingLine(full.err).find("файл больше, чем разрешено записывать"),
              std::string::npos)
        << full.err;
    std::size_t leftovers = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        leftovers += entry.path().filename().string().starts_with("a.zep.");
    }
    EXPECT_EQ(leftovers, 0u);
}

// A mistyped "--" option ends the run before anything starts: no window, no
// module, no settings file; only the one line and the usage error's code.
TEST_F(Zep8Process, AnUnknownLongOptionIsRefused) {
    const Outcome refused = Run("--frobnicate /test", "QT_QPA_PLATFORM=offscreen ");
    EXPECT_EQ(refused.code, 2);
    EXPECT_EQ(refused.err,
              "zep8: неизвестный параметр --frobnicate (список параметров: zep8 --help)\n");
    EXPECT_EQ(refused.out, "");
    EXPECT_FALSE(fs::exists(dir / "config" / "ARVO"));
}

// A port the settings cannot open: the closing line gives the port's own
// reason, not a text left by an exchange tried on it.
TEST_F(Zep8Process, APortThatCannotTakeTheSpeedSaysSo) {
    const Outcome outcome =
        Run("--headless --simulate /bps:12345/read/close '" + File("s.zep") + "'");
    EXPECT_EQ(outcome.code, 201);
    EXPECT_TRUE(ClosingLine(outcome.err)
                    .starts_with("zep8: порт не открывается или не указан: Скорость 12345 бод не "
                                 "поддерживается. (/dev/pts/"))
        << outcome.err;
    EXPECT_FALSE(fs::exists(File("s.zep")));
}

// A settings file that cannot be read: one notice, the defaults, and the file
// left as it is until a run changes a setting.
TEST_F(Zep8Process, ADamagedSettingsFileIsToldOnceAndKept) {
    const fs::path config = dir / "config" / "ARVO" / "ZEP8.conf";
    fs::create_directories(config.parent_path());
    const std::string damaged = "[software\n\x01\x02 garbage\n";
    std::ofstream(config, std::ios::binary) << damaged;
    const Outcome plain = Run("--headless --simulate /test");
    EXPECT_EQ(plain.code, 0) << plain.err;
    const std::string notice = "Файл настроек " + config.string() + " испорчен или не читается";
    const std::size_t first = plain.err.find(notice);
    EXPECT_NE(first, std::string::npos) << plain.err;
    EXPECT_EQ(plain.err.find(notice, first + 1), std::string::npos);
    EXPECT_EQ(Read(config), damaged);

    // A run that sets the speed is a change: the damage is put aside.
    EXPECT_EQ(Run("--headless --port=/dev/ttyZEP8NONE /bps:19200/test").code, 201);
    EXPECT_EQ(Read(config.string() + ".damaged"), damaged);
    const Outcome after = Run("--headless --port=/dev/ttyZEP8NONE /test");
    EXPECT_EQ(after.err.find("испорчен"), std::string::npos);
    EXPECT_NE(ClosingLine(after.err).find("19200 бод"), std::string::npos) << after.err;
}

// The module's line goes away in the middle of an automated read: the run
// ends at once with 201 and says how, and the file it was to replace stays.
TEST_F(Zep8Process, ALineLostDuringAReadEndsTheRunAtOnce) {
    ASSERT_EQ(Run("--headless --simulate /read/close '" + File("l.zep") + "'").code, 0);
    const std::string before = Read(File("l.zep"));
    const std::string link = File("ttyLOST");
    ASSERT_FALSE(StartSimulator({"--baud", "2400", "--timing", "--link", link}).empty());
    auto run = std::async(std::launch::async, [&] {
        const Outcome outcome =
            Run("--headless --port=" + link + " /bps:2400/read/close '" + File("l.zep") + "'");
        return std::make_pair(outcome, std::chrono::steady_clock::now());
    });
    std::this_thread::sleep_for(1500ms);  // a read at 2400 baud takes far longer
    kill(simulator, SIGTERM);
    waitpid(simulator, nullptr, 0);
    simulator = -1;
    const auto unplugged = std::chrono::steady_clock::now();
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    const auto [outcome, ended] = run.get();
    std::cout << "[ measured ] automated read, line lost: ended "
              << std::chrono::duration_cast<std::chrono::milliseconds>(ended - unplugged).count()
              << " ms after; " << ClosingLine(outcome.err) << "\n";
    EXPECT_LT(ended - unplugged, 1s);
    EXPECT_EQ(outcome.code, 201) << outcome.err;
    EXPECT_EQ(ClosingLine(outcome.err),
              "zep8: порт не открывается или не указан: Порт " + link +
                  " отключился (обрыв связи): связь с прибором потеряна. Порт " + link +
                  " не найден: такого устройства нет. (" + link + ", 2400 бод, 8N1, адрес 16)");
    EXPECT_EQ(Read(File("l.zep")), before);
}

// A server that takes every connection and drops it at once: the port opens
// each time, no frame ever reaches a module. No job may end as a success.
TEST_F(Zep8Process, AServerThatDropsEveryConnectionFailsEveryJob) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length), 0);
    std::thread server([listener] {
        for (int client; (client = accept(listener, nullptr, nullptr)) >= 0;) close(client);
    });
    const std::string port = "tcp://127.0.0.1:" + std::to_string(ntohs(at.sin_port));
    for (const std::string& job : {std::string("/test"), "/read/close '" + File("d.zep") + "'"}) {
        const Outcome outcome = Run("--headless --port=" + port + " " + job);
        EXPECT_EQ(outcome.code, 201) << job << "\n" << outcome.err;
        EXPECT_NE(ClosingLine(outcome.err).find("127.0.0.1"), std::string::npos) << outcome.err;
    }
    shutdown(listener, SHUT_RDWR);
    close(listener);
    server.join();
}

// A link test that a desktop runs: over before the first window opens, it
// still ends with its own code, not with a thread left running.
TEST_F(Zep8Process, ALinkTestWithADisplayEndsWithItsCode) {
    const Outcome outcome = Run("--simulate /test", "QT_QPA_PLATFORM=offscreen ");
    EXPECT_EQ(outcome.code, 0) << outcome.err;
}

}  // namespace
}  // namespace zep8
