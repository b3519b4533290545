// Raising REXX conditions from anywhere in the library while a program runs (NOTREADY from
// the stream functions, ERROR and FAILURE from commands, NOVALUE, HALT, SYNTAX).
#pragma once

#include "rexx/runtime/value.h"

namespace ketra {

// Raises condition `code` with a copy of `description` on the current activation. Returns 0
// when it is not trapped (the caller applies the default action) and 1 when a CALL trap was
// made pending (the handler runs at the next clause boundary). A SIGNAL trap does not return:
// control unwinds to the interpreter loop, which continues at the trap's label.
int raise_condition(int code, const Value& description);

}  // namespace ketra
