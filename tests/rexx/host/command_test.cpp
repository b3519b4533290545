// Command environments: how a system command is started (interpreter or direct), the runner's
// results, the RXCMD exit, registered subcommand handlers (EXE and DLL), the special handlers of
// the operating-system environments, and that the ApiLock is left while a command runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/lock.h"
#include "rexx/host/command_dispatch.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

using Argv = std::vector<std::string>;

// Sets or removes an environment variable for the life of the object, then restores it.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_, old_;
    bool had_ = false;
};

// What a run gave back: RexxStart's value and the program's result string.
struct RunOutcome {
    LONG rc = 0;
    std::string result;
};

RunOutcome run_program(const std::string& source, PRXSYSEXIT exits = nullptr) {
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], const_cast<char*>(source.data()), source.size());
    MAKERXSTRING(instore[1], nullptr, 0);
    SHORT retc = 0;
    RXSTRING result;
    MAKERXSTRING(result, nullptr, 0);
    RunOutcome out;
    out.rc =
        RexxStart(0, nullptr, "command_test.cmd", instore, "CMD", RXCOMMAND, exits, &retc, &result);
    if (result.strptr) {
        out.result.assign(result.strptr, result.strlength);
        RexxFreeMemory(result.strptr);
    }
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    return out;
}

PFN as_pfn(void* p) {
    return reinterpret_cast<PFN>(p);
}

// ---- how a system command is started -------------------------------------------------------

TEST(SystemCommandPlan, ShellSyntaxAndBuiltinsGoThroughTheInterpreter) {
    for (const char* cmd :
         {"echo hi > out", "sort < in", "a | b",      "a; b",       "a && b",
          "echo $HOME",    "echo `id`", "echo 'q'",   "echo \"q\"", "ls *.c",
          "ls ?",          "(a)",       "ls ~",       "a\nb",       "ls a\\ b",
          "ECHO hi",       "echo hi",   "cd /tmp",    "CD",         "set",
          "export A=1",    "unset A",   "exit 3",     "test -f x",  "[ -f x ]",
          ". ./profile",   "source x",  "eval x",     "exec x",     "read x",
          "if true",       "for x",     "while true", "case x",     "  echo indented",
          "DIR",           "copy a b",  "del a",      "type a",     "rem note"}) {
        SystemCommand plan = plan_system_command(cmd);
        EXPECT_TRUE(plan.shell) << cmd;
        EXPECT_EQ(plan.text, cmd);
    }
}

TEST(SystemCommandPlan, PlainProgramsStartDirectlySplitAtBlanks) {
    struct Case {
        const char* cmd;
        Argv argv;
    };
    const Case cases[] = {
        {"ls -l", {"ls", "-l"}},
        {"  ls   -l\t/tmp  ", {"ls", "-l", "/tmp"}},
        {"true", {"true"}},
        // Programs whose names begin like a shell built-in are not built-ins.
        {"md5sum file", {"md5sum", "file"}},
        {"datediff a b", {"datediff", "a", "b"}},
        {"testprog", {"testprog"}},
        {"settings --x", {"settings", "--x"}},
        {"./prog", {"./prog"}},
        {"CMD.EXE", {"CMD.EXE"}},
        {"Command.COM", {"Command.COM"}},
        {"CMDX run", {"CMDX", "run"}},
    };
    for (const Case& c : cases) {
        SystemCommand plan = plan_system_command(c.cmd);
        EXPECT_FALSE(plan.shell) << c.cmd;
        EXPECT_EQ(system_command_argv(plan), c.argv) << c.cmd;
    }
}

TEST(SystemCommandPlan, PrefixesAndAtSign) {
    struct Case {
        const char* cmd;
        bool shell;
        const char* text;
    };
    const Case cases[] = {
        {"@ls -l", false, "ls -l"}, {"@echo hi", true, "echo hi"}, {"CMD ls", true, "ls"},
        {"cmd ls", true, "ls"},     {"Cmd  ls", true, " ls"},      {"COMMAND ls -a", true, "ls -a"},
        {"command ls", true, "ls"}, {"DOS ls", true, "ls"},        {"dOs ls", true, "ls"},
        {"@CMD ls", true, "ls"},    {"CMD", false, "CMD"},         {"@", false, ""},
        {"@@ls", false, "@ls"},
    };
    for (const Case& c : cases) {
        SystemCommand plan = plan_system_command(c.cmd);
        EXPECT_EQ(plan.shell, c.shell) << c.cmd;
        EXPECT_EQ(plan.text, c.text) << c.cmd;
    }
}

TEST(SystemCommandPlan, InterpreterIsComspecElseBinSh) {
    SystemCommand plan{true, "echo hi"};
    {
        ScopedEnv env("COMSPEC", nullptr);
        EXPECT_EQ(system_command_argv(plan), (Argv{"/bin/sh", "-c", "echo hi"}));
    }
    {
        ScopedEnv env("COMSPEC", "/usr/bin/env");
        EXPECT_EQ(system_command_argv(plan), (Argv{"/usr/bin/env", "-c", "echo hi"}));
    }
}

TEST(SystemCommandRunner, ExitCodesAndStartFailures) {
    platform::ApiLockGuard held;  // as in a run: the runner leaves it for the start and wait
    EXPECT_EQ(run_system_command("true"), 0);
    EXPECT_EQ(run_system_command("false"), 1);
    EXPECT_EQ(run_system_command("exit 3"), 3);
    EXPECT_EQ(run_system_command("CMD exit 4"), 4);
    EXPECT_EQ(run_system_command("kill -KILL $$"), 128 + 9);
    EXPECT_EQ(run_system_command("no_such_program_for_ketra_tests"), -2);
    EXPECT_EQ(run_system_command("/no/such/folder/prog"), -2);
    EXPECT_EQ(run_system_command(""), -2);
    // The shell reports a missing program itself.
    EXPECT_EQ(run_system_command("no_such_program_for_ketra_tests 2>/dev/null"), 127);
    // A file that exists but cannot be run is not "not found".
    EXPECT_EQ(run_system_command("/dev/null"), -1);
    EXPECT_EQ(run_system_command(std::string("true") + std::string(1020, ' ')), 0);
    EXPECT_EQ(run_system_command(std::string("true") + std::string(1021, ' ')), -1);
    {
        // The interpreter itself missing is a program not found.
        ScopedEnv env("COMSPEC", "/no/such/shell");
        EXPECT_EQ(run_system_command("echo hi > /dev/null"), -2);
        EXPECT_EQ(run_system_command("true"), 0);
    }
}

TEST(SystemCommandRunner, ChildSeesTheLibraryEnvironmentAndFolder) {
    ScopedEnv env("KETRA_CMD_TEST_VAR", nullptr);
    ASSERT_TRUE(set_environment_variable("KETRA_CMD_TEST_VAR", "seen"));
    EXPECT_EQ(run_system_command("test \"$KETRA_CMD_TEST_VAR\" = seen"), 0);
    EXPECT_EQ(get_environment_variable("KETRA_CMD_TEST_VAR"), "seen");
    ASSERT_TRUE(remove_environment_variable("KETRA_CMD_TEST_VAR"));
    EXPECT_EQ(run_system_command("test -z \"${KETRA_CMD_TEST_VAR+set}\""), 0);
    EXPECT_FALSE(set_environment_variable("", "x"));
    EXPECT_FALSE(set_environment_variable("A=B", "x"));
    EXPECT_EQ(get_environment_variable("A=B"), "");
}

// ---- the RXCMD exit --------------------------------------------------------------------------

struct ExitScript {
    LONG rc = RXEXIT_HANDLED;
    bool fail = false;
    bool err = false;
    const char* retc = "0";  // null: the exit clears the result string
    std::string seen_env, seen_module, seen_command;
    int calls = 0;
    int lock_depth = -1;
};
ExitScript g_exit;

LONG APIENTRY CommandExit(LONG code, LONG sub, PEXIT block) {
    if (code != RXCMD || sub != RXCMDHST) return RXEXIT_NOT_HANDLED;
    auto* parm = reinterpret_cast<RXCMDHST_PARM*>(block);
    ++g_exit.calls;
    g_exit.lock_depth = platform::api_lock_depth();
    g_exit.seen_env.assign(reinterpret_cast<char*>(parm->rxcmd_address), parm->rxcmd_addressl);
    g_exit.seen_module.assign(parm->rxcmd_dll ? reinterpret_cast<char*>(parm->rxcmd_dll) : "",
                              parm->rxcmd_dll_len);
    g_exit.seen_command.assign(parm->rxcmd_command.strptr, parm->rxcmd_command.strlength);
    if (g_exit.rc != RXEXIT_HANDLED) return g_exit.rc;
    parm->rxcmd_flags.rxfcfail = g_exit.fail;
    parm->rxcmd_flags.rxfcerr = g_exit.err;
    if (!g_exit.retc) {
        parm->rxcmd_retc.strptr = nullptr;
        parm->rxcmd_retc.strlength = 0;
    } else {
        std::size_t n = std::strlen(g_exit.retc);
        std::memcpy(parm->rxcmd_retc.strptr, g_exit.retc, n);
        parm->rxcmd_retc.strlength = n;
    }
    return RXEXIT_HANDLED;
}

// A program that reports RC and which of ERROR and FAILURE it saw (the test binary has no
// built-in functions, so no CONDITION()).
constexpr const char* kReportProgram =
    "call on error name on_error\n"
    "call on failure name on_failure\n"
    "cond = 'none'\n"
    "address 'MyEnv.MyMod' 'some command'\n"
    "return rc cond\n"
    "on_error: cond = 'ERROR'; return\n"
    "on_failure: cond = 'FAILURE'; return\n";

TEST(CommandExit, HandledCommandsTakeTheExitResultAndFlags) {
    ASSERT_EQ(
        RexxRegisterExitExe("CmdTestExit", as_pfn(reinterpret_cast<void*>(&CommandExit)), nullptr),
        0u);
    RXSYSEXIT exits[] = {{const_cast<char*>("CmdTestExit"), RXCMD}, {nullptr, RXENDLST}};

    g_exit = ExitScript{};
    g_exit.retc = "17";
    RunOutcome r = run_program(kReportProgram, exits);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "17 none");
    EXPECT_EQ(g_exit.calls, 1);
    EXPECT_EQ(g_exit.lock_depth, 0);
    EXPECT_EQ(g_exit.seen_env, "MyEnv");
    EXPECT_EQ(g_exit.seen_module, "MyMod");
    EXPECT_EQ(g_exit.seen_command, "some command");

    g_exit = ExitScript{};
    g_exit.err = true;
    g_exit.retc = "bad";
    EXPECT_EQ(run_program(kReportProgram, exits).result, "bad ERROR");

    // Failure wins over error when the exit sets both.
    g_exit = ExitScript{};
    g_exit.fail = true;
    g_exit.err = true;
    g_exit.retc = "-9";
    EXPECT_EQ(run_program(kReportProgram, exits).result, "-9 FAILURE");

    g_exit = ExitScript{};
    g_exit.retc = nullptr;
    EXPECT_EQ(run_program(kReportProgram, exits).result, "0 none");

    // Not handled: the command goes on to the environments (nobody serves MyEnv).
    g_exit = ExitScript{};
    g_exit.rc = RXEXIT_NOT_HANDLED;
    EXPECT_EQ(run_program(kReportProgram, exits).result, "30 none");
    EXPECT_EQ(run_program("'exit 5'; return rc", exits).result, "5");
    EXPECT_EQ(g_exit.seen_env, "CMD");
    EXPECT_EQ(g_exit.seen_module, "");

    g_exit = ExitScript{};
    g_exit.rc = RXEXIT_RAISE_ERROR;
    EXPECT_EQ(run_program(kReportProgram, exits).rc, -48);
    // Error 48 can be trapped like any other error.
    EXPECT_EQ(run_program("signal on syntax; 'x'; return 'no'; syntax: return rc", exits).result,
              "48");

    EXPECT_EQ(RexxDeregisterExit("CmdTestExit", nullptr), 0u);
}

// ---- registered subcommand handlers ----------------------------------------------------------

struct HandlerScript {
    APIRET rc = 0;
    USHORT flag = RXSUBCOM_OK;
    const char* result = nullptr;  // null: the handler clears the result string
    bool own_block = false;        // the result goes in a block of the handler's own
    std::size_t offset = 0;        // else it goes this far into the buffer it was given
    std::string seen;
    int lock_depth = -1;
    int calls = 0;
};
HandlerScript g_handler;

APIRET APIENTRY ScriptedHandler(PRXSTRING cmd, PUSHORT flag, PRXSTRING result) {
    ++g_handler.calls;
    g_handler.lock_depth = platform::api_lock_depth();
    g_handler.seen.assign(cmd->strptr, cmd->strlength);
    *flag = g_handler.flag;
    if (!g_handler.result) {
        result->strptr = nullptr;
        result->strlength = 0;
    } else {
        std::size_t n = std::strlen(g_handler.result);
        if (g_handler.own_block)
            result->strptr = static_cast<char*>(RexxAllocateMemory(n + 1));
        else
            result->strptr += g_handler.offset;
        std::memcpy(result->strptr, g_handler.result, n);
        result->strlength = n;
    }
    return g_handler.rc;
}

TEST(SubcomHandler, ReturnCodeResultStringAndFlag) {
    ASSERT_EQ(
        RexxRegisterSubcomExe("MyEnv", as_pfn(reinterpret_cast<void*>(&ScriptedHandler)), nullptr),
        0u);
    const std::string program =
        "call on error name on_error\n"
        "call on failure name on_failure\n"
        "cond = 'none'\n"
        "address myenv 'do it'\n"
        "return rc cond\n"
        "on_error: cond = 'ERROR'; return\n"
        "on_failure: cond = 'FAILURE'; return\n";

    g_handler = HandlerScript{};
    g_handler.rc = 7;
    g_handler.result = "ignored";
    EXPECT_EQ(run_program(program).result, "7 none");
    EXPECT_EQ(g_handler.seen, "do it");
    EXPECT_EQ(g_handler.lock_depth, 0);

    g_handler = HandlerScript{};
    g_handler.result = "text result";
    EXPECT_EQ(run_program(program).result, "text result none");

    g_handler = HandlerScript{};
    std::string big(1000, 'r');
    g_handler.result = big.c_str();
    g_handler.own_block = true;
    EXPECT_EQ(run_program(program).result, big + " none");

    // A result placed further into the given buffer is still the buffer's, up to its end.
    g_handler = HandlerScript{};
    g_handler.result = "inside";
    g_handler.offset = 10;
    EXPECT_EQ(run_program(program).result, "inside none");
    std::string tail(RXAUTOBUFLEN - 6, 't');
    g_handler.result = tail.c_str();
    g_handler.offset = 6;
    EXPECT_EQ(run_program(program).result, tail + " none");

    g_handler = HandlerScript{};
    EXPECT_EQ(run_program(program).result, "0 none");

    g_handler = HandlerScript{};
    g_handler.rc = 2;
    g_handler.flag = RXSUBCOM_ERROR;
    EXPECT_EQ(run_program(program).result, "2 ERROR");

    g_handler = HandlerScript{};
    g_handler.rc = static_cast<APIRET>(-1);
    g_handler.flag = RXSUBCOM_FAILURE;
    EXPECT_EQ(run_program(program).result, "-1 FAILURE");

    // A registration of the environment name takes the command before the system runner.
    ASSERT_EQ(
        RexxRegisterSubcomExe("SH", as_pfn(reinterpret_cast<void*>(&ScriptedHandler)), nullptr),
        0u);
    g_handler = HandlerScript{};
    g_handler.result = "mine";
    EXPECT_EQ(run_program("address sh 'exit 4'; return rc").result, "mine");
    EXPECT_EQ(RexxDeregisterSubcom("SH", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("MyEnv", nullptr), 0u);
    EXPECT_EQ(run_program(program).result, "30 none");
}

TEST(SubcomHandler, SpecialHandlersServeTheOperatingSystemEnvironments) {
    ASSERT_EQ(
        RexxRegisterSubcomExe("EXECIO", as_pfn(reinterpret_cast<void*>(&ScriptedHandler)), nullptr),
        0u);
    g_handler = HandlerScript{};
    g_handler.result = "execio";
    EXPECT_EQ(run_program("'execio 1 diskr x'; return rc").result, "execio");
    EXPECT_EQ(g_handler.seen, "execio 1 diskr x");
    EXPECT_EQ(run_program("address system 'EXECIO *'; return rc").result, "execio");
    EXPECT_EQ(g_handler.calls, 2);
    // Other environments do not look for the special handlers.
    EXPECT_EQ(run_program("address other 'EXECIO *'; return rc").result, "30");
    EXPECT_EQ(g_handler.calls, 2);
    EXPECT_EQ(RexxDeregisterSubcom("EXECIO", nullptr), 0u);
    // Without its registration the word is an ordinary command.
    EXPECT_EQ(run_program("'EXECIO' '2>/dev/null'; return rc").result, "127");
}

TEST(SubcomHandler, DllModuleOrProcedureMissing) {
    ASSERT_EQ(RexxRegisterSubcomDll("NoModEnv", "ketra_no_such_module_xyz", "Handler", nullptr, 0),
              0u);
    ASSERT_EQ(RexxRegisterSubcomDll("NoProcEnv", "libc.so.6", "KetraNoSuchProcedure", nullptr, 0),
              0u);
    EXPECT_EQ(run_program("address NoModEnv 'x'").rc, -97);
    EXPECT_EQ(run_program("address NoProcEnv 'x'").rc, -96);
    EXPECT_EQ(run_program("signal on syntax; address NoProcEnv 'x'; return 'no'; syntax: return rc")
                  .result,
              "96");
    EXPECT_EQ(RexxDeregisterSubcom("NoModEnv", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("NoProcEnv", nullptr), 0u);
}

// ---- the ApiLock while a command runs --------------------------------------------------------

// Starts a run of `program` on a thread of its own and reports whether it ended with the
// result "ok" within 20 seconds. The thread is detached, so a run stuck on the lock cannot keep
// the test waiting for it as well.
bool other_thread_run_ok(const char* program) {
    auto done = std::make_shared<std::promise<std::string>>();
    std::future<std::string> result = done->get_future();
    std::thread([done, program] { done->set_value(run_program(program).result); }).detach();
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) return false;
    return result.get() == "ok";
}

std::atomic<bool> g_other_ran{false};

APIRET APIENTRY BlockingHandler(PRXSTRING, PUSHORT flag, PRXSTRING result) {
    g_other_ran = other_thread_run_ok("return 'ok'");
    *flag = RXSUBCOM_OK;
    result->strptr = nullptr;
    return 0;
}

TEST(CommandLock, OtherThreadsRunWhileAHandlerRuns) {
    ASSERT_EQ(RexxRegisterSubcomExe("BlockEnv", as_pfn(reinterpret_cast<void*>(&BlockingHandler)),
                                    nullptr),
              0u);
    g_other_ran = false;
    EXPECT_EQ(run_program("address BlockEnv 'x'; return rc").result, "0");
    EXPECT_TRUE(g_other_ran) << "a second thread could not run while a handler ran";
    EXPECT_EQ(RexxDeregisterSubcom("BlockEnv", nullptr), 0u);
}

TEST(CommandLock, OtherThreadsRunWhileASystemCommandRuns) {
    // The command reads a named pipe that the other thread opens only after its own run.
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ketra-cmd-lock-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> other_ran{false};
    std::thread writer([&] {
        other_ran = other_thread_run_ok("return 'ok'");
        // Open the pipe whatever happened, so that the command ends; without a reader yet the
        // open fails, so try again for a while.
        for (int i = 0; i < 400; ++i) {
            int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                EXPECT_EQ(::write(fd, "done\n", 5), 5);
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    RunOutcome r = run_program("'cat " + fifo + " >/dev/null'; return rc");
    writer.join();
    EXPECT_EQ(r.result, "0");
    EXPECT_TRUE(other_ran) << "a second thread could not run while a command ran";
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ketra
