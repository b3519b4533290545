// The interpreter's own state for one run and the helpers that its parts share: the dispatch
// loop (interp_loop.cpp), calls and returns (interp_calls.cpp), conditions and traps
// (interp_conditions.cpp), SAY and the input paths (interp_io.cpp), external routines
// (interp_external.cpp) and INTERPRET (interp_interpret.cpp).
//
// The evaluation stack grows downward: `sp` points at the top entry and a push stores at
// --sp. Entries own what they hold (owned buffers are freed on pop); values fetched from
// variables are borrowed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/value.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"

namespace ketra {

// An active INTERPRET: the code it replaced and the table sizes to restore when it ends.
struct InterpretFrame {
    InterpretFrame* next;            // the enclosing INTERPRET of the same activation
    const std::uint8_t* saved_code;  // code to resume in, and its size
    std::uint32_t saved_code_size;
    std::uint32_t resume;       // offset after the INTERPRET instruction in saved_code
    std::uint32_t location;     // offset of the INTERPRET instruction itself
    std::size_t literal_count;  // table sizes before the translation
    std::size_t symbol_count;
    std::uint8_t* block;  // the translated code; it follows the frame in the frame's allocation
    std::uint32_t block_size;
};

// Translations of INTERPRET strings kept for reuse (interp_interpret.cpp).
struct InterpretCache;
struct InterpretCacheDeleter {
    void operator()(InterpretCache* cache) const;
};

struct Interp {
    ExecInstance* inst;
    RunFrame* frame;
    Program* prog;
    const std::uint8_t* code;  // current code: the program's, or an INTERPRET block
    std::uint32_t code_size;
    std::uint32_t pc;    // offset of the instruction being executed
    Value* sp;           // top of the evaluation stack
    Value* stack_low;    // lowest usable entry
    Value* stack_high;   // one past the deepest entry
    int depth;           // active internal routine calls
    LoopRegisters loop;  // of the innermost active loop
    Activation* act;
    Activation* top;        // the program's activation
    Activation* free_acts;  // released activations kept for reuse
    // What a push of each of the program's literals stores: the integer form of a whole
    // number, else the literal borrowed. INTERPRET's literals come after these.
    const Value* literal_pushes;
    std::uint32_t literal_ints_count;  // the program's literals (those in literal_pushes)
    std::uint32_t program_symbols;     // the symbol table's size without INTERPRET entries
    std::unique_ptr<InterpretCache, InterpretCacheDeleter> interpret_cache;
    Value* top_args;  // the program's arguments in order (refer to the run frame's)
    bool ended;
    bool resume;      // an error was trapped: the loop goes on at pc
    bool ter_called;  // the RXTER exit was called
    bool line_info;   // the program has a statement table
    Interp* outer;    // the interpreter of the run this one is nested in
};

// The interpreter of the run in progress on this thread (null between runs).
Interp* current_interp();
void set_current_interp(Interp* in);

// Loop registers of no loop (BY 1, no TO, no FOR, no control variable).
inline LoopRegisters empty_loop_registers() {
    return LoopRegisters{kOneValue, kAbsentValue, -1, 0, -1};
}
// Length of an instruction by its opcode (0 for a byte that is not an opcode).
std::uint8_t instruction_length(unsigned op);

// The argument prompt of a program that reads its arguments and has none (rexx/host).
void argument_prompt(ExecInstance* inst);

// ---- stack --------------------------------------------------------------------------------

[[noreturn]] void stack_overflow();

inline void push(Interp& in, const Value& v) {
    if (in.sp <= in.stack_low) stack_overflow();
    *--in.sp = v;
}
// Releases the top entry and removes it (what is left below the top is not kept valid).
inline void drop_top(Interp& in) {
    if ((in.sp->flags & kOwned) && in.sp->length > kInlineMax) release_buffer(*in.sp);
    ++in.sp;
}
// Releases every entry above `base` (the entries at lower addresses).
void discard_stack_to(Interp& in, Value* base);

// ---- operands -----------------------------------------------------------------------------

// Operands are little-endian; on a little-endian machine a 16-bit operand is one load.
inline std::uint16_t u16_at(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t u24_at(const std::uint8_t* p) {
    return u16_at(p) | static_cast<std::uint32_t>(p[2] << 16);
}

// ---- activations and control (interp_calls.cpp) ------------------------------------------

// A new activation for an internal routine: a copy of the caller's with the per-routine state
// cleared (variables shared until PROCEDURE).
Activation* new_routine_activation(Interp& in);
// Creates and enters the program's activation.
void enter_program_activation(Interp& in);
// Leaves the current activation: its INTERPRETs, loops, stack entries and local variables go;
// the caller becomes current. Used by RETURN and when a run unwinds.
void leave_activation(Interp& in);
// Leaves every activation (the end of a run).
void leave_all_activations(Interp& in);
// Ends every INTERPRET, loop frame and stack entry of the current activation (SIGNAL).
void end_control_structures(Interp& in);
// Ends the INTERPRETs of the current activation, restoring the program's code.
void end_interprets(Interp& in);

// Internal routine call at `target` (program code) with argc arguments on the stack.
void call_internal(Interp& in, std::uint32_t target, int argc, std::uint8_t invocation,
                   std::uint32_t resume);
// RETURN; `value` is the popped result or null.
void do_return(Interp& in, Value* value);
// EXIT; `value` the result or null.
void do_exit(Interp& in, Value* value);
// SIGNAL to a program code offset (SIGL set from the clause at `from`).
void signal_to(Interp& in, std::uint32_t target);
// SIGNAL VALUE: the label of that name, else error 16.
std::uint32_t find_label(Interp& in, const char* name, std::size_t length);

// Gives the current activation's evaluation-stack entries buffers of their own. An entry may
// borrow a variable's buffer; before code that can assign variables runs while the entries wait
// (a routine, an external function, VALUE), they are made private.
void keep_stack_values(Interp& in);
// The program's code offset to use for line information of an activation: inside interpreted
// code, the INTERPRET instruction; in a caller, its call instruction. `callee`, when the caller
// of `callee` is `a`, saves the search for it from the current activation outwards.
std::uint32_t clause_location(const Interp& in, const Activation* a,
                              const Activation* callee = nullptr);
// The first source line of the clause at a program code offset, 0 without line information.
std::uint32_t line_of(const Interp& in, std::uint32_t location);
// Assigns the line of the current clause to SIGL (when line information exists).
void set_sigl(Interp& in);

// Stores a copy of v into the variable of symbol sym / drops it.
void assign_symbol(Interp& in, std::uint16_t sym, const Value& v);
void assign_integer(Interp& in, std::uint16_t sym, std::int32_t n);

// Stores an integer-form value (which needs no preparation to be kept) straight into the node of
// simple variable sym when the symbol-table cache holds it; false when var_store must do it.
inline bool store_integer_cached(Interp& in, std::uint16_t sym, const Value& v) {
    VarNode* node = cached_simple_node(in.prog->symbols[sym], in.act->scope);
    if (!node) return false;
    release(node->value);
    node->value = v;
    node->flags &= static_cast<std::uint8_t>(~kNodeDropped);
    return true;
}

// ---- external calls (interp_external.cpp) ------------------------------------------------

// Calls the built-in `code` with argc stack arguments; true with `result` set when it returned
// a value.
bool call_builtin_at(Interp& in, int code, int argc, Value& result);
// Calls the external routine named by literal `lit`; true with `result` set when it returned
// a value.
bool call_external(Interp& in, std::uint32_t lit, int argc, bool function, Value& result);

// ---- conditions (interp_conditions.cpp) --------------------------------------------------

// Halt reported by a halt check.
void halt_raised(Interp& in);
// Makes the pending CALL ON calls; true when one was made (pc changed).
bool make_pending_calls(Interp& in);
// NOVALUE for the name on top of the stack; true when a SIGNAL trap transferred control.
void raise_novalue(Interp& in, const Value& name);
// Calls the RXTER exit once.
void call_termination_exit(Interp& in);

// ---- I/O (interp_io.cpp) -----------------------------------------------------------------

void say(Interp& in, Value& v);
// One line from the queue, else from standard input.
Value pull_line(Interp& in);
// One line from standard input (PARSE LINEIN, PARSE EXTERNAL).
Value read_input_line(Interp& in);
Value parse_source_string(Interp& in);
Value parse_numeric_string(Interp& in);
Value parse_version_string();

// ---- commands and the rest ---------------------------------------------------------------

// Sends a command to an environment: sets RC and raises ERROR or FAILURE.
void run_command(Interp& in, const Value& environment, Value& command);
// INTERPRET of the string on top of the stack (popped by the caller after the block ran).
void start_interpret(Interp& in, Value& text);
void end_interpret(Interp& in);
// TRACE with the popped setting.
void apply_trace(Interp& in, Value& setting);

}  // namespace ketra
