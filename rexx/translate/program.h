// The compiled program in its working form: the byte code, the literal table, the symbol
// table, the label table and the statement table. The translator builds it, the image format
// packs it into a compiled image and unpacks it again, and the interpreter runs it.
//
// Indices into the literal and symbol tables are 16-bit in the byte code; code offsets are
// 24-bit. The tables are vectors over the library's allocator, so exhaustion is REXX error 5.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/value.h"

namespace ketra {

template <class T>
using RexxVector = std::vector<T, RexxAllocator<T>>;

// Variable kinds of symbol entries.
enum SymbolKind : std::uint8_t { kSymbolSimple = 1, kSymbolCompound = 2, kSymbolStem = 3 };

// Tail field of a compound symbol with more than 9 tail parts.
inline constexpr std::uint32_t kTailTooMany = 0xFFFFFFFF;

struct SymbolEntry {
    Value name;               // the name as written in upper case (owned)
    std::uint8_t kind;        // SymbolKind
    std::uint8_t generation;  // variable cache generation; 0 in an image
    std::uint32_t tail;       // compound: literal index of the tail descriptor, or kTailTooMany
    void* cache;              // the variable found for this symbol (run time only)
};

struct LabelEntry {
    std::uint32_t offset;     // code offset of the label
    std::uint8_t length;      // name length
    char name[251];           // upper case, NUL-terminated here (not in the image)
};

struct StatementEntry {
    std::uint16_t first_line;
    std::uint16_t last_line;
    std::uint16_t first_column;
    std::uint16_t last_column;
    std::uint32_t offset;     // code offset of the clause's first instruction
    std::uint8_t type;        // clause type
};

// Code offset of the end mark appended to a loaded statement table.
inline constexpr std::uint32_t kStatementEndMark = 0x7FFFFFFF;

// PARSE templates prepared for running, made and read by rexx/runtime/parse.cpp only.
struct ParsePlans;
struct ParsePlansDeleter {
    void operator()(ParsePlans* plans) const;
};

struct Program {
    RexxVector<std::uint8_t> code;
    RexxVector<Value> literals;       // owned values; each classified
    RexxVector<SymbolEntry> symbols;  // 0 RC, 1 RESULT, 2 SIGL
    RexxVector<LabelEntry> labels;    // in order of definition
    RexxVector<StatementEntry> statements;  // by code offset; may be empty
    std::uint32_t source_lines = 0;
    std::uint8_t flags = 0;           // program flags carried in the image header
    // Templates prepared the first time they run, by template literal (run time only).
    std::unique_ptr<ParsePlans, ParsePlansDeleter> parse_plans;
};

// Releases the values the tables own and empties them.
void clear_program(Program& program);

// A new, empty program owned by the pointer (ProgramPtr, rexx/host/session.h).
ProgramPtr make_program();

}  // namespace ketra
