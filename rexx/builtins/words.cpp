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

std::size_t locate_word(const char* s, std::size_t len, std::int64_t n) {
    std::int64_t count = 0;
    std::size_t i = 0;
    while (i < len) {
        if (s[i] == ' ') {
            ++i;
            continue;
        }
        if (++count == n) return i;
        i = word_end(s, len, i);
    }
    return len;
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
    const std::size_t from = locate_word(s.text, s.length, call.arg[1].count);
    const std::size_t to = word_end(s.text, s.length, from);
    result_bytes(call, s.text + from, to - from);
}

void bif_wordindex(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t from = locate_word(s.text, s.length, call.arg[1].count);
    result_integer(call, from < s.length ? static_cast<std::int64_t>(from) + 1 : 0);
}

void bif_wordlength(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t from = locate_word(s.text, s.length, call.arg[1].count);
    result_integer(call, static_cast<std::int64_t>(word_end(s.text, s.length, from) - from));
}

void bif_words(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    std::int64_t count = 0;
    bool in_word = false;
    for (std::size_t i = 0; i < s.length; ++i) {
        const bool blank = s.text[i] == ' ';
        if (!blank && !in_word) ++count;
        in_word = !blank;
    }
    result_integer(call, count);
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
