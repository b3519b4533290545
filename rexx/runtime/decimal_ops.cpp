// Exact kernels on the decimal working form. Multiplication and division run on base-10^9 limbs
// (little-endian), so both are quadratic in the limb count and never allocate: every buffer is
// one of the library's working areas handed in by the caller.
#include "rexx/runtime/decimal_ops.h"

#include <algorithm>
#include <cstring>

#include "rexx/host/error.h"

namespace ketra {

namespace {

constexpr std::uint32_t kBase = 1000000000;

// Compares the digit strings 0.d of a and b (ignoring sign and exponent).
int compare_digits(const Decimal& a, const Decimal& b) {
    std::int32_t m = std::min(a.n, b.n);
    for (std::int32_t i = 0; i < m; ++i)
        if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
    for (std::int32_t i = m; i < a.n; ++i)
        if (a.d[i]) return 1;
    for (std::int32_t i = m; i < b.n; ++i)
        if (b.d[i]) return -1;
    return 0;
}

// Value of the n (< 10) digit bytes at d.
std::uint32_t small_digits_value(const std::uint8_t* d, std::int64_t n) {
    std::uint32_t v = 0;
    for (std::int64_t j = 0; j < n; ++j) v = v * 10 + d[j];
    return v;
}

constexpr std::uint32_t kPow10[10] = {1,      10,      100,      1000,      10000,
                                      100000, 1000000, 10000000, 100000000, 1000000000};

// The n digits of d followed by zeros zero digits, as limbs; returns the limb count (at least 1).
std::int32_t to_limbs(const std::uint8_t* d, std::int64_t n, std::int64_t zeros,
                      std::uint32_t* out) {
    std::int64_t total = n + zeros;
    std::int32_t count = static_cast<std::int32_t>((total + 8) / 9);
    if (count == 0) {
        out[0] = 0;
        return 1;
    }
    std::int64_t first = total - static_cast<std::int64_t>(count - 1) * 9;  // digits of top limb
    std::int64_t pos = 0;
    for (std::int32_t k = count - 1; k >= 0; --k) {
        std::int64_t take = k == count - 1 ? first : 9;
        std::uint32_t limb;
        if (pos + take <= n) {
            limb = take == 9 ? d[pos] * 100000000u + digits8_value(d + pos + 1)
                             : small_digits_value(d + pos, take);
        } else if (pos >= n) {
            limb = 0;
        } else {
            limb = small_digits_value(d + pos, n - pos) * kPow10[pos + take - n];
        }
        pos += take;
        out[k] = limb;
    }
    while (count > 1 && out[count - 1] == 0) --count;
    return count;
}

// The decimal digits of the limbs (no leading zeros) into buf; returns their count (0 for zero).
template <class Limb>
std::int32_t from_limbs(const Limb* l, std::int32_t count, std::uint8_t* buf) {
    while (count > 0 && l[count - 1] == 0) --count;
    if (count == 0) return 0;
    std::int32_t n = 0;
    auto top = static_cast<std::uint32_t>(l[count - 1]);
    std::uint8_t tmp[10];
    int t = 0;
    while (top) {
        tmp[t++] = static_cast<std::uint8_t>(top % 10);
        top /= 10;
    }
    while (t) buf[n++] = tmp[--t];
    for (std::int32_t k = count - 2; k >= 0; --k) {
        auto v = static_cast<std::uint32_t>(l[k]);
        buf[n] = static_cast<std::uint8_t>(v / 100000000);
        store8(buf + n + 1, value_digits8(v % 100000000));
        n += 9;
    }
    return n;
}

// Knuth's algorithm D in base 10^9: q (m - n + 1 limbs) and r (n limbs) of u / v, m >= n >= 1,
// v[n - 1] != 0. scratch holds m + n + 1 limbs.
void divide_limbs(const std::uint32_t* u, std::int32_t m, const std::uint32_t* v, std::int32_t n,
                  std::uint32_t* q, std::uint32_t* r, std::uint32_t* scratch) {
    if (n == 1) {
        std::uint64_t rem = 0;
        for (std::int32_t i = m - 1; i >= 0; --i) {
            std::uint64_t cur = rem * kBase + u[i];
            q[i] = static_cast<std::uint32_t>(cur / v[0]);
            rem = cur % v[0];
        }
        r[0] = static_cast<std::uint32_t>(rem);
        return;
    }
    std::uint32_t* un = scratch;          // m + 1 limbs
    std::uint32_t* vn = scratch + m + 1;  // n limbs
    std::uint64_t f = kBase / (static_cast<std::uint64_t>(v[n - 1]) + 1);
    std::uint64_t carry = 0;
    for (std::int32_t i = 0; i < m; ++i) {
        std::uint64_t t = u[i] * f + carry;
        un[i] = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    un[m] = static_cast<std::uint32_t>(carry);
    carry = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        std::uint64_t t = v[i] * f + carry;
        vn[i] = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    const std::uint64_t vtop = vn[n - 1];
    const std::uint64_t vnext = vn[n - 2];
    for (std::int32_t j = m - n; j >= 0; --j) {
        std::uint64_t num = static_cast<std::uint64_t>(un[j + n]) * kBase + un[j + n - 1];
        std::uint64_t qhat = num / vtop;
        std::uint64_t rhat = num % vtop;
        while (qhat >= kBase || qhat * vnext > rhat * kBase + un[j + n - 2]) {
            --qhat;
            rhat += vtop;
            if (rhat >= kBase) break;
        }
        std::int64_t borrow = 0;
        carry = 0;
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint64_t p = qhat * vn[i] + carry;
            carry = p / kBase;
            std::int64_t t = static_cast<std::int64_t>(un[i + j]) -
                             static_cast<std::int64_t>(p % kBase) - borrow;
            borrow = t < 0;
            un[i + j] = static_cast<std::uint32_t>(t < 0 ? t + kBase : t);
        }
        std::int64_t t =
            static_cast<std::int64_t>(un[j + n]) - static_cast<std::int64_t>(carry) - borrow;
        if (t < 0) {
            // qhat was one too large: add the divisor back.
            --qhat;
            std::uint64_t c = 0;
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint64_t s = static_cast<std::uint64_t>(un[i + j]) + vn[i] + c;
                un[i + j] = static_cast<std::uint32_t>(s % kBase);
                c = s / kBase;
            }
            t += static_cast<std::int64_t>(c);
        }
        un[j + n] = static_cast<std::uint32_t>(t);
        q[j] = static_cast<std::uint32_t>(qhat);
    }
    std::uint64_t rem = 0;
    for (std::int32_t i = n - 1; i >= 0; --i) {
        std::uint64_t cur = rem * kBase + un[i];
        r[i] = static_cast<std::uint32_t>(cur / f);
        rem = cur % f;
    }
}

void set_zero(Decimal& out, std::uint8_t* buf) {
    out = Decimal{1, 0, 0, buf};
}

}  // namespace

int compare_magnitude(const Decimal& a, const Decimal& b) {
    if (a.n == 0) return b.n == 0 ? 0 : -1;
    if (b.n == 0) return 1;
    if (a.exp != b.exp) return a.exp > b.exp ? 1 : -1;
    return compare_digits(a, b);
}

void decimal_add(const Decimal& a0, const Decimal& b0, bool subtract, std::int32_t p, Decimal& out,
                 std::uint8_t* buf) {
    Decimal a = a0;
    Decimal b = b0;
    if (subtract) b.sign = -b.sign;
    if (a.n == 0 || b.n == 0) {
        const Decimal& s = a.n ? a : b;
        if (s.n == 0) return set_zero(out, buf);
        std::memmove(buf, s.d, static_cast<std::size_t>(s.n));
        out = Decimal{s.sign, s.n, s.exp, buf};
        round_decimal(out, p);
        return;
    }
    // An operand wholly below digit p + 2 of the other cannot change the first p + 1 digits of
    // the sum; any value below that position gives the same rounded result, so a single digit
    // stands in for it and the width stays within 2p + 4 digits.
    std::uint8_t tiny = 1;
    if (b.exp <= a.exp - p - 2) {
        b = Decimal{b.sign, 1, a.exp - p - 2, &tiny};
    } else if (a.exp <= b.exp - p - 2) {
        a = Decimal{a.sign, 1, b.exp - p - 2, &tiny};
    }
    int c = compare_magnitude(a, b);
    if (a.sign != b.sign && c == 0) return set_zero(out, buf);
    const Decimal& big = c >= 0 ? a : b;
    const Decimal& small = c >= 0 ? b : a;
    std::int64_t top = big.exp;
    std::int64_t bot = std::min(a.exp - a.n, b.exp - b.n);
    std::int64_t count = top - bot + 1;  // slot 0 takes a carry; slot j has unit 10^(top - j)
    std::memset(buf, 0, static_cast<std::size_t>(count));
    std::memcpy(buf + 1, big.d, static_cast<std::size_t>(big.n));
    std::int64_t off = top - small.exp + 1;
    if (a.sign == b.sign) {
        int carry = 0;
        std::int64_t j = off + small.n - 1;
        for (std::int32_t i = small.n - 1; i >= 0; --i, --j) {
            int v = buf[j] + small.d[i] + carry;
            carry = v >= 10;
            buf[j] = static_cast<std::uint8_t>(carry ? v - 10 : v);
        }
        while (carry) {
            int v = buf[j] + 1;
            carry = v >= 10;
            buf[j--] = static_cast<std::uint8_t>(carry ? 0 : v);
        }
    } else {
        int borrow = 0;
        std::int64_t j = off + small.n - 1;
        for (std::int32_t i = small.n - 1; i >= 0; --i, --j) {
            int v = buf[j] - small.d[i] - borrow;
            borrow = v < 0;
            buf[j] = static_cast<std::uint8_t>(borrow ? v + 10 : v);
        }
        while (borrow) {
            int v = buf[j] - 1;
            borrow = v < 0;
            buf[j--] = static_cast<std::uint8_t>(borrow ? 9 : v);
        }
    }
    std::int64_t f = 0;
    while (f < count && buf[f] == 0) ++f;
    if (f == count) return set_zero(out, buf);
    out = Decimal{big.sign, static_cast<std::int32_t>(count - f), top - f + 1, buf + f};
    round_decimal(out, p);
}

void decimal_multiply(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                      std::uint8_t* buf, std::uint32_t* limbs) {
    if (a.n == 0 || b.n == 0) return set_zero(out, buf);
    std::int32_t max_a = static_cast<std::int32_t>((a.n + 8) / 9);
    std::int32_t max_b = static_cast<std::int32_t>((b.n + 8) / 9);
    // Column sums in 64 bits: each limb product is below 10^18, so 17 rows can be added onto a
    // normalised column (below 10^9) before the carries must be propagated.
    auto* acc = reinterpret_cast<std::uint64_t*>(limbs);
    std::uint32_t* la = limbs + 2 * static_cast<std::size_t>(max_a + max_b);
    std::int32_t na = to_limbs(a.d, a.n, 0, la);
    std::uint32_t* lb = la + max_a;
    std::int32_t nb = to_limbs(b.d, b.n, 0, lb);
    std::int32_t np = na + nb;
    std::memset(acc, 0, static_cast<std::size_t>(np) * sizeof(std::uint64_t));
    auto normalise = [&] {
        std::uint64_t carry = 0;
        for (std::int32_t k = 0; k < np; ++k) {
            std::uint64_t t = acc[k] + carry;
            acc[k] = t % kBase;
            carry = t / kBase;
        }
    };
    constexpr int kRowsPerNormalise = 17;
    int rows = 0;
    for (std::int32_t i = 0; i < na; ++i) {
        std::uint64_t ai = la[i];
        if (!ai) continue;
        std::uint64_t* col = acc + i;
        for (std::int32_t j = 0; j < nb; ++j) col[j] += ai * lb[j];
        if (++rows == kRowsPerNormalise) {
            normalise();
            rows = 0;
        }
    }
    normalise();
    std::int32_t nd = from_limbs(acc, np, buf);
    out = Decimal{a.sign * b.sign, nd, (a.exp - a.n) + (b.exp - b.n) + nd, buf};
    round_decimal(out, p);
}

void decimal_quotient(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                      std::uint8_t* buf, std::uint32_t* limbs) {
    if (a.n == 0) return set_zero(out, buf);
    // A * 10^s has p + 2 + b.n digits, so the integer quotient has at least p + 2.
    std::int64_t s = static_cast<std::int64_t>(p) + 2 + b.n - a.n;
    std::uint32_t* u = limbs;
    std::int32_t m = to_limbs(a.d, a.n, s, u);
    std::uint32_t* v = u + m;
    std::int32_t n = to_limbs(b.d, b.n, 0, v);
    std::uint32_t* q = v + n;
    std::uint32_t* r = q + (m - n + 1);
    std::uint32_t* scratch = r + n;
    divide_limbs(u, m, v, n, q, r, scratch);
    std::int32_t nq = from_limbs(q, m - n + 1, buf);
    out = Decimal{a.sign * b.sign, nq, nq + (a.exp - a.n) - (b.exp - b.n) - s, buf};
}

void decimal_remainder(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                       std::uint8_t* buf, std::uint32_t* limbs) {
    int c = compare_magnitude(a, b);
    if (a.n == 0 || c == 0) return set_zero(out, buf);
    if (c < 0) {
        std::memmove(buf, a.d, static_cast<std::size_t>(a.n));
        out = Decimal{a.sign, a.n, a.exp, buf};
        round_decimal(out, p);
        return;
    }
    std::int64_t int_digits = a.exp - b.exp + (compare_digits(a, b) >= 0 ? 1 : 0);
    if (int_digits > p) error(26);
    // Both operands scaled to the unit of the finer one are integers; the remainder of those is
    // the remainder in that unit.
    std::int64_t unit = std::min(a.exp - a.n, b.exp - b.n);
    std::uint32_t* u = limbs;
    std::int32_t m = to_limbs(a.d, a.n, a.exp - a.n - unit, u);
    std::uint32_t* v = u + m;
    std::int32_t n = to_limbs(b.d, b.n, b.exp - b.n - unit, v);
    std::uint32_t* q = v + n;
    std::uint32_t* r = q + (m >= n ? m - n + 1 : 1);
    std::uint32_t* scratch = r + n;
    if (m < n) {
        std::memcpy(r, u, static_cast<std::size_t>(m) * sizeof(std::uint32_t));
        n = m;
    } else {
        divide_limbs(u, m, v, n, q, r, scratch);
    }
    std::int32_t nr = from_limbs(r, n, buf);
    if (nr == 0) return set_zero(out, buf);
    out = Decimal{a.sign, nr, nr + unit, buf};
    round_decimal(out, p);
}

}  // namespace ketra
