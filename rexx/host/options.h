// Run-time options of the library, read from the current user's registry under
// "Software\Corvane\Rexx\<section>" ("ExecOptions" when the section is empty).
#pragma once

#include <cstdint>

namespace ketra {

// A string value "0" or "1" gives 0 or 1, any other string its leading decimal number (0 when
// it has none), a DWORD value its number; a missing key or value, or a value of another type,
// gives the default.
std::uint32_t read_option(const char* section, const char* name, std::uint32_t fallback);

// The options that every run reads, taken from one reading of the key.
struct RunOptions {
    std::uint32_t trace_on;
    std::uint32_t object_code;
    std::uint32_t dev_debug;
    std::uint32_t image16;
    std::uint32_t halt_check_percent;
    std::uint32_t bounds_messages;
    std::uint32_t no_arg_prompts;
};
RunOptions read_run_options();

}  // namespace ketra
