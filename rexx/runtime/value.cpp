// The value record: construction, release, ownership changes, string and integer forms,
// classification, RXSTRING conversions and the logical-value rule. (The whole-number rule needs
// the decimal conversion and lives in number.cpp.)
#include "rexx/runtime/value.h"

#include <malloc.h>

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"

namespace ketra {

namespace {

// Location codes of this file's memory-full reports.
constexpr int kLocMakeValue = 301;
constexpr int kLocStartString = 302;

void check_length(std::size_t n, int location) {
    if (n > kMaxStringLength) memory_full(location, kPoolImplementationLimit);
}

// Released buffers are kept by size class for the next string of about their length: computed
// results and copied lines come and go at every clause, and the allocator would otherwise see
// each of them. Class i serves strings whose buffer (characters and NUL) fits block_bytes(i),
// the sizes the allocator hands out anyway; a kept block is at least that large.
constexpr std::size_t kSmallBlock = 24;  // class 0: the shortest strings
constexpr std::size_t kClassStep = 16;
constexpr int kClasses = 14;
constexpr int kKeptPerClass = 31;
constexpr std::size_t block_bytes(int i) {
    return kSmallBlock + kClassStep * static_cast<std::size_t>(i);
}
constexpr std::size_t kLargestKept = block_bytes(kClasses - 1);
static_assert(kSideOffset + 8 <= kSmallBlock && kSideMax < kSmallBlock);

struct KeptClass {
    int count;
    char* block[kKeptPerClass];
};
struct KeptBlocks {
    KeptClass cls[kClasses]{};
    ~KeptBlocks();
};
constinit thread_local KeptBlocks t_blocks{};
// The thread's blocks reached without the resolver call that a shared library's own thread
// storage costs: a pointer in the initial-exec model (9 bytes of static thread storage, which a
// host that loads the library with dlopen also has room for), set on first use. After the
// blocks are destroyed at thread exit, buffers go straight to the allocator.
[[gnu::tls_model("initial-exec")]] constinit thread_local KeptBlocks* t_kept = nullptr;
[[gnu::tls_model("initial-exec")]] constinit thread_local bool t_kept_gone = false;

KeptBlocks::~KeptBlocks() {
    t_kept = nullptr;
    t_kept_gone = true;
    for (KeptClass& c : cls)
        while (c.count) release(c.block[--c.count]);
}

// The thread's kept blocks, or null once they are gone.
inline KeptBlocks* kept_blocks() {
    KeptBlocks* k = t_kept;
    if (__builtin_expect(k == nullptr, 0) && !t_kept_gone) k = t_kept = &t_blocks;
    return k;
}

// A fresh owned buffer of n characters (n > kInlineMax), NUL-terminated for C callers.
char* new_buffer(std::size_t n) {
    char* p;
    if (n < kLargestKept) {
        // n + 1 bytes are needed, and n >= kInlineMax + 1: class 0 for up to 24 bytes, then one
        // class per 16.
        KeptBlocks* kept = kept_blocks();
        const auto i = static_cast<int>((n + 8) / kClassStep - 1);
        p = kept && kept->cls[i].count ? kept->cls[i].block[--kept->cls[i].count]
                                       : static_cast<char*>(allocate(block_bytes(i)));
    } else {
        p = static_cast<char*>(allocate(n + 1));
    }
    p[n] = '\0';
    return p;
}

}  // namespace

Value make_value(const char* bytes, std::size_t length, bool copy) {
    check_length(length, kLocMakeValue);
    Value v{};
    v.length = static_cast<std::uint32_t>(length);
    if (length <= kInlineMax) {
        if (length) std::memcpy(v.data.chars, bytes, length);
    } else if (copy) {
        char* p = new_buffer(length);
        std::memcpy(p, bytes, length);
        v.data.ptr = p;
        v.flags = kOwned;
    } else {
        v.data.ptr = bytes;
    }
    v.flags |= classify_chars(chars_of(v), length);
    return v;
}

namespace {
// "00" to "99": whole numbers are written two digits at a time.
constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

std::size_t decimal_digits(std::uint64_t v) {
    std::size_t n = 1;
    for (;;) {
        if (v < 10) return n;
        if (v < 100) return n + 1;
        if (v < 1000) return n + 2;
        if (v < 10000) return n + 3;
        v /= 10000;
        n += 4;
    }
}

// Writes the digits of `mag` into buf and returns their count.
std::size_t write_digits(std::uint64_t mag, char* buf) {
    std::size_t len = decimal_digits(mag);
    char* p = buf + len;
    while (mag >= 100) {
        std::size_t i = static_cast<std::size_t>(mag % 100) * 2;
        mag /= 100;
        *--p = kDigitPairs[i + 1];
        *--p = kDigitPairs[i];
    }
    if (mag >= 10) {
        std::size_t i = static_cast<std::size_t>(mag) * 2;
        *--p = kDigitPairs[i + 1];
        *--p = kDigitPairs[i];
    } else {
        *--p = static_cast<char>('0' + mag);
    }
    return len;
}
}  // namespace

std::size_t format_integer(std::int32_t n, char* buf) {
    std::uint32_t mag = n < 0 ? 0u - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
    std::size_t out = 0;
    if (n < 0) buf[out++] = '-';
    return out + write_digits(mag, buf + out);
}

Value make_integer(std::int64_t n) {
    if (n >= -kMaxInteger && n <= kMaxInteger)
        return integer_constant(static_cast<std::int32_t>(n));
    char buf[24];
    std::uint64_t mag = n < 0 ? 0u - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    std::size_t out = 0;
    if (n < 0) buf[out++] = '-';
    out += write_digits(mag, buf + out);
    return make_value(buf, out, true);
}

char* start_string(Value& v, std::size_t n) {
    check_length(n, kLocStartString);
    v = Value{};
    v.length = static_cast<std::uint32_t>(n);
    if (n <= kInlineMax) return v.data.chars;
    char* p = new_buffer(n);
    v.data.ptr = p;
    v.flags = kOwned;
    return p;
}

void shorten(Value& v, std::size_t n) {
    if (v.flags & kInteger) string_of(v);
    if (n >= v.length) return;
    if (v.length > kInlineMax && n <= kInlineMax) {
        const char* old = v.data.ptr;
        bool owned = v.flags & kOwned;
        char tmp[kInlineMax];
        if (n) std::memcpy(tmp, old, n);
        if (owned) release(const_cast<char*>(old));
        std::memcpy(v.data.chars, tmp, kInlineMax);
        v.flags &= static_cast<std::uint8_t>(~(kOwned | kBorrowed));
    } else if (v.length > kInlineMax && (v.flags & kOwned)) {
        const_cast<char*>(v.data.ptr)[n] = '\0';
    }
    v.length = static_cast<std::uint32_t>(n);
    v.flags &= static_cast<std::uint8_t>(~(kWhole | kNumber | kClassified | kAbsent | kScanned));
}

void release_buffer(const Value& v) {
    char* p = const_cast<char*>(v.data.ptr);
    KeptBlocks* kept;
    if (v.length < kLargestKept && (kept = kept_blocks())) {
        // Owned buffers made elsewhere may have any size: the class is the one the block can
        // serve.
        const std::size_t usable = malloc_usable_size(p);
        if (usable >= kSmallBlock) {
            std::size_t i = (usable - kSmallBlock) / kClassStep;
            KeptClass& c = kept->cls[i < kClasses ? i : kClasses - 1];
            if (c.count < kKeptPerClass) {
                c.block[c.count++] = p;
                return;
            }
        }
    }
    release(p);
}

std::size_t owned_room(const Value& v) {
    return malloc_usable_size(const_cast<char*>(v.data.ptr)) - 1;
}

Value copy_value(const Value& v) {
    Value c = v;
    if (!(v.flags & kInteger) && v.length > kInlineMax) {
        char* p = new_buffer(v.length);
        // A scanned number's side word goes with its characters.
        std::memcpy(p, v.data.ptr, (v.flags & kScanned) ? kSideOffset + 8 : v.length);
        c.data.ptr = p;
        c.flags = static_cast<std::uint8_t>((c.flags & ~kBorrowed) | kOwned);
    }
    return c;
}

void make_private(Value& v) {
    if (!(v.flags & kBorrowed)) return;
    v = copy_value(v);
}

std::string_view string_of(Value& v) {
    if (v.flags & kInteger) {
        char buf[16];
        std::size_t len = format_integer(v.data.integer, buf);
        std::uint8_t keep = kWhole | kNumber | kClassified;
        char* p = start_string(v, len);
        std::memcpy(p, buf, len);
        v.flags |= keep;
    }
    return {chars_of(v), v.length};
}

bool small_integer(const Value& v, std::int32_t& out) {
    if (v.flags & kInteger) {
        out = v.data.integer;
        return true;
    }
    if (v.flags & kClassified) {
        if (!(v.flags & kWhole)) return false;
    } else if (v.length == 0 || v.length > 10) {
        return false;
    }
    const char* p = chars_of(v);
    std::size_t n = v.length;
    std::size_t i = 0;
    bool neg = false;
    if (n && p[0] == '-') {
        neg = true;
        i = 1;
    }
    std::size_t digits = n - i;
    if (digits < 1 || digits > 9) return false;
    if (p[i] == '0' && (digits > 1 || neg)) return false;
    std::int32_t r = 0;
    for (; i < n; ++i) {
        unsigned d = static_cast<unsigned char>(p[i]) - '0';
        if (d > 9) return false;
        r = r * 10 + static_cast<std::int32_t>(d);
    }
    out = neg ? -r : r;
    return true;
}

void to_integer_form(Value& v) {
    if (v.flags & kInteger) return;
    std::int32_t n;
    if (!(classification(v) & kWhole) || !small_integer(v, n)) return;
    release(v);
    v = integer_constant(n);
}

std::uint8_t classify_chars(const char* p, std::size_t n) {
    // One pass: the number syntax is followed while noting whether the characters are also in
    // integer syntax (an optional "-" at the very start, then 1 to 9 digits without a leading
    // zero, nothing else).
    auto digit = [](char c) { return static_cast<unsigned char>(c - '0') <= 9; };
    std::size_t i = 0;
    while (i < n && p[i] == ' ') ++i;
    bool plain = i == 0;
    bool neg = false;
    if (i < n && (p[i] == '+' || p[i] == '-')) {
        neg = p[i] == '-';
        plain = plain && neg;
        ++i;
        const std::size_t sign_end = i;
        while (i < n && p[i] == ' ') ++i;
        plain = plain && i == sign_end;
    }
    const std::size_t first = i;
    while (i < n && digit(p[i])) ++i;
    std::size_t digits = i - first;
    if (i == n) {
        if (!digits) return kClassified;
        if (plain && digits <= 9 && !(p[first] == '0' && (digits > 1 || neg)))
            return kWhole | kNumber | kClassified;
        return kNumber | kClassified;
    }
    if (p[i] == '.') {
        const std::size_t frac = ++i;
        while (i < n && digit(p[i])) ++i;
        digits += i - frac;
    }
    if (!digits) return kClassified;
    if (i < n && (p[i] == 'e' || p[i] == 'E')) {
        ++i;
        if (i < n && (p[i] == '+' || p[i] == '-')) ++i;
        const std::size_t exp = i;
        while (i < n && digit(p[i])) ++i;
        if (i == exp || i - exp > 9) return kClassified;
    }
    while (i < n && p[i] == ' ') ++i;
    return i == n ? kNumber | kClassified : kClassified;
}

Value from_rxstring(const char* ptr, unsigned long length, bool copy) {
    if (!ptr) return kAbsentValue;
    return make_value(ptr, length, copy);
}

StringRef to_rxstring(Value& v) {
    if (v.flags & kAbsent) return {0, nullptr};
    std::string_view s = string_of(v);
    return {static_cast<unsigned long>(s.size()), s.data()};
}

int logical_value(const Value& v) {
    if (v.flags & kInteger) {
        if (v.data.integer == 0 || v.data.integer == 1) return v.data.integer;
    } else if (v.length == 1 && !(v.flags & kAbsent)) {
        char c = v.data.chars[0];
        if (c == '0' || c == '1') return c - '0';
    }
    error(34);
}

}  // namespace ketra
