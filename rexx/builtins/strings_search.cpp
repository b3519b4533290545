// String functions that search and compare: POS, INDEX, LASTPOS, VERIFY, COMPARE and ABBREV.
#include <cstdint>
#include <cstring>

#include "rexx/builtins/handlers.h"
#include "rexx/host/error.h"

namespace ketra {

namespace {

// The 1-based position of the first occurrence of needle in hay at or after start, else 0.
std::size_t find_from(const BuiltinArg& needle, const BuiltinArg& hay, std::size_t start) {
    const std::size_t nl = needle.length, hl = hay.length;
    if (nl == 0 || start > hl || nl > hl - start + 1) return 0;
    const char first = needle.text[0];
    const char* p = hay.text + (start - 1);
    const char* last = hay.text + (hl - nl);  // last offset where needle fits
    if (last - p < 16) {
        // A few candidates: compared in place, cheaper than a call to find each one.
        for (; p <= last; ++p)
            if (*p == first && (nl == 1 || std::memcmp(p + 1, needle.text + 1, nl - 1) == 0))
                return static_cast<std::size_t>(p - hay.text) + 1;
        return 0;
    }
    while (p <= last) {
        const void* hit = std::memchr(p, first, static_cast<std::size_t>(last - p) + 1);
        if (!hit) return 0;
        p = static_cast<const char*>(hit);
        if (std::memcmp(p, needle.text, nl) == 0) return static_cast<std::size_t>(p - hay.text) + 1;
        ++p;
    }
    return 0;
}

// The bytes of a VERIFY reference as a membership table. The set of the last short reference is
// kept: a loop that checks many strings against one reference then costs a comparison of the
// reference per call instead of clearing and filling 256 entries. The copy of the text is what
// decides that the reference is the same. The library's work runs under the ApiLock, which
// serialises the cache.
constexpr std::size_t kCachedReferenceMax = 64;
struct ReferenceSet {
    std::uint32_t length;
    char text[kCachedReferenceMax];
    bool member[256];
};
constinit ReferenceSet g_last_reference{~0u, {}, {}};

// Compares up to kCachedReferenceMax bytes eight at a time (the last eight overlap the ones
// before them): a reference is a few dozen bytes, less than the cost of a call.
bool same_short_text(const char* a, const char* b, std::size_t n) {
    if (n < 8) return std::memcmp(a, b, n) == 0;
    std::uint64_t x, y;
    for (std::size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) return false;
    }
    std::memcpy(&x, a + n - 8, 8);
    std::memcpy(&y, b + n - 8, 8);
    return x == y;
}

void fill_set(ReferenceSet& set, const char* text, std::size_t length) {
    std::memset(set.member, 0, sizeof set.member);
    for (std::size_t i = 0; i < length; ++i) set.member[static_cast<unsigned char>(text[i])] = true;
}

// The set of text: the cached one (made again when text differs), or `local` filled for a
// reference too long to keep.
const ReferenceSet& reference_set(const char* text, std::size_t length, ReferenceSet& local) {
    ReferenceSet& cached = g_last_reference;
    if (length > kCachedReferenceMax) {
        fill_set(local, text, length);
        return local;
    }
    if (cached.length != length || !same_short_text(cached.text, text, length)) {
        fill_set(cached, text, length);
        std::memcpy(cached.text, text, length);
        cached.length = static_cast<std::uint32_t>(length);
    }
    return cached;
}

std::size_t start_of(const BuiltinArg& a) {
    return a.omitted ? 1 : static_cast<std::size_t>(a.count);
}

}  // namespace

void bif_pos(BuiltinCall& call) {
    result_integer(call, find_from(call.arg[0], call.arg[1], start_of(call.arg[2])));
}

void bif_index(BuiltinCall& call) {
    result_integer(call, find_from(call.arg[1], call.arg[0], start_of(call.arg[2])));
}

void bif_lastpos(BuiltinCall& call) {
    const BuiltinArg& needle = call.arg[0];
    const BuiltinArg& hay = call.arg[1];
    const std::size_t nl = needle.length, hl = hay.length;
    if (nl == 0 || nl > hl) return;  // the result stays 0
    std::size_t region = hl;
    if (!call.arg[2].omitted && static_cast<std::size_t>(call.arg[2].count) <= hl)
        region = static_cast<std::size_t>(call.arg[2].count);
    if (region < nl) return;
    for (std::size_t off = region - nl + 1; off-- > 0;) {
        if (hay.text[off] == needle.text[0] && std::memcmp(hay.text + off, needle.text, nl) == 0) {
            result_integer(call, static_cast<std::int64_t>(off) + 1);
            return;
        }
    }
}

void bif_verify(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const BuiltinArg& ref = call.arg[1];
    const char opt = call.arg[2].option;
    if (opt != ' ' && opt != 'M' && opt != 'N') error(40);
    const bool match = opt == 'M';
    const std::size_t start = start_of(call.arg[3]);
    if (start > s.length) return;
    ReferenceSet local;
    const ReferenceSet& set = reference_set(ref.text, ref.length, local);
    for (std::size_t i = start - 1; i < s.length; ++i) {
        if (set.member[static_cast<unsigned char>(s.text[i])] == match) {
            result_integer(call, static_cast<std::int64_t>(i) + 1);
            return;
        }
    }
}

void bif_compare(BuiltinCall& call) {
    const BuiltinArg& a = call.arg[0];
    const BuiltinArg& b = call.arg[1];
    const char pad = call.arg[2].pad;
    const std::size_t n = a.length > b.length ? a.length : b.length;
    for (std::size_t i = 0; i < n; ++i) {
        const char x = i < a.length ? a.text[i] : pad;
        const char y = i < b.length ? b.text[i] : pad;
        if (x != y) {
            result_integer(call, static_cast<std::int64_t>(i) + 1);
            return;
        }
    }
}

void bif_abbrev(BuiltinCall& call) {
    const BuiltinArg& information = call.arg[0];
    const BuiltinArg& info = call.arg[1];
    const std::size_t least =
        call.arg[2].omitted ? info.length : static_cast<std::size_t>(call.arg[2].count);
    const bool yes = info.length >= least && info.length <= information.length &&
                     std::memcmp(information.text, info.text, info.length) == 0;
    result_integer(call, yes ? 1 : 0);
}

}  // namespace ketra
