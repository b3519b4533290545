// The NUMERIC functions (DIGITS, FUZZ, FORM, ABS, SIGN, MAX, MIN) and the program-information
// functions (ARG, ADDRESS, CONDITION, ERRORTEXT, SOURCELINE, TRACE, QUEUED) against an
// activation set up by hand, and the fixed answers.
#include <gtest/gtest.h>

#include "bif_test_support.h"
#include "rexx/host/queue.h"
#include "rexx/runtime/interp.h"

namespace ketra {
namespace {

using test::bif;
using test::bif_error;
using test::kOmit;

class InfoTest : public ::testing::Test {
  protected:
    test::ActivationScope scope_;
    Activation& act() { return scope_.act(); }
};

TEST_F(InfoTest, NumericSettings) {
    EXPECT_EQ(bif("DIGITS"), "9");
    EXPECT_EQ(bif("FUZZ"), "0");
    EXPECT_EQ(bif("FORM"), "SCIENTIFIC");
    set_numeric_digits(act().numeric, 20);
    act().numeric.fuzz = 3;
    act().numeric.engineering = true;
    EXPECT_EQ(bif("DIGITS"), "20");
    EXPECT_EQ(bif("FUZZ"), "3");
    EXPECT_EQ(bif("FORM"), "ENGINEERING");
    EXPECT_EQ(bif_error("DIGITS", {1}), 40);
}

TEST_F(InfoTest, AbsAndSign) {
    EXPECT_EQ(bif("ABS", {"-12.30"}), "12.30");
    EXPECT_EQ(bif("ABS", {-7}), "7");
    EXPECT_EQ(bif("ABS", {"1.23456789012"}), "1.23456789");  // rounded to DIGITS
    EXPECT_EQ(bif("SIGN", {"-0.01"}), "-1");
    EXPECT_EQ(bif("SIGN", {"0.000"}), "0");
    EXPECT_EQ(bif("SIGN", {"1E5"}), "1");
    EXPECT_EQ(bif_error("SIGN", {"x"}), 40);
}

TEST_F(InfoTest, MaxAndMin) {
    EXPECT_EQ(bif("MAX", {1, "1.0"}), "1");  // the first of equal values, plus 0
    EXPECT_EQ(bif("MIN", {"1.0", 1}), "1.0");
    EXPECT_EQ(bif("MAX", {"3", "-5", "12.5", "7"}), "12.5");
    EXPECT_EQ(bif("MIN", {"3", "-5", "12.5", "7"}), "-5");
    EXPECT_EQ(bif("MAX", {"1E3", "999"}), "1000");
    EXPECT_EQ(bif_error("MIN"), 40);
    EXPECT_EQ(bif_error("MAX", {1, kOmit, 3}), 40);
    EXPECT_EQ(bif_error("MAX", {1, "abc"}), 41);
    EXPECT_EQ(bif_error("MAX", {"abc"}), 41);
    // Under FUZZ the comparison is at DIGITS - FUZZ, so the first of near-equal values wins.
    act().numeric.fuzz = 1;
    EXPECT_EQ(bif("MAX", {"1", "1.000000001"}), "1");
    // 250 arguments are accepted, 251 are not.
    std::vector<test::Arg> many;
    for (int i = 0; i < 250; ++i) many.emplace_back(i % 17);
    EXPECT_EQ(bif("MAX", many), "16");
    many.emplace_back(1);
    EXPECT_EQ(bif_error("MAX", many), 40);
}

TEST_F(InfoTest, Arg) {
    scope_.set_args({kOmit, "two", ""});
    EXPECT_EQ(bif("ARG"), "3");
    EXPECT_EQ(bif("ARG", {1}), "");
    EXPECT_EQ(bif("ARG", {2}), "two");
    EXPECT_EQ(bif("ARG", {3}), "");
    EXPECT_EQ(bif("ARG", {4}), "");
    EXPECT_EQ(bif("ARG", {1, "E"}), "0");
    EXPECT_EQ(bif("ARG", {2, "e"}), "1");
    EXPECT_EQ(bif("ARG", {3, "Exists"}), "1");  // an empty string is an argument
    EXPECT_EQ(bif("ARG", {1, "O"}), "1");
    EXPECT_EQ(bif("ARG", {9, "O"}), "1");
    EXPECT_EQ(bif_error("ARG", {kOmit, "E"}), 40);
    EXPECT_EQ(bif_error("ARG", {1, "X"}), 40);
    EXPECT_EQ(bif_error("ARG", {0}), 40);
}

TEST_F(InfoTest, Address) {
    act().environment = make_value("CMD");
    EXPECT_EQ(bif("ADDRESS"), "CMD");
    EXPECT_EQ(bif_error("ADDRESS", {"x"}), 40);
}

TEST_F(InfoTest, Condition) {
    EXPECT_EQ(bif("CONDITION"), "");
    EXPECT_EQ(bif("CONDITION", {"C"}), "");
    EXPECT_EQ(bif_error("CONDITION", {"X"}), 40);
    act().condition_code = kCondNovalue;
    act().condition_kind = kTrapSignal;
    act().condition_description = make_value("SOME.VARIABLE.NAME");
    act().traps[kCondNovalue].state = kTrapOff;
    EXPECT_EQ(bif("CONDITION"), "SIGNAL");
    EXPECT_EQ(bif("CONDITION", {"c"}), "NOVALUE");
    EXPECT_EQ(bif("CONDITION", {"D"}), "SOME.VARIABLE.NAME");
    EXPECT_EQ(bif("CONDITION", {"S"}), "OFF");
    EXPECT_EQ(bif_error("CONDITION", {"X"}), 40);  // the letter is validated first
    act().condition_kind = kTrapCall;
    act().traps[kCondNovalue].state = 2;  // both delayed states read as DELAY
    EXPECT_EQ(bif("CONDITION", {"I"}), "CALL");
    EXPECT_EQ(bif("CONDITION", {"S"}), "DELAY");
    act().traps[kCondNovalue].state = kTrapDelay;
    EXPECT_EQ(bif("CONDITION", {"S"}), "DELAY");
    act().traps[kCondNovalue].state = kTrapOn;
    EXPECT_EQ(bif("CONDITION", {"S"}), "ON");
}

TEST_F(InfoTest, Errortext) {
    EXPECT_EQ(bif("ERRORTEXT", {40}), "Incorrect call to routine");
    EXPECT_EQ(bif("ERRORTEXT", {99}), "Function not supported under Windows");
    EXPECT_EQ(bif("ERRORTEXT", {23}), "");
    EXPECT_EQ(bif("ERRORTEXT", {0}), "");
    EXPECT_EQ(bif_error("ERRORTEXT", {100}), 40);
    EXPECT_EQ(bif_error("ERRORTEXT", {-1}), 40);
}

TEST_F(InfoTest, Sourceline) {
    // No source held: a program run from object code.
    EXPECT_EQ(bif("SOURCELINE"), "0");
    EXPECT_EQ(bif("SOURCELINE", {1}), "");
    static const char kSource[] = "say 1\r\n/* two */\nexit";
    ExecInstance& inst = scope_.run().instance();
    inst.source_start = kSource;
    inst.source_end = kSource + sizeof kSource - 1;
    EXPECT_EQ(bif("SOURCELINE"), "3");
    EXPECT_EQ(bif("SOURCELINE", {1}), "say 1");
    EXPECT_EQ(bif("SOURCELINE", {2}), "/* two */");
    EXPECT_EQ(bif("SOURCELINE", {3}), "exit");
    EXPECT_EQ(bif_error("SOURCELINE", {4}), 40);
    EXPECT_EQ(bif_error("SOURCELINE", {0}), 40);
    static const char kEnded[] = "a\nb\n";
    inst.source_start = kEnded;
    inst.source_end = kEnded + sizeof kEnded - 1;
    EXPECT_EQ(bif("SOURCELINE"), "2");
    EXPECT_EQ(bif_error("SOURCELINE", {3}), 40);
    inst.source_start = inst.source_end = nullptr;
}

TEST_F(InfoTest, TraceReadsAndChangesTheSetting) {
    EXPECT_EQ(bif("TRACE"), "N");
    act().trace_flags = kTraceResults | (static_cast<std::uint32_t>(kTraceModeInteractive) << 8);
    EXPECT_EQ(bif("TRACE"), "?R");
    act().trace_flags =
        kTraceAll | (static_cast<std::uint32_t>(kTraceModeInhibit | kTraceModeDiscard) << 8);
    EXPECT_EQ(bif("TRACE"), "!$A");
    act().trace_flags = 0;
    EXPECT_EQ(bif("TRACE"), "O");

    Interp in{};
    in.act = &act();
    in.inst = &scope_.run().instance();
    in.line_info = true;
    Interp* saved = current_interp();
    set_current_interp(&in);
    act().trace_flags = kTraceFailures;
    test::DiagnosticCapture diag;          // TRACE R without the trace option writes a warning
    EXPECT_EQ(bif("TRACE", {"?R"}), "N");  // the previous setting
    EXPECT_EQ(bif("TRACE"), "?R");
    EXPECT_EQ(bif("TRACE", {"e"}), "?R");
    EXPECT_EQ(bif("TRACE"), "?E");
    EXPECT_EQ(bif_error("TRACE", {""}), 40);
    EXPECT_EQ(bif_error("TRACE", {"Q"}), 40);  // refused by the TRACE parser
    EXPECT_EQ(bif_error("TRACE", {"#"}), 40);
    EXPECT_EQ(bif("TRACE"), "?E");  // unchanged by the refusals
    set_current_interp(saved);
}

TEST_F(InfoTest, Queued) {
    queue_clear();
    EXPECT_EQ(bif("QUEUED"), "0");
    queue_add_chars("one", 3, false);
    queue_add_chars("two", 3, true);
    EXPECT_EQ(bif("QUEUED"), "2");
    queue_clear();
}

TEST_F(InfoTest, FixedAnswers) {
    EXPECT_EQ(bif("EXTERNALS"), "0");
    EXPECT_EQ(bif("ZYMVERSION"), "3.00");
    EXPECT_EQ(bif("STACKSTATUS"), "E 0 1000");
    EXPECT_EQ(bif("SCRMETHOD"), "W");
    EXPECT_EQ(bif("SCRMETHOD", {"x"}), "W");
    EXPECT_EQ(bif_error("SCRMETHOD", {"1"}), 40);
}

}  // namespace
}  // namespace ketra
