// Two host threads running programs at the same time through RexxStart, each with its own EXE
// registrations (external function, subcommand handler, exits) under the same names, while a
// third thread keeps asking for halts: every run must end either with its result or by the halt,
// and each thread's program must only ever reach that thread's handlers. Then one thread's
// error and halt while another thread is in the middle of writing its own error message.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <mutex>
#include <string>
#include <thread>

#include "platform/lock.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

constexpr char kFunction[] = "ThrFn";
constexpr char kEnvironment[] = "THRENV";
constexpr char kExit[] = "ThrExit";

// What the handlers of one host thread saw. Counters are atomic so that a handler wrongly
// called on the other thread is reported instead of racing.
struct HostSide {
    std::thread::id owner;
    std::atomic<int> wrong_thread{0};  // a handler ran on a thread other than its registrar
    std::atomic<int> lock_held{0};     // a handler ran with the ApiLock held
    std::atomic<int> foreign_say{0};   // a SAY line of the other thread's program
    std::atomic<int> says{0};
    std::atomic<int> halt_messages{0};  // "Error 4" lines through the trace subfunction
    std::atomic<int> ini{0};
    std::atomic<int> ter{0};
    std::atomic<int> halt_tests{0};
};
HostSide g_side[2];

template <int K>
void check_context() {
    HostSide& s = g_side[K];
    if (std::this_thread::get_id() != s.owner) ++s.wrong_thread;
    if (platform::api_lock_depth() != 0) ++s.lock_held;
}

void put_result(PRXSTRING result, const std::string& text) {
    std::memcpy(result->strptr, text.data(), text.size());
    result->strlength = static_cast<ULONG>(text.size());
}

bool starts_with(const char* p, std::size_t n, const char* prefix) {
    std::size_t m = std::strlen(prefix);
    return n >= m && std::memcmp(p, prefix, m) == 0;
}

// ThrFn(i): i times (K + 1).
template <int K>
APIRET APIENTRY thread_function(PUCHAR, ULONG argc, PRXSTRING argv, PSZ, PRXSTRING result) {
    check_context<K>();
    if (argc != 1 || !RXVALIDSTRING(argv[0])) return 40;
    long i = std::strtol(std::string(argv[0].strptr, argv[0].strlength).c_str(), nullptr, 10);
    put_result(result, std::to_string(i * (K + 1)));
    return 0;
}

// Every command to THRENV gives RC 100 + K.
template <int K>
APIRET APIENTRY thread_subcom(PRXSTRING, PUSHORT flags, PRXSTRING result) {
    check_context<K>();
    *flags = RXSUBCOM_OK;
    put_result(result, std::to_string(100 + K));
    return 0;
}

// One handler for every exit code: captures SAY and error lines, counts RXINI, RXTER and
// RXHLT, serves the function EXITFN (RXFNC) and the command "exitcmd" (RXCMD).
template <int K>
LONG APIENTRY thread_exit(LONG code, LONG sub, PEXIT block) {
    check_context<K>();
    HostSide& s = g_side[K];
    std::string tag = "T" + std::to_string(K);
    switch (code) {
        case RXSIO: {
            if (sub == RXSIOSAY) {
                auto* p = reinterpret_cast<RXSIOSAY_PARM*>(block);
                ++s.says;
                if (!starts_with(p->rxsio_string.strptr, p->rxsio_string.strlength, tag.c_str()))
                    ++s.foreign_say;
                return RXEXIT_HANDLED;
            }
            if (sub == RXSIOTRC) {
                auto* p = reinterpret_cast<RXSIOTRC_PARM*>(block);
                if (starts_with(p->rxsio_string.strptr, p->rxsio_string.strlength, "Error 4 "))
                    ++s.halt_messages;
                return RXEXIT_HANDLED;
            }
            return RXEXIT_NOT_HANDLED;
        }
        case RXINI:
            ++s.ini;
            return RXEXIT_HANDLED;
        case RXTER:
            ++s.ter;
            return RXEXIT_HANDLED;
        case RXHLT:
            ++s.halt_tests;
            return RXEXIT_HANDLED;
        case RXFNC: {
            auto* p = reinterpret_cast<RXFNCCAL_PARM*>(block);
            if (std::string(reinterpret_cast<char*>(p->rxfnc_name), p->rxfnc_namel) != "EXITFN")
                return RXEXIT_NOT_HANDLED;
            put_result(&p->rxfnc_retc, "f" + std::to_string(K));
            return RXEXIT_HANDLED;
        }
        case RXCMD: {
            auto* p = reinterpret_cast<RXCMDHST_PARM*>(block);
            if (!starts_with(p->rxcmd_command.strptr, p->rxcmd_command.strlength, "exitcmd"))
                return RXEXIT_NOT_HANDLED;
            put_result(&p->rxcmd_retc, std::to_string(200 + K));
            return RXEXIT_HANDLED;
        }
        default:
            return RXEXIT_NOT_HANDLED;
    }
}

// Thread 1 traps the halt and returns from its handler; thread 0 lets it end the run.
constexpr char kBody[] =
    "parse arg tag\n"
    "n = 0\n"
    "do i = 1 to 100\n"
    "  n = n + ThrFn(i)\n"
    "end\n"
    "'sub'\n"
    "a = rc\n"
    "'exitcmd'\n"
    "b = rc\n"
    "say tag n a b\n"
    "return tag n a b ExitFn()\n";
const std::string kPrograms[2] = {
    kBody, std::string("signal on halt\n") + kBody + "halt: return tag 'halted'\n"};

struct Outcome {
    int runs = 0;
    int completed = 0;
    int halted = 0;     // ended by the HALT error
    int trapped = 0;    // ended through the SIGNAL ON HALT handler
    std::string wrong;  // the first run that ended otherwise
};

template <int K>
void host_thread(std::latch& registered, std::latch& finished, Outcome& out) {
    g_side[K].owner = std::this_thread::get_id();
    // No ASSERT before the latches: the other thread would wait for ever.
    EXPECT_EQ(RexxRegisterFunctionExe(kFunction, reinterpret_cast<PFN>(&thread_function<K>)), 0u);
    EXPECT_EQ(
        RexxRegisterSubcomExe(kEnvironment, reinterpret_cast<PFN>(&thread_subcom<K>), nullptr), 0u);
    EXPECT_EQ(RexxRegisterExitExe(kExit, reinterpret_cast<PFN>(&thread_exit<K>), nullptr), 0u);
    registered.arrive_and_wait();

    RXSYSEXIT exits[] = {{const_cast<char*>(kExit), RXSIO},
                         {const_cast<char*>(kExit), RXINI},
                         {const_cast<char*>(kExit), RXTER},
                         {const_cast<char*>(kExit), RXHLT},
                         {const_cast<char*>(kExit), RXFNC},
                         {const_cast<char*>(kExit), RXCMD},
                         {nullptr, RXENDLST}};
    std::string tag = "T" + std::to_string(K);
    std::string expected = tag + " " + std::to_string(5050 * (K + 1)) + " " +
                           std::to_string(100 + K) + " " + std::to_string(200 + K) + " f" +
                           std::to_string(K);
    std::string trapped = tag + " halted";
    const std::string& source = kPrograms[K];

    // Enough runs to see both endings, within a bound in case halts never (or always) land.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.runs < 200 || ((out.completed == 0 || (K == 0 ? out.halted : out.trapped) == 0) &&
                              std::chrono::steady_clock::now() < deadline)) {
        RXSTRING arg{static_cast<ULONG>(tag.size()), tag.data()};
        RXSTRING instore[2] = {
            {static_cast<ULONG>(source.size()), const_cast<char*>(source.data())}, {0, nullptr}};
        RXSTRING result{0, nullptr};
        SHORT retc = -1;
        int ini_before = g_side[K].ini.load(), ter_before = g_side[K].ter.load();
        LONG rc = RexxStart(1, &arg, "threads.cmd", instore, kEnvironment, RXCOMMAND, exits, &retc,
                            &result);
        std::string got = result.strptr ? std::string(result.strptr, result.strlength) : "(none)";
        if (result.strptr) RexxFreeMemory(result.strptr);
        if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
        int ini = g_side[K].ini.load() - ini_before, ter = g_side[K].ter.load() - ter_before;
        ++out.runs;
        // RXINI and RXTER come in a pair, once per run; a halt that lands while the program is
        // translated ends the run before either.
        bool exits_paired = ini == ter && (ini == 1 || (ini == 0 && rc == -4));
        if (exits_paired && rc == 0 && got == expected) {
            ++out.completed;
        } else if (exits_paired && rc == 0 && got == trapped) {
            ++out.trapped;
        } else if (exits_paired && rc == -4 && got == "(none)") {
            // Thread 1 too, when the halt comes before SIGNAL ON HALT has run.
            ++out.halted;
        } else if (out.wrong.empty()) {
            out.wrong = "rc " + std::to_string(rc) + ", result " + got + ", RXINI " +
                        std::to_string(ini) + ", RXTER " + std::to_string(ter);
        }
    }
    finished.arrive_and_wait();

    EXPECT_EQ(RexxDeregisterFunction(kFunction), 0u);
    EXPECT_EQ(RexxDeregisterSubcom(kEnvironment, nullptr), 0u);
    EXPECT_EQ(RexxDeregisterExit(kExit, nullptr), 0u);
}

void drain_pending_halt();

TEST(Threads, TwoHostsWithOwnRegistrationsUnderHaltRequests) {
    std::latch registered(2), finished(2);
    std::atomic<bool> done{false};
    std::atomic<int> requests{0};
    Outcome outcome[2];

    std::thread halter([&] {
        while (!done.load()) {
            EXPECT_EQ(RexxSetHalt(0, 0), 0u);
            ++requests;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::thread t0([&] { host_thread<0>(registered, finished, outcome[0]); });
    std::thread t1([&] { host_thread<1>(registered, finished, outcome[1]); });
    t0.join();
    t1.join();
    done = true;
    halter.join();
    drain_pending_halt();

    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE("host thread " + std::to_string(k));
        const Outcome& o = outcome[k];
        const HostSide& s = g_side[k];
        EXPECT_EQ(o.wrong, "");
        EXPECT_EQ(o.completed + o.halted + o.trapped, o.runs);
        EXPECT_GT(o.completed, 0);
        EXPECT_GT(k == 0 ? o.halted : o.trapped, 0) << requests.load() << " halt requests";
        // Only a run that the halt ends writes the error, through its own thread's exit.
        EXPECT_EQ(s.halt_messages.load(), o.halted);
        EXPECT_EQ(s.wrong_thread.load(), 0);
        EXPECT_EQ(s.lock_held.load(), 0);
        EXPECT_EQ(s.foreign_say.load(), 0);
        EXPECT_GE(s.says.load(), o.completed);
        EXPECT_GT(s.halt_tests.load(), 0);
    }
    EXPECT_EQ(outcome[0].trapped, 0);
}

// The first error line of thread 0's run parks its exit until thread 1 has run programs that end
// in an error and by a halt: the message thread 0 is writing must not make thread 1's errors
// look like an error inside the error handler, nor swallow thread 1's halt.
std::mutex g_park_mutex;
std::condition_variable g_park_cv;
bool g_parked = false;
bool g_released = false;
std::string g_lines[2];

template <int K>
LONG APIENTRY parking_exit(LONG code, LONG sub, PEXIT block) {
    if (code != RXSIO || (sub != RXSIOSAY && sub != RXSIOTRC)) return RXEXIT_NOT_HANDLED;
    const RXSTRING& line = reinterpret_cast<RXSIOTRC_PARM*>(block)->rxsio_string;
    g_lines[K].append(line.strptr, line.strlength).append("\n");
    if (K == 0 && sub == RXSIOTRC) {
        std::unique_lock<std::mutex> lock(g_park_mutex);
        if (!g_parked) {
            g_parked = true;
            g_park_cv.notify_all();
            g_park_cv.wait_for(lock, std::chrono::seconds(10), [] { return g_released; });
        }
    }
    return RXEXIT_HANDLED;
}

template <int K>
LONG run_with_parking_exit(const char* source, std::string* result_out) {
    char name[] = "ParkExit";
    EXPECT_EQ(RexxRegisterExitExe(name, reinterpret_cast<PFN>(&parking_exit<K>), nullptr), 0u);
    RXSYSEXIT exits[] = {{name, RXSIO}, {nullptr, RXENDLST}};
    RXSTRING instore[2] = {{static_cast<ULONG>(std::strlen(source)), const_cast<char*>(source)},
                           {0, nullptr}};
    RXSTRING result{0, nullptr};
    SHORT retc = 0;
    LONG rc = RexxStart(0, nullptr, "park.cmd", instore, "CMD", RXCOMMAND, exits, &retc, &result);
    *result_out = result.strptr ? std::string(result.strptr, result.strlength) : "(none)";
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    EXPECT_EQ(RexxDeregisterExit(name, nullptr), 0u);
    return rc;
}

// A halt request that no run took yet stays pending for the next run; one short run takes it.
void drain_pending_halt() {
    std::string result;
    run_with_parking_exit<1>("do 9\nend\n", &result);
    g_lines[1].clear();
}

TEST(Threads, ErrorsAndHaltsWhileAnotherThreadWritesAnErrorMessage) {
    drain_pending_halt();
    std::string result0, result1a, result1b;
    LONG rc0 = 0, rc1a = 0, rc1b = 0;
    std::thread t0([&] { rc0 = run_with_parking_exit<0>("say 'zero'\nsay 1 / 0\n", &result0); });
    {
        std::unique_lock<std::mutex> lock(g_park_mutex);
        ASSERT_TRUE(g_park_cv.wait_for(lock, std::chrono::seconds(10), [] { return g_parked; }));
    }
    std::thread t1([&] {
        rc1a = run_with_parking_exit<1>("say 'one'\nx = 1 / 0\nreturn 'no error'\n", &result1a);
        EXPECT_EQ(RexxSetHalt(0, 0), 0u);
        rc1b =
            run_with_parking_exit<1>("do i = 1 to 100000\nend\nreturn 'not halted'\n", &result1b);
    });
    t1.join();
    {
        std::lock_guard<std::mutex> lock(g_park_mutex);
        g_released = true;
    }
    g_park_cv.notify_all();
    t0.join();

    EXPECT_EQ(rc1a, -42) << result1a;
    EXPECT_EQ(rc1b, -4) << result1b;
    EXPECT_NE(g_lines[1].find("Error 42 on line 2 of park.cmd"), std::string::npos) << g_lines[1];
    EXPECT_NE(g_lines[1].find("Error 4 "), std::string::npos) << g_lines[1];
    EXPECT_EQ(rc0, -42);
    EXPECT_EQ(g_lines[0].find("one"), std::string::npos) << g_lines[0];
    EXPECT_NE(g_lines[0].find("Error 42 on line 2 of park.cmd"), std::string::npos) << g_lines[0];
}

}  // namespace
}  // namespace ketra
