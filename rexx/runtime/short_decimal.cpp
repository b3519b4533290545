// The small-precision operators on 64- and 128-bit integers (see short_decimal.h).
#include "rexx/runtime/short_decimal.h"

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/runtime/arith.h"
#include "rexx/runtime/number.h"

namespace ketra {

namespace {

using u128 = unsigned __int128;

// value = sign * coef * 10^exp; coef has nd digits (0 for zero, whose coef is 0).
struct Short {
    int sign;
    std::int32_t nd;
    std::int64_t exp;
    std::uint64_t coef;
};

constexpr Short kShortZero{1, 0, 0, 0};

struct Powers {
    u128 p[39];
};
constexpr Powers make_powers() {
    Powers t{};
    u128 v = 1;
    for (auto& x : t.p) {
        x = v;
        v *= 10;
    }
    return t;
}
constexpr Powers kPow = make_powers();
// The same up to 10^19 in 64 bits, for the paths that stay in one word.
struct Powers64 {
    std::uint64_t p[20];
};
constexpr Powers64 make_powers64() {
    Powers64 t{};
    for (int i = 0; i < 20; ++i) t.p[i] = static_cast<std::uint64_t>(kPow.p[i]);
    return t;
}
constexpr Powers64 kPow64 = make_powers64();

// Number of decimal digits of v > 0.
int digit_count(std::uint64_t v) {
    int t = ((64 - __builtin_clzll(v)) * 1233) >> 12;
    return t + (v >= kPow64.p[t]);
}
int digit_count(u128 v) {
    std::uint64_t hi = static_cast<std::uint64_t>(v >> 64);
    int bits = hi ? 128 - __builtin_clzll(hi) : 64 - __builtin_clzll(static_cast<std::uint64_t>(v));
    int t = (bits * 1233) >> 12;
    return t + (v >= kPow.p[t]);
}

// Keeps the first keep digits of a magnitude of nd digits (the rest is dropped, not rounded).
void cut(Short& x, std::int32_t keep) {
    if (x.nd <= keep) return;
    std::int32_t k = x.nd - keep;
    x.coef /= kPow64.p[k];
    x.exp += k;
    x.nd = keep;
}

// Value of the n digit characters at s (n <= 19).
std::uint64_t chars_value(const char* s, std::size_t n) {
    std::uint64_t v = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) v = v * 100000000 + word8_value(load8(s + i) - 0x30 * kLanes8);
    for (; i < n; ++i) v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
    return v;
}

// An operand "[-]digits[.digits]" of at most eight characters, written as coef * 10^-frac
// (frac 0 for zero), taken apart with word arithmetic from the inline characters x (n of them).
struct Fixed {
    std::uint64_t coef;
    std::int32_t frac;
    bool neg;
    std::int32_t nd = 0;  // digits of coef when known, else 0
};
[[gnu::always_inline]] inline bool read_inline(std::uint64_t x, unsigned n, Fixed& out) {
    // A shortened record may hold stale characters past its length.
    x &= ~0ull >> (8 * (8 - n));
    const bool neg = (x & 0xFF) == '-';
    if (neg) {
        x >>= 8;
        --n;
    }
    // The first period is found exactly (a borrow only flags bytes after it); a second one is
    // then no digit. The bytes past the characters are now zeros, never periods.
    const std::uint64_t y = x ^ (0x2E * kLanes8);
    const std::uint64_t dots = (y - kLanes8) & ~y & (0x80 * kLanes8);
    std::int32_t frac = 0;
    if (dots) {
        const unsigned k = static_cast<unsigned>(__builtin_ctzll(dots)) / 8;
        const std::uint64_t low = (1ull << (8 * k)) - 1;
        x = (x & low) | ((x >> 8) & ~low);
        --n;
        frac = static_cast<std::int32_t>(n - k);
    }
    std::uint32_t c;
    if (n == 0 || !chars8_value(x, n, c)) return false;
    out = Fixed{c, c ? frac : 0, neg, 0};
    return true;
}

// The operand at precision p (p + 1 digits kept).
[[gnu::always_inline]] inline Short fixed_short(const Fixed& f, std::int32_t p) {
    if (f.coef == 0) return kShortZero;
    Short s{f.neg ? -1 : 1, f.nd ? f.nd : digit_count(f.coef), -f.frac, f.coef};
    cut(s, p + 1);
    return s;
}

// A fraction laid out in one word (inline_fraction below), read back: the coefficient from the
// record, the number of fraction digits from where its period is.
[[gnu::always_inline]] inline Fixed kept_inline(const Value& v) {
    const std::uint64_t x = load8(v.data.chars);
    const std::uint64_t y = x ^ (0x2E * kLanes8);
    const std::uint64_t dots = (y - kLanes8) & ~y & (0x80 * kLanes8);
    const auto at = static_cast<std::int32_t>(__builtin_ctzll(dots) / 8);
    return Fixed{(std::uint64_t{v.reserved} << 16) | v.scan,
                 static_cast<std::int32_t>(v.length) - 1 - at, (x & 0xFF) == '-', 0};
}

// The common shape "[-]digits[.digits]" of at most 19 characters, read in one pass (every
// digit fits the 64-bit coefficient before the cut). False for any other shape.
bool scan_plain(const char* s, std::size_t len, std::int32_t keep, Short& out) {
    if (len > 19 || len == 0) return false;
    const char* p = s;
    const char* const end = s + len;
    int sign = 1;
    if (*p == '-') {
        sign = -1;
        ++p;
    }
    const char* const first = p;
    const char* dot = nullptr;
    std::uint64_t c = 0;
    for (;;) {
        for (; p < end; ++p) {
            unsigned d = static_cast<unsigned char>(*p) - '0';
            if (d > 9) break;
            c = c * 10 + d;
        }
        if (p == end) break;
        if (*p != '.' || dot) return false;
        dot = p++;
    }
    if (end - first == (dot ? 1 : 0)) return false;
    if (c == 0) {
        out = kShortZero;
        return true;
    }
    out = Short{sign, digit_count(c), dot ? -(end - dot - 1) : 0, c};
    cut(out, keep);
    return true;
}

// The operand at precision p (p + 1 digits kept); error 41 for a non-number.
[[gnu::always_inline]] inline Short to_short(const Value& v, std::int32_t p) {
    const std::int32_t keep = p + 1;
    if (v.flags & kInteger) {
        std::int32_t x = v.data.integer;
        if (x == 0) return kShortZero;
        std::uint64_t mag =
            x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x);
        Short s{x < 0 ? -1 : 1, digit_count(mag), 0, mag};
        cut(s, keep);
        return s;
    }
    if (v.flags & kScanned) {
        // A result of this path, read back from the form it was laid out from.
        if (v.length <= kInlineMax) return fixed_short(kept_inline(v), p);
        Short s{v.data.ptr[0] == '-' ? -1 : 1, v.scan >> 8,
                -static_cast<std::int64_t>(v.scan & 0xFF), load8(v.data.ptr + kSideOffset)};
        cut(s, keep);
        return s;
    }
    if ((v.flags & kClassified) && !(v.flags & kNumber)) error(41);
    Fixed fixed;
    if (v.length - 1 < kInlineMax && read_inline(load8(v.data.chars), v.length, fixed))
        return fixed_short(fixed, p);
    Short plain;
    if (scan_plain(chars_of(v), v.length, keep, plain)) return plain;
    NumberScan sc;
    if (!scan_number(chars_of(v), v.length, sc)) error(41);
    const std::size_t total = sc.n1 + sc.n2;
    if (total == 0) return kShortZero;
    const auto k = static_cast<std::size_t>(keep);
    std::size_t from_int = sc.n1 < k ? sc.n1 : k;
    std::size_t from_frac = sc.n2 < k - from_int ? sc.n2 : k - from_int;
    std::uint64_t c = chars_value(sc.int_digits, from_int);
    if (from_frac) c = c * kPow64.p[from_frac] + chars_value(sc.frac_digits, from_frac);
    std::size_t used = from_int + from_frac;
    return Short{sc.sign, static_cast<std::int32_t>(used),
                 sc.bottom + static_cast<std::int64_t>(total - used), c};
}

// The exact magnitude c * 10^e with the sign, rounded half up to p digits.
[[gnu::always_inline]] inline Short rounded(int sign, u128 c, std::int64_t e, std::int32_t p) {
    if (c == 0) return kShortZero;
    if (!(c >> 64)) {
        // The usual case (DIGITS 9): all in 64 bits.
        auto c64 = static_cast<std::uint64_t>(c);
        std::int32_t nd = digit_count(c64);
        if (nd > p) {
            std::int32_t k = nd - p;
            const std::uint64_t unit = kPow64.p[k];
            std::uint64_t q = c64 / unit, rem = c64 % unit;
            if (rem >= unit / 2 && ++q == kPow64.p[p]) {
                q /= 10;
                ++k;
            }
            return Short{sign, p, e + k, q};
        }
        return Short{sign, nd, e, c64};
    }
    std::int32_t nd = digit_count(c);
    std::int32_t k = nd - p;  // positive: c has more than 2p digits only when wider than 64 bits
    u128 q = c / kPow.p[k];
    u128 rem = c - q * kPow.p[k];
    if (rem >= kPow.p[k] / 2 && ++q == kPow.p[p]) {
        q /= 10;
        ++k;
    }
    return Short{sign, p, e + k, static_cast<std::uint64_t>(q)};
}

[[gnu::always_inline]] inline Short add(Short a, Short b, bool subtract, std::int32_t p) {
    if (subtract) b.sign = -b.sign;
    // Every case ends in the one rounding below, which is inlined once.
    int sign;
    u128 c;
    std::int64_t bottom;
    if (a.nd == 0 || b.nd == 0) {
        const Short& s = a.nd ? a : b;
        sign = s.sign;
        c = s.coef;
        bottom = s.exp;
    } else {
        // An operand wholly below digit p + 2 of the other is replaced by one digit there, as
        // on the digit path (it cannot change the rounded sum).
        std::int64_t ta = a.exp + a.nd, tb = b.exp + b.nd;
        if (tb <= ta - p - 2) {
            b = Short{b.sign, 1, ta - p - 3, 1};
        } else if (ta <= tb - p - 2) {
            a = Short{a.sign, 1, tb - p - 3, 1};
        }
        bottom = a.exp < b.exp ? a.exp : b.exp;
        u128 x = static_cast<u128>(a.coef) * kPow.p[a.exp - bottom];
        u128 y = static_cast<u128>(b.coef) * kPow.p[b.exp - bottom];
        sign = a.sign;
        if (a.sign == b.sign) {
            c = x + y;
        } else if (x >= y) {
            c = x - y;
        } else {
            sign = b.sign;
            c = y - x;
        }
    }
    return rounded(sign, c, bottom, p);
}

Short multiply(const Short& a, const Short& b, std::int32_t p) {
    if (a.nd == 0 || b.nd == 0) return kShortZero;
    return rounded(a.sign * b.sign, static_cast<u128>(a.coef) * b.coef, a.exp + b.exp, p);
}

// The quotient is formed to p + 2 or more digits and truncated, as on the digit path, then
// rounded and stripped of trailing zeros.
Short divide(const Short& a, const Short& b, std::int32_t p) {
    if (a.nd == 0) return kShortZero;
    std::int32_t s = p + 2 + b.nd - a.nd;
    u128 u = static_cast<u128>(a.coef) * kPow.p[s];
    u128 q = u / b.coef;
    Short r = rounded(a.sign * b.sign, q, a.exp - b.exp - s, p);
    while (r.nd && r.coef % 10 == 0) {
        r.coef /= 10;
        ++r.exp;
        --r.nd;
    }
    return r;
}

// The fixed notation of the fraction coef * 10^-f (f > 0, nd digits, at most p) when it takes
// at most eight characters: one word, the digits (with "0" before a pure fraction) and the
// period put in by moving the fraction up a byte. False when it needs more room or
// exponential notation.
[[gnu::always_inline]] inline bool inline_fraction(bool neg, std::uint64_t coef, std::int32_t nd,
                                                   std::int64_t f, std::int32_t p, Value& out) {
    const std::int64_t shown = nd > f ? nd : f + 1;
    const std::int64_t len = neg + shown + 1;
    if (len > static_cast<std::int64_t>(kInlineMax) || f > 2 * static_cast<std::int64_t>(p))
        return false;
    std::uint64_t w = value_digits8(static_cast<std::uint32_t>(coef)) + 0x30 * kLanes8;
    w >>= 8 * (8 - shown);
    const std::uint64_t low = (1ull << (8 * (shown - f))) - 1;
    w = (w & low) | (std::uint64_t{'.'} << (8 * (shown - f))) | ((w & ~low) << 8);
    if (neg) w = (w << 8) | '-';
    out = Value{};
    out.length = static_cast<std::uint32_t>(len);
    // The coefficient (at most seven digits) is kept in the record's spare 24 bits.
    out.flags = kNumber | kClassified | kScanned;
    out.reserved = static_cast<std::uint8_t>(coef >> 16);
    out.scan = static_cast<std::uint16_t>(coef);
    store8(out.data.chars, w);
    return true;
}

// The result record. Whole numbers and fixed notation are written here straight from the
// coefficient; exponential notation goes through the layout of the working form.
[[gnu::always_inline]] inline Value to_value(const Short& x, const Numeric& n) {
    if (x.nd == 0) return kZeroValue;
    const std::int64_t top = x.exp + x.nd;  // digits before the point
    if (x.exp >= 0 && top <= 9 && top <= n.digits) {
        auto v = static_cast<std::int32_t>(x.coef * kPow64.p[x.exp]);
        return integer_constant(x.sign < 0 ? -v : v);
    }
    Value word;
    if (x.nd < 8 && x.exp < 0 && inline_fraction(x.sign < 0, x.coef, x.nd, -x.exp, n.digits, word))
        return word;
    // At most kShortDigits digits: two words of eight, right-aligned, and room to copy 16
    // bytes from any start.
    static_assert(kShortDigits <= 16);
    char digs[32] = {};
    const std::uint64_t high = x.coef / 100000000;
    // Nine digits or fewer (DIGITS 9) need no division of the high word.
    const std::uint64_t high_digits =
        high < 10 ? high << 56 : value_digits8(static_cast<std::uint32_t>(high));
    store8(digs, high_digits + 0x30 * kLanes8);
    store8(digs + 8,
           value_digits8(static_cast<std::uint32_t>(x.coef % 100000000)) + 0x30 * kLanes8);
    const char* d = digs + 16 - x.nd;
    if (top > n.digits || -x.exp > 2 * static_cast<std::int64_t>(n.digits)) {
        std::uint8_t buf[16];
        for (std::int32_t i = 0; i < x.nd; ++i) buf[i] = static_cast<std::uint8_t>(d[i] - '0');
        return decimal_to_value(Decimal{x.sign, x.nd, top, buf}, n);
    }
    // Fixed notation: at most 1 + 2 + 2 * kShortDigits + kShortDigits characters.
    char text[64];
    char* o = text;
    if (x.sign < 0) *o++ = '-';
    const auto nd = static_cast<std::size_t>(x.nd);
    if (top <= 0) {
        const auto zeros = static_cast<std::size_t>(-top);
        *o++ = '0';
        *o++ = '.';
        std::memset(o, '0', 32);
        std::memcpy(o + zeros, d, 16);
        o += zeros + nd;
    } else if (x.exp >= 0) {
        std::memcpy(o, d, 16);
        std::memset(o + nd, '0', 16);
        o += nd + static_cast<std::size_t>(x.exp);
    } else {
        const auto before = static_cast<std::size_t>(top);
        std::memcpy(o, d, 16);
        o[before] = '.';
        std::memcpy(o + before + 1, d + before, 16);
        o += nd + 1;
    }
    // Whole-word moves where the length allows (text has room for them).
    const auto len = static_cast<std::size_t>(o - text);
    Value r{};
    if (len <= kInlineMax) {
        // Past the characters an inline record holds zeros, as everywhere else.
        r.length = static_cast<std::uint32_t>(len);
        const std::uint64_t mask = len == kInlineMax ? ~0ull : (1ull << (8 * len)) - 1;
        store8(r.data.chars, load8(text) & mask);
        r.flags = kNumber | kClassified;
        return r;
    }
    char* out = start_string(r, len);
    r.flags |= kNumber | kClassified;
    if (len > kSideMax) {
        std::memcpy(out, text, len);
        return r;
    }
    store8(out, load8(text));
    store8(out + 8, load8(text + 8));
    out[len] = '\0';
    if (x.exp < 0) {
        // With a point, the characters scan back to exactly this coefficient and exponent;
        // they are kept beside the characters so that the next operation need not scan them.
        store8(out + kSideOffset, x.coef);
        r.scan = static_cast<std::uint16_t>((x.nd << 8) | -x.exp);
        r.flags |= kScanned;
    }
    return r;
}

// The fixed notation of the fraction coef * 10^-f with nd > f digits (some before the point)
// when it takes kInlineMax + 1 to kSideMax characters: a buffer of its own, with the
// coefficient kept in the side word as to_value keeps it, laid out by whole-word moves. The
// buffer is the one `into` owns when that is a long kept number too (see add_values).
[[gnu::noinline]] Value side_fraction(bool neg, std::uint64_t coef, std::int32_t nd, std::int32_t f,
                                      Value* into) {
    // The digits right-aligned in two words, and room to copy 16 bytes from any start.
    char digs[32];
    // Eight digits or fewer (DIGITS 9 gives no more than nine) need no division.
    const std::uint64_t high = coef / 100000000;
    store8(digs, high ? value_digits8(static_cast<std::uint32_t>(high)) + 0x30 * kLanes8
                      : 0x30 * kLanes8);
    store8(digs + 8,
           value_digits8(static_cast<std::uint32_t>(coef - high * 100000000)) + 0x30 * kLanes8);
    const char* d = digs + 16 - nd;
    const auto top = static_cast<std::size_t>(nd - f);
    char text[40];
    char* o = text + neg;
    text[0] = '-';
    std::memcpy(o, d, 16);
    o[top] = '.';
    std::memcpy(o + top + 1, d + top, 16);
    const auto len = static_cast<std::size_t>(neg + nd + 1);
    Value r{};
    char* out;
    // A long kept number has a side word, so its buffer has room for any such layout.
    if (into && (into->flags & (kOwned | kScanned | kInteger)) == (kOwned | kScanned) &&
        into->length > kInlineMax) {
        out = const_cast<char*>(into->data.ptr);
        r.length = static_cast<std::uint32_t>(len);
        r.data.ptr = out;
        r.flags = kOwned;
        *into = kNullString;
    } else {
        out = start_string(r, len);
    }
    std::memcpy(out, text, 16);
    out[len] = '\0';
    store8(out + kSideOffset, coef);
    r.scan = static_cast<std::uint16_t>((nd << 8) | f);
    r.flags |= kNumber | kClassified | kScanned;
    return r;
}

// The general steps out of line, so that the sum below keeps a small frame.
[[gnu::noinline]] Value general_value(const Short& x, const Numeric& n) {
    return to_value(x, n);
}
[[gnu::noinline]] Value general_sum(const Value& l, const Value& r, bool subtract,
                                    const Numeric& n) {
    return to_value(add(to_short(l, n.digits), to_short(r, n.digits), subtract, n.digits), n);
}

inline Fixed whole_fixed(std::int32_t x) {
    return Fixed{x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x), 0,
                 x < 0, 0};
}

// An operand of a sum read without the general scan: integer form, a kept coefficient, an
// inline plain string or a classified whole number.
[[gnu::always_inline]] inline bool fixed_operand(const Value& v, std::int32_t p, Fixed& out) {
    if (v.flags & kInteger) {
        out = whole_fixed(v.data.integer);
        return true;
    }
    if (v.flags & kScanned) {
        if (v.length <= kInlineMax) {
            out = kept_inline(v);
            return true;
        }
        // A result of DIGITS digits (a rounded one, typically) leaves no room for an exact sum.
        const std::int32_t nd = v.scan >> 8;
        if (nd >= p) return false;
        out = Fixed{load8(v.data.ptr + kSideOffset), v.scan & 0xFF, v.data.ptr[0] == '-', nd};
        return true;
    }
    if (v.length - 1 < kInlineMax) {
        if ((v.flags & (kClassified | kNumber)) == kClassified) return false;
        return read_inline(load8(v.data.chars), v.length, out);
    }
    // A whole number of nine or ten characters (built by concatenation, say).
    std::int32_t x;
    if ((v.flags & (kClassified | kWhole)) != (kClassified | kWhole) || !small_integer(v, x))
        return false;
    out = whole_fixed(x);
    return true;
}

// The sums that add_values does not settle in its first lines.
[[gnu::noinline]] Value aligned_sum(const Value& l, const Value& r, bool subtract, const Numeric& n,
                                    Value* into) {
    if (n.digits > kShortDigits) return arith(l, r, subtract ? kOpSubtract : kOpAdd, n);
    const std::int32_t p = n.digits;
    Fixed a, b;
    if (!fixed_operand(l, p, a) || !fixed_operand(r, p, b)) return general_sum(l, r, subtract, n);
    if (subtract) b.neg = !b.neg;
    const std::int32_t f = a.frac > b.frac ? a.frac : b.frac;
    const std::int32_t sa = f - a.frac, sb = f - b.frac;
    // Operands that line up below 10^DIGITS are neither cut nor moved by the rounding of the
    // general path, and neither is a sum that stays below 10^DIGITS: it is exact.
    if (sa <= p && sb <= p && a.coef < kPow64.p[p - sa] && b.coef < kPow64.p[p - sb]) {
        const std::uint64_t x = a.coef * kPow64.p[sa];
        const std::uint64_t y = b.coef * kPow64.p[sb];
        bool neg = a.neg;
        std::uint64_t c;
        if (a.neg == b.neg) {
            c = x + y;
        } else if (x >= y) {
            c = x - y;
        } else {
            c = y - x;
            neg = b.neg;
        }
        if (c < kPow64.p[p]) {
            if (f == 0 && c <= static_cast<std::uint64_t>(kMaxInteger)) {
                const auto v = static_cast<std::int32_t>(c);
                return integer_constant(neg ? -v : v);
            }
            if (c == 0) return kZeroValue;
            const std::int32_t nd = digit_count(c);
            Value out;
            if (f && inline_fraction(neg, c, nd, f, p, out)) return out;
            if (f && nd > f && neg + nd + 1 <= static_cast<std::int32_t>(kSideMax))
                return side_fraction(neg, c, nd, f, into);
            return general_value(Short{neg ? -1 : 1, nd, -f, c}, n);
        }
    }
    return general_sum(l, r, subtract, n);
}

// The value of an operand in integer form or written inline as one to eight digits ("05"), read
// in place; false for any other record. Sums of two such operands at DIGITS 9 or more are
// exact, whatever classification the characters had.
[[gnu::always_inline]] inline bool digits_operand(const Value& v, std::int32_t& out) {
    if (v.flags & kInteger) {
        out = v.data.integer;
        return true;
    }
    std::uint32_t d;
    // A kept inline number is a fraction; an absent or empty record has length 0.
    if ((v.flags & kScanned) || v.length - 1 >= kInlineMax ||
        !chars8_value(load8(v.data.chars), v.length, d))
        return false;
    out = static_cast<std::int32_t>(d);
    return true;
}

}  // namespace

// Integer-form operands and short digit strings ("05", a piece of a date) are summed here,
// before the frame of the general sum is set up.
Value add_values(const Value& l, const Value& r, bool subtract, const Numeric& n, Value* into) {
    std::int32_t x, y;
    if (n.digits >= 9 && digits_operand(l, x) && digits_operand(r, y)) {
        const std::int64_t c = subtract ? std::int64_t{x} - y : std::int64_t{x} + y;
        if (c >= -kMaxInteger && c <= kMaxInteger)
            return integer_constant(static_cast<std::int32_t>(c));
    }
    return aligned_sum(l, r, subtract, n, into);
}

namespace {

[[gnu::noinline]] Value product_or_quotient(const Value& l, const Value& r, int op,
                                            const Numeric& n) {
    const std::int32_t p = n.digits;
    Short a = to_short(l, p);
    Short b = to_short(r, p);
    switch (op) {
        case kOpMultiply:
            return to_value(multiply(a, b, p), n);
        case kOpDivide:
            if (b.nd == 0) error(42);
            return to_value(divide(a, b, p), n);
        default:
            internal_error(324);
    }
}

}  // namespace

// Each kind in a function of its own: the frame of the general layout is set up only where
// it is needed.
Value short_arith(const Value& l, const Value& r, int op, const Numeric& n) {
    if (op <= kOpSubtract) return add_values(l, r, op == kOpSubtract, n);
    return product_or_quotient(l, r, op, n);
}

}  // namespace ketra
