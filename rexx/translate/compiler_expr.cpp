// Expressions by operator precedence: operands, prefix and dyadic operators, parentheses,
// abuttal and blank concatenation, function calls with their arguments, and the target and
// argument list of a CALL instruction.
#include <cstring>

#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

constexpr std::uint8_t kPrefixStacked = 4;
constexpr std::uint8_t kPrefixIncoming = 3;
constexpr std::uint8_t kParenStacked = 127;
constexpr std::uint8_t kMaxArguments = 250;

struct Dyadic {
    std::uint8_t op;
    std::uint8_t stacked;
    std::uint8_t incoming;
};

// The dyadic operator written as text; op 0 when the text is none.
Dyadic dyadic_of(const char* t, std::size_t n) {
    struct Row {
        const char* text;
        Dyadic d;
    };
    static constexpr Row kRows[] = {
        {"+", {64, 9, 10}},     {"-", {65, 9, 10}},    {"*", {66, 7, 8}},
        {"/", {67, 7, 8}},      {"%", {68, 7, 8}},     {"//", {69, 7, 8}},
        {"**", {70, 5, 6}},     {"||", {78, 11, 12}},  {"=", {80, 13, 14}},
        {"==", {81, 13, 14}},   {"\\=", {82, 13, 14}}, {"/=", {82, 13, 14}},
        {"<>", {82, 13, 14}},   {"><", {82, 13, 14}},  {"\\==", {83, 13, 14}},
        {"/==", {83, 13, 14}},  {">", {84, 13, 14}},   {"\\>", {85, 13, 14}},
        {"<=", {85, 13, 14}},   {"<", {88, 13, 14}},   {"\\<", {89, 13, 14}},
        {">=", {89, 13, 14}},   {">>", {86, 13, 14}},  {"<<", {90, 13, 14}},
        {"\\>>", {87, 13, 14}}, {"<<=", {87, 13, 14}}, {"\\<<", {91, 13, 14}},
        {">>=", {91, 13, 14}},  {"&", {75, 15, 16}},   {"|", {76, 17, 18}},
        {"&&", {77, 17, 18}},
    };
    for (const Row& r : kRows)
        if (std::strlen(r.text) == n && std::memcmp(r.text, t, n) == 0) return r.d;
    return {0, 0, 0};
}

constexpr Dyadic kConcat{kOpConcat, 11, 12};
constexpr Dyadic kBlankConcat{kOpBlankConcat, 11, 12};

// Emits the stacked operators above base whose stacked priority is below `incoming`.
void reduce(Compiler& c, std::size_t base, std::uint8_t incoming) {
    while (c.ops.size() > base && c.ops.back().stacked < incoming) {
        emit(c, c.ops.back().op);
        c.ops.pop_back();
    }
}

void push_operator(Compiler& c, std::size_t base, const Dyadic& d) {
    reduce(c, base, d.incoming);
    c.ops.push_back({d.op, d.stacked});
}

bool starts_operand(const Compiler& c, std::uint32_t i, std::uint32_t end) {
    if (i >= end) return false;
    std::uint8_t t = tok(c, i).type;
    return t == kTokSymbol || t == kTokConstant || t == kTokString ||
           (t == kTokSpecial && tok_text(c, i)[0] == '(');
}

std::uint32_t compile_function(Compiler& c, std::uint32_t i, std::uint32_t end);

// Compiles one expression from token i. At the top level (in_arguments false) it runs to
// `end`; as an argument it stops at a "," or ")" outside its own parentheses. Returns the
// index of the token it stopped at.
std::uint32_t compile_operand_run(Compiler& c, std::uint32_t i, std::uint32_t end,
                                  bool in_arguments) {
    std::size_t base = c.ops.size();
    bool want_operand = true;
    bool after_close = false;  // the last term ended with ")"
    int parens = 0;
    while (i < end) {
        const Token& t = tok(c, i);
        const char* text = tok_text(c, i);
        switch (t.type) {
            case kTokBlank:
                // Between two terms a blank is the blank-concatenation operator; anywhere else
                // it separates nothing.
                ++i;
                if (!want_operand && starts_operand(c, i, end)) {
                    push_operator(c, base, kBlankConcat);
                    want_operand = true;
                    after_close = false;
                }
                continue;
            case kTokSymbol:
            case kTokConstant:
            case kTokString: {
                if (!want_operand) push_operator(c, base, kConcat);
                if (t.type != kTokConstant && i + 1 < end && is_special(c, i + 1, '(')) {
                    i = compile_function(c, i, end);
                    after_close = true;
                } else {
                    if (t.type == kTokSymbol)
                        emit_u16(c, kOpPushVar, symbol_of_token(c, i));
                    else
                        emit_u16(c, kOpPushLiteral, literal_of_token(c, i));
                    ++i;
                    after_close = false;
                }
                want_operand = false;
                continue;
            }
            case kTokSpecial:
                if (text[0] == '(') {
                    if (!want_operand) {
                        if (!after_close) clause_error(c, 35);
                        push_operator(c, base, kConcat);
                    }
                    c.ops.push_back({0, kParenStacked});
                    ++parens;
                    want_operand = true;
                    ++i;
                    continue;
                }
                if (text[0] == ')') {
                    if (parens == 0) {
                        if (in_arguments) break;
                        clause_error(c, 37);
                    }
                    if (want_operand) clause_error(c, 35);
                    reduce(c, base, kParenStacked);
                    c.ops.pop_back();
                    --parens;
                    want_operand = false;
                    after_close = true;
                    ++i;
                    continue;
                }
                if (text[0] == ',') {
                    if (parens == 0) {
                        if (in_arguments) break;
                        clause_error(c, 37);
                    }
                    // A comma inside parentheses that are no argument list: the values do not
                    // reduce to one.
                    clause_error(c, 35);
                }
                if (text[0] == ';') break;
                clause_error(c, 35);
            case kTokOperator: {
                if (want_operand) {
                    if (t.length == 1 && (text[0] == '+' || text[0] == '-' || text[0] == '\\')) {
                        std::uint8_t op = text[0] == '+' ? 71 : text[0] == '-' ? 72 : 74;
                        reduce(c, base, kPrefixIncoming);
                        c.ops.push_back({op, kPrefixStacked});
                        ++i;
                        continue;
                    }
                    clause_error(c, 35);
                }
                Dyadic d = dyadic_of(text, t.length);
                if (d.op == 0) clause_error(c, 35);
                push_operator(c, base, d);
                want_operand = true;
                after_close = false;
                ++i;
                continue;
            }
            default:
                clause_error(c, 35);
        }
        break;
    }
    if (want_operand) clause_error(c, 35);
    if (parens > 0) clause_error(c, 36);
    reduce(c, base, 255);
    return i;
}

// Compiles the arguments of a call from token i (the first after "(") up to its ")"; returns
// the argument count and leaves i after the ")".
std::uint8_t compile_arguments(Compiler& c, std::uint32_t& i, std::uint32_t end, bool call_form) {
    unsigned argc = 0;
    if (!call_form && is_special(c, i, ')')) {
        ++i;
        return 0;
    }
    if (call_form && i >= end) return 0;
    for (;;) {
        i = skip_blank(c, i);
        if (i >= end || is_special(c, i, ',') || is_special(c, i, ')')) {
            if (i >= end && !call_form) clause_error(c, 36);
            emit(c, kOpPushNull);
        } else {
            i = compile_operand_run(c, i, end, true);
        }
        if (++argc > kMaxArguments) clause_error(c, 40);
        if (i >= end) {
            if (!call_form) clause_error(c, 36);
            break;
        }
        if (is_special(c, i, ')')) {
            if (call_form) clause_error(c, 37);
            ++i;
            break;
        }
        ++i;  // the comma
        if (call_form && i >= end) {
            // A comma at the end of the list leaves one more argument omitted.
            emit(c, kOpPushNull);
            if (++argc > kMaxArguments) clause_error(c, 40);
            break;
        }
    }
    return static_cast<std::uint8_t>(argc);
}

// The name of a routine from its token: a symbol's text, or a string's contents.
void name_of_token(const Compiler& c, std::uint32_t i, const char*& name, std::size_t& length) {
    const Token& t = tok(c, i);
    name = tok_text(c, i);
    length = t.length;
    if (t.type == kTokString) {
        ++name;
        length -= 2;
    }
}

std::uint32_t compile_function(Compiler& c, std::uint32_t i, std::uint32_t end) {
    std::uint32_t name_token = i;
    i += 2;
    std::uint8_t argc = compile_arguments(c, i, end, false);
    const char* name;
    std::size_t length;
    name_of_token(c, name_token, name, length);
    emit_reference(c, kOpFuncInternal, argc, 0, name, length);
    return i;
}

}  // namespace

bool empty_range(const Compiler& c, std::uint32_t first, std::uint32_t last) {
    for (std::uint32_t i = first; i < last; ++i)
        if (tok(c, i).type != kTokBlank) return false;
    return true;
}

void compile_expression(Compiler& c, std::uint32_t first, int count, std::uint8_t final_op) {
    if (count < 0) {
        // CALL name [arguments]
        std::uint32_t i = skip_blank(c, first);
        if (at_end(c, i)) clause_error(c, 19);
        std::uint8_t type = tok(c, i).type;
        if (type != kTokSymbol && type != kTokConstant && type != kTokString) clause_error(c, 19);
        std::uint32_t name_token = i++;
        std::uint8_t argc = compile_arguments(c, i, c.end, true);
        const char* name;
        std::size_t length;
        name_of_token(c, name_token, name, length);
        emit_reference(c, kOpCallInternal, argc, 0, name, length);
        return;
    }
    std::uint32_t end = first + static_cast<std::uint32_t>(count);
    std::uint32_t i = skip_blank(c, first);
    std::uint32_t stop = compile_operand_run(c, i, end, false);
    if (stop < end && !is_special(c, stop, ';')) clause_error(c, 35);
    if (final_op) emit(c, final_op);
}

void compile_expression_or_null(Compiler& c, std::uint32_t first, std::uint32_t last) {
    if (empty_range(c, first, last)) {
        emit(c, kOpPushNull);
        return;
    }
    compile_expression(c, first, static_cast<int>(last - first), kOpTraceResult);
}

}  // namespace ketra
