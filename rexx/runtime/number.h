// The decimal working form of a number and the operations on it that do not compute: conversion
// from a string (with truncation to precision + 1 digits), rounding, removal of trailing zeros,
// layout as a string under NUMERIC FORM, and the library's working areas. Used by the operators
// (arith.cpp) and by the built-in functions that take numbers apart (FORMAT, TRUNC, D2X, ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

// value = sign * 0.d[0]d[1]...d[n-1] * 10^exp. Zero has n == 0. Digits are 0..9, the first one
// nonzero; trailing zeros are significant (1.50 has three digits).
struct Decimal {
    int sign = 1;
    std::int32_t n = 0;
    std::int64_t exp = 0;
    std::uint8_t* d = nullptr;
};

// Range of the exponent of a result in scientific layout (one digit before the point).
inline constexpr std::int64_t kMaxExponent = 999999999;

// ---- eight digits per machine word ---------------------------------------------------------
// The conversions between characters, digit bytes (0..9) and base-10^9 limbs work on eight
// bytes at a time; each lane stays below its width, so no carry crosses a lane.

inline std::uint64_t load8(const void* p) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}
inline void store8(void* p, std::uint64_t x) {
    std::memcpy(p, &x, 8);
}
inline constexpr std::uint64_t kLanes8 = 0x0101010101010101ull;

// Index (0..7) of the first byte of x that is not a character '0'..'9', or 8. Borrows and
// carries move only towards later bytes, so the first flagged byte is exact.
inline unsigned first_non_digit8(std::uint64_t x) {
    std::uint64_t bad = ((x - 0x30 * kLanes8) | (x + 0x46 * kLanes8) | x) & (0x80 * kLanes8);
    return bad ? static_cast<unsigned>(__builtin_ctzll(bad)) / 8 : 8;
}

// The value of the eight digit bytes in x (first byte most significant).
inline std::uint32_t word8_value(std::uint64_t x) {
    x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFull;
    x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFull;
    x = (x * 10000 + (x >> 32)) & 0xFFFFFFFFull;
    return static_cast<std::uint32_t>(x);
}
// The value of the n (1 to 8) characters in x (the first in the lowest byte; any bytes past
// them are shifted out) when they are all digits '0'..'9'; false otherwise.
inline bool chars8_value(std::uint64_t x, unsigned n, std::uint32_t& out) {
    // Right-aligned behind '0' characters, so that the first is the most significant.
    const std::uint64_t d = (x << (8 * (8 - n))) | (((0x30 * kLanes8) >> 8) >> (8 * (n - 1)));
    if (first_non_digit8(d) != 8) return false;
    out = word8_value(d - 0x30 * kLanes8);
    return true;
}
inline std::uint32_t digits8_value(const std::uint8_t* d) {
    return word8_value(load8(d));
}

// The eight digit bytes of v < 10^8 (most significant first), in one word.
inline std::uint64_t value_digits8(std::uint32_t v) {
    std::uint64_t hi = v / 10000, lo = v % 10000;
    std::uint64_t x = hi | (lo << 32);                             // two 4-digit lanes
    std::uint64_t h = ((x * 5243) >> 19) & 0x0000007F0000007Full;  // lane / 100
    x = h | ((x - h * 100) << 16);                                 // four 2-digit lanes
    std::uint64_t t = ((x * 103) >> 10) & 0x000F000F000F000Full;   // lane / 10
    return t | ((x - t * 10) << 8);
}

// A number's characters taken apart: the significant digits are the n1 characters at int_digits
// followed by the n2 at frac_digits (none: the number is zero); their last has unit
// 10^bottom.
struct NumberScan {
    int sign;
    const char* int_digits;
    std::size_t n1;
    const char* frac_digits;
    std::size_t n2;
    std::int64_t bottom;
};
// False when the characters are not a number.
bool scan_number(const char* s, std::size_t len, NumberScan& out);

// Converts the characters to the working form at precision p: at most p + 1 significant digits
// are kept (dropped digits still count in the exponent). buf must hold p + 1 digits. Returns
// false when the characters are not a number.
bool parse_decimal(const char* s, std::size_t len, std::int32_t p, Decimal& out, std::uint8_t* buf);
// As parse_decimal for a record (integer form included); error 41 for a non-number.
void to_decimal(const Value& v, std::int32_t p, Decimal& out, std::uint8_t* buf);

// Rounds to p digits, half up on the magnitude (digit p + 1 decides).
void round_decimal(Decimal& x, std::int32_t p);
// Removes trailing zero digits (the value is unchanged).
void strip_zeros(Decimal& x);

// The result record for x (already rounded to n.digits): error 42 when a nonzero x has a
// scientific exponent (x.exp - 1) outside +-kMaxExponent; otherwise the layout string, classified
// as a number (integer form when it is a whole number of at most 9 digits).
Value decimal_to_value(const Decimal& x, const Numeric& n);
// Length of the layout of x under n, and the layout itself written to out.
std::size_t layout_length(const Decimal& x, const Numeric& n);
void layout(const Decimal& x, const Numeric& n, char* out);

// The library's working areas, sized for the largest precision reserved so far. Every pointer
// stays valid until the next reserve that grows them or release_numeric_areas.
struct WorkAreas {
    std::int32_t capacity;  // largest precision the areas serve (including guard digits)
    std::uint8_t* op1;      // capacity + 2 digits
    std::uint8_t* op2;      // capacity + 2 digits
    std::uint8_t* result;   // 2 * capacity + 16 digits
    std::uint32_t* limbs;   // limb scratch for multiplication and division
    std::size_t limb_count;
};
// The areas made ready for precision p (error 5 report above kMaxDigits).
WorkAreas& work_areas(std::int32_t p);

// Digit buffer of a caller's own (built-in functions), released on destruction.
class DigitBuffer {
  public:
    explicit DigitBuffer(std::size_t n);
    ~DigitBuffer();
    DigitBuffer(const DigitBuffer&) = delete;
    DigitBuffer& operator=(const DigitBuffer&) = delete;
    std::uint8_t* data() { return p_; }

  private:
    std::uint8_t* p_;
};

}  // namespace ketra
