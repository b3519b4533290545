// PARSE templates into template literals: groups of (pattern kind, operand, target count,
// targets) as 16-bit little-endian words, interned like any literal so that equal templates
// share one entry.
#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

enum PatternKind : std::uint16_t {
    kPatternString = 1,
    kPatternVariable = 2,
    kPatternAbsolute = 3,
    kPatternForward = 4,
    kPatternBackward = 5,
    kPatternAbsoluteVariable = 6,
    kPatternForwardVariable = 7,
    kPatternBackwardVariable = 8,
    kPatternEnd = 9,
    kPatternAbsoluteNumber = 10,
    kPatternForwardNumber = 11,
    kPatternBackwardNumber = 12,
};

constexpr std::uint16_t kPlaceholder = 65535;
// Every token adds at most one target word or one three-word group header.
constexpr std::size_t kMaxWords = 3 * (kMaxTokens + 1);

std::uint32_t skip_blanks(const Compiler& c, std::uint32_t i) {
    while (i < c.end && tok(c, i).type == kTokBlank) ++i;
    return i;
}

// "(" name ")" at i; returns the symbol index and leaves i after the ")".
std::uint16_t variable_pattern(Compiler& c, std::uint32_t& i) {
    i = skip_blanks(c, i + 1);
    if (at_end(c, i) || tok(c, i).type != kTokSymbol) clause_error(c, 38);
    std::uint16_t sym = symbol_of_token(c, i);
    i = skip_blanks(c, i + 1);
    if (!is_special(c, i, ')') || at_end(c, i)) clause_error(c, 38);
    ++i;
    return sym;
}

// A position written as at most five digits with a value below 65536 is kept in the template
// itself: the run then needs neither a literal nor a conversion.
bool position_number(const Compiler& c, std::uint32_t i, std::uint16_t& out) {
    const Token& t = tok(c, i);
    if (t.length == 0 || t.length > 5) return false;
    const char* p = tok_text(c, i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < t.length; ++k) {
        if (p[k] < '0' || p[k] > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(p[k] - '0');
    }
    if (v > 0xFFFF) return false;
    out = static_cast<std::uint16_t>(v);
    return true;
}

// The group kind and operand of a position token at i: a number kept in the template, else
// the literal.
std::uint16_t position_operand(Compiler& c, std::uint32_t i, std::uint16_t literal_kind,
                               std::uint16_t number_kind, std::uint16_t& value) {
    if (position_number(c, i, value)) return number_kind;
    value = literal_of_token(c, i);
    return literal_kind;
}

}  // namespace

std::uint16_t compile_template(Compiler& c, std::uint32_t first) {
    std::uint16_t words[kMaxWords];
    std::size_t n = 0;
    std::uint32_t i = first;
    for (;;) {
        std::size_t group = n;
        n += 3;
        std::uint16_t count = 0;
        for (;;) {
            i = skip_blanks(c, i);
            if (at_end(c, i)) break;
            const Token& t = tok(c, i);
            if (t.type == kTokSymbol) {
                words[n++] = symbol_of_token(c, i);
            } else if (t.type == kTokConstant && t.length == 1 && tok_text(c, i)[0] == '.') {
                words[n++] = kPlaceholder;
            } else {
                break;
            }
            ++count;
            ++i;
        }
        std::uint16_t kind;
        std::uint16_t value = 0;
        bool done = false;
        if (at_end(c, i)) {
            kind = kPatternEnd;
            done = true;
        } else {
            const Token& t = tok(c, i);
            const char* text = tok_text(c, i);
            if (t.type == kTokSpecial && text[0] == ',') {
                kind = kPatternEnd;
                ++i;
            } else if (t.type == kTokString) {
                kind = kPatternString;
                value = literal_of_token(c, i);
                ++i;
            } else if (t.type == kTokConstant) {
                kind = position_operand(c, i, kPatternAbsolute, kPatternAbsoluteNumber, value);
                ++i;
            } else if (t.type == kTokSpecial && text[0] == '(') {
                kind = kPatternVariable;
                value = variable_pattern(c, i);
            } else if (t.type == kTokOperator && t.length == 1 &&
                       (text[0] == '+' || text[0] == '-' || text[0] == '=')) {
                char sign = text[0];
                i = skip_blanks(c, i + 1);
                if (at_end(c, i)) clause_error(c, 38);
                if (tok(c, i).type == kTokConstant) {
                    kind = sign == '+'   ? position_operand(c, i, kPatternForward,
                                                            kPatternForwardNumber, value)
                           : sign == '-' ? position_operand(c, i, kPatternBackward,
                                                            kPatternBackwardNumber, value)
                                         : position_operand(c, i, kPatternAbsolute,
                                                            kPatternAbsoluteNumber, value);
                    ++i;
                } else if (is_special(c, i, '(')) {
                    kind = sign == '+'   ? kPatternForwardVariable
                           : sign == '-' ? kPatternBackwardVariable
                                         : kPatternAbsoluteVariable;
                    value = variable_pattern(c, i);
                } else {
                    clause_error(c, 38);
                }
            } else {
                clause_error(c, 38);
            }
        }
        words[group] = kind;
        words[group + 1] = value;
        words[group + 2] = count;
        if (done) break;
        if (n + 3 > kMaxWords) clause_error(c, 38);
    }
    char bytes[2 * kMaxWords];
    for (std::size_t k = 0; k < n; ++k) {
        bytes[2 * k] = static_cast<char>(words[k] & 0xFF);
        bytes[2 * k + 1] = static_cast<char>(words[k] >> 8);
    }
    return intern_literal(c.sc, bytes, 2 * n);
}

}  // namespace ketra
