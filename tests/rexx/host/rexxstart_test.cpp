// RexxStart, Rexx and RexxThread: return codes, the task table, the leading "/" arguments,
// options from the registry, nested runs and the macro-space functions.
#include <gtest/gtest.h>

#include <thread>

#include "host_test_support.h"
#include "platform/lock.h"
#include "rexx/host/session.h"
#include "rexx/host/testing_hooks.h"
#include "rexxsaa.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

class RexxStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensure_library_started();
        clear_options();
    }
    void TearDown() override {
        clear_options();
        testing::fail_allocations_after(-1);
    }
};

TEST_F(RexxStartTest, EmptyOrNullNameReturns2650AndLeavesAnIdleTaskEntry) {
    SHORT retc = -1;
    RXSTRING result;
    MAKERXSTRING(result, reinterpret_cast<char*>(1), 7);
    EXPECT_EQ(RexxStart(0, nullptr, "", nullptr, nullptr, RXCOMMAND, nullptr, &retc, &result),
              2650);
    EXPECT_EQ(retc, 0);
    EXPECT_EQ(result.strptr, nullptr);
    EXPECT_EQ(result.strlength, 0u);
    EXPECT_EQ(RexxStart(0, nullptr, nullptr, nullptr, nullptr, RXCOMMAND, nullptr, &retc, &result),
              2650);
    platform::ApiLockGuard lock;
    TaskEntry* e = find_task(current_thread_id());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->active, 0u);
    EXPECT_EQ(e->thread_id, current_thread_id());
}

TEST_F(RexxStartTest, RunFrameAllocationFailureReturnsMinus5) {
    // Once the thread has its task entry, the run frame is the first block a run takes from the
    // library's allocator.
    ASSERT_EQ(run_in_store("nop", {}), 0);
    testing::fail_allocations_after(0);
    EXPECT_EQ(run_in_store("nop", {}), -5);
    testing::fail_allocations_after(-1);
    EXPECT_EQ(run_in_store("nop", {}), 0);
}

TEST_F(RexxStartTest, TaskEntryFailureReturnsMinus26WithTheTpx601Message) {
    // A fresh thread has no entry yet, so its first call must create one.
    LONG rc = 0;
    ::testing::internal::CaptureStderr();
    std::thread t([&] {
        testing::fail_allocations_after(0);
        rc = run_in_store("nop", {});
        testing::fail_allocations_after(-1);
    });
    t.join();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, -26);
    EXPECT_NE(err.find("Corvane REXX: TPX601: RexxStart() Unable to Create Task Table Entry for "
                       "current task."),
              std::string::npos)
        << err;
}

TEST_F(RexxStartTest, RexxOnAThreadThatAlreadyRunsAProgramReturnsMinus27) {
    {
        platform::ApiLockGuard lock;
        find_or_create_task(current_thread_id())->active = 1;
    }
    EXPECT_EQ(Rexx("test.cmd", "", "CMD", nullptr, nullptr, 0), -27);
    platform::ApiLockGuard lock;
    find_task(current_thread_id())->active = 0;
}

TEST_F(RexxStartTest, TraceArgumentSetsTheInitialTraceAndIsRemoved) {
    RunRecorder rec;
    EXPECT_EQ(run_in_store("nop", {"/TRI", "x"}), 0);
    EXPECT_EQ(rec.seen().calls, 1);
    EXPECT_EQ(rec.seen().trace[0], 'I');
    EXPECT_EQ(rec.seen().trace[1], '\0');
    EXPECT_EQ(rec.seen().args, std::vector<std::string>{"x"});

    run_in_store("nop", {"/TR?R"});
    EXPECT_EQ(rec.seen().trace[0], '?');
    EXPECT_EQ(rec.seen().trace[1], 'R');
    EXPECT_TRUE(rec.seen().args.empty());

    // A blank fourth character leaves the trace letter unset but the argument is still taken.
    run_in_store("nop", {"/TR R"});
    EXPECT_EQ(rec.seen().trace[0], '\0');
    EXPECT_EQ(rec.seen().trace[1], 'R');
    EXPECT_TRUE(rec.seen().args.empty());
}

TEST_F(RexxStartTest, TranslateOnlyAndNoPromptArguments) {
    RunRecorder rec;
    run_in_store("nop", {"/T"});
    EXPECT_TRUE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_TRUE(rec.seen().args.empty());
    run_in_store("nop", {"/O", "a"});
    EXPECT_TRUE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_EQ(rec.seen().args, std::vector<std::string>{"a"});
    run_in_store("nop", {"/NARGS"});
    EXPECT_FALSE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_TRUE(rec.seen().option_flags & kOptNoArgPrompt);
    EXPECT_TRUE(rec.seen().args.empty());
    // Other "/" arguments, and "/" alone, reach the program.
    run_in_store("nop", {"/X"});
    EXPECT_EQ(rec.seen().args, std::vector<std::string>{"/X"});
    EXPECT_FALSE(rec.seen().option_flags & kOptNoArgPrompt);
    run_in_store("nop", {"/"});
    EXPECT_EQ(rec.seen().args, std::vector<std::string>{"/"});
    // A trace request and a translate request may come one after the other.
    run_in_store("nop", {"/TRA", "/O", "b"});
    EXPECT_EQ(rec.seen().trace[0], 'A');
    EXPECT_TRUE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_EQ(rec.seen().args, std::vector<std::string>{"b"});
}

TEST_F(RexxStartTest, WithTracingOffATraceArgumentMeansTranslateOnly) {
    set_option("TRACE_ON", 0);
    RunRecorder rec;
    run_in_store("nop", {"/TRI"});
    EXPECT_EQ(rec.seen().trace[0], '\0');
    EXPECT_FALSE(rec.seen().mode & kModeTracePermitted);
    EXPECT_TRUE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_TRUE(rec.seen().args.empty());
}

TEST_F(RexxStartTest, OptionsAreReadAtEveryRun) {
    RunRecorder rec;
    run_in_store("nop", {});
    EXPECT_EQ(rec.seen().mode, kModeInitial | kModeTracePermitted);
    EXPECT_EQ(rec.seen().halt_reload, 4);
    EXPECT_EQ(rec.seen().debug_flags, 0);
    EXPECT_FALSE(rec.seen().option_flags & kOptNoArgPrompt);

    set_option("OBJECT_CODE", 1);
    set_option_string("DEV_DEBUG", "1");
    set_option("16BitRxObject", 1);
    set_option_string("HaltCheckPercent", "100");
    set_option("NoArgPrompts", 1);
    run_in_store("nop", {});
    EXPECT_TRUE(rec.seen().mode & kModeTranslateOnly);
    EXPECT_EQ(rec.seen().debug_flags, kDebugDeveloper | kDebugImage16);
    EXPECT_EQ(rec.seen().halt_reload, 1);
    EXPECT_TRUE(rec.seen().option_flags & kOptNoArgPrompt);

    // Out-of-range percentages fall back to the default; above 100 every check polls.
    set_option("HaltCheckPercent", 0);
    run_in_store("nop", {});
    EXPECT_EQ(rec.seen().halt_reload, 4);
    set_option("HaltCheckPercent", 250);
    run_in_store("nop", {});
    EXPECT_EQ(rec.seen().halt_reload, 0);

    clear_options();
    set_option("NoAutoArgPrompt", 1);
    run_in_store("nop", {});
    EXPECT_TRUE(rec.seen().option_flags & kOptNoArgPrompt);
}

TEST_F(RexxStartTest, EnvironmentComesFromTheCallerOrTheProgramExtension) {
    RunRecorder rec;
    run_in_store("nop", {}, "prog.cmd", "EDIT");
    EXPECT_EQ(rec.seen().environment, "EDIT");
    run_in_store("nop", {}, "dir.x/prog.cmd");
    EXPECT_EQ(rec.seen().environment, "cmd");
    run_in_store("nop", {}, "dir.x/prog");
    EXPECT_EQ(rec.seen().environment, "REX");
    run_in_store("nop", {}, "prog.");
    EXPECT_EQ(rec.seen().environment, "REX");
    run_in_store("nop", {}, "C:prog");
    EXPECT_EQ(rec.seen().environment, "REX");
    std::string longname(251, 'E');
    EXPECT_EQ(run_in_store("nop", {}, "p.cmd", longname.c_str()), -29);
    EXPECT_EQ(run_in_store("nop", {}, "p.cmd", longname.substr(1).c_str()), 0);
}

TEST_F(RexxStartTest, InStoreSourceEndsAtTheFirstCtrlZ) {
    RunRecorder rec;
    std::string src = "say 1\n";
    src += '\x1a';
    src += "garbage";
    EXPECT_EQ(run_in_store(src, {}), 0);
    EXPECT_EQ(rec.seen().source, "say 1\n");
    EXPECT_EQ(rec.seen().name, "test.cmd");
}

TEST_F(RexxStartTest, BoundsMessagesFrameTheRun) {
    set_option("BoundsMessages", 1);
    ::testing::internal::CaptureStdout();
    run_in_store("nop", {}, "bounds.cmd");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "\nTPX600: bounds.cmd beginning execution.\nTPX699: bounds.cmd execution ended.\n");
}

// A host callback that starts a nested run while a program runs.
struct Nested {
    int depth = 0;
    LONG inner_rc = -1;
    bool inner_had_parent = false;
    std::uint32_t inner_flags = 0;
    char inner_trace = 0;
    ExecInstance* outer = nullptr;
    bool outer_child_during = false;
    bool outer_current_after = false;
};

void nested_observer(ExecInstance* inst, void* context) {
    auto* n = static_cast<Nested*>(context);
    if (n->depth++ == 0) {
        n->outer = inst;
        n->inner_rc = run_in_store("nop", {}, "inner.cmd");
        n->outer_current_after = g_lib.current == inst && inst->child == nullptr;
    } else {
        n->inner_had_parent = inst->parent == n->outer;
        n->outer_child_during = n->outer->child == inst;
        n->inner_flags = inst->option_flags;
        n->inner_trace = inst->trace_letters[0];
    }
}

TEST_F(RexxStartTest, NestedRunLinksParentAndChildAndLeavesTheTaskEntryAlone) {
    Nested n;
    testing::set_run_observer(&nested_observer, &n);
    LONG rc = run_in_store("nop", {"/TRR"}, "outer.cmd");
    testing::set_run_observer(nullptr, nullptr);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(n.inner_rc, 0);
    EXPECT_TRUE(n.inner_had_parent);
    EXPECT_TRUE(n.outer_child_during);
    EXPECT_TRUE(n.outer_current_after);
    EXPECT_TRUE(n.inner_flags & kOptNoArgPrompt);
    EXPECT_EQ(n.inner_trace, 'R');
    platform::ApiLockGuard lock;
    EXPECT_EQ(find_task(current_thread_id())->active, 0u);
    EXPECT_EQ(g_lib.current, nullptr);
}

TEST_F(RexxStartTest, RexxSplitsItsArgumentStringIntoAtMostSixteenWords) {
    RunRecorder rec;
    std::string words;
    for (int i = 1; i <= 20; ++i) words += "  w" + std::to_string(i);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(Rexx("", words.c_str(), nullptr, nullptr, buffer, sizeof buffer), 2650);
    EXPECT_STREQ(buffer, "xxxxxxx");  // no result, buffer untouched
    // A program file is needed for a real run; an in-store run is not possible through Rexx.
    char path[] = "/tmp/ketra-rexx-XXXXXX.cmd";
    int fd = mkstemps(path, 4);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "nop\n", 4), 4);
    close(fd);
    EXPECT_EQ(Rexx(path, words.c_str(), nullptr, nullptr, buffer, sizeof buffer), 0);
    ASSERT_EQ(rec.seen().args.size(), 16u);
    EXPECT_EQ(rec.seen().args.front(), "w1");
    EXPECT_EQ(rec.seen().args.back(), "w16");
    unlink(path);
}

TEST_F(RexxStartTest, RexxThreadAttachAndDetach) {
    std::thread t([] {
        LONG tid = current_thread_id();
        EXPECT_EQ(RexxThread(tid + 1, 1), -1);  // not the caller's id
        EXPECT_EQ(RexxThread(tid, 0), -1);      // no entry yet
        EXPECT_EQ(RexxThread(tid, 1), 0);
        EXPECT_EQ(RexxThread(tid, 1), -3);
        {
            platform::ApiLockGuard lock;
            EXPECT_NE(find_task(tid), nullptr);
        }
        EXPECT_EQ(RexxThread(tid, 0), 0);
        platform::ApiLockGuard lock;
        EXPECT_EQ(find_task(tid), nullptr);
    });
    t.join();
}

TEST_F(RexxStartTest, SetTraceWithoutAProgramAndSetHalt) {
    EXPECT_EQ(RexxSetTrace(0, 0), -1);
    EXPECT_EQ(RexxSetHalt(0, 0), 0u);
    platform::ApiLockGuard lock;
    EXPECT_TRUE(g_lib.halt_pending);
    g_lib.halt_pending = false;
}

TEST_F(RexxStartTest, MacroSpaceAcceptsEverythingAndKeepsNothing) {
    EXPECT_EQ(RexxAddMacro("M", "m.rex", RXMACRO_SEARCH_BEFORE), 0u);
    USHORT pos = 77;
    EXPECT_EQ(RexxQueryMacro("M", &pos), 0u);
    EXPECT_EQ(pos, 77);  // nothing was stored, nothing is reported
    EXPECT_EQ(RexxDropMacro("M"), 0u);
    EXPECT_EQ(RexxSaveMacroSpace(0, nullptr, "f"), 0u);
    EXPECT_EQ(RexxLoadMacroSpace(0, nullptr, "f"), 0u);
    EXPECT_EQ(RexxReorderMacro("M", 0), 0u);
    EXPECT_EQ(RexxClearMacroSpace(), 0u);
}

}  // namespace
}  // namespace ketra::test
