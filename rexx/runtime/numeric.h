// NUMERIC settings as the arithmetic sees them, and the function through which a new DIGITS is
// accepted (it grows the library's decimal working areas).
#pragma once

#include <cstdint>

namespace ketra {

// Largest NUMERIC DIGITS the library accepts.
inline constexpr int kMaxDigits = 1000000;

struct Numeric {
    int digits = 9;
    int fuzz = 0;
    bool engineering = false;
};

// Makes the working areas large enough for precision digits and stores it in n.digits. Above
// kMaxDigits, or when the areas cannot grow: memory-full report (implementation limit), error 5.
// digits must be at least 1 (the NUMERIC instruction checks its own range rules first).
void set_numeric_digits(Numeric& n, std::int32_t digits);

// Makes the working areas large enough for precision digits (library start uses 9). Same
// reports as set_numeric_digits.
void reserve_numeric_digits(std::int32_t digits);

// Releases the working areas (library shutdown). They are re-made on the next use.
void release_numeric_areas();

}  // namespace ketra
