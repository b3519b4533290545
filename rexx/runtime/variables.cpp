// The variable pool: AVL trees of variables, scopes, the symbol-table cache, tail
// substitution, DROP, PROCEDURE and EXPOSE, and access by name.
#include "rexx/runtime/variables.h"

#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/translate/program.h"

namespace ketra {

namespace {

// Scope ids are never reused, so a stale cache tag never matches (see the header).
constinit std::uint32_t g_next_scope_id = 1;

// The derived-name buffer: stem, ".", tail.
constinit char g_derived[kMaxDerivedName + 16];

int compare_key(const Value& name, const char* k, std::size_t n) {
    if (name.length != n) return name.length < n ? -1 : 1;
    return std::memcmp(chars_of(name), k, n);
}

VarNode* find_node(VarNode* root, const char* k, std::size_t n) {
    while (root) {
        int c = compare_key(root->name, k, n);
        if (c == 0) return root;
        root = c > 0 ? root->left : root->right;
    }
    return nullptr;
}

VarNode* make_node(const char* k, std::size_t n) {
    auto* node = static_cast<VarNode*>(allocate_zeroed(sizeof(VarNode)));
    node->name = make_value(k, n, true);
    node->value = kAbsentValue;
    return node;
}

VarNode* rotate_left(VarNode* a) {
    VarNode* b = a->right;
    a->right = b->left;
    b->left = a;
    return b;
}

VarNode* rotate_right(VarNode* a) {
    VarNode* b = a->left;
    a->left = b->right;
    b->right = a;
    return b;
}

// Rebalances after the left (dir -1) or right (dir +1) subtree of p grew by one level.
// Returns the new root of the subtree; *grew tells whether its height grew.
VarNode* grow(VarNode* p, int dir, bool* grew) {
    if (p->balance == -dir) {
        p->balance = 0;
        *grew = false;
        return p;
    }
    if (p->balance == 0) {
        p->balance = static_cast<std::int8_t>(dir);
        *grew = true;
        return p;
    }
    *grew = false;
    VarNode* c = dir < 0 ? p->left : p->right;
    if (c->balance == dir) {  // single rotation
        p->balance = c->balance = 0;
        return dir < 0 ? rotate_right(p) : rotate_left(p);
    }
    // Double rotation through the grandchild g.
    VarNode* g = dir < 0 ? c->right : c->left;
    if (dir < 0) {
        p->left = rotate_left(c);
    } else {
        p->right = rotate_right(c);
    }
    p->balance = g->balance == dir ? static_cast<std::int8_t>(-dir) : 0;
    c->balance = g->balance == -dir ? static_cast<std::int8_t>(dir) : 0;
    g->balance = 0;
    return dir < 0 ? rotate_right(p) : rotate_left(p);
}

VarNode* insert_at(VarNode* p, const char* k, std::size_t n, VarNode** out, bool* grew) {
    if (!p) {
        *out = make_node(k, n);
        *grew = true;
        return *out;
    }
    int c = compare_key(p->name, k, n);
    if (c == 0) {
        *out = p;
        *grew = false;
        return p;
    }
    if (c > 0) {
        p->left = insert_at(p->left, k, n, out, grew);
        return *grew ? grow(p, -1, grew) : p;
    }
    p->right = insert_at(p->right, k, n, out, grew);
    return *grew ? grow(p, +1, grew) : p;
}

VarNode* find_or_insert(VarNode*& root, const char* k, std::size_t n) {
    VarNode* node = find_node(root, k, n);
    if (node) return node;
    bool grew = false;
    root = insert_at(root, k, n, &node, &grew);
    return node;
}

void free_tree(VarNode* node) {
    while (node) {
        free_tree(node->left);
        VarNode* right = node->right;
        release(node->name);
        if (!(node->flags & kNodeExposed)) release(node->value);
        free_tree(node->tails);
        release(static_cast<void*>(node));
        node = right;
    }
}

inline VarNode* real(VarNode* node) {
    return (node && (node->flags & kNodeExposed)) ? node->target : node;
}

// Makes a value fit to be kept in a variable: its own buffer (or inline characters), in
// integer form when it is whole.
void prepare_for_store(Value& v) {
    if (!(v.flags & kInteger) && v.length > kInlineMax && !(v.flags & kOwned)) {
        Value copy = copy_value(v);
        v = copy;
    }
    if ((v.flags & kInteger) == 0 && v.length > 0 && v.length <= 10) {
        classify(v);
        if (v.flags & kWhole) to_integer_form(v);
    }
}

Program& program() { return *g_lib.current->program; }

std::string_view chars_view(const Value& v, NumberBuffer& b) { return view_of(v, b); }

// ---- symbol-table access ---------------------------------------------------------------------

// The node of a simple variable or stem symbol in the scope, found through the cache; with
// create, made when missing. Aliases are resolved.
VarNode* symbol_node(VariableScope* scope, SymbolEntry& e, bool create) {
    if (e.cache && e.tail == scope->id) return static_cast<VarNode*>(e.cache);
    VarNode*& root = e.kind == kSymbolStem ? scope->stems : scope->simple;
    const char* k = chars_of(e.name);
    VarNode* node = create ? find_or_insert(root, k, e.name.length)
                           : find_node(root, k, e.name.length);
    if (!node) return nullptr;
    if (e.kind == kSymbolStem) node->flags |= kNodeStem;
    node = real(node);
    e.cache = node;
    e.tail = scope->id;
    return node;
}

// The value of a simple variable for tail substitution: its string, or its name when unset.
std::string_view tail_part(VariableScope* scope, std::uint16_t sym, NumberBuffer& b) {
    SymbolEntry& e = program().symbols[sym];
    VarNode* node = symbol_node(scope, e, false);
    if (node && !is_absent(node->value)) return chars_view(node->value, b);
    return {chars_of(e.name), e.name.length};
}

// Builds the derived name of a compound symbol in g_derived; returns the stem's symbol index
// and sets the tail's start and length within the buffer. Error 30 when it is too long.
std::uint16_t derive_compound(VariableScope* scope, const SymbolEntry& e, std::size_t& stem_len,
                              std::size_t& total) {
    Program& p = program();
    if (e.tail == kTailTooMany) {
        // Resolved from the name by the rule for symbolic names.
        ResolvedName r;
        std::string_view name(chars_of(e.name), e.name.length);
        if (!resolve_symbolic_name(scope, name, r)) error(30);
        stem_len = r.stem.size();
        total = stem_len + r.tail.size();
        // The stem of a name with many parts has its own symbol only when the translator
        // entered one; find it by name among the symbols (rare path).
        for (std::size_t i = 0; i < p.symbols.size(); ++i) {
            const Value& n = p.symbols[i].name;
            if (p.symbols[i].kind == kSymbolStem && n.length == stem_len &&
                std::memcmp(chars_of(n), g_derived, stem_len) == 0)
                return static_cast<std::uint16_t>(i);
        }
        return 0xFFFF;
    }
    const Value& d = p.literals[e.tail];
    const auto* items = reinterpret_cast<const std::uint8_t*>(chars_of(d));
    std::size_t count = d.length / 3;
    std::uint16_t stem = static_cast<std::uint16_t>(items[1] | (items[2] << 8));
    const Value& sn = p.symbols[stem].name;
    std::size_t n = sn.length;
    std::memcpy(g_derived, chars_of(sn), n);
    stem_len = n;
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint8_t* it = items + 3 * i;
        std::uint16_t idx = static_cast<std::uint16_t>(it[1] | (it[2] << 8));
        NumberBuffer b;
        std::string_view part;
        if (it[0] == 3) {
            part = tail_part(scope, idx, b);
        } else {
            const Value& lit = p.literals[idx];
            part = {chars_of(lit), lit.length};
        }
        if (i > 1) {
            if (n + 1 > kMaxDerivedName) error(30);
            g_derived[n++] = '.';
        }
        if (n + part.size() > kMaxDerivedName) error(30);
        std::memcpy(g_derived + n, part.data(), part.size());
        n += part.size();
    }
    total = n;
    return stem;
}

VarNode* stem_node_by_name(VariableScope* scope, std::string_view stem, bool create) {
    VarNode* node = create ? find_or_insert(scope->stems, stem.data(), stem.size())
                           : find_node(scope->stems, stem.data(), stem.size());
    if (node) node->flags |= kNodeStem;
    return real(node);
}

// The stem node of a compound symbol's derived name (just built in g_derived).
VarNode* compound_stem(VariableScope* scope, std::uint16_t stem, std::size_t stem_len,
                       bool create) {
    if (stem != 0xFFFF) return symbol_node(scope, program().symbols[stem], create);
    return stem_node_by_name(scope, {g_derived, stem_len}, create);
}

VarNode* tail_node(VarNode* stem, std::string_view tail, bool create) {
    VarNode* node = create ? find_or_insert(stem->tails, tail.data(), tail.size())
                           : find_node(stem->tails, tail.data(), tail.size());
    return real(node);
}

void set_value(VarNode* node, Value v) {
    prepare_for_store(v);
    release(node->value);
    node->value = v;
    node->flags &= static_cast<std::uint8_t>(~kNodeDropped);
}

void drop_node(VarNode* node) {
    set_value(node, kAbsentValue);
    node->flags |= kNodeDropped;
}

// Assigning to a stem (or dropping it) discards its compound variables. Aliases that point
// into this tree can only live in scopes that see the stem through a local stem of their own,
// never through this one, so none is left dangling.
void store_into_stem(VarNode* stem, Value v) {
    free_tree(stem->tails);
    stem->tails = nullptr;
    set_value(stem, v);
}

// A compound's value: its own, else the stem's default unless it was dropped on its own.
const Value* compound_value(VarNode* stem, VarNode* node) {
    if (node && !is_absent(node->value)) return &node->value;
    if ((!node || !(node->flags & kNodeDropped)) && !is_absent(stem->value)) return &stem->value;
    return nullptr;
}

// Splits the value of variable sym into blank-separated words and calls f on each.
template <class F>
void for_each_word(Activation* a, std::uint16_t sym, F&& f) {
    Value list;
    if (!var_fetch(a, sym, list)) {
        release(list);
        return;
    }
    NumberBuffer b;
    std::string_view s = view_of(list, b);
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ') ++j;
        if (j > i) f(s.substr(i, j - i));
        i = j;
    }
    release(list);
}

bool symbol_char(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '!' || c == '#' || c == '$' || c == '.' || c == '?' || c == '@' || c == '_';
}

void set_kind(ResolvedName& out, std::size_t total) {
    std::string_view all(g_derived, total);
    std::size_t dot = all.find('.');
    if (dot == std::string_view::npos) {
        out.kind = kNameSimple;
        out.stem = all;
        out.tail = {};
    } else {
        out.kind = dot + 1 == total ? kNameStem : kNameCompound;
        out.stem = all.substr(0, dot + 1);
        out.tail = all.substr(dot + 1);
    }
}

// Creates in `scope` an alias of the caller's variable named n.
void expose_name(VariableScope* scope, const ResolvedName& n) {
    VariableScope* caller = scope->caller;
    if (!caller) return;
    if (n.kind == kNameCompound) {
        VarNode* cstem = stem_node_by_name(caller, n.stem, true);
        VarNode* target = tail_node(cstem, n.tail, true);
        VarNode* lstem = find_or_insert(scope->stems, n.stem.data(), n.stem.size());
        lstem->flags |= kNodeStem;
        if (lstem->flags & kNodeExposed) return;  // the whole stem is shared already
        VarNode* alias = find_or_insert(lstem->tails, n.tail.data(), n.tail.size());
        if (!(alias->flags & kNodeExposed)) release(alias->value);
        alias->flags |= kNodeExposed;
        alias->target = target;
        alias->value = kAbsentValue;
        return;
    }
    VarNode*& croot = n.kind == kNameStem ? caller->stems : caller->simple;
    VarNode* target = real(find_or_insert(croot, n.stem.data(), n.stem.size()));
    if (n.kind == kNameStem) target->flags |= kNodeStem;
    VarNode*& lroot = n.kind == kNameStem ? scope->stems : scope->simple;
    VarNode* alias = find_or_insert(lroot, n.stem.data(), n.stem.size());
    if (!(alias->flags & kNodeExposed)) {
        release(alias->value);
        free_tree(alias->tails);
        alias->tails = nullptr;
    }
    alias->flags |= kNodeExposed | (n.kind == kNameStem ? kNodeStem : 0);
    alias->target = target;
    alias->value = kAbsentValue;
}

void invalidate_cache(Program& p, std::uint16_t sym) {
    SymbolEntry& e = p.symbols[sym];
    if (e.kind != kSymbolCompound) e.cache = nullptr;
}

bool visit_tree(VarNode* node, std::string_view stem, bool simple, VarVisitor visit,
                void* context) {
    for (; node; node = node->right) {
        if (!visit_tree(node->left, stem, simple, visit, context)) return false;
        VarNode* r = real(node);
        if (simple) {
            if (r && !is_absent(r->value) &&
                !visit({chars_of(node->name), node->name.length}, {}, r->value, context))
                return false;
        } else if (r && !is_absent(r->value)) {
            if (!visit(stem, {chars_of(node->name), node->name.length}, r->value, context))
                return false;
        }
    }
    return true;
}

bool visit_stems(VarNode* node, VarVisitor visit, void* context) {
    for (; node; node = node->right) {
        if (!visit_stems(node->left, visit, context)) return false;
        VarNode* r = real(node);
        if (r && !visit_tree(r->tails, {chars_of(node->name), node->name.length}, false, visit,
                             context))
            return false;
    }
    return true;
}

}  // namespace

// ---- scopes -----------------------------------------------------------------------------------

VariableScope* new_scope(VariableScope* caller) {
    auto* s = static_cast<VariableScope*>(allocate_zeroed(sizeof(VariableScope)));
    s->id = g_next_scope_id++;
    if (g_next_scope_id == 0) g_next_scope_id = 1;
    s->caller = caller;
    return s;
}

void destroy_scope(VariableScope* scope) {
    if (!scope) return;
    free_tree(scope->simple);
    free_tree(scope->stems);
    release(static_cast<void*>(scope));
}

// ---- names given as strings -------------------------------------------------------------------

bool resolve_direct_name(std::string_view name, ResolvedName& out) {
    if (name.empty() || name.size() > kMaxDerivedName) return false;
    unsigned char first = static_cast<unsigned char>(name[0]);
    if ((first >= '0' && first <= '9') || first == '.') return false;
    std::size_t dot = name.find('.');
    std::size_t head = dot == std::string_view::npos ? name.size() : dot;
    for (std::size_t i = 0; i < head; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!symbol_char(c) || (c >= 'a' && c <= 'z')) return false;
    }
    std::memcpy(g_derived, name.data(), name.size());
    set_kind(out, name.size());
    return true;
}

bool resolve_symbolic_name(VariableScope* scope, std::string_view name, ResolvedName& out) {
    if (name.empty() || name.size() > kMaxDerivedName) return false;
    char folded[kMaxDerivedName];
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!symbol_char(c)) return false;
        folded[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c);
    }
    std::string_view f(folded, name.size());
    std::size_t dot = f.find('.');
    if (dot == std::string_view::npos || dot + 1 == f.size() || !scope) {
        std::memcpy(g_derived, folded, f.size());
        set_kind(out, f.size());
        return true;
    }
    // Substitute each tail part: literal when it begins with a digit (or is empty), else the
    // value of the simple variable of that name when it has one.
    std::size_t n = dot + 1;
    char built[kMaxDerivedName + 1];
    std::memcpy(built, folded, n);
    std::size_t i = dot + 1;
    bool first_part = true;
    while (true) {
        std::size_t j = f.find('.', i);
        if (j == std::string_view::npos) j = f.size();
        std::string_view part = f.substr(i, j - i);
        if (!first_part) {
            if (n + 1 > kMaxDerivedName) return false;
            built[n++] = '.';
        }
        first_part = false;
        std::string_view sub = part;
        NumberBuffer b;
        if (!part.empty() && !(part[0] >= '0' && part[0] <= '9')) {
            VarNode* node = find_node(scope->simple, part.data(), part.size());
            node = real(node);
            if (node && !is_absent(node->value)) sub = view_of(node->value, b);
        }
        if (n + sub.size() > kMaxDerivedName) return false;
        std::memcpy(built + n, sub.data(), sub.size());
        n += sub.size();
        if (j == f.size()) break;
        i = j + 1;
    }
    std::memcpy(g_derived, built, n);
    set_kind(out, n);
    return true;
}

bool fetch_by_name(VariableScope* scope, const ResolvedName& n, Value& out) {
    VarNode* node = nullptr;
    if (n.kind == kNameSimple) {
        node = real(find_node(scope->simple, n.stem.data(), n.stem.size()));
    } else {
        VarNode* stem = stem_node_by_name(scope, n.stem, false);
        if (stem && n.kind == kNameCompound) {
            const Value* v = compound_value(stem, tail_node(stem, n.tail, false));
            if (v) {
                out = borrow(*v);
                return true;
            }
        } else {
            node = stem;
        }
    }
    if (node && !is_absent(node->value)) {
        out = borrow(node->value);
        return true;
    }
    std::string name(n.stem);
    name += n.tail;
    out = make_value(name.data(), name.size(), true);
    return false;
}

void store_by_name(VariableScope* scope, const ResolvedName& n, const Value& v) {
    Value copy = copy_value(v);
    // Names given as strings are not cached; drop cache entries that might point elsewhere.
    if (n.kind == kNameSimple) {
        set_value(real(find_or_insert(scope->simple, n.stem.data(), n.stem.size())), copy);
        return;
    }
    VarNode* stem = stem_node_by_name(scope, n.stem, true);
    if (n.kind == kNameStem) {
        store_into_stem(stem, copy);
    } else {
        set_value(tail_node(stem, n.tail, true), copy);
    }
}

void drop_by_name(VariableScope* scope, const ResolvedName& n) {
    if (n.kind == kNameSimple) {
        VarNode* node = real(find_node(scope->simple, n.stem.data(), n.stem.size()));
        if (node) drop_node(node);
        return;
    }
    VarNode* stem = stem_node_by_name(scope, n.stem, false);
    if (!stem) return;
    if (n.kind == kNameStem) {
        store_into_stem(stem, kAbsentValue);
    } else {
        drop_node(tail_node(stem, n.tail, true));
    }
}

void enumerate_variables(VariableScope* scope, VarVisitor visit, void* context) {
    if (!scope) return;
    if (!visit_tree(scope->simple, {}, true, visit, context)) return;
    visit_stems(scope->stems, visit, context);
}

// ---- the interpreter's ports --------------------------------------------------------------

void vars_open_program(Activation* a) { a->scope = new_scope(nullptr); }

void vars_close(Activation* a) {
    destroy_scope(a->scope);
    a->scope = nullptr;
}

void vars_hand_back(Activation* callee, Activation* caller) { caller->scope = callee->scope; }

bool var_fetch(Activation* a, std::uint16_t sym, Value& out) {
    SymbolEntry& e = program().symbols[sym];
    VariableScope* scope = a->scope;
    if (e.kind != kSymbolCompound) {
        VarNode* node = symbol_node(scope, e, false);
        if (node && !is_absent(node->value)) {
            out = borrow(node->value);
            return true;
        }
        out = borrow(e.name);
        return false;
    }
    std::size_t stem_len, total;
    std::uint16_t stem_sym = derive_compound(scope, e, stem_len, total);
    VarNode* stem = compound_stem(scope, stem_sym, stem_len, false);
    if (stem) {
        VarNode* node = tail_node(stem, {g_derived + stem_len, total - stem_len}, false);
        if (const Value* v = compound_value(stem, node)) {
            out = borrow(*v);
            return true;
        }
    }
    out = make_value(g_derived, total, true);
    return false;
}

void var_store(Activation* a, std::uint16_t sym, Value v) {
    SymbolEntry& e = program().symbols[sym];
    VariableScope* scope = a->scope;
    if (e.kind == kSymbolSimple) {
        set_value(symbol_node(scope, e, true), v);
        return;
    }
    if (e.kind == kSymbolStem) {
        store_into_stem(symbol_node(scope, e, true), v);
        return;
    }
    std::size_t stem_len, total;
    std::uint16_t stem_sym = derive_compound(scope, e, stem_len, total);
    VarNode* stem = compound_stem(scope, stem_sym, stem_len, true);
    set_value(tail_node(stem, {g_derived + stem_len, total - stem_len}, true), v);
}

void var_drop(Activation* a, std::uint16_t sym) {
    SymbolEntry& e = program().symbols[sym];
    VariableScope* scope = a->scope;
    if (e.kind == kSymbolSimple) {
        if (VarNode* node = symbol_node(scope, e, false)) drop_node(node);
        return;
    }
    if (e.kind == kSymbolStem) {
        if (VarNode* node = symbol_node(scope, e, false)) store_into_stem(node, kAbsentValue);
        return;
    }
    std::size_t stem_len, total;
    std::uint16_t stem_sym = derive_compound(scope, e, stem_len, total);
    VarNode* stem = compound_stem(scope, stem_sym, stem_len, true);
    drop_node(tail_node(stem, {g_derived + stem_len, total - stem_len}, true));
}

void var_drop_list(Activation* a, std::uint16_t sym) {
    for_each_word(a, sym, [&](std::string_view word) {
        ResolvedName n;
        if (!resolve_symbolic_name(a->scope, word, n)) error(30);
        drop_by_name(a->scope, n);
    });
}

void var_procedure(Activation* a) {
    VariableScope* caller = a->caller ? a->caller->scope : a->scope;
    a->scope = new_scope(caller);
}

void var_expose(Activation* a, std::uint16_t sym) {
    Program& p = program();
    SymbolEntry& e = p.symbols[sym];
    ResolvedName n;
    if (e.kind == kSymbolCompound) {
        std::string_view name(chars_of(e.name), e.name.length);
        if (!resolve_symbolic_name(a->scope, name, n)) error(30);
    } else {
        std::string_view name(chars_of(e.name), e.name.length);
        std::memcpy(g_derived, name.data(), name.size());
        set_kind(n, name.size());
    }
    expose_name(a->scope, n);
    invalidate_cache(p, sym);
}

void var_expose_list(Activation* a, std::uint16_t sym) {
    var_expose(a, sym);
    Program& p = program();
    for_each_word(a, sym, [&](std::string_view word) {
        ResolvedName n;
        if (!resolve_symbolic_name(a->scope, word, n)) error(30);
        expose_name(a->scope, n);
    });
    // Exposed names may have cached nodes of this scope: forget them all.
    for (SymbolEntry& s : p.symbols)
        if (s.kind != kSymbolCompound && s.tail == a->scope->id) s.cache = nullptr;
}

Value* var_slot(Activation* a, std::uint16_t sym) {
    SymbolEntry& e = program().symbols[sym];
    if (e.kind != kSymbolSimple) return nullptr;
    VarNode* node = symbol_node(a->scope, e, false);
    if (!node || is_absent(node->value)) return nullptr;
    return &node->value;
}

}  // namespace ketra
