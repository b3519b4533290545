// PARSE templates run against strings, with template literals written out word by word: word
// splitting, the three positions of every pattern kind, string patterns with and without
// UPPER, variable patterns, several comma-separated templates, PARSE ARG, malformed literals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rexx/runtime/parse.h"
#include "rexx/runtime/variables_test_fixture.h"

namespace ketra::test {
namespace {

class ParseTest : public PoolTest {
  protected:
    void parse(const std::string& text, const std::vector<std::uint16_t>& words,
               bool upper = false) {
        Value v = make_value(text.data(), text.size(), true);
        ValueHolder hold(v);
        parse_string(&top_, tmpl(words), hold.get(), upper);
    }
    // The same through the entry that takes the template as a value and checks its structure
    // (a running program's templates were checked when it was verified).
    void parse_checked(const std::string& text, const std::vector<std::uint16_t>& words) {
        Value v = make_value(text.data(), text.size(), true);
        ValueHolder hold(v);
        const std::uint16_t t = tmpl(words);
        parse_template(&top_, prog_->literals[t], hold.get(), false);
    }
    // Shorthands for the pattern kinds.
    static constexpr std::uint16_t kStr = kPatternString, kStrVar = kPatternStringVar,
                                   kAbs = kPatternAbsolute, kFwd = kPatternForward,
                                   kBack = kPatternBackward, kAbsVar = kPatternAbsoluteVar,
                                   kFwdVar = kPatternForwardVar, kBackVar = kPatternBackwardVar,
                                   kEnd = kPatternEnd, kDot = kPlaceholderTarget,
                                   kAbsNum = kPatternAbsoluteNumber,
                                   kFwdNum = kPatternForwardNumber,
                                   kBackNum = kPatternBackwardNumber;
};

TEST_F(ParseTest, WordSplitting) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    parse("a b c d", {kEnd, 0, 3, x, y, z});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    EXPECT_EQ(get("Z"), "c d");
    parse("  a  b ", {kEnd, 0, 2, x, y});  // one blank after a word is skipped, no more
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), " b ");
    parse("a b", {kEnd, 0, 2, kDot, y});
    EXPECT_EQ(get("Y"), "b");
    parse("a b c", {kEnd, 0, 2, x, kDot});  // the placeholder takes the rest
    EXPECT_EQ(get("X"), "a");
    parse("  whole  ", {kEnd, 0, 1, x});
    EXPECT_EQ(get("X"), "  whole  ");
    parse("", {kEnd, 0, 2, x, y});
    EXPECT_EQ(get("X"), "");
    EXPECT_EQ(get("Y"), "");
    parse("one", {kEnd, 0, 3, x, y, z});  // more targets than words
    EXPECT_EQ(get("X"), "one");
    EXPECT_EQ(get("Y"), "");
    EXPECT_EQ(get("Z"), "");
    parse("a\tb c", {kEnd, 0, 2, x, y});  // only the space character separates words
    EXPECT_EQ(get("X"), "a\tb");
    EXPECT_EQ(get("Y"), "c");
    parse("a b", {kEnd, 0, 0});  // no targets at all
    // Nothing is ever assigned to a variable named ".".
    Value v;
    ResolvedName n;
    ASSERT_TRUE(resolve_symbolic_name(top_.scope, "X", n));
    ASSERT_TRUE(fetch_by_name(top_.scope, n, v));
    release(v);
}

TEST_F(ParseTest, AbsolutePositions) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    parse("abc", {kAbs, lit("2"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "bc");
    // A position at or before the last one runs the piece to the end of the string.
    parse("abcdef", {kAbs, lit("4"), 1, x, kAbs, lit("2"), 1, y, kEnd, 0, 1, z});
    EXPECT_EQ(get("X"), "abc");
    EXPECT_EQ(get("Y"), "def");
    EXPECT_EQ(get("Z"), "bcdef");
    parse("abc", {kAbs, lit("0"), 1, x, kEnd, 0, 1, y});  // 0 counts as 1
    EXPECT_EQ(get("X"), "abc");
    EXPECT_EQ(get("Y"), "abc");
    parse("abc", {kAbs, lit("10"), 1, x, kAbs, lit("999999999"), 1, y, kEnd, 0, 1, z});
    EXPECT_EQ(get("X"), "abc");  // limited to the string
    EXPECT_EQ(get("Y"), "");     // from the cursor, now at the end
    EXPECT_EQ(get("Z"), "");
    set("P", "2");
    parse("abcd", {kAbsVar, sym("P"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "bcd");
}

TEST_F(ParseTest, RelativePositions) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    parse("abcdef", {kAbs, lit("3"), 0, kFwd, lit("2"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "cd");
    EXPECT_EQ(get("Y"), "ef");
    parse("x", {kBack, lit("1"), 1, x, kEnd, 0, 1, y});  // limited to 0: no error
    EXPECT_EQ(get("X"), "x");
    EXPECT_EQ(get("Y"), "x");
    // A relative piece starts at the last pattern's position, not at the cursor.
    parse("key=value", {kStr, lit("="), 1, x, kFwd, lit("1"), 1, y, kEnd, 0, 1, z});
    EXPECT_EQ(get("X"), "key");
    EXPECT_EQ(get("Y"), "=");
    EXPECT_EQ(get("Z"), "value");
    parse("abcdef", {kAbs, lit("5"), 0, kBack, lit("3"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "ef");  // back from 4 to 1: from 4 to the end of the string
    EXPECT_EQ(get("Y"), "bcdef");
    parse("abc", {kFwd, lit("0"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "abc");
    EXPECT_EQ(get("Y"), "abc");
    parse("abc", {kFwd, lit("999999999"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "abc");
    EXPECT_EQ(get("Y"), "");
    set("N", "2");
    parse("abcdef",
          {kFwdVar, sym("N"), 1, x, kFwdVar, sym("N"), 1, y, kBackVar, sym("N"), 0, kEnd, 0, 1, z});
    EXPECT_EQ(get("X"), "ab");
    EXPECT_EQ(get("Y"), "cd");
    EXPECT_EQ(get("Z"), "cdef");
}

TEST_F(ParseTest, PositionsKeptInTheTemplateActAsTheirLiterals) {
    std::uint16_t x = sym("X"), y = sym("Y"), z = sym("Z");
    const std::uint16_t number_kind[] = {kAbsNum, kFwdNum, kBackNum};
    const std::uint16_t literal_kind[] = {kAbs, kFwd, kBack};
    for (int k = 0; k < 3; ++k) {
        for (std::uint16_t pos : {0, 1, 3, 6, 7, 65535}) {
            std::string text = "abcdef";
            const std::string digits = std::to_string(pos);
            parse(text, {kAbs, lit("4"), 1, x, literal_kind[k], lit(digits.c_str()), 1, y, kEnd, 0,
                         1, z});
            const std::string want[] = {get("X"), get("Y"), get("Z")};
            parse(text, {kAbs, lit("4"), 1, x, number_kind[k], pos, 1, y, kEnd, 0, 1, z});
            EXPECT_EQ(get("X"), want[0]) << k << " " << pos;
            EXPECT_EQ(get("Y"), want[1]) << k << " " << pos;
            EXPECT_EQ(get("Z"), want[2]) << k << " " << pos;
        }
    }
    parse("abcdef", {kAbsNum, 3, 1, x, kFwdNum, 2, 1, y, kBackNum, 3, 1, z, kEnd, 0, 0});
    EXPECT_EQ(get("X"), "ab");
    EXPECT_EQ(get("Y"), "cd");
    EXPECT_EQ(get("Z"), "ef");  // a backward step runs the piece to the end
    EXPECT_REXX_ERROR(parse("abc", {13, 1, 1, x, kEnd, 0, 0}), 38);
}

TEST_F(ParseTest, PositionsMustBeNonNegativeWholeNumbers) {
    std::uint16_t x = sym("X");
    for (const char* bad : {"-1", "1.5", "abc", "", "1e10"})
        EXPECT_REXX_ERROR(parse("abc", {kAbs, lit(bad), 1, x, kEnd, 0, 0}), 26) << bad;
    EXPECT_REXX_ERROR(parse("abc", {kFwd, lit("-2"), 1, x, kEnd, 0, 0}), 26);
    set("P", "x");
    EXPECT_REXX_ERROR(parse("abc", {kBackVar, sym("P"), 1, x, kEnd, 0, 0}), 26);
    set("P", "2.0");  // a whole number in another form is accepted
    parse("abc", {kAbsVar, sym("P"), 1, x, kEnd, 0, 0});
    EXPECT_EQ(get("X"), "a");
}

TEST_F(ParseTest, StringPatterns) {
    std::uint16_t k = sym("KEY"), v = sym("VAL"), x = sym("X"), y = sym("Y");
    parse("k=v", {kStr, lit("="), 1, k, kEnd, 0, 1, v});
    EXPECT_EQ(get("KEY"), "k");
    EXPECT_EQ(get("VAL"), "v");
    parse("kv", {kStr, lit("="), 1, k, kEnd, 0, 1, v});
    EXPECT_EQ(get("KEY"), "kv");
    EXPECT_EQ(get("VAL"), "");
    parse("a,b,c", {kStr, lit(","), 1, x, kStr, lit(","), 1, y, kEnd, 0, 0});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    parse("ab", {kStr, lit(""), 1, x, kEnd, 0, 1, y});  // an empty pattern never matches
    EXPECT_EQ(get("X"), "ab");
    EXPECT_EQ(get("Y"), "");
    parse("abab", {kStr, lit("ab"), 1, x, kEnd, 0, 1, y});  // the first occurrence
    EXPECT_EQ(get("X"), "");
    EXPECT_EQ(get("Y"), "ab");
    parse("a-b", {kStr, lit("a-b-c"), 1, x, kEnd, 0, 1, y});  // longer than the string
    EXPECT_EQ(get("X"), "a-b");
    // A string pattern after a position searches from the cursor.
    parse("x.y.z", {kAbs, lit("3"), 0, kStr, lit("."), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "y");
    EXPECT_EQ(get("Y"), "z");
    // False starts before the match, a match that ends the string, a first character too
    // near the end for the rest to fit.
    parse("aab-aabc", {kStr, lit("abc"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "aab-a");
    EXPECT_EQ(get("Y"), "");
    parse("xyzab", {kStr, lit("abc"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "xyzab");
    parse("ab", {kStr, lit("b"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "");
    parse("a.b", {kAbs, lit("3"), 0, kStr, lit("."), 1, x, kEnd, 0, 1, y});  // none after it
    EXPECT_EQ(get("X"), "b");
}

// Strings on either side of the length from which the searches look at sixteen characters at
// a time, with the match or the blank at every place (near the end the last sixteen are read,
// and false starts come before the match): every kind of run finds what a plain search finds.
TEST_F(ParseTest, SearchesAtEveryLengthAndPlace) {
    std::uint16_t x = sym("X"), y = sym("Y"), sep = sym("SEP");
    const std::uint16_t pat = lit("<>"), one = lit("1");
    set("SEP", "<>");
    for (std::size_t len = 1; len <= 40; ++len) {
        for (std::size_t at = 0; at < len; ++at) {
            std::string s(len, '<');  // the pattern only where its second character is
            if (at + 1 < len) {
                s[at + 1] = '>';
                const std::string head = s.substr(0, at), tail = s.substr(at + 2);
                for (const auto& t : std::vector<std::vector<std::uint16_t>>{
                         {kStr, pat, 1, x, kEnd, 0, 1, y},                // string patterns only
                         {kAbs, one, 0, kStr, pat, 1, x, kEnd, 0, 1, y},  // with a position
                         {kStrVar, sep, 1, x, kEnd, 0, 1, y}}) {          // from a variable
                    parse(s, t);
                    EXPECT_EQ(get("X"), head) << s;
                    EXPECT_EQ(get("Y"), tail) << s;
                }
                parse(s, {kStr, pat, 1, x, kEnd, 0, 1, y}, true);
                EXPECT_EQ(get("X"), head) << s;
            }
            std::string w(len, 'w');  // one blank, at every place
            w[at] = ' ';
            const std::string first = at ? w.substr(0, at) : w.substr(1);
            const std::string rest = at ? w.substr(at + 1) : "";
            for (const auto& t : std::vector<std::vector<std::uint16_t>>{
                     {kEnd, 0, 2, x, y}, {kAbs, one, 0, kEnd, 0, 2, x, y}}) {
                parse(w, t);
                EXPECT_EQ(get("X"), first) << '[' << w << ']';
                EXPECT_EQ(get("Y"), rest) << '[' << w << ']';
            }
        }
    }
}

TEST_F(ParseTest, UpperFoldsTheStringNotThePattern) {
    std::uint16_t x = sym("X"), y = sym("Y");
    parse("ab,cd", {kStr, lit(","), 1, x, kEnd, 0, 1, y}, true);
    EXPECT_EQ(get("X"), "AB");
    EXPECT_EQ(get("Y"), "CD");
    parse("xAbY", {kStr, lit("AB"), 1, x, kEnd, 0, 1, y}, true);
    EXPECT_EQ(get("X"), "X");
    EXPECT_EQ(get("Y"), "Y");
    parse("xAbY", {kStr, lit("b"), 1, x, kEnd, 0, 1, y}, true);  // lower case never matches
    EXPECT_EQ(get("X"), "XABY");
    EXPECT_EQ(get("Y"), "");
    parse("\xe4q", {kEnd, 0, 1, x}, true);  // letters only; other bytes stay
    EXPECT_EQ(get("X"), "\xe4Q");
}

TEST_F(ParseTest, VariablePatterns) {
    std::uint16_t x = sym("X"), y = sym("Y"), sep = sym("SEP");
    set("SEP", ":");
    parse("a:b", {kStrVar, sep, 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    // The variable is read when its pattern is reached: an earlier target may set it.
    parse("/a/b", {kFwd, lit("1"), 1, sep, kStrVar, sep, 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("SEP"), "/");
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    // Without a value (and no NOVALUE trap, no interpreter) the name is the pattern.
    var_drop(&top_, sep);
    parse("aSEPb", {kStrVar, sep, 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "b");
    set("I", "2");
    set("D.2", "+");
    parse("1+2", {kStrVar, sym("D.I"), 1, x, kEnd, 0, 1, y});
    EXPECT_EQ(get("X"), "1");
    EXPECT_EQ(get("Y"), "2");
}

TEST_F(ParseTest, TargetsOfEveryKind) {
    set("I", "3");
    set("S.", "default");
    parse("one two three",
          {kEnd, 0, 3, sym("A.I"), sym("S."), sym("REST")});  // compound, stem, simple
    EXPECT_EQ(get("A.3"), "one");
    EXPECT_EQ(get("S.9"), "two");  // assigning the stem set the default
    EXPECT_EQ(get("REST"), "three");
    set("J", std::string(250, 'j'));
    EXPECT_REXX_ERROR(parse("x", {kEnd, 0, 1, sym("A.J")}), 30);
}

TEST_F(ParseTest, ParsingAVariableIntoItself) {
    set("S", "first and the rest of a long line");
    std::uint16_t s = sym("S"), w = sym("W");
    Value src;
    ASSERT_TRUE(var_fetch(&top_, s, src));
    ValueHolder hold(src);
    parse_string(&top_, tmpl({kEnd, 0, 2, w, s}), hold.get(), false);
    EXPECT_EQ(get("W"), "first");
    EXPECT_EQ(get("S"), "and the rest of a long line");
    // Through the value interface too, with the source assigned first.
    ASSERT_TRUE(var_fetch(&top_, s, src));
    parse_template(&top_, prog_->literals[tmpl({kEnd, 0, 2, s, w})], src, false);
    release(src);
    EXPECT_EQ(get("S"), "and");
    EXPECT_EQ(get("W"), "the rest of a long line");
}

// Each piece replaces the old value whatever their lengths (a long value is overwritten in
// place when the old one is about as long) and is kept in the form a plain store gives it.
TEST_F(ParseTest, PiecesReplaceValuesOfEveryLength) {
    std::uint16_t x = sym("X"), s = sym("S.A"), y = sym("Y");
    const std::vector<std::string> pieces = {
        "a long first value here", "a long first value", "shorter value", "12",
        "a value much longer than the one it replaces", "x", "-123456789", "1234567890", "0012",
        "lowercase words and more", "  17.5e3 ", "-0", "999999999", "123456789.5", "2024-09-25",
        "12:30", "1e5", "- 5", "7 ", "-x", "-", "5E-3", "3.",
        // short pieces of every number shape
        "0", "07", "-7", "-07", "98765432", "-9876543", "-0.5", ".5", "1.2.3", "12 ", "12  ", "0 n",
        "12 e5", "-1 2", " 12", "+5", "1,2", "12e", "1e+2", "12.3x", "-.", ".", "-1.5e2",
        // long ones written over others as long
        "2024-09-26", "123456789", "2024-09-27", "1234.56789", "12345e678", "2024-09-28",
        "1234 5678", "12345678 ", "1234567 9", "20240927", "12a"};
    for (const std::string& p : pieces) {
        for (std::uint16_t target : {x, s}) {
            parse(p, {kEnd, 0, 1, target});
            Value got;
            ASSERT_TRUE(var_fetch(&top_, target, got)) << p;
            ValueHolder hold(got);
            NumberBuffer b;
            EXPECT_EQ(std::string(view_of(got, b)), p);
            Value plain = make_value(p.data(), p.size(), true);
            ValueHolder plain_hold(plain);
            EXPECT_EQ(is_whole(got), is_whole(plain)) << p;
            EXPECT_EQ(is_number(got), is_number(plain)) << p;
            std::int32_t n1 = 0, n2 = 0;
            EXPECT_EQ(small_integer(got, n1), small_integer(plain, n2)) << p;
            EXPECT_EQ(n1, n2) << p;
        }
    }
    EXPECT_EQ(get("S.A"), "12a");
    // UPPER folds the letters a to z of a short piece and nothing else.
    parse("az{`@\xE9Z1", {kEnd, 0, 1, x}, true);
    EXPECT_EQ(get("X"), "AZ{`@\xE9Z1");
    parse("1e3", {kEnd, 0, 1, x}, true);
    EXPECT_EQ(get("X"), "1E3");
    const Value* folded = var_slot(&top_, x);
    ASSERT_NE(folded, nullptr);
    EXPECT_TRUE(is_number(*folded));
    // UPPER folds a piece written over the old characters too.
    parse("the first long line", {kEnd, 0, 1, x}, true);
    EXPECT_EQ(get("X"), "THE FIRST LONG LINE");
    parse("a second long one", {kEnd, 0, 1, x}, true);
    EXPECT_EQ(get("X"), "A SECOND LONG ONE");
    // A dropped variable gets its value back.
    parse("a first long value", {kEnd, 0, 1, y});
    var_drop(&top_, y);
    EXPECT_EQ(get("Y"), "<unset:Y>");
    parse("another long value", {kEnd, 0, 1, y});
    EXPECT_EQ(get("Y"), "another long value");
}

TEST_F(ParseTest, SeveralTemplatesAndArguments) {
    std::uint16_t a = sym("A"), b = sym("B"), c = sym("C");
    // PARSE VALUE with a comma: the second template parses an empty string.
    parse("x y", {kEnd, 0, 1, a, kEnd, 0, 1, b});
    EXPECT_EQ(get("A"), "x y");
    EXPECT_EQ(get("B"), "");

    Value args[3] = {make_value("one two", 7, true), kAbsentValue, make_integer(42)};
    top_.args = args;
    top_.argc = 3;
    parse_args(&top_, tmpl({kEnd, 0, 1, a, kEnd, 0, 1, b, kEnd, 0, 1, c}), true);
    EXPECT_EQ(get("A"), "ONE TWO");
    EXPECT_EQ(get("B"), "");  // an omitted argument parses as an empty string
    EXPECT_EQ(get("C"), "42");
    top_.argc = 1;  // ARG a, b with one argument leaves b empty
    set("B", "old");
    parse_args(&top_, tmpl({kEnd, 0, 1, a, kEnd, 0, 1, b}), false);
    EXPECT_EQ(get("A"), "one two");
    EXPECT_EQ(get("B"), "");
    top_.argc = 0;
    parse_args(&top_, tmpl({kEnd, 0, 2, a, b}), false);
    EXPECT_EQ(get("A"), "");
    EXPECT_EQ(get("B"), "");
    release(args[0]);
    top_.args = nullptr;
}

TEST_F(ParseTest, MalformedTemplateLiteralsRaise38) {
    std::uint16_t x = sym("X");
    EXPECT_REXX_ERROR(parse_checked("a", {kEnd, 0, 2, x}), 38);      // fewer targets than counted
    EXPECT_REXX_ERROR(parse_checked("a", {kStr, lit("a"), 0}), 38);  // no end group
    EXPECT_REXX_ERROR(parse_checked("a", {0, 0, 0}), 38);
    EXPECT_REXX_ERROR(parse_checked("a", {13, 0, 0}), 38);
    EXPECT_REXX_ERROR(parse_checked("a", {}), 38);
    EXPECT_REXX_ERROR(parse("a", {13, 0, 0}), 38);  // an unknown kind, even unchecked
}

TEST_F(ParseTest, FaultsAreMetWhereTheRunReachesThem) {
    std::uint16_t x = sym("X"), y = sym("Y");
    set("Y", "old");
    // A literal or symbol the program lacks raises 38 once the targets before it are stored.
    EXPECT_REXX_ERROR(parse_checked("ab", {kAbsNum, 2, 1, x, kStr, 60000, 1, y, kEnd, 0, 0}), 38);
    EXPECT_EQ(get("X"), "a");
    EXPECT_EQ(get("Y"), "old");
    EXPECT_REXX_ERROR(parse_checked("ab", {kEnd, 0, 1, 60000}), 38);
    EXPECT_REXX_ERROR(parse_checked("ab", {kEnd, 0, 2, y, 60000}), 38);
    EXPECT_EQ(get("Y"), "old");
    // A position literal that is not a whole number: 26, every time the template runs.
    const std::uint16_t t = tmpl({kAbsNum, 2, 1, x, kAbs, lit("1.5"), 1, y, kEnd, 0, 0});
    for (const char* text : {"abc", "xyz"}) {
        Value v = make_value(text, 3, true);
        ValueHolder hold(v);
        EXPECT_REXX_ERROR(parse_string(&top_, t, hold.get(), false), 26);
        EXPECT_EQ(get("X"), std::string(text, 1));
        EXPECT_EQ(get("Y"), "old");
    }
    // ARG with a template literal of no groups assigns nothing.
    top_.argc = 0;
    parse_args(&top_, tmpl({}), false);
    EXPECT_EQ(get("Y"), "old");
}

TEST_F(ParseTest, AKeptTemplateRunsOnEveryString) {
    std::uint16_t k = sym("K"), v = sym("V"), r = sym("R");
    const std::uint16_t t = tmpl({kStr, lit("="), 1, k, kEnd, 0, 2, v, r});
    const char* texts[] = {"a=1 2 3", "no pattern", "=x", "long key=long value and more"};
    const char* want[][3] = {{"a", "1", "2 3"},
                             {"no pattern", "", ""},
                             {"", "x", ""},
                             {"long key", "long", "value and more"}};
    for (int i = 0; i < 4; ++i) {
        Value s = make_value(texts[i], std::strlen(texts[i]), true);
        ValueHolder hold(s);
        parse_string(&top_, t, hold.get(), false);
        EXPECT_EQ(get("K"), want[i][0]) << texts[i];
        EXPECT_EQ(get("V"), want[i][1]) << texts[i];
        EXPECT_EQ(get("R"), want[i][2]) << texts[i];
    }
}

}  // namespace
}  // namespace ketra::test
