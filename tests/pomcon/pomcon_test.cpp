// The console seen from outside the process: the console library reading an edited line and a
// break on a pseudo-terminal and a regular file a line at a time; Ctrl-C during a run of the
// ketra command; and what the REXX library asks of a stand-in console library (the window it
// creates, its close, none with an I/O exit or with UseOSConsole, TPX606 when none can be made).
#include <gtest/gtest.h>

#include <pty.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kTimeout = std::chrono::seconds(20);

using ketra::test::Env;
using ketra::test::exec_child;
using ketra::test::Sandbox;
using ketra::test::wait_child;

// Sets dword options of the REXX library in the sandbox's registry.
void set_options(const Sandbox& box, const std::vector<std::pair<std::string, int>>& options) {
    std::string text =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx\\ExecOptions]\n";
    for (const auto& [name, value] : options) {
        char v[16];
        std::snprintf(v, sizeof v, "%08x", value);
        text += "\"" + name + "\"=dword:" + v + "\n";
    }
    box.write("reg/HKEY_CURRENT_USER.reg", text);
}

// The environment of a process whose REXX library finds the stand-in console library, which
// writes its record to "console.log".
Env fake_console_env(const Sandbox& box) {
    Env e = box.env();
    e["LD_LIBRARY_PATH"] = FAKE_POMCON_DIR;
    e["FAKE_POMCON_LOG"] = box.path("console.log").string();
    return e;
}

struct Outcome {
    int status = -1;
    bool timed_out = false;
    std::string out;
    std::string err;
};

std::string slurp(int fd) {
    std::string s;
    char buf[4096];
    ::lseek(fd, 0, SEEK_SET);
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Runs argv without a terminal; standard input is the named file (or /dev/null).
Outcome run_plain(const std::vector<std::string>& argv, const Env& env,
                  const std::string& input_file = "/dev/null") {
    Outcome o;
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    pid_t pid = ::fork();
    if (pid == 0) {
        int in = ::open(input_file.c_str(), O_RDONLY);
        ::dup2(in, 0);
        ::dup2(::fileno(out), 1);
        ::dup2(::fileno(err), 2);
        ::setsid();  // no controlling terminal
        exec_child(argv, env);
    }
    o.status = wait_child(pid, Clock::now() + kTimeout, &o.timed_out);
    o.out = slurp(::fileno(out));
    o.err = slurp(::fileno(err));
    std::fclose(out);
    std::fclose(err);
    return o;
}

// One step of a conversation on a terminal: once the terminal has shown `wait_for` (counted
// from the end of the previous match) and `pause_ms` more have passed, `send` is typed. The
// pause lets the reader reach its next read: keys typed ahead would meet the terminal in
// another mode.
struct Step {
    std::string wait_for;
    std::string send;
    int pause_ms = 0;
};

// Runs argv on a new pseudo-terminal (its controlling terminal and standard input, output and
// error) and plays the steps. `out` is everything the terminal showed, without the carriage
// returns that the terminal adds before line feeds.
Outcome run_on_terminal(const std::vector<std::string>& argv, const Env& env,
                        const std::vector<Step>& steps) {
    Outcome o;
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return o;
    if (pid == 0) exec_child(argv, env);
    auto deadline = Clock::now() + kTimeout;
    std::size_t step = 0, seen = 0;
    for (;;) {
        while (step < steps.size()) {
            std::size_t at = o.out.find(steps[step].wait_for, seen);
            if (at == std::string::npos) break;
            seen = at + steps[step].wait_for.size();
            if (steps[step].pause_ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(steps[step].pause_ms));
            if (!steps[step].send.empty()) [[maybe_unused]]
                ssize_t w = ::write(master, steps[step].send.data(), steps[step].send.size());
            ++step;
        }
        pollfd p{master, POLLIN, 0};
        int r = ::poll(&p, 1, 50);
        if (r > 0) {
            char buf[1024];
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;  // the child is gone and the terminal is closed
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] != '\r') o.out.push_back(buf[i]);
        }
        if (Clock::now() > deadline) {
            o.timed_out = true;
            break;
        }
    }
    o.status = wait_child(pid, o.timed_out ? Clock::now() : deadline, &o.timed_out);
    ::close(master);
    return o;
}

// The conversation ended in time with the status, and the terminal showed every text.
void expect_shown(const Outcome& o, int status, std::initializer_list<const char*> texts) {
    ASSERT_FALSE(o.timed_out) << o.out;
    EXPECT_EQ(o.status, status) << o.out;
    for (const char* t : texts) EXPECT_NE(o.out.find(t), std::string::npos) << t << " in " << o.out;
}

// ---- the console library on its own ---------------------------------------------------------

TEST(ConsoleLibraryTerminal, ReadsAnEditedLineAndReportsCtrlCAsBreak) {
    Sandbox box;
    // The first line is typed with a mistake that the backspace key takes back; Ctrl-C ends
    // the second read as a break; Ctrl-D on an empty line is the end of the input.
    Outcome o = run_on_terminal({POMCON_DRIVER_BIN, POMCON_LIBRARY, "100"}, box.env(),
                                {{"",
                                  "abX\x7f"
                                  "c\r"},
                                 {"[4]abc", "\x03", 300},
                                 {"[-2]", "\x04", 300}});
    expect_shown(o, 0, {"[4]abc\n", "[-2]", "[0]"});
}

TEST(ConsoleLibraryTerminal, LongLineComesInPiecesAndHistoryRecallsIt) {
    Sandbox box;
    // A 3-byte buffer takes "hello\n" in two reads; the up-arrow brings the line back.
    Outcome o =
        run_on_terminal({POMCON_DRIVER_BIN, POMCON_LIBRARY, "3"}, box.env(),
                        {{"", "hello\r"}, {"[3]lo\n", "\x1b[A\r", 300}, {"[3]lo\n", "\x04", 300}});
    ASSERT_FALSE(o.timed_out) << o.out;
    std::size_t first = o.out.find("[3]hel");
    ASSERT_NE(first, std::string::npos) << o.out;
    EXPECT_NE(o.out.find("[3]hel", first + 1), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("[0]"), std::string::npos) << o.out;
}

TEST(ConsoleLibraryFile, ReadsARegularFileOneLineAtATime) {
    Sandbox box;
    std::string input = box.write("input.txt", "one\r\ntwo\nlast without end");
    Outcome o = run_plain({POMCON_DRIVER_BIN, POMCON_LIBRARY, "100"}, box.env(), input);
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "[5]one\r\n@5\n[4]two\n@9\n[16]last without end@25\n[0]@25\n");
}

// ---- Ctrl-C during a run of the ketra command ------------------------------------------------

TEST(CtrlC, HaltsAnEndlessLoopWithTheHaltError) {
    Sandbox box;
    Outcome o = run_on_terminal({KETRA_HOST_BIN, "-e", "say 'looping'; do forever; nop; end"},
                                box.env(), {{"looping", "\x03"}});
    expect_shown(o, 4, {"Error 4", "Program interrupted"});
}

TEST(CtrlC, RunsTheHaltTraps) {
    Sandbox box;
    Outcome c = run_on_terminal({KETRA_HOST_BIN, "-e",
                                 "call on halt name stop; halted = 0; say 'looping';"
                                 "do until halted; nop; end; say 'went on'; exit 0;"
                                 "stop: halted = 1; say 'trapped' condition('C'); return"},
                                box.env(), {{"looping", "\x03"}});
    expect_shown(c, 0, {"trapped HALT", "went on"});

    Outcome s = run_on_terminal(
        {KETRA_HOST_BIN, "-e",
         "signal on halt; say 'looping'; do forever; nop; end; halt: say 'trapped' sigl; exit 3"},
        box.env(), {{"looping", "\x03"}});
    expect_shown(s, 3, {"trapped 1"});
}

// Starts a ketra run without a terminal (standard streams on /dev/null) whose first command
// makes a marker file and then runs `then`, and waits for the marker: the run, and so its
// SIGINT handling, has begun. The program goes on with `source`.
pid_t start_marked_run(const Sandbox& box, const std::string& then, const std::string& source) {
    std::string marker = box.path("started").string();
    std::filesystem::remove(marker);
    pid_t pid = ::fork();
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        exec_child(
            {KETRA_HOST_BIN, "-e", "address system 'touch " + marker + "; " + then + "';" + source},
            box.env());
    }
    auto until = Clock::now() + kTimeout;
    while (!fs::exists(marker) && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

TEST(CtrlC, SignalWithoutTerminalIsAHaltAndASecondOneEndsTheProcess) {
    Sandbox box;
    // One SIGINT: the loop halts.
    pid_t loop = start_marked_run(box, "true", "do forever; nop; end");
    ::kill(loop, SIGINT);
    bool timed_out = false;
    EXPECT_EQ(wait_child(loop, Clock::now() + kTimeout, &timed_out), 4);
    EXPECT_FALSE(timed_out);

    // The program waits for a command and reaches no halt check: the first SIGINT waits to be
    // taken, the second ends the process as SIGINT does.
    pid_t waiting = start_marked_run(box, "sleep 3", "say 'done'");
    ::kill(waiting, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(waiting, SIGINT);
    auto started = Clock::now();
    EXPECT_EQ(wait_child(waiting, Clock::now() + kTimeout, &timed_out), 128 + SIGINT);
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(2500));
}

TEST(CtrlC, BreakWhilePullingHaltsAtTheNextPoll) {
    Sandbox box;
    Outcome o =
        run_on_terminal({KETRA_HOST_BIN, "-e",
                         "signal on halt; say 'ready'; pull answer; say 'pulled ['answer']';"
                         "do 20; nop; end; say 'not halted'; exit;"
                         "halt: say 'halted'; exit 5"},
                        box.env(), {{"ready", "\x03", 300}});  // typed once the line editor waits
    expect_shown(o, 5, {"pulled []", "halted"});
    EXPECT_EQ(o.out.find("not halted"), std::string::npos) << o.out;
}

// ---- the REXX library and its console library ------------------------------------------------

TEST(ConsoleWindow, RunCreatesAnOverlappedWindowAndDetachClosesIt) {
    Sandbox box;
    Outcome o = run_plain({STDIO_HOST_BIN, "--detach", "say 'hi'"}, fake_console_env(box));
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "hi\nrc=0\ndetach=0\n");
    EXPECT_EQ(box.read("console.log"),
              "load\n"
              "create 'REXX I/O' style=00CF0000 x=-2147483648 y=-2147483648 w=400 h=200 "
              "parent=none module=set param=none\n"
              "puts 0 hi|\n"
              "close 1\n");
}

TEST(ConsoleWindow, EveryRunMakesAWindowAndTheNewestIsClosedAtLibraryEnd) {
    Sandbox box;
    // Two runs without an exit make two windows, neither closed when its run ends; at the end of
    // the process the newest one is closed.
    Outcome o = run_plain({STDIO_HOST_BIN, "--twice", "say 'run'"}, fake_console_env(box));
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "run\nrc=0\nrun\nrc=0\n");
    std::string log = box.read("console.log");
    std::size_t first = log.find("create 'REXX I/O'");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("create 'REXX I/O'", first + 1), std::string::npos) << log;
    EXPECT_EQ(log.find("close"), log.rfind("close")) << log;
    EXPECT_EQ(log.substr(log.rfind("close")), "close 2\n") << log;
}

TEST(ConsoleWindow, OutputAfterTheLibraryEndIsDroppedQuietly) {
    Sandbox box;
    Outcome o =
        run_plain({STDIO_HOST_BIN, "--late-output", "say 'in time'"}, fake_console_env(box));
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "in time\nrc=0\n");
    EXPECT_EQ(o.err, "");
    std::string log = box.read("console.log");
    EXPECT_EQ(log.find("create"), log.rfind("create")) << log;
}

TEST(ConsoleWindow, ChildWindowOptionMakesAChild) {
    Sandbox box;
    set_options(box, {{"ChildWindow", 1}});
    Outcome o = run_plain({STDIO_HOST_BIN, "say 'child'"}, fake_console_env(box));
    EXPECT_EQ(o.out, "child\nrc=0\n");
    EXPECT_NE(box.read("console.log")
                  .find("create 'REXX I/O Window' style=50000000 x=0 y=0 w=0 h=0 parent=none"),
              std::string::npos)
        << box.read("console.log");
}

TEST(ConsoleWindow, RunWithAnIoExitNeverLoadsTheLibrary) {
    Sandbox box;
    std::string input = box.write("input.txt", "from stdin\n");
    Outcome o = run_plain({STDIO_HOST_BIN, "--exit", "--detach",
                           "say 'to the exit'; pull a; say a; parse pull b; say b"},
                          fake_console_env(box), input);
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "exit say: to the exit\nexit say: TYPED\nexit say: typed\nrc=0\ndetach=0\n");
    EXPECT_FALSE(fs::exists(box.path("console.log"))) << box.read("console.log");
}

TEST(ConsoleWindow, BeginAndEndMessagesGoToTheWindowWithFlagZero) {
    Sandbox box;
    set_options(box, {{"BoundsMessages", 1}});
    Outcome o = run_plain({STDIO_HOST_BIN, "say 'x'"}, fake_console_env(box));
    EXPECT_EQ(o.out,
              "\nTPX600: host.rex beginning execution.\nx\nTPX699: host.rex execution "
              "ended.\nrc=0\n");
    std::string log = box.read("console.log");
    EXPECT_NE(log.find("puts 0 |TPX600: host.rex beginning execution.|"), std::string::npos) << log;
    EXPECT_NE(log.find("puts 0 TPX699: host.rex execution ended.|"), std::string::npos) << log;
}

// The run did not start: RexxStart gave 2626 after the TPX606 box.
void expect_no_window(const Outcome& o) {
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.out, "rc=2626\n");
    EXPECT_EQ(o.err,
              "Corvane REXX: TPX606: Unable to create REXX Input/Output Window\n"
              "Unable to Execute.\n");
}

TEST(ConsoleWindow, WindowThatCannotBeCreatedGivesTPX606And2626) {
    Sandbox box;
    Env env = fake_console_env(box);
    env["FAKE_POMCON_FAIL"] = "1";
    Outcome o = run_plain({STDIO_HOST_BIN, "say 'never'"}, env);
    expect_no_window(o);
}

TEST(ConsoleWindow, MissingLibraryGivesTPX606And2626) {
    Sandbox box;
    // A copy of libketra.so in a folder of its own: its module search finds no console library.
    fs::create_directories(box.path("lib"));
    fs::copy_file(fs::canonical(KETRA_LIBRARY), box.path("lib") / KETRA_LIBRARY_SONAME);
    Env env = box.env();
    env["LD_LIBRARY_PATH"] = box.path("lib").string();
    Outcome o = run_plain({STDIO_HOST_BIN, "say 'never'"}, env);
    expect_no_window(o);
    // A run with an I/O exit needs no window.
    Outcome e = run_plain({STDIO_HOST_BIN, "--exit", "say 'fine'"}, env);
    EXPECT_EQ(e.out, "exit say: fine\nrc=0\n");
    EXPECT_EQ(e.err, "");
}

TEST(ConsoleWindow, BreakFromTheWindowHaltsOnlyARun) {
    Sandbox box;
    Env env = fake_console_env(box);
    env["FAKE_POMCON_BREAK"] = "1";
    // During PULL: the line is empty and the run halts at its next poll.
    Outcome o =
        run_plain({STDIO_HOST_BIN, "pull a; say '['a']'; do 20; nop; end; say 'went on'"}, env);
    EXPECT_EQ(o.out, "[]\nrc=-4\n");
    // A host reading between runs: its next run is not halted.
    Outcome h = run_plain({STDIO_HOST_BIN, "--read-first", "do 20; nop; end; say 'ran'"}, env);
    EXPECT_EQ(h.out, "read=-2\nran\nrc=0\n");
}

TEST(ConsoleWindow, UseOSConsoleWorksWithoutTheLibrary) {
    Sandbox box;
    std::string input = box.write("input.txt", "first line\r\nsecond\n");
    for (int child : {0, 1}) {
        set_options(box, {{"UseOSConsole", 1}, {"ChildWindow", child}});
        Outcome o = run_plain({KETRA_HOST_BIN, "-e",
                               "say 'out'; parse pull a; say '['a']';"
                               "address system 'cat'; say rc"},
                              fake_console_env(box), input);
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.status, 0) << o.err;
        // The rest of a file that standard input is stays for the command.
        EXPECT_EQ(o.out, "out\n[first line]\nsecond\n0\n") << "ChildWindow " << child;
        EXPECT_FALSE(fs::exists(box.path("console.log"))) << box.read("console.log");
    }
}

}  // namespace
