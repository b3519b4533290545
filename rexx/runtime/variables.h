// The variable pool: simple variables, stems and their compound variables, kept in AVL trees
// ordered by name length and then bytes (a stem's compounds whose tail is a plain whole number
// in a hash table of their own, merged into that order when enumerated); the scopes that PROCEDURE
// creates and EXPOSE links to the caller's variables; the symbol-table cache; access by name for
// the programming interface (RexxVariablePool, varpool_api.cpp) and the VALUE built-in;
// enumeration.
//
// Two ways in:
//  - By symbol (the interpreter): the functions of interp_ports.h (var_fetch, var_store,
//    var_drop, var_drop_list, var_procedure, var_expose, var_expose_list, var_slot and the
//    vars_* scope functions) are defined in variables.cpp. Symbols are indices into the symbol
//    table of the current run's program (g_lib.current->program); a compound symbol's tail
//    descriptor is a literal of that program.
//  - By name (RexxVariablePool, VALUE): resolve_direct_name / resolve_symbolic_name validate a
//    name given as a string and build it in the derived-name buffer; fetch_by_name,
//    store_by_name and drop_by_name then act on a scope.
//
// Unset variables are not an error here: var_fetch answers false and gives the name (the
// derived name for a compound), and the caller raises NOVALUE when it is trapped.
//
// Cache: a simple variable's or a stem's node is cached in its symbol entry (`cache`), tagged
// with the id of the scope it was found in (kept in the entry's `tail` field, which only
// compound symbols use otherwise). A cached node lives as long as its scope: nodes of simple
// variables and stems are never freed before their scope ends. Scope ids grow and are never
// reused between wraps of the 32-bit counter; at a wrap the live scopes are numbered afresh and
// the cache of every live program (registered by its program scope) is cleared. A local node that
// EXPOSE later turns into an alias is followed to its target on the fast path, so no cache entry is
// ever stale.
//
// Errors raised: 30 (a derived name over 250 characters), 46 (a word of a DROP or EXPOSE list
// that is not a symbol), 5 (no memory for a node, through the allocator).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rexx/runtime/value.h"
#include "rexx/translate/program.h"

namespace ketra {

struct Activation;
struct Program;

// Longest derived name (stem, ".", tail).
inline constexpr std::size_t kMaxDerivedName = 250;

// Node flags.
// kNodeDropped marks a compound dropped on its own: it no longer takes the stem's default.
// kNodeAscending (stems): the last tail inserted went to the right end of the tail tree.
enum VarNodeFlag : std::uint8_t {
    kNodeExposed = 4,
    kNodeStem = 8,
    kNodeDropped = 16,
    kNodeAscending = 32
};

struct VarNode {
    VarNode* left;
    VarNode* right;
    Value name;               // the name (a stem's with its "."; a compound's tail only, in
                              // integer form for the nodes of a NumberTails table)
    Value value;              // absent when dropped or never assigned; unused in an alias
    VarNode* tails;           // stem nodes: the tree of compound variables; an exposed
                              // compound: the stem that owns its target (whose default it takes)
    struct TailIndex* index;  // stem nodes: a hash index over the tree's tails (may be null)
    struct NumberTails* numbers;  // stem nodes: the compounds whose tail is a plain whole
                                  // number, kept apart from the tree (may be null)
    VarNode* target;              // alias nodes (kNodeExposed): the caller's node they stand for
    std::uint64_t head;   // the name's first 8 bytes, big-endian, zero-padded: most comparisons
                          // of equal-length names end on this one word
    std::int8_t balance;  // AVL: -1 left-heavy, 0, +1 right-heavy
    std::uint8_t flags;
};

// The two pools an activation sees.
struct VariableScope {
    VarNode* simple;
    VarNode* stems;
    std::uint32_t id;       // unique among live scopes; tags the symbol-table cache
    VariableScope* caller;  // the scope EXPOSE links to (null for the program's)
    // Program scopes only: the program whose symbol cache refers to this run's scopes.
    Program* program;
    // Every live scope, so that ids can be renumbered when the counter wraps.
    VariableScope* prev_live;
    VariableScope* next_live;
};

// The node of simple variable `e` when the symbol-table cache holds it for `scope` and it is
// not an alias; null otherwise (the caller then goes through var_fetch or var_store). This is
// the interpreter's inline path for the commonest accesses.
//
// A symbol's cache tag and node are set and cleared together, and no scope has id 0, so a tag
// equal to a scope's id means the node is there. The interpreter's loop passes the id it keeps.
inline VarNode* cached_simple_node(const SymbolEntry& e, std::uint32_t scope_id) {
    if (e.kind != kSymbolSimple || e.tail != scope_id) return nullptr;
    auto* node = static_cast<VarNode*>(e.cache);
    return node->flags & kNodeExposed ? nullptr : node;
}
inline VarNode* cached_simple_node(const SymbolEntry& e, const VariableScope* scope) {
    return cached_simple_node(e, scope->id);
}

// A stem's compounds whose tail is a plain whole number: an open-addressing table by number.
// The header of the table; its 2^bits slots follow it in the same block.
struct NumberTails {
    std::uint32_t bits;
    std::uint32_t count;         // nodes entered
    VarNode* newest;             // every node, newest first, chained through `left` (which only
                                 // tree nodes use otherwise): walks need not scan the slots
    VarNode** sorted;            // the nodes by number (null when not taken or no longer whole)
    std::uint32_t sorted_count;  // how many nodes the snapshot holds
    VarNode** slots() { return reinterpret_cast<VarNode**>(this + 1); }
};
static_assert(sizeof(NumberTails) % alignof(VarNode*) == 0);

inline std::size_t number_slot(std::uint32_t bits, std::uint32_t k) {
    return static_cast<std::size_t>((std::uint64_t{k} * 0x9E3779B97F4A7C15ULL) >> (64 - bits));
}

// The node of number tail k under the stem; null when it has none.
[[gnu::always_inline]] inline VarNode* find_number(const VarNode* stem, std::uint32_t k) {
    NumberTails* x = stem->numbers;
    if (!x) return nullptr;
    const std::size_t mask = (std::size_t{1} << x->bits) - 1;
    for (std::size_t i = number_slot(x->bits, k);; i = (i + 1) & mask) {
        VarNode* c = x->slots()[i];
        if (!c || static_cast<std::uint32_t>(c->name.data.integer) == k) return c;
    }
}

// When compound symbol e has one tail part that is a literal or a tail variable with a value,
// its stem symbol, with that value in tail: the commonest compounds (an array element, a
// key) are then found from the value as it is, without forming the name. Null otherwise, and
// when the derived name could pass the limit (the general path reports that). find_simple(t)
// gives the node of simple symbol t, or null.
template <class FindSimple>
[[gnu::always_inline]] inline SymbolEntry* single_tail(SymbolEntry* syms, const Value* literals,
                                                       const SymbolEntry& e, const Value*& tail,
                                                       FindSimple find_simple) {
    if (e.tail == kTailTooMany) return nullptr;
    const Value& d = literals[e.tail];
    if (d.length != 6) return nullptr;  // the stem and one part, 3 bytes each
    const auto* items = reinterpret_cast<const std::uint8_t*>(d.data.chars);
    SymbolEntry& stem = syms[items[1] | (items[2] << 8)];
    const std::size_t idx = items[4] | (items[5] << 8);
    const Value* v;
    if (items[3] == 3) {
        const VarNode* node = find_simple(syms[idx]);
        if (!node || is_absent(node->value)) return nullptr;
        v = &node->value;
    } else {
        v = &literals[idx];
    }
    // An integer form takes at most 11 characters.
    const std::size_t length =
        std::size_t{stem.name.length} + (v->flags & kInteger ? 11 : v->length);
    if (stem.kind != kSymbolStem || length > kMaxDerivedName) return nullptr;
    tail = v;
    return &stem;
}

// single_tail with the tail variable taken only from the symbol cache for scope_id, without a
// call, so that a caller on its fast path saves no registers; one not cached, or an alias,
// gives null, and the caller takes its general path.
[[gnu::always_inline]] inline SymbolEntry* single_tail_cached(SymbolEntry* syms,
                                                              const Value* literals,
                                                              const SymbolEntry& e,
                                                              std::uint32_t scope_id,
                                                              const Value*& tail) {
    return single_tail(syms, literals, e, tail, [scope_id](const SymbolEntry& t) {
        return cached_simple_node(t, scope_id);
    });
}

// The value of the element of stem symbol `stem` (see single_tail) for a tail that is a whole
// number of 0 or more, when the stem's node is cached for scope_id, the element is set and no
// alias stands on the way; null otherwise (the general path decides, stem default and all).
[[gnu::always_inline]] inline const Value* cached_number_element(const SymbolEntry& stem,
                                                                 const Value& tail,
                                                                 std::uint32_t scope_id) {
    if (!(tail.flags & kInteger) || tail.data.integer < 0 || stem.tail != scope_id) return nullptr;
    const auto* s = static_cast<const VarNode*>(stem.cache);
    if (s->flags & kNodeExposed) return nullptr;
    const VarNode* node = find_number(s, static_cast<std::uint32_t>(tail.data.integer));
    if (!node || (node->flags & kNodeExposed) || is_absent(node->value)) return nullptr;
    return &node->value;
}

// A piece of a parsed string to be stored as the value of symbol sym.
struct StorePiece {
    const char* p;
    std::uint32_t n;
    std::uint16_t sym;
};

// Stores the pieces in order, each as var_store would store a string of its characters (folded
// to upper case when upper is set). A simple variable's value is written in place when its old
// characters are about as long: the PARSE targets' path. `source` is the buffer the pieces are
// cut from when that buffer belongs to a variable, else null: a simple variable whose value
// owns it hands it to `kept` (which must be empty) instead of freeing or overwriting it, so the
// later pieces keep their characters. With a source, the stores stop before a target that is
// not a simple variable (whose store could free any buffer): the caller copies the characters
// and stores the rest without a source. Returns the number of pieces stored.
std::size_t var_store_chars(Activation* a, const StorePiece* pieces, std::size_t count, bool upper,
                            const char* source, Value& kept);

// Variable kinds of names given as strings.
enum NameKind : std::uint8_t { kNameSimple = 1, kNameCompound = 2, kNameStem = 3 };

// A name given as a string, validated and resolved: its kind, and the stem (with its ".")
// and tail, or the simple name. The views point into the library's derived-name buffer and
// stay valid until the next name is resolved or compound symbol derived.
struct ResolvedName {
    NameKind kind;
    std::string_view stem;  // simple: the whole name
    std::string_view tail;
};

// Validates a direct name (1 to 250 characters; not starting with a digit or "."; the part
// before the first "." upper-case symbol characters and digits; the tail used unchanged);
// false when it is invalid.
bool resolve_direct_name(std::string_view name, ResolvedName& out);
// Validates a symbolic name (1 to 250 symbol characters or digits, folded to upper case; each
// tail part not starting with a digit replaced by the value of the simple variable of that
// name in `scope` when it has one); false when it is invalid or the derived name is longer
// than 250 characters. A null scope substitutes nothing.
bool resolve_symbolic_name(VariableScope* scope, std::string_view name, ResolvedName& out);

// Access by resolved name. fetch_by_name gives a borrowed copy of the value and answers true,
// or gives the name (an owned record) and answers false when the variable has no value (a
// compound takes its stem's default). store_by_name stores a copy of v.
bool fetch_by_name(VariableScope* scope, const ResolvedName& n, Value& out);
void store_by_name(VariableScope* scope, const ResolvedName& n, const Value& v);
void drop_by_name(VariableScope* scope, const ResolvedName& n);

// Enumeration: every variable with a value, simple variables first (by name length, then
// bytes), then each stem's compound variables (stems in the same order, and within a stem by
// tail length, then bytes). Aliases are followed; a stem's own default is not returned.
//
// A cursor remembers the last variable handed out by its name, so that each step costs one
// tree descent and variables set or dropped between steps do not upset it.
struct VarCursor {
    // 0 not started; 1 after the simple variable `name`; 2 at stem `name`, before its first
    // tail; 3 after tail `tail` of stem `name`; 4 finished.
    std::uint8_t phase = 0;
    std::uint16_t name_length = 0;  // last simple name, or the current stem (with its ".")
    std::uint16_t tail_length = 0;  // last tail of the current stem
    char name[kMaxDerivedName + 1] = {};
    char tail[kMaxDerivedName + 1] = {};
};
// The next variable after the cursor: true with its name (stem and tail; tail empty for a
// simple variable) and a pointer to its value; false when there are no more.
bool next_variable(VariableScope* scope, VarCursor& cursor, std::string_view& stem,
                   std::string_view& tail, const Value*& value);

// Calls visit(stem, tail, value) for every variable in the enumeration order; stops when
// visit answers false.
using VarVisitor = bool (*)(std::string_view stem, std::string_view tail, const Value& value,
                            void* context);
void enumerate_variables(VariableScope* scope, VarVisitor visit, void* context);

// New scopes: a program's (caller null; registers the current program's symbol cache), or a
// PROCEDURE's (linked to the caller's scope for EXPOSE). destroy_scope frees every node;
// aliases are freed without touching the variables they stand for.
VariableScope* new_scope(VariableScope* caller);
void destroy_scope(VariableScope* scope);

// Testing: the next scope id to hand out (to reach the wrap of the counter).
void set_next_scope_id_for_testing(std::uint32_t id);

}  // namespace ketra
