// The option reader's rules for string, DWORD and other values; halt checks and their polling
// rate; the result conventions of RexxStart.
#include <gtest/gtest.h>

#include <cstring>

#include "host_test_support.h"
#include "platform/lock.h"
#include "rexx/host/halt.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/options.h"
#include "rexx/host/run_values.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

class OptionReaderTest : public ::testing::Test {
  protected:
    void SetUp() override { clear_options(); }
    void TearDown() override {
        clear_options();
        platform::delete_key(platform::Hive::CurrentUser, "Software\\Corvane\\Rexx\\Other");
    }
};

TEST_F(OptionReaderTest, MissingKeyOrValueGivesTheDefault) {
    EXPECT_EQ(read_option("", "TRACE_ON", 1), 1u);
    set_option("Other", 5);
    EXPECT_EQ(read_option("", "TRACE_ON", 7), 7u);
    EXPECT_EQ(read_option("ExecOptions", "Other", 0), 5u);
}

TEST_F(OptionReaderTest, StringValues) {
    set_option_string("A", "0");
    set_option_string("B", "1");
    set_option_string("C", "42abc");
    set_option_string("D", "abc");
    set_option_string("E", "");
    set_option_string("F", " 7");
    EXPECT_EQ(read_option("", "A", 9), 0u);
    EXPECT_EQ(read_option("", "B", 9), 1u);
    EXPECT_EQ(read_option("", "C", 9), 42u);
    EXPECT_EQ(read_option("", "D", 9), 0u);
    EXPECT_EQ(read_option("", "E", 9), 0u);
    EXPECT_EQ(read_option("", "F", 9), 0u);  // no leading number
    // Names are found without regard to case, as the registry compares them.
    EXPECT_EQ(read_option("", "c", 9), 42u);
}

TEST_F(OptionReaderTest, DwordAndOtherTypes) {
    set_option("N", 0xFFFFFFFFu);
    EXPECT_EQ(read_option("", "N", 0), 0xFFFFFFFFu);
    ASSERT_TRUE(platform::set_binary(platform::Hive::CurrentUser, kExecOptions, "Bin", "\x01\x02"));
    EXPECT_EQ(read_option("", "Bin", 3), 3u);
}

TEST_F(OptionReaderTest, OtherSections) {
    ASSERT_TRUE(platform::set_dword(platform::Hive::CurrentUser, "Software\\Corvane\\Rexx\\Other",
                                    "X", 12));
    EXPECT_EQ(read_option("Other", "X", 0), 12u);
    EXPECT_EQ(read_option("", "X", 0), 0u);
}

TEST_F(OptionReaderTest, RunOptionsTakeEveryValueFromOneReading) {
    RunOptions d = read_run_options();
    EXPECT_EQ(d.trace_on, 1u);
    EXPECT_EQ(d.halt_check_percent, 25u);
    EXPECT_EQ(d.object_code + d.dev_debug + d.image16 + d.bounds_messages + d.no_arg_prompts, 0u);
    set_option("TRACE_ON", 0);
    set_option_string("BoundsMessages", "1");
    RunOptions o = read_run_options();
    EXPECT_EQ(o.trace_on, 0u);
    EXPECT_EQ(o.bounds_messages, 1u);
}

// Counts how many of `checks` halt checks report a halt while a halt request is re-armed
// before each one.
int halts_seen(ExecInstance& inst, int checks) {
    platform::ApiLockGuard lock;
    int n = 0;
    for (int i = 0; i < checks; ++i) {
        g_lib.halt_pending = true;
        if (halt_check(&inst)) ++n;
    }
    g_lib.halt_pending = false;
    return n;
}

TEST(HaltCheck, PollRateFollowsTheReload) {
    ScopedRun run;
    ExecInstance& inst = run.instance();
    inst.halt_reload = inst.halt_countdown = 100 / 25;
    EXPECT_EQ(halts_seen(inst, 12), 3);  // every fourth check polls
    inst.halt_reload = inst.halt_countdown = 100 / 100;
    EXPECT_EQ(halts_seen(inst, 5), 5);
    inst.halt_reload = inst.halt_countdown = 0;  // above 100 percent
    EXPECT_EQ(halts_seen(inst, 3), 3);
}

TEST(HaltCheck, PendingHaltWaitsForThePollAndChecksOffClearTheFlag) {
    ScopedRun run;
    ExecInstance& inst = run.instance();
    inst.halt_reload = inst.halt_countdown = 3;
    platform::ApiLockGuard lock;
    EXPECT_EQ(RexxSetHalt(0, 0), 0u);
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_TRUE(halt_check(&inst));  // the poll takes the pending request
    EXPECT_FALSE(g_lib.halt_pending);
    EXPECT_FALSE(halt_check(&inst));

    // A break that the console reported survives the checks that do not poll.
    g_lib.halt_raised = true;
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_TRUE(halt_check(&inst));
    EXPECT_FALSE(g_lib.halt_raised);

    inst.run_flags |= kRunHaltChecksOff;
    g_lib.halt_raised = true;
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_FALSE(g_lib.halt_raised);
}

TEST(HaltCheck, PollsThatFindNothingStillSeeABreakAtTheNextPoll) {
    ScopedRun run;
    ExecInstance& inst = run.instance();
    inst.halt_reload = inst.halt_countdown = 2;
    platform::ApiLockGuard lock;
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(halt_check(&inst));
    request_interrupt();  // what SIGINT does
    // The next check does not poll; the one after it does, and takes the break.
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_TRUE(halt_check(&inst));
    EXPECT_FALSE(halt_check(&inst));
    EXPECT_FALSE(halt_check(&inst));  // the break was taken once
}

// What the interpreter's clause boundary does: the countdown decremented inline, an attention
// request taken back, and the check made when the countdown ran out. True when a halt is due.
bool boundary(ExecInstance& inst) {
    if (--inst.halt_countdown >= 1) return false;
    take_clause_attention(&inst);
    return inst.halt_countdown < 1 && halt_countdown_expired(&inst);
}

TEST(HaltCheck, AttentionRequestsLeaveThePollRateAlone) {
    ScopedRun run;
    ExecInstance& inst = run.instance();
    inst.halt_reload = inst.halt_countdown = 4;
    platform::ApiLockGuard lock;
    g_lib.halt_pending = true;
    int halts = 0;
    for (int i = 1; i <= 12; ++i) {
        // Requests at every other boundary, twice over at some: each is one request.
        if (i % 2) request_clause_attention(&inst);
        if (i % 3 == 0) request_clause_attention(&inst);
        if (boundary(inst)) {
            ++halts;
            EXPECT_EQ(i % 4, 0) << i;
            g_lib.halt_pending = true;
        }
        EXPECT_GT(inst.halt_countdown, -kClauseAttention / 2) << i;
    }
    g_lib.halt_pending = false;
    EXPECT_EQ(halts, 3);
}

LONG APIENTRY halt_exit(LONG fn, LONG sub, PEXIT parm) {
    EXPECT_EQ(fn, RXHLT);
    EXPECT_EQ(sub, RXHLTTST);
    reinterpret_cast<RXHLTTST_PARM*>(parm)->rxhlt_flags.rxfhhalt = 1;
    return RXEXIT_HANDLED;
}

LONG APIENTRY failing_halt_exit(LONG, LONG, PEXIT) {
    return -1;
}

TEST(HaltCheck, TheHaltExitIsAskedAtEveryPoll) {
    ScopedRun run;
    ExecInstance& inst = run.instance();
    inst.halt_reload = inst.halt_countdown = 1;
    inst.exits[RXHLT].handler = &halt_exit;
    platform::ApiLockGuard lock;
    EXPECT_TRUE(halt_check(&inst));
    inst.exits[RXHLT].handler = &failing_halt_exit;
    EXPECT_REXX_ERROR(halt_check(&inst), 48);
    EXPECT_EQ(g_lib.current, &inst);
}

// Delivers `text` as a program result.
struct Delivered {
    SHORT retc = -1;
    std::string result;
    bool absent = true;
};

Delivered deliver(const char* text) {
    ScopedRun run;
    RunFrame frame{};
    Value v = make_value(text, std::strlen(text), true);
    frame.result = &v;
    run.instance().frame = &frame;
    Delivered d;
    d.retc = 0;
    RXSTRING r{0, nullptr};
    deliver_result(&run.instance(), &d.retc, &r);
    if (r.strptr) {
        d.absent = false;
        d.result.assign(r.strptr, r.strlength);
        RexxFreeMemory(r.strptr);
    }
    release(v);
    return d;
}

TEST(ResultConventions, WholeNumbersInRangeBecomeTheReturnCode) {
    Delivered a = deliver("123");
    EXPECT_EQ(a.retc, 123);
    EXPECT_EQ(a.result, "123");
    EXPECT_EQ(deliver("-32768").retc, -32768);
    EXPECT_EQ(deliver("32767").retc, 32767);
    EXPECT_EQ(deliver("1.0E2").retc, 100);
    Delivered big = deliver("40000");
    EXPECT_EQ(big.retc, 0);
    EXPECT_EQ(big.result, "40000");
    Delivered word = deliver("hello there");
    EXPECT_EQ(word.retc, 0);
    EXPECT_EQ(word.result, "hello there");
    EXPECT_EQ(deliver("1.5").retc, 0);
    Delivered empty = deliver("");
    EXPECT_FALSE(empty.absent);  // an empty result is still a result
    EXPECT_EQ(empty.result, "");
}

}  // namespace
}  // namespace ketra::test
