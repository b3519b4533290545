// The compile loop of the clause compiler (the structure checks made before every clause, the
// statement table) and the emission of byte code with its jump chains.
#include "rexx/translate/compiler.h"

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/halt.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"

namespace ketra {

namespace {

constexpr int kLocCodeFull = 110;

inline void reserve_code(Compiler& c, std::size_t n) {
    if (c.code->size() + n > c.code_limit) memory_full(kLocCodeFull, kPoolObjectCode);
}

bool is_clause(std::uint8_t type, std::uint8_t a) {
    return type == a;
}

// The structure checks made before a clause is compiled.
void check_structure(Compiler& c, std::uint8_t type) {
    bool is_else = is_clause(type, kClauseElse);
    bool is_then = is_clause(type, kClauseThen);
    while (c.depth > 0 && c.stack[c.depth - 1].kind == kControlIf) {
        std::uint8_t f = c.stack[c.depth - 1].flags;
        if ((f & kIfComplete) || ((f & kIfThenDone) && !is_else))
            close_if(c);
        else
            break;
    }
    if (c.depth == 0) return;
    ControlEntry& top = c.stack[c.depth - 1];
    if (top.kind == kControlIf) {
        if (!is_then && (top.flags & kIfThenSeen) && !is_else) top.flags |= kIfThenDone;
        if ((top.flags & kIfElseSeen) && !is_else) top.flags |= kIfComplete;
    }
    if ((top.kind == kControlIf || top.kind == kControlSelect) && (top.flags & kIfThenExpected) &&
        !is_then)
        clause_error(c, 18);
    if (top.kind == kControlSelect) {
        bool when = type == kClauseWhen, otherwise = type == kClauseOtherwise;
        if ((top.flags & kSelectWhenExpected) && !when && !otherwise && type != kClauseEnd)
            clause_error(c, 7);
        if (!when && !is_then && !otherwise && !(top.flags & kSelectOtherwiseSeen))
            top.flags |= kSelectWhenExpected;
    }
}

void record_statement(Compiler& c, std::uint8_t type) {
    const Scanner& s = c.sc;
    StatementEntry e{};
    e.first_line = static_cast<std::uint16_t>(s.clause_line);
    e.last_line = static_cast<std::uint16_t>(s.last_line);
    e.first_column = static_cast<std::uint16_t>(s.clause_column);
    e.last_column = static_cast<std::uint16_t>(s.last_column);
    e.offset = here(c);
    e.type = type;
    c.program->statements.push_back(e);
}

}  // namespace

// ---- emission --------------------------------------------------------------------------------

void emit(Compiler& c, std::uint8_t op) {
    reserve_code(c, 1);
    c.code->push_back(op);
}

void emit_u16(Compiler& c, std::uint8_t op, std::uint16_t operand) {
    reserve_code(c, 3);
    c.code->push_back(op);
    c.code->push_back(static_cast<std::uint8_t>(operand & 0xFF));
    c.code->push_back(static_cast<std::uint8_t>(operand >> 8));
}

void emit_bytes(Compiler& c, const std::uint8_t* bytes, std::size_t n) {
    reserve_code(c, n);
    c.code->insert(c.code->end(), bytes, bytes + n);
}

void put24(RexxVector<std::uint8_t>& code, std::uint32_t at, std::uint32_t value) {
    code[at] = static_cast<std::uint8_t>(value & 0xFF);
    code[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    code[at + 2] = static_cast<std::uint8_t>((value >> 16) & 0xFF);
}

std::uint32_t get24(const RexxVector<std::uint8_t>& code, std::uint32_t at) {
    return code[at] | (static_cast<std::uint32_t>(code[at + 1]) << 8) |
           (static_cast<std::uint32_t>(code[at + 2]) << 16);
}

void emit_jump_to(Compiler& c, std::uint8_t op, std::uint32_t target) {
    std::uint8_t b[4] = {op, static_cast<std::uint8_t>(target & 0xFF),
                         static_cast<std::uint8_t>((target >> 8) & 0xFF),
                         static_cast<std::uint8_t>((target >> 16) & 0xFF)};
    emit_bytes(c, b, 4);
}

void emit_chained_jump(Compiler& c, std::uint8_t op, std::uint32_t& chain) {
    std::uint32_t operand = here(c) + 1;
    emit_jump_to(c, op, chain);
    chain = operand;
}

void resolve_chain(Compiler& c, std::uint32_t chain, std::uint32_t target) {
    while (chain != 0) {
        std::uint32_t next = get24(*c.code, chain);
        put24(*c.code, chain, target);
        chain = next;
    }
}

// ---- tokens ----------------------------------------------------------------------------------

bool is_special(const Compiler& c, std::uint32_t i, char ch) {
    return i < c.sc.token_count && tok(c, i).type == kTokSpecial && tok_text(c, i)[0] == ch;
}

bool is_word(const Compiler& c, std::uint32_t i, const char* word) {
    if (i >= c.end || tok(c, i).type != kTokSymbol) return false;
    std::size_t n = std::strlen(word);
    return tok(c, i).length == n && std::memcmp(tok_text(c, i), word, n) == 0;
}

std::uint16_t literal_of_token(Compiler& c, std::uint32_t i) {
    const Token& t = tok(c, i);
    const char* text = tok_text(c, i);
    if (t.type == kTokString) return intern_literal(c.sc, text + 1, t.length - 2u);
    return intern_literal(c.sc, text, t.length);
}

std::uint16_t symbol_of_token(Compiler& c, std::uint32_t i) {
    return intern_symbol(c.sc, tok_text(c, i), tok(c, i).length);
}

[[noreturn]] void clause_error(Compiler&, int n) {
    error(n);
}

// ---- the compile loop ------------------------------------------------------------------------

void compile_clauses(Compiler& c) {
    Scanner& s = c.sc;
    for (;;) {
        if (!c.interpret && halt_check(s.inst)) error(4);
        scan_clause(s);
        std::uint8_t type = s.clause_type ? s.clause_type : clause_type_of(s);
        if (s.token_count == 0 ||
            (s.tokens[0].type == kTokSpecial && s.clause[s.tokens[0].offset] == ';'))
            type = kClauseNull;
        if (type == kClauseNull) {
            if (s.end_of_source) break;
            continue;
        }
        c.end = type == kClauseLabel ? s.token_count : s.token_count - 1;
        if (c.record_statements) record_statement(c, type);
        check_structure(c, type);
        compile_instruction(c, type);
        if (s.end_of_source) break;
    }
    while (c.depth > 0 && c.stack[c.depth - 1].kind == kControlIf) {
        std::uint8_t f = c.stack[c.depth - 1].flags;
        if ((f & kIfComplete) || ((f & kIfThenDone) && !(f & kIfElseSeen)))
            close_if(c);
        else
            break;
    }
    if (c.depth > 0) clause_error(c, 14);
}

}  // namespace ketra
