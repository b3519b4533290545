// The clause compiler: turns the clauses the scanner delivers into byte code, in one pass.
// This header holds the compiler's state (the code under construction, the compile-time
// control stack, the pending references) and the routines the compiler files share:
//   compiler.cpp           the compile loop, code emission, jump chains
//   compiler_expr.cpp      operator-precedence expressions, function calls, CALL arguments
//   compiler_instr.cpp     the keyword instructions other than the control structures
//   compiler_control.cpp   IF, SELECT, DO, END, ITERATE and LEAVE on the control stack
//   compiler_template.cpp  PARSE templates into template literals
//   compiler_resolve.cpp   labels, routine names and SIGNAL targets
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/translate/opcodes.h"
#include "rexx/translate/program.h"
#include "rexx/translate/scanner.h"

namespace ketra {

// Control-stack entries.
inline constexpr int kControlStackSize = 100;
enum ControlKind : std::uint8_t { kControlDo = 5, kControlIf = 11, kControlSelect = 28 };

// Flag bits of control entries.
inline constexpr std::uint8_t kDoRepetitive = 128;
inline constexpr std::uint8_t kDoHasVariable = 1;  // word 3 holds a control variable
inline constexpr std::uint8_t kIfThenExpected = 8;
inline constexpr std::uint8_t kIfThenSeen = 4;
inline constexpr std::uint8_t kIfThenDone = 128;
inline constexpr std::uint8_t kIfElseSeen = 64;
inline constexpr std::uint8_t kIfComplete = 32;
inline constexpr std::uint8_t kSelectWhenExpected = 2;
inline constexpr std::uint8_t kSelectThenExpected = 8;
inline constexpr std::uint8_t kSelectThenSeen = 4;
inline constexpr std::uint8_t kSelectOtherwiseSeen = 16;

struct ControlEntry {
    std::uint8_t kind;
    std::uint8_t flags;
    std::uint32_t w1;
    std::uint32_t w2;
    std::uint32_t w3;
};

// End of a chain of reference sites.
inline constexpr std::uint32_t kChainEnd = 0xFFFFFF;

// A routine or label name the code refers to before it may be defined. Its sites are linked
// through their 24-bit operands by the code offset of each site's opcode.
struct PendingRef {
    std::uint32_t name_offset;  // in Compiler::names
    std::uint8_t name_length;
    std::uint32_t chain;
    // The first SIGNAL-type reference, for the report of a missing label.
    bool signal;
    std::uint32_t signal_line;
    const char* signal_line_source;
};

struct OperatorItem {
    std::uint8_t op;       // opcode; 0 for "("
    std::uint8_t stacked;  // stacked priority
};

struct Compiler {
    Scanner sc;
    Program* program = nullptr;
    RexxVector<std::uint8_t>* code = nullptr;  // the program's code, or the INTERPRET block
    std::size_t code_limit = 0xFFFFFF;
    bool interpret = false;
    bool record_statements = false;
    bool trace_labels = false;

    ControlEntry stack[kControlStackSize];
    int depth = 0;

    RexxVector<PendingRef> pending;
    RexxVector<char> names;
    RexxVector<OperatorItem> ops;  // the operator stack shared by nested expressions

    std::uint32_t end = 0;  // index of the clause's final ";" (token count for a label)
};

// ---- the compile loop (compiler.cpp) -----------------------------------------------------------

// Compiles every clause up to the end of the source (or of the INTERPRET text).
void compile_clauses(Compiler& c);

// ---- emission (compiler.cpp) ------------------------------------------------------------------

inline std::uint32_t here(const Compiler& c) {
    return static_cast<std::uint32_t>(c.code->size());
}
void emit(Compiler& c, std::uint8_t op);
void emit_u16(Compiler& c, std::uint8_t op, std::uint16_t operand);
void emit_bytes(Compiler& c, const std::uint8_t* bytes, std::size_t n);
void put24(RexxVector<std::uint8_t>& code, std::uint32_t at, std::uint32_t value);
std::uint32_t get24(const RexxVector<std::uint8_t>& code, std::uint32_t at);
// Emits a jump (25, 26, 27 or 13) whose operand links into the chain headed by `chain`
// (0 ends a chain); the head becomes the new operand's position.
void emit_chained_jump(Compiler& c, std::uint8_t op, std::uint32_t& chain);
// Emits a jump to a known target.
void emit_jump_to(Compiler& c, std::uint8_t op, std::uint32_t target);
// Writes target into every operand of the chain.
void resolve_chain(Compiler& c, std::uint32_t chain, std::uint32_t target);

// ---- tokens of the current clause -------------------------------------------------------------

inline const Token& tok(const Compiler& c, std::uint32_t i) {
    return c.sc.tokens[i];
}
inline const char* tok_text(const Compiler& c, std::uint32_t i) {
    return token_text(c.sc, i);
}
inline bool at_end(const Compiler& c, std::uint32_t i) {
    return i >= c.end;
}
inline std::uint32_t skip_blank(const Compiler& c, std::uint32_t i) {
    return (i < c.end && c.sc.tokens[i].type == kTokBlank) ? i + 1 : i;
}
bool is_special(const Compiler& c, std::uint32_t i, char ch);
// A symbol token equal to the upper-case word.
bool is_word(const Compiler& c, std::uint32_t i, const char* word);
// The literal index of a string's contents, a constant symbol or a symbol's name.
std::uint16_t literal_of_token(Compiler& c, std::uint32_t i);
std::uint16_t symbol_of_token(Compiler& c, std::uint32_t i);
// Raises error n for the current clause.
[[noreturn]] void clause_error(Compiler& c, int n);

// ---- expressions (compiler_expr.cpp) ----------------------------------------------------------

// Compiles tokens [first, first + count) as one expression, then emits final_op unless it is 0.
// A negative count compiles the tokens from first to the end of the clause as the target and
// arguments of a CALL instruction.
void compile_expression(Compiler& c, std::uint32_t first, int count, std::uint8_t final_op);
// Compiles tokens [first, last) as an expression with final opcode 93; when they hold
// nothing, emits 3 instead (the "expression or null" of the instructions).
void compile_expression_or_null(Compiler& c, std::uint32_t first, std::uint32_t last);
// True when [first, last) holds nothing but blanks.
bool empty_range(const Compiler& c, std::uint32_t first, std::uint32_t last);

// ---- instructions (compiler_instr.cpp, compiler_control.cpp) -----------------------------------

void compile_instruction(Compiler& c, std::uint8_t type);
void compile_if(Compiler& c);
void compile_then(Compiler& c);
void compile_else(Compiler& c);
void compile_select(Compiler& c);
void compile_when(Compiler& c);
void compile_otherwise(Compiler& c);
void compile_do(Compiler& c);
void compile_end(Compiler& c);
void compile_leave_iterate(Compiler& c, bool leave);
// Pushes an entry on the control stack (error 11 when it is full).
ControlEntry& push_control(Compiler& c, std::uint8_t kind, std::uint8_t flags);
// Pops the top IF and resolves its pending jumps to the current position.
void close_if(Compiler& c);

// ---- templates (compiler_template.cpp) --------------------------------------------------------

// Compiles the template from token first to the end of the clause; returns its literal index.
std::uint16_t compile_template(Compiler& c, std::uint32_t first);

// ---- references (compiler_resolve.cpp) --------------------------------------------------------

enum RefKind : std::uint8_t { kRefCall, kRefSignal };
// Emits a site that refers to a routine or label name: op is 14 or 15 (with argc), 57, or 59
// (with condition and kind in a and b). In INTERPRET mode the site is resolved at once.
void emit_reference(Compiler& c, std::uint8_t op, std::uint8_t a, std::uint8_t b, const char* name,
                    std::size_t length);
// Enters a label (the first of equal names wins).
void define_label(Compiler& c, const char* name, std::size_t length);
// Resolves every pending name after the last clause.
void resolve_references(Compiler& c);

}  // namespace ketra
