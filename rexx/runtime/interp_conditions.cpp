// Conditions and errors at run time: raising a condition on the current activation, SIGNAL ON
// and CALL ON traps with their DELAY state and pending calls, HALT from a halt check, the
// termination exit, and the run-time handling of `error` (SIGNAL ON SYNTAX, or the traceback
// of "+++" lines, the error message and the end of the run).
#include "rexx/runtime/interp_conditions.h"

#include <cstring>
#include <string>

#include "rexx/host/error.h"
#include "rexx/host/halt.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

// The target of a trap: its NAME label, or the label named like the condition.
std::uint32_t trap_target(Interp& in, const TrapRecord& t, int code) {
    if (t.label) return t.label;
    const char* name = condition_name(code);
    return find_label(in, name, std::strlen(name));
}

void set_condition_in_effect(Activation* a, int code, int kind, const Value& description) {
    release(a->condition_description);
    a->condition_code = static_cast<std::uint8_t>(code);
    a->condition_kind = static_cast<std::uint8_t>(kind);
    a->condition_description = copy_value(description);
}

// A SIGNAL trap fires: control goes to its target, which the loop resumes at.
[[noreturn]] void signal_trap(Interp& in, int code, const Value& description) {
    Activation* a = in.act;
    TrapRecord& t = a->traps[code];
    t.state = kTrapOff;
    set_condition_in_effect(a, code, kTrapSignal, description);
    std::uint32_t target = trap_target(in, t, code);
    signal_to(in, target);
    in.resume = true;
    throw RexxUnwind{0};
}

// Writes the clause at a program code offset as trace lines with the prefix "+++".
void write_clause_lines(Interp& in, std::uint32_t location) {
    const auto& st = in.prog->statements;
    if (st.empty()) return;
    std::size_t lo = 0, hi = st.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (st[mid].offset <= location)
            lo = mid + 1;
        else
            hi = mid;
    }
    const StatementEntry& s = st[lo ? lo - 1 : 0];
    const char* src = in.inst->source_start;
    const char* end = in.inst->source_end;
    // Find the clause's first line.
    std::uint32_t line = 1;
    const char* p = src;
    while (p && p < end && line < s.first_line) {
        const char* nl =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (!nl) {
            p = end;
            break;
        }
        p = nl + 1;
        ++line;
    }
    for (std::uint32_t l = s.first_line; l <= s.last_line; ++l) {
        std::string text;
        if (p && p < end) {
            const char* nl =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* e = nl ? nl : end;
            if (e > p && e[-1] == '\r') --e;
            std::size_t len = static_cast<std::size_t>(e - p);
            std::size_t from = 0, to = len;
            // Columns are offsets in their lines; the last one is the clause's last character.
            if (l == s.first_line) from = s.first_column;
            if (l == s.last_line && s.last_column + 1u < to) to = s.last_column + 1u;
            if (from > len) from = len;
            if (to < from) to = from;
            text.assign(p + from, to - from);
            p = nl ? nl + 1 : end;
        }
        // The clause's own text: not the ";" that ends it.
        if (l == s.last_line) {
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
            if (!text.empty() && text.back() == ';') text.pop_back();
        }
        std::size_t b = 0;
        while (b < text.size() && (text[b] == ' ' || text[b] == '\t')) ++b;
        text.erase(0, b);
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 32) c = c == '\t' ? ' ' : '?';
        // Head and text together hold at most 250 characters.
        if (text.size() > 239) text.resize(239);
        message("%6u +++ %s", static_cast<unsigned>(l), text.c_str());
    }
}

}  // namespace

int raise_condition(int code, const Value& description) {
    Interp* in = current_interp();
    if (!in || !in->act || code < 1 || code >= kConditionCount) return 0;
    Activation* a = in->act;
    if (a->trace_flags & (kTraceModeInPause << 8)) return 0;
    TrapRecord& t = a->traps[code];
    if (t.state != kTrapOn) return 0;
    if (t.kind == kTrapSignal) signal_trap(*in, code, description);
    t.state = kTrapDelay;
    t.location = clause_location(*in, a);
    Value*& pending = in->frame->pending_description[code];
    if (!pending) {
        pending = static_cast<Value*>(allocate(sizeof(Value)));
        *pending = kNullString;
        ++in->frame->pending_calls;
        request_clause_attention(in->inst);
    }
    release(*pending);
    *pending = copy_value(description);
    return 1;
}

void raise_novalue(Interp& in, const Value& name) {
    (void)in;
    raise_condition(kCondNovalue, name);
}

void halt_raised(Interp& in) {
    if (in_error()) return;
    Activation* a = in.act;
    if (!a || (a->trace_flags & (kTraceModeInPause << 8))) error(4);
    TrapRecord& t = a->traps[kCondHalt];
    if (t.state == kTrapDelay) return;  // the pending call takes this halt as well
    if (t.state == kTrapOff) error(4);
    raise_condition(kCondHalt, kNullString);
}

bool make_pending_calls(Interp& in) {
    RunFrame* f = in.frame;
    for (int c = 1; c < kConditionCount; ++c) {
        Value* d = f->pending_description[c];
        if (!d) continue;
        f->pending_description[c] = nullptr;
        --f->pending_calls;
        ValueHolder description(*d);
        release(static_cast<void*>(d));
        Activation* a = in.act;
        TrapRecord& t = a->traps[c];
        if (t.state != kTrapDelay) continue;  // turned off or on again before the call
        std::uint32_t fired = t.location;
        std::uint32_t target = trap_target(in, t, c);
        call_internal(in, target, 0, kInvokeSubroutine, in.pc);
        Activation* handler = in.act;
        handler->trap_running = 1u << c;
        release(handler->condition_description);
        handler->condition_code = static_cast<std::uint8_t>(c);
        handler->condition_kind = kTrapCall;
        handler->condition_description = description.take();
        if (in.line_info) assign_integer(in, 2, static_cast<std::int32_t>(line_of(in, fired)));
        return true;
    }
    return false;
}

void call_termination_exit(Interp& in) {
    if (in.ter_called) return;
    in.ter_called = true;
    ExitSlot& slot = in.inst->exits[RXTER];
    if (!slot.handler) return;
    // The run is over: whatever the exit answers, even -1, changes nothing.
    HostCall call;
    slot.handler(RXTER, RXTEREXT, exit_user_area(slot));
}

void interpreter_error(ExecInstance* inst, int n, const char* text) {
    Interp* in = current_interp();
    const char* name = inst->program_name ? inst->program_name : "";
    if (!in || !in->act || in->ended) {
        message("Error %d in REXX program: %s", n, text);
        leave_error();
        throw RexxUnwind{n};
    }
    Activation* a = in->act;
    if (n != 49 && a->traps[kCondSyntax].state == kTrapOn) {
        leave_error();
        inst->ending_in_error = false;
        inst->error_number = 0;
        Value number = make_integer(n);
        assign_integer(*in, 0, n);
        signal_trap(*in, kCondSyntax, number);
    }
    std::uint32_t failing = clause_location(*in, a);
    if (in->line_info) {
        // Each caller is found from the activation it called, so that a deep recursion
        // writes its traceback in time proportional to its depth.
        const Activation* callee = nullptr;
        for (Activation* x = a; x; callee = x, x = x->caller) {
            write_clause_lines(*in, clause_location(*in, x, callee));
            if (x->program_start) break;
        }
        message("Error %d on line %u of %s: %s", n, static_cast<unsigned>(line_of(*in, failing)),
                name, text);
    } else {
        message("Error %d in %s: %s", n, name, text);
        if (inst->debug_flags & kDebugDeveloper)
            message("Location counter = %04x", static_cast<unsigned>(failing));
    }
    inst->ending_in_error = true;
    inst->error_number = n;
    in->resume = false;
    leave_error();
    throw RexxUnwind{n};
}

}  // namespace ketra
