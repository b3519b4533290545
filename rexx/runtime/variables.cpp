// The variable pool: AVL trees of variables, scopes and their ids, the symbol-table cache, tail
// substitution, DROP, PROCEDURE and EXPOSE, access by name, enumeration, and the interpreter's
// variable ports (interp_ports.h).
#include "rexx/runtime/variables.h"

#include <algorithm>
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/number.h"
#include "rexx/runtime/piece_store.h"
#include "rexx/translate/program.h"

namespace ketra {

namespace {

// Scope ids grow; see the header for what happens when they wrap.
constinit std::uint32_t g_next_scope_id = 1;
constinit VariableScope* g_live_scopes = nullptr;

// The derived-name buffer: stem, ".", tail.
constinit char g_derived[kMaxDerivedName + 16];

// Outcome of validating a name given as a string.
enum NameCheck : int { kNameOk = 0, kNameTooLong = 30, kNameInvalid = 46 };

// A search key: the name and its head word (see VarNode::head).
struct Key {
    const char* p;
    std::size_t n;
    std::uint64_t head;
};

// Built from fixed-size loads (two overlapping ones for 4 to 7 characters): names are mostly
// short and this runs on every lookup.
inline std::uint64_t head_of(const char* k, std::size_t n) {
    if (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, k, 8);
        return __builtin_bswap64(w);
    }
    if (n >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, k, 4);
        std::memcpy(&last, k + n - 4, 4);
        return (static_cast<std::uint64_t>(__builtin_bswap32(first)) << 32) |
               (static_cast<std::uint64_t>(__builtin_bswap32(last)) << (64 - 8 * n));
    }
    if (n == 0) return 0;
    auto at = [k](std::size_t i) {
        return static_cast<std::uint64_t>(static_cast<unsigned char>(k[i])) << (56 - 8 * i);
    };
    return at(0) | at(n / 2) | at(n - 1);
}

Key key_of(const char* k, std::size_t n) {
    return Key{k, n, head_of(k, n)};
}

// Orders by length, then by the bytes taken as unsigned.
[[gnu::always_inline]] inline int compare_key(const VarNode* node, const Key& k) {
    std::size_t n = node->name.length;
    if (n != k.n) return n < k.n ? -1 : 1;
    if (node->head != k.head) return node->head < k.head ? -1 : 1;
    return n <= 8 ? 0 : std::memcmp(chars_of(node->name) + 8, k.p + 8, n - 8);
}

VarNode* find_key(VarNode* root, const Key& k) {
    while (root) {
        int c = compare_key(root, k);
        if (c == 0) return root;
        root = c > 0 ? root->left : root->right;
    }
    return nullptr;
}

VarNode* find_node(VarNode* root, const char* k, std::size_t n) {
    return find_key(root, key_of(k, n));
}

// Nodes come from chunks that the process keeps, through a free list: a stem of many elements
// costs one allocation per chunk instead of one per element. All variable work runs under the
// ApiLock, which serialises the list. The sanitizer build allocates each node on its own, so
// that a node used after its release is still caught.
#if defined(__SANITIZE_ADDRESS__)
VarNode* new_node() {
    return static_cast<VarNode*>(allocate_zeroed(sizeof(VarNode)));
}
void free_node(VarNode* node) {
    release(static_cast<void*>(node));
}
#else
struct NodeChunk {
    NodeChunk* next;
    VarNode nodes[255];
};
constinit VarNode* g_free_nodes = nullptr;
constinit NodeChunk* g_node_chunks = nullptr;  // kept reachable for the life of the process

VarNode* new_node() {
    if (!g_free_nodes) {
        auto* chunk = static_cast<NodeChunk*>(allocate(sizeof(NodeChunk)));
        chunk->next = g_node_chunks;
        g_node_chunks = chunk;
        for (VarNode& node : chunk->nodes) {
            node.left = g_free_nodes;
            g_free_nodes = &node;
        }
    }
    VarNode* node = g_free_nodes;
    g_free_nodes = node->left;
    *node = VarNode{};
    return node;
}

void free_node(VarNode* node) {
    node->left = g_free_nodes;
    g_free_nodes = node;
}
#endif

// The number of decimal digits of m.
inline std::size_t digits_of(std::uint32_t m) {
    return m < 10000        ? (m < 100 ? (m < 10 ? 1 : 2) : (m < 1000 ? 3 : 4))
           : m < 1000000    ? (m < 100000 ? 5 : 6)
           : m < 100000000  ? (m < 10000000 ? 7 : 8)
           : m < 1000000000 ? 9
                            : 10;
}

// Writes the decimal digits of m backwards, ending just before `end`.
inline void put_digits(char* end, std::uint32_t m) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* p = end;
    while (m >= 100) {
        const std::uint32_t r = m % 100;
        m /= 100;
        *--p = kPairs[2 * r + 1];
        *--p = kPairs[2 * r];
    }
    if (m >= 10) {
        *--p = kPairs[2 * m + 1];
        *--p = kPairs[2 * m];
    } else {
        *--p = static_cast<char>('0' + m);
    }
}

VarNode* make_node(const char* k, std::size_t n) {
    // Left unclassified: a node's name is only ever read as characters.
    ValueHolder name;  // freed again when the node cannot be had
    if (n <= kInlineMax) {
        // Most names are short: they go inline by fixed-size moves (two overlapping ones for 4
        // to 8 characters, three single ones for 1 to 3), with no call.
        Value& v = name.get();
        v.length = static_cast<std::uint32_t>(n);
        v.flags = 0;
        char* out = v.data.chars;
        if (n >= 4) {
            std::uint32_t first, last;
            std::memcpy(&first, k, 4);
            std::memcpy(&last, k + n - 4, 4);
            std::memcpy(out, &first, 4);
            std::memcpy(out + n - 4, &last, 4);
        } else if (n) {
            out[0] = k[0];
            out[n / 2] = k[n / 2];
            out[n - 1] = k[n - 1];
        }
    } else {
        std::memcpy(start_string(name.get(), n), k, n);
    }
    VarNode* node = new_node();
    node->name = name.take();
    node->head = head_of(k, n);
    node->value = kAbsentValue;
    return node;
}

// Frees one node: its name and, unless it is an alias, its value and (a stem's) tails.
void free_tails(VarNode* stem);
void free_tree(VarNode* node);
inline void free_one(VarNode* node) {
    release(node->name);
    if (!(node->flags & kNodeExposed)) {
        release(node->value);
        if (node->tails || node->index || node->numbers) free_tails(node);
    }
    free_node(node);
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

// Finds the node of (k, n), or inserts a new one: one descent that records the path, then the
// balance factors are mended on the way back up, stopping where the subtree stopped growing.
// With `rightmost` set on entry (the last insertion went to the right end, as when an array is
// filled in order), the key is first tried against the largest node, reached along the right
// edge without comparisons; on return after an insertion, it tells whether the new node went
// to the right end.
VarNode* find_or_insert(VarNode*& root, const char* k, std::size_t n, bool* rightmost = nullptr) {
    // An AVL tree of N nodes is at most about 1.44 log2 N high; 96 levels is beyond any memory.
    constexpr int kMaxHeight = 96;
    VarNode** links[kMaxHeight];
    signed char dirs[kMaxHeight];
    int depth = 0;
    Key key = key_of(k, n);
    VarNode** link = &root;
    bool all_right = true;
    if (rightmost && *rightmost && root) {
        // Down the right edge, remembering only the link of the lowest node that leans either
        // way: a new last node changes the balance of the nodes below it (each then leans
        // right) and at most rebalances that one.
        VarNode** lean = nullptr;
        VarNode* p = root;
        while (true) {
            if (p->balance != 0) lean = link;
            if (!p->right) break;
            link = &p->right;
            p = p->right;
        }
        int c = compare_key(p, key);
        if (c == 0) return p;
        if (c < 0) {
            VarNode* fresh = make_node(k, n);
            p->right = fresh;
            for (VarNode* q = lean ? (*lean)->right : root; q != fresh; q = q->right)
                q->balance = +1;
            if (lean) {
                bool grew = false;
                *lean = grow(*lean, +1, &grew);
            }
            return fresh;  // *rightmost stays set
        }
        link = &root;  // not beyond the end: the ordinary descent
    }
    while (VarNode* p = *link) {
        int c = compare_key(p, key);
        if (c == 0) return p;
        if (depth == kMaxHeight) internal_error(4);
        links[depth] = link;
        dirs[depth++] = c > 0 ? -1 : +1;
        all_right = all_right && c < 0;
        link = c > 0 ? &p->left : &p->right;
    }
    // The node is made before the tree changes, so a failed allocation leaves it intact.
    VarNode* fresh = make_node(k, n);
    *link = fresh;
    if (rightmost) *rightmost = all_right;
    while (depth-- > 0) {
        bool grew = false;
        *links[depth] = grow(*links[depth], dirs[depth], &grew);
        if (!grew) break;
    }
    return fresh;
}

// ---- the tail index ---------------------------------------------------------------------------
//
// The compound variables of a stem with many of them are found through an open-addressing
// hash table of their nodes; the tree stays the order of enumeration. While a stem has an
// index, every tail node of its tree is in it (tail nodes are only ever freed all together);
// when the table cannot be had or grown, the tree serves alone.

}  // namespace

// The header of the table; its 2^bits slots follow it in the same block.
struct TailIndex {
    std::uint32_t bits;
    std::uint32_t count;  // nodes entered
    VarNode** slots() { return reinterpret_cast<VarNode**>(this + 1); }
    VarNode* const* slots() const { return reinterpret_cast<VarNode* const*>(this + 1); }
};
static_assert(sizeof(TailIndex) % alignof(VarNode*) == 0);

namespace {

TailIndex* new_index(std::uint32_t bits) {
    std::size_t size = sizeof(TailIndex) + (std::size_t{1} << bits) * sizeof(VarNode*);
    auto* x = static_cast<TailIndex*>(try_allocate_zeroed(size));
    if (x) x->bits = bits;
    return x;
}

inline std::size_t slot_of(const TailIndex* x, const Key& k) {
    std::uint64_t h = k.head ^ (k.n * 0x9E3779B97F4A7C15ULL);
    for (std::size_t i = 8; i < k.n; ++i)
        h = (h ^ static_cast<unsigned char>(k.p[i])) * 0x100000001B3ULL;
    return static_cast<std::size_t>((h * 0x9E3779B97F4A7C15ULL) >> (64 - x->bits));
}

void put_slot(TailIndex* x, VarNode* node) {
    Key k{chars_of(node->name), node->name.length, node->head};
    const std::size_t mask = (std::size_t{1} << x->bits) - 1;
    std::size_t i = slot_of(x, k);
    while (x->slots()[i]) i = (i + 1) & mask;
    x->slots()[i] = node;
    ++x->count;
}

void enter_tail(VarNode* stem, VarNode* node) {
    TailIndex* x = stem->index;
    if (!x) return;
    if ((x->count + 1) * 2 > (std::size_t{1} << x->bits)) {
        TailIndex* bigger = new_index(x->bits + 1);
        if (bigger) {
            for (std::size_t i = 0; i < (std::size_t{1} << x->bits); ++i)
                if (x->slots()[i]) put_slot(bigger, x->slots()[i]);
        }
        release(static_cast<void*>(x));
        stem->index = x = bigger;
        if (!x) return;  // the tree serves alone
    }
    put_slot(x, node);
}

std::size_t count_nodes(const VarNode* node) {
    std::size_t n = 0;
    for (; node; node = node->right) n += 1 + count_nodes(node->left);
    return n;
}

void enter_tree(TailIndex* x, VarNode* node) {
    for (; node; node = node->right) {
        enter_tree(x, node->left);
        put_slot(x, node);
    }
}

// Builds the index of a stem's tails (nothing when the table cannot be had).
void build_index(VarNode* stem) {
    std::size_t n = count_nodes(stem->tails);
    std::uint32_t bits = 4;
    while ((std::size_t{1} << bits) < 2 * (n + 1)) ++bits;
    stem->index = new_index(bits);
    if (stem->index) enter_tree(stem->index, stem->tails);
}

// ---- whole-number tails ----------------------------------------------------------------------
//
// A tail that is a plain whole number (0 to 999999999 written without sign or leading zero, the
// form a whole-number value takes) is not kept in the tree but in an open-addressing table keyed
// by the number: the elements of an array are found and added without forming or comparing
// names and without rebalancing, and a tail variable in integer form is looked up as it is. Its
// nodes are never freed one by one, only all together with the stem's tails. Such a node keeps
// its tail in integer form as its name (the characters are written only for an enumeration,
// see name_of). Ordered walks merge them with the tree through a snapshot sorted by number
// (the same order as by length, then bytes), taken afresh after the table grew.

}  // namespace

namespace {

// The number of a tail in plain whole-number form; false for any other tail.
inline bool number_tail(const char* p, std::size_t n, std::uint32_t& out) {
    if (n - 1 >= 9) return false;  // also n == 0
    unsigned d = static_cast<unsigned char>(p[0]) - static_cast<unsigned>('0');
    if (d > 9 || (d == 0 && n > 1)) return false;
    std::uint32_t x = d;
    for (std::size_t i = 1; i < n; ++i) {
        d = static_cast<unsigned char>(p[i]) - static_cast<unsigned>('0');
        if (d > 9) return false;
        x = x * 10 + d;
    }
    out = x;
    return true;
}

void put_number(NumberTails* x, VarNode* node) {
    const std::size_t mask = (std::size_t{1} << x->bits) - 1;
    std::size_t i = number_slot(x->bits, static_cast<std::uint32_t>(node->name.data.integer));
    while (x->slots()[i]) i = (i + 1) & mask;
    x->slots()[i] = node;
    ++x->count;
}

// Makes room for one more node (a new or bigger table, error 5 when it cannot be had); the old
// table is left as it was until the new one is ready.
void reserve_number(VarNode* stem) {
    NumberTails* x = stem->numbers;
    if (x && (x->count + 1) * 2 <= (std::size_t{1} << x->bits)) return;
    const std::uint32_t bits = x ? x->bits + 1 : 4;
    auto* bigger = static_cast<NumberTails*>(
        allocate_zeroed(sizeof(NumberTails) + (std::size_t{1} << bits) * sizeof(VarNode*)));
    bigger->bits = bits;
    if (x) {
        for (VarNode* node = x->newest; node; node = node->left) put_number(bigger, node);
        bigger->newest = x->newest;
        bigger->sorted = x->sorted;
        bigger->sorted_count = x->sorted_count;
        release(static_cast<void*>(x));
    }
    stem->numbers = bigger;
}

// The node of number tail k under the stem, made when missing.
VarNode* find_or_insert_number(VarNode* stem, std::uint32_t k) {
    if (VarNode* hit = find_number(stem, k)) return hit;
    reserve_number(stem);
    VarNode* node = new_node();
    node->name = integer_constant(static_cast<std::int32_t>(k));
    node->value = kAbsentValue;
    NumberTails* x = stem->numbers;
    put_number(x, node);
    node->left = x->newest;
    x->newest = node;
    return node;
}

void free_numbers(VarNode* stem) {
    NumberTails* x = stem->numbers;
    if (!x) return;
    stem->numbers = nullptr;
    for (VarNode* node = x->newest; node;) {
        VarNode* older = node->left;
        free_one(node);
        node = older;
    }
    release_if(static_cast<void*>(x->sorted));
    release(static_cast<void*>(x));
}

// The name of a node: its characters, or the decimal form of a number node's tail.
inline std::string_view name_of(const VarNode* node, NumberBuffer& b) {
    return view_of(node->name, b);
}

// compare_key for a number node.
int compare_number(const VarNode* node, const Key& k) {
    NumberBuffer b;
    std::string_view name = name_of(node, b);
    if (name.size() != k.n) return name.size() < k.n ? -1 : 1;
    return std::memcmp(name.data(), k.p, k.n);
}

// The number node that comes first after key in enumeration order (the first of all when key
// is null). Without memory for the snapshot every node is looked at.
VarNode* number_after(const VarNode* stem, const Key* key) {
    NumberTails* x = stem->numbers;
    if (!x || x->count == 0) return nullptr;
    if (!x->sorted || x->sorted_count != x->count) {
        release_if(static_cast<void*>(x->sorted));
        x->sorted_count = 0;
        x->sorted = static_cast<VarNode**>(try_allocate_zeroed(x->count * sizeof(VarNode*)));
        if (x->sorted) {
            for (VarNode* node = x->newest; node; node = node->left)
                x->sorted[x->sorted_count++] = node;
            std::sort(x->sorted, x->sorted + x->sorted_count,
                      [](const VarNode* a, const VarNode* b) {
                          return a->name.data.integer < b->name.data.integer;
                      });
        }
    }
    if (x->sorted) {
        VarNode** end = x->sorted + x->sorted_count;
        if (!key) return x->sorted[0];
        VarNode** at = std::partition_point(
            x->sorted, end, [key](const VarNode* node) { return compare_number(node, *key) <= 0; });
        return at == end ? nullptr : *at;
    }
    VarNode* best = nullptr;
    for (VarNode* node = x->newest; node; node = node->left) {
        if ((!key || compare_number(node, *key) > 0) &&
            (!best || node->name.data.integer < best->name.data.integer))
            best = node;
    }
    return best;
}

// A tree search this deep (about 256 tails or more) makes the index; the stores of a stem
// that is only being filled keep to the tree.
constexpr int kIndexDepth = 8;

VarNode* find_tail(VarNode* stem, const Key& k) {
    if (std::uint32_t number; number_tail(k.p, k.n, number)) return find_number(stem, number);
    TailIndex* x = stem->index;
    if (!x) {
        int depth = 0;
        VarNode* found = nullptr;
        for (VarNode* node = stem->tails; node; ++depth) {
            int c = compare_key(node, k);
            if (c == 0) {
                found = node;
                break;
            }
            node = c > 0 ? node->left : node->right;
        }
        if (depth > kIndexDepth) build_index(stem);
        return found;
    }
    const std::size_t mask = (std::size_t{1} << x->bits) - 1;
    for (std::size_t i = slot_of(x, k);; i = (i + 1) & mask) {
        VarNode* c = x->slots()[i];
        if (!c) return nullptr;
        if (c->head == k.head && compare_key(c, k) == 0) return c;
    }
}

// The tail node of (k, n) under the stem, made when missing.
VarNode* find_or_insert_tail(VarNode* stem, const char* k, std::size_t n) {
    if (std::uint32_t number; number_tail(k, n, number)) return find_or_insert_number(stem, number);
    if (stem->index) {
        if (VarNode* hit = find_tail(stem, key_of(k, n))) return hit;
    }
    bool rightmost = stem->flags & kNodeAscending;
    VarNode* node = find_or_insert(stem->tails, k, n, &rightmost);
    stem->flags = static_cast<std::uint8_t>(rightmost ? stem->flags | kNodeAscending
                                                      : stem->flags & ~kNodeAscending);
    if (stem->index) enter_tail(stem, node);
    return node;
}

void free_tails(VarNode* stem) {
    free_tree(stem->tails);
    stem->tails = nullptr;
    free_numbers(stem);
    if (stem->index) release(static_cast<void*>(stem->index));
    stem->index = nullptr;
}

void free_tree(VarNode* node) {
    while (node) {
        free_tree(node->left);
        VarNode* right = node->right;
        free_one(node);
        node = right;
    }
}

inline VarNode* real(VarNode* node) {
    return (node && (node->flags & kNodeExposed)) ? node->target : node;
}

// Makes a value fit to be kept in a variable: its own buffer (or inline characters), in
// integer form when it is whole.
//
// The whole-number test is made here on the characters (an optional "-", then 1 to 9 digits
// without a leading zero, as the classification defines a whole number); a string that
// cannot begin a number is marked classified (as neither) without the full classification.
inline void prepare_for_store(Value& v) {
    if (v.flags & kInteger) return;  // the commonest value, kept as it is
    if (v.length > kInlineMax && !(v.flags & kOwned)) v = copy_value(v);
    settle_short(v);
}

Program& program() {
    return *g_lib.current->program;
}

// ---- scope ids and the cache --------------------------------------------------------------

void clear_cache(Program* p) {
    if (!p) return;
    for (SymbolEntry& e : p->symbols)
        if (e.kind != kSymbolCompound) {
            e.cache = nullptr;
            e.tail = 0;
        }
}

std::uint32_t take_scope_id() {
    if (g_next_scope_id == 0) {
        // The counter wrapped: number the live scopes afresh and forget every cached node, so
        // that no id of a scope still alive is handed out again.
        std::uint32_t id = 1;
        for (VariableScope* s = g_live_scopes; s; s = s->next_live) {
            s->id = id++;
            clear_cache(s->program);
        }
        g_next_scope_id = id;
    }
    return g_next_scope_id++;
}

// ---- symbol-table access ----------------------------------------------------------------------

VarNode* symbol_node_slow(VariableScope* scope, SymbolEntry& e, bool create) {
    VarNode*& root = e.kind == kSymbolStem ? scope->stems : scope->simple;
    const char* k = chars_of(e.name);
    VarNode* node =
        create ? find_or_insert(root, k, e.name.length) : find_node(root, k, e.name.length);
    if (!node) return nullptr;
    if (e.kind == kSymbolStem) node->flags |= kNodeStem;
    node = real(node);
    e.cache = node;
    e.tail = scope->id;
    return node;
}

// The node of a simple variable or stem symbol in the scope, found through the cache; with
// create, made when missing. Aliases are resolved. A cached local node that EXPOSE has since
// made an alias is followed to its target.
inline VarNode* symbol_node(VariableScope* scope, SymbolEntry& e, bool create) {
    if (e.cache && e.tail == scope->id) {
        auto* node = static_cast<VarNode*>(e.cache);
        if (node->flags & kNodeExposed) e.cache = node = node->target;
        return node;
    }
    return symbol_node_slow(scope, e, create);
}

VarNode* stem_node_by_name(VariableScope* scope, std::string_view stem, bool create) {
    VarNode* node = create ? find_or_insert(scope->stems, stem.data(), stem.size())
                           : find_node(scope->stems, stem.data(), stem.size());
    if (node) node->flags |= kNodeStem;
    return real(node);
}

// Appends a tail part to the derived name at g_derived[n]; error 30 past 250 characters.
inline void append_part(std::size_t& n, std::string_view part, bool dot) {
    if (n + dot + part.size() > kMaxDerivedName) error(30);
    if (dot) g_derived[n++] = '.';
    std::memcpy(g_derived + n, part.data(), part.size());
    n += part.size();
}

// Appends the decimal form of a whole number to the derived name: the commonest tail (an
// array index), written straight into the buffer.
inline void append_whole(std::size_t& n, std::int32_t v, bool dot) {
    std::uint32_t m = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    const std::size_t digits = digits_of(m);
    const std::size_t need = dot + (v < 0) + digits;
    if (n + need > kMaxDerivedName) error(30);
    if (dot) g_derived[n++] = '.';
    if (v < 0) g_derived[n++] = '-';
    put_digits(g_derived + n + digits, m);
    n += digits;
}

// Builds the derived name of compound symbol e in g_derived and returns its stem's node
// (null when it does not exist and create is not set). stem_len and total give the stem's and
// the whole name's length. Error 30 when the name is too long.
VarNode* derive_compound(VariableScope* scope, const SymbolEntry& e, bool create,
                         std::size_t& stem_len, std::size_t& total) {
    Program& p = program();
    if (e.tail == kTailTooMany) {
        // More tail parts than a descriptor holds: resolved from the name like a symbolic name.
        ResolvedName r;
        std::string_view name(chars_of(e.name), e.name.length);
        if (!resolve_symbolic_name(scope, name, r)) error(30);
        stem_len = r.stem.size();
        total = stem_len + r.tail.size();
        return stem_node_by_name(scope, r.stem, create);
    }
    const Value& d = p.literals[e.tail];
    const auto* items = reinterpret_cast<const std::uint8_t*>(chars_of(d));
    std::size_t count = d.length / 3;
    SymbolEntry& stem = p.symbols[items[1] | (items[2] << 8)];
    std::size_t n = stem.name.length;
    if (n <= kInlineMax)
        std::memcpy(g_derived, stem.name.data.chars, kInlineMax);  // one fixed-size move
    else
        std::memcpy(g_derived, stem.name.data.ptr, n);
    stem_len = n;
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint8_t* it = items + 3 * i;
        std::size_t idx = it[1] | (it[2] << 8);
        if (it[0] == 3) {
            // The value of the simple variable, or its name when it has none.
            SymbolEntry& t = p.symbols[idx];
            VarNode* node = t.kind == kSymbolSimple ? symbol_node(scope, t, false) : nullptr;
            if (node && (node->value.flags & kInteger)) {
                append_whole(n, node->value.data.integer, i > 1);
            } else if (node && !is_absent(node->value)) {
                NumberBuffer b;
                append_part(n, view_of(node->value, b), i > 1);
            } else {
                append_part(n, {chars_of(t.name), t.name.length}, i > 1);
            }
        } else {
            const Value& lit = p.literals[idx];
            NumberBuffer b;
            append_part(n, view_of(lit, b), i > 1);
        }
    }
    total = n;
    // A descriptor whose first item is not a stem symbol (a damaged image) is served by name,
    // so that the entry's tag field is never overwritten.
    if (stem.kind != kSymbolStem) return stem_node_by_name(scope, {g_derived, stem_len}, create);
    return symbol_node(scope, stem, create);
}

VarNode* tail_node(VarNode* stem, std::string_view tail, bool create) {
    VarNode* node = create ? find_or_insert_tail(stem, tail.data(), tail.size())
                           : find_tail(stem, key_of(tail.data(), tail.size()));
    return real(node);
}

inline void set_value(VarNode* node, Value v) {
    prepare_for_store(v);
    release(node->value);
    node->value = v;
    node->flags &= static_cast<std::uint8_t>(~kNodeDropped);
}

void drop_node(VarNode* node) {
    release(node->value);
    node->value = kAbsentValue;
    node->flags |= kNodeDropped;
}

// Assigning to a stem (or dropping it) discards its compound variables. Aliases that point
// into this tree can only live in scopes that see the stem through a local stem of their own,
// never through this one, so none is left dangling.
void store_into_stem(VarNode* stem, Value v) {
    free_tails(stem);
    set_value(stem, v);
}

// A compound's value: its own, else the stem's default unless it was dropped on its own.
const Value* compound_value(VarNode* stem, VarNode* node) {
    if (node && !is_absent(node->value)) return &node->value;
    if ((!node || !(node->flags & kNodeDropped)) && !is_absent(stem->value)) return &stem->value;
    return nullptr;
}

// The value of tail node `node` (null when missing) of `stem`. An exposed compound is the
// caller's variable, so it takes the default of the caller's stem, which its alias keeps.
const Value* compound_of(VarNode* stem, VarNode* node) {
    if (node && (node->flags & kNodeExposed)) {
        stem = node->tails;
        node = node->target;
    }
    return compound_value(stem, node);
}

const Value* compound_in(VarNode* stem, std::string_view tail) {
    return compound_of(stem, find_tail(stem, key_of(tail.data(), tail.size())));
}

// single_tail of the header, with the tail variable found through symbol_node (which fills the
// cache) rather than from the cache alone.
[[gnu::always_inline]] inline SymbolEntry* single_tail(Program& p, VariableScope* scope,
                                                       const SymbolEntry& e, const Value*& tail) {
    return single_tail(p.symbols.data(), p.literals.data(), e, tail, [scope](SymbolEntry& t) {
        return t.kind == kSymbolSimple ? symbol_node(scope, t, false) : nullptr;
    });
}

// The tail node of the stem for the value of a tail (see single_tail); with create, made when
// missing.
[[gnu::always_inline]] inline VarNode* tail_node_of(VarNode* stem, const Value& tail, bool create) {
    if ((tail.flags & kInteger) && tail.data.integer >= 0) {
        const auto k = static_cast<std::uint32_t>(tail.data.integer);
        return create ? find_or_insert_number(stem, k) : find_number(stem, k);
    }
    NumberBuffer b;
    std::string_view t = view_of(tail, b);
    return create ? find_or_insert_tail(stem, t.data(), t.size())
                  : find_tail(stem, key_of(t.data(), t.size()));
}

bool symbol_char(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' ||
           c == '#' || c == '$' || c == '.' || c == '?' || c == '@' || c == '_';
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

int resolve_symbolic(VariableScope* scope, std::string_view name, ResolvedName& out) {
    if (name.empty()) return kNameInvalid;
    if (name.size() > kMaxDerivedName) return kNameTooLong;
    char folded[kMaxDerivedName];
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (!symbol_char(c)) return kNameInvalid;
        folded[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : static_cast<char>(c);
    }
    std::string_view f(folded, name.size());
    std::size_t dot = f.find('.');
    if (dot == std::string_view::npos || dot + 1 == f.size() || !scope) {
        std::memcpy(g_derived, folded, f.size());
        set_kind(out, f.size());
        return kNameOk;
    }
    // Each tail part: literal when it begins with a digit (or is empty), else the value of the
    // simple variable of that name when it has one. The parts are read from `folded`, so the
    // name can be built straight into the derived-name buffer.
    std::size_t n = dot + 1;
    std::memcpy(g_derived, folded, n);
    std::size_t i = dot + 1;
    bool first_part = true;
    while (true) {
        std::size_t j = f.find('.', i);
        if (j == std::string_view::npos) j = f.size();
        std::string_view part = f.substr(i, j - i);
        std::string_view sub = part;
        NumberBuffer b;
        if (!part.empty() && !(part[0] >= '0' && part[0] <= '9')) {
            VarNode* node = real(find_node(scope->simple, part.data(), part.size()));
            if (node && !is_absent(node->value)) sub = view_of(node->value, b);
        }
        std::size_t dot_len = first_part ? 0 : 1;
        if (n + dot_len + sub.size() > kMaxDerivedName) return kNameTooLong;
        if (!first_part) g_derived[n++] = '.';
        std::memcpy(g_derived + n, sub.data(), sub.size());
        n += sub.size();
        first_part = false;
        if (j == f.size()) break;
        i = j + 1;
    }
    set_kind(out, n);
    return kNameOk;
}

// Splits the value of variable sym (its name when it has none) into blank-separated words and
// calls f on each. The list is copied first: f may drop or replace the very variable that
// holds it.
template <class F>
void for_each_word(Activation* a, std::uint16_t sym, F&& f) {
    Value fetched;
    var_fetch(a, sym, fetched);
    ValueHolder hold(fetched);
    ValueHolder list(copy_value(fetched));
    NumberBuffer b;
    std::string_view s = view_of(list.get(), b);
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ') ++j;
        if (j > i) f(s.substr(i, j - i));
        i = j;
    }
}

void resolve_list_word(VariableScope* scope, std::string_view word, ResolvedName& n) {
    if (int rc = resolve_symbolic(scope, word, n)) error(rc);
}

// Creates in `scope` an alias of the caller's variable named n (made unset in the caller when
// it does not exist there).
void expose_name(VariableScope* scope, const ResolvedName& n) {
    VariableScope* caller = scope->caller;
    if (!caller) return;
    if (n.kind == kNameCompound) {
        VarNode* lstem = find_or_insert(scope->stems, n.stem.data(), n.stem.size());
        lstem->flags |= kNodeStem;
        if (lstem->flags & kNodeExposed) return;  // the whole stem is shared already
        VarNode* cstem = stem_node_by_name(caller, n.stem, true);
        VarNode* ctail = find_or_insert_tail(cstem, n.tail.data(), n.tail.size());
        // The stem that owns the variable: the caller's, or the one its own alias records.
        VarNode* owner = (ctail->flags & kNodeExposed) ? ctail->tails : cstem;
        VarNode* alias = find_or_insert_tail(lstem, n.tail.data(), n.tail.size());
        if (!(alias->flags & kNodeExposed)) release(alias->value);
        alias->flags |= kNodeExposed;
        alias->target = real(ctail);
        alias->tails = owner;
        alias->value = kAbsentValue;
        return;
    }
    VarNode*& croot = n.kind == kNameStem ? caller->stems : caller->simple;
    VarNode* target = real(find_or_insert(croot, n.stem.data(), n.stem.size()));
    if (n.kind == kNameStem) target->flags |= kNodeStem;
    VarNode*& lroot = n.kind == kNameStem ? scope->stems : scope->simple;
    VarNode* alias = find_or_insert(lroot, n.stem.data(), n.stem.size());
    if (alias == target) return;  // cannot happen between two scopes; kept safe
    if (!(alias->flags & kNodeExposed)) {
        release(alias->value);
        free_tails(alias);
    }
    alias->flags |= kNodeExposed | (n.kind == kNameStem ? kNodeStem : 0);
    alias->target = target;
    alias->value = kAbsentValue;
}

// The node with the smallest key above (k, n); the first node when k is null.
VarNode* node_after(VarNode* node, const char* k, std::size_t n) {
    VarNode* best = nullptr;
    Key key = k ? key_of(k, n) : Key{};
    while (node) {
        if (!k || compare_key(node, key) > 0) {
            best = node;
            node = node->left;
        } else {
            node = node->right;
        }
    }
    return best;
}

// The first node after (k, n) whose variable has a value (the first of all when k is null),
// in the tree `root` and, for the tails of `stem`, its number table merged in order.
VarNode* set_node_after(VarNode* root, const VarNode* stem, const char* k, std::size_t n) {
    NumberBuffer kb, bb;
    while (true) {
        VarNode* node = node_after(root, k, n);
        if (stem) {
            Key key = k ? key_of(k, n) : Key{};
            VarNode* b = number_after(stem, k ? &key : nullptr);
            if (b) {
                std::string_view bn = name_of(b, bb);
                if (!node || compare_key(node, key_of(bn.data(), bn.size())) > 0) node = b;
            }
        }
        if (!node) return nullptr;
        VarNode* r = real(node);
        if (r && !is_absent(r->value)) return node;
        std::string_view name = name_of(node, kb);
        k = name.data();
        n = name.size();
    }
}

bool visit_simple(VarNode* node, VarVisitor visit, void* context) {
    for (; node; node = node->right) {
        if (!visit_simple(node->left, visit, context)) return false;
        VarNode* r = real(node);
        if (r && !is_absent(r->value) &&
            !visit({chars_of(node->name), node->name.length}, {}, r->value, context))
            return false;
    }
    return true;
}

bool visit_stems(VarNode* node, VarVisitor visit, void* context) {
    for (; node; node = node->right) {
        if (!visit_stems(node->left, visit, context)) return false;
        VarNode* r = real(node);
        if (!r) continue;
        std::string_view stem(chars_of(node->name), node->name.length);
        NumberBuffer b;
        for (VarNode* t = set_node_after(r->tails, r, nullptr, 0); t;) {
            std::string_view tail = name_of(t, b);
            if (!visit(stem, tail, real(t)->value, context)) return false;
            t = set_node_after(r->tails, r, tail.data(), tail.size());
        }
    }
    return true;
}

std::uint16_t keep_key(char* dst, const VarNode* node) {
    NumberBuffer b;
    std::string_view name = name_of(node, b);
    std::size_t n = name.size() < kMaxDerivedName ? name.size() : kMaxDerivedName;
    std::memcpy(dst, name.data(), n);
    return static_cast<std::uint16_t>(n);
}

}  // namespace

// ---- scopes -----------------------------------------------------------------------------------

VariableScope* new_scope(VariableScope* caller) {
    auto* s = static_cast<VariableScope*>(allocate_zeroed(sizeof(VariableScope)));
    s->caller = caller;
    s->next_live = g_live_scopes;
    if (g_live_scopes) g_live_scopes->prev_live = s;
    g_live_scopes = s;
    s->id = take_scope_id();
    return s;
}

void destroy_scope(VariableScope* scope) {
    if (!scope) return;
    if (scope->prev_live) {
        scope->prev_live->next_live = scope->next_live;
    } else {
        g_live_scopes = scope->next_live;
    }
    if (scope->next_live) scope->next_live->prev_live = scope->prev_live;
    free_tree(scope->simple);
    free_tree(scope->stems);
    release(static_cast<void*>(scope));
}

void set_next_scope_id_for_testing(std::uint32_t id) {
    g_next_scope_id = id;
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
    return resolve_symbolic(scope, name, out) == kNameOk;
}

bool fetch_by_name(VariableScope* scope, const ResolvedName& n, Value& out) {
    VarNode* node = nullptr;
    if (n.kind == kNameSimple) {
        node = real(find_node(scope->simple, n.stem.data(), n.stem.size()));
    } else {
        VarNode* stem = stem_node_by_name(scope, n.stem, false);
        if (stem && n.kind == kNameCompound) {
            if (const Value* v = compound_in(stem, n.tail)) {
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
    out = kNullString;
    char* p = start_string(out, n.stem.size() + n.tail.size());
    if (!n.stem.empty()) std::memcpy(p, n.stem.data(), n.stem.size());
    if (!n.tail.empty()) std::memcpy(p + n.stem.size(), n.tail.data(), n.tail.size());
    classify(out);
    return false;
}

void store_by_name(VariableScope* scope, const ResolvedName& n, const Value& v) {
    // The nodes are found or made before the copy is handed over (a failed allocation
    // leaves the copy to the holder).
    ValueHolder copy(copy_value(v));
    if (n.kind == kNameSimple) {
        VarNode* node = real(find_or_insert(scope->simple, n.stem.data(), n.stem.size()));
        set_value(node, copy.take());
        return;
    }
    VarNode* stem = stem_node_by_name(scope, n.stem, true);
    if (n.kind == kNameStem) {
        store_into_stem(stem, copy.take());
    } else {
        VarNode* node = tail_node(stem, n.tail, true);
        set_value(node, copy.take());
    }
}

void drop_by_name(VariableScope* scope, const ResolvedName& n) {
    if (n.kind == kNameSimple) {
        VarNode* node = real(find_node(scope->simple, n.stem.data(), n.stem.size()));
        if (node) drop_node(node);
        return;
    }
    VarNode* stem = stem_node_by_name(scope, n.stem, n.kind == kNameCompound);
    if (!stem) return;
    if (n.kind == kNameStem) {
        store_into_stem(stem, kAbsentValue);
    } else {
        drop_node(tail_node(stem, n.tail, true));
    }
}

void enumerate_variables(VariableScope* scope, VarVisitor visit, void* context) {
    if (!scope) return;
    if (!visit_simple(scope->simple, visit, context)) return;
    visit_stems(scope->stems, visit, context);
}

bool next_variable(VariableScope* scope, VarCursor& c, std::string_view& stem,
                   std::string_view& tail, const Value*& value) {
    if (!scope) c.phase = 4;
    if (c.phase <= 1) {
        VarNode* node =
            set_node_after(scope->simple, nullptr, c.phase ? c.name : nullptr, c.name_length);
        if (node) {
            c.phase = 1;
            c.name_length = keep_key(c.name, node);
            stem = {c.name, c.name_length};
            tail = {};
            value = &real(node)->value;
            return true;
        }
        c.phase = 2;
        VarNode* first = node_after(scope->stems, nullptr, 0);
        if (!first) {
            c.phase = 4;
            return false;
        }
        c.name_length = keep_key(c.name, first);
    }
    while (c.phase == 2 || c.phase == 3) {
        VarNode* s = real(find_node(scope->stems, c.name, c.name_length));
        VarNode* node =
            s ? set_node_after(s->tails, s, c.phase == 3 ? c.tail : nullptr, c.tail_length)
              : nullptr;
        if (node) {
            c.phase = 3;
            c.tail_length = keep_key(c.tail, node);
            stem = {c.name, c.name_length};
            tail = {c.tail, c.tail_length};
            value = &real(node)->value;
            return true;
        }
        VarNode* next = node_after(scope->stems, c.name, c.name_length);
        if (!next) break;
        c.phase = 2;
        c.name_length = keep_key(c.name, next);
    }
    c.phase = 4;
    return false;
}

// ---- the interpreter's ports --------------------------------------------------------------

void vars_open_program(Activation* a) {
    a->scope = new_scope(nullptr);
    // The cache of this program may hold tags of an earlier run: start it afresh.
    Program* p = g_lib.current ? g_lib.current->program.get() : nullptr;
    clear_cache(p);
    a->scope->program = p;
}

void vars_close(Activation* a) {
    destroy_scope(a->scope);
    a->scope = nullptr;
}

void vars_hand_back(Activation* callee, Activation* caller) {
    caller->scope = callee->scope;
}

namespace {

bool var_fetch_general(Activation* a, std::uint16_t sym, Value& out);
bool fetch_single(Activation* a, SymbolEntry& e, SymbolEntry& stem, const Value& tail, Value& out);

}  // namespace

// An array element with a value whose stem and tail variable are cached is found without a
// call, so that this path saves no registers; other compounds are passed on, with what was
// found on the way.
bool var_fetch(Activation* a, std::uint16_t sym, Value& out) {
    Program& p = program();
    SymbolEntry& e = p.symbols[sym];
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
    const Value* tail;
    SymbolEntry* s = single_tail_cached(p.symbols.data(), p.literals.data(), e, scope->id, tail);
    if (!s) return var_fetch_general(a, sym, out);
    if (const Value* v = cached_number_element(*s, *tail, scope->id)) {
        out = borrow(*v);
        return true;
    }
    return fetch_single(a, e, *s, *tail, out);
}

namespace {

// A compound symbol's value through its derived name; when it has none, the name.
bool fetch_derived(VariableScope* scope, const SymbolEntry& e, Value& out) {
    std::size_t stem_len, total;
    if (VarNode* stem = derive_compound(scope, e, false, stem_len, total)) {
        if (const Value* v = compound_in(stem, {g_derived + stem_len, total - stem_len})) {
            out = borrow(*v);
            return true;
        }
    }
    out = make_value(g_derived, total, true);
    return false;
}

// A compound of one tail part (see single_tail), through the stem's node, else through its
// derived name.
[[gnu::noinline]] bool fetch_single(Activation* a, SymbolEntry& e, SymbolEntry& stem_entry,
                                    const Value& tail, Value& out) {
    VariableScope* scope = a->scope;
    if (VarNode* stem = symbol_node(scope, stem_entry, false)) {
        if (const Value* v = compound_of(stem, tail_node_of(stem, tail, false))) {
            out = borrow(*v);
            return true;
        }
    }
    return fetch_derived(scope, e, out);
}

// A compound symbol's value (or name) by the general rules.
[[gnu::noinline]] bool var_fetch_general(Activation* a, std::uint16_t sym, Value& out) {
    SymbolEntry& e = program().symbols[sym];
    VariableScope* scope = a->scope;
    const Value* tail;
    if (SymbolEntry* s = single_tail(program(), scope, e, tail))
        return fetch_single(a, e, *s, *tail, out);
    return fetch_derived(scope, e, out);
}

}  // namespace

void var_store(Activation* a, std::uint16_t sym, Value v) {
    // v is freed when the name cannot be derived or a node cannot be made: each node is
    // found or made before the value is handed over.
    ValueHolder hold(v);
    SymbolEntry& e = program().symbols[sym];
    VariableScope* scope = a->scope;
    if (e.kind == kSymbolSimple) {
        VarNode* node = symbol_node(scope, e, true);
        set_value(node, hold.take());
        return;
    }
    if (e.kind == kSymbolStem) {
        VarNode* node = symbol_node(scope, e, true);
        store_into_stem(node, hold.take());
        return;
    }
    const Value* tail;
    if (SymbolEntry* s = single_tail(program(), scope, e, tail)) {
        VarNode* stem = symbol_node(scope, *s, true);
        set_value(real(tail_node_of(stem, *tail, true)), hold.take());
        return;
    }
    std::size_t stem_len, total;
    VarNode* stem = derive_compound(scope, e, true, stem_len, total);
    VarNode* node = tail_node(stem, {g_derived + stem_len, total - stem_len}, true);
    set_value(node, hold.take());
}

namespace {

// One piece of var_store_chars off its common path; false when it must stop there (a target
// that is not a simple variable while the pieces are cut from a variable's buffer).
[[gnu::noinline]] bool store_piece(Activation* a, VariableScope* scope, SymbolEntry& e,
                                   const StorePiece& piece, bool upper, const char* source,
                                   Value& kept) {
    const char* p = piece.p;
    const std::size_t n = piece.n;
    if (e.kind != kSymbolSimple) {
        if (source) return false;
        Value v = kNullString;
        copy_chars(start_string(v, n), p, n, upper);
        var_store(a, piece.sym, v);
        return true;
    }
    VarNode* node = symbol_node(scope, e, true);
    Value& slot = node->value;
    node->flags &= static_cast<std::uint8_t>(~kNodeDropped);
    if (source && slot.length > kInlineMax && !(slot.flags & kInteger) && slot.data.ptr == source) {
        // The pieces are cut from this buffer: it outlives the store in `kept`.
        kept = slot;
        slot = kNullString;
    }
    // A long value replacing one of about its length is written over the old characters:
    // no buffer is taken or given back. The old buffer is owned (never borrowed or
    // referenced).
    if (n > kInlineMax && (slot.flags & (kInteger | kOwned)) == kOwned && slot.length >= n &&
        slot.length <= 2 * n) {
        overwrite(slot, p, n, upper);
        return true;
    }
    Value v = kNullString;
    if (n <= kInlineMax) {
        if (n) {
            const std::uint64_t w = piece_word(p, n);
            put_short(v, upper ? upper_word(w) : w, n);
        }
    } else {
        copy_chars(start_string(v, n), p, n, upper);
        settle_short(v);
    }
    release(slot);
    slot = v;
    return true;
}

}  // namespace

namespace {

// var_store_chars with the folding fixed, so that the loop does not test it for each piece.
template <bool upper>
std::size_t store_pieces(Activation* a, const StorePiece* pieces, std::size_t count,
                         const char* source, Value& kept) {
    // One look-up of the symbol table and scope for the whole run of pieces.
    SymbolEntry* symbols = program().symbols.data();
    VariableScope* scope = a->scope;
    const std::uint32_t id = scope->id;
    const StorePiece* const end = pieces + count;
    for (const StorePiece* piece = pieces; piece != end; ++piece) {
        SymbolEntry& e = symbols[piece->sym];
        if (store_cached(e, id, piece->p, piece->n, upper, source)) continue;
        if (!store_piece(a, scope, e, *piece, upper, source, kept))
            return static_cast<std::size_t>(piece - pieces);
    }
    return count;
}

}  // namespace

std::size_t var_store_chars(Activation* a, const StorePiece* pieces, std::size_t count, bool upper,
                            const char* source, Value& kept) {
    return upper ? store_pieces<true>(a, pieces, count, source, kept)
                 : store_pieces<false>(a, pieces, count, source, kept);
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
    VarNode* stem = derive_compound(scope, e, true, stem_len, total);
    drop_node(tail_node(stem, {g_derived + stem_len, total - stem_len}, true));
}

void var_drop_list(Activation* a, std::uint16_t sym) {
    for_each_word(a, sym, [&](std::string_view word) {
        ResolvedName n;
        resolve_list_word(a->scope, word, n);
        drop_by_name(a->scope, n);
    });
}

void var_procedure(Activation* a) {
    VariableScope* caller = a->caller ? a->caller->scope : a->scope;
    a->scope = new_scope(caller);
}

void var_expose(Activation* a, std::uint16_t sym) {
    SymbolEntry& e = program().symbols[sym];
    std::string_view name(chars_of(e.name), e.name.length);
    ResolvedName n;
    if (e.kind == kSymbolCompound) {
        // The tail is formed with the values the tail variables have in the new activation.
        resolve_list_word(a->scope, name, n);
    } else {
        if (name.size() > kMaxDerivedName) error(30);
        std::memcpy(g_derived, name.data(), name.size());
        set_kind(n, name.size());
    }
    expose_name(a->scope, n);
}

void var_expose_list(Activation* a, std::uint16_t sym) {
    var_expose(a, sym);
    for_each_word(a, sym, [&](std::string_view word) {
        ResolvedName n;
        resolve_list_word(a->scope, word, n);
        expose_name(a->scope, n);
    });
}

Value* var_slot(Activation* a, std::uint16_t sym) {
    SymbolEntry& e = program().symbols[sym];
    if (e.kind != kSymbolSimple) return nullptr;
    VarNode* node = symbol_node(a->scope, e, false);
    if (!node || is_absent(node->value)) return nullptr;
    return &node->value;
}

}  // namespace ketra
