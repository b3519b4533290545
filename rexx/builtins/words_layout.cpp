// Word functions that lay words out again: SPACE and JUSTIFY.
#include <cstring>
#include <vector>

#include "rexx/builtins/handlers.h"
#include "rexx/builtins/words.h"
#include "rexx/host/memory.h"

namespace ketra {

namespace {

// Writes the words of s separated by gap copies of pad; returns the end of what was written.
char* join_words(const char* s, std::size_t len, std::size_t gap, char pad, char* out) {
    const char* p = s;
    const char* const end = s + len;
    bool first = true;
    for (;;) {
        while (p != end && *p == ' ') ++p;
        if (p == end) return out;
        if (!first) {
            if (gap == 1) {
                *out++ = pad;
            } else {
                std::memset(out, pad, gap);
                out += gap;
            }
        }
        first = false;
        do {
            *out++ = *p++;
        } while (p != end && *p != ' ');
    }
}

}  // namespace

void bif_space(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const std::size_t gap = call.arg[1].omitted ? 1 : static_cast<std::size_t>(call.arg[1].count);
    const char pad = call.arg[2].pad;
    const WordTally c = tally_words(s.text, s.length);
    if (c.words == 0) {
        result_bytes(call, "", 0);
        return;
    }
    // At most 250000000 words of at least one character each, times a gap of at most 500000001:
    // the product fits in 64 bits.
    const std::uint64_t total =
        c.chars + static_cast<std::uint64_t>(c.words - 1) * static_cast<std::uint64_t>(gap);
    if (total > kMaxStringLength) result_too_long();
    char* out = result_start(call, static_cast<std::size_t>(total));
    join_words(s.text, s.length, gap, pad, out);
}

void bif_justify(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const auto width = static_cast<std::size_t>(call.arg[1].count);
    const char pad = call.arg[2].pad;
    // The text normalised as SPACE(string, 1) does.
    const WordTally c = tally_words(s.text, s.length);
    const std::size_t normal_len = c.words ? c.chars + c.words - 1 : 0;
    std::vector<char, RexxAllocator<char>> normal(normal_len);
    if (normal_len) join_words(s.text, s.length, 1, ' ', normal.data());
    std::size_t m = normal_len < width ? normal_len : width;
    if (m > 0 && normal[m - 1] == ' ') --m;  // a cut that ends on a blank drops it
    std::size_t gaps = 0;
    for (std::size_t i = 0; i < m; ++i)
        if (normal[i] == ' ') ++gaps;
    char* out = result_start(call, width);
    if (gaps == 0) {
        if (m) std::memcpy(out, normal.data(), m);
        std::memset(out + m, pad, width - m);
        return;
    }
    const std::size_t extra = width - m;
    const std::size_t each = extra / gaps + 1;
    std::size_t rest = extra % gaps;
    const std::size_t spacing = rest ? gaps / rest : 0;
    std::size_t gap_number = 0;
    for (std::size_t i = 0; i < m; ++i) {
        if (normal[i] != ' ') {
            *out++ = normal[i];
            continue;
        }
        ++gap_number;
        std::size_t n = each;
        if (rest > 0 && gap_number % spacing == 0) {
            ++n;
            --rest;
        }
        std::memset(out, pad, n);
        out += n;
    }
}

}  // namespace ketra
