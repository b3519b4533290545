// The operators + - * / at small precisions on machine integers: an operand (at most
// kShortDigits + 1 significant digits) is a 64-bit coefficient and an exponent, and sums,
// products and quotients are formed exactly in 128 bits. The procedure is the one of the digit
// path (operands cut to DIGITS + 1 digits, the quotient to DIGITS + 2 or more digits, half-up
// rounding on the magnitude), so both give the same strings.
#pragma once

#include <cstdint>

#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

// Largest precision served. A sum spans at most 2 * DIGITS + 3 digits, which must stay below
// 10^38 (128 bits).
inline constexpr std::int32_t kShortDigits = 16;

// l op r for op kOpAdd, kOpSubtract, kOpMultiply or kOpDivide, when n.digits <= kShortDigits.
// Errors as for the digit path: 41 for a non-number, 42 for division by zero or an exponent
// out of range.
Value short_arith(const Value& l, const Value& r, int op, const Numeric& n);

}  // namespace ketra
