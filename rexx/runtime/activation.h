// One level of the interpreter's call stack: the main program or an internal routine, with
// its NUMERIC settings, ADDRESS environments, trace setting, variable pools, arguments and
// condition traps. A new routine's activation starts as a copy of its caller's.
#pragma once

#include <cstdint>

#include "rexx/host/condition.h"
#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

struct VariableScope;  // the variable pools visible in an activation
struct InterpretFrame;

// Invocation types.
enum InvocationType : std::uint8_t { kInvokeCommand = 0, kInvokeSubroutine = 1, kInvokeFunction = 2 };

struct Activation {
    Activation* caller;
    char trace[2];               // trace setting letters
    std::uint32_t trace_flags;
    std::uint8_t invocation;     // InvocationType
    Numeric numeric;
    Value environment;           // current ADDRESS environment
    Value previous_environment;  // absent when there is none
    VariableScope* scope;        // the variables this activation sees
    bool procedure_done;         // PROCEDURE ran in this activation
    std::uint32_t trap_running;  // bit per condition: its CALL ON handler runs
    int argc;
    Value* args;                 // the routine's arguments, first argument first
    std::uint32_t return_point;
    int loop_nesting;
    Value* stack_base;
    InterpretFrame* interprets;  // active INTERPRETs of this activation, innermost first
    TrapRecord traps[kConditionCount];

    // The condition in effect (read by CONDITION()).
    std::uint8_t condition_code;
    std::uint8_t condition_kind;
    Value condition_description;
    bool program_start;          // the activation that began the program (tracebacks stop here)
};

}  // namespace ketra
