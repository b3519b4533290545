// Stand-ins for the interpreter's ports (interp_ports.h) while the subsystems that serve them
// are being built: each is a weak definition that the subsystem's own definition replaces, and
// each reports an internal error naming what is missing. Nothing here does real work.
#include "rexx/runtime/interp_ports.h"

#include "rexx/host/error.h"
#include "rexx/translate/translator.h"

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
void translate_interpret_string(ExecInstance* inst, const char* text, std::size_t length,
                                RexxVector<std::uint8_t>& code) {
    // The table room an INTERPRET may use beyond the program's own entries.
    constexpr std::size_t kInterpretRoom = 40;
    Program& p = *inst->program;
    // The block ends in its own end-of-interpret opcode; the one the caller appends after it
    // is never reached.
    code = translate_interpret(inst, p, text, length, p.literals.size() + kInterpretRoom,
                               p.symbols.size() + kInterpretRoom);
}

}  // namespace ketra
