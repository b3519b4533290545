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

KETRA_WEAK void vars_open_program(Activation*) {}
KETRA_WEAK void vars_close(Activation*) {}
KETRA_WEAK void vars_hand_back(Activation*, Activation*) {}
KETRA_WEAK bool var_fetch(Activation*, std::uint16_t, Value&) {
    missing("the variable pool");
}
KETRA_WEAK void var_store(Activation*, std::uint16_t, Value v) {
    release(v);
    missing("the variable pool");
}
KETRA_WEAK void var_drop(Activation*, std::uint16_t) {
    missing("the variable pool");
}
KETRA_WEAK void var_drop_list(Activation*, std::uint16_t) {
    missing("the variable pool");
}
KETRA_WEAK void var_procedure(Activation*) {
    missing("the variable pool");
}
KETRA_WEAK void var_expose(Activation*, std::uint16_t) {
    missing("the variable pool");
}
KETRA_WEAK void var_expose_list(Activation*, std::uint16_t) {
    missing("the variable pool");
}
KETRA_WEAK Value* var_slot(Activation*, std::uint16_t) {
    return nullptr;
}
KETRA_WEAK void parse_string(Activation*, std::uint16_t, Value&, bool) {
    missing("PARSE");
}
KETRA_WEAK void parse_args(Activation*, std::uint16_t, bool) {
    missing("PARSE");
}
KETRA_WEAK bool builtin_call(int, Value*, int, Value&) {
    missing("the built-in functions");
}
KETRA_WEAK void translate_interpret_string(ExecInstance*, const char*, std::size_t,
                                           RexxVector<std::uint8_t>&) {
    missing("INTERPRET");
}

}  // namespace ketra
