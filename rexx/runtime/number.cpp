// The decimal working form: conversion from strings, rounding, trailing-zero removal, layout
// under NUMERIC FORM, the working areas, the NUMERIC DIGITS setter and the whole-number rule.
#include "rexx/runtime/number.h"

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"

namespace ketra {

namespace {

constexpr int kLocDigits = 311;
// Guard digits the areas hold beyond the reserved precision (power works at DIGITS plus the
// digit count of its exponent, at most 10).
constexpr std::int32_t kGuardDigits = 16;

WorkAreas g_areas{};  // zero-initialised; made on first use

// Power works at up to DIGITS + 10 digits, so the areas serve a little beyond kMaxDigits.
constexpr std::int32_t kMaxWorkingPrecision = kMaxDigits + 10;

void grow_areas(std::int32_t p) {
    if (p > kMaxWorkingPrecision) memory_full(kLocDigits, kPoolImplementationLimit);
    std::int32_t cap = p + kGuardDigits;
    std::size_t digits = static_cast<std::size_t>(cap);
    std::size_t limbs = 4 * ((2 * digits + 16) / 9 + 8);
    auto* op1 = static_cast<std::uint8_t*>(allocate(digits + 2));
    auto* op2 = static_cast<std::uint8_t*>(allocate(digits + 2));
    auto* res = static_cast<std::uint8_t*>(allocate(2 * digits + 16));
    auto* lb = static_cast<std::uint32_t*>(allocate(limbs * sizeof(std::uint32_t)));
    release_numeric_areas();
    g_areas = WorkAreas{cap, op1, op2, res, lb, limbs};
}

}  // namespace

WorkAreas& work_areas(std::int32_t p) {
    if (p + kGuardDigits > g_areas.capacity) grow_areas(p < 9 ? 9 : p);
    return g_areas;
}

void reserve_numeric_digits(std::int32_t digits) {
    if (digits > kMaxDigits) memory_full(kLocDigits, kPoolImplementationLimit);
    work_areas(digits);
}

void set_numeric_digits(Numeric& n, std::int32_t digits) {
    if (digits < 1) internal_error(311);
    reserve_numeric_digits(digits);
    n.digits = digits;
}

void release_numeric_areas() {
    release_if(g_areas.op1);
    release_if(g_areas.op2);
    release_if(g_areas.result);
    release_if(g_areas.limbs);
    g_areas = WorkAreas{};
}

DigitBuffer::DigitBuffer(std::size_t n) : p_(static_cast<std::uint8_t*>(allocate(n ? n : 1))) {}
DigitBuffer::~DigitBuffer() {
    release(p_);
}

// ---- conversion ------------------------------------------------------------------------------

namespace {

// End of the run of digits from i.
std::size_t digit_run_end(const char* s, std::size_t i, std::size_t len) {
    while (i + 8 <= len) {
        unsigned k = first_non_digit8(load8(s + i));
        i += k;
        if (k < 8) return i;
    }
    while (i < len && s[i] >= '0' && s[i] <= '9') ++i;
    return i;
}

// Digit bytes of the n characters '0'..'9' at s.
void copy_digit_chars(std::uint8_t* out, const char* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) store8(out + i, load8(s + i) - 0x30 * kLanes8);
    for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(s[i] - '0');
}

}  // namespace

bool scan_number(const char* s, std::size_t len, NumberScan& out) {
    std::size_t i = 0;
    int sign = 1;
    while (i < len && s[i] == ' ') ++i;
    if (i < len && (s[i] == '+' || s[i] == '-')) {
        sign = s[i] == '-' ? -1 : 1;
        ++i;
        while (i < len && s[i] == ' ') ++i;
    }
    // The integer part [ib, ie) and the fraction [fb, fe).
    const std::size_t ib = i;
    const std::size_t ie = digit_run_end(s, ib, len);
    std::size_t fb = ie, fe = ie;
    if (ie < len && s[ie] == '.') {
        fb = ie + 1;
        fe = digit_run_end(s, fb, len);
    }
    if (ie == ib && fe == fb) return false;
    i = fe;
    std::int64_t e = 0;
    if (i < len && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        int esign = 1;
        if (i < len && (s[i] == '+' || s[i] == '-')) esign = s[i++] == '-' ? -1 : 1;
        std::int64_t x = 0;
        std::size_t ed = 0;
        while (i < len && s[i] >= '0' && s[i] <= '9') {
            x = x * 10 + (s[i++] - '0');
            if (++ed > 9) return false;
        }
        if (!ed) return false;
        e = esign * x;
    }
    while (i < len && s[i] == ' ') ++i;
    if (i != len) return false;
    // Leading zeros are not significant.
    std::size_t a = ib;
    while (a < ie && s[a] == '0') ++a;
    std::size_t b = fb;
    if (a == ie)
        while (b < fe && s[b] == '0') ++b;
    out = NumberScan{sign, s + a, ie - a, s + b, fe - b, e - static_cast<std::int64_t>(fe - fb)};
    return true;
}

bool parse_decimal(const char* s, std::size_t len, std::int32_t p, Decimal& out,
                   std::uint8_t* buf) {
    NumberScan sc;
    if (!scan_number(s, len, sc)) return false;
    const std::size_t total = sc.n1 + sc.n2;
    if (total == 0) {
        out = Decimal{1, 0, 0, buf};
        return true;
    }
    const std::size_t keep = static_cast<std::size_t>(p) + 1;
    std::size_t from_int = sc.n1 < keep ? sc.n1 : keep;
    copy_digit_chars(buf, sc.int_digits, from_int);
    std::size_t from_frac = sc.n2 < keep - from_int ? sc.n2 : keep - from_int;
    copy_digit_chars(buf + from_int, sc.frac_digits, from_frac);
    out = Decimal{sc.sign, static_cast<std::int32_t>(from_int + from_frac),
                  sc.bottom + static_cast<std::int64_t>(total), buf};
    return true;
}

void to_decimal(const Value& v, std::int32_t p, Decimal& out, std::uint8_t* buf) {
    if (v.flags & kInteger) {
        std::int32_t x = v.data.integer;
        if (x == 0) {
            out = Decimal{1, 0, 0, buf};
            return;
        }
        std::uint32_t mag =
            x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x);
        std::uint8_t tmp[10];
        std::int32_t len = 0;
        while (mag) {
            tmp[len++] = static_cast<std::uint8_t>(mag % 10);
            mag /= 10;
        }
        std::int32_t keep = len < p + 1 ? len : p + 1;
        for (std::int32_t j = 0; j < keep; ++j) buf[j] = tmp[len - 1 - j];
        out = Decimal{x < 0 ? -1 : 1, keep, len, buf};
        return;
    }
    if ((v.flags & kClassified) && !(v.flags & kNumber)) error(41);
    if (!parse_decimal(chars_of(v), v.length, p, out, buf)) error(41);
}

// ---- rounding --------------------------------------------------------------------------------

void round_decimal(Decimal& x, std::int32_t p) {
    if (x.n <= p) return;
    if (x.d[p] >= 5) {
        std::int32_t i = p - 1;
        while (i >= 0 && x.d[i] == 9) x.d[i--] = 0;
        if (i < 0) {
            x.d[0] = 1;
            ++x.exp;
        } else {
            ++x.d[i];
        }
    }
    x.n = p;
}

void strip_zeros(Decimal& x) {
    while (x.n > 0 && x.d[x.n - 1] == 0) --x.n;
}

// ---- layout ----------------------------------------------------------------------------------

namespace {

struct Shape {
    bool fixed;
    std::int64_t sci;     // exponent written after E
    std::int64_t before;  // mantissa digits before the point (exponential)
};

Shape shape_of(const Decimal& x, const Numeric& n) {
    std::int64_t before = x.exp > 0 ? x.exp : 0;
    std::int64_t after = x.n - x.exp > 0 ? x.n - x.exp : 0;
    if (before <= n.digits && after <= 2 * static_cast<std::int64_t>(n.digits)) return {true, 0, 0};
    std::int64_t s = x.exp - 1;
    std::int64_t lead = 1;
    if (n.engineering) {
        std::int64_t r = ((s % 3) + 3) % 3;
        s -= r;
        lead += r;
    }
    return {false, s, lead};
}

std::size_t exponent_chars(std::int64_t e) {
    std::uint64_t m = e < 0 ? static_cast<std::uint64_t>(-e) : static_cast<std::uint64_t>(e);
    std::size_t c = 1;
    while (m >= 10) m /= 10, ++c;
    return c;
}

}  // namespace

std::size_t layout_length(const Decimal& x, const Numeric& n) {
    if (x.n == 0) return 1;
    std::size_t len = x.sign < 0 ? 1 : 0;
    Shape sh = shape_of(x, n);
    if (sh.fixed) {
        if (x.exp <= 0) return len + 2 + static_cast<std::size_t>(-x.exp) + x.n;
        if (x.n <= x.exp) return len + static_cast<std::size_t>(x.exp);
        return len + x.n + 1;
    }
    len += sh.before > x.n ? sh.before : x.n;
    if (x.n > sh.before) ++len;
    return len + 2 + exponent_chars(sh.sci);
}

void layout(const Decimal& x, const Numeric& n, char* out) {
    if (x.n == 0) {
        *out = '0';
        return;
    }
    if (x.sign < 0) *out++ = '-';
    Shape sh = shape_of(x, n);
    auto digits = [&](std::int64_t from, std::int64_t to) {
        std::int64_t i = from;
        for (; i + 8 <= to; i += 8, out += 8) store8(out, load8(x.d + i) + 0x30 * kLanes8);
        for (; i < to; ++i) *out++ = static_cast<char>('0' + x.d[i]);
    };
    if (sh.fixed) {
        if (x.exp <= 0) {
            *out++ = '0';
            *out++ = '.';
            std::memset(out, '0', static_cast<std::size_t>(-x.exp));
            out += -x.exp;
            digits(0, x.n);
        } else if (x.n <= x.exp) {
            digits(0, x.n);
            std::memset(out, '0', static_cast<std::size_t>(x.exp - x.n));
        } else {
            digits(0, x.exp);
            *out++ = '.';
            digits(x.exp, x.n);
        }
        return;
    }
    if (x.n >= sh.before) {
        digits(0, sh.before);
        if (x.n > sh.before) {
            *out++ = '.';
            digits(sh.before, x.n);
        }
    } else {
        digits(0, x.n);
        for (std::int64_t i = x.n; i < sh.before; ++i) *out++ = '0';
    }
    *out++ = 'E';
    *out++ = sh.sci < 0 ? '-' : '+';
    std::uint64_t m =
        sh.sci < 0 ? static_cast<std::uint64_t>(-sh.sci) : static_cast<std::uint64_t>(sh.sci);
    char tmp[24];
    int k = 0;
    do {
        tmp[k++] = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m);
    while (k) *out++ = tmp[--k];
}

Value decimal_to_value(const Decimal& x, const Numeric& n) {
    if (x.n == 0) return kZeroValue;
    // The limit applies to the exponent of the scientific layout, so every result can be read
    // back as a number (an exponent has at most 9 digits).
    if (x.exp - 1 > kMaxExponent || x.exp - 1 < -kMaxExponent) error(42);
    // Whole results of up to 9 digits in fixed notation are kept in integer form.
    if (x.exp >= x.n && x.exp <= 9 && x.exp <= n.digits) {
        std::int32_t v = 0;
        for (std::int32_t i = 0; i < x.n; ++i) v = v * 10 + x.d[i];
        for (std::int64_t i = x.n; i < x.exp; ++i) v *= 10;
        return integer_constant(x.sign < 0 ? -v : v);
    }
    Value r{};
    std::size_t len = layout_length(x, n);
    char* out = start_string(r, len);
    layout(x, n, out);
    r.flags |= kNumber | kClassified;
    return r;
}

// ---- whole numbers ---------------------------------------------------------------------------

bool try_whole_number(const Value& v, std::int32_t& out) {
    if (small_integer(v, out)) return true;
    if (v.flags & kAbsent) return false;
    std::uint8_t buf[10];
    Decimal x;
    if ((v.flags & kClassified) && !(v.flags & kNumber)) return false;
    if (!parse_decimal(chars_of(v), v.length, 9, x, buf)) return false;
    round_decimal(x, 9);
    strip_zeros(x);
    if (x.n == 0) {
        out = 0;
        return true;
    }
    if (x.n > x.exp || x.exp >= 10) return false;
    std::int32_t r = 0;
    for (std::int32_t i = 0; i < x.n; ++i) r = r * 10 + x.d[i];
    for (std::int64_t i = x.n; i < x.exp; ++i) r *= 10;
    out = x.sign < 0 ? -r : r;
    return true;
}

std::int32_t whole_number(const Value& v) {
    std::int32_t r;
    if (!try_whole_number(v, r)) error(26);
    return r;
}

}  // namespace ketra
