// Halt checks made by the interpreter at each clause.
#pragma once

#include "platform/lock.h"
#include "rexx/host/session.h"

namespace ketra {

// The check with its turn for other threads and its poll; see halt_check.
bool halt_check_slow(ExecInstance* inst);

// Gives other threads a turn at the interface and, when this check polls, looks for a halt
// request (RexxSetHalt, the RXHLT exit, or a break that the console reported). True when a halt
// is to be raised. The common case (no poll due, nobody waiting) stays inline in the loop.
inline bool halt_check(ExecInstance* inst) {
    if (inst->halt_countdown > 1 && !(inst->run_flags & kRunHaltChecksOff) &&
        !platform::api_contended()) {
        --inst->halt_countdown;
        return false;
    }
    return halt_check_slow(inst);
}

// Applies a TRACE setting to the running program on behalf of the host; false when refused.
bool apply_trace_request(ExecInstance* inst, const char* setting);

}  // namespace ketra
