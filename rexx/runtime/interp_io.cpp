// SAY, the input paths of PULL, PARSE PULL, PARSE LINEIN and PARSE EXTERNAL (session queue,
// RXSIO exit, standard input), the PARSE NUMERIC, SOURCE and VERSION strings, command clauses
// and the TRACE instruction's setting.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "rexx/host/command_dispatch.h"
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/queue.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_conditions.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

// Standard input, read in blocks; lines end at a line feed (a carriage return before it is
// dropped). Shared by every run of the process, like the stream it reads.
struct InputBuffer {
    char data[4096];
    std::size_t start;
    std::size_t end;
    bool eof;
};
constinit InputBuffer g_input{};

Value read_stdin_line() {
    char small[256];
    char* line = small;
    std::size_t cap = sizeof small, len = 0;
    bool heap = false;
    for (;;) {
        if (g_input.start == g_input.end) {
            if (g_input.eof) break;
            ssize_t r = ::read(STDIN_FILENO, g_input.data, sizeof g_input.data);
            if (r <= 0) {
                g_input.eof = true;
                break;
            }
            g_input.start = 0;
            g_input.end = static_cast<std::size_t>(r);
        }
        const char* p = g_input.data + g_input.start;
        std::size_t avail = g_input.end - g_input.start;
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', avail));
        std::size_t take = nl ? static_cast<std::size_t>(nl - p) : avail;
        if (len + take > cap) {
            std::size_t ncap = (len + take) * 2;
            char* n = static_cast<char*>(allocate(ncap));
            std::memcpy(n, line, len);
            if (heap) release(static_cast<void*>(line));
            line = n;
            cap = ncap;
            heap = true;
        }
        std::memcpy(line + len, p, take);
        len += take;
        g_input.start += take + (nl ? 1 : 0);
        if (nl) break;
    }
    if (len && line[len - 1] == '\r') --len;
    Value v = make_value(line, len, true);
    if (heap) release(static_cast<void*>(line));
    return v;
}

// Terminal input: the RXSIO exit's read, else standard input.
Value terminal_line(Interp& in) {
    ExitSlot& slot = in.inst->exits[RXSIO];
    if (slot.handler) {
        char buffer[4096];
        RXSIOTRD_PARM parm;
        parm.rxsiotrd_retc.strptr = buffer;
        parm.rxsiotrd_retc.strlength = sizeof buffer;
        LONG rc;
        {
            HostCall call;
            rc = slot.handler(RXSIO, RXSIOTRD, reinterpret_cast<PEXIT>(&parm));
        }
        if (rc == -1 || rc == 65535) error(48);
        if (rc == RXEXIT_HANDLED) {
            const RXSTRING& r = parm.rxsiotrd_retc;
            Value v = r.strptr ? make_value(r.strptr, r.strlength, true) : kNullString;
            if (r.strptr && r.strptr != buffer) RexxFreeMemory(r.strptr);
            return v;
        }
    }
    return read_stdin_line();
}

}  // namespace

void say(Interp& in, Value& v) {
    NumberBuffer nb;
    std::string_view s = is_absent(v) ? std::string_view() : view_of(v, nb);
    ExitSlot& slot = in.inst->exits[RXSIO];
    if (slot.handler) {
        RXSIOSAY_PARM parm;
        parm.rxsio_string.strptr = const_cast<char*>(s.data());
        parm.rxsio_string.strlength = static_cast<ULONG>(s.size());
        LONG rc;
        {
            HostCall call;
            rc = slot.handler(RXSIO, RXSIOSAY, reinterpret_cast<PEXIT>(&parm));
        }
        if (rc == -1 || rc == 65535) error(48);
        if (rc == RXEXIT_HANDLED) return;
    }
    // One write for a line that fits the buffer keeps lines whole.
    char buf[1024];
    if (s.size() < sizeof buf) {
        if (!s.empty()) std::memcpy(buf, s.data(), s.size());
        buf[s.size()] = '\n';
        write_io_window(buf, static_cast<unsigned long>(s.size() + 1));
    } else {
        write_io_window(s.data(), static_cast<unsigned long>(s.size()));
        write_io_window("\n", 1);
    }
}

Value pull_line(Interp& in) {
    Value v;
    if (queue_pull(v)) return v;
    return terminal_line(in);
}

Value read_input_line(Interp& in) {
    return terminal_line(in);
}

Value parse_numeric_string(Interp& in) {
    const Numeric& n = in.act->numeric;
    char buf[64];
    int len = std::snprintf(buf, sizeof buf, "%d %d %s", n.digits, n.fuzz,
                            n.engineering ? "ENGINEERING" : "SCIENTIFIC");
    return make_value(buf, static_cast<std::size_t>(len), true);
}

Value parse_source_string(Interp& in) {
    static constexpr const char* kHow[] = {"COMMAND", "SUBROUTINE", "FUNCTION"};
    int type = in.frame->call_type;
    const char* how = type >= 0 && type <= 2 ? kHow[type] : kHow[0];
    const char* name = in.inst->program_name ? in.inst->program_name : "";
    std::size_t n = std::strlen(name);
    std::size_t hl = std::strlen(how);
    static constexpr char kSystem[] = "UNIX";
    std::size_t total = sizeof kSystem - 1 + 1 + hl + 1 + n;
    Value v{};
    char* p = start_string(v, total);
    std::memcpy(p, kSystem, sizeof kSystem - 1);
    p += sizeof kSystem - 1;
    *p++ = ' ';
    std::memcpy(p, how, hl);
    p += hl;
    *p++ = ' ';
    std::memcpy(p, name, n);
    classify(v);
    return v;
}

Value parse_version_string() {
    static constexpr char kVersion[] = "REXX/Corvane 4.0 26 Feb 1995";
    return make_value(kVersion, sizeof kVersion - 1, true);
}

void run_command(Interp& in, const Value& environment, Value& command) {
    NumberBuffer eb, cb;
    std::string_view env = is_absent(environment) ? std::string_view() : view_of(environment, eb);
    if (env.size() > 250) error(29);
    std::string_view cmd = is_absent(command) ? std::string_view() : view_of(command, cb);
    Activation* a = in.act;
    CommandResult r;
    if (a->trace_flags & (kTraceModeInhibit << 8))
        r = CommandResult{kZeroValue, kCommandOk};
    else
        r = dispatch_command(env.data(), env.size(), cmd.data(), cmd.size());
    ValueHolder rc(r.rc);
    if (!(a->trace_flags & (kTraceModeInPause << 8))) assign_symbol(in, 0, rc.get());
    // A failure raises FAILURE when that trap is not OFF, and nothing otherwise.
    if (r.flag == kCommandFailure) {
        if (a->traps[kCondFailure].state != kTrapOff) raise_condition(kCondFailure, command);
    } else if (r.flag == kCommandError) {
        raise_condition(kCondError, command);
    }
}

void apply_trace(Interp& in, Value& setting) {
    Activation* a = in.act;
    NumberBuffer nb;
    std::string_view s = is_absent(setting) ? std::string_view() : view_of(setting, nb);
    std::uint32_t mask = a->trace_flags & 0xFF;
    std::uint32_t modes = (a->trace_flags >> 8) & 0xFF;
    if (s.empty()) {
        a->trace_flags = kTraceFailures;
        a->trace[0] = 'N';
        a->trace[1] = ' ';
        return;
    }
    std::int32_t skip;
    if (try_whole_number(setting, skip)) {
        a->trace_skip = skip;
        return;
    }
    std::size_t i = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '!')
            modes ^= kTraceModeInhibit;
        else if (c == '?')
            modes ^= kTraceModeInteractive | kTraceModeAnnounce;
        else if (c == '$')
            modes ^= kTraceModeDiscard;
        else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            break;
        else
            error(24);
    }
    // Interactive debug needs line information.
    if ((modes & kTraceModeInteractive) && !in.line_info)
        modes &= ~static_cast<std::uint32_t>(kTraceModeInteractive | kTraceModeAnnounce);
    if (i < s.size()) {
        char letter = s[i];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
        switch (letter) {
            case 'A':
                mask = kTraceAll;
                break;
            case 'C':
                mask = kTraceCommands;
                break;
            case 'E':
                mask = kTraceErrors;
                break;
            case 'N':
            case 'F':
                mask = kTraceFailures;
                break;
            case 'I':
                mask = kTraceIntermediates;
                break;
            case 'L':
                mask = kTraceLabels;
                break;
            case 'O':
                mask = 0;
                break;
            case 'R':
                mask = kTraceResults;
                break;
            default:
                error(24);
        }
        if (letter == 'O') {
            modes = 0;
            a->trace_skip = 0;
        }
        a->trace[0] = letter;
        a->trace[1] = ' ';
        if ((mask & (kTraceResults | kTraceLabels)) && !(in.inst->mode & kModeTracePermitted))
            message("Error 173: /T option required for TRACE R or TRACE L");
    }
    a->trace_flags = mask | (modes << 8);
}

}  // namespace ketra
