// The scanner: tokens and clauses, comments, strings, hexadecimal and binary strings, the THEN
// rule, continuation, the first-line rules, interning, and every scan-time limit and error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rexx/translate/scanner.h"
#include "translate_support.h"

namespace ketra::test {
namespace {

// Scans a whole source and renders each clause as its tokens joined by "|" (a blank token is
// "_"; bytes outside printable ASCII as \xNN), prefixed by the clause type.
class Scan {
  public:
    explicit Scan(std::string source) : t_(std::move(source)), program_(make_program()) {
        start_scanner(s_, &t_.instance(), program_.get());
    }
    ~Scan() { finish_scanner(s_); }

    std::vector<std::string> clauses() {
        std::vector<std::string> out;
        for (;;) {
            scan_clause(s_);
            if (s_.end_of_source) break;
            out.push_back(render());
        }
        return out;
    }
    int error() {
        return error_of([&] { clauses(); });
    }
    Scanner& scanner() { return s_; }
    Program& program() { return *program_; }
    ExecInstance& instance() { return t_.instance(); }

  private:
    std::string render() {
        std::string r = std::to_string(s_.clause_type ? s_.clause_type : clause_type_of(s_)) + ":";
        for (std::uint32_t i = 0; i < s_.token_count; ++i) {
            if (i) r += '|';
            const Token& tk = s_.tokens[i];
            if (tk.type == kTokBlank) {
                r += '_';
                continue;
            }
            for (std::size_t k = 0; k < tk.length; ++k) {
                unsigned char ch = static_cast<unsigned char>(token_text(s_, i)[k]);
                if (ch >= 32 && ch < 127) {
                    r += static_cast<char>(ch);
                } else {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", ch);
                    r += hex;
                }
            }
        }
        return r;
    }

    Translation t_;
    ProgramPtr program_;
    Scanner s_;
};

using V = std::vector<std::string>;

TEST(Scanner, TokensOfSimpleClauses) {
    EXPECT_EQ(Scan("SAY 'it''s'").clauses(), V{"27:SAY|_|'it's'|;"});
    EXPECT_EQ(Scan("say a;b = 2").clauses(), (V{"27:SAY|_|A|;", "3:B|=|2|;"}));
    // Lower case folds in symbols, never in strings.
    EXPECT_EQ(Scan("x.y = \"Ab\"").clauses(), V{"3:X.Y|=|\"Ab\"|;"});
    // Blanks around operators vanish; operator characters separated by blanks join.
    EXPECT_EQ(Scan("x = a > = b").clauses(), V{"3:X|=|A|>=|B|;"});
    EXPECT_EQ(Scan("x = a ^= b ~ c").clauses(), V{"3:X|=|A|\\=|B|\\|C|;"});
    EXPECT_EQ(Scan("x = a \xAA= b").clauses(), V{"3:X|=|A|\\=|B|;"});
    // + and - are single tokens; a blank before "(" stays, one after ")" is kept.
    EXPECT_EQ(Scan("x=-+1").clauses(), V{"3:X|=|-|+|1|;"});
    EXPECT_EQ(Scan("x = f (a) b").clauses(), V{"3:X|=|F|_|(|A|)|_|B|;"});
    EXPECT_EQ(Scan("x = f( a , b )").clauses(), V{"3:X|=|F|(|A|,|B|)|;"});
    // Runs of blanks (tabs too) give one blank token.
    EXPECT_EQ(Scan("say a \t  b").clauses(), V{"27:SAY|_|A|_|B|;"});
}

TEST(Scanner, Numbers) {
    EXPECT_EQ(Scan("x = 1E+5 + 1.2.3 .5e-2 12abc").clauses(),
              V{"3:X|=|1E+5|+|1.2.3|_|.5E-2|_|12ABC|;"});
    Scan s("x = 1E+5 + 2");
    s.clauses();
    // Symbols that begin with a digit or a point are constant symbols.
    EXPECT_EQ(s.scanner().tokens[2].type, kTokConstant);
    Scan s2("x = 1.2.3");
    s2.clauses();
    EXPECT_EQ(s2.scanner().tokens[2].type, kTokConstant);
    Scan s3("x = a.b");
    s3.clauses();
    EXPECT_EQ(s3.scanner().tokens[2].type, kTokSymbol);
}

TEST(Scanner, Comments) {
    EXPECT_EQ(Scan("/* a /* nested */ comment */ SAY 1").clauses(), V{"27:SAY|_|1|;"});
    EXPECT_EQ(Scan("say a/**/b").clauses(), V{"27:SAY|_|A|B|;"});
    EXPECT_EQ(Scan("say a/**/ b").clauses(), V{"27:SAY|_|A|_|B|;"});
    EXPECT_EQ(Scan("say a /* x */ b").clauses(), V{"27:SAY|_|A|_|B|;"});
    // A comment may span lines, and lines of only comments make no clause.
    EXPECT_EQ(Scan("/* one\n two */\n\n say 1 /* x\n */ 2").clauses(), V{"27:SAY|_|1|_|2|;"});
    Scan open("say 1 /* not closed\n");
    EXPECT_EQ(open.error(), 6);
    EXPECT_EQ(open.instance().translate_line, 1u);
}

TEST(Scanner, StringsMayNotSpanLines) {
    Scan s("x = 1\nsay 'abc\nsay 2");
    EXPECT_EQ(s.error(), 6);
    EXPECT_EQ(s.instance().translate_line, 2u);
}

TEST(Scanner, HexadecimalAndBinaryStrings) {
    EXPECT_EQ(Scan("x = '41 42'X").clauses(), V{"3:X|=|'AB'|;"});
    EXPECT_EQ(Scan("x = '1 0100'B").clauses(), V{"3:X|=|'\\x14'|;"});
    EXPECT_EQ(Scan("x = \"f\"x \"101\"b ''x").clauses(), V{"3:X|=|\"\\x0F\"|_|\"\\x05\"|_|''|;"});
    EXPECT_EQ(Scan("x = '123'x").clauses(), V{"3:X|=|'\\x01#'|;"});
    EXPECT_EQ(Scan("x = '1 00000001'b").clauses(), V{"3:X|=|'\\x01\\x01'|;"});
    // A symbol character after the X: the string abuts the symbol X1.
    EXPECT_EQ(Scan("x = 'abc'X1").clauses(), V{"3:X|=|'abc'|X1|;"});
    for (const char* bad :
         {"x = ' 41'x", "x = '41 'x", "x = '4 142'x", "x = '4g'x", "x = '12'b", "x = '1 101'b"})
        EXPECT_EQ(Scan(bad).error(), 15) << bad;
    EXPECT_EQ(Scan("x = '4 14 2f'x").error(), 0);
}

TEST(Scanner, ThenElseAndOtherwiseEndClauses) {
    EXPECT_EQ(Scan("IF a THEN SAY 1").clauses(), (V{"11:IF|_|A|;", "30:THEN|;", "27:SAY|_|1|;"}));
    EXPECT_EQ(Scan("ELSE NOP").clauses(), (V{"7:ELSE|;", "16:NOP|;"}));
    EXPECT_EQ(Scan("when x=1 then nop").clauses(),
              (V{"33:WHEN|_|X|=|1|;", "30:THEN|;", "16:NOP|;"}));
    EXPECT_EQ(Scan("otherwise say 1").clauses(), (V{"20:OTHERWISE|;", "27:SAY|_|1|;"}));
    EXPECT_EQ(Scan("if a then\nsay 2").clauses(), (V{"11:IF|_|A|;", "30:THEN|;", "27:SAY|_|2|;"}));
    // THEN is a keyword only in IF and WHEN clauses.
    EXPECT_EQ(Scan("say a then b").clauses(), V{"27:SAY|_|A|_|THEN|_|B|;"});
}

TEST(Scanner, LabelsAndAssignments) {
    EXPECT_EQ(Scan("here: say 1").clauses(), (V{"14:HERE|:", "27:SAY|_|1|;"}));
    EXPECT_EQ(Scan("here : nop").clauses(), (V{"14:HERE|:", "16:NOP|;"}));
    EXPECT_EQ(Scan("say = 1").clauses(), V{"3:SAY|=|1|;"});
    EXPECT_EQ(Scan("'x': nop").error(), 35);
    EXPECT_EQ(Scan("a == 1").error(), 35);
    EXPECT_EQ(Scan("a =< 1").error(), 35);
}

TEST(Scanner, Continuation) {
    EXPECT_EQ(Scan("say 'a',\n'b'").clauses(), V{"27:SAY|_|'a'|_|'b'|;"});
    EXPECT_EQ(Scan("say f(x),\n  y").clauses(), V{"27:SAY|_|F|(|X|)|_|Y|;"});
    // After an operator the comma just goes.
    EXPECT_EQ(Scan("say 1 +,\n 2").clauses(), V{"27:SAY|_|1|+|2|;"});
    EXPECT_EQ(Scan("say 1 ,   /* c */\n 2").clauses(), V{"27:SAY|_|1|_|2|;"});
    Scan last("say 1\nsay 2,");
    EXPECT_EQ(last.error(), 37);
    EXPECT_EQ(last.instance().translate_line, 2u);
}

TEST(Scanner, FirstLineRules) {
    EXPECT_EQ(Scan("  EXTPROC rexx prog\nsay 1").clauses(), V{"27:SAY|_|1|;"});
    EXPECT_EQ(Scan("say 1\n  EXTPROC rexx prog").clauses(),
              (V{"27:SAY|_|1|;", "10:EXTPROC|_|REXX|_|PROG|;"}));
    EXPECT_EQ(Scan("#!/usr/bin/ketra\nsay 1").clauses(), V{"27:SAY|_|1|;"});
    // Lines end at a line feed; a carriage return before it is no part of the line.
    EXPECT_EQ(Scan("say 1\r\nsay 2\r\n").clauses(), (V{"27:SAY|_|1|;", "27:SAY|_|2|;"}));
}

TEST(Scanner, InvalidCharacters) {
    for (const char* bad : {"say [1]", "say a{", "say \x01", "say `x`", "say \x7F"}) {
        Scan s(std::string("nop\n") + bad);
        EXPECT_EQ(s.error(), 13) << bad;
        EXPECT_EQ(s.instance().translate_line, 2u);
    }
    // Inside strings and comments anything goes.
    EXPECT_EQ(Scan("say '[{\x01}]' /* [] \x7F */").error(), 0);
}

TEST(Scanner, LineLimits) {
    std::string ok = "say 1 /*" + std::string(1014, ' ') + "*/";
    ASSERT_EQ(ok.size(), 1024u);
    EXPECT_EQ(Scan(ok + "\r\n").error(), 0);
    Scan longer("nop\n" + std::string(1025, 'a') + "\r\nnop");
    EXPECT_EQ(longer.error(), 51);
    EXPECT_EQ(longer.instance().translate_line, 2u);

    std::string lines(65535, '\n');
    EXPECT_EQ(Scan(lines + "nop").error(), 52);
    EXPECT_EQ(Scan(lines).error(), 0);
}

TEST(Scanner, ClauseLimits) {
    std::string name(250, 'a');
    EXPECT_EQ(Scan("say " + name).error(), 0);
    EXPECT_EQ(Scan("say " + name + "a").error(), 30);
    // A string token counts its quotes.
    EXPECT_EQ(Scan("say '" + std::string(248, 'x') + "'").error(), 0);
    EXPECT_EQ(Scan("say '" + std::string(249, 'x') + "'").error(), 30);

    // 1000 tokens at most: "say" and 499 blank-name pairs give 999, the ";" makes 1000.
    std::string many = "say";
    for (int i = 0; i < 499; ++i) many += " a";
    EXPECT_EQ(Scan(many).error(), 0);
    EXPECT_EQ(Scan(many + " a").error(), 12);

    // More than 10000 bytes over continued lines.
    std::string big = "say";
    std::string word(200, 'w');
    for (int line = 0; line < 13; ++line) {
        for (int k = 0; k < 4; ++k) big += " " + word;
        big += ",\n";
    }
    big += "x";
    EXPECT_EQ(Scan(big).error(), 12);
}

TEST(Scanner, InterningTables) {
    Scan s("a = 'x' 'x' 1 b.c.d.1 b. 1");
    s.clauses();
    const Program& p = s.program();
    ASSERT_GE(p.symbols.size(), 3u);
    EXPECT_EQ(name_of_symbol(p, 0), "RC");
    EXPECT_EQ(name_of_symbol(p, 1), "RESULT");
    EXPECT_EQ(name_of_symbol(p, 2), "SIGL");
    // Literals are not interned by the scanner; the compiler does it.
    EXPECT_TRUE(p.literals.empty());

    Scanner& sc = s.scanner();
    EXPECT_EQ(intern_literal(sc, "x", 1), 0);
    EXPECT_EQ(intern_literal(sc, "xy", 2), 1);
    EXPECT_EQ(intern_literal(sc, "x", 1), 0);
    EXPECT_EQ(intern_symbol(sc, "A", 1), 3);
    EXPECT_EQ(intern_symbol(sc, "A", 1), 3);
    EXPECT_EQ(p.symbols[3].kind, kSymbolSimple);
    std::uint16_t stem = intern_symbol(sc, "B.", 2);
    EXPECT_EQ(p.symbols[stem].kind, kSymbolStem);

    // A compound symbol: its tail descriptor names the stem, then each part: a variable part
    // by its symbol, a part that begins with a digit (or is empty) by a literal.
    std::uint16_t cd = intern_symbol(sc, "B.C..1", 6);
    const SymbolEntry& e = p.symbols[cd];
    EXPECT_EQ(e.kind, kSymbolCompound);
    ASSERT_LT(e.tail, p.literals.size());
    NumberBuffer buf;
    std::string_view d = view_of(p.literals[e.tail], buf);
    ASSERT_EQ(d.size(), 12u);
    auto item = [&](int k, int kind, std::string text) {
        EXPECT_EQ(static_cast<unsigned char>(d[3 * k]), kind);
        unsigned idx = static_cast<unsigned char>(d[3 * k + 1]) |
                       (static_cast<unsigned char>(d[3 * k + 2]) << 8);
        if (kind == 3)
            EXPECT_EQ(name_of_symbol(p, idx), text);
        else
            EXPECT_EQ(quoted(p.literals[idx]), "'" + text + "'");
    };
    item(0, 3, "B.");
    item(1, 3, "C");
    item(2, 2, "");
    item(3, 2, "1");

    // More than 9 tail parts: no descriptor.
    std::uint16_t deep = intern_symbol(sc, "S.1.2.3.4.5.6.7.8.9.10", 22);
    EXPECT_EQ(p.symbols[deep].tail, kTailTooMany);
    std::uint16_t nine = intern_symbol(sc, "S.1.2.3.4.5.6.7.8.9", 19);
    EXPECT_NE(p.symbols[nine].tail, kTailTooMany);
}

TEST(Scanner, TableLimit) {
    // Lines of "x=<n> <n+1>" for distinct numbers fill the literal table.
    auto numbers = [](int count) {
        std::string src;
        for (int i = 0; i < count; i += 2) {
            src += "x=" + std::to_string(i);
            if (i + 1 < count) src += " " + std::to_string(i + 1);
            src += "\n";
        }
        return src;
    };
    Translation t(numbers(65536));
    EXPECT_EQ(t.compile(), 53);
    Translation t2(numbers(65535));
    EXPECT_EQ(t2.compile(), 0);
    EXPECT_EQ(t2.program().literals.size(), 65535u);
}

TEST(Scanner, ClausePositions) {
    Scan s("  say 1,\n   2\n");
    s.scanner();
    scan_clause(s.scanner());
    EXPECT_EQ(s.scanner().clause_line, 1u);
    EXPECT_EQ(s.scanner().clause_column, 2u);
    EXPECT_EQ(s.scanner().last_line, 2u);
    EXPECT_EQ(s.scanner().last_column, 3u);
}

}  // namespace
}  // namespace ketra::test
