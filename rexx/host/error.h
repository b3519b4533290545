// REXX errors: the error-text table, the central `error` routine that never returns, the
// message writer through which every diagnostic leaves the library, and the memory-full and
// internal-error reports.
//
// `error` unwinds by throwing RexxUnwind. Every recovery point (the run, the translator, the
// interpreter loop, an interactive pause, or an inner recovery point armed by a caller) catches
// it; no RexxUnwind ever leaves an exported function or crosses a call into host code.
#pragma once

#include <cstdarg>

namespace ketra {

// The exception by which `error` unwinds to the nearest recovery point.
struct RexxUnwind {
    int number;
};

// Highest error number with an entry in the text table.
inline constexpr int kHighestError = 99;

// The table text of error n; "" for numbers without a text, nullptr above kHighestError.
const char* error_text(int n);

// Raises REXX error n: writes the message form that the run state calls for and unwinds.
[[noreturn]] void error(int n);

// "Memory full: <pool>", under developer debug "Internal code <location>", then error 5.
[[noreturn]] void memory_full(int location, int pool);

// "Internal REXX error <code>", then error 49.
[[noreturn]] void internal_error(int code);

// The message writer: formats the text (printf conventions) and delivers it to the run's
// RXSIO exit, or else to the library's message output, followed by a line end.
void message(const char* format, ...) __attribute__((format(printf, 1, 2)));
void message_v(const char* format, std::va_list args);

// The number of the last error passed to `error` (0 when none yet).
int last_error();

// The recursion guard of `error`: set from the moment `error` starts until it unwinds or resumes
// at a trap. It belongs to the calling thread, because writing the message may leave the ApiLock
// (an RXSIO exit), and another thread's run that gets in meanwhile is no recursion.
bool in_error();
void leave_error();

// An inner recovery point: while one is alive, a run-time error (run state 2) of the same thread
// unwinds straight to the code that armed it, with no message and no SYNTAX trap. Used by callers
// that evaluate something on their own account and want to see the error number themselves.
class InnerRecovery {
public:
    InnerRecovery();
    ~InnerRecovery();
    InnerRecovery(const InnerRecovery&) = delete;
    InnerRecovery& operator=(const InnerRecovery&) = delete;
};

}  // namespace ketra
