// Cross-checks of the word and string functions against plain reference computations over
// random strings of letters, blanks and tabs (tabs are not separators).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bif_test_support.h"

namespace ketra {
namespace {

using test::bif;

class PropertiesTest : public ::testing::Test {
  protected:
    test::ScopedRun run_;
    std::mt19937 rng_{20240607};

    std::string random_text(std::size_t max_len) {
        static const char kAlphabet[] = "ab  \tc";
        std::uniform_int_distribution<std::size_t> len(0, max_len);
        std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 2);
        std::string s(len(rng_), ' ');
        for (char& c : s) c = kAlphabet[pick(rng_)];
        return s;
    }
};

struct Word {
    std::size_t start;
    std::string text;
};

std::vector<Word> split(const std::string& s) {
    std::vector<Word> out;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t j = s.find(' ', i);
        if (j == std::string::npos) j = s.size();
        out.push_back({i, s.substr(i, j - i)});
        i = j;
    }
    return out;
}

TEST_F(PropertiesTest, WordFunctionsAgreeWithASplit) {
    for (int round = 0; round < 400; ++round) {
        const std::string s = random_text(20);
        const std::vector<Word> w = split(s);
        ASSERT_EQ(bif("WORDS", {s}), std::to_string(w.size())) << '[' << s << ']';
        for (int n = 1; n <= static_cast<int>(w.size()) + 1; ++n) {
            const bool have = n <= static_cast<int>(w.size());
            const Word* x = have ? &w[static_cast<std::size_t>(n - 1)] : nullptr;
            EXPECT_EQ(bif("WORD", {s, n}), have ? x->text : "") << '[' << s << "] " << n;
            EXPECT_EQ(bif("WORDINDEX", {s, n}), std::to_string(have ? x->start + 1 : 0));
            EXPECT_EQ(bif("WORDLENGTH", {s, n}), std::to_string(have ? x->text.size() : 0));
            for (int k = 0; k <= 3; ++k) {
                // SUBWORD keeps the inner blanks of the words it takes.
                std::string sub;
                const int last = std::min(n + k - 1, static_cast<int>(w.size()));
                if (have && k > 0) {
                    const Word& end = w[static_cast<std::size_t>(last - 1)];
                    sub = s.substr(x->start, end.start + end.text.size() - x->start);
                }
                EXPECT_EQ(bif("SUBWORD", {s, n, k}), sub) << '[' << s << "] " << n << ' ' << k;
                // DELWORD keeps what precedes word n and resumes at word n + k.
                std::string del = s;
                if (have && k > 0) {
                    const std::size_t resume = n + k - 1 < static_cast<int>(w.size())
                                                   ? w[static_cast<std::size_t>(n + k - 1)].start
                                                   : s.size();
                    del = s.substr(0, x->start) + s.substr(resume);
                }
                EXPECT_EQ(bif("DELWORD", {s, n, k}), del) << '[' << s << "] " << n << ' ' << k;
            }
        }
        std::string spaced;
        for (const Word& x : w) spaced += (spaced.empty() ? "" : "--") + x.text;
        EXPECT_EQ(bif("SPACE", {s, 2, "-"}), spaced);
    }
}

TEST_F(PropertiesTest, WordposFindsTheFirstRunOfEqualWords) {
    for (int round = 0; round < 400; ++round) {
        const std::string s = random_text(16);
        const std::string phrase = random_text(5);
        const std::vector<Word> w = split(s), p = split(phrase);
        std::size_t expect = 0;
        if (!p.empty())
            for (std::size_t i = 0; i + p.size() <= w.size() && !expect; ++i) {
                bool all = true;
                for (std::size_t j = 0; j < p.size() && all; ++j) all = w[i + j].text == p[j].text;
                if (all) expect = i + 1;
            }
        EXPECT_EQ(bif("WORDPOS", {phrase, s}), std::to_string(expect))
            << '[' << phrase << "] in [" << s << ']';
    }
}

TEST_F(PropertiesTest, SearchesAgreeWithStdFind) {
    for (int round = 0; round < 400; ++round) {
        const std::string hay = random_text(12);
        const std::string needle = random_text(3);
        for (int start = 1; start <= static_cast<int>(hay.size()) + 1; ++start) {
            std::size_t expect = 0;
            if (!needle.empty()) {
                const std::size_t at = hay.find(needle, static_cast<std::size_t>(start - 1));
                if (at != std::string::npos) expect = at + 1;
            }
            EXPECT_EQ(bif("POS", {needle, hay, start}), std::to_string(expect));
            // LASTPOS: the last occurrence lying within the first start characters.
            std::size_t last = 0;
            if (!needle.empty() && needle.size() <= hay.size()) {
                const std::string region = hay.substr(0, std::min<std::size_t>(start, hay.size()));
                const std::size_t at = region.rfind(needle);
                if (at != std::string::npos) last = at + 1;
            }
            EXPECT_EQ(bif("LASTPOS", {needle, hay, start}), std::to_string(last));
        }
    }
}

}  // namespace
}  // namespace ketra
