// Stand-ins for the interpreter's ports (interp_ports.h) while the subsystems that serve them
// are being built: each is a weak definition that the subsystem's own definition replaces, and
// each reports an internal error naming what is missing. Nothing here does real work.
#include "rexx/runtime/interp_ports.h"

#include "rexx/host/error.h"

namespace ketra {

namespace {
[[noreturn]] void missing(const char* what) {
    message("Internal REXX error: %s is not available in this build", what);
    error(49);
}
}  // namespace

#define KETRA_WEAK __attribute__((weak))

// The variable pool and PARSE are served by variables.cpp and parse.cpp.
KETRA_WEAK bool builtin_call(int, Value*, int, Value&) {
    missing("the built-in functions");
}
KETRA_WEAK void translate_interpret_string(ExecInstance*, const char*, std::size_t,
                                           RexxVector<std::uint8_t>&) {
    missing("INTERPRET");
}

}  // namespace ketra
