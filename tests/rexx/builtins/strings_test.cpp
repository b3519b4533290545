// The string functions: padding family, SUBSTR, COPIES, OVERLAY, INSERT, DELSTR, STRIP, the
// searches, COMPARE, ABBREV, the bit functions, TRANSLATE, XRANGE and case mapping.
#include <gtest/gtest.h>

#include "bif_test_support.h"

namespace ketra {
namespace {

using test::bif;
using test::bif_error;
using test::kOmit;

class StringsTest : public ::testing::Test {
  protected:
    test::ScopedRun run_;
};

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s.push_back(static_cast<char>(c));
    return s;
}

TEST_F(StringsTest, PaddingFamily) {
    EXPECT_EQ(bif("CENTER", {"abc", 8, "*"}), "**abc***");
    EXPECT_EQ(bif("CENTRE", {"abc", 8, "*"}), "**abc***");
    EXPECT_EQ(bif("CENTER", {"abcdefgh", 3}), "cde");
    EXPECT_EQ(bif("CENTER", {"abcd", 3}), "abc");
    EXPECT_EQ(bif("CENTER", {"abc", 4}), "abc ");
    EXPECT_EQ(bif("CENTER", {"", 3, "-"}), "---");
    EXPECT_EQ(bif("LEFT", {"abc", 0}), "");
    EXPECT_EQ(bif("RIGHT", {"abc", 0}), "");
    EXPECT_EQ(bif("LEFT", {"abc", 5}), "abc  ");
    EXPECT_EQ(bif("RIGHT", {"abc", 5, "0"}), "00abc");
    EXPECT_EQ(bif("RIGHT", {"abcdef", 2}), "ef");
    EXPECT_EQ(bif("LEFT", {"", 2}), "  ");
    EXPECT_EQ(bif_error("CENTER", {"abc"}), 40);
}

TEST_F(StringsTest, Substr) {
    EXPECT_EQ(bif("SUBSTR", {"abc", 5, 2, "."}), "..");
    EXPECT_EQ(bif("SUBSTR", {"abc", 2}), "bc");
    EXPECT_EQ(bif("SUBSTR", {"abc", 4}), "");
    EXPECT_EQ(bif("SUBSTR", {"abc", 3, 3}), "c  ");
    EXPECT_EQ(bif("SUBSTR", {"abc", 1, 0}), "");
    EXPECT_EQ(bif("SUBSTR", {"", 1}), "");
    // Arbitrary bytes, NUL included, pass through.
    EXPECT_EQ(bif("SUBSTR", {bytes({0, 1, 0, 2}), 2, 2}), bytes({1, 0}));
}

TEST_F(StringsTest, CopiesAndReverseAndLength) {
    EXPECT_EQ(bif("COPIES", {"ab", 3}), "ababab");
    EXPECT_EQ(bif("COPIES", {"x", 12}), "xxxxxxxxxxxx");
    EXPECT_EQ(bif("COPIES", {"", 999999999}), "");  // product 0: no limit problem
    EXPECT_EQ(bif("COPIES", {"abc", 7}).size(), 21u);
    EXPECT_EQ(bif("COPIES", {"abc", 7}).substr(18), "abc");
    EXPECT_EQ(bif("REVERSE", {"abc"}), "cba");
    EXPECT_EQ(bif("REVERSE", {""}), "");
    EXPECT_EQ(bif("LENGTH", {""}), "0");
    EXPECT_EQ(bif("LENGTH", {12345}), "5");
}

TEST_F(StringsTest, OverlayAndInsert) {
    EXPECT_EQ(bif("INSERT", {"abc", "de", 4}), "de  abc");
    EXPECT_EQ(bif("INSERT", {"123", "abc"}), "123abc");
    EXPECT_EQ(bif("INSERT", {"123", "abcdef", 2}), "ab123cdef");
    EXPECT_EQ(bif("INSERT", {"123", "abc", 1, 5, "."}), "a123..bc");
    EXPECT_EQ(bif("INSERT", {"123", "abc", 1, 1}), "a1bc");
    EXPECT_EQ(bif("INSERT", {"", ""}), "");
    EXPECT_EQ(bif("OVERLAY", {"X", "abc", 5}), "abc X");
    EXPECT_EQ(bif("OVERLAY", {"X", "abc"}), "Xbc");
    EXPECT_EQ(bif("OVERLAY", {"XY", "abcd", 2, 3, "-"}), "aXY-");
    EXPECT_EQ(bif("OVERLAY", {"XYZ", "abcdef", 2, 1}), "aXcdef");
    EXPECT_EQ(bif("OVERLAY", {"X", "abc", 2, 0}), "abc");
    EXPECT_EQ(bif_error("OVERLAY", {"X", "abc", 0}), 40);
}

TEST_F(StringsTest, Delstr) {
    EXPECT_EQ(bif("DELSTR", {"abc", 5}), "abc");
    EXPECT_EQ(bif("DELSTR", {"abcdef", 3}), "ab");
    EXPECT_EQ(bif("DELSTR", {"abcdef", 3, 2}), "abef");
    EXPECT_EQ(bif("DELSTR", {"abcdef", 1, 999999999}), "");
    EXPECT_EQ(bif("DELSTR", {"abcdef", 2, 0}), "abcdef");
}

TEST_F(StringsTest, Strip) {
    EXPECT_EQ(bif("STRIP", {"  a b  "}), "a b");
    EXPECT_EQ(bif("STRIP", {"  a b  ", "L"}), "a b  ");
    EXPECT_EQ(bif("STRIP", {"  a b  ", "T"}), "  a b");
    EXPECT_EQ(bif("STRIP", {"xxaxx", "B", "x"}), "a");
    EXPECT_EQ(bif("STRIP", {"xxxx", "T", "x"}), "");
    EXPECT_EQ(bif("STRIP", {"xxxx", "L", "x"}), "");
    EXPECT_EQ(bif("STRIP", {""}), "");
    EXPECT_EQ(bif("STRIP", {"\tab\t"}), "\tab\t");  // only the strip character goes
    EXPECT_EQ(bif("STRIP", {"0012300", kOmit, "0"}), "123");
}

TEST_F(StringsTest, PosIndexLastpos) {
    EXPECT_EQ(bif("POS", {"", "abc"}), "0");
    EXPECT_EQ(bif("POS", {"c", "abc", 4}), "0");
    EXPECT_EQ(bif("POS", {"c", "abc", 3}), "3");
    EXPECT_EQ(bif("POS", {"bc", "abcbc", 3}), "4");
    EXPECT_EQ(bif("POS", {"abcd", "abc"}), "0");
    EXPECT_EQ(bif("POS", {"aab", "aaab"}), "2");  // a partial match is not a stopping point
    EXPECT_EQ(bif("INDEX", {"abcbc", "bc", 3}), "4");
    EXPECT_EQ(bif("INDEX", {"abc", "x"}), "0");
    EXPECT_EQ(bif("LASTPOS", {"ab", "abab", 3}), "1");
    EXPECT_EQ(bif("LASTPOS", {"a", "bab", 2}), "2");
    EXPECT_EQ(bif("LASTPOS", {"ab", "abab"}), "3");
    EXPECT_EQ(bif("LASTPOS", {"ab", "abab", 99}), "3");
    EXPECT_EQ(bif("LASTPOS", {"ab", "abab", 1}), "0");
    EXPECT_EQ(bif("LASTPOS", {"", "abc"}), "0");
    EXPECT_EQ(bif("LASTPOS", {"abcd", "abc"}), "0");
    EXPECT_EQ(bif_error("POS", {"a", "abc", 0}), 40);
}

TEST_F(StringsTest, Verify) {
    EXPECT_EQ(bif("VERIFY", {"123", "0123456789"}), "0");
    EXPECT_EQ(bif("VERIFY", {"1Z3", "0123456789"}), "2");
    EXPECT_EQ(bif("VERIFY", {"AB4T", "1234567890", "M"}), "3");
    EXPECT_EQ(bif("VERIFY", {"AB4T", "1234567890", "n"}), "1");
    EXPECT_EQ(bif("VERIFY", {"ABCDE", "", "N", 3}), "3");
    EXPECT_EQ(bif("VERIFY", {"ABCDE", "ABCDE", kOmit, 9}), "0");
    EXPECT_EQ(bif("VERIFY", {"", "a"}), "0");
    EXPECT_EQ(bif_error("VERIFY", {"a", "b", "X"}), 40);
}

// The set of the last short reference is kept: references that differ only in their last
// byte, or in one byte in the middle, or in length, must each give their own answer, as must
// a reference too long to keep.
TEST_F(StringsTest, VerifyWithReferencesThatChange) {
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    std::string no_z = lower;
    no_z.back() = '-';
    std::string no_m = lower;
    no_m[12] = '-';
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(bif("VERIFY", {"lazy", lower}), "0");
        EXPECT_EQ(bif("VERIFY", {"lazy", no_z}), "3");
        EXPECT_EQ(bif("VERIFY", {"jump", no_m}), "3");
        EXPECT_EQ(bif("VERIFY", {"jump", lower.substr(0, 20)}), "2");
        EXPECT_EQ(bif("VERIFY", {"jumpy", lower.substr(0, 24)}), "5");
        EXPECT_EQ(bif("VERIFY", {"lazy", "abc"}), "1");
        EXPECT_EQ(bif("VERIFY", {"lazy", "a", "M"}), "2");
    }
    std::string wide(100, '.');
    wide[99] = 'q';
    EXPECT_EQ(bif("VERIFY", {"..q.", wide}), "0");
    EXPECT_EQ(bif("VERIFY", {"..qr", wide}), "4");
    EXPECT_EQ(bif("VERIFY", {"..qr", wide, "M", 4}), "0");
}

// POS in haystacks short enough to be compared in place, and in longer ones.
TEST_F(StringsTest, PosInShortAndLongHaystacks) {
    EXPECT_EQ(bif("POS", {"o", "fox"}), "2");
    EXPECT_EQ(bif("POS", {"o", "dog", 3}), "0");
    EXPECT_EQ(bif("POS", {"g", "dog", 3}), "3");
    EXPECT_EQ(bif("POS", {"ab", "aab"}), "2");
    EXPECT_EQ(bif("POS", {"abc", "ababab"}), "0");
    EXPECT_EQ(bif("POS", {"dog", "dog"}), "1");
    EXPECT_EQ(bif("POS", {"dogs", "dog"}), "0");
    const std::string hay = std::string(40, 'a') + "ab" + std::string(20, 'a');
    EXPECT_EQ(bif("POS", {"ab", hay}), "41");
    EXPECT_EQ(bif("POS", {"ab", hay, 41}), "41");
    EXPECT_EQ(bif("POS", {"ab", hay, 42}), "0");
    EXPECT_EQ(bif("POS", {"b", hay, 30}), "42");
}

TEST_F(StringsTest, CompareAndAbbrev) {
    EXPECT_EQ(bif("COMPARE", {"abc", "abc"}), "0");
    EXPECT_EQ(bif("COMPARE", {"abc", "abd"}), "3");
    EXPECT_EQ(bif("COMPARE", {"ab ", "ab"}), "0");
    EXPECT_EQ(bif("COMPARE", {"ab-", "ab", "-"}), "0");
    EXPECT_EQ(bif("COMPARE", {"ab", "abx"}), "3");
    EXPECT_EQ(bif("COMPARE", {"", ""}), "0");
    EXPECT_EQ(bif("ABBREV", {"PRINT", "PRI", 4}), "0");
    EXPECT_EQ(bif("ABBREV", {"PRINT", "PRI"}), "1");
    EXPECT_EQ(bif("ABBREV", {"PRINT", ""}), "1");
    EXPECT_EQ(bif("ABBREV", {"PRINT", "", 1}), "0");
    EXPECT_EQ(bif("ABBREV", {"PR", "PRI"}), "0");
    EXPECT_EQ(bif("ABBREV", {"PRINT", "PRX"}), "0");
    EXPECT_EQ(bif("ABBREV", {"PRINT", "print"}), "0");
}

TEST_F(StringsTest, BitFunctions) {
    EXPECT_EQ(bif("BITAND", {"\x12", kOmit, "\xFF"}), "\x12");
    EXPECT_EQ(bif("BITOR", {bytes({1, 2}), "\x10"}), bytes({0x11, 2}));
    EXPECT_EQ(bif("BITOR", {"\x10", bytes({1, 2})}), bytes({0x11, 2}));  // longer second
    EXPECT_EQ(bif("BITAND", {bytes({0xF0, 0x0F}), "\xFF", bytes({0})}), bytes({0xF0, 0}));
    EXPECT_EQ(bif("BITXOR", {"ab", "  "}), "AB");
    EXPECT_EQ(bif("BITXOR", {"abc"}), "abc");
    EXPECT_EQ(bif("BITAND", {""}), "");
}

TEST_F(StringsTest, TranslateAndCase) {
    EXPECT_EQ(bif("TRANSLATE", {"abc", "xy"}), "   ");
    EXPECT_EQ(bif("TRANSLATE", {"abc"}), "ABC");
    EXPECT_EQ(bif("TRANSLATE", {"abcdef", "12", "ec"}), "ab2d1f");
    EXPECT_EQ(bif("TRANSLATE", {"abcdef", "12", "abcd", "."}), "12..ef");
    EXPECT_EQ(bif("TRANSLATE", {"aaa", "xy", "aa"}), "xxx");  // the first occurrence decides
    EXPECT_EQ(bif("TRANSLATE", {"abc", kOmit, "b", "-"}), "a-c");
    EXPECT_EQ(bif("TRANSLATE", {bytes({0, 1, 2}), "xy", kOmit, "."}), "xy.");
    EXPECT_EQ(bif("UPPER", {"Hello, World 9"}), "HELLO, WORLD 9");
    EXPECT_EQ(bif("LOWER", {"Hello, World 9"}), "hello, world 9");
    EXPECT_EQ(bif("UPPER", {"\xE4"}), "\xE4");  // C locale: not a letter
}

TEST_F(StringsTest, Xrange) {
    EXPECT_EQ(bif("XRANGE", {"\xFE", "\x01"}), bytes({0xFE, 0xFF, 0, 1}));
    EXPECT_EQ(bif("XRANGE", {"a", "e"}), "abcde");
    EXPECT_EQ(bif("XRANGE", {"a", "a"}), "a");
    std::string all = bif("XRANGE");
    ASSERT_EQ(all.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(static_cast<unsigned char>(all[i]), i);
    EXPECT_EQ(bif("XRANGE", {kOmit, "\x02"}), bytes({0, 1, 2}));
    EXPECT_EQ(bif("XRANGE", {"\xFD"}), bytes({0xFD, 0xFE, 0xFF}));
    EXPECT_EQ(bif_error("XRANGE", {"ab"}), 40);
}

}  // namespace
}  // namespace ketra
