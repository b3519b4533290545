// Halt checks made by the interpreter at each clause.
#pragma once

#include "platform/lock.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

// The check with its turn for other threads and its poll; see halt_check.
bool halt_check_slow(ExecInstance* inst);

// Gives other threads a turn at the interface and, when this check polls, looks for a halt
// request (RexxSetHalt, the RXHLT exit, or a break that the console reported). True when a halt
// is to be raised. Inline here is everything that finds nothing to do: no thread waiting, and
// either no poll due or a poll that would find no request, no break and no exit to ask.
inline bool halt_check(ExecInstance* inst) {
    if (!(inst->run_flags & kRunHaltChecksOff) && !platform::api_contended()) [[likely]] {
        if (inst->halt_countdown > 1) {
            --inst->halt_countdown;
            return false;
        }
        if (!g_lib.halt_pending && !g_lib.halt_raised &&
            !detail::g_interrupt.load(std::memory_order_relaxed) && !inst->exits[RXHLT].handler) {
            inst->halt_countdown = inst->halt_reload;
            return false;
        }
    }
    return halt_check_slow(inst);
}

// Applies a TRACE setting to the running program on behalf of the host; false when refused.
bool apply_trace_request(ExecInstance* inst, const char* setting);

}  // namespace ketra
