// Exact kernels on the decimal working form: addition, multiplication (schoolbook on base-10^9
// limbs) and long division (on the same limbs), each writing its digits into a caller's buffer.
// They are the decimal path of the operators and are exposed for the built-in functions.
#pragma once

#include <cstdint>

#include "rexx/runtime/number.h"

namespace ketra {

// -1, 0 or 1 comparing |a| and |b|.
int compare_magnitude(const Decimal& a, const Decimal& b);

// a + b (or a - b) exactly, then rounded to p digits. a and b hold at most p + 1 digits. out
// receives its digits in buf (2p + 8 digits).
void decimal_add(const Decimal& a, const Decimal& b, bool subtract, std::int32_t p, Decimal& out,
                 std::uint8_t* buf);

// a * b exactly (trailing zeros kept), then rounded to p digits. buf holds a.n + b.n digits; limbs
// (8-byte aligned) holds 3 * ((a.n + 8) / 9 + (b.n + 8) / 9) limbs.
void decimal_multiply(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                      std::uint8_t* buf, std::uint32_t* limbs);

// The quotient a / b truncated to at least p + 2 significant digits (b nonzero), not rounded.
// buf holds 2p + 8 digits; limbs as for multiplication with p + 1 + b.n digits.
void decimal_quotient(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                      std::uint8_t* buf, std::uint32_t* limbs);

// The exact remainder a - b * trunc(a / b) rounded to p digits (b nonzero). Error 26 when the
// integer quotient has more than p digits.
void decimal_remainder(const Decimal& a, const Decimal& b, std::int32_t p, Decimal& out,
                       std::uint8_t* buf, std::uint32_t* limbs);

}  // namespace ketra
