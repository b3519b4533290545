// The interpreter's entry point: runs the image of a run.
// Until the interpreter loop lands, a run executes nothing and returns no result.
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"

namespace ketra {

void run_program(ExecInstance* inst) { inst->frame->no_result = true; }

void interpreter_error(ExecInstance* inst, int n, const char* text) {
    message("Error %d in %s: %s", n, inst->program_name ? inst->program_name : "", text);
    g_lib.in_error = false;
    throw RexxUnwind{n};
}

}  // namespace ketra
