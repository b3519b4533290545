// The built-in dispatcher: the descriptor table of the 148 function codes (handler, argument
// specification bytes, maximum argument count), the argument check that turns the arguments
// into BuiltinArg records once, and the result operations every handler uses.
//
// Interface for the interpreter (declared in rexx/runtime/interp_ports.h, defined in
// dispatch.cpp):
//
//     bool builtin_call(int code, Value* args, int argc, Value& result);
//
//   code    the function code from the byte code (1 to 148; anything else is internal error 5).
//   args    the argument block as it lies on the evaluation stack: `argc` value records, argument
//           1 at args[argc - 1] (deepest), argument argc at args[0] (the top). An argument left
//           empty in the call, as in f(a,,c), is a record with the absent flag. The block is
//           read in place and not popped; the caller pops it afterwards. A handler may take over
//           an owned buffer of an argument (it then leaves that argument as the empty string).
//   argc    0 to 255.
//   result  written on success: a new record that the caller owns (integer form, an inline
//           string of up to kInlineMax characters, or an owned or referenced buffer). It never
//           borrows from the argument block, so popping the arguments cannot invalidate it.
//           When the call raises an error (RexxUnwind), `result` is not touched and nothing
//           leaks.
//   returns true: every built-in returns a value.
//
// Cost: the check converts each argument once into its record; the text of an argument points
// at the value's own characters (an integer-form value is spelled into the record's scratch),
// so LENGTH, SUBSTR, WORD and the like on short strings allocate nothing, and results of up to
// kInlineMax characters stay inside the result record.
//
// The call state is a BuiltinCall on the C++ stack of each dispatch, passed to the handler by
// reference, so a built-in that runs other REXX code (the argument prompt, a host exit) cannot
// have its arguments overwritten by a nested dispatch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rexx/runtime/numeric.h"
#include "rexx/runtime/value.h"

namespace ketra {

// Argument specification bits.
enum BuiltinSpecBit : std::uint8_t {
    kBifOptional = 0x01,     // the argument may be omitted
    kBifString = 0x02,       // taken as a string
    kBifNumber = 0x04,       // must be a valid number; passed as the value itself
    kBifNonNegative = 0x08,  // whole number >= 0
    kBifNonZero = 0x10,      // whole number != 0 (with kBifNonNegative: > 0)
    kBifPad = 0x20,          // exactly one character
    kBifOption = 0x40,       // first character upper-cased; must be a letter
};

// Number of parsed argument records; functions with more arguments (MAX, MIN) read the block.
inline constexpr int kBuiltinArgRecords = 6;
// Whole-number arguments are clamped to this in BuiltinArg::count, so that sums of two counts
// cannot overflow a signed 32-bit integer and any result that long fails the string limit.
inline constexpr std::int32_t kCountClamp = 500000001;

struct BuiltinArg {
    const Value* value;  // the argument's record when present, else null
    const char* text;    // characters (string, pad and option kinds)
    std::uint32_t length;
    char pad;              // the single character of a pad argument; blank when omitted
    char option;           // upper-cased option letter; blank when omitted
    bool omitted;          // omitted in the call or not given
    char spare;            // keeps whole and count on an 8-byte boundary: one store clears both
    std::int32_t whole;    // the whole number as converted
    std::int32_t count;    // whole clamped to at most kCountClamp
    char number_text[12];  // scratch for the decimal form of an integer-form value

    std::string_view view() const { return {text, length}; }
};

// The state of one dispatch, handed to the handler.
struct BuiltinCall {
    int code;
    int argc;
    Value* block;  // the raw argument block (stack order, see above)
    BuiltinArg arg[kBuiltinArgRecords];
    Value result;  // starts as the integer 0

    // Argument i (1-based) of the raw block, or null when it was omitted or not given.
    Value* raw(int i) const {
        if (i < 1 || i > argc) return nullptr;
        Value* v = &block[argc - i];
        return is_absent(*v) ? nullptr : v;
    }
};

using BuiltinHandler = void (*)(BuiltinCall&);

struct BuiltinDescriptor {
    BuiltinHandler handler;
    const char* spec;       // one specification byte per argument position, or null
    std::uint8_t max_args;  // 250 for MAX and MIN (the handler checks them), else 0 to 6
};

inline constexpr int kBuiltinCodes = 148;

// Row `code` (1 to 148) of the descriptor table; null for any other code.
const BuiltinDescriptor* builtin_descriptor(int code);

// Validates and converts the arguments of `call` (code, argc and block set) into call.arg by the
// row's specification; error 40 on any rule broken.
void check_builtin_arguments(BuiltinCall& call, const BuiltinDescriptor& row);

// ---- result operations -----------------------------------------------------------------------

// Makes the result a string of n characters and returns where the handler writes them (inline
// up to kInlineMax). Over 500000000: "Memory full: implementation limit", error 5.
char* result_start(BuiltinCall& call, std::size_t n);
// The result from n bytes.
void result_bytes(BuiltinCall& call, const char* bytes, std::size_t n);
inline void result_bytes(BuiltinCall& call, std::string_view s) {
    result_bytes(call, s.data(), s.size());
}
// The result from a terminated string; null gives the empty string.
void result_cstring(BuiltinCall& call, const char* s);
// The result as a reference to characters that outlive the run (string constants): no copy.
void result_static(BuiltinCall& call, const char* s);
// A numeric result in integer form (outside the integer range: its decimal string).
void result_integer(BuiltinCall& call, std::int64_t n);
// Hands a record over as the result (the call takes ownership).
void result_value(BuiltinCall& call, Value v);
// Shortens a started string result to n characters (n <= its length).
void result_shorten(BuiltinCall& call, std::size_t n);

// Memory-full report "implementation limit" and error 5, for results whose size is known to be
// too large before anything is built (COPIES, OVERLAY).
[[noreturn]] void result_too_long();

// The NUMERIC settings in effect: the current activation's, or the defaults between runs.
const Numeric& current_numeric();

}  // namespace ketra
