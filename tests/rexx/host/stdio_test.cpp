// Standard I/O of runs inside the process: SAY and PULL through an RXSIO exit and its failures,
// RexxStdOutput and RexxStdInput with and without an exit, standard input and output in place
// of the exit, and the session queue as a host sees it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "host_test_support.h"
#include "rexxsaa.h"

namespace {

using ketra::test::run_in_store;

// Points a standard descriptor at a temporary file while alive.
class Redirect {
  public:
    explicit Redirect(int fd, const std::string& content = "") : fd_(fd), file_(std::tmpfile()) {
        std::fwrite(content.data(), 1, content.size(), file_);
        std::fflush(file_);
        std::rewind(file_);
        saved_ = ::dup(fd);
        ::dup2(::fileno(file_), fd);
    }
    ~Redirect() {
        ::dup2(saved_, fd_);
        ::close(saved_);
        std::fclose(file_);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;
    // Everything the file holds.
    std::string text() const {
        std::string s;
        char buf[512];
        ssize_t n;
        off_t at = 0;
        while ((n = ::pread(::fileno(file_), buf, sizeof buf, at)) > 0) {
            s.append(buf, static_cast<std::size_t>(n));
            at += n;
        }
        return s;
    }

  private:
    int fd_;
    FILE* file_;
    int saved_;
};

// What the test exit saw and how it answers.
struct ExitScript {
    std::vector<std::string> said;   // subfunction 1
    std::vector<std::string> trace;  // subfunction 2
    int reads = 0;
    ULONG read_size = 0;          // the result buffer's size at the last read
    bool read_in_buffer = false;  // the last read's result pointed at a buffer it could fill
    const char* caller_buffer = nullptr;
    bool read_into_caller = false;
    LONG say_rc = RXEXIT_HANDLED;
    LONG read_rc = RXEXIT_HANDLED;
    std::string answer = "typed";
    bool answer_in_own_block = false;
};
ExitScript* g_script = nullptr;

LONG APIENTRY test_exit(LONG function, LONG subfunction, PEXIT parm) {
    if (function != RXSIO || !g_script) return RXEXIT_NOT_HANDLED;
    ExitScript& s = *g_script;
    switch (subfunction) {
        case RXSIOSAY: {
            auto* p = reinterpret_cast<RXSIOSAY_PARM*>(parm);
            s.said.emplace_back(p->rxsio_string.strptr, p->rxsio_string.strlength);
            return s.say_rc;
        }
        case RXSIOTRC: {
            auto* p = reinterpret_cast<RXSIOTRC_PARM*>(parm);
            s.trace.emplace_back(p->rxsio_string.strptr, p->rxsio_string.strlength);
            return RXEXIT_HANDLED;
        }
        case RXSIOTRD: {
            auto* p = reinterpret_cast<RXSIOTRD_PARM*>(parm);
            ++s.reads;
            RXSTRING& r = p->rxsiotrd_retc;
            s.read_size = r.strlength;
            s.read_in_buffer = r.strptr != nullptr;
            s.read_into_caller = r.strptr == s.caller_buffer;
            if (s.read_rc != RXEXIT_HANDLED) return s.read_rc;
            if (s.answer_in_own_block) {
                r.strptr = static_cast<char*>(RexxAllocateMemory(s.answer.size()));
            }
            std::memcpy(r.strptr, s.answer.data(), s.answer.size());
            r.strlength = s.answer.size();
            return RXEXIT_HANDLED;
        }
    }
    return RXEXIT_NOT_HANDLED;
}

// A function a program calls, which uses the standard I/O exports as a host handler would:
// HOSTIO('OUT', text) writes the text, HOSTIO('IN', size) reads and returns "rc:text".
APIRET APIENTRY host_io(PUCHAR, ULONG argc, PRXSTRING argv, PSZ, PRXSTRING ret) {
    if (argc != 2) return 40;
    std::string what(argv[0].strptr, argv[0].strlength);
    std::string arg(argv[1].strptr, argv[1].strlength);
    std::string out;
    if (what == "OUT") {
        out = std::to_string(RexxStdOutput(arg.c_str()));
    } else {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        ULONG size = static_cast<ULONG>(std::stoul(arg));
        if (g_script) g_script->caller_buffer = buffer;
        LONG rc = RexxStdInput(buffer, size);
        std::size_t n = rc > 0 ? static_cast<std::size_t>(rc) : rc == 0 ? strnlen(buffer, size) : 0;
        out = std::to_string(rc) + ":" + std::string(buffer, n);
    }
    std::memcpy(ret->strptr, out.data(), out.size());
    ret->strlength = out.size();
    return 0;
}

class StdioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_script = &script_;
        ASSERT_EQ(RexxRegisterExitExe("STDIOTEST", reinterpret_cast<PFN>(&test_exit), nullptr), 0u);
        ASSERT_EQ(RexxRegisterFunctionExe("HOSTIO", reinterpret_cast<PFN>(&host_io)), 0u);
    }
    void TearDown() override {
        RexxDeregisterExit("STDIOTEST", nullptr);
        RexxDeregisterFunction("HOSTIO");
        g_script = nullptr;
    }
    // Runs source with the test exit; the RexxStart value.
    LONG run_with_exit(const std::string& source) {
        RXSTRING instore[2];
        MAKERXSTRING(instore[0], const_cast<char*>(source.data()), source.size());
        MAKERXSTRING(instore[1], nullptr, 0);
        RXSYSEXIT exits[] = {{"STDIOTEST", RXSIO}, {nullptr, RXENDLST}};
        SHORT retc = 0;
        RXSTRING result;
        MAKERXSTRING(result, nullptr, 0);
        LONG rc =
            RexxStart(0, nullptr, "stdio.rex", instore, nullptr, RXCOMMAND, exits, &retc, &result);
        if (result.strptr) RexxFreeMemory(result.strptr);
        if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
        return rc;
    }

    ExitScript script_;
};

TEST_F(StdioTest, SayAndPullGoThroughTheExit) {
    Redirect out(STDOUT_FILENO);
    EXPECT_EQ(run_with_exit("say 'one'; say; pull a; say a; parse pull b; say b"), 0);
    EXPECT_EQ(script_.said, (std::vector<std::string>{"one", "", "TYPED", "typed"}));
    EXPECT_EQ(script_.reads, 2);
    EXPECT_EQ(script_.read_size, 4096u);
    EXPECT_TRUE(script_.read_in_buffer);
    EXPECT_EQ(out.text(), "");
}

TEST_F(StdioTest, PullTakesTheQueueBeforeTheExit) {
    EXPECT_EQ(run_with_exit("queue 'queued'; parse pull a; parse pull b; say a '/' b"), 0);
    EXPECT_EQ(script_.said, std::vector<std::string>{"queued / typed"});
    EXPECT_EQ(script_.reads, 1);
}

TEST_F(StdioTest, LineInTheExitsOwnBlockIsTaken) {
    script_.answer_in_own_block = true;
    script_.answer = std::string(5000, 'x');
    EXPECT_EQ(run_with_exit("parse pull a; say a"), 0);
    EXPECT_EQ(script_.said, std::vector<std::string>{script_.answer});
}

TEST_F(StdioTest, ExitFailuresAreError48) {
    script_.say_rc = 65535;
    EXPECT_EQ(run_with_exit("say 'x'"), -48);
    ASSERT_FALSE(script_.trace.empty());
    EXPECT_NE(script_.trace.back().find("Failure in system service"), std::string::npos);

    script_ = ExitScript{};
    script_.read_rc = RXEXIT_RAISE_ERROR;
    EXPECT_EQ(run_with_exit("pull a; say 'not reached'"), -48);
    EXPECT_TRUE(script_.said.empty());

    // A program can trap it.
    script_ = ExitScript{};
    script_.read_rc = RXEXIT_RAISE_ERROR;
    EXPECT_EQ(run_with_exit("signal on syntax; pull a; exit; syntax: say 'caught' rc"), 0);
    EXPECT_EQ(script_.said, std::vector<std::string>{"caught 48"});
}

TEST_F(StdioTest, StdOutputThroughTheExitAndToStandardOutput) {
    EXPECT_EQ(run_with_exit("say hostio('OUT', 'from host')"), 0);
    EXPECT_EQ(script_.said, (std::vector<std::string>{"from host", "0"}));

    script_ = ExitScript{};
    script_.say_rc = 65535;
    EXPECT_EQ(run_with_exit("signal on syntax; x = hostio('OUT', 'x'); exit; syntax: exit"), 0);
    EXPECT_EQ(script_.said.front(), "x");

    Redirect out(STDOUT_FILENO);
    EXPECT_EQ(run_in_store("call hostio 'OUT', 'a' || '0d0a'x || 'b'; say result", {}), 0);
    EXPECT_EQ(RexxStdOutput("outside a run"), 0u);
    EXPECT_EQ(out.text(), "a\nb\n0\noutside a run\n");
}

TEST_F(StdioTest, StdInputThroughTheExitUsesTheCallersBuffer) {
    EXPECT_EQ(run_with_exit("say hostio('IN', 10)"), 0);
    ASSERT_EQ(script_.said.size(), 1u);
    EXPECT_EQ(script_.said[0], "0:typed");
    EXPECT_EQ(script_.read_size, 10u);
    EXPECT_TRUE(script_.read_into_caller);

    script_ = ExitScript{};
    script_.read_rc = RXEXIT_RAISE_ERROR;
    EXPECT_EQ(run_with_exit("say hostio('IN', 10)"), 0);
    EXPECT_EQ(script_.said, std::vector<std::string>{"-1:"});
}

TEST_F(StdioTest, StdInputAndPullWithoutAnExitReadStandardInput) {
    Redirect in(STDIN_FILENO, "first\r\nsecond\nthird");
    Redirect out(STDOUT_FILENO);
    EXPECT_EQ(RexxStdInput(nullptr, 10), 0);
    char buffer[32];
    EXPECT_EQ(RexxStdInput(buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "first\r\n");
    EXPECT_EQ(
        run_in_store(
            "parse pull a; parse pull b; parse pull c; say a || '|' || b || '|' || c || '|'", {}),
        0);
    EXPECT_EQ(out.text(), "second|third||\n");
}

TEST_F(StdioTest, SessionQueueAsTheHostSeesIt) {
    char buf[8];
    RXSTRING line;
    line.strptr = buf;
    line.strlength = sizeof buf;
    EXPECT_EQ(RexxPullQueue("SESSION", &line), 0u);
    EXPECT_EQ(line.strlength, 0u);  // an empty queue gives the empty string

    // What a program leaves in the queue, the host takes in order.
    EXPECT_EQ(run_in_store("queue 'b'; queue 'c'; push 'a'", {}), 0);
    ULONG count = 0;
    EXPECT_EQ(RexxQueryQueue("any name", &count), 0u);
    EXPECT_EQ(count, 3u);
    std::string got;
    for (int i = 0; i < 3; ++i) {
        line.strptr = buf;
        line.strlength = sizeof buf;
        ASSERT_EQ(RexxPullQueue("session", &line), 0u);
        got.append(buf, line.strlength);
    }
    EXPECT_EQ(got, "abc");
    EXPECT_EQ(RexxQueryQueue(nullptr, &count), 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(RexxDeleteQueue("SESSION"), 5u);
}

}  // namespace
