// The clause compiler: byte code of small programs (as listings), jump chains and their
// resolution, templates, the statement table, every translation error with the line it is
// reported on, the message form, INTERPRET translation, and a translation error through
// RexxStart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rexx/translate/scanner.h"
#include "rexxsaa.h"
#include "translate_support.h"

namespace ketra::test {
namespace {

// The index of the string literal n in p's table (9999 when it is not there).
unsigned literal_index(const Program& p, const char* n) {
    for (std::size_t i = 0; i < p.literals.size(); ++i)
        if (quoted(p.literals[i]) == std::string("'") + n + "'") return static_cast<unsigned>(i);
    return 9999u;
}

TEST(Compiler, ExpressionsByPrecedence) {
    EXPECT_EQ(compiled("x = 1 + 2 * 3"),
              "PUSHLIT '1'; PUSHLIT '2'; PUSHLIT '3'; MUL; ADD; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = (1 + 2) * 3"),
              "PUSHLIT '1'; PUSHLIT '2'; ADD; PUSHLIT '3'; MUL; TRACERES; ASSIGN X; END");
    // Prefix operators bind tighter than **; ** groups from the left.
    EXPECT_EQ(compiled("x = -2**2"), "PUSHLIT '2'; NEG; PUSHLIT '2'; POW; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = a**b**c"),
              "PUSHVAR A; PUSHVAR B; POW; PUSHVAR C; POW; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = a ** -b"), "PUSHVAR A; PUSHVAR B; NEG; POW; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = \\a & b | c && d"),
              "PUSHVAR A; NOT; PUSHVAR B; AND; PUSHVAR C; OR; PUSHVAR D; XOR; TRACERES; ASSIGN X; "
              "END");
    EXPECT_EQ(compiled("x = a // b % c - +d"),
              "PUSHVAR A; PUSHVAR B; REM; PUSHVAR C; IDIV; PUSHVAR D; PLUS; SUB; TRACERES; "
              "ASSIGN X; END");
    // Comparison binds looser than concatenation.
    EXPECT_EQ(compiled("x = 'a' || 'b' == 'ab'"),
              "PUSHLIT 'a'; PUSHLIT 'b'; CONCAT; PUSHLIT 'ab'; SEQ; TRACERES; ASSIGN X; END");
    // Abuttal and blank concatenation; a "(" after ")" abuts too.
    EXPECT_EQ(compiled("x = a'b' c"),
              "PUSHVAR A; PUSHLIT 'b'; CONCAT; PUSHVAR C; BLANKCAT; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = (a)(b) (c)"),
              "PUSHVAR A; PUSHVAR B; CONCAT; PUSHVAR C; BLANKCAT; TRACERES; ASSIGN X; END");
}

TEST(Compiler, ComparisonOperatorSpellings) {
    struct Case {
        const char* op;
        const char* mnemonic;
    };
    for (Case c :
         {Case{"=", "EQ"}, {"==", "SEQ"},    {"\\=", "NE"},   {"/=", "NE"},     {"<>", "NE"},
          {"><", "NE"},    {"\\==", "SNE"},  {"/==", "SNE"},  {">", "GT"},      {"\\>", "NGT"},
          {"<=", "NGT"},   {"<", "LT"},      {"\\<", "NLT"},  {">=", "NLT"},    {">>", "SGT"},
          {"<<", "SLT"},   {"\\>>", "SNGT"}, {"<<=", "SNGT"}, {"\\<<", "SNLT"}, {">>=", "SNLT"},
          {"^==", "SNE"}})
        EXPECT_EQ(compiled(std::string("say a ") + c.op + " b"),
                  std::string("PUSHVAR A; PUSHVAR B; ") + c.mnemonic + "; TRACERES; SAY; END")
            << c.op;
    EXPECT_EQ(compiled("say a =< b"), "error 35");
}

TEST(Compiler, CallsAndTheirResolution) {
    int length = builtin_code("LENGTH", 6);
    ASSERT_GT(length, 0);
    EXPECT_EQ(compiled("x = length('abc')"),
              "PUSHLIT 'abc'; FUNCBIF 1 #" + std::to_string(length) + "; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("call length 'abc'"),
              "PUSHLIT 'abc'; CALLBIF 1 #" + std::to_string(length) + "; END");
    // A label of the program wins over a built-in of the same name.
    EXPECT_EQ(compiled("say length(1); exit; length: return 2"),
              "PUSHLIT '1'; FUNCINT 1 @11; TRACERES; SAY; EXIT; PUSHLIT '2'; TRACERES; RETURNV; "
              "END");
    EXPECT_EQ(compiled("call foo 1,,2"),
              "PUSHLIT '1'; PUSHNULL; PUSHLIT '2'; CALLEXT 3 'FOO'; END");
    EXPECT_EQ(compiled("call foo 1,;"), "PUSHLIT '1'; PUSHNULL; CALLEXT 2 'FOO'; END");
    EXPECT_EQ(compiled("call 'lower' (1)"), "PUSHLIT '1'; CALLEXT 1 'lower'; END");
    // An empty routine name is an external routine too, and its sites share one entry.
    EXPECT_EQ(compiled("call ''; x = ''()"), "CALLEXT 0 ''; FUNCEXT 0 ''; TRACERES; ASSIGN X; END");
    EXPECT_EQ(compiled("x = f(,)"), "PUSHNULL; PUSHNULL; FUNCEXT 2 'F'; TRACERES; ASSIGN X; END");
    EXPECT_EQ(
        compiled("x = f()g(a, b)"),
        "FUNCEXT 0 'F'; PUSHVAR A; PUSHVAR B; FUNCEXT 2 'G'; CONCAT; TRACERES; ASSIGN X; END");
    // Every site of one name is resolved, forward and backward.
    EXPECT_EQ(compiled("a: call a; call b; b: call a"),
              "CALLINT 0 @0; CALLINT 0 @10; CALLINT 0 @0; END");

    std::string args = "x = f(";
    for (int i = 0; i < 250; ++i) args += i ? ",1" : "1";
    EXPECT_EQ(compiled(args + ")").substr(0, 7), "PUSHLIT");
    EXPECT_EQ(compiled(args + ",1)"), "error 40");
    std::string call_args = "call f ";
    for (int i = 0; i < 251; ++i) call_args += i ? ",1" : "1";
    EXPECT_EQ(compiled(call_args), "error 40");
}

TEST(Compiler, IfAndSelect) {
    EXPECT_EQ(compiled("if a then say 1; else say 2"),
              "PUSHVAR A; TRACERES; JUMPF @17; PUSHLIT '1'; TRACERES; SAY; JUMP @22; PUSHLIT '2'; "
              "TRACERES; SAY; END");
    // An empty THEN part: null clauses take part in no check.
    EXPECT_EQ(compiled("IF a THEN; ELSE SAY 1"),
              "PUSHVAR A; TRACERES; JUMPF @12; JUMP @17; PUSHLIT '1'; TRACERES; SAY; END");
    // A nested IF takes the ELSE; the outer one closes after it.
    EXPECT_EQ(compiled("if a then if b then nop; else nop\nexit"),
              "PUSHVAR A; TRACERES; JUMPF @22; PUSHVAR B; TRACERES; JUMPF @21; NOP; JUMP @22; NOP; "
              "EXIT; END");
    EXPECT_EQ(compiled("select; when a then nop; end"),
              "PUSHVAR A; TRACERES; JUMPF @13; NOP; JUMP @16; RAISE 7; END");
    EXPECT_EQ(compiled("select\nwhen a then nop\nwhen b then do; nop; end\notherwise say 2\nend"),
              "PUSHVAR A; TRACERES; JUMPF @13; NOP; JUMP @31; PUSHVAR B; TRACERES; JUMPF @26; NOP; "
              "JUMP @31; PUSHLIT '2'; TRACERES; SAY; END");
}

TEST(Compiler, Loops) {
    EXPECT_EQ(
        compiled("do i = 1 to 3 by 1; say i; end"),
        "LOOPOPEN; LOOPVAR I; PUSHLIT '1'; TRACERES; PUSHLIT '3'; TRACERES; LOOPTO; "
        "PUSHLIT '1'; TRACERES; LOOPBY; LOOPINIT; JUMP @24; LOOPSTEP; LOOPTEST @38; LOOPBODY; "
        "PUSHVAR I; TRACERES; SAY; JUMP @23; LOOPCLOSE; END");
    EXPECT_EQ(
        compiled("do i = 1 for 2 to 3; end i"),
        "LOOPOPEN; LOOPVAR I; PUSHLIT '1'; TRACERES; PUSHLIT '2'; TRACERES; LOOPFOR; "
        "PUSHLIT '3'; TRACERES; LOOPTO; LOOPINIT; JUMP @24; LOOPSTEP; LOOPTEST @33; LOOPBODY; "
        "JUMP @23; LOOPCLOSE; END");
    EXPECT_EQ(compiled("do forever; leave; end"),
              "LOOPOPEN; PUSHNULL; LOOPFOR; JUMP @8; LOOPSTEP; LOOPTEST @21; LOOPBODY; JUMP @21; "
              "JUMP @7; LOOPCLOSE; END");
    // UNTIL is tested before the step, WHILE after the TO and FOR test.
    EXPECT_EQ(
        compiled("do until x; end"),
        "LOOPOPEN; JUMP @14; PUSHVAR X; TRACERES; JUMPT @23; LOOPSTEP; LOOPTEST @23; LOOPBODY; "
        "JUMP @5; LOOPCLOSE; END");
    EXPECT_EQ(
        compiled("do 2 while x; end"),
        "LOOPOPEN; PUSHLIT '2'; TRACERES; LOOPFOR; JUMP @11; LOOPSTEP; LOOPTEST @28; PUSHVAR X; "
        "TRACERES; JUMPF @28; LOOPBODY; JUMP @10; LOOPCLOSE; END");
    // LEAVE and ITERATE skip simple groups, and close the frames of inner loops they leave.
    EXPECT_EQ(
        compiled("do 3; do; iterate; end; end"),
        "LOOPOPEN; PUSHLIT '3'; TRACERES; LOOPFOR; JUMP @11; LOOPSTEP; LOOPTEST @24; LOOPBODY; "
        "JUMP @10; JUMP @10; LOOPCLOSE; END");
    EXPECT_EQ(
        compiled("do i = 1; do 2; leave i; end; end"),
        "LOOPOPEN; LOOPVAR I; PUSHLIT '1'; TRACERES; LOOPINIT; JUMP @14; LOOPSTEP; LOOPTEST "
        "@49; LOOPBODY; LOOPOPEN; PUSHLIT '2'; TRACERES; LOOPFOR; JUMP @30; LOOPSTEP; LOOPTEST "
        "@44; LOOPBODY; LOOPCLOSE; JUMP @49; JUMP @29; LOOPCLOSE; JUMP @13; LOOPCLOSE; END");
}

TEST(Compiler, Instructions) {
    struct Case {
        const char* source;
        const char* code;
    };
    for (Case c : {
             Case{"say", "PUSHNULL; SAY; END"},
             {"'dir' x", "PUSHLIT 'dir'; PUSHVAR X; BLANKCAT; TRACERES; COMMAND; END"},
             {"address", "ADDRSWAP; END"},
             {"address cmd", "PUSHLIT 'CMD'; ADDRSET; END"},
             {"address cmd 'dir'", "PUSHLIT 'CMD'; PUSHLIT 'dir'; TRACERES; ADDRCMD; END"},
             {"address value x", "PUSHVAR X; TRACERES; ADDRSET; END"},
             {"address (x)", "PUSHVAR X; TRACERES; ADDRSET; END"},
             {"arg a, b", "PARSEUPARG T0; END"},
             {"drop a (b) c.", "DROP A; DROPLIST B; DROP C.; END"},
             {"exit", "EXIT; END"},
             {"exit 1", "PUSHLIT '1'; TRACERES; EXITV; END"},
             {"interpret 'say 1'", "PUSHLIT 'say 1'; TRACERES; INTERPRET; END"},
             {"nop", "NOP; END"},
             {"numeric digits", "PUSHNULL; DIGITS; END"},
             {"numeric fuzz 2", "PUSHLIT '2'; TRACERES; FUZZ; END"},
             {"numeric form", "PUSHNULL; FORM; END"},
             {"numeric form engineering", "PUSHLIT 'ENGINEERING'; FORM; END"},
             {"numeric form 'SCIENTIFIC'", "PUSHLIT 'SCIENTIFIC'; FORM; END"},
             {"numeric form value f", "PUSHVAR F; TRACERES; FORM; END"},
             {"options", "END"},
             {"options 'x'", "PUSHLIT 'x'; TRACERES; OPTIONS; END"},
             {"parse upper arg x", "PARSEUPARG T0; END"},
             {"parse arg x", "PARSEARG T0; END"},
             {"parse var q a", "PUSHVAR Q; PARSE T0; END"},
             {"parse upper linein a", "LINEIN; PARSEUP T0; END"},
             {"parse external a", "LINEIN; PARSE T0; END"},
             {"parse numeric a", "PNUMERIC; PARSE T0; END"},
             {"parse pull a", "PULL; PARSE T0; END"},
             {"parse source a", "PSOURCE; PARSE T0; END"},
             {"parse version a", "PVERSION; PARSE T0; END"},
             {"parse value with a", "PUSHNULL; PARSE T0; END"},
             {"procedure", "PROCEDURE; END"},
             {"procedure expose x (y)", "PROCEDURE; EXPOSE X; EXPOSELIST Y; END"},
             {"pull a", "PULL; PARSEUP T0; END"},
             {"push; queue 1", "PUSHNULL; PUSH; PUSHLIT '1'; TRACERES; QUEUE; END"},
             {"return", "RETURN; END"},
             {"return 0", "PUSHLIT '0'; TRACERES; RETURNV; END"},
             {"signal value x", "PUSHVAR X; TRACERES; SIGNALVAL; END"},
             {"signal (x)", "PUSHVAR X; TRACERES; SIGNALVAL; END"},
             {"signal on error; signal off halt", "TRAP 1 2; TRAPOFF 3 2; END"},
             {"call on failure; call off error", "TRAP 2 1; TRAPOFF 1 1; END"},
             {"signal on syntax name s; s: nop", "TRAPNAME 6 2 @6; NOP; END"},
             {"call on notready name 'S'; S: nop", "TRAPNAME 4 1 @6; NOP; END"},
             {"signal s; s:", "SIGNAL @4; END"},
             {"trace", "PUSHNULL; TRACE; END"},
             {"trace ?r", "PUSHLIT '?R'; TRACE; END"},
             {"trace 'o'", "PUSHLIT 'o'; TRACERES; TRACE; END"},
             {"trace -1", "PUSHLIT '1'; NEG; TRACERES; TRACE; END"},
             {"trace value x", "PUSHVAR X; TRACERES; TRACE; END"},
             {"upper a b", "UPPER A; UPPER B; END"},
         })
        EXPECT_EQ(compiled(c.source), c.code) << c.source;
}

TEST(Compiler, LabelsAreTracedWhenTracingIsPermitted) {
    Translation t("a: nop; a: nop", kModeInitial | kModeTracePermitted);
    ASSERT_EQ(t.compile(), 0);
    EXPECT_EQ(listing(t.program()), "LABEL; NOP; LABEL; NOP; END");
    // The first of two equal labels is the one entered.
    ASSERT_EQ(t.program().labels.size(), 1u);
    EXPECT_STREQ(t.program().labels[0].name, "A");
    EXPECT_EQ(t.program().labels[0].offset, 0u);
}

TEST(Compiler, Templates) {
    Translation t("parse value 'a' with x 2 y '=' z +(w) -3 =(v) . , q (p)");
    ASSERT_EQ(t.compile(), 0);
    Program& p = t.program();
    ASSERT_EQ(p.code[4], kOpParse);
    std::uint32_t index = p.code[5] | (p.code[6] << 8);
    auto sym = [&](const char* n) {
        for (std::size_t i = 0; i < p.symbols.size(); ++i)
            if (name_of_symbol(p, static_cast<std::uint32_t>(i)) == n)
                return static_cast<unsigned>(i);
        return 9999u;
    };
    auto lit = [&](const char* n) { return literal_index(p, n); };
    std::vector<unsigned> expect = {
        10, 2,        1, sym("X"),  // x 2 (a position in digits is kept in the template)
        1,  lit("="), 1, sym("Y"),  // y '='
        7,  sym("W"), 1, sym("Z"),  // z +(w)
        12, 3,        0,            // -3
        6,  sym("V"), 0,            // =(v)
        9,  0,        1, 65535,     // . ,
        2,  sym("P"), 1, sym("Q"),  // q (p)
        9,  0,        0,
    };
    EXPECT_EQ(template_words(p, index), expect);

    // Other positions stay literals: fractions, exponents, values of 65536 and more, six digits.
    Translation f("parse value 'a' with 1.0 +1e1 -65536 =000001");
    ASSERT_EQ(f.compile(), 0);
    Program& fp = f.program();
    auto flit = [&](const char* n) { return literal_index(fp, n); };
    std::vector<unsigned> fexpect = {
        3, flit("1.0"), 0, 4, flit("1E1"), 0, 5, flit("65536"), 0, 3, flit("000001"), 0, 9, 0, 0,
    };
    EXPECT_EQ(template_words(fp, fp.code[5] | (fp.code[6] << 8)), fexpect);

    // Equal templates share one literal.
    Translation t2("parse arg a b; arg a b; parse pull a b");
    ASSERT_EQ(t2.compile(), 0);
    EXPECT_EQ(listing(t2.program()), "PARSEARG T0; PARSEUPARG T0; PULL; PARSE T0; END");

    for (const char* bad : {"parse arg a +", "parse arg a (b", "parse arg a ( 'b' )", "parse arg )",
                            "parse arg a + b", "parse arg a *", "parse arg (1)"})
        EXPECT_EQ(compiled(bad), "error 38") << bad;
}

TEST(Compiler, StatementTable) {
    Translation t("say 1\nif a then\n  nop", kModeInitial);
    ASSERT_EQ(t.compile(), 0);
    const auto& s = t.program().statements;
    ASSERT_EQ(s.size(), 4u);
    auto row = [](const StatementEntry& e) {
        return std::vector<unsigned>{e.first_line,  e.last_line, e.first_column,
                                     e.last_column, e.offset,    e.type};
    };
    EXPECT_EQ(row(s[0]), (std::vector<unsigned>{1, 1, 0, 4, 0, 27}));
    EXPECT_EQ(row(s[1]), (std::vector<unsigned>{2, 2, 0, 3, 5, 11}));
    EXPECT_EQ(row(s[2]), (std::vector<unsigned>{2, 2, 5, 8, 13, 30}));
    EXPECT_EQ(row(s[3]), (std::vector<unsigned>{3, 3, 2, 4, 13, 16}));
    EXPECT_EQ(t.program().source_lines, 3u);

    Translation none("say 1");
    ASSERT_EQ(none.compile(), 0);
    EXPECT_TRUE(none.program().statements.empty());
}

struct ErrorCase {
    const char* source;
    int error;
    unsigned line;
};

void expect_errors(std::initializer_list<ErrorCase> cases) {
    for (const ErrorCase& c : cases) {
        Translation t(c.source);
        EXPECT_EQ(t.compile(), c.error) << c.source;
        EXPECT_EQ(t.instance().translate_line, c.line) << c.source;
    }
}

TEST(CompilerErrors, StructureOfIfSelectAndDo) {
    expect_errors({
        {"nop\nselect\nsay 1\nend", 7, 3},
        {"select\nend", 7, 2},
        {"select\notherwise\nend", 7, 2},
        {"nop\nthen", 8, 2},
        {"nop\nelse", 8, 2},
        {"if a then\nelse\nelse", 8, 3},
        {"do\nthen\nend", 8, 2},
        {"nop\nwhen a", 9, 2},
        {"otherwise", 9, 1},
        {"select; when a then nop; otherwise; when b then nop; end", 9, 1},
        {"nop\nend", 10, 2},
        {"do i = 1 to 3\nend j", 10, 2},
        {"do\nend j", 10, 2},
        {"if a then\nend", 10, 2},
        {"do\nsay 1", 14, 2},
        {"if a then", 14, 1},
        {"if a then nop; else", 14, 1},
        {"select\nwhen 1 then nop", 14, 2},
        {"if a\nsay 1", 18, 2},
        {"select\nwhen a\nnop\nend", 18, 3},
        {"if a then\nif b then\nnop\nelse\nnop\nelse\nnop\nelse", 8, 8},
    });
    std::string deep;
    for (int i = 0; i < 100; ++i) deep += "do\n";
    for (int i = 0; i < 100; ++i) deep += "end\n";
    EXPECT_EQ(compiled(deep).substr(0, 3), "END");
    EXPECT_EQ(compiled("do\n" + deep + "end"), "error 11");
}

TEST(CompilerErrors, Instructions) {
    expect_errors({
        {"nop\ncall", 19, 2},
        {"call +", 19, 1},
        {"signal", 19, 1},
        {"drop", 20, 1},
        {"drop 1", 20, 1},
        {"drop ('a')", 20, 1},
        {"numeric", 20, 1},
        {"numeric(x)", 20, 1},
        {"parse", 20, 1},
        {"parse 'x'", 20, 1},
        {"parse var", 20, 1},
        {"parse upper", 20, 1},
        {"call on", 20, 1},
        {"signal off 'error'", 20, 1},
        {"do; end 1", 20, 1},
        {"do 2; leave 'x'; end", 20, 1},
        {"upper 'a'", 20, 1},
        {"upper", 20, 1},
        {"procedure expose", 20, 1},
        {"signal on error name", 20, 1},
        {"select x", 21, 1},
        {"nop x", 21, 1},
        {"do i=1; end i j", 21, 1},
        {"do i=1; leave i j; end", 21, 1},
        {"select; when 1 then nop; end x", 21, 1},
        {"signal foo bar", 21, 1},
        {"trace off x", 21, 1},
        {"numeric form scientific x", 21, 1},
        {"call on error x", 21, 1},
        {"signal off error name x", 21, 1},
        {"numeric foo", 25, 1},
        {"numeric form foo", 25, 1},
        {"parse foo", 25, 1},
        {"procedure foo", 25, 1},
        {"call on foo", 25, 1},
        {"call on syntax", 25, 1},
        {"call on novalue", 25, 1},
        {"do i = 1 to 3 to 4; end", 27, 1},
        {"do i = 1 by 1 for 2 by 3; end", 27, 1},
        {"do i = to 3; end", 27, 1},
        {"do i = 1 to; end", 27, 1},
        {"do while; end", 27, 1},
        {"do until; end", 27, 1},
        {"do while a until b; end", 27, 1},
        {"do while a to b; end", 27, 1},
        {"leave", 28, 1},
        {"do; leave; end", 28, 1},
        {"do i = 1; iterate j; end", 28, 1},
        {"upper a.", 32, 1},
        {"1 = 2", 31, 1},
        {"do 1 = 1; end", 31, 1},
        {"interpret", 33, 1},
        {"address value", 33, 1},
        {"signal value", 33, 1},
        {"trace value", 33, 1},
        {"numeric form value", 33, 1},
        {"if", 34, 1},
        {"select; when; end", 34, 1},
        {"drop (a", 46, 1},
        {"drop (a b)", 46, 1},
        {"parse value x", 38, 1},
    });
}

TEST(CompilerErrors, Expressions) {
    expect_errors({
        {"nop\nx =", 35, 2},
        {"say 1 +", 35, 1},
        {"say ()", 35, 1},
        {"say *", 35, 1},
        {"say a:b", 35, 1},
        {"say 3(4)", 35, 1},
        {"say (1, 2)", 35, 1},
        {"do i == 1; end", 35, 1},
        {"say (1", 36, 1},
        {"say f(1", 36, 1},
        {"say ((1)", 36, 1},
        {"say 1)", 37, 1},
        {"say 1, 2", 37, 1},
        {"call foo 1)", 37, 1},
    });
}

TEST(CompilerErrors, MissingLabelIsReportedAtTheReference) {
    DiagnosticCapture cap;
    Translation t("nop\nsignal nowhere\nnop\ncall nowhere");
    EXPECT_EQ(t.compile(), 16);
    ASSERT_EQ(cap.lines().size(), 2u);
    EXPECT_EQ(cap.lines()[0], "Error 16 on line 2 of test.rex: Label not found");
    EXPECT_EQ(cap.lines()[1], "signal nowhere");
    // A CALL to a name that is no label is an external routine, not an error.
    EXPECT_EQ(compiled("call nowhere"), "CALLEXT 0 'NOWHERE'; END");
    EXPECT_EQ(compiled("signal on error name nowhere"), "error 16");
}

TEST(CompilerErrors, MessageForm) {
    DiagnosticCapture cap;
    Translation t("say 1\r\n  say (1\r\nsay 3");
    EXPECT_EQ(t.compile(), 36);
    ASSERT_EQ(cap.lines().size(), 2u);
    EXPECT_EQ(cap.lines()[0], "Error 36 on line 2 of test.rex: Unmatched \"(\" in expression");
    EXPECT_EQ(cap.lines()[1], "  say (1");
    // The line text is not left behind after the translation.
    EXPECT_EQ(t.instance().line_text, nullptr);
}

// ---- INTERPRET text ----------------------------------------------------------------------------

class Interpret : public ::testing::Test {
  protected:
    void SetUp() override {
        Translation t("exit\nfoo: return");
        ASSERT_EQ(t.compile(), 0);
        // Keep the program beyond the translating run.
        program_ = make_program();
        for (const Value& v : t.program().literals) program_->literals.push_back(copy_value(v));
        for (const SymbolEntry& s : t.program().symbols) {
            SymbolEntry e = s;
            e.name = copy_value(s.name);
            program_->symbols.push_back(e);
        }
        program_->labels = t.program().labels;
        program_->code = t.program().code;
    }
    RexxVector<std::uint8_t> code_;
    int run(const std::string& text, std::size_t room = 40) {
        ScopedRun run;
        return error_of([&] {
            code_ = translate_interpret(&run.instance(), *program_, text.data(), text.size(),
                                        program_->literals.size() + room,
                                        program_->symbols.size() + room);
        });
    }
    std::string code() { return listing(*program_, code_); }
    ProgramPtr program_;
};

TEST_F(Interpret, CompilesAgainstTheProgram) {
    int length = builtin_code("LENGTH", 6);
    ASSERT_EQ(run("call foo; signal foo; call length 'x'; call bar"), 0);
    EXPECT_EQ(code(), "CALLINT 0 @1; SIGNAL @1; PUSHLIT 'x'; CALLBIF 1 #" + std::to_string(length) +
                          "; CALLEXT 0 'BAR'; INTEREND");
    // Labels are ignored; jumps are offsets in the block.
    ASSERT_EQ(run("here: do 2; nop; end"), 0);
    EXPECT_EQ(
        code(),
        "LOOPOPEN; PUSHLIT '2'; TRACERES; LOOPFOR; JUMP @11; LOOPSTEP; LOOPTEST @21; LOOPBODY; "
        "NOP; JUMP @10; LOOPCLOSE; INTEREND");
    EXPECT_EQ(program_->labels.size(), 1u);
}

TEST_F(Interpret, ErrorsLeaveTheTablesAsTheyWere) {
    std::size_t literals = program_->literals.size();
    std::size_t symbols = program_->symbols.size();
    EXPECT_EQ(run("x = 'new'; signal nowhere"), 16);
    EXPECT_EQ(run("say 'new' newvar; do"), 14);
    EXPECT_EQ(run("say 1,"), 37);
    EXPECT_EQ(run("say a\nb"), 13);
    EXPECT_EQ(program_->literals.size(), literals);
    EXPECT_EQ(program_->symbols.size(), symbols);
    // Added entries stay when the translation succeeds.
    ASSERT_EQ(run("x = 'new'"), 0);
    EXPECT_EQ(program_->literals.size(), literals + 1);
}

TEST_F(Interpret, Limits) {
    DiagnosticCapture cap;
    std::string many;
    for (int i = 0; i < 41; ++i) many += "say " + std::to_string(1000 + i) + ";";
    EXPECT_EQ(run(many), 5);
    ASSERT_FALSE(cap.lines().empty());
    EXPECT_EQ(cap.lines()[0], "Memory full: literal");
    cap.clear();
    EXPECT_EQ(run("a1=1;a2=1;a3=1", 2), 5);
    EXPECT_EQ(cap.lines()[0], "Memory full: symbol");
    // More than 10000 bytes of code.
    std::string big;
    for (int i = 0; i < 1999; ++i) big += "say 1;";
    cap.clear();
    EXPECT_EQ(run(big), 0);
    EXPECT_EQ(code_.size(), 9996u);
    EXPECT_EQ(run(big + "say 1"), 5);
    ASSERT_FALSE(cap.lines().empty());
    EXPECT_EQ(cap.lines()[0], "Memory full: object code");
    // Longer than a source line may be.
    std::string wide = "say 1 /*" + std::string(3000, ' ') + "*/";
    EXPECT_EQ(run(wide), 0);
}

TEST(RexxStartTranslation, ErrorReturnsTheNegatedNumber) {
    DiagnosticCapture cap;
    std::string source = "say 1\nselect\nsay 2\nend\n";
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], source.data(), source.size());
    MAKERXSTRING(instore[1], nullptr, 0);
    SHORT retc = 0;
    EXPECT_EQ(
        RexxStart(0, nullptr, "bad.rex", instore, nullptr, RXCOMMAND, nullptr, &retc, nullptr), -7);
    ASSERT_GE(cap.lines().size(), 2u);
    EXPECT_EQ(cap.lines()[0], "Error 7 on line 3 of bad.rex: WHEN or OTHERWISE expected");
    EXPECT_EQ(cap.lines()[1], "say 2");
}

}  // namespace
}  // namespace ketra::test
