// Halt requests and halt checks: RexxSetHalt, the countdown that decides which checks poll,
// the RXHLT exit, and RexxSetTrace.
#include "rexx/host/halt.h"

#include "platform/lock.h"
#include "rexx/host/error.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

// One poll: a pending RexxSetHalt request or Ctrl-C, else the RXHLT exit.
void poll(ExecInstance* inst) {
    if (g_lib.halt_pending || take_interrupt()) {
        g_lib.halt_pending = false;
        g_lib.halt_raised = true;
        return;
    }
    ExitEntry handler = inst->exits[RXHLT].handler;
    if (!handler) return;
    RXHLTTST_PARM parm{};
    Activation* activation = g_lib.activation;
    LONG rc;
    {
        platform::ApiUnlock unlocked;
        rc = handler(RXHLT, RXHLTTST, reinterpret_cast<PEXIT>(&parm));
    }
    g_lib.current = inst;
    g_lib.activation = activation;
    if (rc == -1) error(48);
    if (parm.rxhlt_flags.rxfhhalt) g_lib.halt_raised = true;
}

// Other threads' API calls get in here, between clauses.
void yield_turn(ExecInstance* inst) {
    Activation* activation = g_lib.activation;
    platform::api_yield();
    g_lib.current = inst;
    g_lib.activation = activation;
}

// The poll of a check whose countdown ran out, and the reload.
bool poll_and_reload(ExecInstance* inst) {
    inst->halt_countdown = inst->halt_reload;
    poll(inst);
    bool halted = g_lib.halt_raised;
    g_lib.halt_raised = false;
    return halted;
}

}  // namespace

bool halt_check_slow(ExecInstance* inst) {
    if (inst->run_flags & kRunHaltChecksOff) {
        g_lib.halt_raised = false;
        return false;
    }
    yield_turn(inst);
    // A check that does not poll leaves the halt-raised flag alone: a break the console
    // reported is then seen by the next poll instead of being lost.
    if (--inst->halt_countdown >= 1) return false;
    return poll_and_reload(inst);
}

void halt_give_turn(ExecInstance* inst) {
    if (!(inst->run_flags & kRunHaltChecksOff)) yield_turn(inst);
}

bool halt_expired_slow(ExecInstance* inst) {
    if (inst->run_flags & kRunHaltChecksOff) {
        g_lib.halt_raised = false;
        inst->halt_countdown = inst->halt_reload;
        return false;
    }
    yield_turn(inst);
    return poll_and_reload(inst);
}

}  // namespace ketra

using namespace ketra;

extern "C" KETRA_EXPORT APIRET APIENTRY RexxSetHalt(LONG, LONG) {
    ensure_library_started();
    platform::ApiLockGuard lock;
    g_lib.halt_pending = true;
    return 0;
}

extern "C" KETRA_EXPORT LONG APIENTRY RexxSetTrace(LONG, LONG) {
    ensure_library_started();
    platform::ApiLockGuard lock;
    if (!g_lib.current || !g_lib.activation) return -1;
    return apply_trace_request(g_lib.current, "?R") ? 0 : 1;
}
