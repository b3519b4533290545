// Delivery of diagnostic lines to standard error (or to a diverted sink).
#include "rexx/host/output.h"

#include <string>

#include <unistd.h>

#include "platform/std_streams.h"

namespace ketra {

namespace {
constinit DiagnosticSink g_sink = nullptr;
constinit void* g_context = nullptr;
}  // namespace

void write_diagnostic_line(const char* text, std::size_t length) {
    if (g_sink) {
        g_sink(text, length, g_context);
        return;
    }
    // One write per line keeps lines whole when several processes share the terminal.
    std::string line(text, length);
    line.push_back('\n');
    platform::write_all(STDERR_FILENO, line.data(), line.size());
}

void set_diagnostic_sink(DiagnosticSink sink, void* context) {
    g_sink = sink;
    g_context = context;
}

}  // namespace ketra
