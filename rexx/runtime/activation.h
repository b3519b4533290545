// One level of the interpreter's call stack: the main program or an internal routine, with
// its NUMERIC settings, ADDRESS environments, trace setting, variable pools, arguments and
// condition traps. A new routine's activation starts as a copy of its caller's.
//
// Other subsystems read the current activation through g_lib.activation: the built-ins (ARG,
// ADDRESS, DIGITS, CONDITION, TRACE), the variable pool (scope), PARSE ARG.
#pragma once

#include <cstdint>

#include "rexx/host/condition.h"
#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

struct VariableScope;  // the variable pools visible in an activation
struct InterpretFrame;

// Invocation types.
enum InvocationType : std::uint8_t {
    kInvokeCommand = 0,
    kInvokeSubroutine = 1,
    kInvokeFunction = 2
};

// Trace mask bits (letters of the TRACE instruction) and trace modes.
enum TraceMask : std::uint8_t {
    kTraceAll = 0x80,
    kTraceCommands = 0x40,
    kTraceErrors = 0x20,
    kTraceFailures = 0x04,  // N and F
    kTraceIntermediates = 0x10,
    kTraceLabels = 0x08,
    kTraceResults = 0x02,
};
enum TraceMode : std::uint8_t {
    kTraceModeAnnounce = 0x02,
    kTraceModeInPause = 0x04,
    kTraceModeDiscard = 0x08,
    kTraceModeTracedClause = 0x10,
    kTraceModeInhibit = 0x20,
    kTraceModeInteractive = 0x40,
};

// The five loop registers of the innermost active loop of an activation.
struct LoopRegisters {
    Value by;                 // the BY value (1 when the loop has no BY)
    Value to;                 // absent when the loop has no TO
    std::int32_t for_count;   // -1 unlimited
    std::int32_t descending;  // compare with "less than" (BY zero or negative)
    std::int32_t control;     // symbol index of the control variable, -1 when none
};

struct Activation {
    Activation* caller;
    char trace[2];              // trace setting as written (letter; "N" at start)
    std::uint32_t trace_flags;  // mask in bits 0-7, modes in bits 8-15
    std::int32_t trace_skip;    // skip count of TRACE n
    std::uint8_t invocation;    // InvocationType
    Numeric numeric;
    Value environment;           // current ADDRESS environment (owned)
    Value previous_environment;  // absent when there is none (owned)
    VariableScope* scope;        // the variables this activation sees
    bool procedure_done;         // PROCEDURE ran in this activation
    std::uint32_t trap_running;  // bit per condition: its CALL ON handler runs in this activation
    int argc;
    Value* args;  // the routine's arguments, first argument first; an omitted
                  // argument is the absent value
    std::uint32_t return_point;
    int loop_nesting;
    Value* stack_base;
    InterpretFrame* interprets;  // active INTERPRETs of this activation, innermost first
    TrapRecord traps[kConditionCount];

    // The condition in effect (read by CONDITION()).
    std::uint8_t condition_code;
    std::uint8_t condition_kind;
    Value condition_description;  // owned; absent when no condition was trapped
    bool program_start;           // the activation that began the program (tracebacks stop here)
    bool options_newcom;          // OPTIONS NEWCOM

    // Where RETURN resumes in the caller: the code block (the program's code or an INTERPRET
    // block) and the offset of the call instruction (for SIGL and the traceback).
    const std::uint8_t* return_code;
    std::uint32_t return_code_size;
    std::uint32_t call_location;
    bool call_in_interpret;     // the call was made from interpreted code
    LoopRegisters caller_loop;  // the caller's loop registers, restored by RETURN
};

// Argument i (1-based) of an activation, or null when it was not given or omitted.
inline const Value* activation_argument(const Activation* a, int i) {
    if (i < 1 || i > a->argc) return nullptr;
    const Value* v = &a->args[i - 1];
    return is_absent(*v) ? nullptr : v;
}

}  // namespace ketra
