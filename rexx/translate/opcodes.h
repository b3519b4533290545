// The instruction set of the byte code: opcode numbers, their mnemonics, fixed lengths, operand
// kinds and the opcodes that mark the start of a clause for tracing. The clause compiler emits
// by these numbers, the interpreter dispatches on them, and the image loader and the
// disassembler walk code with the lengths.
//
// An instruction is one opcode byte and 0 to 5 operand bytes, all little-endian. Code offsets are
// 24 bits from the start of the code; literal, symbol, template and error numbers are 16 bits.
// The table is constexpr so that the interpreter's length lookups compile to a load.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ketra {

enum Opcode : std::uint8_t {
    kOpPushLiteral = 1,  // u16 literal
    kOpPushVar = 2,      // u16 symbol
    kOpPushNull = 3,
    kOpLoopOpen = 4,
    kOpLoopClose = 5,
    kOpLoopVar = 6,  // u16 symbol
    kOpLoopTo = 7,
    kOpLoopBy = 8,
    kOpLoopFor = 9,
    kOpAssign = 10,  // u16 symbol
    kOpLoopInit = 11,
    kOpLoopStep = 12,
    kOpLoopTest = 13,      // u24 exit
    kOpCallInternal = 14,  // u8 argc, u24 target
    kOpFuncInternal = 15,  // u8 argc, u24 target
    kOpCallExternal = 16,  // u8 argc, u24 literal
    kOpFuncExternal = 17,  // u8 argc, u24 literal
    kOpCallBuiltin = 18,   // u8 argc, u24 built-in code
    kOpFuncBuiltin = 19,   // u8 argc, u24 built-in code
    kOpReturn = 20,
    kOpReturnValue = 21,
    kOpExit = 22,
    kOpExitValue = 23,
    kOpEnd = 24,
    kOpJump = 25,       // u24 target
    kOpJumpFalse = 26,  // u24 target
    kOpJumpTrue = 27,   // u24 target
    kOpAddressSwap = 28,
    kOpAddressSet = 29,
    kOpAddressCommand = 30,
    kOpCommand = 31,
    kOpParse = 32,          // u16 template
    kOpParseUpper = 33,     // u16 template
    kOpParseArg = 34,       // u16 template
    kOpParseUpperArg = 35,  // u16 template
    kOpPushNumeric = 36,
    kOpPushSource = 37,
    kOpPushVersion = 38,
    kOpPushLineIn = 39,
    kOpUpper = 40,     // u16 symbol
    kOpDrop = 41,      // u16 symbol
    kOpDropList = 42,  // u16 symbol
    kOpInterpret = 43,
    kOpInterpretEnd = 44,
    kOpNop = 45,
    kOpDigits = 46,
    kOpForm = 47,
    kOpFuzz = 48,
    kOpOptions = 49,
    kOpProcedure = 50,
    kOpExpose = 51,      // u16 symbol
    kOpExposeList = 52,  // u16 symbol
    kOpPush = 53,
    kOpQueue = 54,
    kOpPull = 55,
    kOpSay = 56,
    kOpSignal = 57,  // u24 target
    kOpSignalValue = 58,
    kOpTrapName = 59,  // u8 condition, u8 kind, u24 target
    kOpTrap = 60,      // u8 condition, u8 kind
    kOpTrapOff = 61,   // u8 condition, u8 kind
    kOpTrace = 62,
    kOpRaise = 63,  // u16 error
    kOpAdd = 64,
    kOpSubtract = 65,
    kOpMultiply = 66,
    kOpDivide = 67,
    kOpIntDivide = 68,
    kOpRemainder = 69,
    kOpPower = 70,
    kOpPlus = 71,
    kOpMinus = 72,
    kOpAbs = 73,
    kOpNot = 74,
    kOpAnd = 75,
    kOpOr = 76,
    kOpXor = 77,
    kOpConcat = 78,
    kOpBlankConcat = 79,
    kOpEqual = 80,
    kOpStrictEqual = 81,
    kOpNotEqual = 82,
    kOpStrictNotEqual = 83,
    kOpGreater = 84,
    kOpNotGreater = 85,
    kOpStrictGreater = 86,
    kOpStrictNotGreater = 87,
    kOpLess = 88,
    kOpNotLess = 89,
    kOpStrictLess = 90,
    kOpStrictNotLess = 91,
    kOpLabel = 92,
    kOpTraceResult = 93,
    kOpLoopBody = 94,
    kOpTraceClause = 95,
    kOpNoAction = 96,
};

inline constexpr int kOpcodeFirst = 1;
inline constexpr int kOpcodeLast = 96;

// What an operand field holds.
enum OperandKind : std::uint8_t {
    kOperandNone = 0,
    kOperandLiteral16,   // u16 literal index
    kOperandSymbol16,    // u16 symbol index
    kOperandTemplate16,  // u16 template index
    kOperandError16,     // u16 REXX error number
    kOperandArgc8,       // u8 argument count
    kOperandCondition8,  // u8 condition number (1 ERROR ... 6 SYNTAX)
    kOperandTrapKind8,   // u8 1 CALL, 2 SIGNAL
    kOperandTarget24,    // u24 code offset
    kOperandLiteral24,   // u24 literal index (external routine name)
    kOperandBuiltin24,   // u24 built-in function code
};

// Width in bytes of an operand of that kind.
constexpr std::size_t operand_width(OperandKind k) {
    switch (k) {
        case kOperandNone:
            return 0;
        case kOperandArgc8:
        case kOperandCondition8:
        case kOperandTrapKind8:
            return 1;
        case kOperandLiteral16:
        case kOperandSymbol16:
        case kOperandTemplate16:
        case kOperandError16:
            return 2;
        case kOperandTarget24:
        case kOperandLiteral24:
        case kOperandBuiltin24:
            return 3;
    }
    return 0;
}

struct OpcodeInfo {
    const char* name;         // mnemonic, upper case; null for an undefined opcode
    std::uint8_t length;      // whole instruction, opcode byte included; 0 when undefined
    bool clause_start;        // reaching it starts a traced clause
    OperandKind operands[3];  // in the order they follow the opcode
};

namespace detail {
constexpr OperandKind N = kOperandNone;
constexpr OpcodeInfo op(const char* name, std::uint8_t len, bool clause = false, OperandKind a = N,
                        OperandKind b = N, OperandKind c = N) {
    return OpcodeInfo{name, len, clause, {a, b, c}};
}
inline constexpr OpcodeInfo kOpcodeTable[kOpcodeLast + 1] = {
    op(nullptr, 0),
    op("PUSHLIT", 3, false, kOperandLiteral16),
    op("PUSHVAR", 3, false, kOperandSymbol16),
    op("PUSHNULL", 1),
    op("LOOPOPEN", 1),
    op("LOOPCLOSE", 1),
    op("LOOPVAR", 3, false, kOperandSymbol16),
    op("LOOPTO", 1),
    op("LOOPBY", 1),
    op("LOOPFOR", 1),
    op("ASSIGN", 3, true, kOperandSymbol16),
    op("LOOPINIT", 1),
    op("LOOPSTEP", 1),
    op("LOOPTEST", 4, false, kOperandTarget24),
    op("CALLINT", 5, true, kOperandArgc8, kOperandTarget24),
    op("FUNCINT", 5, false, kOperandArgc8, kOperandTarget24),
    op("CALLEXT", 5, true, kOperandArgc8, kOperandLiteral24),
    op("FUNCEXT", 5, false, kOperandArgc8, kOperandLiteral24),
    op("CALLBIF", 5, true, kOperandArgc8, kOperandBuiltin24),
    op("FUNCBIF", 5, false, kOperandArgc8, kOperandBuiltin24),
    op("RETURN", 1),
    op("RETURNV", 1, true),
    op("EXIT", 1),
    op("EXITV", 1, true),
    op("END", 1),
    op("JUMP", 4, false, kOperandTarget24),
    op("JUMPF", 4, false, kOperandTarget24),
    op("JUMPT", 4, false, kOperandTarget24),
    op("ADDRSWAP", 1),
    op("ADDRSET", 1, true),
    op("ADDRCMD", 1, true),
    op("COMMAND", 1, true),
    op("PARSE", 3, true, kOperandTemplate16),
    op("PARSEUP", 3, true, kOperandTemplate16),
    op("PARSEARG", 3, false, kOperandTemplate16),
    op("PARSEUPARG", 3, false, kOperandTemplate16),
    op("PNUMERIC", 1),
    op("PSOURCE", 1),
    op("PVERSION", 1),
    op("LINEIN", 1),
    op("UPPER", 3, false, kOperandSymbol16),
    op("DROP", 3, false, kOperandSymbol16),
    op("DROPLIST", 3, false, kOperandSymbol16),
    op("INTERPRET", 1),
    op("INTEREND", 1, true),
    op("NOP", 1),
    op("DIGITS", 1, true),
    op("FORM", 1, true),
    op("FUZZ", 1, true),
    op("OPTIONS", 1, true),
    op("PROCEDURE", 1),
    op("EXPOSE", 3, false, kOperandSymbol16),
    op("EXPOSELIST", 3, false, kOperandSymbol16),
    op("PUSH", 1, true),
    op("QUEUE", 1, true),
    op("PULL", 1, true),
    op("SAY", 1, true),
    op("SIGNAL", 4, false, kOperandTarget24),
    op("SIGNALVAL", 1, true),
    op("TRAPNAME", 6, false, kOperandCondition8, kOperandTrapKind8, kOperandTarget24),
    op("TRAP", 3, false, kOperandCondition8, kOperandTrapKind8),
    op("TRAPOFF", 3, false, kOperandCondition8, kOperandTrapKind8),
    op("TRACE", 1, true),
    op("RAISE", 3, false, kOperandError16),
    op("ADD", 1),
    op("SUB", 1),
    op("MUL", 1),
    op("DIV", 1),
    op("IDIV", 1),
    op("REM", 1),
    op("POW", 1),
    op("PLUS", 1),
    op("NEG", 1),
    op("ABS", 1),
    op("NOT", 1),
    op("AND", 1),
    op("OR", 1),
    op("XOR", 1),
    op("CONCAT", 1),
    op("BLANKCAT", 1),
    op("EQ", 1),
    op("SEQ", 1),
    op("NE", 1),
    op("SNE", 1),
    op("GT", 1),
    op("NGT", 1),
    op("SGT", 1),
    op("SNGT", 1),
    op("LT", 1),
    op("NLT", 1),
    op("SLT", 1),
    op("SNLT", 1),
    op("LABEL", 1),
    op("TRACERES", 1),
    op("LOOPBODY", 1, true),
    op("TRACECLS", 1, true),
    op("NOACTION", 1),
};
}  // namespace detail

// The table row of an opcode byte; null for bytes that are not opcodes.
constexpr const OpcodeInfo* opcode_info(std::uint8_t op) {
    return op >= kOpcodeFirst && op <= kOpcodeLast ? &detail::kOpcodeTable[op] : nullptr;
}
// Instruction length, 0 for a byte that is not an opcode.
constexpr std::uint8_t opcode_length(std::uint8_t op) {
    return op >= kOpcodeFirst && op <= kOpcodeLast ? detail::kOpcodeTable[op].length : 0;
}
constexpr bool is_clause_start(std::uint8_t op) {
    return op >= kOpcodeFirst && op <= kOpcodeLast && detail::kOpcodeTable[op].clause_start;
}
constexpr bool is_arithmetic_operator(std::uint8_t op) {
    return op >= kOpAdd && op <= kOpAbs;
}
constexpr bool is_operator(std::uint8_t op) {
    return op >= kOpAdd && op <= kOpStrictNotLess;
}
// Instructions whose u24 operand is a code offset.
constexpr bool has_target(std::uint8_t op) {
    const OpcodeInfo* i = opcode_info(op);
    if (!i) return false;
    for (OperandKind k : i->operands)
        if (k == kOperandTarget24) return true;
    return false;
}

// The opcode of a mnemonic (case sensitive, upper case), 0 when there is none.
std::uint8_t opcode_by_name(const char* name);

// Operand readers for code already known to hold the whole instruction.
inline std::uint32_t read_u16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t read_u24(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16;
}
inline void write_u16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void write_u24(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
}

}  // namespace ketra
