// The central error routine, the message writer, and the memory-full and internal-error
// reports. `error` picks its message form from the state of the current run and unwinds to the
// recovery point that state implies; its recursion guard ends the process if writing a message
// raises another error.
#include "rexx/host/error.h"

#include <cstdio>
#include <string>

#include <unistd.h>

#include "platform/lock.h"
#include "platform/notify.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/output.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

constexpr const char* kFatalTitle = "Corvane REXX";

[[noreturn]] void fatal(const std::string& text) { platform::fatal_app_exit(kFatalTitle, text); }

std::string format_v(const char* format, std::va_list args) {
    char small[512];
    std::va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    std::string s = format_v(fmt, ap);
    va_end(ap);
    return s;
}

// Per thread, like the recursion they guard: other threads' runs get the ApiLock whenever this
// one calls into host code.
constinit thread_local bool t_in_error = false;
constinit thread_local int t_inner_recovery = 0;

const char* program_name_of(const ExecInstance* inst) {
    return inst->program_name ? inst->program_name : "";
}

// Clears the recursion guard and unwinds with n.
[[noreturn]] void unwind(int n) {
    t_in_error = false;
    throw RexxUnwind{n};
}

// Offers a line to the run's RXSIO exit (trace output); true when the exit took it.
bool offer_to_exit(ExecInstance* inst, const std::string& text) {
    if (!inst) return false;
    ExitEntry handler = inst->exits[RXSIO].handler;
    if (!handler) return false;
    RXSIOTRC_PARM parm;
    parm.rxsio_string.strptr = const_cast<char*>(text.c_str());
    parm.rxsio_string.strlength = text.size();
    Activation* activation = g_lib.activation;
    int rc;
    {
        platform::ApiUnlock unlocked;
        rc = handler(RXSIO, RXSIOTRC, reinterpret_cast<unsigned char*>(&parm));
    }
    g_lib.current = inst;
    g_lib.activation = activation;
    return rc == 0;
}

void deliver(const std::string& text) {
    ExecInstance* inst = g_lib.current;
    // There is no front-end window on this platform, and developer debug output goes to the
    // same standard error as every message, so the exit and the message output remain.
    if (offer_to_exit(inst, text)) return;
    write_diagnostic_line(text.data(), text.size());
}

}  // namespace

void message_v(const char* fmt, std::va_list args) { deliver(format_v(fmt, args)); }

void message(const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    message_v(fmt, ap);
    va_end(ap);
}

int last_error() { return g_lib.last_error; }

bool in_error() {
    return t_in_error;
}
void leave_error() {
    t_in_error = false;
}

InnerRecovery::InnerRecovery() {
    ++t_inner_recovery;
}
InnerRecovery::~InnerRecovery() {
    --t_inner_recovery;
}

void error(int n) {
    g_lib.last_error = n;
    if (t_in_error) {
        // Straight to standard error: the message writer is what failed.
        static constexpr char kLine[] =
            "REXX Error 156: Recursion in error handler, interpreter terminating\n";
        [[maybe_unused]] ssize_t w = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
        fatal("Error 156: error() recursion, terminating");
    }
    t_in_error = true;
    const char* text = n >= 0 && n <= kHighestError ? error_text(n) : "Error# > highest_error";

    ExecInstance* inst = g_lib.current;
    if (!inst) fatal(format("Error %d during initialization: %s", n, text));

    switch (inst->state) {
        case kStateInitialising:
            message("Error %d loading %s: %s", n, program_name_of(inst), text);
            if (inst->recovery_armed) unwind(n);
            // No owner window exists on this platform, so an unrecoverable loading error ends
            // the process.
            fatal("Fatal Initialization Error.");
        case kStateTranslating:
            message("Error %d on line %u of %s: %s", n, inst->translate_line,
                    program_name_of(inst), text);
            if (inst->line_text && inst->line_length > 0 &&
                inst->line_text[inst->line_length - 1] == '\n') {
                std::size_t len = inst->line_length - 1;
                if (len > 0 && inst->line_text[len - 1] == '\r') --len;
                message("%.*s", static_cast<int>(len), inst->line_text);
            }
            unwind(n);
        default:
            break;
    }

    // Executing.
    if (n > kHighestError) text = "";
    if (t_inner_recovery > 0) unwind(n);
    inst->ending_in_error = true;
    inst->error_number = n;
    if (!g_lib.activation) {
        message("Error %d in REXX program: %s", n, text);
        unwind(n);
    }
    // Traps, the traceback and the unwind to the interpreter loop belong to the interpreter.
    interpreter_error(inst, n, text);
}

void memory_full(int location, int pool) {
    message("Memory full: %s", pool_name(pool));
    ExecInstance* inst = g_lib.current;
    if (inst && (inst->debug_flags & kDebugDeveloper)) message("Internal code %d", location);
    error(5);
}

void internal_error(int code) {
    message("Internal REXX error %d", code);
    error(49);
}

}  // namespace ketra
