// The interpreter's entry point: runs the image of a run.
// Until the interpreter loop lands, a run executes nothing and returns no result.
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"

namespace ketra {

void run_program(ExecInstance* inst) { inst->frame->no_result = true; }

}  // namespace ketra
