// The interpreter loop driven with hand-assembled byte code: each test builds a program, runs it
// through RexxStart (the run observer swaps the program in just before it executes) with an
// RXSIO exit that records SAY and message lines, and checks what the run said and returned.
// These tests do not depend on the translator, so they pin the loop's own behaviour.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "rexx/host/queue.h"
#include "rexx/host/session.h"
#include "rexx/host/testing_hooks.h"
#include "rexx/translate/program.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

// A small assembler for the working form of a program.
struct Asm {
    ProgramPtr p = make_program();
    Asm() {
        sym("RC");
        sym("RESULT");
        sym("SIGL");
    }
    std::uint16_t lit(const std::string& s) {
        p->literals.push_back(make_value(s.data(), s.size(), true));
        return static_cast<std::uint16_t>(p->literals.size() - 1);
    }
    std::uint16_t sym(const std::string& s) {
        SymbolEntry e{};
        e.name = make_value(s.data(), s.size(), true);
        e.kind = kSymbolSimple;
        p->symbols.push_back(e);
        return static_cast<std::uint16_t>(p->symbols.size() - 1);
    }
    std::uint32_t here() const { return static_cast<std::uint32_t>(p->code.size()); }
    Asm& op(int o) {
        p->code.push_back(static_cast<std::uint8_t>(o));
        return *this;
    }
    Asm& u8(int v) { return op(v); }
    Asm& u16(int v) {
        p->code.push_back(static_cast<std::uint8_t>(v & 0xFF));
        p->code.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        return *this;
    }
    Asm& u24(std::uint32_t v) {
        p->code.push_back(static_cast<std::uint8_t>(v & 0xFF));
        p->code.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        p->code.push_back(static_cast<std::uint8_t>((v >> 16) & 0xFF));
        return *this;
    }
    // Writes a 24-bit operand at pos.
    void patch(std::uint32_t pos, std::uint32_t v) {
        p->code[pos] = static_cast<std::uint8_t>(v & 0xFF);
        p->code[pos + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        p->code[pos + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
    }
    Asm& push(const std::string& s) { return op(1).u16(lit(s)); }
    Asm& say(const std::string& s) { return push(s).op(56); }
    void label(const std::string& name) {
        LabelEntry l{};
        l.offset = here();
        l.length = static_cast<std::uint8_t>(name.size());
        std::memcpy(l.name, name.c_str(), name.size() + 1);
        p->labels.push_back(l);
    }
    // A statement entry for the clause starting here: whole source line `line`.
    void clause(std::uint16_t line, std::uint16_t last_column = 200) {
        StatementEntry s{};
        s.first_line = s.last_line = line;
        s.first_column = 0;
        s.last_column = last_column;
        s.offset = here();
        p->statements.push_back(s);
    }
};

// Programs handed to runs in the order they start (nested runs included).
std::deque<ProgramPtr> g_programs;
std::vector<std::string> g_said;
std::vector<std::string> g_messages;

void install_program(ExecInstance* inst, void*) {
    if (g_programs.empty()) return;
    inst->program = std::move(g_programs.front());
    g_programs.pop_front();
}

// Hook for tests that act from inside the SAY exit.
void (*g_on_say)(const std::string& line) = nullptr;

LONG APIENTRY sio_exit(LONG, LONG sub, PEXIT block) {
    if (sub == RXSIOSAY) {
        auto* parm = reinterpret_cast<RXSIOSAY_PARM*>(block);
        std::string line(parm->rxsio_string.strptr ? parm->rxsio_string.strptr : "",
                         parm->rxsio_string.strlength);
        g_said.push_back(line);
        if (g_on_say) g_on_say(line);
        return RXEXIT_HANDLED;
    }
    if (sub == RXSIOTRC) {
        auto* parm = reinterpret_cast<RXSIOTRC_PARM*>(block);
        g_messages.emplace_back(parm->rxsio_string.strptr, parm->rxsio_string.strlength);
        return RXEXIT_HANDLED;
    }
    return RXEXIT_NOT_HANDLED;
}

int g_halt_after = -1;
LONG APIENTRY halt_exit(LONG, LONG sub, PEXIT block) {
    if (sub == RXHLTTST && g_halt_after >= 0 && g_halt_after-- == 0)
        reinterpret_cast<RXHLTTST_PARM*>(block)->rxhlt_flags.rxfhhalt = 1;
    return RXEXIT_HANDLED;
}

struct RunResult {
    LONG rc;
    SHORT retc;
    std::string result;
    bool has_result;
};

class InterpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_programs.clear();
        g_said.clear();
        g_messages.clear();
        g_on_say = nullptr;
        g_halt_after = -1;
        RexxRegisterExitExe("ITESTSIO", reinterpret_cast<PFN>(&sio_exit), nullptr);
        RexxRegisterExitExe("ITESTHLT", reinterpret_cast<PFN>(&halt_exit), nullptr);
        testing::set_run_observer(&install_program, nullptr);
    }
    void TearDown() override {
        testing::set_run_observer(nullptr, nullptr);
        RexxDeregisterExit("ITESTSIO", nullptr);
        RexxDeregisterExit("ITESTHLT", nullptr);
        g_on_say = nullptr;
        Value v;
        while (queue_pull(v)) release(v);
    }
};

RunResult run(Asm& a, const char* source = "nop", bool halt_exit_on = false) {
    g_programs.push_back(std::move(a.p));
    RXSTRING instore[2];
    instore[0].strptr = const_cast<char*>(source);
    instore[0].strlength = std::strlen(source);
    instore[1].strptr = nullptr;
    instore[1].strlength = 0;
    RXSYSEXIT exits[3];
    exits[0].sysexit_name = const_cast<char*>("ITESTSIO");
    exits[0].sysexit_code = RXSIO;
    exits[1].sysexit_name = const_cast<char*>("ITESTHLT");
    exits[1].sysexit_code = halt_exit_on ? RXHLT : RXENDLST;
    exits[2].sysexit_name = nullptr;
    exits[2].sysexit_code = RXENDLST;
    RunResult r{};
    RXSTRING result{0, nullptr};
    r.rc = RexxStart(0, nullptr, "prog", instore, nullptr, RXCOMMAND, exits, &r.retc, &result);
    if (result.strptr) {
        r.has_result = true;
        r.result.assign(result.strptr, result.strlength);
        RexxFreeMemory(result.strptr);
    }
    // The run hands back the image it made in the empty second in-store string.
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    return r;
}

TEST_F(InterpTest, SayAndArithmeticKeepTheLanguageRules) {
    Asm a;
    a.push("2").push("3").op(66).op(56);       // 6
    a.push("1").push("3").op(67).op(56);       // 0.333333333
    a.push("999999999").push("1").op(64).op(56);  // 1.00000000E+9
    a.push("7").op(72).push("2").op(68).op(56);   // -7 % 2 = -3
    a.push("a").push("b").op(79).op(56);       // blank concatenation
    a.push("1").push("1.0").op(80).op(56);     // numeric =
    a.push("1").push("1.0").op(81).op(56);     // strict ==
    a.op(24);
    RunResult r = run(a);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(g_said, (std::vector<std::string>{"6", "0.333333333", "1.00000000E+9", "-3", "a b",
                                                "1", "0"}));
}

// DO n with no control variable: the shape the compiler emits.
void counted_loop(Asm& a, const std::string& count, const std::string& body) {
    a.op(4).push(count).op(9);
    a.op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t exit_operand = a.here();
    a.u24(0);
    a.op(94);
    a.say(body);
    a.op(25).u24(reentry);
    a.patch(exit_operand, a.here());
    a.op(5);
}

TEST_F(InterpTest, CountedLoopsRunTheirBodyThatManyTimes) {
    Asm a;
    counted_loop(a, "3", "x");
    counted_loop(a, "0", "never");
    a.say("done").op(24);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"x", "x", "x", "done"}));
}

TEST_F(InterpTest, BadRepetitionCountsAreErrors) {
    for (const char* count : {"-1", "x", "1.5"}) {
        Asm a;
        counted_loop(a, count, "body");
        a.op(24);
        EXPECT_EQ(run(a).rc, -26) << count;
        EXPECT_TRUE(g_said.empty());
    }
}

TEST_F(InterpTest, NonNumericToAndByRaiseError41WhenTheLoopStarts) {
    for (int which : {7, 8}) {
        Asm a;
        std::uint16_t i = a.sym("I");
        a.op(4).op(6).u16(i).push("1").push("x").op(which).op(11).op(24);
        EXPECT_EQ(run(a).rc, -41) << which;
    }
}

TEST_F(InterpTest, FunctionCallsPushTheirResultAndReturnWithoutValueIsError45) {
    Asm a;
    a.op(15).u8(0);
    std::uint32_t call1 = a.here();
    a.u24(0);
    a.op(56);
    a.op(22);
    a.label("F");
    a.patch(call1, a.here());
    a.push("from f").op(21);
    run(a);
    EXPECT_EQ(g_said, std::vector<std::string>{"from f"});

    Asm b;
    b.op(15).u8(0);
    std::uint32_t call2 = b.here();
    b.u24(0);
    b.op(56).op(22);
    b.patch(call2, b.here());
    b.op(20);
    EXPECT_EQ(run(b).rc, -45);
}

TEST_F(InterpTest, ArgumentsArePoppedAfterTheCall) {
    // Calls a routine with two arguments in a counted loop; a stack that kept them would
    // overflow long before 100000 passes.
    Asm a;
    a.op(4).push("100000").op(9).op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t out = a.here();
    a.u24(0);
    a.op(94);
    a.push("a").push("b").op(15).u8(2);
    std::uint32_t call = a.here();
    a.u24(0);
    a.push("r").op(81).op(26).u24(0);  // compare with "r" and drop the result
    a.op(25).u24(reentry);
    a.patch(out, a.here());
    a.op(5).say("ok").op(22);
    a.patch(call, a.here());
    a.push("r").op(21);
    RunResult r = run(a);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(g_said, std::vector<std::string>{"ok"});
}

TEST_F(InterpTest, ExitValueBecomesResultAndReturnCode) {
    Asm a;
    a.push("123").op(23);
    RunResult r = run(a);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.retc, 123);
    EXPECT_TRUE(r.has_result);
    EXPECT_EQ(r.result, "123");

    Asm b;
    b.push("40000").op(23);
    r = run(b);
    EXPECT_EQ(r.retc, 0);
    EXPECT_EQ(r.result, "40000");

    // RETURN at the top level is EXIT.
    Asm c;
    c.push("-5").op(21);
    r = run(c);
    EXPECT_EQ(r.retc, -5);

    Asm d;
    d.op(24);
    r = run(d);
    EXPECT_FALSE(r.has_result);
}

TEST_F(InterpTest, SignalGoesToTheLabelAndSignalValueFindsItByName) {
    Asm a;
    a.op(57);
    std::uint32_t t = a.here();
    a.u24(0);
    a.say("skipped");
    a.label("THERE");
    a.patch(t, a.here());
    a.say("there");
    a.push("LAST").op(58);
    a.say("skipped too");
    a.label("LAST");
    a.say("last").op(24);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"there", "last"}));

    Asm b;
    b.push("last").op(58).op(24);  // labels compare exactly: "last" is not "LAST"
    b.label("LAST");
    b.op(24);
    EXPECT_EQ(run(b).rc, -16);
}

TEST_F(InterpTest, SignalOutOfALoopEndsTheLoop) {
    Asm a;
    a.op(4).push("5").op(9).op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t out = a.here();
    a.u24(0);
    a.op(94).say("in").op(57);
    std::uint32_t sig = a.here();
    a.u24(0);
    a.op(25).u24(reentry);
    a.patch(out, a.here());
    a.op(5);
    a.label("AFTER");
    a.patch(sig, a.here());
    a.say("after");
    // A loop test outside any loop is error 10: the SIGNAL closed the frame.
    a.op(13).u24(0);
    a.op(24);
    RunResult r = run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"in", "after"}));
    EXPECT_EQ(r.rc, -10);
}

TEST_F(InterpTest, ErrorsWriteTheTracebackAndTheMessage) {
    const char* source = "call f\nexit\nf: say 1/0\n";
    Asm a;
    a.clause(1);
    a.op(14).u8(0);
    std::uint32_t call = a.here();
    a.u24(0);
    a.clause(2);
    a.op(22);
    a.label("F");
    a.patch(call, a.here());
    a.clause(3);
    a.push("1").push("0").op(67).op(56).op(20);
    RunResult r = run(a, source);
    EXPECT_EQ(r.rc, -42);
    ASSERT_EQ(g_messages.size(), 3u);
    EXPECT_EQ(g_messages[0], "     3 +++ f: say 1/0");
    EXPECT_EQ(g_messages[1], "     1 +++ call f");
    EXPECT_EQ(g_messages[2], "Error 42 on line 3 of prog: Arithmetic overflow/underflow");
}

TEST_F(InterpTest, WithoutLineInformationTheShortMessageForm) {
    Asm a;
    a.op(63).u16(7);
    EXPECT_EQ(run(a).rc, -7);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "Error 7 in prog: WHEN or OTHERWISE expected");
}

TEST_F(InterpTest, NumericSettingsAreCheckedAndBelongToTheActivation) {
    Asm a;
    a.push("3").op(46);
    a.op(15).u8(0);
    std::uint32_t call = a.here();
    a.u24(0);
    a.op(56);
    a.op(36).op(56);  // still DIGITS 3 here
    a.op(22);
    a.patch(call, a.here());
    a.push("20").op(46).op(36).op(21);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"20 0 SCIENTIFIC", "3 0 SCIENTIFIC"}));

    Asm b;
    b.push("3").op(46).push("3").op(48).op(24);
    EXPECT_EQ(run(b).rc, -33);
    Asm c;
    c.push("9").op(48).op(24);
    EXPECT_EQ(run(c).rc, -33);
    Asm d;
    d.push("scientific").op(47).op(24);
    EXPECT_EQ(run(d).rc, -25);
    Asm e;
    e.push("1.5").op(46).op(24);
    EXPECT_EQ(run(e).rc, -26);
    Asm f;
    f.push("ENGINEERING").op(47).op(3).op(48).op(36).op(56).op(24);
    run(f);
    EXPECT_EQ(g_said.back(), "9 0 ENGINEERING");
}

TEST_F(InterpTest, PushIsLastInFirstOutAndQueueFirstInFirstOut) {
    Asm a;
    a.push("one").op(53).push("two").op(53).op(55).op(56);
    a.op(55).op(56);
    a.push("three").op(54).push("four").op(54).op(55).op(56).op(55).op(56);
    a.op(24);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"two", "one", "three", "four"}));
}

TEST_F(InterpTest, SessionQueueInterface) {
    RXSTRING line;
    line.strptr = const_cast<char*>("0123456789");
    line.strlength = 10;
    EXPECT_EQ(RexxAddQueue("session", &line, 0), 0u);
    EXPECT_EQ(RexxAddQueue("SeSsIoN", &line, 1), 0u);
    EXPECT_EQ(RexxAddQueue("other", &line, 0), 2u);
    ULONG count = 0;
    EXPECT_EQ(RexxQueryQueue("SESSION", &count), 0u);
    EXPECT_EQ(count, 2u);
    char buf[3];
    RXSTRING out;
    out.strptr = buf;
    out.strlength = sizeof buf;
    EXPECT_EQ(RexxPullQueue("Session", &out), 0u);
    EXPECT_EQ(out.strlength, 3u);
    EXPECT_EQ(std::string(buf, 3), "012");
    EXPECT_EQ(RexxPullQueue("nope", &out), 2u);
    EXPECT_EQ(RexxCreateQueue(nullptr), 4u);
    EXPECT_EQ(RexxDeleteQueue("x"), 5u);

    // A program pulls what the host queued.
    Asm a;
    a.op(55).op(56).op(24);
    run(a);
    EXPECT_EQ(g_said, std::vector<std::string>{"0123456789"});
}

TEST_F(InterpTest, HaltWithoutTrapEndsTheRunWithError4) {
    Asm a;
    a.clause(1);
    std::uint32_t top = a.here();
    a.op(45).op(25).u24(top);
    g_halt_after = 3;
    RunResult r = run(a, "do forever; nop; end\n", true);
    EXPECT_EQ(r.rc, -4);
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "Error 4 on line 1 of prog: Program interrupted");
}

TEST_F(InterpTest, SignalOnHaltGoesToTheHaltLabel) {
    Asm a;
    a.op(60).u8(3).u8(2);
    std::uint32_t top = a.here();
    a.op(45).op(25).u24(top);
    a.label("HALT");
    a.say("halted").push("7").op(23);
    g_halt_after = 2;
    RunResult r = run(a, "x", true);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.retc, 7);
    EXPECT_EQ(g_said, std::vector<std::string>{"halted"});
}

TEST_F(InterpTest, CallOnHaltRunsTheHandlerAtTheNextClauseAndResumes) {
    // CALL ON HALT; loop: count passes until the handler has run, then stop.
    Asm a;
    a.op(60).u8(3).u8(1);
    std::uint32_t top = a.here();
    a.op(45).op(25).u24(top);
    a.label("HALT");
    a.say("handler").push("0").op(23);
    g_halt_after = 1;
    RunResult r = run(a, "x", true);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(g_said, std::vector<std::string>{"handler"});
}

TEST_F(InterpTest, ExternalRoutineThatDoesNotExistIsError43) {
    Asm a;
    std::uint16_t name = a.lit("NO_SUCH_ROUTINE_ANYWHERE");
    a.op(17).u8(0).u24(name).op(56).op(24);
    EXPECT_EQ(run(a).rc, -43);
}

TEST_F(InterpTest, NestedRexxStartFromAHostCallback) {
    // The outer program says "outer", and the SAY exit starts a nested run that says
    // "inner" and returns 42; the outer program then goes on.
    static LONG inner_rc;
    static std::string inner_result;
    g_on_say = [](const std::string& line) {
        if (line != "outer") return;
        g_on_say = nullptr;
        Asm inner;
        inner.say("inner").push("42").op(23);
        g_programs.push_back(std::move(inner.p));
        RXSTRING instore[2] = {{1, const_cast<char*>("x")}, {0, nullptr}};
        RXSYSEXIT exits[2] = {{const_cast<char*>("ITESTSIO"), RXSIO}, {nullptr, RXENDLST}};
        SHORT retc = 0;
        RXSTRING result{0, nullptr};
        inner_rc = RexxStart(0, nullptr, "inner", instore, nullptr, RXCOMMAND, exits, &retc, &result);
        inner_result.assign(result.strptr ? result.strptr : "", result.strlength);
        if (result.strptr) RexxFreeMemory(result.strptr);
        if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
    };
    Asm a;
    a.say("outer").say("after").push("1").op(23);
    RunResult r = run(a);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.retc, 1);
    EXPECT_EQ(inner_rc, 0);
    EXPECT_EQ(inner_result, "42");
    EXPECT_EQ(g_said, (std::vector<std::string>{"outer", "inner", "after"}));
}

// DO name = from TO to BY by FOR n, in the order the compiler emits it.
void controlled_loop(Asm& a, std::uint16_t var, const char* from, const char* to, const char* by,
                     const char* count) {
    a.op(4).op(6).u16(var).push(from);
    if (to) a.push(to).op(7);
    if (by) a.push(by).op(8);
    if (count) a.push(count).op(9);
    a.op(11).op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t out = a.here();
    a.u24(0);
    a.op(94).op(2).u16(var).op(56);
    a.op(25).u24(reentry);
    a.patch(out, a.here());
    a.op(5);
}

TEST_F(InterpTest, ControlledLoopsStepCompareAndCount) {
    Asm a;
    std::uint16_t i = a.sym("I");
    controlled_loop(a, i, "1", "5", "2", nullptr);
    a.op(2).u16(i).op(56);
    controlled_loop(a, i, "3", "1", "-1", nullptr);
    controlled_loop(a, i, "1", "10", nullptr, "2");
    controlled_loop(a, i, "0.5", "2", "0.5", nullptr);
    controlled_loop(a, i, "999999998", "999999999", nullptr, nullptr);
    a.op(2).u16(i).op(56).op(24);
    EXPECT_EQ(run(a).rc, 0);
    EXPECT_EQ(g_said, (std::vector<std::string>{"1", "3", "5", "7", "3", "2", "1", "1", "2", "0.5",
                                                "1.0", "1.5", "2.0", "999999998", "999999999",
                                                "1.00000000E+9"}));
}

TEST_F(InterpTest, AppendingToAVariableBuildsTheWholeString) {
    Asm a;
    std::uint16_t s = a.sym("S");
    a.push("").op(10).u16(s);
    a.op(4).push("1000").op(9).op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t out = a.here();
    a.u24(0);
    a.op(94);
    a.op(2).u16(s).push("ab").op(78).op(10).u16(s);  // s = s || 'ab'
    a.op(25).u24(reentry);
    a.patch(out, a.here());
    a.op(5);
    a.op(2).u16(s).op(56);
    a.op(2).u16(s).push("z").op(79).op(10).u16(s);  // s = s 'z'
    a.op(2).u16(s).push("").op(78).op(56);
    a.op(24);
    run(a);
    std::string expect;
    for (int k = 0; k < 1000; ++k) expect += "ab";
    ASSERT_EQ(g_said.size(), 2u);
    EXPECT_EQ(g_said[0], expect);
    EXPECT_EQ(g_said[1], expect + " z");
}

TEST_F(InterpTest, SignalOnSyntaxSetsRcAndSigl) {
    const char* source = "signal on syntax\nsay 1/0\nsyntax: say rc sigl\n";
    Asm a;
    std::uint16_t rc = 0, sigl = 2;
    a.clause(1);
    a.op(60).u8(6).u8(2);
    a.clause(2);
    a.push("1").push("0").op(67).op(56);
    a.label("SYNTAX");
    a.clause(3);
    a.op(2).u16(rc).op(56).op(2).u16(sigl).op(56);
    // The trap is OFF now: a second error ends the run.
    a.push("x").push("1").op(64).op(56);
    a.op(24);
    RunResult r = run(a, source);
    EXPECT_EQ(r.rc, -41);
    EXPECT_EQ(g_said, (std::vector<std::string>{"42", "2"}));
    ASSERT_FALSE(g_messages.empty());
    EXPECT_EQ(g_messages.back(), "Error 41 on line 3 of prog: Bad arithmetic conversion");
}

TEST_F(InterpTest, ProcedureHidesTheCallersVariablesAndResultIsSet) {
    Asm a;
    std::uint16_t x = a.sym("X");
    a.push("outer").op(10).u16(x);
    a.op(14).u8(0);
    std::uint32_t call = a.here();
    a.u24(0);
    a.op(2).u16(x).op(56);
    a.op(2).u16(1).op(56);  // RESULT
    a.op(14).u8(0);
    std::uint32_t call2 = a.here();
    a.u24(0);
    a.op(2).u16(1).op(56);  // RESULT dropped: its name
    a.op(22);
    a.patch(call, a.here());
    a.op(50).push("inner").op(10).u16(x).op(2).u16(x).op(21);
    a.patch(call2, a.here());
    a.op(20);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"outer", "inner", "RESULT"}));

    Asm b;
    b.op(14).u8(0);
    std::uint32_t c = b.here();
    b.u24(0);
    b.op(22);
    b.patch(c, b.here());
    b.op(50).op(50).op(20);
    EXPECT_EQ(run(b).rc, -17);
}

TEST_F(InterpTest, ReturnFromInsideALoopRestoresTheCallersLoop) {
    Asm a;
    std::uint16_t i = a.sym("I"), j = a.sym("J");
    a.op(4).op(6).u16(i).push("1").push("3").op(7).op(11).op(25);
    std::uint32_t first = a.here();
    a.u24(0);
    std::uint32_t reentry = a.here();
    a.op(12);
    a.patch(first, a.here());
    a.op(13);
    std::uint32_t out = a.here();
    a.u24(0);
    a.op(94).op(2).u16(i).op(15).u8(0);
    std::uint32_t call = a.here();
    a.u24(0);
    a.op(79).op(56);
    a.op(25).u24(reentry);
    a.patch(out, a.here());
    a.op(5).op(24);
    // f: do j = 5 to 10; return j; end
    a.patch(call, a.here());
    a.op(4).op(6).u16(j).push("5").push("10").op(7).op(11).op(25);
    std::uint32_t f1 = a.here();
    a.u24(0);
    std::uint32_t fre = a.here();
    a.op(12);
    a.patch(f1, a.here());
    a.op(13);
    std::uint32_t fout = a.here();
    a.u24(0);
    a.op(94).op(2).u16(j).op(21);
    a.op(25).u24(fre);
    a.patch(fout, a.here());
    a.op(5).op(20);
    EXPECT_EQ(run(a).rc, 0);
    EXPECT_EQ(g_said, (std::vector<std::string>{"1 5", "2 5", "3 5"}));
}

TEST_F(InterpTest, NovalueGivesTheNameOrGoesToItsTrap) {
    Asm a;
    std::uint16_t y = a.sym("Y");
    a.op(2).u16(y).op(56);
    a.op(60).u8(5).u8(2);
    a.op(2).u16(y).op(56);
    a.op(24);
    a.label("NOVALUE");
    a.say("trapped").op(24);
    run(a);
    EXPECT_EQ(g_said, (std::vector<std::string>{"Y", "trapped"}));
}

TEST_F(InterpTest, UpperFoldsTheValue) {
    Asm a;
    std::uint16_t x = a.sym("X");
    a.push("abc Def").op(10).u16(x).op(40).u16(x).op(2).u16(x).op(56).op(24);
    run(a);
    EXPECT_EQ(g_said, std::vector<std::string>{"ABC DEF"});
}

TEST_F(InterpTest, ParseArgSeesTheArgumentsInOrder) {
    Asm a;
    std::uint16_t x = a.sym("X"), y = a.sym("Y");
    // Template "x, y": two groups ending in kind 9, one target each.
    std::string tmpl;
    for (int w : {9, 0, 1, static_cast<int>(x), 9, 0, 1, static_cast<int>(y)}) {
        tmpl.push_back(static_cast<char>(w & 0xFF));
        tmpl.push_back(static_cast<char>(w >> 8));
    }
    std::uint16_t t = a.lit(tmpl);
    a.push("one").push("two").op(14).u8(2);
    std::uint32_t call = a.here();
    a.u24(0);
    a.op(22);
    a.patch(call, a.here());
    a.op(34).u16(t).op(2).u16(x).op(2).u16(y).op(79).op(56).op(20);
    run(a);
    EXPECT_EQ(g_said, std::vector<std::string>{"one two"});
}

TEST_F(InterpTest, BadOpcodesAreInternalErrors) {
    for (int bad : {0, 97, 255}) {
        Asm a;
        a.op(bad);
        EXPECT_EQ(run(a).rc, -49) << bad;
    }
    Asm end;
    end.push("1").push("2").op(64);  // an expression that runs off the end of the code
    EXPECT_EQ(run(end).rc, -49);
    Asm b;
    b.op(5);  // close a loop that is not open
    EXPECT_EQ(run(b).rc, -49);
}

}  // namespace
}  // namespace ketra
