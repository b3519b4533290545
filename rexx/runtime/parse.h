// Running PARSE templates (parse.cpp): the groups of a template literal matched against a
// string with the three positions (cursor, pattern position, piece end), word splitting among
// the targets, PARSE UPPER, and PARSE ARG with several comma-separated templates.
//
// Template literal (made by the clause compiler): 16-bit little-endian words, a list of groups
//   kind, value, count, count x target
// kind: 1 literal string pattern (value: literal index), 2 variable string pattern (symbol
// index), 3 absolute position (literal index of the number), 4 forward, 5 backward, 6 absolute
// from a variable (symbol index), 7 forward from a variable, 8 backward from a variable,
// 9 end of one comma-separated template (value 0), 10 absolute, 11 forward and 12 backward
// position whose value is the number itself (positions written as digits). A target is a symbol
// index, or 65535 for the placeholder ".". The targets of a group are the variables written before
// its pattern.
//
// The interpreter calls parse_string and parse_args (declared in interp_ports.h with the other
// ports); both work on the current run's program (g_lib.current->program: literal table for
// the template and the pattern literals, symbol table for the targets) and assign through the
// variable pool of the activation. parse_template and parse_arguments below take the template
// as a value, for callers that hold the literal themselves.
//
// Every template is checked as it is prepared for running (once for the program's own ones):
// a fault found there (the literal cut short, an unknown kind, a literal or symbol index the
// program lacks) raises 38 when the run reaches it, after the pieces before it are stored.
//
// Errors raised: 26 for a position that is not a whole number of at least 0, 38 for a template
// literal that is cut short or holds an unknown kind (an unknown kind is found by every entry), 30
// through a compound target whose derived name is too long. A variable pattern without a value
// raises NOVALUE when it is trapped (through the interpreter) and is otherwise matched as its name.
#pragma once

#include <cstddef>
#include <string_view>

#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/value.h"

namespace ketra {

struct Activation;

// Pattern kinds and the placeholder target of a template literal.
enum TemplateKind : std::uint16_t {
    kPatternString = 1,
    kPatternStringVar = 2,
    kPatternAbsolute = 3,
    kPatternForward = 4,
    kPatternBackward = 5,
    kPatternAbsoluteVar = 6,
    kPatternForwardVar = 7,
    kPatternBackwardVar = 8,
    kPatternEnd = 9,
    kPatternAbsoluteNumber = 10,
    kPatternForwardNumber = 11,
    kPatternBackwardNumber = 12,
};
inline constexpr std::uint16_t kPlaceholderTarget = 65535;
// Positions are limited to this value.
inline constexpr std::size_t kParsePositionLimit = 500000000;

// Parses `source` with the template literal: the first comma-separated template parses the
// source, any further ones parse empty strings. With upper, the string patterns match against
// the source folded to upper case and the assigned pieces are folded. The source may borrow
// the characters of a variable that a target replaces: they are kept alive until the parse
// ends (or copied before a compound or stem target is stored).
void parse_template(Activation* a, const Value& tmpl, const Value& source, bool upper);

// PARSE ARG: template k (1-based) parses args[k-1]; an absent argument, or a template beyond
// argc, parses the empty string.
void parse_arguments(Activation* a, const Value* args, int argc, const Value& tmpl, bool upper);

// Interpreter ports (defined in parse.cpp): the template is literal `tmpl` of the current
// program; parse_args parses the arguments of activation a.
//   void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper);
//   void parse_args(Activation* a, std::uint16_t tmpl, bool upper);

}  // namespace ketra
