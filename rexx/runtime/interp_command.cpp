// The command clause: the ">>>" line of a traced command, commands inhibited by TRACE "!",
// the dispatch, RC, the "*-*" and "+++ RC(...)" lines of a command that ends in error or
// failure, and the ERROR and FAILURE conditions. Also the trace lines it writes: they go to the
// RXSIO exit (trace output) when the run has one, else to the library's diagnostic output.
#include <cstdio>
#include <cstring>
#include <string>

#include "rexx/host/command_dispatch.h"
#include "rexx/host/error.h"
#include "rexx/host/output.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_conditions.h"

namespace ketra {

namespace {

bool has_mode(const Activation* a, std::uint8_t mode) {
    return (a->trace_flags & (static_cast<std::uint32_t>(mode) << 8)) != 0;
}

// Control characters other than the line feed cannot reach a terminal as they are: a tab
// becomes a blank, anything else "?".
void write_trace_line(Interp& in, std::string& text) {
    if (has_mode(in.act, kTraceModeDiscard)) return;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 && c != '\n') c = c == '\t' ? ' ' : '?';
    ExitEntry handler = in.inst->exits[RXSIO].handler;
    if (handler) {
        RXSIOTRC_PARM parm;
        parm.rxsio_string.strptr = text.data();
        parm.rxsio_string.strlength = text.size();
        LONG rc;
        {
            HostCall call;
            rc = handler(RXSIO, RXSIOTRC, reinterpret_cast<PEXIT>(&parm));
        }
        if (rc == -1 || rc == 65535) error(48);
        if (rc == RXEXIT_HANDLED) return;
    }
    write_diagnostic_line(text.data(), text.size());
}

// A value line: 7 blanks, the prefix, 3 blanks and at most 512 characters of the value in
// double quotes. Suppressed while the skip count is negative and inside a pause.
void trace_value(Interp& in, const char* prefix, std::string_view value) {
    Activation* a = in.act;
    if (a->trace_skip < 0 || has_mode(a, kTraceModeInPause)) return;
    if (value.size() > 512) value = value.substr(0, 512);
    std::string line("       ");
    line += prefix;
    line += "   \"";
    line += value;
    line += '"';
    write_trace_line(in, line);
}

// The statement entry of the clause at a program code offset, or null.
const StatementEntry* statement_at(const Interp& in, std::uint32_t location) {
    const auto& st = in.prog->statements;
    if (st.empty()) return nullptr;
    std::size_t lo = 0, hi = st.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (st[mid].offset <= location)
            lo = mid + 1;
        else
            hi = mid;
    }
    return &st[lo ? lo - 1 : 0];
}

// Writes the source lines of the current clause with "%6u *-* " heads. False when nothing
// was written: no line information or source, or the skip count suppressed it.
bool trace_clause(Interp& in, const char* prefix) {
    Activation* a = in.act;
    const char* src = in.inst->source_start;
    const char* end = in.inst->source_end;
    if (!in.line_info || !src || src >= end) return false;
    const StatementEntry* s = statement_at(in, clause_location(in, a));
    if (!s || s->first_line == 0) return false;
    if (a->trace_skip < 0) {
        ++a->trace_skip;
        return false;
    }
    const char* p = src;
    for (std::uint32_t line = 1; line < s->first_line && p < end; ++line) {
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        p = nl ? nl + 1 : end;
    }
    for (std::uint32_t l = s->first_line; l <= s->last_line; ++l) {
        std::string text;
        if (p < end) {
            const char* nl =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* e = nl ? nl : end;
            if (e > p && e[-1] == '\r') --e;
            std::size_t len = static_cast<std::size_t>(e - p);
            std::size_t from = l == s->first_line ? s->first_column : 0;
            std::size_t to = len;
            if (l == s->last_line && s->last_column + 1u < to) to = s->last_column + 1u;
            if (from > len) from = len;
            if (to < from) to = from;
            text.assign(p + from, to - from);
            p = nl ? nl + 1 : end;
        }
        if (l == s->last_line) {
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
            if (!text.empty() && text.back() == ';') text.pop_back();
        }
        std::size_t b = 0;
        while (b < text.size() && (text[b] == ' ' || text[b] == '\t')) ++b;
        char head[32];
        int n = std::snprintf(head, sizeof head, "%6u %s ", static_cast<unsigned>(l), prefix);
        std::string out(head, static_cast<std::size_t>(n));
        out.append(text, b, std::string::npos);
        if (out.size() > 250) out.resize(250);
        write_trace_line(in, out);
    }
    return true;
}

}  // namespace

void run_command(Interp& in, const Value& environment, Value& command) {
    NumberBuffer eb, cb;
    std::string_view env = is_absent(environment) ? std::string_view() : view_of(environment, eb);
    if (env.size() > kMaxEnvironmentName) error(29);
    std::string_view cmd = is_absent(command) ? std::string_view() : view_of(command, cb);
    Activation* a = in.act;
    std::uint8_t mask = static_cast<std::uint8_t>(a->trace_flags & 0xFF);
    if (has_mode(a, kTraceModeTracedClause) && !(mask & (kTraceIntermediates | kTraceResults)))
        trace_value(in, ">>>", cmd);

    CommandResult r;
    if (has_mode(a, kTraceModeInhibit))
        r = CommandResult{kZeroValue, kCommandOk};
    else
        r = dispatch_command(env.data(), env.size(), cmd.data(), cmd.size());
    ValueHolder rc(r.rc);
    bool in_pause = has_mode(a, kTraceModeInPause);
    if (!in_pause) assign_symbol(in, 0, rc.get());

    if (r.flag != kCommandOk) {
        bool error_on = a->traps[kCondError].state == kTrapOn;
        bool failure_on = a->traps[kCondFailure].state == kTrapOn;
        if (!error_on && !(failure_on && r.flag == kCommandFailure)) {
            bool traced = false;
            if (mask == kTraceErrors || (mask == kTraceFailures && r.flag == kCommandFailure)) {
                traced = trace_clause(in, "*-*");
                if (traced) trace_value(in, ">>>", cmd);
            }
            if (traced || has_mode(a, kTraceModeTracedClause) || in_pause) {
                NumberBuffer rb;
                std::string_view code = view_of(rc.get(), rb);
                char line[64];
                int n = std::snprintf(line, sizeof line, "       +++ RC(%.20s) +++",
                                      std::string(code.substr(0, 20)).c_str());
                std::string text(line, static_cast<std::size_t>(n));
                write_trace_line(in, text);
            }
        }
    }

    // No instruction sets a pending label for a command, so the conditions are always raised.
    // A failure raises FAILURE unless that trap is OFF, and then nothing at all.
    if (r.flag == kCommandFailure) {
        if (a->traps[kCondFailure].state != kTrapOff) raise_condition(kCondFailure, command);
    } else if (r.flag == kCommandError) {
        raise_condition(kCondError, command);
    }
}

}  // namespace ketra
