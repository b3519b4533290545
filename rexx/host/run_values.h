// The values a run holds in its RunFrame: the arguments made from the caller's strings, the
// program's result and how it is handed back, and their release at the end of the run.
#pragma once

#include "rexxsaa.h"

namespace ketra {

struct ExecInstance;

// Converts the caller's arguments into values held by the run frame (last argument first).
void make_argument_values(ExecInstance* inst, LONG argc, PRXSTRING argv);

// Sets the return code from a whole-number result in -32768..32767 and copies the result into
// a block from RexxAllocateMemory; a failed allocation is memory full, "operating system".
void deliver_result(ExecInstance* inst, PSHORT retc, PRXSTRING result);

// Releases the arguments, the result, the evaluation stack and the pending descriptions.
void release_run_values(ExecInstance* inst);

}  // namespace ketra
