// The variable pool through the interpreter's ports: simple, stem and compound variables,
// stem defaults, DROP, PROCEDURE and EXPOSE, tail substitution and its limit, the symbol
// cache across scopes, access by name; and PARSE templates run against strings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

// A run with a hand-made program: symbols and literals are added as a test needs them.
class PoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        run_.instance().program = make_program();
        prog_ = run_.instance().program.get();
        for (const char* n : {"RC", "RESULT", "SIGL"}) sym(n);
        top_ = Activation{};
        vars_open_program(&top_);
    }
    void TearDown() override {
        vars_close(&top_);
        run_.instance().program.reset();
    }

    // The symbol index of a name (entered on first use); compound symbols get a tail
    // descriptor made from their parts like the translator makes it.
    std::uint16_t sym(const std::string& name) {
        for (std::size_t i = 0; i < prog_->symbols.size(); ++i)
            if (std::string(chars_of(prog_->symbols[i].name), prog_->symbols[i].name.length) ==
                name)
                return static_cast<std::uint16_t>(i);
        SymbolEntry e{};
        e.name = make_value(name.data(), name.size(), true);
        std::size_t dot = name.find('.');
        e.kind = dot == std::string::npos     ? kSymbolSimple
                 : dot + 1 == name.size()    ? kSymbolStem
                                             : kSymbolCompound;
        std::size_t index = prog_->symbols.size();
        prog_->symbols.push_back(e);
        if (e.kind == kSymbolCompound) {
            std::string d;
            auto item = [&](int kind, std::uint16_t idx) {
                d += static_cast<char>(kind);
                d += static_cast<char>(idx & 0xFF);
                d += static_cast<char>(idx >> 8);
            };
            item(3, sym(name.substr(0, dot + 1)));
            std::size_t i = dot + 1;
            while (true) {
                std::size_t j = name.find('.', i);
                std::string part = name.substr(i, j == std::string::npos ? j : j - i);
                if (part.empty() || (part[0] >= '0' && part[0] <= '9'))
                    item(2, lit(part));
                else
                    item(3, sym(part));
                if (j == std::string::npos) break;
                i = j + 1;
            }
            prog_->symbols[index].tail = lit(d);
        }
        return static_cast<std::uint16_t>(index);
    }
    std::uint16_t lit(const std::string& bytes) {
        prog_->literals.push_back(make_value(bytes.data(), bytes.size(), true));
        return static_cast<std::uint16_t>(prog_->literals.size() - 1);
    }
    std::uint16_t tmpl(const std::vector<std::uint16_t>& words) {
        std::string b;
        for (std::uint16_t w : words) {
            b += static_cast<char>(w & 0xFF);
            b += static_cast<char>(w >> 8);
        }
        return lit(b);
    }

    void set(const std::string& name, const std::string& value, Activation* a = nullptr) {
        var_store(a ? a : &top_, sym(name), make_value(value.data(), value.size(), true));
    }
    // The value, or "<unset:NAME>" with the name the pool reports.
    std::string get(const std::string& name, Activation* a = nullptr) {
        Value v;
        bool found = var_fetch(a ? a : &top_, sym(name), v);
        NumberBuffer b;
        std::string s(view_of(v, b));
        release(v);
        return found ? s : "<unset:" + s + ">";
    }

    ScopedRun run_;
    Program* prog_ = nullptr;
    Activation top_{};
};

TEST_F(PoolTest, SimpleVariablesStoreFetchDrop) {
    EXPECT_EQ(get("X"), "<unset:X>");
    set("X", "hello world, a long value");
    EXPECT_EQ(get("X"), "hello world, a long value");
    set("X", "12");
    EXPECT_EQ(get("X"), "12");
    var_drop(&top_, sym("X"));
    EXPECT_EQ(get("X"), "<unset:X>");
    ASSERT_EQ(var_slot(&top_, sym("X")), nullptr);
    set("Y", "abc");
    ASSERT_NE(var_slot(&top_, sym("Y")), nullptr);
}

TEST_F(PoolTest, StemDefaultsAndDrop) {
    set("A.", "0");
    EXPECT_EQ(get("A.7"), "0");
    set("A.7", "seven");
    EXPECT_EQ(get("A.7"), "seven");
    var_drop(&top_, sym("A.7"));
    EXPECT_EQ(get("A.7"), "<unset:A.7>");  // dropped on its own: no default
    set("A.", "new");                       // assigning the stem resets every compound
    EXPECT_EQ(get("A.7"), "new");
    var_drop(&top_, sym("A."));
    EXPECT_EQ(get("A.7"), "<unset:A.7>");
    EXPECT_EQ(get("A."), "<unset:A.>");
}

TEST_F(PoolTest, TailSubstitution) {
    set("I", "3");
    set("A.I", "x");
    EXPECT_EQ(get("A.3"), "x");
    var_drop(&top_, sym("I"));
    set("A.I", "y");
    EXPECT_EQ(get("A.3"), "x");
    Value v;
    ResolvedName n;
    ASSERT_TRUE(resolve_direct_name("A.I", n));
    ASSERT_TRUE(fetch_by_name(top_.scope, n, v));
    EXPECT_EQ(std::string(chars_of(v), v.length), "y");
    release(v);
    set("J", "k");
    set("B.I.J", "two");  // I unset: its name; J: its value
    ASSERT_TRUE(resolve_direct_name("B.I.k", n));
    ASSERT_TRUE(fetch_by_name(top_.scope, n, v));
    release(v);
    EXPECT_EQ(get("B.1.2"), "<unset:B.1.2>");
}

TEST_F(PoolTest, DerivedNameOver250CharactersIsError30) {
    set("T", std::string(248, 'x'));
    set("U", "1");
    EXPECT_EQ(error_of([&] { get("S.T"); }), 0);  // "S." + 248 = 250
    EXPECT_EQ(error_of([&] { get("SS.T"); }), 30);
    EXPECT_EQ(error_of([&] { get("S.T.U"); }), 30);
}

TEST_F(PoolTest, ProcedureGivesNewPoolsAndExposeLinks) {
    set("X", "outer");
    set("Y", "outer y");
    set("S.", "d");
    set("S.1", "one");
    set("K", "1");
    set("C.1", "c one");
    set("C.2", "c two");
    Activation callee{};
    callee.caller = &top_;
    callee.scope = top_.scope;
    EXPECT_EQ(get("X", &callee), "outer");  // shared before PROCEDURE (and cached)
    var_procedure(&callee);
    EXPECT_EQ(get("X", &callee), "<unset:X>");  // the cache does not leak across scopes
    var_expose(&callee, sym("Y"));
    var_expose(&callee, sym("S."));
    var_expose(&callee, sym("K"));
    var_expose(&callee, sym("C.K"));
    EXPECT_EQ(get("Y", &callee), "outer y");
    EXPECT_EQ(get("S.1", &callee), "one");
    EXPECT_EQ(get("S.99", &callee), "d");
    EXPECT_EQ(get("C.1", &callee), "c one");
    EXPECT_EQ(get("C.2", &callee), "<unset:C.2>");  // only C.1 was exposed
    set("Y", "changed", &callee);
    set("S.2", "two", &callee);
    set("X", "local", &callee);
    set("C.1", "c changed", &callee);
    vars_close(&callee);
    EXPECT_EQ(get("Y"), "changed");
    EXPECT_EQ(get("S.2"), "two");
    EXPECT_EQ(get("X"), "outer");
    EXPECT_EQ(get("C.1"), "c changed");
}

TEST_F(PoolTest, ExposeOfAMissingVariableCreatesItUnset) {
    Activation callee{};
    callee.caller = &top_;
    callee.scope = top_.scope;
    var_procedure(&callee);
    var_expose(&callee, sym("NEWVAR"));
    set("NEWVAR", "made inside", &callee);
    vars_close(&callee);
    EXPECT_EQ(get("NEWVAR"), "made inside");
}

TEST_F(PoolTest, ExposeAndDropLists) {
    set("LIST", "P q R.");
    set("P", "p");
    set("Q", "q");
    set("R.5", "r5");
    Activation callee{};
    callee.caller = &top_;
    callee.scope = top_.scope;
    var_procedure(&callee);
    var_expose_list(&callee, sym("LIST"));
    EXPECT_EQ(get("LIST", &callee), "P q R.");
    EXPECT_EQ(get("P", &callee), "p");
    EXPECT_EQ(get("Q", &callee), "q");  // names are folded to upper case
    EXPECT_EQ(get("R.5", &callee), "r5");
    vars_close(&callee);
    var_drop_list(&top_, sym("LIST"));
    EXPECT_EQ(get("P"), "<unset:P>");
    EXPECT_EQ(get("R.5"), "<unset:R.5>");
    EXPECT_EQ(get("LIST"), "P q R.");
}

TEST(NameValidation, DirectAndSymbolicNames) {
    ResolvedName n;
    EXPECT_FALSE(resolve_direct_name("a", n));
    EXPECT_FALSE(resolve_direct_name("", n));
    EXPECT_FALSE(resolve_direct_name("1A", n));
    EXPECT_FALSE(resolve_direct_name(".A", n));
    EXPECT_FALSE(resolve_direct_name("A-B", n));
    EXPECT_FALSE(resolve_direct_name(std::string(251, 'A'), n));
    ASSERT_TRUE(resolve_direct_name("AB.c d", n));  // the tail is used unchanged
    EXPECT_EQ(n.kind, kNameCompound);
    EXPECT_EQ(n.stem, "AB.");
    EXPECT_EQ(n.tail, "c d");
    ASSERT_TRUE(resolve_direct_name("AB.", n));
    EXPECT_EQ(n.kind, kNameStem);
    ASSERT_TRUE(resolve_symbolic_name(nullptr, "abc", n));
    EXPECT_EQ(n.kind, kNameSimple);
    EXPECT_EQ(n.stem, "ABC");
    EXPECT_FALSE(resolve_symbolic_name(nullptr, "a b", n));
    std::string embedded("A\0B", 3);
    EXPECT_FALSE(resolve_direct_name(embedded, n));
    EXPECT_FALSE(resolve_symbolic_name(nullptr, embedded, n));
}

// ---- PARSE --------------------------------------------------------------------------------

class ParseTest : public PoolTest {
protected:
    void parse(const std::string& text, const std::vector<std::uint16_t>& words,
               bool upper = false) {
        Value v = make_value(text.data(), text.size(), true);
        parse_string(&top_, tmpl(words), v, upper);
        release(v);
    }
    static constexpr std::uint16_t kEnd = 9;
};

TEST_F(ParseTest, WordSplitting) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    parse("a b c d", {kEnd, 0, 3, x, y, z});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    EXPECT_EQ(get("Z"), "c d");
    parse("  a  b ", {kEnd, 0, 2, x, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), " b ");
    parse("a b", {kEnd, 0, 2, 65535, y});
    EXPECT_EQ(get("Y"), "b");
    parse("  whole  ", {kEnd, 0, 1, x});
    EXPECT_EQ(get("X"), "  whole  ");
    parse("", {kEnd, 0, 2, x, y});
    EXPECT_EQ(get("X"), "");
    EXPECT_EQ(get("Y"), "");
}

TEST_F(ParseTest, PositionalPatterns) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    parse("abc", {3, lit("2"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "bc");
    parse("abcdef", {3, lit("3"), 0, 4, lit("2"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "cd");
    EXPECT_EQ(get("Y"), "ef");
    parse("abcdef", {3, lit("4"), 1, x, 3, lit("2"), 1, y, kEnd, 0, 1, z});
    EXPECT_EQ(get("X"), "abc");
    EXPECT_EQ(get("Y"), "def");
    EXPECT_EQ(get("Z"), "bcdef");
    parse("x", {5, lit("1"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "x");
    EXPECT_EQ(get("Y"), "x");
    EXPECT_EQ(error_of([&] { parse("abc", {3, lit("-1"), 1, x, kEnd, 0, 0}); }), 26);
    EXPECT_EQ(error_of([&] { parse("abc", {3, lit("1.5"), 1, x, kEnd, 0, 0}); }), 26);
    set("P", "2");
    parse("abcd", {6, sym("P"), 1, x, kEnd, 0, 1, y});  // =(P)
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "bcd");
}

TEST_F(ParseTest, StringPatterns) {
    std::uint16_t k = sym("KEY"), v = sym("VAL"), x = sym("X"), y = sym("Y");
    parse("k=v", {1, lit("="), 1, k, kEnd, 0, 1, v});
    EXPECT_EQ(get("KEY"), "k");
    EXPECT_EQ(get("VAL"), "v");
    parse("kv", {1, lit("="), 1, k, kEnd, 0, 1, v});
    EXPECT_EQ(get("KEY"), "kv");
    EXPECT_EQ(get("VAL"), "");
    parse("ab,cd", {1, lit(","), 1, x, kEnd, 0, 1, y}, true);
    EXPECT_EQ(get("X"), "AB");
    EXPECT_EQ(get("Y"), "CD");
    set("SEP", ":");
    parse("a:b", {2, sym("SEP"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    parse("ab", {1, lit(""), 1, x, kEnd, 0, 1, y});  // an empty pattern never matches
    EXPECT_EQ(get("X"), "ab");
    EXPECT_EQ(get("Y"), "");
}

TEST_F(ParseTest, ParsingAVariableIntoItself) {
    set("S", "first and the rest of a long line");
    std::uint16_t s = sym("S"), w = sym("W");
    Value src;
    ASSERT_TRUE(var_fetch(&top_, s, src));
    parse_string(&top_, tmpl({kEnd, 0, 2, w, s}), src, false);
    release(src);
    EXPECT_EQ(get("W"), "first");
    EXPECT_EQ(get("S"), "and the rest of a long line");
}

TEST_F(ParseTest, ArgumentsWithSeveralTemplates) {
    std::uint16_t a = sym("A"), b = sym("B");
    Value args[1] = {make_value("one two", 7, true)};
    top_.args = args;
    top_.argc = 1;
    parse_args(&top_, tmpl({kEnd, 0, 1, a, kEnd, 0, 1, b}), true);
    EXPECT_EQ(get("A"), "ONE TWO");
    EXPECT_EQ(get("B"), "");
    release(args[0]);
    top_.args = nullptr;
    top_.argc = 0;
}

}  // namespace
}  // namespace ketra::test
