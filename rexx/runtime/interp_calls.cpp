// Activations and the transfer of control between them: the program's activation, internal
// routine calls, RETURN, EXIT, SIGNAL, and the line information that SIGL and the traceback
// use. Released activations are kept on a free list, so a call in a loop does not allocate.
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

constexpr int kMaxCallDepth = 100000;

Activation* obtain_activation(Interp& in) {
    Activation* a = in.free_acts;
    if (a) {
        in.free_acts = a->caller;
        return a;
    }
    return static_cast<Activation*>(allocate(sizeof(Activation)));
}

void recycle_activation(Interp& in, Activation* a) {
    release(a->environment);
    release(a->previous_environment);
    release(a->condition_description);
    a->caller = in.free_acts;
    in.free_acts = a;
}

// The initial trace setting of a run: the "/TR" letters, else RXTRACE (applied later by the
// tracing facility; here only stored).
void initial_trace(Interp& in, Activation* a) {
    a->trace[0] = 'N';
    a->trace[1] = ' ';
    a->trace_flags = kTraceFailures;
    if (in.inst->trace_letters[0] && in.inst->trace_letters[0] != ' ') {
        a->trace[0] = in.inst->trace_letters[0];
        a->trace[1] = in.inst->trace_letters[1] ? in.inst->trace_letters[1] : ' ';
    }
}

}  // namespace

void enter_program_activation(Interp& in) {
    Activation* a = obtain_activation(in);
    std::memset(static_cast<void*>(a), 0, sizeof(Activation));
    a->caller = nullptr;
    initial_trace(in, a);
    a->invocation = static_cast<std::uint8_t>(in.frame->call_type);
    a->numeric = Numeric{};
    const char* env = in.inst->environment ? in.inst->environment : "";
    a->environment = make_value(env, std::strlen(env), true);
    a->previous_environment = kAbsentValue;
    a->condition_description = kAbsentValue;
    // The run frame holds the arguments last first; the activation sees them in order.
    int argc = in.frame->argc;
    a->argc = argc;
    a->args = nullptr;
    if (argc > 0) {
        in.top_args = static_cast<Value*>(allocate(sizeof(Value) * static_cast<std::size_t>(argc)));
        for (int i = 0; i < argc; ++i) {
            Value v = in.frame->args[argc - 1 - i];
            if (v.flags & kOwned)
                v.flags = static_cast<std::uint8_t>((v.flags & ~kOwned) | kBorrowed);
            in.top_args[i] = v;
        }
        a->args = in.top_args;
    }
    a->stack_base = in.sp;
    a->program_start = true;
    a->return_code = in.code;
    a->return_code_size = in.code_size;
    a->caller_loop = empty_loop_registers();
    in.act = a;
    in.top = a;
    in.depth = 0;
    g_lib.activation = a;
    vars_open_program(a);
}

Activation* new_routine_activation(Interp& in) {
    if (in.depth >= kMaxCallDepth) error(11);
    Activation* caller = in.act;
    Activation* a = obtain_activation(in);
    std::memcpy(static_cast<void*>(a), caller, sizeof(Activation));
    a->caller = caller;
    a->environment = copy_value(caller->environment);
    a->previous_environment = is_absent(caller->previous_environment)
                                  ? kAbsentValue
                                  : copy_value(caller->previous_environment);
    a->condition_description = is_absent(caller->condition_description)
                                   ? kAbsentValue
                                   : copy_value(caller->condition_description);
    a->procedure_done = false;
    a->loop_nesting = 0;
    a->interprets = nullptr;
    a->program_start = false;
    a->trap_running = 0;
    return a;
}

std::uint32_t clause_location(const Interp& in, const Activation* a, const Activation* callee) {
    if (a->interprets) {
        const InterpretFrame* f = a->interprets;
        while (f->next) f = f->next;
        return f->location;
    }
    if (a == in.act) return in.pc;
    // A caller: the call instruction, recorded in the activation it called.
    if (callee && callee->caller == a) return callee->call_location;
    for (const Activation* c = in.act; c; c = c->caller)
        if (c->caller == a) return c->call_location;
    return 0;
}

std::uint32_t line_of(const Interp& in, std::uint32_t location) {
    const auto& st = in.prog->statements;
    if (st.empty()) return 0;
    // The last statement that begins at or before the location.
    std::size_t lo = 0, hi = st.size();
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (st[mid].offset <= location)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo ? st[lo - 1].first_line : st[0].first_line;
}

void assign_symbol(Interp& in, std::uint16_t sym, const Value& v) {
    Value c = copy_value(v);
    var_store(in.act, sym, c);
}

void assign_integer(Interp& in, std::uint16_t sym, std::int32_t n) {
    Value v = make_integer(n);
    if ((v.flags & kInteger) && store_integer_cached(in, sym, v)) return;
    var_store(in.act, sym, v);
}

void set_sigl(Interp& in) {
    if (!in.line_info) return;
    std::uint32_t line = line_of(in, clause_location(in, in.act));
    assign_integer(in, 2, static_cast<std::int32_t>(line));
}

void end_interprets(Interp& in) {
    Activation* a = in.act;
    InterpretFrame* f = a->interprets;
    if (!f) return;
    while (f->next) {
        InterpretFrame* next = f->next;
        release(static_cast<void*>(f));
        f = next;
    }
    a->interprets = nullptr;
    // The outermost INTERPRET holds the code and the table sizes from before them all.
    in.code = f->saved_code;
    in.code_size = f->saved_code_size;
    Program* p = in.prog;
    while (p->literals.size() > f->literal_count) {
        release(p->literals.back());
        p->literals.pop_back();
    }
    while (p->symbols.size() > f->symbol_count) {
        release(p->symbols.back().name);
        p->symbols.pop_back();
    }
    release(static_cast<void*>(f));
}

void end_control_structures(Interp& in) {
    Activation* a = in.act;
    end_interprets(in);
    discard_stack_to(in, a->stack_base);
    if (a->loop_nesting > 0) {
        release(in.loop.by);
        release(in.loop.to);
        in.loop = empty_loop_registers();
        a->loop_nesting = 0;
    }
}

void leave_activation(Interp& in) {
    Activation* a = in.act;
    end_control_structures(in);
    Activation* caller = a->caller;
    if (caller) {
        // The arguments lie below the activation's stack base.
        for (int i = 0; i < a->argc; ++i) drop_top(in);
        in.loop = a->caller_loop;
        if (a->procedure_done)
            vars_close(a);
        else
            vars_hand_back(a, caller);
        in.code = a->return_code;
        in.code_size = a->return_code_size;
        --in.depth;
    } else {
        vars_close(a);
    }
    in.act = caller;
    g_lib.activation = caller;
    recycle_activation(in, a);
}

void leave_all_activations(Interp& in) {
    while (in.act) leave_activation(in);
    release_if(in.top_args);
    in.top_args = nullptr;
    while (Activation* a = in.free_acts) {
        in.free_acts = a->caller;
        release(static_cast<void*>(a));
    }
}

void keep_stack_values(Interp& in) {
    // A caller's entries lie above this activation's base; they were made private when that
    // caller made its call, and stay untouched until it goes on.
    for (Value* v = in.sp; v < in.act->stack_base; ++v) make_private(*v);
}

void call_internal(Interp& in, std::uint32_t target, int argc, std::uint8_t invocation,
                   std::uint32_t resume) {
    keep_stack_values(in);
    Activation* caller = in.act;
    std::uint32_t location = clause_location(in, caller);
    Activation* a = new_routine_activation(in);
    a->invocation = invocation;
    // The arguments lie on the stack first argument deepest; turned round in place, the
    // activation sees them first argument first.
    for (int lo = 0, hi = argc - 1; lo < hi; ++lo, --hi) {
        Value t = in.sp[lo];
        in.sp[lo] = in.sp[hi];
        in.sp[hi] = t;
    }
    a->argc = argc;
    a->args = in.sp;
    a->stack_base = in.sp;
    a->return_point = resume;
    a->return_code = in.code;
    a->return_code_size = in.code_size;
    a->call_location = location;
    a->call_in_interpret = caller->interprets != nullptr;
    a->caller_loop = in.loop;
    in.loop = empty_loop_registers();
    in.act = a;
    g_lib.activation = a;
    ++in.depth;
    in.code = in.prog->code.data();
    in.code_size = static_cast<std::uint32_t>(in.prog->code.size());
    if (in.line_info) assign_integer(in, 2, static_cast<std::int32_t>(line_of(in, location)));
    in.pc = target;
}

void do_exit(Interp& in, Value* value) {
    RunFrame* f = in.frame;
    if (f->result) {
        release(*f->result);
    } else if (value) {
        f->result = static_cast<Value*>(allocate(sizeof(Value)));
        *f->result = kNullString;
    }
    if (value) {
        *f->result = copy_value(*value);
        f->no_result = false;
    } else {
        f->no_result = true;
    }
    in.ended = true;
}

void do_return(Interp& in, Value* value) {
    Activation* a = in.act;
    if (a->invocation == kInvokeFunction && !value && !a->trap_running) error(45);
    if (in.depth == 0) {
        do_exit(in, value);
        return;
    }
    // The value may be borrowed from a variable that goes away with the activation.
    if (value) make_private(*value);
    std::uint32_t trap_bits = a->trap_running;
    std::uint8_t invocation = a->invocation;
    std::uint32_t resume = a->return_point;
    leave_activation(in);
    in.pc = resume;
    if (trap_bits) {
        // The end of a CALL ON handler: the trap is armed again and the result discarded.
        for (int c = 1; c < kConditionCount; ++c)
            if ((trap_bits & (1u << c)) && in.act->traps[c].state == kTrapDelay)
                in.act->traps[c].state = kTrapOn;
        return;
    }
    if (invocation == kInvokeFunction) {
        push(in, *value);
        *value = kNullString;
    } else if (value) {
        var_store(in.act, 1, *value);
        *value = kNullString;
    } else {
        var_drop(in.act, 1);
    }
}

void signal_to(Interp& in, std::uint32_t target) {
    set_sigl(in);
    end_control_structures(in);
    in.code = in.prog->code.data();
    in.code_size = static_cast<std::uint32_t>(in.prog->code.size());
    in.pc = target;
}

std::uint32_t find_label(Interp& in, const char* name, std::size_t length) {
    for (const LabelEntry& l : in.prog->labels)
        if (l.length == length && std::memcmp(l.name, name, length) == 0) return l.offset;
    error(16);
}

}  // namespace ketra
