// The error texts, the message forms of `error` by run state, the memory-full and
// internal-error reports, and the fatal ends of the process.
#include <gtest/gtest.h>

#include <cstring>

#include "host_test_support.h"
#include "rexx/host/condition.h"
#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/testing_hooks.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

using Lines = std::vector<std::string>;

TEST(ErrorText, TextsWithQuotesAndGaps) {
    EXPECT_STREQ(error_text(6), "Unmatched \"    /*\" or quote");
    EXPECT_STREQ(error_text(31), "Name starts with number or \".\"");
    EXPECT_STREQ(error_text(36), "Unmatched \"(\" in expression");
    EXPECT_STREQ(error_text(37), "Unexpected \",\" or \")\"");
    EXPECT_STREQ(error_text(1), "File table full");
    EXPECT_STREQ(error_text(54), "Program aborted by system");
    EXPECT_STREQ(error_text(95), "Function *not* available for Win32s");
    EXPECT_STREQ(error_text(99), "Function not supported under Windows");
    for (int n : {0, 23, 55, 70, 94}) EXPECT_STREQ(error_text(n), "") << n;
    EXPECT_EQ(error_text(100), nullptr);
    EXPECT_EQ(error_text(-1), nullptr);
}

TEST(ErrorText, PoolAndConditionNames) {
    EXPECT_STREQ(pool_name(kPoolIsa), "ISA");
    EXPECT_STREQ(pool_name(kPoolSourceCode), "source code");
    EXPECT_STREQ(pool_name(kPoolImplementationLimit), "implementation limit");
    EXPECT_STREQ(pool_name(kPoolMacroSpace), "MacroSpace Memory");
    EXPECT_STREQ(pool_name(16), "");
    EXPECT_STREQ(condition_name(kCondNotready), "NOTREADY");
    EXPECT_STREQ(condition_name(0), "");
    EXPECT_EQ(condition_code("SYNTAX", 6), kCondSyntax);
    EXPECT_EQ(condition_code("syntax", 6), 0);
}

TEST(ErrorForms, LoadingStateUsesTheLoadingForm) {
    ScopedRun run(kStateInitialising);
    DiagnosticCapture cap;
    EXPECT_REXX_ERROR(error(136), 136);
    EXPECT_EQ(cap.lines(), (Lines{"Error 136 loading test.rex: Error# > highest_error"}));
    cap.clear();
    EXPECT_REXX_ERROR(error(43), 43);
    EXPECT_EQ(cap.lines(), (Lines{"Error 43 loading test.rex: Routine not found"}));
    EXPECT_EQ(last_error(), 43);
    EXPECT_FALSE(in_error());
}

TEST(ErrorForms, TranslatingStateNamesTheLineAndRepeatsIt) {
    ScopedRun run(kStateTranslating);
    const char line[] = "  x = (1 + \r\n";
    run.instance().translate_line = 7;
    run.instance().line_text = line;
    run.instance().line_length = std::strlen(line);
    DiagnosticCapture cap;
    EXPECT_REXX_ERROR(error(36), 36);
    EXPECT_EQ(cap.lines(), (Lines{"Error 36 on line 7 of test.rex: Unmatched \"(\" in expression",
                                  "  x = (1 + "}));
    // A line without its line feed (the last line of a source) is not repeated.
    cap.clear();
    run.instance().line_length -= 2;
    EXPECT_REXX_ERROR(error(23), 23);
    EXPECT_EQ(cap.lines(), (Lines{"Error 23 on line 7 of test.rex: "}));
}

TEST(ErrorForms, ExecutingWithoutActivationAndWithTheInnerRecoveryPoint) {
    ScopedRun run(kStateExecuting);
    DiagnosticCapture cap;
    // The inner recovery point armed by ScopedRun takes the error silently.
    EXPECT_REXX_ERROR(error(23), 23);
    EXPECT_TRUE(cap.lines().empty());
}

TEST(ErrorForms, ExecutingWithoutActivationWritesTheProgramForm) {
    ExecInstance inst{};
    char name[] = "p.rex";
    inst.program_name = name;
    inst.state = kStateExecuting;
    inst.recovery_armed = true;
    ensure_library_started();
    ExecInstance* saved = g_lib.current;
    g_lib.current = &inst;
    DiagnosticCapture cap;
    EXPECT_EQ(error_of([] { error(23); }), 23);
    EXPECT_EQ(error_of([] { error(120); }), 120);
    g_lib.current = saved;
    EXPECT_EQ(cap.lines(), (Lines{"Error 23 in REXX program: ", "Error 120 in REXX program: "}));
    EXPECT_TRUE(inst.ending_in_error);
}

TEST(MemoryReports, GeneralAllocationFailureWithDeveloperDebug) {
    ScopedRun run(kStateInitialising);
    run.instance().debug_flags = kDebugDeveloper;
    DiagnosticCapture cap;
    testing::fail_allocations_after(0);
    int n = error_of([] { allocate(1234); });
    testing::fail_allocations_after(-1);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(cap.lines(), (Lines{"1234 bytes requested", "Memory full: ISA", "Internal code 8",
                                  "Error 5 loading test.rex: Machine resources exhausted"}));
}

TEST(MemoryReports, WithoutDeveloperDebugOnlyThePoolIsNamed) {
    ScopedRun run(kStateInitialising);
    DiagnosticCapture cap;
    EXPECT_REXX_ERROR(memory_full(20, kPoolSourceCode), 5);
    EXPECT_EQ(cap.lines(), (Lines{"Memory full: source code",
                                  "Error 5 loading test.rex: Machine resources exhausted"}));
}

TEST(MemoryReports, ReleasingNullIsInternalError3) {
    ScopedRun run(kStateInitialising);
    DiagnosticCapture cap;
    EXPECT_REXX_ERROR(release(static_cast<void*>(nullptr)), 49);
    EXPECT_EQ(cap.lines(), (Lines{"Internal REXX error 3",
                                  "Error 49 loading test.rex: Interpretation error"}));
    release_if(nullptr);  // ignored
}

TEST(MemoryReports, CopyStringTerminates) {
    ScopedRun run;
    char* s = copy_string("abcdef", 3);
    EXPECT_STREQ(s, "abc");
    release(s);
}

TEST(MemoryReports, LoadingErrorThroughRexxStartWithDeveloperDebug) {
    ensure_library_started();
    clear_options();
    set_option("DEV_DEBUG", 1);
    ASSERT_EQ(run_in_store("nop", {}), 0);  // the thread's task entry exists from now on
    DiagnosticCapture cap;
    // The run frame succeeds, the argument array does not.
    testing::fail_allocations_after(1);
    LONG rc = run_in_store("nop", {"a"}, "mem.cmd");
    testing::fail_allocations_after(-1);
    clear_options();
    EXPECT_EQ(rc, -5);
    ASSERT_EQ(cap.lines().size(), 4u) << ::testing::PrintToString(cap.lines());
    EXPECT_EQ(cap.lines()[1], "Memory full: ISA");
    EXPECT_EQ(cap.lines()[2], "Internal code 8");
}

using ErrorDeathTest = ::testing::Test;

TEST_F(ErrorDeathTest, ErrorWithoutARunEndsTheProcess) {
    EXPECT_EXIT(
        {
            ensure_library_started();
            g_lib.current = nullptr;
            error(41);
        },
        ::testing::ExitedWithCode(70),
        "Corvane REXX: Error 41 during initialization: Bad arithmetic conversion");
}

void recursive_sink(const char*, std::size_t, void*) { error(5); }

TEST_F(ErrorDeathTest, AnErrorWhileWritingAnErrorMessageEndsTheProcess) {
    EXPECT_EXIT(
        {
            ScopedRun run(kStateInitialising);
            set_diagnostic_sink(&recursive_sink, nullptr);
            error(4);
        },
        ::testing::ExitedWithCode(70), "Corvane REXX: Error 156: error\\(\\) recursion, terminating");
}

TEST_F(ErrorDeathTest, UnrecoverableLoadingErrorEndsTheProcess) {
    EXPECT_EXIT(
        {
            ScopedRun run(kStateInitialising);
            run.instance().recovery_armed = false;
            error(3);
        },
        ::testing::ExitedWithCode(70), "Corvane REXX: Fatal Initialization Error\\.");
}

}  // namespace
}  // namespace ketra::test
