// Loading the program source of a run: from a program file (with the default extension and
// the size limits) or from the caller's in-store string.
#pragma once

#include <string>

#include "rexxsaa.h"

namespace ketra {

struct ExecInstance;

// The largest program source a run accepts, in bytes.
inline constexpr unsigned long kMaxSourceBytes = 16777215;
// Program file names must be shorter than this.
inline constexpr unsigned long kMaxFileName = 260;

// Resolves the program file name, reads the file into the run's source block and finds the
// end of the text. Raises 136 (bad name), 43 (cannot open), 2 (empty), 3 (unreadable), 204
// (short read), or reports memory full for "source code" when the file is too large.
void load_program_file(ExecInstance* inst, const char* name);

// Takes the caller's in-store source (not copied) and finds the end of the text.
void load_in_store_source(ExecInstance* inst, const char* name, const RXSTRING& source);

// Releases the source block unless the source was in-store.
void release_source(ExecInstance* inst);

// The resolved file name for a program name: the name itself when it has an extension,
// else the name with ".REX" (or ".rex", or the bare name when only that exists). Empty when
// the name is empty or too long.
std::string resolve_program_name(const char* name);

// The end of a source text: its first Ctrl-Z, or `end`.
const char* source_text_end(const char* start, const char* end);

}  // namespace ketra
