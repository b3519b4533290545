// The source scanner: character classes, the line reader (with the first-line "extproc" and
// "#!" rules), the clause-cutting state machine with the THEN rule, hexadecimal and binary
// strings, and the interning of literals and names.
#include "rexx/translate/scanner.h"

#include <cstring>

#include <strings.h>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"

namespace ketra {

namespace {

enum CharClass : std::uint8_t {
    kInvalid = 0,
    kBlank = 1,
    kQuote = 2,
    kSymbolChar = 3,
    kDigit = 4,
    kSpecialChar = 5,
    kOperatorChar = 6,
};

struct ClassTable {
    std::uint8_t c[256];
};

constexpr ClassTable make_class_table() {
    ClassTable t{};
    t.c[unsigned{' '}] = t.c[unsigned{'\t'}] = t.c[unsigned{'\f'}] = kBlank;
    t.c[unsigned{'"'}] = t.c[unsigned{'\''}] = kQuote;
    for (const char* p = "!#$.?@_"; *p; ++p) t.c[static_cast<unsigned char>(*p)] = kSymbolChar;
    for (int ch = 'A'; ch <= 'Z'; ++ch) t.c[ch] = t.c[ch + 32] = kSymbolChar;
    for (int ch = '0'; ch <= '9'; ++ch) t.c[ch] = kDigit;
    for (const char* p = "(),:;"; *p; ++p) t.c[static_cast<unsigned char>(*p)] = kSpecialChar;
    for (const char* p = "%&*+-/<=>\\^|~"; *p; ++p)
        t.c[static_cast<unsigned char>(*p)] = kOperatorChar;
    // The not sign of the Latin-1 code page.
    t.c[170] = kOperatorChar;
    return t;
}

constexpr ClassTable kClasses = make_class_table();

inline std::uint8_t class_of(char c) {
    return kClasses.c[static_cast<unsigned char>(c)];
}
inline bool is_symbol_or_digit(char c) {
    std::uint8_t k = class_of(c);
    return k == kSymbolChar || k == kDigit;
}

// Location codes of the memory-full reports raised here.
constexpr int kLocLiteralRoom = 101;
constexpr int kLocSymbolRoom = 102;

constexpr std::size_t kClauseCapacity = kMaxClauseBytes + 64;

// ---- buffers ---------------------------------------------------------------------------------

// The storage block of the last scanner that finished, kept for the next one: INTERPRET in a
// loop translates many short strings, and a block of this size costs more to get and give
// back than the scan of such a string. The library's work runs under the ApiLock, which
// serialises it.
struct SpareStorage {
    void* block;
    std::size_t size;
};
constinit SpareStorage g_spare_storage{nullptr, 0};

void allocate_buffers(Scanner& s, std::size_t line_capacity) {
    std::size_t token_bytes = sizeof(Token) * (kMaxTokens + 1);
    std::size_t total = token_bytes + kClauseCapacity + line_capacity + 2;
    char* block;
    if (g_spare_storage.block && g_spare_storage.size >= total) {
        block = static_cast<char*>(g_spare_storage.block);
        total = g_spare_storage.size;
        g_spare_storage = {nullptr, 0};
    } else {
        block = static_cast<char*>(allocate(total));
    }
    s.storage = block;
    s.storage_size = total;
    s.tokens = reinterpret_cast<Token*>(block);
    s.clause = block + token_bytes;
    s.line = s.clause + kClauseCapacity;
    s.line_capacity = line_capacity;
    s.line[0] = '\n';
    s.line[1] = 0;
    s.line_length = 1;
    // The first scan starts at the line feed of an empty line, so it reads the first line.
    s.pos = 0;
}

// ---- interning -------------------------------------------------------------------------------

inline std::uint32_t hash_bytes(const char* p, std::size_t n) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(p[i]);
        h *= 16777619u;
    }
    return h;
}

bool same_bytes(const Value& v, const char* text, std::size_t length) {
    NumberBuffer buf;
    std::string_view view = view_of(v, buf);
    return view.size() == length && (length == 0 || std::memcmp(view.data(), text, length) == 0);
}

inline const Value& name_of(const Value& v) {
    return v;
}
inline const Value& name_of(const SymbolEntry& e) {
    return e.name;
}

void index_insert(NameIndex& idx, const Value& name, std::uint32_t position);

template <class Table>
void index_build(NameIndex& idx, const Table& table) {
    std::size_t size = 256;
    while (size < table.size() * 2 + 2) size *= 2;
    idx.slots.assign(size, 0);
    idx.used = 0;
    for (std::size_t i = 0; i < table.size(); ++i)
        index_insert(idx, name_of(table[i]), static_cast<std::uint32_t>(i));
}

void index_insert(NameIndex& idx, const Value& name, std::uint32_t position) {
    NumberBuffer buf;
    std::string_view view = view_of(name, buf);
    std::size_t mask = idx.slots.size() - 1;
    std::size_t i = hash_bytes(view.data(), view.size()) & mask;
    while (idx.slots[i] != 0) i = (i + 1) & mask;
    idx.slots[i] = position + 1;
    ++idx.used;
}

// The position of the name in the table, or -1.
template <class Table>
long index_find(const NameIndex& idx, const Table& table, const char* text, std::size_t length) {
    std::size_t mask = idx.slots.size() - 1;
    std::size_t i = hash_bytes(text, length) & mask;
    while (std::uint32_t slot = idx.slots[i]) {
        if (same_bytes(name_of(table[slot - 1]), text, length)) return static_cast<long>(slot - 1);
        i = (i + 1) & mask;
    }
    return -1;
}

template <class Table>
long linear_find(const Table& table, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Value& v = name_of(table[i]);
        if ((v.length == length || is_integer_form(v)) && same_bytes(v, text, length))
            return static_cast<long>(i);
    }
    return -1;
}

template <class Table>
long find_in(const Scanner& s, const NameIndex& idx, const Table& table, const char* text,
             std::size_t length) {
    return s.indexed ? index_find(idx, table, text, length) : linear_find(table, text, length);
}

template <class Table>
void check_room(Scanner& s, const Table& table, std::size_t limit, int location, int pool) {
    if (table.size() >= kMaxTableEntries) scan_error(s, 53);
    if (table.size() >= limit) memory_full(location, pool);
}

template <class Table>
void after_add(Scanner& s, NameIndex& idx, const Table& table) {
    if (!s.indexed) return;
    if ((idx.used + 1) * 2 > idx.slots.size()) {
        idx.slots.assign(idx.slots.size() * 2, 0);
        idx.used = 0;
        for (std::size_t i = 0; i < table.size(); ++i)
            index_insert(idx, name_of(table[i]), static_cast<std::uint32_t>(i));
    } else {
        index_insert(idx, name_of(table.back()), static_cast<std::uint32_t>(table.size() - 1));
    }
}

// The tail descriptor of a compound name (stem, then one item per tail part).
std::uint32_t make_tail_descriptor(Scanner& s, const char* text, std::size_t length,
                                   std::size_t first_dot) {
    std::size_t parts = 0;
    for (std::size_t i = first_dot; i < length; ++i)
        if (text[i] == '.') ++parts;
    if (parts > 9) return kTailTooMany;
    unsigned char desc[30];
    std::size_t n = 0;
    auto put = [&](std::uint8_t kind, std::uint16_t index) {
        desc[n++] = kind;
        desc[n++] = static_cast<unsigned char>(index & 0xFF);
        desc[n++] = static_cast<unsigned char>(index >> 8);
    };
    put(3, intern_symbol(s, text, first_dot + 1));
    std::size_t start = first_dot + 1;
    while (start <= length) {
        std::size_t end = start;
        while (end < length && text[end] != '.') ++end;
        const char* part = text + start;
        std::size_t plen = end - start;
        if (plen == 0 || class_of(part[0]) == kDigit)
            put(2, intern_literal(s, part, plen));
        else
            put(3, intern_symbol(s, part, plen));
        start = end + 1;
    }
    return intern_literal(s, reinterpret_cast<const char*>(desc), n);
}

// ---- the clause state machine ----------------------------------------------------------------

inline void mark_position(Scanner& s) {
    if (!s.position_set) {
        s.position_set = true;
        s.clause_line = s.line_counter;
        s.clause_column = static_cast<std::uint32_t>(s.pos);
    }
    s.last_line = s.line_counter;
    s.last_column = static_cast<std::uint32_t>(s.pos);
}

inline void store(Scanner& s, char c) {
    s.clause[s.wp++] = c;
}

void close_token(Scanner& s, std::uint8_t type) {
    std::size_t len = s.wp - s.token_start;
    if (len == 0) return;
    if (s.token_count >= kMaxTokens) scan_error(s, 12);
    if (len > kMaxTokenLength) scan_error(s, 30);
    s.clause[s.wp++] = 0;
    Token& t = s.tokens[s.token_count++];
    t.type = type;
    t.length = static_cast<std::uint8_t>(len);
    t.offset = static_cast<std::uint32_t>(s.token_start);
    s.token_start = s.wp;
}

inline void close_operator(Scanner& s) {
    if (s.wp > s.token_start) close_token(s, kTokOperator);
}

void store_blank_token(Scanner& s) {
    store(s, ' ');
    close_token(s, kTokBlank);
}

inline bool last_token_is(const Scanner& s, std::uint8_t type) {
    return s.token_count > 0 && s.tokens[s.token_count - 1].type == type;
}

void drop_last_token(Scanner& s) {
    --s.token_count;
    s.wp = s.tokens[s.token_count].offset;
    s.token_start = s.wp;
}

// Closes a number or symbol (state 2 or 3) and applies the THEN rule. True when the clause
// ends here.
bool close_word(Scanner& s) {
    char first = s.clause[s.token_start];
    bool constant = s.state == 2 || first == '.' || class_of(first) == kDigit;
    close_token(s, constant ? kTokConstant : kTokSymbol);
    s.state = 1;
    if (constant) return false;
    const Token& t = s.tokens[s.token_count - 1];
    const char* text = s.clause + t.offset;
    if (s.token_count == 1) {
        std::uint8_t type = keyword_type(text, t.length);
        s.clause_type = type;
        return type == kClauseThen || type == kClauseElse || type == kClauseOtherwise;
    }
    if ((s.clause_type == kClauseIf || s.clause_type == kClauseWhen) && t.length == 4 &&
        std::memcmp(text, "THEN", 4) == 0) {
        drop_last_token(s);
        s.pos = s.symbol_line_pos;
        s.last_line = s.before_symbol_line;
        s.last_column = s.before_symbol_column;
        return true;
    }
    return false;
}

// Packs the digits of the string token just closed (hexadecimal or binary) in place.
void convert_string(Scanner& s, bool binary) {
    Token& t = s.tokens[s.token_count - 1];
    char* text = s.clause + t.offset;
    char* body = text + 1;
    std::size_t m = t.length - 2u;
    std::size_t digits = 0;
    if (m > 0) {
        if (body[0] == ' ' || body[m - 1] == ' ') scan_error(s, 15);
        std::size_t group = 0;
        bool first_group = true;
        for (std::size_t i = 0; i <= m; ++i) {
            char c = i < m ? body[i] : ' ';
            if (c == ' ') {
                if (group > 0 || i == m) {
                    if (!first_group && group % (binary ? 4 : 2) != 0) scan_error(s, 15);
                    first_group = false;
                }
                group = 0;
                continue;
            }
            bool ok = binary ? (c == '0' || c == '1')
                             : ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'));
            if (!ok) scan_error(s, 15);
            ++group;
            ++digits;
        }
    }
    unsigned per = binary ? 8 : 2;
    unsigned bits = binary ? 1 : 4;
    std::size_t bytes = (digits + per - 1) / per;
    unsigned chunk = static_cast<unsigned>(digits % per);
    if (chunk == 0) chunk = per;
    std::size_t out = 0;
    unsigned acc = 0;
    unsigned have = 0;
    for (std::size_t i = 0; i < m; ++i) {
        char c = body[i];
        if (c == ' ') continue;
        unsigned d = c <= '9' ? static_cast<unsigned>(c - '0')
                              : static_cast<unsigned>((c | 0x20) - 'a' + 10);
        acc = (acc << bits) | d;
        if (++have == chunk) {
            body[out++] = static_cast<char>(acc);
            acc = 0;
            have = 0;
            chunk = per;
        }
    }
    body[bytes] = text[0];
    t.length = static_cast<std::uint8_t>(bytes + 2);
    s.wp = t.offset + t.length;
    s.clause[s.wp++] = 0;
    s.token_start = s.wp;
}

void end_clause(Scanner& s) {
    if (s.state == 1) close_operator(s);
    if (last_token_is(s, kTokBlank)) drop_last_token(s);
    bool label = s.token_count >= 2 && s.tokens[1].type == kTokSpecial &&
                 s.clause[s.tokens[1].offset] == ':';
    if (!label && !(s.token_count > 0 && s.tokens[s.token_count - 1].type == kTokSpecial &&
                    s.clause[s.tokens[s.token_count - 1].offset] == ';')) {
        store(s, ';');
        close_token(s, kTokSpecial);
    }
    if (label) {
        s.clause_type = kClauseLabel;
        if (s.tokens[0].type != kTokSymbol && s.tokens[0].type != kTokConstant) scan_error(s, 35);
    } else if (s.token_count >= 2 &&
               (s.tokens[0].type == kTokSymbol || s.tokens[0].type == kTokConstant) &&
               s.clause[s.tokens[1].offset] == '=' && s.tokens[1].type == kTokOperator) {
        if (s.tokens[1].length != 1) scan_error(s, 35);
        s.clause_type = kClauseAssignment;
    }
}

}  // namespace

// ---- set-up ----------------------------------------------------------------------------------

void start_scanner(Scanner& s, ExecInstance* inst, Program* program) {
    s.inst = inst;
    s.program = program;
    s.src_pos = inst->source_pos ? inst->source_pos : inst->source_start;
    s.src_end = inst->source_end;
    if (!s.src_pos) s.src_pos = s.src_end = nullptr;
    allocate_buffers(s, kMaxLineLength + 2);
    s.first_line_check = true;
    s.indexed = true;
    index_build(s.literal_index, program->literals);
    index_build(s.symbol_index, program->symbols);
    if (program->symbols.empty()) {
        intern_symbol(s, "RC", 2);
        intern_symbol(s, "RESULT", 6);
        intern_symbol(s, "SIGL", 4);
    }
}

void start_interpret_scanner(Scanner& s, ExecInstance* inst, Program* program, const char* text,
                             std::size_t length, std::size_t literal_limit,
                             std::size_t symbol_limit) {
    s.inst = inst;
    s.program = program;
    s.no_source = true;
    allocate_buffers(s, length + 1);
    if (length) std::memcpy(s.line, text, length);
    s.line[length] = '\n';
    s.line[length + 1] = 0;
    s.line_length = length + 1;
    s.line_counter = 1;
    s.indexed = false;
    s.literal_limit = literal_limit;
    s.symbol_limit = symbol_limit;
}

void finish_scanner(Scanner& s) {
    if (s.inst && !s.no_source && s.inst->line_text == s.line) {
        s.inst->line_text = nullptr;
        s.inst->line_length = 0;
    }
    if (s.storage && !g_spare_storage.block) {
        g_spare_storage = {s.storage, s.storage_size};
    } else if (s.storage && g_spare_storage.size < s.storage_size) {
        release(g_spare_storage.block);
        g_spare_storage = {s.storage, s.storage_size};
    } else {
        release_if(s.storage);
    }
    s.storage = nullptr;
    s.storage_size = 0;
    s.line = s.clause = nullptr;
    s.tokens = nullptr;
}

// ---- line reader -----------------------------------------------------------------------------

bool read_line(Scanner& s) {
    if (s.no_source || !s.src_pos || s.src_pos >= s.src_end) {
        s.end_of_source = true;
        return false;
    }
    const char* p = s.src_pos;
    const char* nl =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(s.src_end - p)));
    const char* e = nl ? nl : s.src_end;
    std::size_t n = static_cast<std::size_t>(e - p);
    // A carriage return ends the line also when the last line has no line feed after it.
    if (n > 0 && p[n - 1] == '\r') --n;
    if (n > kMaxLineLength) {
        // Reported at the long line itself, without its text.
        s.inst->translate_line = s.line_counter + 1;
        s.inst->line_text = nullptr;
        s.inst->line_length = 0;
        error(51);
    }
    if (s.line_counter >= kMaxLines) {
        s.inst->translate_line = s.line_counter + 1;
        s.inst->line_text = nullptr;
        s.inst->line_length = 0;
        error(52);
    }
    std::memcpy(s.line, p, n);
    s.line[n] = '\n';
    s.line[n + 1] = 0;
    s.line_length = n + 1;
    s.line_start_in_source = p;
    s.src_pos = nl ? nl + 1 : s.src_end;
    if (s.first_line_check) {
        s.first_line_check = false;
        std::size_t i = 0;
        while (s.line[i] == ' ') ++i;
        bool extproc = s.line_length - i > 8 && strncasecmp(s.line + i, "extproc ", 8) == 0;
        // A Unix interpreter line is a comment line too.
        bool hashbang = n >= 2 && s.line[0] == '#' && s.line[1] == '!';
        if (extproc || hashbang) {
            s.line[0] = '\n';
            s.line[1] = 0;
            s.line_length = 1;
        }
    }
    ++s.line_counter;
    s.pos = 0;
    s.inst->translate_line = s.line_counter;
    s.inst->line_text = s.line;
    s.inst->line_length = s.line_length;
    return true;
}

[[noreturn]] void scan_error(Scanner& s, int n) {
    if (!s.no_source && s.inst && s.line) {
        s.inst->translate_line = s.line_counter;
        s.inst->line_text = s.line;
        s.inst->line_length = s.line_length;
    }
    error(n);
}

// ---- clause scanner --------------------------------------------------------------------------

void scan_clause(Scanner& s) {
    s.state = 1;
    s.comment_depth = 0;
    s.token_count = 0;
    s.clause_type = 0;
    s.position_set = false;
    s.wp = 0;
    s.token_start = 0;
    for (;;) {
        if (s.wp > kMaxClauseBytes) scan_error(s, 12);
        char c = s.line[s.pos];
        bool at_end = s.pos + 1 >= s.line_length;
        if (s.state == 5) {
            if (c == '*' && s.line[s.pos + 1] == '/') {
                s.pos += 2;
                if (--s.comment_depth == 0) {
                    s.state = 1;
                    if (s.comment_state != 1 && class_of(s.line[s.pos]) == kBlank)
                        store_blank_token(s);
                }
            } else if (c == '/' && s.line[s.pos + 1] == '*') {
                s.pos += 2;
                ++s.comment_depth;
            } else if (at_end) {
                if (!read_line(s)) scan_error(s, 6);
            } else {
                ++s.pos;
            }
            continue;
        }
        if (s.state == 4) {
            if (at_end) scan_error(s, 6);
            mark_position(s);
            if (c == s.quote) {
                store(s, c);
                if (s.line[s.pos + 1] == s.quote) {
                    s.pos += 2;
                    continue;
                }
                ++s.pos;
                close_token(s, kTokString);
                char x = static_cast<char>(s.line[s.pos] | 0x20);
                if ((x == 'x' || x == 'b') && !is_symbol_or_digit(s.line[s.pos + 1])) {
                    ++s.pos;
                    convert_string(s, x == 'b');
                }
                s.state = 1;
                if (class_of(s.line[s.pos]) == kBlank) store_blank_token(s);
                continue;
            }
            store(s, c);
            ++s.pos;
            continue;
        }
        std::uint8_t cls = class_of(c);
        switch (cls) {
            case kBlank:
                if (s.state != 1) {
                    if (close_word(s)) return end_clause(s);
                    store_blank_token(s);
                }
                ++s.pos;
                break;
            case kQuote:
                if (s.state != 1) {
                    if (close_word(s)) return end_clause(s);
                } else {
                    close_operator(s);
                }
                mark_position(s);
                store(s, c);
                s.quote = c;
                s.state = 4;
                ++s.pos;
                break;
            case kSymbolChar:
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
                if (s.state == 1) {
                    s.before_symbol_line = s.last_line;
                    s.before_symbol_column = s.last_column;
                }
                mark_position(s);
                if (s.state == 1) {
                    close_operator(s);
                    s.symbol_line_pos = s.pos;
                    if (c == '.') {
                        s.state = 2;
                        s.point_seen = true;
                        s.exponent_seen = false;
                    } else {
                        s.state = 3;
                    }
                } else if (s.state == 2) {
                    if (c == '.') {
                        if (s.point_seen || s.exponent_seen)
                            s.state = 3;
                        else
                            s.point_seen = true;
                    } else if (c == 'E' && !s.exponent_seen) {
                        s.exponent_seen = true;
                        s.exponent_end = s.wp + 1;
                    } else {
                        s.state = 3;
                    }
                }
                store(s, c);
                ++s.pos;
                break;
            case kDigit:
                mark_position(s);
                if (s.state == 1) {
                    close_operator(s);
                    s.symbol_line_pos = s.pos;
                    s.state = 2;
                    s.point_seen = false;
                    s.exponent_seen = false;
                }
                store(s, c);
                ++s.pos;
                break;
            case kSpecialChar:
                if (s.state != 1) {
                    if (close_word(s)) return end_clause(s);
                } else {
                    close_operator(s);
                }
                if (c != '(' && last_token_is(s, kTokBlank)) drop_last_token(s);
                mark_position(s);
                store(s, c);
                close_token(s, kTokSpecial);
                ++s.pos;
                if (c == ';' || (c == ':' && s.token_count == 2)) return end_clause(s);
                if (c == ')' && class_of(s.line[s.pos]) == kBlank) store_blank_token(s);
                break;
            case kOperatorChar:
                if (c == '/' && s.line[s.pos + 1] == '*') {
                    if (s.state != 1) {
                        if (close_word(s)) return end_clause(s);
                        s.comment_state = 2;  // a word was open: a following blank separates
                    } else {
                        close_operator(s);
                        s.comment_state = 1;
                    }
                    s.comment_depth = 1;
                    s.state = 5;
                    s.pos += 2;
                    break;
                }
                if (s.state == 2 && (c == '+' || c == '-') && s.exponent_seen &&
                    s.wp == s.exponent_end) {
                    mark_position(s);
                    store(s, c);
                    ++s.pos;
                    break;
                }
                if (c == '^' || c == '~' || static_cast<unsigned char>(c) == 170) c = '\\';
                if (s.state != 1) {
                    if (close_word(s)) return end_clause(s);
                } else if (c == '+' || c == '-' || c == '\\') {
                    close_operator(s);
                }
                if (s.wp == s.token_start && last_token_is(s, kTokBlank)) drop_last_token(s);
                mark_position(s);
                store(s, c);
                ++s.pos;
                if (c == '+' || c == '-') close_token(s, kTokOperator);
                break;
            default:  // invalid, or the line feed that ends the line
                if (!at_end) scan_error(s, 13);
                if (s.state != 1) {
                    close_word(s);
                    return end_clause(s);
                }
                if (s.token_count == 0 && s.wp == s.token_start) {
                    if (!read_line(s)) return end_clause(s);
                    break;
                }
                close_operator(s);
                if (s.token_count > 0 && s.tokens[s.token_count - 1].type == kTokSpecial &&
                    s.clause[s.tokens[s.token_count - 1].offset] == ',') {
                    Token& comma = s.tokens[s.token_count - 1];
                    bool joins = false;
                    if (s.token_count >= 2) {
                        const Token& before = s.tokens[s.token_count - 2];
                        joins = before.type == kTokConstant || before.type == kTokSymbol ||
                                before.type == kTokString ||
                                (before.type == kTokSpecial && s.clause[before.offset] == ')');
                    }
                    if (joins) {
                        s.clause[comma.offset] = ' ';
                        comma.type = kTokBlank;
                    } else {
                        drop_last_token(s);
                    }
                    if (!read_line(s)) scan_error(s, 37);
                    break;
                }
                return end_clause(s);
        }
    }
}

// ---- keywords --------------------------------------------------------------------------------

std::uint8_t keyword_type(const char* text, std::size_t length) {
    struct Keyword {
        const char* name;
        std::uint8_t length;
        std::uint8_t type;
    };
    static constexpr Keyword kTable[] = {
        {"ADDRESS", 7, kClauseAddress}, {"ARG", 3, kClauseArg},
        {"CALL", 4, kClauseCall},       {"DO", 2, kClauseDo},
        {"DROP", 4, kClauseDrop},       {"ELSE", 4, kClauseElse},
        {"END", 3, kClauseEnd},         {"EXIT", 4, kClauseExit},
        {"IF", 2, kClauseIf},           {"INTERPRET", 9, kClauseInterpret},
        {"ITERATE", 7, kClauseIterate}, {"LEAVE", 5, kClauseLeave},
        {"NOP", 3, kClauseNop},         {"NUMERIC", 7, kClauseNumeric},
        {"OPTIONS", 7, kClauseOptions}, {"OTHERWISE", 9, kClauseOtherwise},
        {"PARSE", 5, kClauseParse},     {"PROCEDURE", 9, kClauseProcedure},
        {"PULL", 4, kClausePull},       {"PUSH", 4, kClausePush},
        {"QUEUE", 5, kClauseQueue},     {"RETURN", 6, kClauseReturn},
        {"SAY", 3, kClauseSay},         {"SELECT", 6, kClauseSelect},
        {"SIGNAL", 6, kClauseSignal},   {"THEN", 4, kClauseThen},
        {"TRACE", 5, kClauseTrace},     {"UPPER", 5, kClauseUpper},
        {"WHEN", 4, kClauseWhen},
    };
    if (length > 9 || length < 2) return kClauseCommand;
    for (const Keyword& k : kTable)
        if (k.length == length && k.name[0] == text[0] && std::memcmp(k.name, text, length) == 0)
            return k.type;
    return kClauseCommand;
}

std::uint8_t clause_type_of(const Scanner& s) {
    if (s.token_count == 0) return kClauseNull;
    const Token& t0 = s.tokens[0];
    const char* first = s.clause + t0.offset;
    if (t0.type == kTokSpecial && first[0] == ';') return kClauseNull;
    if (s.token_count >= 2) {
        const Token& t1 = s.tokens[1];
        const char* second = s.clause + t1.offset;
        if (t1.type == kTokOperator && t1.length == 1 && second[0] == '=' &&
            class_of(first[0]) == kSymbolChar && first[0] != '.')
            return kClauseAssignment;
        if (t1.type == kTokSpecial && second[0] == ':') return kClauseLabel;
    }
    if (t0.type == kTokSymbol) return keyword_type(first, t0.length);
    return kClauseCommand;
}

// ---- interning -------------------------------------------------------------------------------

std::uint16_t intern_literal(Scanner& s, const char* text, std::size_t length) {
    RexxVector<Value>& table = s.program->literals;
    long found = find_in(s, s.literal_index, table, text, length);
    if (found >= 0) return static_cast<std::uint16_t>(found);
    check_room(s, table, s.literal_limit, kLocLiteralRoom, kPoolLiteral);
    Value v = make_value(text, length, true);
    classify(v);
    table.push_back(v);
    after_add(s, s.literal_index, table);
    return static_cast<std::uint16_t>(table.size() - 1);
}

std::uint16_t intern_symbol(Scanner& s, const char* text, std::size_t length) {
    RexxVector<SymbolEntry>& table = s.program->symbols;
    long found = find_in(s, s.symbol_index, table, text, length);
    if (found >= 0) return static_cast<std::uint16_t>(found);
    check_room(s, table, s.symbol_limit, kLocSymbolRoom, kPoolSymbol);
    const void* dot = std::memchr(text, '.', length);
    std::size_t first_dot =
        dot ? static_cast<std::size_t>(static_cast<const char*>(dot) - text) : length;
    SymbolEntry e{};
    e.name = make_value(text, length, true);
    e.kind = !dot ? kSymbolSimple : first_dot + 1 == length ? kSymbolStem : kSymbolCompound;
    table.push_back(e);
    after_add(s, s.symbol_index, table);
    std::size_t index = table.size() - 1;
    if (e.kind == kSymbolCompound) {
        std::uint32_t tail = make_tail_descriptor(s, text, length, first_dot);
        s.program->symbols[index].tail = tail;
    }
    return static_cast<std::uint16_t>(index);
}

long find_symbol(const Scanner& s, const char* text, std::size_t length) {
    return find_in(s, s.symbol_index, s.program->symbols, text, length);
}

}  // namespace ketra
