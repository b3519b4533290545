// The word functions: location, WORD/WORDINDEX/WORDLENGTH/WORDS, SUBWORD, DELWORD, WORDPOS and
// FIND, SPACE and JUSTIFY.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bif_test_support.h"
#include "rexx/builtins/words.h"

namespace ketra {
namespace {

using test::bif;
using test::bif_error;
using test::kOmit;

class WordsTest : public ::testing::Test {
  protected:
    test::ScopedRun run_;
};

TEST_F(WordsTest, WordAndItsPosition) {
    EXPECT_EQ(bif("WORD", {"  now is  the time ", 3}), "the");
    EXPECT_EQ(bif("WORD", {"now is", 3}), "");
    EXPECT_EQ(bif("WORD", {"", 1}), "");
    EXPECT_EQ(bif("WORDINDEX", {"  now is  the time ", 3}), "11");
    EXPECT_EQ(bif("WORDINDEX", {"now is", 3}), "0");
    EXPECT_EQ(bif("WORDLENGTH", {"now is  the", 3}), "3");
    EXPECT_EQ(bif("WORDLENGTH", {"now", 2}), "0");
    EXPECT_EQ(bif("WORD", {"a b", 999999999}), "");
    EXPECT_EQ(bif_error("WORD", {"a b", 0}), 40);
}

TEST_F(WordsTest, OnlyTheBlankSeparatesWords) {
    EXPECT_EQ(bif("WORDS", {"a\tb"}), "1");
    EXPECT_EQ(bif("WORDS", {"  a  b c "}), "3");
    EXPECT_EQ(bif("WORDS", {""}), "0");
    EXPECT_EQ(bif("WORDS", {"   "}), "0");
    EXPECT_EQ(bif("WORD", {"a\tb c", 1}), "a\tb");
}

// The word scan reads eight bytes at a time: every split of words and blanks over the chunk
// edges, with bytes that have the high bit set or differ from the blank in one bit, must give
// what a byte-by-byte count gives.
TEST_F(WordsTest, WordLocationAgreesWithAByteByByteScanAtEveryChunkEdge) {
    const char fill[] = {'a', '\xa0', '\x80', '\t', '0', '\xff', '!', '\x00'};
    for (unsigned pattern = 0; pattern < (1u << 11); pattern += 3) {
        for (std::size_t len = 0; len <= 19; ++len) {
            std::string s;
            for (std::size_t i = 0; i < len; ++i)
                s += (pattern >> (i % 11)) & 1 ? ' ' : fill[(i + pattern) % 8];
            std::int64_t words = 0;
            std::size_t starts[20];
            for (std::size_t i = 0; i < len; ++i)
                if (s[i] != ' ' && (i == 0 || s[i - 1] == ' ')) starts[words++] = i;
            for (std::int64_t n = 1; n <= words + 1; ++n)
                ASSERT_EQ(locate_word(s.data(), len, n), n <= words ? starts[n - 1] : len)
                    << "pattern " << pattern << " len " << len << " word " << n;
            ASSERT_EQ(bif("WORDS", {s}), std::to_string(words)) << pattern << " " << len;
            std::string spaced;
            for (std::int64_t n = 0; n < words; ++n) {
                if (n) spaced += "--";
                std::size_t e = starts[n];
                while (e < len && s[e] != ' ') ++e;
                spaced.append(s, starts[n], e - starts[n]);
            }
            ASSERT_EQ(bif("SPACE", {s, 2, "-"}), spaced) << pattern << " " << len;
        }
    }
}

// Long strings: the word starts of the last one are kept; a string changed in place (same
// buffer, same length) must not be answered from the old starts.
TEST_F(WordsTest, WordLocationInLongStringsFollowsTheirContents) {
    for (std::size_t len : {63u, 64u, 200u, 2048u, 2049u, 5000u}) {
        std::string s;
        while (s.size() < len) s += s.size() % 7 == 3 ? "  " : "w";
        s.resize(len);
        for (int round = 0; round < 3; ++round) {
            std::vector<std::size_t> starts;
            for (std::size_t i = 0; i < len; ++i)
                if (s[i] != ' ' && (i == 0 || s[i - 1] == ' ')) starts.push_back(i);
            for (std::size_t n = 1; n <= starts.size() + 1; ++n)
                ASSERT_EQ(locate_word(s.data(), len, static_cast<std::int64_t>(n)),
                          n <= starts.size() ? starts[n - 1] : len)
                    << len << " round " << round << " word " << n;
            s[len / 2] = s[len / 2] == ' ' ? 'x' : ' ';  // same buffer, other words
            s[1] = ' ';
        }
    }
}

// WORD and WORDLENGTH of strings long enough to be indexed take the word's end from the
// index: a last word that runs to the end of the string, trailing blanks, a word past the
// last, and a string changed in place between calls.
TEST_F(WordsTest, WordAndWordlengthOfIndexedStrings) {
    for (std::size_t len : {64u, 65u, 300u, 2048u}) {
        for (bool trailing : {false, true}) {
            std::string s;
            for (int w = 0; s.size() < len; ++w) s += std::string(1 + w % 5, 'a' + w % 26) + " ";
            s.resize(len);
            s.back() = trailing ? ' ' : 'q';
            for (int round = 0; round < 2; ++round) {
                std::vector<std::string> words;
                for (std::size_t i = 0; i < len; ++i)
                    if (s[i] != ' ' && (i == 0 || s[i - 1] == ' ')) {
                        std::size_t e = i;
                        while (e < len && s[e] != ' ') ++e;
                        words.push_back(s.substr(i, e - i));
                    }
                for (std::size_t n = 1; n <= words.size() + 1; ++n) {
                    const std::string want = n <= words.size() ? words[n - 1] : "";
                    ASSERT_EQ(bif("WORD", {s, static_cast<int>(n)}), want) << len << " " << n;
                    ASSERT_EQ(bif("WORDLENGTH", {s, static_cast<int>(n)}),
                              std::to_string(want.size()))
                        << len << " " << n;
                }
                s[len / 3] = s[len / 3] == ' ' ? 'x' : ' ';
            }
        }
    }
}

TEST_F(WordsTest, SubwordAndDelword) {
    EXPECT_EQ(bif("DELWORD", {"Now is the time", 2, 2}), "Now time");
    EXPECT_EQ(bif("DELWORD", {"Now is the time", 2}), "Now ");
    EXPECT_EQ(bif("DELWORD", {"Now is the time", 5}), "Now is the time");
    EXPECT_EQ(bif("DELWORD", {"Now is the time ", 4}), "Now is the ");
    EXPECT_EQ(bif("DELWORD", {"Now is the time", 1, 999999999}), "");
    EXPECT_EQ(bif("DELWORD", {"Now is", 1, 0}), "Now is");
    EXPECT_EQ(bif("SUBWORD", {"Now is  the time ", 2, 2}), "is  the");
    EXPECT_EQ(bif("SUBWORD", {"Now is  the time ", 2}), "is  the time");
    EXPECT_EQ(bif("SUBWORD", {"Now is", 3}), "");
    EXPECT_EQ(bif("SUBWORD", {"Now is", 1, 0}), "");
    EXPECT_EQ(bif("SUBWORD", {"  Now is", 1, 999999999}), "Now is");
}

TEST_F(WordsTest, WordposAndFind) {
    EXPECT_EQ(bif("WORDPOS", {"the  time", "now is the time"}), "3");
    EXPECT_EQ(bif("WORDPOS", {"the", "now is the time"}), "3");
    EXPECT_EQ(bif("WORDPOS", {"is the", "now is  the time", 2}), "2");
    EXPECT_EQ(bif("WORDPOS", {"is the", "now is the time", 3}), "0");
    EXPECT_EQ(bif("WORDPOS", {"the", "now is the time", 0}), "0");
    EXPECT_EQ(bif("WORDPOS", {"the", "now is the time", 9}), "0");
    EXPECT_EQ(bif("WORDPOS", {"", "now"}), "0");
    EXPECT_EQ(bif("WORDPOS", {"   ", "now"}), "0");
    EXPECT_EQ(bif("WORDPOS", {"th", "the th"}), "2");        // whole words only
    EXPECT_EQ(bif("WORDPOS", {"time x", "the time"}), "0");  // string runs out mid-phrase
    EXPECT_EQ(bif("WORDPOS", {"a a b", "a a a b"}), "2");
    EXPECT_EQ(bif("FIND", {"now is the time", "is"}), "2");
    EXPECT_EQ(bif("FIND", {"now is the time", "is  the"}), "2");
    EXPECT_EQ(bif("FIND", {"now is the time", "the now"}), "0");
}

TEST_F(WordsTest, Space) {
    EXPECT_EQ(bif("SPACE", {"  abc  def  "}), "abc def");
    EXPECT_EQ(bif("SPACE", {"  abc  def  ", 3}), "abc   def");
    EXPECT_EQ(bif("SPACE", {"abc def", 0}), "abcdef");
    EXPECT_EQ(bif("SPACE", {"abc def  g", 1, "+"}), "abc+def+g");
    EXPECT_EQ(bif("SPACE", {"   "}), "");
    EXPECT_EQ(bif("SPACE", {"one", 5}), "one");
    EXPECT_EQ(bif("SPACE", {"", 2}), "");
    EXPECT_EQ(bif("SPACE", {" a\tb  c ", 2, "\t"}), "a\tb\t\tc");  // tab inside a word
    EXPECT_EQ(bif("SPACE", {"x y", 1, " "}), "x y");
    EXPECT_EQ(bif("SPACE", {"  x     y z", 0}), "xyz");
}

TEST_F(WordsTest, Justify) {
    EXPECT_EQ(bif("JUSTIFY", {"The quick brown fox", 10}), "The  quick");
    EXPECT_EQ(bif("JUSTIFY", {"", 5}), "     ");
    EXPECT_EQ(bif("JUSTIFY", {"abc", 5, "-"}), "abc--");
    EXPECT_EQ(bif("JUSTIFY", {"  a  b  ", 5}), "a   b");
    EXPECT_EQ(bif("JUSTIFY", {"a b c d", 10}), "a  b  c  d");
    EXPECT_EQ(bif("JUSTIFY", {"a b c d", 9, "."}), "a..b..c.d");
    EXPECT_EQ(bif("JUSTIFY", {"a b c d", 8, "."}), "a.b.c..d");  // the extra pad goes to gap 3
    EXPECT_EQ(bif("JUSTIFY", {"abcdef", 3}), "abc");
    EXPECT_EQ(bif("JUSTIFY", {"a b", 0}), "");
    // Every result has exactly the requested length.
    for (int w = 0; w < 40; ++w)
        EXPECT_EQ(bif("JUSTIFY", {"one two three four five", w}).size(),
                  static_cast<std::size_t>(w))
            << w;
}

}  // namespace
}  // namespace ketra
