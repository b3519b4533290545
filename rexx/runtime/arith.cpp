// The REXX operators: arithmetic (32-bit fast path, then the decimal path on the working areas),
// numeric and strict comparison, logical operators and concatenation.
#include "rexx/runtime/arith.h"

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/runtime/decimal_ops.h"
#include "rexx/runtime/number.h"
#include "rexx/runtime/short_decimal.h"

namespace ketra {

namespace {

constexpr int kLocConcat = 321;

bool in_range(std::int64_t v) {
    return v >= -kMaxInteger && v <= kMaxInteger;
}

// The 32-bit fast path; returns false when the decimal path must compute the result.
bool fast_arith(std::int32_t x, std::int32_t y, int op, Value& out) {
    std::int64_t r;
    switch (op) {
        case kOpAdd:
            r = static_cast<std::int64_t>(x) + y;
            break;
        case kOpSubtract:
            r = static_cast<std::int64_t>(x) - y;
            break;
        case kOpMultiply:
            // Not part of the integer rules, but an in-range product of whole numbers is exact
            // and lays out the same on both paths.
            r = static_cast<std::int64_t>(x) * y;
            break;
        case kOpIntDivide:
            if (y == 0) error(42);
            r = x / y;
            break;
        case kOpRemainder:
            if (y == 0) error(42);
            r = x % y;
            break;
        case kOpPlus:
            r = x;
            break;
        case kOpMinus:
            r = -static_cast<std::int64_t>(x);
            break;
        case kOpAbs:
            r = x < 0 ? -static_cast<std::int64_t>(x) : x;
            break;
        case kOpSign:
            r = (x > 0) - (x < 0);
            break;
        default:
            return false;
    }
    if (!in_range(r)) return false;
    out = integer_constant(static_cast<std::int32_t>(r));
    return true;
}

// Number of decimal digits of m (1 for 0).
std::int32_t digit_count(std::uint32_t m) {
    std::int32_t c = 1;
    while (m >= 10) m /= 10, ++c;
    return c;
}

Value power(const Value& l, const Value& r, const Numeric& n) {
    const std::int32_t p = n.digits;
    std::int32_t e = whole_number(r);
    std::uint32_t mag = e < 0 ? 0u - static_cast<std::uint32_t>(e) : static_cast<std::uint32_t>(e);
    const std::int32_t w = p + digit_count(mag);
    WorkAreas& areas = work_areas(w);
    Decimal base;
    to_decimal(l, p, base, areas.op1);
    round_decimal(base, p);
    if (mag == 0) return kOneValue;
    if (base.n == 0) {
        if (e < 0) error(42);
        return kZeroValue;
    }
    Decimal acc{1, 1, 1, areas.op2};
    areas.op2[0] = 1;
    Decimal prod;
    bool started = false;
    auto step = [&](const Decimal& x) {
        decimal_multiply(acc, x, w, prod, areas.result, areas.limbs);
        std::memcpy(areas.op2, prod.d, static_cast<std::size_t>(prod.n));
        acc = Decimal{prod.sign, prod.n, prod.exp, areas.op2};
    };
    for (int bit = 30; bit >= 0; --bit) {
        if (started) step(acc);
        if ((mag >> bit) & 1u) {
            step(base);
            started = true;
        }
    }
    Decimal res = acc;
    if (e < 0) {
        std::uint8_t one = 1;
        Decimal unit{1, 1, 1, &one};
        decimal_quotient(unit, acc, w, res, areas.result, areas.limbs);
        res.sign = acc.sign;
        round_decimal(res, w);
    }
    round_decimal(res, p);
    strip_zeros(res);
    return decimal_to_value(res, n);
}

}  // namespace

Value digit_arith(const Value& l, const Value& r, int op, const Numeric& n) {
    if (op == kOpPower) return power(l, r, n);
    const std::int32_t p = n.digits;
    WorkAreas& areas = work_areas(p);
    Decimal a, b, res;
    to_decimal(l, p, a, areas.op1);
    if (op <= kOpPower) to_decimal(r, p, b, areas.op2);
    switch (op) {
        case kOpAdd:
        case kOpSubtract:
            decimal_add(a, b, op == kOpSubtract, p, res, areas.result);
            break;
        case kOpMultiply:
            decimal_multiply(a, b, p, res, areas.result, areas.limbs);
            break;
        case kOpDivide:
            if (b.n == 0) error(42);
            decimal_quotient(a, b, p, res, areas.result, areas.limbs);
            round_decimal(res, p);
            strip_zeros(res);
            break;
        case kOpIntDivide:
            if (b.n == 0) error(42);
            decimal_quotient(a, b, p, res, areas.result, areas.limbs);
            if (res.exp <= 0) {
                res.n = 0;
            } else if (res.n > res.exp) {
                res.n = static_cast<std::int32_t>(res.exp);
            }
            round_decimal(res, p);
            break;
        case kOpRemainder:
            if (b.n == 0) error(42);
            decimal_remainder(a, b, p, res, areas.result, areas.limbs);
            break;
        case kOpPlus:
        case kOpMinus:
        case kOpAbs:
            res = a;
            round_decimal(res, p);
            if (op == kOpMinus) res.sign = -res.sign;
            if (op == kOpAbs) res.sign = 1;
            break;
        case kOpSign:
            return integer_constant(a.n == 0 ? 0 : a.sign);
        default:
            internal_error(320);
    }
    return decimal_to_value(res, n);
}

namespace {

std::string_view strip_blanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

int compare_bytes(std::string_view a, std::string_view b) {
    std::size_t m = a.size() < b.size() ? a.size() : b.size();
    int c = m ? std::memcmp(a.data(), b.data(), m) : 0;
    if (c) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// False for a record already known not to be a whole number (a computed fraction, say), which
// then skips the integer test.
inline bool may_be_whole(const Value& v) {
    if ((v.flags & (kInteger | kWhole)) || !(v.flags & kClassified)) return true;
    if ((v.flags & (kNumber | kScanned)) != kNumber || v.length > 10) return false;
    // A number in integer syntax but for its leading zeros ("09") is classified as a number only.
    const char* p = chars_of(v);
    if (*p == '-') ++p;
    return p[0] == '0' && static_cast<unsigned char>(p[1] - '0') <= 9;
}

// The value of an operand written as a whole number of at most 9 significant digits. Unlike
// small_integer it reads leading zeros ("09" is 9): an operator's result depends only on the
// operands' values, so such an operand may take the 32-bit path too.
bool whole_operand(const Value& v, std::int32_t& out) {
    if (v.flags & kInteger) {
        out = v.data.integer;
        return true;
    }
    if ((v.flags & kAbsent) || v.length == 0 || v.length > 10) return false;
    if (v.length <= kInlineMax) {
        // Inline characters: all the digits at once.
        std::uint64_t x = load8(v.data.chars);
        unsigned n = v.length;
        const bool neg = (x & 0xFF) == '-';
        if (neg) {
            x >>= 8;
            if (--n == 0) return false;
        }
        std::uint32_t r;
        if (!chars8_value(x, n, r)) return false;
        out = neg ? -static_cast<std::int32_t>(r) : static_cast<std::int32_t>(r);
        return true;
    }
    const char* p = chars_of(v);
    const char* const end = p + v.length;
    const bool neg = *p == '-';
    if (neg && ++p == end) return false;
    // A classified number that is not in integer syntax can still be one with leading zeros.
    if ((v.flags & kClassified) && (!(v.flags & kNumber) || (!(v.flags & kWhole) && *p != '0')))
        return false;
    while (end - p > 1 && *p == '0') ++p;
    if (end - p > 9) return false;
    std::int32_t r = 0;
    for (; p != end; ++p) {
        const unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d > 9) return false;
        r = r * 10 + static_cast<std::int32_t>(d);
    }
    out = neg ? -r : r;
    return true;
}

// The integer form read in place; the characters of others only when they may be whole.
[[gnu::always_inline]] inline bool whole_value(const Value& v, std::int32_t& out) {
    if (v.flags & kInteger) {
        out = v.data.integer;
        return true;
    }
    return may_be_whole(v) && whole_operand(v, out);
}

}  // namespace

Value arith(const Value& l, const Value& r, int op, const Numeric& n) {
    if (op < kOpAdd || op > kOpSign) internal_error(320);
    // Sums read their operands in place on the short path, integer form included.
    if (op <= kOpSubtract && n.digits <= kShortDigits)
        return add_values(l, r, op == kOpSubtract, n);
    std::int32_t x, y = 0;
    if (n.digits >= 9 && whole_value(l, x) && (op >= kOpPlus || whole_value(r, y))) {
        Value out;
        if (fast_arith(x, y, op, out)) return out;
    }
    if (n.digits <= kShortDigits && op <= kOpDivide) return short_arith(l, r, op, n);
    return digit_arith(l, r, op, n);
}

int compare_normal(const Value& l, const Value& r, const Numeric& n) {
    if ((classification(l) & kNumber) && (classification(r) & kNumber)) {
        const std::int32_t p = n.digits - n.fuzz;
        std::int32_t x, y;
        if (p >= 9 && small_integer(l, x) && small_integer(r, y)) return (x > y) - (x < y);
        WorkAreas& areas = work_areas(p < 1 ? 1 : p);
        Decimal a, b;
        to_decimal(l, p < 1 ? 1 : p, a, areas.op1);
        to_decimal(r, p < 1 ? 1 : p, b, areas.op2);
        // The sign of the difference: rounding never turns a nonzero difference into zero.
        int sa = a.n ? a.sign : 0;
        int sb = b.n ? b.sign : 0;
        if (sa != sb) return sa > sb ? 1 : -1;
        if (sa == 0) return 0;
        return sa * compare_magnitude(a, b);
    }
    NumberBuffer bl, br;
    return compare_bytes(strip_blanks(view_of(l, bl)), strip_blanks(view_of(r, br)));
}

int compare_strict(const Value& l, const Value& r) {
    NumberBuffer bl, br;
    return compare_bytes(view_of(l, bl), view_of(r, br));
}

int compare(const Value& l, const Value& r, int op, const Numeric& n) {
    int c;
    if (op >= kCmpStrictEq) {
        c = compare_strict(l, r);
    } else {
        c = compare_normal(l, r, n);
    }
    switch (op) {
        case kCmpEq:
        case kCmpStrictEq:
            return c == 0;
        case kCmpNe:
        case kCmpStrictNe:
            return c != 0;
        case kCmpGt:
        case kCmpStrictGt:
            return c > 0;
        case kCmpLt:
        case kCmpStrictLt:
            return c < 0;
        case kCmpGe:
        case kCmpStrictGe:
            return c >= 0;
        case kCmpLe:
        case kCmpStrictLe:
            return c <= 0;
        default:
            internal_error(322);
    }
}

int logical(const Value& l, const Value& r, int op) {
    int a = logical_value(l);
    if (op == kLogNot) return !a;
    int b = logical_value(r);
    switch (op) {
        case kLogAnd:
            return a & b;
        case kLogOr:
            return a | b;
        case kLogXor:
            return a ^ b;
        default:
            internal_error(323);
    }
}

Value concat(const Value& l, const Value& r, bool blank) {
    NumberBuffer bl, br;
    std::string_view a = view_of(l, bl);
    std::string_view b = view_of(r, br);
    std::size_t len = a.size() + b.size() + (blank ? 1 : 0);
    if (len > kMaxStringLength) memory_full(kLocConcat, kPoolImplementationLimit);
    Value v{};
    char* out = start_string(v, len);
    if (!a.empty()) std::memcpy(out, a.data(), a.size());
    if (blank) out[a.size()] = ' ';
    if (!b.empty()) std::memcpy(out + a.size() + (blank ? 1 : 0), b.data(), b.size());
    v.flags |= classify_text(out, len);
    return v;
}

}  // namespace ketra
