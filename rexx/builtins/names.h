// The built-in function names and their function codes (1 to 148). The codes are stored in the
// byte code of compiled images, so they must never be renumbered. Several names share a code.
#pragma once

#include <cstddef>

namespace ketra {

inline constexpr int kBuiltinCodeMax = 148;
inline constexpr int kBuiltinNameCount = 172;

struct BuiltinName {
    const char* name;  // upper case
    unsigned char length;
    unsigned char code;
};

// The code of a built-in function name, or 0 when the name is not a built-in. The comparison is
// exact: the compiler passes upper-case names, and "center" is not found.
int builtin_code(const char* upper_name, std::size_t len);

// The first name of a function code in the name table (the primary name), or null for a code
// that no name has.
const char* builtin_name(int code);

// The whole table, in its fixed order.
const BuiltinName* builtin_names();

}  // namespace ketra
