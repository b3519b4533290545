// The keyword instructions other than the control structures, assignments, commands and
// labels, and the dispatch of a clause to its compile routine.
#include <cstring>

#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

// True when the token at i is the word and what follows it is a blank or the clause end
// (so that "VALUE(x)" stays a function call).
bool is_sub_keyword(const Compiler& c, std::uint32_t i, const char* word) {
    return is_word(c, i, word) && (at_end(c, i + 1) || tok(c, i + 1).type == kTokBlank);
}

bool is_name_token(const Compiler& c, std::uint32_t i) {
    std::uint8_t t = tok(c, i).type;
    return t == kTokSymbol || t == kTokString || t == kTokConstant;
}

void name_of(const Compiler& c, std::uint32_t i, const char*& name, std::size_t& length) {
    name = tok_text(c, i);
    length = tok(c, i).length;
    if (tok(c, i).type == kTokString) {
        ++name;
        length -= 2;
    }
}

void expression_to_end(Compiler& c, std::uint32_t i, std::uint8_t final_op) {
    compile_expression(c, i, static_cast<int>(c.end - i), final_op);
}

// "VALUE expression": the expression (error 33 when it is empty).
void value_expression(Compiler& c, std::uint32_t value_word) {
    std::uint32_t j = value_word + 1;
    if (empty_range(c, j, c.end)) clause_error(c, 33);
    expression_to_end(c, j, kOpTraceResult);
}

// A list of names and (names) for DROP and EXPOSE.
void compile_name_list(Compiler& c, std::uint32_t i, std::uint8_t op, std::uint8_t indirect_op) {
    int count = 0;
    for (;;) {
        i = skip_blank(c, i);
        if (at_end(c, i)) break;
        if (tok(c, i).type == kTokSymbol) {
            emit_u16(c, op, symbol_of_token(c, i));
            ++i;
        } else if (is_special(c, i, '(')) {
            i = skip_blank(c, i + 1);
            if (at_end(c, i) || tok(c, i).type != kTokSymbol) clause_error(c, 20);
            std::uint16_t sym = symbol_of_token(c, i);
            i = skip_blank(c, i + 1);
            if (at_end(c, i) || !is_special(c, i, ')')) clause_error(c, 46);
            ++i;
            emit_u16(c, indirect_op, sym);
        } else {
            clause_error(c, 20);
        }
        ++count;
    }
    if (count == 0) clause_error(c, 20);
}

// CALL or SIGNAL ON/OFF condition [NAME label]; i is the ON or OFF word.
void compile_trap(Compiler& c, std::uint32_t i, std::uint8_t kind) {
    static constexpr const char* kConditions[] = {"ERROR",    "FAILURE", "HALT",
                                                  "NOTREADY", "NOVALUE", "SYNTAX"};
    bool on = is_word(c, i, "ON");
    std::uint32_t j = i + 1;
    if (at_end(c, j) || tok(c, j).type != kTokBlank || at_end(c, j + 1) ||
        tok(c, j + 1).type != kTokSymbol)
        clause_error(c, 20);
    ++j;
    std::uint8_t condition = 0;
    for (std::uint8_t k = 0; k < 6; ++k)
        if (is_word(c, j, kConditions[k])) condition = static_cast<std::uint8_t>(k + 1);
    if (condition == 0) clause_error(c, 25);
    if (kind == kTrapCall && on && condition >= 5) clause_error(c, 25);
    std::uint32_t k = j + 1;
    if (at_end(c, k)) {
        std::uint8_t b[3] = {on ? kOpTrap : kOpTrapOff, condition, kind};
        emit_bytes(c, b, 3);
        return;
    }
    if (!on || tok(c, k).type != kTokBlank || !is_word(c, k + 1, "NAME")) clause_error(c, 21);
    k += 2;
    if (at_end(c, k) || tok(c, k).type != kTokBlank || at_end(c, k + 1) || !is_name_token(c, k + 1))
        clause_error(c, 20);
    ++k;
    if (!at_end(c, k + 1)) clause_error(c, 21);
    const char* name;
    std::size_t length;
    name_of(c, k, name, length);
    emit_reference(c, kOpTrapName, condition, kind, name, length);
}

void compile_address(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) {
        emit(c, kOpAddressSwap);
        return;
    }
    if (is_sub_keyword(c, i, "VALUE")) {
        value_expression(c, i);
        emit(c, kOpAddressSet);
        return;
    }
    std::uint8_t t = tok(c, i).type;
    if ((t == kTokSymbol || t == kTokString) && !is_special(c, i + 1, '(')) {
        if (at_end(c, i + 1)) {
            emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
            emit(c, kOpAddressSet);
            return;
        }
        if (tok(c, i + 1).type == kTokBlank) {
            emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
            expression_to_end(c, i + 2, kOpTraceResult);
            emit(c, kOpAddressCommand);
            return;
        }
    }
    expression_to_end(c, i, kOpTraceResult);
    emit(c, kOpAddressSet);
}

void compile_numeric(Compiler& c) {
    if (c.end < 3 || tok(c, 1).type != kTokBlank || tok(c, 2).type != kTokSymbol)
        clause_error(c, 20);
    if (is_word(c, 2, "DIGITS") || is_word(c, 2, "FUZZ")) {
        compile_expression_or_null(c, 3, c.end);
        emit(c, is_word(c, 2, "DIGITS") ? kOpDigits : kOpFuzz);
        return;
    }
    if (!is_word(c, 2, "FORM")) clause_error(c, 25);
    std::uint32_t i = skip_blank(c, 3);
    if (at_end(c, i)) {
        emit(c, kOpPushNull);
    } else if (is_sub_keyword(c, i, "VALUE")) {
        value_expression(c, i);
    } else if (tok(c, i).type == kTokSymbol && !is_special(c, i + 1, '(')) {
        if (!is_word(c, i, "SCIENTIFIC") && !is_word(c, i, "ENGINEERING")) clause_error(c, 25);
        if (!at_end(c, i + 1)) clause_error(c, 21);
        emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
    } else if (tok(c, i).type == kTokString && !is_special(c, i + 1, '(')) {
        if (!at_end(c, i + 1)) clause_error(c, 21);
        emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
    } else {
        expression_to_end(c, i, kOpTraceResult);
    }
    emit(c, kOpForm);
}

void compile_parse(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    bool upper = false;
    if (is_word(c, i, "UPPER")) {
        upper = true;
        i = skip_blank(c, i + 1);
    }
    if (at_end(c, i) || tok(c, i).type != kTokSymbol) clause_error(c, 20);
    std::uint8_t op = upper ? kOpParseUpper : kOpParse;
    std::uint32_t rest = skip_blank(c, i + 1);
    if (is_word(c, i, "ARG")) {
        op = upper ? kOpParseUpperArg : kOpParseArg;
    } else if (is_word(c, i, "EXTERNAL") || is_word(c, i, "LINEIN")) {
        emit(c, kOpPushLineIn);
    } else if (is_word(c, i, "NUMERIC")) {
        emit(c, kOpPushNumeric);
    } else if (is_word(c, i, "PULL")) {
        emit(c, kOpPull);
    } else if (is_word(c, i, "SOURCE")) {
        emit(c, kOpPushSource);
    } else if (is_word(c, i, "VERSION")) {
        emit(c, kOpPushVersion);
    } else if (is_word(c, i, "VALUE")) {
        std::uint32_t with = i + 1;
        int parens = 0;
        for (; with < c.end; ++with) {
            if (is_special(c, with, '('))
                ++parens;
            else if (is_special(c, with, ')'))
                --parens;
            else if (parens == 0 && is_word(c, with, "WITH"))
                break;
        }
        if (with >= c.end) clause_error(c, 38);
        if (empty_range(c, i + 1, with))
            emit(c, kOpPushNull);
        else
            compile_expression(c, i + 1, static_cast<int>(with - i - 1), kOpTraceResult);
        rest = with + 1;
    } else if (is_word(c, i, "VAR")) {
        std::uint32_t j = skip_blank(c, i + 1);
        if (at_end(c, j) || tok(c, j).type != kTokSymbol) clause_error(c, 20);
        emit_u16(c, kOpPushVar, symbol_of_token(c, j));
        rest = j + 1;
    } else {
        clause_error(c, 25);
    }
    emit_u16(c, op, compile_template(c, rest));
}

void compile_signal(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) clause_error(c, 19);
    if (is_word(c, i, "ON") || is_word(c, i, "OFF")) {
        compile_trap(c, i, kTrapSignal);
        return;
    }
    if (is_sub_keyword(c, i, "VALUE")) {
        value_expression(c, i);
        emit(c, kOpSignalValue);
        return;
    }
    if (is_name_token(c, i) && !(tok(c, i).type != kTokConstant && is_special(c, i + 1, '('))) {
        if (!at_end(c, i + 1)) clause_error(c, 21);
        const char* name;
        std::size_t length;
        name_of(c, i, name, length);
        emit_reference(c, kOpSignal, 0, 0, name, length);
        return;
    }
    expression_to_end(c, i, kOpTraceResult);
    emit(c, kOpSignalValue);
}

void compile_trace(Compiler& c) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) {
        emit(c, kOpPushNull);
    } else if (is_sub_keyword(c, i, "VALUE")) {
        value_expression(c, i);
    } else if (is_name_token(c, i) && !is_special(c, i + 1, '(')) {
        if (!at_end(c, i + 1)) clause_error(c, 21);
        if (tok(c, i).type == kTokSymbol)
            emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
        else
            compile_expression(c, i, 1, kOpTraceResult);
    } else {
        expression_to_end(c, i, kOpTraceResult);
    }
    emit(c, kOpTrace);
}

void compile_upper(Compiler& c) {
    int count = 0;
    for (std::uint32_t i = skip_blank(c, 1); !at_end(c, i); i = skip_blank(c, i + 1)) {
        if (tok(c, i).type != kTokSymbol) clause_error(c, 20);
        if (tok_text(c, i)[tok(c, i).length - 1] == '.') clause_error(c, 32);
        emit_u16(c, kOpUpper, symbol_of_token(c, i));
        ++count;
    }
    if (count == 0) clause_error(c, 20);
}

// EXIT, RETURN: the bare opcode, or the expression and the valued one.
void compile_optional_value(Compiler& c, std::uint8_t bare, std::uint8_t valued) {
    std::uint32_t i = skip_blank(c, 1);
    if (at_end(c, i)) {
        emit(c, bare);
        return;
    }
    expression_to_end(c, i, kOpTraceResult);
    emit(c, valued);
}

}  // namespace

void compile_instruction(Compiler& c, std::uint8_t type) {
    switch (type) {
        case kClauseAssignment: {
            if (tok(c, 0).type != kTokSymbol) clause_error(c, 31);
            std::uint16_t target = symbol_of_token(c, 0);
            compile_expression(c, 2, static_cast<int>(c.end - 2), kOpTraceResult);
            emit_u16(c, kOpAssign, target);
            break;
        }
        case kClauseCommand:
            expression_to_end(c, 0, kOpTraceResult);
            emit(c, kOpCommand);
            break;
        case kClauseLabel:
            if (c.interpret) break;
            define_label(c, tok_text(c, 0), tok(c, 0).length);
            if (c.trace_labels) emit(c, kOpLabel);
            break;
        case kClauseAddress:
            compile_address(c);
            break;
        case kClauseArg:
            emit_u16(c, kOpParseUpperArg, compile_template(c, skip_blank(c, 1)));
            break;
        case kClauseCall: {
            std::uint32_t i = skip_blank(c, 1);
            if (is_word(c, i, "ON") || is_word(c, i, "OFF"))
                compile_trap(c, i, kTrapCall);
            else
                compile_expression(c, i, -1, 0);
            break;
        }
        case kClauseDo:
            compile_do(c);
            break;
        case kClauseDrop:
            compile_name_list(c, 1, kOpDrop, kOpDropList);
            break;
        case kClauseElse:
            compile_else(c);
            break;
        case kClauseEnd:
            compile_end(c);
            break;
        case kClauseExit:
            compile_optional_value(c, kOpExit, kOpExitValue);
            break;
        case kClauseIf:
            compile_if(c);
            break;
        case kClauseInterpret:
            if (empty_range(c, 1, c.end)) clause_error(c, 33);
            expression_to_end(c, 1, kOpTraceResult);
            emit(c, kOpInterpret);
            break;
        case kClauseIterate:
            compile_leave_iterate(c, false);
            break;
        case kClauseLeave:
            compile_leave_iterate(c, true);
            break;
        case kClauseNop:
            if (c.end != 1) clause_error(c, 21);
            emit(c, kOpNop);
            break;
        case kClauseNumeric:
            compile_numeric(c);
            break;
        case kClauseOptions:
            if (empty_range(c, 1, c.end)) break;
            expression_to_end(c, 1, kOpTraceResult);
            emit(c, kOpOptions);
            break;
        case kClauseOtherwise:
            compile_otherwise(c);
            break;
        case kClauseParse:
            compile_parse(c);
            break;
        case kClauseProcedure: {
            emit(c, kOpProcedure);
            std::uint32_t i = skip_blank(c, 1);
            if (at_end(c, i)) break;
            if (!is_word(c, i, "EXPOSE")) clause_error(c, 25);
            compile_name_list(c, i + 1, kOpExpose, kOpExposeList);
            break;
        }
        case kClausePull: {
            std::uint16_t tmpl = compile_template(c, skip_blank(c, 1));
            emit(c, kOpPull);
            emit_u16(c, kOpParseUpper, tmpl);
            break;
        }
        case kClausePush:
        case kClauseQueue:
            compile_expression_or_null(c, 1, c.end);
            emit(c, type == kClausePush ? kOpPush : kOpQueue);
            break;
        case kClauseReturn:
            compile_optional_value(c, kOpReturn, kOpReturnValue);
            break;
        case kClauseSay:
            compile_expression_or_null(c, 1, c.end);
            emit(c, kOpSay);
            break;
        case kClauseSelect:
            compile_select(c);
            break;
        case kClauseSignal:
            compile_signal(c);
            break;
        case kClauseThen:
            compile_then(c);
            break;
        case kClauseTrace:
            compile_trace(c);
            break;
        case kClauseUpper:
            compile_upper(c);
            break;
        case kClauseWhen:
            compile_when(c);
            break;
        default:
            break;
    }
}

}  // namespace ketra
