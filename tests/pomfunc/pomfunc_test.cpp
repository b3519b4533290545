// The function package seen from outside: the ketra command asking for the arguments of a
// program on a pseudo-terminal, the same command with nobody to ask, a library that cannot
// find the package, two processes sharing one registration area, and a host process whose
// threads all reach PromptBox.
#include <gtest/gtest.h>

#include <pty.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "rexxsaa.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

using ketra::test::Env;
using ketra::test::exec_child;
using ketra::test::Sandbox;
using ketra::test::wait_child;

constexpr int kTimeoutMs = 20000;

struct Outcome {
    int status = -1;
    bool timed_out = false;
    std::string output;  // what the terminal showed (or standard output)
};

// Runs argv on a new pseudo-terminal, which becomes its controlling terminal and its standard
// input, output and error. Once the terminal has shown `question`, `answer` is typed.
Outcome run_on_terminal(const std::vector<std::string>& argv, const Env& env,
                        const std::string& question, const std::string& answer,
                        bool stdin_from_null = false) {
    Outcome o;
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return o;
    if (pid == 0) {
        if (stdin_from_null) {
            int n = ::open("/dev/null", O_RDONLY);
            ::dup2(n, 0);
        }
        exec_child(argv, env);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    bool answered = question.empty() && answer.empty();
    for (;;) {
        pollfd p{master, POLLIN, 0};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        if (left <= 0) break;
        if (::poll(&p, 1, left) <= 0) break;
        char buf[512];
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        o.output.append(buf, static_cast<std::size_t>(n));
        if (!answered && o.output.find(question) != std::string::npos) {
            answered = true;
            [[maybe_unused]] ssize_t w = ::write(master, answer.data(), answer.size());
        }
    }
    o.status = wait_child(pid, deadline, &o.timed_out);
    ::close(master);
    return o;
}

// Runs argv in a new session (so without a controlling terminal) with standard input from
// /dev/null; standard output and error are collected together.
Outcome run_without_terminal(const std::vector<std::string>& argv, const Env& env) {
    Outcome o;
    int out[2];
    if (::pipe(out) != 0) return o;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        int n = ::open("/dev/null", O_RDONLY);
        ::dup2(n, 0);
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        exec_child(argv, env);
    }
    ::close(out[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, kTimeoutMs) <= 0) break;
        char buf[512];
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        o.output.append(buf, static_cast<std::size_t>(n));
    }
    o.status = wait_child(pid, deadline, &o.timed_out);
    ::close(out[0]);
    return o;
}

constexpr char kShowArgs[] = "parse arg a\nsay '[' || a || ']'\n";
// Calls PromptBox directly; error 43 when nothing of that name is registered.
constexpr char kCallPrompt[] =
    "signal on syntax\n"
    "x = PromptBox('Question', 'Your name')\n"
    "say 'answer [' || x || '] length' length(x)\n"
    "exit\n"
    "syntax: say 'error' rc\n";

TEST(PromptBoxOnTerminal, AnswerBecomesTheProgramsArgument) {
    Sandbox box;
    std::string prog = box.write("showargs.rex", kShowArgs);
    Outcome o =
        run_on_terminal({PROMPT_HOST_BIN, prog}, box.env(), "showargs.rex: ", "hello  world\n");
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.status, 0) << o.output;
    // The question names the prompt and the program, and comes before the program's output.
    std::size_t q = o.output.find("Execution ARG Prompt.\r\n");
    std::size_t a = o.output.find("[hello  world]");
    ASSERT_NE(q, std::string::npos) << o.output;
    ASSERT_NE(a, std::string::npos) << o.output;
    EXPECT_LT(q, a);
    // Asked once only, although the program reads its arguments again after the prompt.
    EXPECT_EQ(o.output.find("Execution ARG Prompt.", q + 1), std::string::npos) << o.output;
}

TEST(PromptBoxOnTerminal, ArgumentsOnTheCommandLineMeanNoQuestion) {
    Sandbox box;
    std::string prog = box.write("showargs.rex", kShowArgs);
    Outcome o = run_on_terminal({KETRA_HOST_BIN, prog, "given"}, box.env(), "", "");
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.output.find("Execution ARG Prompt."), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("[given]"), std::string::npos) << o.output;
}

TEST(PromptBoxOnTerminal, NoArgsSwitchMeansNoQuestion) {
    Sandbox box;
    std::string prog = box.write("showargs.rex", kShowArgs);
    Outcome o = run_on_terminal({PROMPT_HOST_BIN, prog, "/NARGS"}, box.env(), "", "");
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.output.find("Execution ARG Prompt."), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("[]"), std::string::npos) << o.output;
}

TEST(PromptBoxOnTerminal, DirectCallsReturnTheLineWhateverItsLength) {
    Sandbox box;
    std::string prog = box.write("call.rex", kCallPrompt);
    // Short enough for the caller's buffer.
    Outcome s = run_on_terminal({KETRA_HOST_BIN, prog, "x"}, box.env(), "Your name: ", "Ann\n");
    ASSERT_FALSE(s.timed_out) << s.output;
    EXPECT_NE(s.output.find("Question\r\nYour name: "), std::string::npos) << s.output;
    EXPECT_NE(s.output.find("answer [Ann] length 3"), std::string::npos) << s.output;
    // Longer than the caller's buffer: handed back in a block of its own.
    std::string longer(700, 'q');
    Outcome l =
        run_on_terminal({KETRA_HOST_BIN, prog, "x"}, box.env(), "Your name: ", longer + "\n");
    ASSERT_FALSE(l.timed_out) << l.output;
    EXPECT_NE(l.output.find("answer [" + longer + "] length 700"), std::string::npos);
}

TEST(PromptBoxOnTerminal, EndOfInputIsAnEmptyAnswer) {
    Sandbox box;
    std::string prog = box.write("call.rex", kCallPrompt);
    Outcome o = run_on_terminal({KETRA_HOST_BIN, prog, "x"}, box.env(), "Your name: ", "\x04");
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_NE(o.output.find("answer [] length 0"), std::string::npos) << o.output;
}

TEST(PromptBoxWithoutTerminal, ProgramRunsWithAnEmptyArgumentAndDoesNotWait) {
    Sandbox box;
    std::string prog = box.write("showargs.rex", kShowArgs);
    Outcome o = run_without_terminal({KETRA_HOST_BIN, prog}, box.env());
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.status, 0) << o.output;
    EXPECT_EQ(o.output, "[]\n");
    std::string call = box.write("call.rex", kCallPrompt);
    Outcome c = run_without_terminal({KETRA_HOST_BIN, call}, box.env());
    EXPECT_EQ(c.output, "answer [] length 0\n");
}

// A controlling terminal exists, but standard input is redirected: nobody is asked.
TEST(PromptBoxWithoutTerminal, RedirectedInputIsNotATerminal) {
    Sandbox box;
    std::string prog = box.write("showargs.rex", kShowArgs);
    Outcome o = run_on_terminal({PROMPT_HOST_BIN, prog}, box.env(), "", "", true);
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.output.find("Execution ARG Prompt."), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("[]"), std::string::npos) << o.output;
}

// A copy of libketra.so in a folder of its own: its module search cannot find the package.
TEST(FunctionPackageMissing, RunsGoOnWithoutIt) {
    Sandbox box;
    fs::path lib = box.dir() / "lib";
    fs::create_directories(lib);
    fs::copy_file(fs::canonical(KETRA_LIBRARY), lib / KETRA_LIBRARY_SONAME);
    fs::copy_file(POMCON_LIBRARY, lib / "libpomcon.so");
    Env env = box.env();
    env["LD_LIBRARY_PATH"] = lib.string();
    std::string call = box.write("call.rex", kCallPrompt);
    Outcome o = run_without_terminal({KETRA_HOST_BIN, call}, env);
    ASSERT_FALSE(o.timed_out) << o.output;
    EXPECT_EQ(o.status, 0) << o.output;
    EXPECT_EQ(o.output, "error 43\n");
    std::string args = box.write("showargs.rex", "say arg()\n");
    Outcome a = run_without_terminal({KETRA_HOST_BIN, args}, env);
    EXPECT_EQ(a.output, "0\n");
}

// The registration is kept in the area that processes share: the second process finds the
// functions registered already, and that still counts as a successful package start.
TEST(FunctionPackageShared, SecondProcessStartsAsWell) {
    Sandbox box;
    std::string call = box.write("call.rex", kCallPrompt);
    for (int i = 0; i < 2; ++i) {
        Outcome o = run_without_terminal({KETRA_HOST_BIN, call}, box.env());
        ASSERT_FALSE(o.timed_out) << o.output;
        EXPECT_EQ(o.status, 0) << "run " << i << ": " << o.output;
        EXPECT_EQ(o.output, "answer [] length 0\n") << "run " << i;
    }
}

// ---- a host process linked against libketra.so -----------------------------------------------

std::string run_program(const char* source) {
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], const_cast<char*>(source), std::strlen(source));
    MAKERXSTRING(instore[1], nullptr, 0);
    RXSTRING result;
    MAKERXSTRING(result, nullptr, 0);
    SHORT retc = 0;
    LONG rc =
        RexxStart(0, nullptr, "hosted.rex", instore, "CMD", RXFUNCTION, nullptr, &retc, &result);
    std::string out = "rc=" + std::to_string(rc);
    if (result.strptr) out += " " + std::string(result.strptr, result.strlength);
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    return out;
}

// Checks made in a child without a terminal; returns a description of the first failure.
std::string check_threads() {
    // The first run loads the package on this thread.
    std::string first = run_program("return '<' || PromptBox('a', 'b') || '>'");
    if (first != "rc=0 <>") return "first run: " + first;
    std::string failure;
    std::thread other([&] {
        if (RexxQueryFunction("PromptBox") != RXFUNC_OK) {
            failure = "PromptBox is not registered for another thread";
            return;
        }
        std::string r = run_program("return '<' || PromptBox('a', 'b') || '>'");
        if (r != "rc=0 <>") {
            failure = "run on another thread: " + r;
            return;
        }
        char title[] = "t";
        RXSTRING args[2];
        MAKERXSTRING(args[0], title, 1);
        MAKERXSTRING(args[1], title, 1);
        char buffer[16];
        RXSTRING out;
        MAKERXSTRING(out, buffer, sizeof buffer);
        USHORT retc = 99;
        APIRET rc = RexxCallFunction("PromptBox", 2, args, &retc, &out, "SESSION");
        if (rc != 0 || retc != 0 || out.strlength != 0)
            failure = "RexxCallFunction: " + std::to_string(rc) + " " + std::to_string(retc);
        // Three arguments are an incorrect call.
        RXSTRING three[3] = {args[0], args[1], args[0]};
        MAKERXSTRING(out, buffer, sizeof buffer);
        rc = RexxCallFunction("PromptBox", 3, three, &retc, &out, "SESSION");
        if (rc != 0 || retc != 40) failure = "three arguments gave " + std::to_string(retc);
    });
    other.join();
    return failure;
}

TEST(FunctionPackageHosted, EveryThreadReachesPromptBox) {
    Sandbox box;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        int n = ::open("/dev/null", O_RDONLY);
        ::dup2(n, 0);
        for (const auto& [k, v] : box.env()) ::setenv(k.c_str(), v.c_str(), 1);
        std::string failure = check_threads();
        [[maybe_unused]] ssize_t w = ::write(out[1], failure.data(), failure.size());
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(out[1]);
    std::string failure;
    char buf[256];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) failure.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << failure;
    EXPECT_EQ(failure, "");
}

}  // namespace
