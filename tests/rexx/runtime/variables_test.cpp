// The variable pool through the interpreter's ports: simple, stem and compound variables,
// stem defaults, DROP, PROCEDURE and EXPOSE, tail substitution and its limit, the symbol
// cache across scopes and across a wrap of the scope ids, access by name, enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "rexx/host/testing_hooks.h"
#include "rexx/runtime/variables.h"
#include "rexx/runtime/variables_test_fixture.h"

namespace ketra::test {
namespace {

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

// A stored whole number is kept in integer form, exactly when the classification calls the
// string whole; everything else keeps its characters and classifies as it would unstored.
TEST_F(PoolTest, StoredValuesKeepIntegerFormExactlyForWholeNumbers) {
    const char* cases[] = {"0",         "-0",        "7",          "-7",         "07",        "-07",
                           "10",        "123456789", "-123456789", "1234567890", "999999999", "1e3",
                           "1.0",       " 1",        "1 ",         "+1",         "-",         "abc",
                           "x1",        ".5",        "-.5",        "\xff",       "9a",        "- 1",
                           "12345678a", "\t1"};
    for (const char* c : cases) {
        set("X", c);
        const Value* slot = var_slot(&top_, sym("X"));
        ASSERT_NE(slot, nullptr) << c;
        const std::uint8_t expect = classify_chars(c, std::strlen(c));
        EXPECT_EQ(is_integer_form(*slot), (expect & kWhole) != 0) << c;
        EXPECT_EQ(classification(*slot), expect) << c;
        EXPECT_EQ(get("X"), c);
    }
}

TEST_F(PoolTest, StemDefaultsAndDrop) {
    set("A.", "0");
    EXPECT_EQ(get("A.7"), "0");
    set("A.7", "seven");
    EXPECT_EQ(get("A.7"), "seven");
    var_drop(&top_, sym("A.7"));
    EXPECT_EQ(get("A.7"), "<unset:A.7>");  // dropped on its own: no default
    set("A.", "new");                      // assigning the stem resets every compound
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

TEST_F(PoolTest, WholeNumberTailsAreTheirDecimalForm) {
    // A tail variable in integer form is written as its string: the same compound as the
    // name spelt out, at every digit count and sign, and error 30 just past 250 characters.
    std::uint16_t i = sym("I"), a = sym("A.I");
    for (std::int32_t k :
         {0, 1, -1, 9, 10, -10, 99, 100, 12345, 99999999, 100000000, 999999999, -999999999}) {
        var_store(&top_, i, make_integer(k));
        var_store(&top_, a, make_value("v" + std::to_string(k), true));
        EXPECT_EQ(get("A." + std::to_string(k)), "v" + std::to_string(k));
        EXPECT_EQ(get_sym(a), "v" + std::to_string(k));
    }
    std::string stem(240, 'S');
    std::uint16_t s = sym(stem + ".I");
    var_store(&top_, i, make_integer(-99999999));  // "S...S." + 9 = 250
    EXPECT_EQ(error_of([&] { var_store(&top_, s, make_integer(1)); }), 0);
    var_store(&top_, i, make_integer(-999999999));  // 251
    EXPECT_EQ(error_of([&] { var_store(&top_, s, make_integer(1)); }), 30);
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

TEST_F(PoolTest, WholeValuesAreKeptExactly) {
    set("N", "12");
    Value* slot = var_slot(&top_, sym("N"));
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(is_integer_form(*slot));  // whole values are stored in integer form
    set("Z", "012");                      // not integer syntax: kept as written
    EXPECT_EQ(get("Z"), "012");
    set("M", "-0");
    EXPECT_EQ(get("M"), "-0");
    set("E", "");
    EXPECT_EQ(get("E"), "");  // the empty string is a value, not "unset"
}

TEST_F(PoolTest, CompoundTailsAreExactStrings) {
    set("I", "");
    set("A.I", "empty tail");  // A. followed by an empty tail: a compound, not the stem
    EXPECT_EQ(get("A."), "<unset:A.>");
    set("I", "x y");
    set("A.I", "blank");
    set("J", "X Y");
    EXPECT_EQ(get("A.J"), "<unset:A.X Y>");  // tails compare exactly, case included
    var_drop(&top_, sym("I"));
    set("A.I", "unset tail");
    ResolvedName n;
    Value v;
    ASSERT_TRUE(resolve_direct_name("A.", n));
    EXPECT_FALSE(fetch_by_name(top_.scope, n, v));
    release(v);
    ASSERT_TRUE(resolve_direct_name("A.x y", n));
    ASSERT_TRUE(fetch_by_name(top_.scope, n, v));
    EXPECT_EQ(std::string(chars_of(v), v.length), "blank");
    release(v);
    // Stem A. with tail "" (the first compound set above) versus a name of stem "A." only.
    set("I", "");
    EXPECT_EQ(get("A.I"), "empty tail");
}

TEST_F(PoolTest, CompoundWithMoreThanNineTailParts) {
    const std::string name = "T.A.B.C.D.E.F.G.H.I.J";  // 10 parts: no descriptor
    std::uint16_t s = sym(name);
    ASSERT_EQ(prog_->symbols[s].tail, kTailTooMany);
    set("A", "1");
    set("J", "last");
    set_sym(s, "deep");
    ResolvedName n;
    Value v;
    ASSERT_TRUE(resolve_direct_name("T.1.B.C.D.E.F.G.H.I.last", n));
    ASSERT_TRUE(fetch_by_name(top_.scope, n, v));
    EXPECT_EQ(std::string(chars_of(v), v.length), "deep");
    release(v);
    EXPECT_EQ(get_sym(s), "deep");
    set("T.", "default");
    EXPECT_EQ(get_sym(s), "default");
    set("J", std::string(240, 'j'));
    EXPECT_REXX_ERROR(get_sym(s), 30);
}

TEST_F(PoolTest, FailedStoresLeaveNothingBehind) {
    // The value belongs to the pool from the call on: when the derived name is too long it is
    // freed (the sanitizer build reports a leak otherwise) and nothing is assigned.
    set("T", std::string(260, 't'));
    EXPECT_REXX_ERROR(set("S.T", std::string(100, 'v')), 30);
    set("T", "1");
    EXPECT_EQ(get("S.T"), "<unset:S.1>");
    // No memory for a new node: error 5, the tree and the value survive.
    std::uint16_t fresh = sym("NEWNAME_LONGER");
    Value v = make_value(std::string(50, 'n'), true);
    testing::fail_allocations_after(0);
    int rc = error_of([&] { var_store(&top_, fresh, v); });
    testing::fail_allocations_after(-1);
    EXPECT_EQ(rc, 5);
    EXPECT_EQ(get("NEWNAME_LONGER"), "<unset:NEWNAME_LONGER>");
    EXPECT_EQ(get("T"), "1");
}

TEST_F(PoolTest, DropListThatNamesItself) {
    // The list variable is dropped while its words are still being read.
    set("LIST", "A LIST B.1 a_rather_long_name");
    set("A", "a");
    set("B.1", "b1");
    set("A_RATHER_LONG_NAME", "long");
    var_drop_list(&top_, sym("LIST"));
    EXPECT_EQ(get("A"), "<unset:A>");
    EXPECT_EQ(get("LIST"), "<unset:LIST>");
    EXPECT_EQ(get("B.1"), "<unset:B.1>");
    EXPECT_EQ(get("A_RATHER_LONG_NAME"), "<unset:A_RATHER_LONG_NAME>");
    set("BAD", "X Y-Z");
    set("X", "x");
    EXPECT_REXX_ERROR(var_drop_list(&top_, sym("BAD")), 46);
    set("LONG", std::string(251, 'L'));
    EXPECT_REXX_ERROR(var_drop_list(&top_, sym("LONG")), 30);
}

TEST_F(PoolTest, ExposedCompoundTailsUseTheNewActivationsValues) {
    set("I", "1");
    set("A.1", "a one");
    set("A.I", "caller A.I");  // A.1 again
    Activation c = callee();
    var_procedure(&c);
    // EXPOSE A.I I: I is not exposed yet, so A.I names the caller's A.I (not A.1).
    set("A.I", "by name", &top_);
    var_drop(&top_, sym("I"));
    set("A.I", "A.I itself");
    set("I", "1");
    var_expose(&c, sym("A.I"));
    var_expose(&c, sym("I"));
    EXPECT_EQ(get("A.1", &c), "<unset:A.1>");  // not exposed
    set("I", "I", &c);                         // I is shared: the caller's I changes
    EXPECT_EQ(get("A.I", &c), "A.I itself");
    vars_close(&c);
    EXPECT_EQ(get("I"), "I");
}

TEST_F(PoolTest, ExposeChainsAndWholeStems) {
    set("X", "top x");
    set("S.1", "s1");
    Activation c1 = callee();
    var_procedure(&c1);
    var_expose(&c1, sym("X"));
    var_expose(&c1, sym("S.1"));
    var_expose(&c1, sym("S."));  // the whole stem after one of its compounds
    Activation c2 = callee(&c1);
    var_procedure(&c2);
    var_expose(&c2, sym("X"));  // an alias of an alias stands for the program's X
    var_expose(&c2, sym("S."));
    set("X", "from c2", &c2);
    set("S.2", "s2 from c2", &c2);
    EXPECT_EQ(get("S.1", &c2), "s1");
    vars_close(&c2);
    vars_close(&c1);
    EXPECT_EQ(get("X"), "from c2");
    EXPECT_EQ(get("S.2"), "s2 from c2");
    // A stem assigned in the callee resets the caller's compounds.
    Activation c3 = callee();
    var_procedure(&c3);
    var_expose(&c3, sym("S."));
    set("S.", "fresh", &c3);
    vars_close(&c3);
    EXPECT_EQ(get("S.1"), "fresh");
}

TEST_F(PoolTest, ACachedLocalVariableThatBecomesAnAliasIsFollowed) {
    set("X", "caller");
    Activation c = callee();
    var_procedure(&c);
    std::uint16_t first = sym("X");
    std::uint16_t second = new_sym("X");  // a second entry of the same name
    set_sym(first, "local", &c);          // cached in the first entry
    var_expose(&c, second);               // the local node becomes an alias
    EXPECT_EQ(get_sym(first, &c), "caller");
    set_sym(first, "through the alias", &c);
    vars_close(&c);
    EXPECT_EQ(get("X"), "through the alias");
}

TEST_F(PoolTest, ScopeIdsThatWrapNeverMatchALiveScope) {
    // The program's scope (made first, with the smallest id) and a procedure's scope both
    // live across the wrap of the counter; a scope made after it must not take a live
    // scope's id, nor see the nodes cached under it.
    vars_close(&top_);
    set_next_scope_id_for_testing(1);
    vars_open_program(&top_);
    set("X", "program");
    set_next_scope_id_for_testing(0xFFFFFFFF);
    Activation c1 = callee();
    var_procedure(&c1);  // the last id before the wrap
    set("X", "c1", &c1);
    Activation c2 = callee(&c1);
    var_procedure(&c2);  // the counter wraps here
    EXPECT_NE(c2.scope->id, top_.scope->id);
    EXPECT_NE(c2.scope->id, c1.scope->id);
    EXPECT_NE(top_.scope->id, c1.scope->id);
    EXPECT_EQ(get("X", &c2), "<unset:X>");
    set("X", "c2", &c2);
    EXPECT_EQ(get("X", &c1), "c1");
    EXPECT_EQ(get("X"), "program");
    vars_close(&c2);
    vars_close(&c1);
    for (int i = 0; i < 3; ++i) {  // fresh ids after the wrap stay clear of the program's
        Activation c = callee();
        var_procedure(&c);
        EXPECT_EQ(get("X", &c), "<unset:X>");
        vars_close(&c);
    }
    EXPECT_EQ(get("X"), "program");
}

TEST_F(PoolTest, CachedAndShortTailAccessNeedsNoMemory) {
    // A simple variable found through the cache and a compound with a short tail that exists
    // are fetched and stored without any allocation when the value is short.
    set("X", "x");
    set("I", "5");
    set("A.I", "a5");
    std::uint16_t x = sym("X"), a = sym("A.I");
    testing::fail_allocations_after(0);
    int rc = error_of([&] {
        for (int k = 0; k < 3; ++k) {
            Value v;
            EXPECT_TRUE(var_fetch(&top_, x, v));
            EXPECT_TRUE(var_fetch(&top_, a, v));
            var_store(&top_, x, make_value("short", 5, false));
            var_store(&top_, a, make_integer(k));
        }
    });
    testing::fail_allocations_after(-1);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(get("A.5"), "2");
}

TEST_F(PoolTest, EnumerationOrderAndCursor) {
    // Many variables inserted in random order come back by length, then bytes; simple
    // variables first, then each stem's compounds; dropped ones and stem defaults are left
    // out; variables dropped between steps do not upset the cursor.
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back("V" + std::to_string(i * 7919 % 1000));
    std::mt19937 rng(5);
    std::shuffle(names.begin(), names.end(), rng);
    ResolvedName n;
    for (const std::string& name : names) {
        ASSERT_TRUE(resolve_direct_name(name, n));
        store_by_name(top_.scope, n, make_value(name, true));
    }
    set("S.", "default");
    set("S.B", "sb");
    set("S.AA", "saa");
    set("R.\xff", "high byte");
    set("R.1", "r1");
    set("GONE", "x");
    var_drop(&top_, sym("GONE"));
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const char* c : {"R.1", "R.\xff", "S.B", "S.AA"}) expected.push_back(c);

    std::vector<std::string> seen;
    VarCursor cur;
    std::string_view stem, tail;
    const Value* value = nullptr;
    while (next_variable(top_.scope, cur, stem, tail, value)) {
        seen.push_back(std::string(stem) + std::string(tail));
        if (seen.size() == 10) {  // drop the next one and an earlier one mid-way
            ASSERT_TRUE(resolve_direct_name(expected[10], n));
            drop_by_name(top_.scope, n);
            ASSERT_TRUE(resolve_direct_name(expected[0], n));
            drop_by_name(top_.scope, n);
        }
    }
    expected.erase(expected.begin() + 10);
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(next_variable(top_.scope, cur, stem, tail, value));  // stays finished
}

TEST_F(PoolTest, ManyTailsSharingPrefixesKeepOrderAndAreFound) {
    // Tails that agree in their first 8 bytes and differ later, tails with high bytes, and runs
    // inserted in ascending order (every insertion rebalances the same edge of the tree).
    std::vector<std::string> tails;
    for (int i = 0; i < 2000; ++i) tails.push_back(std::to_string(i));
    for (int i = 0; i < 300; ++i) tails.push_back("PREFIX12" + std::to_string(i * 37 % 300));
    for (int i = 0; i < 64; ++i) tails.push_back(std::string(1, static_cast<char>(0xC0 + i)) + "x");
    for (int i = 0; i < 64; ++i)
        tails.push_back("\x01" + std::string(9, static_cast<char>(0x80 + i)));
    // Short tails of every length that differ in each one place by a low or a high byte.
    for (std::size_t len = 1; len <= 8; ++len)
        for (std::size_t at = 0; at < len; ++at)
            for (char c : {'\x02', '\xF0'}) {
                std::string t(len, 'm');
                t[at] = c;
                tails.push_back(t);
            }
    ResolvedName n;
    for (const std::string& t : tails) {
        ASSERT_TRUE(resolve_direct_name("T." + t, n));
        ValueHolder v(make_value("v" + t, true));  // the pool keeps a copy
        store_by_name(top_.scope, n, v.get());
    }
    for (const std::string& t : tails) {
        ASSERT_TRUE(resolve_direct_name("T." + t, n));
        Value v;
        ASSERT_TRUE(fetch_by_name(top_.scope, n, v)) << t;
        EXPECT_EQ(std::string(chars_of(v), v.length), "v" + t);
        release(v);
    }
    std::vector<std::string> expected = tails;
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;  // std::string: unsigned bytes
    });
    std::vector<std::string> seen;
    VarCursor cur;
    std::string_view stem, tail;
    const Value* value = nullptr;
    while (next_variable(top_.scope, cur, stem, tail, value)) seen.push_back(std::string(tail));
    EXPECT_EQ(seen, expected);
}

TEST_F(PoolTest, LargeStemsStayRightOnceTheirTailsAreIndexed) {
    // Fetches from a stem of many tails index them; later stores, updates, drops and misses
    // must agree with the tree, also across an assignment to the stem and when the index
    // cannot be had for want of memory.
    set("I", "0");
    std::uint16_t i = sym("I"), a = sym("A.I");
    auto store_tail = [&](int k, const std::string& v) {
        var_store(&top_, i, make_integer(k));
        var_store(&top_, a, make_value(v, true));
    };
    auto fetch_tail = [&](int k) {
        var_store(&top_, i, make_integer(k));
        return get_sym(a);
    };
    for (int round = 0; round < 2; ++round) {
        for (int k = 1; k <= 3000; ++k) store_tail(k, "v" + std::to_string(k));
        if (round == 1) testing::fail_allocations_after(0);  // no index: the tree alone
        for (int k = 1; k <= 3000; k += 7) ASSERT_EQ(fetch_tail(k), "v" + std::to_string(k));
        testing::fail_allocations_after(-1);
        for (int k = 2000; k <= 5000; ++k) store_tail(k, "w" + std::to_string(k));
        var_drop(&top_, a);  // A.5000
        EXPECT_EQ(fetch_tail(1999), "v1999");
        EXPECT_EQ(fetch_tail(4999), "w4999");
        EXPECT_EQ(fetch_tail(5000), "<unset:A.5000>");
        EXPECT_EQ(fetch_tail(6000), "<unset:A.6000>");
        EXPECT_EQ(get("A.0"), "<unset:A.0>");
        set("A.", "default");  // frees the tails and their index
        EXPECT_EQ(fetch_tail(2500), "default");
        store_tail(2500, "again");
        EXPECT_EQ(fetch_tail(2500), "again");
        var_drop(&top_, sym("A."));
    }
}

// Tails that are plain whole numbers are kept apart from the others; these tests hold that
// the split is invisible: a number and every string that merely looks like one are distinct
// variables, whichever way the tail is given, and enumeration merges both kinds in order.
std::string tail_of(VariableScope* scope, const std::string& name) {
    ResolvedName n;
    if (!resolve_direct_name(name, n)) return "<invalid>";
    Value v;
    bool found = fetch_by_name(scope, n, v);
    NumberBuffer b;
    std::string text(view_of(v, b));
    release(v);
    return found ? text : "<unset:" + text + ">";
}

std::vector<std::string> enumerated_tails(VariableScope* scope) {
    std::vector<std::string> seen;
    VarCursor cur;
    std::string_view stem, tail;
    const Value* value = nullptr;
    while (next_variable(scope, cur, stem, tail, value))
        if (!tail.empty()) seen.push_back(std::string(stem) + std::string(tail));
    return seen;
}

bool by_length_then_bytes(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

TEST_F(PoolTest, NumberTailsAndTheirLookalikesAreDistinct) {
    const char* tails[] = {"0",   "00",    "007", "7",          "-7",         "7.0",       "1e3",
                           "+7",  "1000",  " 7",  "7 ",         "123456789",  "1E3",       "-0",
                           "0.0", "12345", "1.",  "1234567890", "0123456789", "4294967303"};
    std::uint16_t i = sym("I"), a = sym("A.I");
    for (const char* t : tails) {
        set("I", t);  // a whole one is kept in integer form
        set_sym(a, std::string("v") + t);
    }
    std::vector<std::string> expected;
    for (const char* t : tails) {
        expected.push_back(std::string("A.") + t);
        EXPECT_EQ(tail_of(top_.scope, std::string("A.") + t), std::string("v") + t) << t;
        set("I", t);
        EXPECT_EQ(get_sym(a), std::string("v") + t) << t;
    }
    // The same variables through a tail variable in integer form and through literal tails.
    var_store(&top_, i, make_integer(7));
    EXPECT_EQ(get_sym(a), "v7");
    var_store(&top_, i, make_integer(-7));
    EXPECT_EQ(get_sym(a), "v-7");
    EXPECT_EQ(get("A.007"), "v007");
    EXPECT_EQ(get("A.1000"), "v1000");
    EXPECT_EQ(get("A.1E3"), "v1E3");
    // An unset number tail is named by its decimal form; 4294967303 does not wrap onto 7.
    var_store(&top_, i, make_integer(8));
    EXPECT_EQ(get_sym(a), "<unset:A.8>");
    EXPECT_EQ(tail_of(top_.scope, "A.4294967303"), "v4294967303");
    std::sort(expected.begin(), expected.end(), by_length_then_bytes);
    EXPECT_EQ(enumerated_tails(top_.scope), expected);
}

TEST_F(PoolTest, NumberTailsMergeWithOtherTailsInEnumeration) {
    // Number tails, other tails around them in the order, drops, stems of each kind alone,
    // and a tail added behind the cursor mid-way (the sorted view of the numbers is refreshed).
    std::uint16_t i = sym("I"), b = sym("B.I");
    std::vector<std::string> expected;
    for (int k = 0; k <= 600; k += 3) {
        var_store(&top_, i, make_integer(k));
        set_sym(b, "n");
        if (k % 5 == 0) {
            var_drop(&top_, b);
        } else {
            expected.push_back("B." + std::to_string(k));
        }
    }
    for (const char* t : {"A", "1A", "00", "9Z", "-1", "Z", "1000000000", "599x"}) {
        ResolvedName n;
        ASSERT_TRUE(resolve_direct_name(std::string("B.") + t, n));
        store_by_name(top_.scope, n, make_value("s", 1, false));
        expected.push_back(std::string("B.") + t);
    }
    set("C.5", "c");  // numbers only
    set("D.X", "d");  // no numbers
    for (const char* t : {"C.5", "D.X"}) expected.push_back(t);
    auto in_order = [](const std::string& x, const std::string& y) {
        if (x[0] != y[0]) return x[0] < y[0];  // stems B., C., D. in order
        return by_length_then_bytes(x, y);
    };
    std::sort(expected.begin(), expected.end(), in_order);
    EXPECT_EQ(enumerated_tails(top_.scope), expected);

    std::vector<std::string> visited;
    enumerate_variables(
        top_.scope,
        [](std::string_view stem, std::string_view tail, const Value&, void* out) {
            if (!tail.empty())
                static_cast<std::vector<std::string>*>(out)->push_back(std::string(stem) +
                                                                       std::string(tail));
            return true;
        },
        &visited);
    EXPECT_EQ(visited, expected);

    std::vector<std::string> seen;
    VarCursor cur;
    std::string_view stem, tail;
    const Value* value = nullptr;
    while (next_variable(top_.scope, cur, stem, tail, value)) {
        if (tail.empty()) continue;
        seen.push_back(std::string(stem) + std::string(tail));
        if (seen.size() == 5) {
            var_store(&top_, i, make_integer(602));
            set_sym(b, "late");
        }
    }
    expected.insert(std::upper_bound(expected.begin(), expected.end(), "B.602", in_order), "B.602");
    EXPECT_EQ(seen, expected);
}

TEST_F(PoolTest, NumberTailTableThatCannotGrowLeavesTheStemIntact) {
    std::uint16_t i = sym("I"), a = sym("A.I");
    int k = 0;
    int rc = 0;
    // Fill until a store needs memory the pool does not have (a bigger table or a node).
    for (; k < 100 && rc == 0; ++k) {
        var_store(&top_, i, make_integer(k));
        testing::fail_allocations_after(0);
        rc = error_of([&] { var_store(&top_, a, make_integer(k)); });
        testing::fail_allocations_after(-1);
    }
    ASSERT_EQ(rc, 5);
    const int failed = k - 1;
    for (int j = 0; j < failed; ++j) {
        var_store(&top_, i, make_integer(j));
        EXPECT_EQ(get_sym(a), std::to_string(j));
    }
    var_store(&top_, i, make_integer(failed));
    EXPECT_EQ(get_sym(a), "<unset:A." + std::to_string(failed) + ">");
    set_sym(a, "now");
    EXPECT_EQ(get_sym(a), "now");
    EXPECT_EQ(enumerated_tails(top_.scope).size(), static_cast<std::size_t>(failed + 1));
}

TEST_F(PoolTest, AccessByNameMatchesAccessBySymbol) {
    set("K", "7");
    ResolvedName n;
    ASSERT_TRUE(resolve_symbolic_name(top_.scope, "q.k", n));
    EXPECT_EQ(n.kind, kNameCompound);
    store_by_name(top_.scope, n, make_value("q seven", true));
    EXPECT_EQ(get("Q.7"), "q seven");
    ASSERT_TRUE(resolve_symbolic_name(top_.scope, "q.", n));
    store_by_name(top_.scope, n, make_value("qd", true));
    EXPECT_EQ(get("Q.7"), "qd");
    ASSERT_TRUE(resolve_direct_name("Q.7", n));
    drop_by_name(top_.scope, n);
    EXPECT_EQ(get("Q.7"), "<unset:Q.7>");
    EXPECT_EQ(get("Q.8"), "qd");
    ASSERT_TRUE(resolve_symbolic_name(top_.scope, "q.k.1x", n));  // digit parts stay literal
    EXPECT_EQ(std::string(n.stem) + std::string(n.tail), "Q.7.1X");
    set("T", std::string(248, 't'));
    EXPECT_TRUE(resolve_symbolic_name(top_.scope, "s.t", n));
    EXPECT_FALSE(resolve_symbolic_name(top_.scope, "ss.t", n));
}
}  // namespace
}  // namespace ketra::test
