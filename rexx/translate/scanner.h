// The source scanner: hands out the source one line at a time, cuts it into clauses of
// normalised tokens, and interns every literal and name of the program into the literal and
// symbol tables of the program under construction.
//
// Scanning and compiling alternate clause by clause; the scanner keeps its position in the
// Scanner record between calls. Its buffers are allocated once per translation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/translate/program.h"

namespace ketra {

struct ExecInstance;

enum TokenType : std::uint8_t {
    kTokOperator = 1,
    kTokConstant = 2,  // constant symbol: begins with a digit or "."
    kTokSymbol = 3,
    kTokString = 4,  // stored with its delimiting quotes
    kTokBlank = 5,
    kTokSpecial = 6,  // ( ) , : ;
};

// Clause types; the keyword instructions have the value of their keyword-table row.
enum ClauseType : std::uint8_t {
    kClauseNone = 0,
    kClauseAddress = 1,
    kClauseArg = 2,
    kClauseAssignment = 3,
    kClauseCall = 4,
    kClauseDo = 5,
    kClauseDrop = 6,
    kClauseElse = 7,
    kClauseEnd = 8,
    kClauseExit = 9,
    kClauseCommand = 10,
    kClauseIf = 11,
    kClauseInterpret = 12,
    kClauseIterate = 13,
    kClauseLabel = 14,
    kClauseLeave = 15,
    kClauseNop = 16,
    kClauseNull = 17,
    kClauseNumeric = 18,
    kClauseOptions = 19,
    kClauseOtherwise = 20,
    kClauseParse = 21,
    kClauseProcedure = 22,
    kClausePull = 23,
    kClausePush = 24,
    kClauseQueue = 25,
    kClauseReturn = 26,
    kClauseSay = 27,
    kClauseSelect = 28,
    kClauseSignal = 29,
    kClauseThen = 30,
    kClauseTrace = 31,
    kClauseUpper = 32,
    kClauseWhen = 33,
};

struct Token {
    std::uint8_t type;
    std::uint8_t length;
    std::uint32_t offset;  // of the text in the clause buffer (NUL-terminated there)
};

inline constexpr std::size_t kMaxLineLength = 1024;
inline constexpr std::size_t kMaxClauseBytes = 10000;
inline constexpr std::uint32_t kMaxTokens = 1000;
inline constexpr std::size_t kMaxTokenLength = 250;
inline constexpr std::uint32_t kMaxLines = 65535;
inline constexpr std::size_t kMaxTableEntries = 65535;

// An open-addressing index from name bytes to table positions, so that interning a name does
// not walk the whole table. Slots hold position + 1 (0 is empty).
struct NameIndex {
    RexxVector<std::uint32_t> slots;
    std::uint32_t used = 0;
};

struct Scanner {
    ExecInstance* inst = nullptr;
    Program* program = nullptr;

    // Source block and line buffer.
    const char* src_pos = nullptr;
    const char* src_end = nullptr;
    const char* line_start_in_source = nullptr;  // where the current line began in the block
    char* line = nullptr;                        // the current line, ending in a line feed
    std::size_t line_length = 0;
    std::size_t line_capacity = 0;
    std::size_t pos = 0;  // scan position in the line
    std::uint32_t line_counter = 0;

    // Clause buffer and tokens.
    char* clause = nullptr;
    std::size_t wp = 0;  // write position
    std::size_t token_start = 0;
    Token* tokens = nullptr;
    std::uint32_t token_count = 0;
    std::uint8_t clause_type = 0;

    // Position of the clause: first and last significant character.
    std::uint32_t clause_line = 0;
    std::uint32_t clause_column = 0;
    std::uint32_t last_line = 0;
    std::uint32_t last_column = 0;
    bool position_set = false;
    std::uint32_t before_symbol_line = 0;  // last position before the open symbol began
    std::uint32_t before_symbol_column = 0;

    bool end_of_source = false;
    bool no_source = false;
    bool first_line_check = false;

    // State machine.
    int state = 1;
    int comment_state = 1;  // state before the outermost comment
    int comment_depth = 0;
    bool point_seen = false;
    bool exponent_seen = false;
    std::size_t exponent_end = 0;  // write position just after the exponent mark
    char quote = 0;
    std::size_t symbol_line_pos = 0;  // line position where the open symbol began

    // Interning. The index is used when a whole program is translated; INTERPRET text walks the
    // running program's tables as they are (they carry no index).
    bool indexed = false;
    NameIndex literal_index;
    NameIndex symbol_index;
    std::size_t literal_limit = kMaxTableEntries;
    std::size_t symbol_limit = kMaxTableEntries;

    void* storage = nullptr;  // the one block behind line, clause and tokens
    std::size_t storage_size = 0;
};

// Sets up a scanner over the run's source (or, for INTERPRET, over `text` held as one line).
// The buffers are released by finish_scanner (also on the error path, via ScannerGuard).
void start_scanner(Scanner& s, ExecInstance* inst, Program* program);
void start_interpret_scanner(Scanner& s, ExecInstance* inst, Program* program, const char* text,
                             std::size_t length, std::size_t literal_limit,
                             std::size_t symbol_limit);
void finish_scanner(Scanner& s);

class ScannerGuard {
  public:
    explicit ScannerGuard(Scanner& s) : s_(s) {}
    ~ScannerGuard() { finish_scanner(s_); }
    ScannerGuard(const ScannerGuard&) = delete;
    ScannerGuard& operator=(const ScannerGuard&) = delete;

  private:
    Scanner& s_;
};

// Copies the next source line into the line buffer; false at the end of the source.
bool read_line(Scanner& s);

// Scans the next clause into the clause buffer and token array (the last token is ";" unless
// the clause is a label). Sets end_of_source when the program is exhausted.
void scan_clause(Scanner& s);

// The clause type of a keyword (first token of a clause), or kClauseCommand.
std::uint8_t keyword_type(const char* text, std::size_t length);

// The clause type from the first tokens when the scanner left it open.
std::uint8_t clause_type_of(const Scanner& s);

inline const char* token_text(const Scanner& s, std::uint32_t i) {
    return s.clause + s.tokens[i].offset;
}
inline bool token_is(const Scanner& s, std::uint32_t i, const char* text, std::size_t length) {
    const Token& t = s.tokens[i];
    if (t.length != length) return false;
    const char* p = s.clause + t.offset;
    for (std::size_t k = 0; k < length; ++k)
        if (p[k] != text[k]) return false;
    return true;
}

// Interns a literal or a name and returns its index (error 53 beyond 65535 entries).
std::uint16_t intern_literal(Scanner& s, const char* text, std::size_t length);
std::uint16_t intern_symbol(Scanner& s, const char* text, std::size_t length);
// Finds a name without adding it; -1 when it is not in the symbol table.
long find_symbol(const Scanner& s, const char* text, std::size_t length);

// Stores the scanner's position for an error report and raises error n.
[[noreturn]] void scan_error(Scanner& s, int n);

}  // namespace ketra
