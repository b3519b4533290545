// Built-ins that report on the running program and the interpreter (ARG, ADDRESS, CONDITION,
// ERRORTEXT, SOURCELINE, TRACE, QUEUED), those with a fixed answer (EXTERNALS, ZYMVERSION,
// STACKSTATUS, SCRMETHOD), and the handlers of the functions that exist only to fail.
#include <cstring>

#include "rexx/builtins/handlers.h"
#include "rexx/host/condition.h"
#include "rexx/host/error.h"
#include "rexx/host/queue.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"

namespace ketra {

namespace {

Activation* activation_or_fail() {
    Activation* a = g_lib.activation;
    if (!a) internal_error(4);
    return a;
}

// The source text of the run, or false when the run holds none (it runs from object code).
bool source_text(const char*& begin, const char*& end) {
    const ExecInstance* inst = g_lib.current;
    if (!inst || !inst->source_start || !inst->source_end) return false;
    begin = inst->source_start;
    end = inst->source_end;
    return true;
}

// Lines are ended by a line feed; a last line without one still counts.
std::size_t count_lines(const char* p, const char* end) {
    std::size_t n = 0;
    while (p < end) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        ++n;
        if (!nl) break;
        p = static_cast<const char*>(nl) + 1;
    }
    return n;
}

// The first letter of A C E N F I L O R whose code is the trace mask.
char trace_letter(std::uint32_t mask, char fallback) {
    static constexpr struct {
        char letter;
        std::uint8_t code;
    } kLetters[] = {{'A', kTraceAll},      {'C', kTraceCommands},
                    {'E', kTraceErrors},   {'N', kTraceFailures},
                    {'F', kTraceFailures}, {'I', kTraceIntermediates},
                    {'L', kTraceLabels},   {'O', 0},
                    {'R', kTraceResults}};
    for (const auto& l : kLetters)
        if (l.code == mask) return l.letter;
    return fallback;
}

}  // namespace

void bif_arg(BuiltinCall& call) {
    Activation* a = activation_or_fail();
    ExecInstance* inst = g_lib.current;
    // The program's own arguments may come from the argument prompt on first use.
    if (!a->caller && inst && inst->frame) argument_prompt(inst);
    const BuiltinArg& n = call.arg[0];
    const char opt = call.arg[1].option;
    if (n.omitted) {
        if (!call.arg[1].omitted) error(40);
        result_integer(call, a->argc);
        return;
    }
    const Value* v = activation_argument(a, n.whole);
    if (call.arg[1].omitted) {
        result_value(call, v ? copy_value(*v) : kNullString);
        return;
    }
    if (opt == 'E')
        result_integer(call, v ? 1 : 0);
    else if (opt == 'O')
        result_integer(call, v ? 0 : 1);
    else
        error(40);
}

void bif_address(BuiltinCall& call) {
    if (const Activation* a = g_lib.activation) {
        result_value(call, is_absent(a->environment) ? kNullString : copy_value(a->environment));
        return;
    }
    const ExecInstance* inst = g_lib.current;
    result_cstring(call, inst ? inst->environment : nullptr);
}

void bif_condition(BuiltinCall& call) {
    char opt = call.arg[0].option;
    if (opt == ' ') opt = 'I';
    if (opt != 'C' && opt != 'D' && opt != 'I' && opt != 'S') error(40);
    const Activation* a = g_lib.activation;
    const int code = a ? a->condition_code : 0;
    if (code <= kCondNone || code >= kConditionCount) {
        result_bytes(call, "", 0);
        return;
    }
    switch (opt) {
        case 'C':
            result_static(call, condition_name(code));
            break;
        case 'D':
            result_value(call, is_absent(a->condition_description)
                                   ? kNullString
                                   : copy_value(a->condition_description));
            break;
        case 'I':
            result_static(call, a->condition_kind == kTrapCall ? "CALL" : "SIGNAL");
            break;
        default: {
            const std::uint8_t state = a->traps[code].state;
            result_static(call, state == kTrapOff ? "OFF" : state == kTrapOn ? "ON" : "DELAY");
            break;
        }
    }
}

void bif_errortext(BuiltinCall& call) {
    const std::int32_t n = call.arg[0].whole;
    if (n > kHighestError) error(40);
    const char* text = error_text(n);
    result_static(call, text ? text : "");
}

void bif_sourceline(BuiltinCall& call) {
    const char* begin;
    const char* end;
    const bool held = source_text(begin, end);
    if (call.arg[0].omitted) {
        result_integer(call, held ? static_cast<std::int64_t>(count_lines(begin, end)) : 0);
        return;
    }
    if (!held) {
        result_bytes(call, "", 0);
        return;
    }
    const auto want = static_cast<std::size_t>(call.arg[0].whole);
    const char* p = begin;
    for (std::size_t line = 1; p < end; ++line) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* e = nl ? static_cast<const char*>(nl) : end;
        if (line == want) {
            if (e > p && e[-1] == '\r') --e;
            result_bytes(call, p, static_cast<std::size_t>(e - p));
            return;
        }
        if (!nl) break;
        p = e + 1;
    }
    error(40);
}

void bif_trace(BuiltinCall& call) {
    Activation* a = activation_or_fail();
    const std::uint32_t mask = a->trace_flags & 0xFF;
    const std::uint32_t modes = (a->trace_flags >> 8) & 0xFF;
    char setting[4];
    std::size_t k = 0;
    if (modes & kTraceModeInteractive) setting[k++] = '?';
    if (modes & kTraceModeInhibit) setting[k++] = '!';
    if (modes & kTraceModeDiscard) setting[k++] = '$';
    setting[k++] = trace_letter(mask, a->trace[0]);
    result_bytes(call, setting, k);
    const BuiltinArg& request = call.arg[0];
    if (request.omitted) return;
    if (request.length == 0) error(40);
    Interp* in = current_interp();
    if (!in || in->act != a) internal_error(4);
    ValueHolder v(borrow(*request.value));
    int refused = 0;
    {
        InnerRecovery recovery;
        try {
            apply_trace(*in, v.get());
        } catch (const RexxUnwind& u) {
            refused = u.number;
        }
    }
    if (refused == 24) error(40);
    if (refused) error(refused);
}

void bif_queued(BuiltinCall& call) {
    result_integer(call, queue_count());
}

void bif_externals(BuiltinCall& call) {
    result_integer(call, 0);
}

void bif_zymversion(BuiltinCall& call) {
    result_static(call, "3.00");
}

void bif_stackstatus(BuiltinCall& call) {
    result_static(call, "E 0 1000");
}

void bif_scrmethod(BuiltinCall& call) {
    result_static(call, "W");
}

void bif_not_supported(BuiltinCall&) {
    error(99);
}

void bif_not_available(BuiltinCall&) {
    error(98);
}

}  // namespace ketra
