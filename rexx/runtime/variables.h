// The variable pool: simple variables, stems and their compound variables, kept in AVL trees
// ordered by name length and then bytes; the scopes that PROCEDURE creates and EXPOSE links to
// the caller's variables; the symbol-table cache; access by name for the programming interface
// and VALUE.
//
// The interpreter reaches the pool through the functions declared in interp_ports.h
// (var_fetch, var_store, ...), which are defined here. Symbols are indices into the symbol
// table of the run's program; a compound symbol's tail descriptor is a literal of that program.
//
// Cache: a simple variable's or a stem's node is cached in its symbol entry (`cache`), tagged
// with the id of the scope it belongs to (kept in the entry's `tail` field, which only compound
// symbols use otherwise). Scope ids are never reused within a process, so a cached node of a
// scope that has ended can never be taken for a node of the current scope, and the check is a
// single compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rexx/runtime/value.h"

namespace ketra {

struct Activation;
struct Program;

// Node flags.
// kNodeDropped marks a compound dropped on its own: it no longer takes the stem's default.
enum VarNodeFlag : std::uint8_t { kNodeExposed = 4, kNodeStem = 8, kNodeDropped = 16 };

struct VarNode {
    VarNode* left;
    VarNode* right;
    Value name;          // the name (a stem's with its "."; a compound's tail only)
    Value value;         // absent when dropped or never assigned
    VarNode* tails;      // stem nodes: the tree of compound variables
    VarNode* target;     // alias nodes (exposed): the caller's node they stand for
    std::int8_t balance; // AVL: -1 left-heavy, 0, +1 right-heavy
    std::uint8_t flags;
};

// The two pools an activation sees.
struct VariableScope {
    VarNode* simple;
    VarNode* stems;
    std::uint32_t id;    // unique per scope; tags the symbol-table cache
    VariableScope* caller;  // the scope EXPOSE links to (null for the program's)
};

// Longest derived name (stem, ".", tail).
inline constexpr std::size_t kMaxDerivedName = 250;

// Variable kinds of names given as strings.
enum NameKind : std::uint8_t { kNameSimple = 1, kNameCompound = 2, kNameStem = 3 };

// A name given as a string, validated and resolved: its kind, and the stem (with its ".")
// and tail, or the simple name, in the library's derived-name buffer.
struct ResolvedName {
    NameKind kind;
    std::string_view stem;  // simple: the whole name
    std::string_view tail;
};

// Validates a direct name (the part before the first "." upper-case symbol characters, the
// tail used unchanged); false when it is invalid.
bool resolve_direct_name(std::string_view name, ResolvedName& out);
// Validates a symbolic name (folded to upper case, tail parts substituted from the simple
// variables of the scope); false when it is invalid or the derived name is too long.
bool resolve_symbolic_name(VariableScope* scope, std::string_view name, ResolvedName& out);

// Access by resolved name. fetch_by_name gives a borrowed copy; false when unset.
bool fetch_by_name(VariableScope* scope, const ResolvedName& n, Value& out);
void store_by_name(VariableScope* scope, const ResolvedName& n, const Value& v);
void drop_by_name(VariableScope* scope, const ResolvedName& n);

// Enumeration in the order of RXSHV_NEXTV: simple variables, then each stem's compounds.
// Calls visit(name, value) for each variable with a value; stops when visit returns false.
// A compound's name is passed as stem and tail.
using VarVisitor = bool (*)(std::string_view stem, std::string_view tail, const Value& value,
                            void* context);
void enumerate_variables(VariableScope* scope, VarVisitor visit, void* context);

// The scope of an activation, and new scopes.
VariableScope* new_scope(VariableScope* caller);
void destroy_scope(VariableScope* scope);

}  // namespace ketra
