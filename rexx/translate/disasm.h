// Listings of compiled programs: one instruction a line, then the literal, symbol, label and
// statement tables. Used by `ketra --disasm` and by tests that compare compiled code.
//
// The format is stable; tools and tests may rely on it:
//
//   ; program NAME
//   ; code 13 bytes, 2 literals, 3 symbols, 1 labels, 2 statements, 2 source lines
//   ; verification ok                      (or "; verification FAILED: the code must not run")
//   code:
//   START:                                 (a label defined at the next instruction)
//     000000  PUSHLIT    L0  ; 'hello'
//     000003  TRACERES
//     000004  SAY
//     000005  FUNCBIF    1, LENGTH
//     00000A  JUMPF      @000010  ; START
//     00000E  DB         0xFF              (a byte that is no opcode, or the bytes of an
//                                           instruction cut short by the end of the code)
//   literals:
//     L0  flags 0C  'hello'
//   symbols:
//     S0  simple    RC
//     S3  compound  A.I  tail L2
//   labels:
//     START  @000000
//   statements:
//     @000000  lines 1-1  columns 1-11  type 27
//
// Instruction lines: two blanks, the code offset in six hex digits, two blanks, the mnemonic
// padded to 10 characters, a blank, the operands separated by ", ", and optionally two blanks,
// "; " and a comment; trailing blanks are removed. Operands: L<n> literal index, S<n> symbol
// index, T<n> template literal, @XXXXXX code offset, a built-in by its name (#<n> for a code
// without a name), condition and trap kind by name (ERROR ... SYNTAX, CALL or SIGNAL), counts
// and error numbers in decimal. Comments show the literal (L, external routine names), the
// symbol name, the label at a target, or the template spelled like its source
// ("A 'x' B =(P) ., C": targets, patterns, "," between templates). Strings are quoted with '
// (doubled inside); a string with a byte outside 20-7E hexadecimal is shown as 'hex'X; strings
// over 60 characters are cut and followed by "...". Literal flags are the value flags in hex
// (1 integer form, 2 whole, 4 number, 8 classified). Sections with no entries are left out,
// except "code:". The statement end mark of a loaded table is not listed.
#pragma once

#include <string>

#include "rexx/translate/program.h"

namespace ketra {

// The listing of a program; `name` is shown in the first line.
std::string disassemble(const Program& program, const char* name);

// One instruction at `pc` as its listing line (without the leading blanks and offset), and
// the length it takes (1 for a byte that is no complete instruction).
std::string disassemble_instruction(const Program& program, std::size_t pc, std::size_t* length);

}  // namespace ketra
