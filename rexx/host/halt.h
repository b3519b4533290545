// Halt checks made by the interpreter at each clause.
#pragma once

namespace ketra {

struct ExecInstance;

// Gives other threads a turn at the interface and, when this check polls, looks for a halt
// request (RexxSetHalt or the RXHLT exit). True when a halt is to be raised.
bool halt_check(ExecInstance* inst);

// Applies a TRACE setting to the running program on behalf of the host; false when refused.
bool apply_trace_request(ExecInstance* inst, const char* setting);

}  // namespace ketra
