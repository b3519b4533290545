// Where the library's own diagnostics go when no RXSIO exit takes them: standard error, as a
// Unix tool writes its messages. Tests may divert the stream to capture what was written.
#pragma once

#include <cstddef>

namespace ketra {

// Writes one diagnostic line (the line end is added here).
void write_diagnostic_line(const char* text, std::size_t length);

// Diverts diagnostic lines to `sink` (null restores standard error).
using DiagnosticSink = void (*)(const char* text, std::size_t length, void* context);
void set_diagnostic_sink(DiagnosticSink sink, void* context);

}  // namespace ketra
