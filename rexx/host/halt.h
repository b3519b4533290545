// Halt checks made by the interpreter at each clause.
#pragma once

#include "platform/lock.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

// The check with its turn for other threads and its poll; see halt_check.
bool halt_check_slow(ExecInstance* inst);
// The rest of a check whose countdown has run out; see halt_countdown_expired.
bool halt_expired_slow(ExecInstance* inst);
// The turn for other threads of a check that does not poll (none while checks are off).
void halt_give_turn(ExecInstance* inst);

// Whether a check that polls would find nothing to do: no thread waiting, no request, no break,
// no exit to ask, checks not off.
inline bool halt_check_quiet(const ExecInstance* inst) {
    return !(inst->run_flags & kRunHaltChecksOff) && !platform::api_contended() &&
           !g_lib.halt_pending && !g_lib.halt_raised &&
           !detail::g_interrupt.load(std::memory_order_relaxed) && !inst->exits[RXHLT].handler;
}

// Gives other threads a turn at the interface and, when this check polls, looks for a halt
// request (RexxSetHalt, the RXHLT exit, or a break that the console reported). True when a halt
// is to be raised. Inline here is everything that finds nothing to do: no thread waiting, and
// either no poll due or a poll that would find no request, no break and no exit to ask.
inline bool halt_check(ExecInstance* inst) {
    if (inst->halt_countdown > 1) {
        if (!(inst->run_flags & kRunHaltChecksOff) && !platform::api_contended()) [[likely]] {
            --inst->halt_countdown;
            return false;
        }
    } else if (halt_check_quiet(inst)) {
        inst->halt_countdown = inst->halt_reload;
        return false;
    }
    return halt_check_slow(inst);
}

// The interpreter's clause boundary decrements the countdown itself and, while it stays at 1 or
// above, looks only at whether another thread waits for the interface (api_contended), so that a
// boundary costs a decrement and two tests; a waiting thread gets its turn at the next clause.
//
// Something that must be seen at the very next boundary (a CALL trap waiting to be made) pulls
// the countdown below 1 by kClauseAttention; the boundary takes that back before it counts, so
// the polls keep their rate.
inline constexpr int kClauseAttention = 1 << 24;

inline void request_clause_attention(ExecInstance* inst) {
    if (inst->halt_countdown > -kClauseAttention / 2) inst->halt_countdown -= kClauseAttention;
}
inline void take_clause_attention(ExecInstance* inst) {
    if (inst->halt_countdown <= -kClauseAttention / 2) inst->halt_countdown += kClauseAttention;
}

// halt_check for a boundary that has already decremented the countdown below 1 (and taken back
// any attention request): the turn for other threads, the poll and the reload.
inline bool halt_countdown_expired(ExecInstance* inst) {
    if (halt_check_quiet(inst)) [[likely]] {
        inst->halt_countdown = inst->halt_reload;
        return false;
    }
    return halt_expired_slow(inst);
}

// Applies a TRACE setting to the running program on behalf of the host; false when refused.
bool apply_trace_request(ExecInstance* inst, const char* setting);

}  // namespace ketra
