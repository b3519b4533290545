// The translation driver: a run's source to a compiled program, and the text of an INTERPRET
// instruction to a block of code that runs against an existing program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/host/session.h"
#include "rexx/translate/program.h"

namespace ketra {

// The mode bits of a run that ask the translator for source-level information (the statement
// table that maps code offsets back to clauses).
inline constexpr std::uint8_t kModeSourceInformation = 0x38;

// Translates the run's source (source_start to source_end) into a new program. Translation
// errors raise `error` (in the translating state they are reported with the line); the
// partial program is released on the way out.
ProgramPtr translate_source(ExecInstance* inst);

// Translates INTERPRET text as one line in no-source mode. New literals and symbols are
// appended to the program's tables (at most up to literal_limit and symbol_limit entries: a
// memory-full report naming "literal" or "symbol" beyond); labels in the text are ignored,
// SIGNAL targets and routine names are resolved at once against the program. Returns the code
// block, ending in opcode 44, of at most 10000 bytes. Jump targets inside the block are offsets
// from its start; call and SIGNAL targets are offsets in the program's code. On an error the
// entries added to the tables are removed again before the error propagates.
RexxVector<std::uint8_t> translate_interpret(ExecInstance* inst, Program& program, const char* text,
                                             std::size_t length, std::size_t literal_limit,
                                             std::size_t symbol_limit);

}  // namespace ketra
