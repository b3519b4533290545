// The interpreter's view of the subsystems it drives: the variable pool, PARSE, the built-in
// dispatcher and the translator's INTERPRET entry. Every call the interpreter makes into them
// goes through these functions, so that their interfaces meet the interpreter in one file
// (interp_ports.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/runtime/value.h"
#include "rexx/translate/program.h"

namespace ketra {

struct Activation;
struct ExecInstance;

// ---- variables ---------------------------------------------------------------------------

// Gives the program's activation its pools.
void vars_open_program(Activation* a);
// Releases the pools an activation owns (it ran PROCEDURE, or it is the program's).
void vars_close(Activation* a);
// The activation is about to be left; its caller takes over the pool references when it did
// not run PROCEDURE.
void vars_hand_back(Activation* callee, Activation* caller);

// A borrowed copy of the variable's value; false when it has none (out is then its name,
// the derived name for a compound symbol).
bool var_fetch(Activation* a, std::uint16_t sym, Value& out);
// Stores v (the pool takes it over; a borrowed record is made private first).
void var_store(Activation* a, std::uint16_t sym, Value v);
void var_drop(Activation* a, std::uint16_t sym);
void var_drop_list(Activation* a, std::uint16_t sym);
// PROCEDURE: new empty pools.
void var_procedure(Activation* a);
void var_expose(Activation* a, std::uint16_t sym);
void var_expose_list(Activation* a, std::uint16_t sym);
// The record a simple variable's value is kept in, for in-place appends; null when the
// symbol is not a simple variable or has no value.
Value* var_slot(Activation* a, std::uint16_t sym);

// ---- PARSE -------------------------------------------------------------------------------

void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper);
void parse_args(Activation* a, std::uint16_t tmpl, bool upper);

// ---- built-ins ---------------------------------------------------------------------------

// Calls built-in `code` with the argc arguments at args (stack order); true with result set
// when it returned a value.
bool builtin_call(int code, Value* args, int argc, Value& result);

// ---- INTERPRET ---------------------------------------------------------------------------

// Translates the string into code ending in the end-of-INTERPRET opcode; the program's tables
// grow with the literals and symbols the string needs. Translation errors are REXX errors.
void translate_interpret_string(ExecInstance* inst, const char* text, std::size_t length,
                                RexxVector<std::uint8_t>& code);

}  // namespace ketra
