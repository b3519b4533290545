// SAY, the input paths of PULL, PARSE PULL, PARSE LINEIN and PARSE EXTERNAL (session queue,
// RXSIO exit or the I/O window), the PARSE NUMERIC, SOURCE and VERSION strings and the TRACE
// instruction's setting. The command clause is in interp_command.cpp.

#include <cstdio>
#include <cstring>

#include "rexx/host/console.h"
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/queue.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_conditions.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

void say(Interp& in, Value& v) {
    NumberBuffer nb;
    std::string_view s = is_absent(v) ? std::string_view() : view_of(v, nb);
    if (!say_text(in.inst, s.data(), s.size())) error(48);
}

Value pull_line(Interp& in) {
    Value v;
    if (queue_pull(v)) return v;
    return read_terminal_line(in.inst);
}

Value read_input_line(Interp& in) {
    return read_terminal_line(in.inst);
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
