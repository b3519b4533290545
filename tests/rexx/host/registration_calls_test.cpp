// Calling registered code: RexxLoadSubcom and RexxExecuteSubcom on EXE registrations and with a
// module name, the errors a program sees from external functions (40, 43, 44, 96, 97), and every
// exit call point (RXSIO say, terminal read and error lines, RXHLT, RXINI, RXTER, RXFNC, RXCMD)
// together with registered functions and subcommand handlers: each is called with the ApiLock
// left, so that another thread can run a program meanwhile, and the run goes on afterwards; and
// what the library does with each exit's answer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "platform/lock.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

PFN as_pfn(void* p) {
    return reinterpret_cast<PFN>(p);
}

void put(PRXSTRING r, const std::string& text) {
    std::memcpy(r->strptr, text.data(), text.size());
    r->strlength = static_cast<ULONG>(text.size());
}

APIRET APIENTRY echo_handler(PRXSTRING cmd, PUSHORT flags, PRXSTRING result) {
    *flags = RXSUBCOM_OK;
    put(result, std::to_string(cmd->strlength));
    return 0;
}

LONG APIENTRY quiet_exit(LONG code, LONG, PEXIT) {
    return code == RXSIO ? RXEXIT_HANDLED : RXEXIT_NOT_HANDLED;
}

// A program run through RexxStart on the calling thread: its return value and result. Without
// an exit list of its own the run gets an RXSIO exit that takes its output, so that no console
// is needed.
struct RunOutcome {
    LONG rc = 0;
    std::string result;
};

RunOutcome run_program(const std::string& source, PRXSYSEXIT exits, const char* env = "CALLENV") {
    char quiet[] = "QuietSio";
    RXSYSEXIT quiet_exits[] = {{quiet, RXSIO}, {nullptr, RXENDLST}};
    bool own = !exits;
    if (own) {
        // Registrations belong to the thread: each thread that runs here makes its own.
        EXPECT_EQ(RexxRegisterExitExe(quiet, as_pfn(reinterpret_cast<void*>(&quiet_exit)), nullptr),
                  0u);
        exits = quiet_exits;
    }
    RXSTRING instore[2] = {{static_cast<ULONG>(source.size()), const_cast<char*>(source.data())},
                           {0, nullptr}};
    RXSTRING result{0, nullptr};
    SHORT retc = 0;
    RunOutcome r;
    r.rc = RexxStart(0, nullptr, "calls.cmd", instore, env, RXCOMMAND, exits, &retc, &result);
    r.result = result.strptr ? std::string(result.strptr, result.strlength) : "(none)";
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    if (own) {
        EXPECT_EQ(RexxDeregisterExit(quiet, nullptr), 0u);
    }
    return r;
}

TEST(SubcomCalls, LoadAndExecuteAnExeRegistration) {
    ASSERT_EQ(
        RexxRegisterSubcomExe("EchoEnv", as_pfn(reinterpret_cast<void*>(&echo_handler)), nullptr),
        0u);
    // An EXE handler needs no loading.
    EXPECT_EQ(RexxLoadSubcom("echoenv", nullptr), 0u);
    EXPECT_EQ(RexxLoadSubcom("echoenv", ""), 0u);

    char text[] = "four";
    RXSTRING cmd{4, text};
    char buf[RXAUTOBUFLEN];
    RXSTRING result{sizeof buf, buf};
    USHORT flags = 9, rc = 0;
    EXPECT_EQ(RexxExecuteSubcom("ECHOENV", nullptr, &cmd, &flags, &rc, &result), 0u);
    EXPECT_EQ(rc, 4);
    EXPECT_EQ(flags, RXSUBCOM_OK);
    // A module name looks only among DLL registrations, where there is none of that name.
    EXPECT_EQ(RexxLoadSubcom("echoenv", "somemodule"), 30u);
    EXPECT_EQ(RexxExecuteSubcom("echoenv", "somemodule", &cmd, &flags, &rc, &result), 30u);
    EXPECT_EQ(RexxDeregisterSubcom("EchoEnv", nullptr), 0u);
}

// ---- errors of external functions called by programs -------------------------------------

APIRET APIENTRY failing_function(PUCHAR, ULONG, PRXSTRING, PSZ, PRXSTRING) {
    return 1;
}

APIRET APIENTRY silent_function(PUCHAR, ULONG, PRXSTRING, PSZ, PRXSTRING result) {
    result->strptr = nullptr;
    result->strlength = 0;
    return 0;
}

// Each call's error number as the program's SYNTAX trap sees it.
constexpr char kErrorProgram[] =
    "signal on syntax name caught\n"
    "x = FailingFn(1)\n"
    "return 'none'\n"
    "caught: return rc\n";

std::string error_of(const char* call) {
    std::string source = kErrorProgram;
    source.replace(source.find("FailingFn(1)"), std::strlen("FailingFn(1)"), call);
    return run_program(source, nullptr).result;
}

TEST(ExternalFunctionErrors, ProgramsSeeTheErrorNumbers) {
    ASSERT_EQ(
        RexxRegisterFunctionExe("FailingFn", as_pfn(reinterpret_cast<void*>(&failing_function))),
        0u);
    ASSERT_EQ(
        RexxRegisterFunctionExe("SilentFn", as_pfn(reinterpret_cast<void*>(&silent_function))), 0u);
    // The C library is there, its procedure is not; the module is not there at all.
    ASSERT_EQ(RexxRegisterFunctionDll("NoProcFn", "libc.so.6", "NoSuchProcedureInLibc"), 0u);
    ASSERT_EQ(RexxRegisterFunctionDll("NoModFn", "/nonexistent/ketra/nomodule", "Proc"), 0u);

    EXPECT_EQ(error_of("FailingFn(1)"), "40");
    EXPECT_EQ(error_of("SilentFn()"), "44");  // a function must return data
    EXPECT_EQ(error_of("NoProcFn()"), "96");
    EXPECT_EQ(error_of("NoModFn()"), "97");
    EXPECT_EQ(error_of("NoSuchFunctionAnywhereAtAll()"), "43");

    // CALL needs no result; the other failures are the same.
    std::string call =
        "signal on syntax name caught\ncall SilentFn\nreturn 'ok'\ncaught: return rc\n";
    EXPECT_EQ(run_program(call, nullptr).result, "ok");
    call.replace(call.find("SilentFn"), 8, "NoModFn");
    EXPECT_EQ(run_program(call, nullptr).result, "97");

    // Untrapped, the error ends the run.
    EXPECT_EQ(run_program("return NoProcFn()\n", nullptr).rc, -96);

    EXPECT_EQ(RexxDeregisterFunction("FailingFn"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("SilentFn"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("NoProcFn"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("NoModFn"), 0u);
}

// ---- host calls leave the lock and come back to the run ----------------------------------

// What each kind of host call saw on its first call: whether this thread still held the
// ApiLock, and whether another thread could run a whole program in the meantime.
struct Seen {
    int lock_depth = -1;
    bool other_thread_ran = false;
};
std::map<std::string, Seen> g_seen;
std::thread g_stuck;  // a helper that could not get the lock in time

// Runs a small program on another thread and waits for it (a few seconds at most: with the
// lock held it could not finish before we return).
bool other_thread_runs_a_program() {
    auto done = std::make_shared<std::promise<LONG>>();
    std::future<LONG> rc = done->get_future();
    std::thread helper([done] { done->set_value(run_program("return 1\n", nullptr, "CMD").rc); });
    if (rc.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        g_stuck = std::move(helper);
        return false;
    }
    helper.join();
    return rc.get() == 0;
}

void note(const std::string& what) {
    if (g_seen.count(what)) return;
    Seen& s = g_seen[what];
    s.lock_depth = platform::api_lock_depth();
    s.other_thread_ran = s.lock_depth == 0 && other_thread_runs_a_program();
}

std::string g_trace_lines;

LONG APIENTRY every_exit(LONG code, LONG sub, PEXIT block) {
    switch (code) {
        case RXSIO:
            if (sub == RXSIOSAY) {
                note("say");
                return RXEXIT_HANDLED;
            }
            if (sub == RXSIOTRD) {
                note("terminal read");
                put(&reinterpret_cast<RXSIOTRD_PARM*>(block)->rxsiotrd_retc, "typed");
                return RXEXIT_HANDLED;
            }
            if (sub == RXSIOTRC) {
                note("error line");
                const RXSTRING& line = reinterpret_cast<RXSIOTRC_PARM*>(block)->rxsio_string;
                g_trace_lines.append(line.strptr, line.strlength).append("\n");
                return RXEXIT_HANDLED;
            }
            return RXEXIT_NOT_HANDLED;
        case RXHLT:
            note("halt test");
            return RXEXIT_HANDLED;
        case RXINI:
            note("initialisation");
            return RXEXIT_HANDLED;
        case RXTER:
            note("termination");
            return RXEXIT_HANDLED;
        case RXFNC: {
            auto* p = reinterpret_cast<RXFNCCAL_PARM*>(block);
            if (std::string(reinterpret_cast<char*>(p->rxfnc_name), p->rxfnc_namel) != "VIAEXIT")
                return RXEXIT_NOT_HANDLED;
            note("function exit");
            put(&p->rxfnc_retc, "fx");
            return RXEXIT_HANDLED;
        }
        case RXCMD: {
            auto* p = reinterpret_cast<RXCMDHST_PARM*>(block);
            if (std::string(p->rxcmd_command.strptr, p->rxcmd_command.strlength) != "via exit")
                return RXEXIT_NOT_HANDLED;
            note("command exit");
            put(&p->rxcmd_retc, "7");
            return RXEXIT_HANDLED;
        }
        default:
            return RXEXIT_NOT_HANDLED;
    }
}

APIRET APIENTRY noting_function(PUCHAR, ULONG, PRXSTRING, PSZ, PRXSTRING result) {
    note("registered function");
    put(result, "rf");
    return 0;
}

APIRET APIENTRY noting_handler(PRXSTRING, PUSHORT flags, PRXSTRING result) {
    note("subcommand handler");
    *flags = RXSUBCOM_OK;
    put(result, "5");
    return 0;
}

TEST(HostCalls, LeaveTheLockAndComeBackToTheRun) {
    ASSERT_EQ(
        RexxRegisterExitExe("EveryExit", as_pfn(reinterpret_cast<void*>(&every_exit)), nullptr),
        0u);
    ASSERT_EQ(
        RexxRegisterFunctionExe("NotingFn", as_pfn(reinterpret_cast<void*>(&noting_function))), 0u);
    ASSERT_EQ(
        RexxRegisterSubcomExe("CALLENV", as_pfn(reinterpret_cast<void*>(&noting_handler)), nullptr),
        0u);
    char name[] = "EveryExit";
    RXSYSEXIT exits[] = {{name, RXSIO}, {name, RXHLT}, {name, RXINI},      {name, RXTER},
                         {name, RXFNC}, {name, RXCMD}, {nullptr, RXENDLST}};
    // Each clause after a host call uses the run's variables, so a run that did not get its
    // instance and activation back would not produce the result.
    RunOutcome r = run_program(
        "a = 1\n"
        "say 'hello'\n"
        "b = a + 1\n"
        "parse pull line\n"
        "c = b line\n"
        "d = NotingFn() ViaExit()\n"
        "'any command'\n"
        "e = rc\n"
        "'via exit'\n"
        "return c d e rc\n",
        exits);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "2 typed rf fx 5 7");

    // An error message of several lines: every line reaches the exit of the failing run.
    RunOutcome failed = run_program("x = 1\ny = x / 0\n", exits);
    EXPECT_EQ(failed.rc, -42);
    EXPECT_EQ(g_trace_lines,
              "     2 +++ y = x / 0\nError 42 on line 2 of calls.cmd: "
              "Arithmetic overflow/underflow\n");

    for (const char* what :
         {"say", "terminal read", "error line", "halt test", "initialisation", "termination",
          "function exit", "command exit", "registered function", "subcommand handler"}) {
        SCOPED_TRACE(what);
        ASSERT_EQ(g_seen.count(what), 1u);
        EXPECT_EQ(g_seen[what].lock_depth, 0);
        EXPECT_TRUE(g_seen[what].other_thread_ran);
    }
    if (g_stuck.joinable()) g_stuck.join();

    EXPECT_EQ(RexxDeregisterExit("EveryExit", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterFunction("NotingFn"), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("CALLENV", nullptr), 0u);
}

// ---- what the library does with the exits' answers ----------------------------------------

// Answers of the exit under test, by exit code; codes not listed are not handled.
std::map<LONG, LONG> g_answer;
std::string g_user_seen;
int g_halt_from = 0;  // the halt test (counted per run) from which the exit asks for a halt
int g_halt_tests = 0;

LONG APIENTRY answering_exit(LONG code, LONG sub, PEXIT block) {
    auto it = g_answer.find(code);
    if (it == g_answer.end()) {
        // Error messages of the runs are expected; they need not reach the test's output.
        return code == RXSIO && sub == RXSIOTRC ? RXEXIT_HANDLED : RXEXIT_NOT_HANDLED;
    }
    if ((code == RXINI || code == RXTER) && block)
        g_user_seen += std::string(reinterpret_cast<char*>(block), 8) + "/";
    if (code == RXHLT && g_halt_from > 0 && ++g_halt_tests >= g_halt_from)
        reinterpret_cast<RXHLTTST_PARM*>(block)->rxhlt_flags.rxfhhalt = 1;
    if (code == RXSIO && sub == RXSIOTRD && it->second == RXEXIT_HANDLED)
        put(&reinterpret_cast<RXSIOTRD_PARM*>(block)->rxsiotrd_retc, "line");
    return it->second;
}

LONG run_with_answers(std::map<LONG, LONG> answers, const char* source,
                      std::string* result = nullptr) {
    g_answer = std::move(answers);
    g_halt_tests = 0;
    char name[] = "AnsweringExit";
    RXSYSEXIT exits[] = {{name, RXSIO}, {name, RXHLT}, {name, RXINI},      {name, RXTER},
                         {name, RXFNC}, {name, RXCMD}, {nullptr, RXENDLST}};
    RunOutcome r = run_program(source, exits, "CMD");
    if (result) *result = r.result;
    return r.rc;
}

TEST(ExitAnswers, ErrorsAndHaltsTheExitsAskFor) {
    unsigned char user[8] = {'u', 's', 'e', 'r', 'a', 'r', 'e', 'a'};
    ASSERT_EQ(RexxRegisterExitExe("AnsweringExit", as_pfn(reinterpret_cast<void*>(&answering_exit)),
                                  user),
              0u);
    std::string result;
    // RXINI and RXTER get the registration's user area; the end of the run ignores RXTER's
    // answer, even -1.
    EXPECT_EQ(run_with_answers({{RXINI, 0}, {RXTER, -1}}, "return 'done'\n", &result), 0);
    EXPECT_EQ(result, "done");
    EXPECT_EQ(g_user_seen, "userarea/userarea/");
    EXPECT_EQ(run_with_answers({{RXINI, -1}}, "return 'done'\n"), -48);

    // The halt test: -1 is error 48, a returned flag raises the halt.
    const char* loop = "do i = 1 to 50\nend\nreturn 'done'\n";
    EXPECT_EQ(run_with_answers({{RXHLT, -1}}, loop), -48);
    // Not at once: the halt checks of the translation poll as well, and SIGNAL ON HALT must
    // have run before the halt comes.
    g_halt_from = 5;
    EXPECT_EQ(run_with_answers({{RXHLT, 0}}, loop), -4);
    EXPECT_EQ(run_with_answers({{RXHLT, 0}},
                               "signal on halt\ndo forever\nend\nhalt: return 'halted'\n", &result),
              0);
    EXPECT_EQ(result, "halted");
    g_halt_from = 0;
    EXPECT_EQ(run_with_answers({{RXHLT, 0}}, loop, &result), 0);

    // SAY: 65535 is error 48. A terminal read: -1 is error 48.
    EXPECT_EQ(run_with_answers({{RXSIO, 65535}}, "say 'x'\nreturn 'done'\n"), -48);
    EXPECT_EQ(run_with_answers({{RXSIO, -1}}, "parse pull x\nreturn 'done'\n"), -48);
    EXPECT_EQ(run_with_answers({{RXSIO, 0}}, "parse pull x\nreturn x\n", &result), 0);
    EXPECT_EQ(result, "line");

    // The function and command exits: -1 is error 48.
    EXPECT_EQ(run_with_answers({{RXFNC, -1}}, "return f()\n"), -48);
    EXPECT_EQ(run_with_answers({{RXCMD, -1}}, "'anything'\nreturn 'done'\n"), -48);

    EXPECT_EQ(RexxDeregisterExit("AnsweringExit", nullptr), 0u);
}

}  // namespace
}  // namespace ketra
