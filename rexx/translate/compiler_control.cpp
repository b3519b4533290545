// The control structures on the compile-time control stack: IF with THEN and ELSE, SELECT with
// WHEN and OTHERWISE, DO groups and loops, END, ITERATE and LEAVE.
#include <cstring>

#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

ControlEntry* top(Compiler& c) {
    return c.depth > 0 ? &c.stack[c.depth - 1] : nullptr;
}

bool is_any_word(const Compiler& c, std::uint32_t i, const char* const* words) {
    for (const char* const* w = words; *w; ++w)
        if (is_word(c, i, *w)) return true;
    return false;
}

// The first symbol at parenthesis depth 0 in [from, end) that is one of the words; end if none.
std::uint32_t next_keyword(const Compiler& c, std::uint32_t from, std::uint32_t end,
                           const char* const* words) {
    int parens = 0;
    for (std::uint32_t i = from; i < end; ++i) {
        if (is_special(c, i, '('))
            ++parens;
        else if (is_special(c, i, ')'))
            --parens;
        else if (parens == 0 && is_any_word(c, i, words))
            return i;
    }
    return end;
}

constexpr const char* kPhraseWords[] = {"TO", "BY", "FOR", "WHILE", "UNTIL", nullptr};
constexpr const char* kConditionWords[] = {"WHILE", "UNTIL", nullptr};

// The name after END, ITERATE or LEAVE: none (returns false), or a symbol after a blank that
// is the only word.
bool clause_name(Compiler& c, std::uint32_t& name) {
    if (c.end <= 1) return false;
    std::uint32_t i = 1;
    if (tok(c, i).type != kTokBlank) clause_error(c, 20);
    ++i;
    if (at_end(c, i) || tok(c, i).type != kTokSymbol) clause_error(c, 20);
    if (i + 1 != c.end) clause_error(c, 21);
    name = i;
    return true;
}

bool names_variable(const Compiler& c, const ControlEntry& e, std::uint32_t name) {
    if (!(e.flags & kDoHasVariable)) return false;
    const Value& v = c.program->symbols[e.w3].name;
    return v.length == tok(c, name).length &&
           std::memcmp(chars_of(v), tok_text(c, name), v.length) == 0;
}

void compile_phrase(Compiler& c, std::uint32_t from, std::uint32_t to) {
    if (empty_range(c, from, to)) clause_error(c, 27);
    compile_expression(c, from, static_cast<int>(to - from), kOpTraceResult);
}

}  // namespace

ControlEntry& push_control(Compiler& c, std::uint8_t kind, std::uint8_t flags) {
    if (c.depth >= kControlStackSize) clause_error(c, 11);
    ControlEntry& e = c.stack[c.depth++];
    e = ControlEntry{kind, flags, 0, 0, 0};
    return e;
}

void close_if(Compiler& c) {
    ControlEntry e = c.stack[--c.depth];
    resolve_chain(c, e.w1, here(c));
    resolve_chain(c, e.w2, here(c));
}

// ---- IF --------------------------------------------------------------------------------------

void compile_if(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) clause_error(c, 34);
    compile_expression(c, i, static_cast<int>(c.end - i), kOpTraceResult);
    ControlEntry& e = push_control(c, kControlIf, kIfThenExpected);
    emit_chained_jump(c, kOpJumpFalse, e.w1);
}

void compile_then(Compiler& c) {
    ControlEntry* t = top(c);
    if (!t || t->kind == kControlDo || !(t->flags & kIfThenExpected)) clause_error(c, 8);
    t->flags = static_cast<std::uint8_t>((t->flags & ~kIfThenExpected) | kIfThenSeen);
}

void compile_else(Compiler& c) {
    ControlEntry* t = top(c);
    if (!t || t->kind != kControlIf || (t->flags & kIfElseSeen)) clause_error(c, 8);
    emit_chained_jump(c, kOpJump, t->w2);
    resolve_chain(c, t->w1, here(c));
    t->w1 = 0;
    t->flags = static_cast<std::uint8_t>((t->flags | kIfElseSeen) & ~kIfThenDone);
}

// ---- SELECT ----------------------------------------------------------------------------------

void compile_select(Compiler& c) {
    if (c.end != 1) clause_error(c, 21);
    push_control(c, kControlSelect, kSelectWhenExpected);
}

void compile_when(Compiler& c) {
    ControlEntry* t = top(c);
    if (!t || t->kind != kControlSelect || !(t->flags & kSelectWhenExpected)) clause_error(c, 9);
    if (t->w3 > 0) {
        emit_chained_jump(c, kOpJump, t->w2);
        resolve_chain(c, t->w1, here(c));
        t->w1 = 0;
    }
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) clause_error(c, 34);
    compile_expression(c, i, static_cast<int>(c.end - i), kOpTraceResult);
    emit_chained_jump(c, kOpJumpFalse, t->w1);
    ++t->w3;
    t->flags = static_cast<std::uint8_t>((t->flags & ~(kSelectWhenExpected | kSelectThenSeen)) |
                                         kSelectThenExpected);
}

void compile_otherwise(Compiler& c) {
    ControlEntry* t = top(c);
    if (!t || t->kind != kControlSelect || !(t->flags & kSelectWhenExpected)) clause_error(c, 9);
    if (t->w3 == 0) clause_error(c, 7);
    emit_chained_jump(c, kOpJump, t->w2);
    resolve_chain(c, t->w1, here(c));
    t->w1 = 0;
    t->flags = static_cast<std::uint8_t>((t->flags & ~kSelectWhenExpected) | kSelectOtherwiseSeen);
}

// ---- DO and END ------------------------------------------------------------------------------

void compile_do(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) {
        push_control(c, kControlDo, 0);
        return;
    }
    ControlEntry& e = push_control(c, kControlDo, kDoRepetitive);
    emit(c, kOpLoopOpen);
    std::uint32_t end = c.end;
    std::uint32_t cond = i;
    const Token& first = tok(c, i);
    bool assignment = (first.type == kTokSymbol || first.type == kTokConstant) && i + 1 < end &&
                      tok(c, i + 1).type == kTokOperator && tok_text(c, i + 1)[0] == '=';
    if (is_word(c, i, "WHILE") || is_word(c, i, "UNTIL")) {
        cond = i;
    } else if (assignment) {
        if (first.type == kTokConstant) clause_error(c, 31);
        if (tok(c, i + 1).length != 1) clause_error(c, 35);
        std::uint16_t var = symbol_of_token(c, i);
        emit_u16(c, kOpLoopVar, var);
        e.flags |= kDoHasVariable;
        e.w3 = var;
        std::uint32_t j = i + 2;
        std::uint32_t k = next_keyword(c, j, end, kPhraseWords);
        compile_phrase(c, j, k);
        bool seen[3] = {false, false, false};
        while (k < end && !is_any_word(c, k, kConditionWords)) {
            int which = is_word(c, k, "TO") ? 0 : is_word(c, k, "BY") ? 1 : 2;
            if (seen[which]) clause_error(c, 27);
            seen[which] = true;
            j = k + 1;
            k = next_keyword(c, j, end, kPhraseWords);
            compile_phrase(c, j, k);
            emit(c, which == 0 ? kOpLoopTo : which == 1 ? kOpLoopBy : kOpLoopFor);
        }
        emit(c, kOpLoopInit);
        cond = k;
    } else if (is_word(c, i, "FOREVER") &&
               (at_end(c, skip_blank(c, i + 1)) ||
                is_any_word(c, skip_blank(c, i + 1), kConditionWords))) {
        emit(c, kOpPushNull);
        emit(c, kOpLoopFor);
        cond = skip_blank(c, i + 1);
    } else {
        std::uint32_t k = next_keyword(c, i, end, kConditionWords);
        compile_phrase(c, i, k);
        emit(c, kOpLoopFor);
        cond = k;
    }
    std::uint32_t to_test = 0;
    emit_chained_jump(c, kOpJump, to_test);
    e.w1 = here(c);
    bool until = false, with_while = false;
    std::uint32_t cond_expr = end;
    if (cond < end) {
        until = is_word(c, cond, "UNTIL");
        with_while = is_word(c, cond, "WHILE");
        if (!until && !with_while) clause_error(c, 27);
        cond_expr = cond + 1;
        if (empty_range(c, cond_expr, end)) clause_error(c, 27);
        if (next_keyword(c, cond_expr, end, kPhraseWords) != end) clause_error(c, 27);
    }
    if (until) {
        compile_expression(c, cond_expr, static_cast<int>(end - cond_expr), kOpTraceResult);
        emit_chained_jump(c, kOpJumpTrue, e.w2);
    }
    emit(c, kOpLoopStep);
    resolve_chain(c, to_test, here(c));
    emit_chained_jump(c, kOpLoopTest, e.w2);
    if (with_while) {
        compile_expression(c, cond_expr, static_cast<int>(end - cond_expr), kOpTraceResult);
        emit_chained_jump(c, kOpJumpFalse, e.w2);
    }
    emit(c, kOpLoopBody);
}

void compile_end(Compiler& c) {
    ControlEntry* t = top(c);
    if (!t || (t->kind != kControlDo && t->kind != kControlSelect)) clause_error(c, 10);
    std::uint32_t name = 0;
    bool named = clause_name(c, name);
    if (t->kind == kControlSelect) {
        if (named) clause_error(c, 21);
        if (t->w3 == 0) clause_error(c, 7);
        if (!(t->flags & kSelectOtherwiseSeen)) {
            // The last WHEN's instruction goes on to the END; falling through every WHEN
            // raises error 7 at run time.
            emit_chained_jump(c, kOpJump, t->w2);
            resolve_chain(c, t->w1, here(c));
            t->w1 = 0;
            emit_u16(c, kOpRaise, 7);
        }
        resolve_chain(c, t->w2, here(c));
        --c.depth;
        return;
    }
    if (named && !names_variable(c, *t, name)) clause_error(c, 10);
    if (t->flags & kDoRepetitive) {
        emit_jump_to(c, kOpJump, t->w1);
        resolve_chain(c, t->w2, here(c));
        emit(c, kOpLoopClose);
    }
    --c.depth;
}

void compile_leave_iterate(Compiler& c, bool leave) {
    std::uint32_t name = 0;
    bool named = clause_name(c, name);
    int target = -1;
    for (int d = c.depth - 1; d >= 0; --d) {
        const ControlEntry& e = c.stack[d];
        if (e.kind != kControlDo || !(e.flags & kDoRepetitive)) continue;
        if (!named || names_variable(c, e, name)) {
            target = d;
            break;
        }
    }
    if (target < 0) clause_error(c, 28);
    for (int d = c.depth - 1; d > target; --d)
        if (c.stack[d].kind == kControlDo && (c.stack[d].flags & kDoRepetitive))
            emit(c, kOpLoopClose);
    ControlEntry& e = c.stack[target];
    if (leave)
        emit_chained_jump(c, kOpJump, e.w2);
    else
        emit_jump_to(c, kOpJump, e.w1);
}

}  // namespace ketra
