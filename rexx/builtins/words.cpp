// Word functions that locate and take words: WORD, WORDINDEX, WORDLENGTH, WORDS, SUBWORD,
// DELWORD, WORDPOS and FIND. A word is a run of characters other than the blank (0x20); tab
// and other white space belong to words.
#include "rexx/builtins/words.h"

#include <cstring>

#include "rexx/builtins/handlers.h"

namespace ketra {

std::size_t word_end(const char* s, std::size_t len, std::size_t from) {
    if (from >= len) return len;
    const void* blank = std::memchr(s + from, ' ', len - from);
    return blank ? static_cast<std::size_t>(static_cast<const char*>(blank) - s) : len;
}

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// The high bit of each of the 8 bytes at p that is a blank. Exact: no carry crosses a byte.
inline std::uint64_t blank_bits(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t x = w ^ (kOnes * ' ');
    const std::uint64_t nonzero = ((x & ~kHighs) + ~kHighs) | x;
    return ~nonzero & kHighs;
}

inline int high_bit_count(std::uint64_t bits) {
    return static_cast<int>(((bits >> 7) * kOnes) >> 56);
}

// Walks the word starts of s eight bytes at a time (bytes in memory order, so little-endian
// words). Stops at word `stop` (1-based; 0 never stops) and gives its offset; otherwise gives
// len, with the number of words in `count`.
std::size_t scan_word_starts(const char* s, std::size_t len, std::int64_t stop,
                             std::int64_t& count) {
    count = 0;
    std::uint64_t carry = 0x80;  // the byte before the first counts as a blank
    std::size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        const std::uint64_t blanks = blank_bits(s + i);
        std::uint64_t starts = ~blanks & kHighs & ((blanks << 8) | carry);
        carry = blanks >> 56;
        if (!starts) continue;
        const int here = high_bit_count(starts);
        if (stop > 0 && count + here >= stop) {
            for (std::int64_t k = stop - count; k > 1; --k) starts &= starts - 1;
            return i + static_cast<std::size_t>(__builtin_ctzll(starts) >> 3);
        }
        count += here;
    }
    bool after_blank = carry != 0;
    for (; i < len; ++i) {
        const bool blank = s[i] == ' ';
        if (!blank && after_blank && ++count == stop) return i;
        after_blank = blank;
    }
    return len;
}

}  // namespace

WordTally tally_words(const char* s, std::size_t len) {
    std::uint64_t carry = 0x80;  // the byte before the first counts as a blank
    std::size_t words = 0, blanks = 0, i = 0;
    for (; i + 8 <= len; i += 8) {
        const std::uint64_t b = blank_bits(s + i);
        words += static_cast<std::size_t>(high_bit_count(~b & kHighs & ((b << 8) | carry)));
        blanks += static_cast<std::size_t>(high_bit_count(b));
        carry = b >> 56;
    }
    bool after_blank = carry != 0;
    for (; i < len; ++i) {
        const bool blank = s[i] == ' ';
        words += !blank && after_blank;
        blanks += blank;
        after_blank = blank;
    }
    return {words, len - blanks};
}

namespace {

// The word starts of the last string of middling length that a word was looked for in: a
// loop over WORD(s, k) for k = 1, 2, ... then costs one comparison of s per call instead of a
// scan from the start. The copy of the text is what decides that the string is the same. The
// library's work runs under the ApiLock, which serialises the index.
constexpr std::size_t kIndexedMin = 64;
constexpr std::size_t kIndexedMax = 2048;
struct WordIndex {
    std::uint32_t length;
    std::uint32_t words;
    char text[kIndexedMax];
    std::uint16_t start[kIndexedMax / 2];
    std::uint16_t end[kIndexedMax / 2];  // offset just after each word
};
constinit WordIndex g_index{};

void index_words(const char* s, std::size_t len) {
    std::memcpy(g_index.text, s, len);
    g_index.length = static_cast<std::uint32_t>(len);
    std::uint32_t words = 0;
    bool after_blank = true;
    for (std::size_t i = 0; i < len; ++i) {
        const bool blank = s[i] == ' ';
        if (!blank && after_blank) g_index.start[words++] = static_cast<std::uint16_t>(i);
        if (blank && !after_blank) g_index.end[words - 1] = static_cast<std::uint16_t>(i);
        after_blank = blank;
    }
    if (!after_blank) g_index.end[words - 1] = static_cast<std::uint16_t>(len);
    g_index.words = words;
}

// True when s is of the length that is indexed; the index is then made for s if it is not.
bool use_index(const char* s, std::size_t len) {
    if (len < kIndexedMin || len > kIndexedMax) return false;
    if (g_index.length != len || std::memcmp(g_index.text, s, len) != 0) index_words(s, len);
    return true;
}

}  // namespace

std::size_t locate_word(const char* s, std::size_t len, std::int64_t n) {
    if (n < 1) return len;
    if (!use_index(s, len)) {
        std::int64_t count;
        return scan_word_starts(s, len, n, count);
    }
    return n <= g_index.words ? g_index.start[n - 1] : len;
}

WordSpan locate_word_span(const char* s, std::size_t len, std::int64_t n) {
    if (n >= 1 && use_index(s, len)) {
        if (n > g_index.words) return {len, len};
        return {g_index.start[n - 1], g_index.end[n - 1]};
    }
    const std::size_t from = locate_word(s, len, n);
    return {from, word_end(s, len, from)};
}

namespace {

std::size_t skip_blanks(const char* s, std::size_t len, std::size_t i) {
    while (i < len && s[i] == ' ') ++i;
    return i;
}

// WORDPOS over phrase and string; start <= 0 or beyond the last word gives 0.
std::int64_t word_position(const BuiltinArg& phrase, const BuiltinArg& str, std::int64_t start) {
    const char* p = phrase.text;
    const std::size_t pl = phrase.length;
    const char* s = str.text;
    const std::size_t sl = str.length;
    const std::size_t p0 = locate_word(p, pl, 1);
    if (p0 >= pl || start <= 0) return 0;
    std::size_t w = locate_word(s, sl, start);
    std::int64_t number = start;
    while (w < sl) {
        // Compare the phrase word by word from word `number` of the string.
        std::size_t i = p0, j = w;
        bool matched = true;
        while (i < pl) {
            if (j >= sl) {
                matched = false;
                break;
            }
            const std::size_t ie = word_end(p, pl, i), je = word_end(s, sl, j);
            if (ie - i != je - j || std::memcmp(p + i, s + j, ie - i) != 0) {
                matched = false;
                break;
            }
            i = skip_blanks(p, pl, ie);
            j = skip_blanks(s, sl, je);
        }
        if (matched) return number;
        w = skip_blanks(s, sl, word_end(s, sl, w));
        ++number;
    }
    return 0;
}

}  // namespace

void bif_word(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const WordSpan w = locate_word_span(s.text, s.length, call.arg[1].count);
    result_bytes(call, s.text + w.from, w.to - w.from);
}

void bif_wordindex(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t from = locate_word(s.text, s.length, call.arg[1].count);
    result_integer(call, from < s.length ? static_cast<std::int64_t>(from) + 1 : 0);
}

void bif_wordlength(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const WordSpan w = locate_word_span(s.text, s.length, call.arg[1].count);
    result_integer(call, static_cast<std::int64_t>(w.to - w.from));
}

void bif_words(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    result_integer(call, static_cast<std::int64_t>(tally_words(s.text, s.length).words));
}

void bif_subword(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::int64_t n = call.arg[1].count;
    const std::size_t from = locate_word(s.text, s.length, n);
    std::size_t to = s.length;
    if (!call.arg[2].omitted) {
        std::int64_t past = n + call.arg[2].count;
        if (past > kCountClamp) past = kCountClamp;
        to = locate_word(s.text, s.length, past);
    }
    while (to > from && s.text[to - 1] == ' ') --to;
    result_bytes(call, s.text + from, to - from);
}

void bif_delword(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::int64_t n = call.arg[1].count;
    const std::size_t keep = locate_word(s.text, s.length, n);
    std::size_t resume = s.length;
    if (!call.arg[2].omitted) {
        std::int64_t past = n + call.arg[2].count;
        if (past > kCountClamp) past = kCountClamp;
        resume = locate_word(s.text, s.length, past);
    }
    const std::size_t tail = s.length - resume;
    char* out = result_start(call, keep + tail);
    std::memcpy(out, s.text, keep);
    std::memcpy(out + keep, s.text + resume, tail);
}

void bif_wordpos(BuiltinCall& call) {
    const std::int64_t start = call.arg[2].omitted ? 1 : call.arg[2].whole;
    result_integer(call, word_position(call.arg[0], call.arg[1], start));
}

void bif_find(BuiltinCall& call) {
    result_integer(call, word_position(call.arg[1], call.arg[0], 1));
}

}  // namespace ketra
