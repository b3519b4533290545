// The dispatch loop: start and end of a run, the clause-boundary checks, and every opcode that
// is not a call, a condition or I/O. One switch dispatch per opcode; small whole numbers stay
// in integer form through + - * and the comparisons; loop control variables are stepped in
// place; an append to a variable grows the variable's own buffer.
#include <malloc.h>

#include <cstring>

#include "platform/lock.h"
#include "rexx/host/error.h"
#include "rexx/host/halt.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/host/queue.h"
#include "rexx/host/registration.h"
#include "rexx/runtime/arith.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/variables.h"

namespace ketra {

namespace {

constinit thread_local Interp* t_interp = nullptr;

// The end of an external or built-in call: the arguments are popped, then a function's result
// is pushed (error 44 when there is none) or a CALL's result is assigned to RESULT (dropped
// when there is none). True for a function call.
inline bool finish_call(Interp& in, bool got, Value result, int argc, bool function) {
    ValueHolder hold(got ? result : kNullString);
    for (int i = 0; i < argc; ++i) drop_top(in);
    if (function) {
        if (!got) error(44);
        push(in, hold.take());
        return true;
    }
    if (got)
        assign_symbol(in, 1, hold.get());
    else
        var_drop(in.act, 1);
    return false;
}

// Evaluation stack entries of a run.
constexpr std::size_t kStackEntries = 1 << 18;

// Opcodes after which the next instruction is not a clause boundary (expression evaluation
// and loop set-up).
constexpr bool is_expression_op(unsigned op) {
    return op == 1 || op == 2 || op == 3 || op == 4 || op == 6 || op == 7 || op == 8 || op == 9 ||
           op == 11 || op == 12 || op == 13 || (op >= 36 && op <= 39) || (op >= 64 && op <= 91);
}

// Instruction lengths (0: not an opcode).
constexpr std::uint8_t kLength[97] = {
    0, 3, 3, 1, 1, 1, 3, 1, 1, 1,  // 0-9
    3, 1, 1, 4, 5, 5, 5, 5, 5, 5,  // 10-19
    1, 1, 1, 1, 1, 4, 4, 4, 1, 1,  // 20-29
    1, 1, 3, 3, 3, 3, 1, 1, 1, 1,  // 30-39
    3, 3, 3, 1, 1, 1, 1, 1, 1, 1,  // 40-49
    1, 3, 3, 1, 1, 1, 1, 4, 1, 6,  // 50-59
    3, 3, 1, 3, 1, 1, 1, 1, 1, 1,  // 60-69
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 70-79
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 80-89
    1, 1, 1, 1, 1, 1, 1,           // 90-96
};

inline Value borrowed(const Value& v) {
    Value c = v;
    if (c.flags & kOwned) c.flags = static_cast<std::uint8_t>((c.flags & ~kOwned) | kBorrowed);
    return c;
}

// Stores a borrowed copy of v (see borrow) at slot: the record is copied whole and only the
// flags of an owned buffer are changed in place, which costs less than building the copy.
inline void push_borrowed(Value* slot, const Value& v) {
    std::memcpy(static_cast<void*>(slot), &v, sizeof(Value));
    if ((slot->flags & kOwned) && slot->length > kInlineMax)
        slot->flags = static_cast<std::uint8_t>((slot->flags & ~kOwned) | kBorrowed);
}

// Frees what a stack entry that is being popped owns (the entry itself is not rewritten).
inline void drop_entry(const Value& v) {
    if ((v.flags & kOwned) && v.length > kInlineMax) release_buffer(v);
}

// The entries replaced are only freed: they are overwritten or popped, never read again.
inline void replace_top2(Interp& in, Value result) {
    drop_entry(in.sp[0]);
    drop_entry(in.sp[1]);
    ++in.sp;
    in.sp[0] = result;
}

inline void replace_top1(Interp& in, Value result) {
    drop_entry(in.sp[0]);
    in.sp[0] = result;
}

// The code of LENGTH in the built-in function table.
constexpr std::uint32_t kBuiltinLength = 33;

// 32-bit fast paths are exact only when a 9-digit result needs no rounding.
inline bool plain_integers(const Interp& in, const Value& l, const Value& r) {
    return (l.flags & r.flags & kInteger) && in.act->numeric.digits >= 9;
}

// The integer result of a op b, or false when the decimal path must compute it.
template <int Op>
inline bool integer_result(std::int64_t a, std::int64_t b, std::int64_t& c) {
    if constexpr (Op == kOpAdd) {
        c = a + b;
    } else if constexpr (Op == kOpSubtract) {
        c = a - b;
    } else if constexpr (Op == kOpMultiply) {
        c = a * b;
    } else if constexpr (Op == kOpIntDivide || Op == kOpRemainder) {
        if (b == 0) return false;
        c = Op == kOpIntDivide ? a / b : a % b;
    } else {
        return false;
    }
    return c >= -kMaxInteger && c <= kMaxInteger;
}

// The integer paths of the binary operators on the two entries at sp, one instantiation per
// operator; false (nothing changed) when the decimal path must compute the result.
template <int Op>
inline bool arith_fast(const Interp& in, Value*& sp) {
    std::int64_t c;
    if (!plain_integers(in, sp[1], sp[0]) ||
        !integer_result<Op>(sp[1].data.integer, sp[0].data.integer, c))
        return false;
    ++sp;
    sp[0] = integer_constant(static_cast<std::int32_t>(c));
    return true;
}

// The decimal path of a binary operator on the two top entries.
void arith_top2(Interp& in, int op) {
    replace_top2(in, arith(in.sp[1], in.sp[0], op, in.act->numeric));
}

void op_prefix(Interp& in, int op) {
    Value& v = in.sp[0];
    if ((v.flags & kInteger) && in.act->numeric.digits >= 9) {
        if (op == kOpPlus) return;
        if (op == kOpMinus) {
            v.data.integer = -v.data.integer;
            return;
        }
    }
    replace_top1(in, arith(v, v, op, in.act->numeric));
}

// Equal-length string records have the same characters. Inline records are compared as one
// word each, masked to their length (the bytes past it are not kept clear).
inline bool same_chars(const Value& l, const Value& r) {
    const std::size_t n = l.length;
    if (n > kInlineMax) return std::memcmp(l.data.ptr, r.data.ptr, n) == 0;
    if (n == 0) return true;
    std::uint64_t a, b;
    std::memcpy(&a, l.data.chars, 8);
    std::memcpy(&b, r.data.chars, 8);
    const std::uint64_t diff = a ^ b;
    if constexpr (std::endian::native == std::endian::little)
        return (diff << (64 - 8 * n)) == 0;
    else
        return (diff >> (64 - 8 * n)) == 0;
}

// The integer and plain-string paths of the comparisons, one instantiation per operator: the
// result (0 or 1) with both entries popped, or -1 (nothing changed) when compare must decide.
template <int Op>
inline int compare_fast(const Interp& in, Value*& sp) {
    const Value& l = sp[1];
    const Value& r = sp[0];
    // The strict orderings compare characters, which integers do not order alike.
    constexpr bool kIntegerRule =
        Op != kCmpStrictGt && Op != kCmpStrictLt && Op != kCmpStrictGe && Op != kCmpStrictLe;
    if constexpr (Op == kCmpStrictEq || Op == kCmpStrictNe) {
        // Two strings are strictly equal when their characters are; no number is involved.
        if (!((l.flags | r.flags) & (kInteger | kAbsent))) {
            const bool same = l.length == r.length && same_chars(l, r);
            // Mostly a variable's value and a literal, both borrowed: one test for the two.
            if ((l.flags | r.flags) & kOwned) {
                drop_entry(sp[0]);
                drop_entry(sp[1]);
            }
            sp += 2;
            return same == (Op == kCmpStrictEq);
        }
    }
    if (!kIntegerRule || !(l.flags & r.flags & kInteger) || in.act->numeric.fuzz != 0 ||
        in.act->numeric.digits < 9)
        return -1;
    std::int32_t a = l.data.integer, b = r.data.integer;
    int result;
    if constexpr (Op == kCmpEq || Op == kCmpStrictEq) {
        result = a == b;
    } else if constexpr (Op == kCmpNe || Op == kCmpStrictNe) {
        result = a != b;
    } else if constexpr (Op == kCmpGt) {
        result = a > b;
    } else if constexpr (Op == kCmpLt) {
        result = a < b;
    } else if constexpr (Op == kCmpGe) {
        result = a >= b;
    } else {
        result = a <= b;
    }
    sp += 2;
    return result;
}

void compare_top2(Interp& in, int op) {
    replace_top2(in, integer_constant(compare(in.sp[1], in.sp[0], op, in.act->numeric)));
}

// Grows the owned or inline string in slot by n characters; returns where they go.
char* grow_slot(Value* slot, std::size_t n) {
    std::size_t old_len = slot->length;
    std::size_t new_len = old_len + n;
    if (new_len > kMaxStringLength) memory_full(401, kPoolImplementationLimit);
    char* buf;
    if (new_len <= kInlineMax) {
        buf = slot->data.chars;
    } else if (old_len <= kInlineMax) {
        buf = static_cast<char*>(allocate(new_len * 2 + 16));
        std::memcpy(buf, slot->data.chars, old_len);
    } else {
        buf = const_cast<char*>(slot->data.ptr);
        if (malloc_usable_size(buf) < new_len + 1)
            buf = static_cast<char*>(reallocate(buf, new_len * 2 + 16));
    }
    if (new_len > kInlineMax) {
        buf[new_len] = '\0';
        slot->data.ptr = buf;
    }
    slot->length = static_cast<std::uint32_t>(new_len);
    slot->flags = new_len > kInlineMax ? kOwned : 0;
    return buf + old_len;
}

void append_piece(Value* slot, std::string_view piece, bool blank) {
    char* p = grow_slot(slot, piece.size() + (blank ? 1 : 0));
    if (blank) *p++ = ' ';
    if (!piece.empty()) std::memcpy(p, piece.data(), piece.size());
}

// s = s || a || b ... (or with blanks, or abuttal): when the left operand is the variable's own
// buffer and the rest of the clause only appends literals and other set simple variables before
// assigning to that variable, the pieces are appended to the variable's buffer in place
// (amortised doubling), so building a string by appending costs time linear in its length.
bool append_in_place(Interp& in, bool blank) {
    Value& l = in.sp[1];
    Value& r = in.sp[0];
    // Only a long left operand borrowed from a variable can be that variable's buffer; a short
    // one gains nothing from growing in place, so neither is worth reading the clause for.
    if ((l.flags & (kInteger | kAbsent | kBorrowed)) != kBorrowed || l.length <= kInlineMax)
        return false;
    struct Piece {
        std::uint8_t op;
        std::uint16_t index;
        bool blank;
    } pieces[8];
    int count = 0;
    std::uint32_t p = in.pc + 1;
    std::uint16_t target;
    for (;;) {
        if (p + 3 > in.code_size) return false;
        unsigned op = in.code[p];
        if (op == 93 || op == 95) {  // the result trace point before the assignment
            ++p;
            continue;
        }
        if (op == 10) {
            target = u16_at(in.code + p + 1);
            p += 3;
            break;
        }
        if ((op != 1 && op != 2) || count == 8 || p + 4 > in.code_size) return false;
        unsigned join = in.code[p + 3];
        if (join != 78 && join != 79) return false;
        pieces[count++] = {static_cast<std::uint8_t>(op), u16_at(in.code + p + 1), join == 79};
        p += 4;
    }
    Value* slot = var_slot(in.act, target);
    if (!slot || (slot->flags & (kInteger | kAbsent)) || slot->length != l.length) return false;
    if (slot->length <= kInlineMax) {
        if (std::memcmp(slot->data.chars, l.data.chars, l.length) != 0) return false;
    } else if (!(slot->flags & kOwned) || slot->data.ptr != l.data.ptr) {
        return false;
    }
    if (!(r.flags & kInteger) && r.length > kInlineMax && r.data.ptr == slot->data.ptr)
        return false;
    for (int k = 0; k < count; ++k) {
        if (pieces[k].op != 2) continue;
        if (pieces[k].index == target) return false;
        Value* v = var_slot(in.act, pieces[k].index);
        if (!v || is_absent(*v)) return false;
    }
    NumberBuffer nb;
    append_piece(slot, view_of(r, nb), blank);
    for (int k = 0; k < count; ++k) {
        const Value* v = pieces[k].op == 1 ? &in.prog->literals[pieces[k].index]
                                           : var_slot(in.act, pieces[k].index);
        append_piece(slot, view_of(*v, nb), pieces[k].blank);
    }
    release(r);
    in.sp += 2;  // the left operand only borrowed the old buffer
    in.pc = p;
    return true;
}

// The number of characters of a value's string form; -1 for an absent one.
inline std::int64_t string_length(const Value& v) {
    if (v.flags & kAbsent) return -1;
    if (!(v.flags & kInteger)) return v.length;
    NumberBuffer nb;
    return static_cast<std::int64_t>(format_integer(v.data.integer, nb.c));
}

// LENGTH(a b) and LENGTH(a b c): when the join at `join` (the two entries at sp) is followed by a
// call of LENGTH with it as the one argument, directly or after one more join of a literal or a
// set simple variable, the length is summed from the parts and the string is never built (in a
// longer chain, the last two joins are summed so). Returns the length and sets `after` to the
// instruction after the call; -1, with nothing changed, for any other code (or a length over
// the string limit, which the join itself reports). The code is read first, so that the joins
// of other clauses cost only a few comparisons. Takes the loop's own registers: no sync needed.
std::int64_t length_of_join(const Interp& in, const std::uint8_t* join, const Value* sp,
                            const SymbolEntry* syms, std::uint32_t scope_id,
                            const std::uint8_t*& after) {
    if (join + 10 > in.code + in.code_size) return -1;
    const std::uint8_t* call = join + 1;
    if (*call != 19) {
        if ((join[1] != 1 && join[1] != 2) || (join[4] != 78 && join[4] != 79)) return -1;
        call = join + 5;
    }
    if (*call != 19 || call[1] != 1 || u24_at(call + 2) != kBuiltinLength) return -1;
    std::int64_t total = string_length(sp[1]);
    const std::int64_t right = string_length(sp[0]);
    if (total < 0 || right < 0) return -1;
    total += right + (*join == 79);
    if (call != join + 1) {
        const std::uint16_t index = u16_at(join + 2);
        const Value* v;
        if (join[1] == 1) {
            v = &in.prog->literals[index];
        } else {
            VarNode* node = cached_simple_node(syms[index], scope_id);
            if (!node) return -1;
            v = &node->value;
        }
        const std::int64_t n = string_length(*v);
        if (n < 0) return -1;
        total += n + (join[4] == 79);
    }
    if (total > static_cast<std::int64_t>(kMaxStringLength)) return -1;
    after = call + 5;
    return total;
}

// True when the append in place took the assignment too, ending the clause.
bool op_concat(Interp& in, bool blank) {
    if (append_in_place(in, blank)) return true;
    // A long left operand that the stack owns (an earlier result of this expression) takes the
    // right one in its own buffer when there is room, as "a b c" builds its second join.
    Value& l = in.sp[1];
    const Value& r = in.sp[0];
    if ((l.flags & (kOwned | kInteger)) == kOwned && l.length > kInlineMax &&
        ((r.flags & kInteger) || r.length <= kInlineMax || r.data.ptr != l.data.ptr)) {
        NumberBuffer nb;
        const std::string_view piece = view_of(r, nb);
        const std::size_t len = l.length + (blank ? 1 : 0) + piece.size();
        if (len <= owned_room(l)) {
            char* out = const_cast<char*>(l.data.ptr);
            char* p = out + l.length;
            if (blank) *p++ = ' ';
            if (!piece.empty()) std::memcpy(p, piece.data(), piece.size());
            out[len] = '\0';
            l.length = static_cast<std::uint32_t>(len);
            l.flags = static_cast<std::uint8_t>(kOwned | classify_text(out, len));
            release(in.sp[0]);
            ++in.sp;
            in.pc += 1;
            return false;
        }
    }
    replace_top2(in, concat(in.sp[1], in.sp[0], blank));
    in.pc += 1;
    return false;
}

// Copies borrowed or referenced long string v into simple variable node `node`: into the
// variable's own buffer when that holds it, as a line read into the same variable each pass
// does, else into a new one.
[[gnu::noinline]] void copy_into_node(VarNode* node, const Value& v) {
    Value& old = node->value;
    if ((old.flags & (kInteger | kOwned)) == kOwned && old.length > kInlineMax) {
        if (old.data.ptr == v.data.ptr) return;  // the variable assigned to itself
        // A buffer far longer than the new value is not kept for it. A scanned number's side
        // word is not carried over: its flag is dropped with it.
        const std::size_t n = v.length;
        if (n <= old.length ? old.length <= 2 * n : n <= owned_room(old)) {
            char* p = const_cast<char*>(old.data.ptr);
            std::memcpy(p, v.data.ptr, n);
            p[n] = '\0';
            old.length = v.length;
            old.flags =
                static_cast<std::uint8_t>(kOwned | (v.flags & (kWhole | kNumber | kClassified)));
            return;
        }
    }
    Value c = copy_value(v);
    release(old);
    old = c;
}

// Whether var_store would keep v as it is: an integer, or text known not to be a whole number
// or too long to be one (var_store turns whole-number text into the integer form).
inline bool kept_as_is(const Value& v) {
    constexpr std::size_t kLongestWhole = 10;  // "-" and 9 digits
    return (v.flags & kInteger) || (v.flags & (kClassified | kWhole)) == kClassified ||
           v.length > kLongestWhole;
}

// The assignment of a kept_as_is value to the cached node of a simple variable.
inline void store_in_node(VarNode* node, const Value& v) {
    node->flags &= static_cast<std::uint8_t>(~kNodeDropped);
    if ((v.flags & (kInteger | kOwned)) || v.length <= kInlineMax) {
        release(node->value);
        node->value = v;
    } else {
        copy_into_node(node, v);
    }
}

// ---- loops ---------------------------------------------------------------------------------

void open_loop(Interp& in) {
    if (in.sp - 5 < in.stack_low) stack_overflow();
    Value saved[5];
    saved[0] = in.loop.by;
    saved[1] = in.loop.to;
    saved[2] = integer_constant(in.loop.for_count);
    saved[3] = integer_constant(in.loop.descending);
    saved[4] = integer_constant(in.loop.control);
    saved[4].reserved = 0xA5;  // marks the saved registers for the check of close_loop
    for (Value& v : saved) *--in.sp = v;
    in.loop = empty_loop_registers();
    ++in.act->loop_nesting;
}

void close_loop(Interp& in) {
    if (in.act->loop_nesting <= 0 || in.stack_high - in.sp < 5 || in.sp[0].reserved != 0xA5 ||
        !(in.sp[0].flags & kInteger))
        internal_error(6);
    release(in.loop.by);
    release(in.loop.to);
    in.loop.control = in.sp[0].data.integer;
    in.loop.descending = in.sp[1].data.integer;
    in.loop.for_count = in.sp[2].data.integer;
    in.loop.to = in.sp[3];
    in.loop.by = in.sp[4];
    in.sp += 5;
    --in.act->loop_nesting;
}

// A private copy of a number for the loop registers; error 41 when it is not a number.
Value loop_number(Value& v) {
    if (!is_integer_form(v) && !is_number(v)) error(41);
    Value c = v;
    make_private(c);
    return c;
}

void loop_to(Interp& in) {
    Value v = loop_number(in.sp[0]);
    ++in.sp;
    release(in.loop.to);
    in.loop.to = v;
}

void loop_by(Interp& in) {
    Value v = loop_number(in.sp[0]);
    ++in.sp;
    release(in.loop.by);
    in.loop.by = v;
    int sign;
    if (is_integer_form(v))
        sign = v.data.integer > 0 ? 1 : (v.data.integer < 0 ? -1 : 0);
    else
        sign = compare_normal(v, kZeroValue, in.act->numeric);
    in.loop.descending = sign <= 0;
}

void loop_for(Interp& in) {
    Value& v = in.sp[0];
    if (is_absent(v)) {
        in.loop.for_count = -1;
    } else {
        std::int32_t n;
        if (!try_whole_number(v, n) || n < 0) error(26);
        in.loop.for_count = n;
    }
    drop_top(in);
}

void loop_initial(Interp& in) {
    Value v = arith(in.sp[0], kZeroValue, kOpAdd, in.act->numeric);
    drop_top(in);
    if (in.loop.control >= 0)
        var_store(in.act, static_cast<std::uint16_t>(in.loop.control), v);
    else
        release(v);
}

// The value of the loop control variable, through the symbol's cached node when it has one.
inline Value* control_slot(Interp& in, std::uint16_t sym) {
    if (VarNode* node = cached_simple_node(in.prog->symbols[sym], in.act->scope);
        node && !is_absent(node->value))
        return &node->value;
    return var_slot(in.act, sym);
}

void loop_step(Interp& in) {
    if (in.loop.control < 0) return;
    auto sym = static_cast<std::uint16_t>(in.loop.control);
    Value* slot = control_slot(in, sym);
    if (slot && (slot->flags & in.loop.by.flags & kInteger) && in.act->numeric.digits >= 9) {
        std::int64_t c = std::int64_t{slot->data.integer} + in.loop.by.data.integer;
        if (c >= -kMaxInteger && c <= kMaxInteger) {
            slot->data.integer = static_cast<std::int32_t>(c);
            return;
        }
    }
    Value cur;
    if (!var_fetch(in.act, sym, cur)) {
        push(in, cur);
        raise_novalue(in, cur);
        cur = in.sp[0];
        ++in.sp;
    }
    ValueHolder hold(cur);
    Value next = arith(cur, in.loop.by, kOpAdd, in.act->numeric);
    var_store(in.act, sym, next);
}

// True when the loop is done.
bool loop_test(Interp& in) {
    if (in.act->loop_nesting <= 0) error(10);
    if (in.loop.for_count >= 0) {
        if (in.loop.for_count < 1) return true;
        --in.loop.for_count;
    }
    if (in.loop.control < 0 || is_absent(in.loop.to)) return false;
    auto sym = static_cast<std::uint16_t>(in.loop.control);
    const Value& to = in.loop.to;
    int c;
    Value* slot = control_slot(in, sym);
    if (slot && (slot->flags & to.flags & kInteger) && in.act->numeric.fuzz == 0 &&
        in.act->numeric.digits >= 9) {
        c = slot->data.integer > to.data.integer ? 1
                                                 : (slot->data.integer < to.data.integer ? -1 : 0);
    } else {
        Value cur;
        if (!var_fetch(in.act, sym, cur)) {
            push(in, cur);
            raise_novalue(in, cur);
            cur = in.sp[0];
            ++in.sp;
        }
        ValueHolder hold(cur);
        c = compare_normal(cur, to, in.act->numeric);
    }
    return in.loop.descending ? c < 0 : c > 0;
}

// The control variable of the innermost loop when it holds an integer that the integer paths may
// step (NUMERIC DIGITS 9 or more); null otherwise or when the loop has none.
// The symbol table and scope id are the loop's own copies.
inline Value* integer_control(Interp& in, const SymbolEntry* syms, std::uint32_t scope_id) {
    if (in.loop.control < 0) return nullptr;
    VarNode* node = cached_simple_node(syms[in.loop.control], scope_id);
    if (!node || (node->value.flags & (kInteger | kAbsent)) != kInteger ||
        in.act->numeric.digits < 9)
        return nullptr;
    return &node->value;
}

// loop_test on the loop registers alone, given the control variable's integer_control slot:
// 1 when the loop is done, 0 when it goes on, -1 (nothing changed) when loop_test must decide.
inline int quick_loop_test(Interp& in, const Value* slot) {
    LoopRegisters& r = in.loop;
    if (in.act->loop_nesting <= 0) return -1;
    bool compare = r.control >= 0 && !is_absent(r.to);
    if (compare && !(slot && (r.to.flags & kInteger) && in.act->numeric.fuzz == 0)) return -1;
    if (r.for_count >= 0) {
        if (r.for_count < 1) return 1;
        --r.for_count;
    }
    if (!compare) return 0;
    std::int32_t v = slot->data.integer, to = r.to.data.integer;
    return r.descending ? v < to : v > to;
}

// ---- NUMERIC, OPTIONS ----------------------------------------------------------------------

void numeric_digits(Interp& in) {
    Numeric& n = in.act->numeric;
    Value& v = in.sp[0];
    std::int32_t d = 9;
    if (!is_absent(v)) {
        if (!try_whole_number(v, d)) error(26);
        if (d < 1) error(33);
    }
    if (d <= n.fuzz) error(33);
    set_numeric_digits(n, d);
    drop_top(in);
}

void numeric_form(Interp& in) {
    Value& v = in.sp[0];
    bool engineering = false;
    if (!is_absent(v)) {
        NumberBuffer nb;
        std::string_view s = view_of(v, nb);
        if (s == "ENGINEERING")
            engineering = true;
        else if (s != "SCIENTIFIC")
            error(25);
    }
    in.act->numeric.engineering = engineering;
    drop_top(in);
}

void numeric_fuzz(Interp& in) {
    Value& v = in.sp[0];
    std::int32_t f = 0;
    if (!is_absent(v)) {
        if (!try_whole_number(v, f)) error(26);
    }
    if (f < 0 || f >= in.act->numeric.digits) error(33);
    in.act->numeric.fuzz = f;
    drop_top(in);
}

void options(Interp& in) {
    Value& v = in.sp[0];
    if (!is_absent(v)) {
        NumberBuffer nb;
        std::string_view s = view_of(v, nb);
        std::size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && s[i] == ' ') ++i;
            std::size_t j = i;
            while (j < s.size() && s[j] != ' ') ++j;
            std::string_view w = s.substr(i, j - i);
            auto eq = [&](const char* k) {
                std::size_t n = std::strlen(k);
                if (w.size() != n) return false;
                for (std::size_t x = 0; x < n; ++x) {
                    char c = w[x];
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
                    if (c != k[x]) return false;
                }
                return true;
            };
            if (eq("NEWCOM")) in.act->options_newcom = true;
            if (eq("NONEWCOM")) in.act->options_newcom = false;
            i = j;
        }
    }
    drop_top(in);
}

void upper_variable(Interp& in, std::uint16_t sym) {
    Value v;
    if (!var_fetch(in.act, sym, v)) {
        push(in, v);
        raise_novalue(in, v);
        drop_top(in);
        return;
    }
    if (is_integer_form(v)) return;  // a whole number has no letters
    NumberBuffer nb;
    std::string_view s = view_of(v, nb);
    std::size_t i = 0;
    while (i < s.size() && !(s[i] >= 'a' && s[i] <= 'z')) ++i;
    if (i == s.size()) return;
    Value u{};
    char* p = start_string(u, s.size());
    for (std::size_t k = 0; k < s.size(); ++k) {
        char c = s[k];
        p[k] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    classify(u);
    var_store(in.act, sym, u);
}

void set_environment(Interp& in) {
    Value& v = in.sp[0];
    Value name = is_absent(v) ? kNullString : copy_value(v);
    make_private(name);
    NumberBuffer nb;
    if (view_of(name, nb).size() > 250) {
        release(name);
        error(29);
    }
    Activation* a = in.act;
    release(a->previous_environment);
    a->previous_environment = a->environment;
    a->environment = name;
    drop_top(in);
}

void swap_environments(Interp& in) {
    Activation* a = in.act;
    if (is_absent(a->previous_environment)) return;
    Value t = a->environment;
    a->environment = a->previous_environment;
    a->previous_environment = t;
}

void set_trap(Interp& in, int cond, int kind, std::uint32_t target, bool on) {
    if (cond < 1 || cond >= kConditionCount) internal_error(5);
    TrapRecord& t = in.act->traps[cond];
    t.state = on ? kTrapOn : kTrapOff;
    t.kind = static_cast<std::uint8_t>(kind == kTrapSignal ? kTrapSignal : kTrapCall);
    t.label = target;
}

void call_rxini(Interp& in) {
    ExitSlot& slot = in.inst->exits[RXINI];
    if (!slot.handler) return;
    LONG rc;
    {
        HostCall call;
        rc = slot.handler(RXINI, RXINIEXT, exit_user_area(slot));
    }
    if (rc == -1) error(48);
}

// Pushes the value of variable sym, or its name after raising NOVALUE when it has none. Out of
// the loop, so that the loop's registers need not survive the call on the inline paths.
[[gnu::noinline]] void push_fetched(Interp& in, std::uint16_t sym) {
    Value v;
    const bool set = var_fetch(in.act, sym, v);
    *--in.sp = v;
    if (!set) raise_novalue(in, v);
}

// The clause boundary once the halt countdown has run out or was pulled down: the halt check
// when it is due, then the CALL traps waiting to be made (HALT's among them).
[[gnu::noinline]] void clause_boundary(Interp& in) {
    ExecInstance* inst = in.inst;
    take_clause_attention(inst);
    if (inst->halt_countdown < 1) {
        if (halt_countdown_expired(inst)) halt_raised(in);
    } else if (platform::api_contended()) {
        halt_give_turn(inst);  // a check that does not poll still lets a waiting thread in
    }
    take_clause_attention(inst);
    if (in.frame->pending_calls > 0) {
        make_pending_calls(in);
        // One call per boundary: the others wait for the next.
        if (in.frame->pending_calls > 0) request_clause_attention(inst);
    }
}

// Runs instructions until the run ends.
// Every entry is at a clause boundary. While the common opcodes run, the instruction pointer and
// the stack top live in locals (registers): `sync` writes them back to `in` before anything that
// may read them there (a call out of the loop, an error, a condition), and `resync` reads them
// again after anything that may move them (a call, a return, a SIGNAL, an INTERPRET). Opcodes
// that are not worth that care run on `in` itself between a sync and a resync. The code is not
// bounds-checked per opcode: the translator's code and every image (verified when it is loaded)
// never flow past their last instruction, and every byte dispatches (a non-opcode to a fault).
void execute(Interp& in) {
    const std::uint8_t* code;
    const std::uint8_t* ip;
    Value* sp;
    Value* const stack_low = in.stack_low;
    ExecInstance* const inst = in.inst;
    auto sync = [&] {
        in.pc = static_cast<std::uint32_t>(ip - code);
        in.sp = sp;
    };
    // The symbol table and the id of the current activation's variable scope, for the inline
    // variable accesses: they change only where the code or the activation does (INTERPRET,
    // PROCEDURE, a call or return, a renumbering of scope ids when a new scope is made), and
    // resync follows. Without an activation the run has ended and no instruction runs.
    SymbolEntry* syms;
    const Value* literals;
    std::uint32_t scope_id;
    auto resync = [&] {
        code = in.code;
        ip = code + in.pc;
        sp = in.sp;
        syms = in.prog->symbols.data();
        literals = in.prog->literals.data();
        scope_id = in.act ? in.act->scope->id : 0;
    };
    // One indirect jump per opcode, made at the end of each; 0 and anything past the last opcode
    // are faults.
    static constexpr const void* kDispatch[256] = {
        &&op_bad, &&op_1,   &&op_2,   &&op_3,   &&op_4,   &&op_5,   &&op_6,   &&op_7,   &&op_8,
        &&op_9,   &&op_10,  &&op_11,  &&op_12,  &&op_13,  &&op_14,  &&op_15,  &&op_16,  &&op_17,
        &&op_18,  &&op_19,  &&op_20,  &&op_21,  &&op_22,  &&op_23,  &&op_24,  &&op_25,  &&op_26,
        &&op_27,  &&op_28,  &&op_29,  &&op_30,  &&op_31,  &&op_32,  &&op_33,  &&op_34,  &&op_35,
        &&op_36,  &&op_37,  &&op_38,  &&op_39,  &&op_40,  &&op_41,  &&op_42,  &&op_43,  &&op_44,
        &&op_45,  &&op_46,  &&op_47,  &&op_48,  &&op_49,  &&op_50,  &&op_51,  &&op_52,  &&op_53,
        &&op_54,  &&op_55,  &&op_56,  &&op_57,  &&op_58,  &&op_59,  &&op_60,  &&op_61,  &&op_62,
        &&op_63,  &&op_64,  &&op_65,  &&op_66,  &&op_67,  &&op_68,  &&op_69,  &&op_70,  &&op_71,
        &&op_72,  &&op_73,  &&op_74,  &&op_75,  &&op_76,  &&op_77,  &&op_78,  &&op_79,  &&op_80,
        &&op_81,  &&op_82,  &&op_83,  &&op_84,  &&op_85,  &&op_86,  &&op_87,  &&op_88,  &&op_89,
        &&op_90,  &&op_91,  &&op_92,  &&op_93,  &&op_94,  &&op_95,  &&op_96,  &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad, &&op_bad,
        &&op_bad, &&op_bad, &&op_bad, &&op_bad};
#define KETRA_NEXT() goto* kDispatch[*ip]

    resync();
    goto cold_end;
// After an opcode that ran on `in`: the rest of its clause, or the clause boundary.
cold_next:
    resync();
    KETRA_NEXT();
cold_end:
    resync();
    if (in.ended) return;
clause:
    // One decrement and test, and a look for a thread waiting for the interface (which gets its
    // turn at every clause); everything else a boundary looks at pulls the countdown down.
#if defined(__GNUC__) && defined(__x86_64__)
    // The compiler reloads and tests the decremented count; the flags of the decrement suffice.
    asm goto("subl $1, %0\n\tjle %l[boundary_due]"
             : "+m"(inst->halt_countdown)
             :
             : "cc"
             : boundary_due);
#else
    if (--inst->halt_countdown < 1) goto boundary_due;
#endif
    if (platform::api_contended()) [[unlikely]]
        goto boundary_due;
    KETRA_NEXT();
boundary_due:
    // A due check that finds nothing to do (the commonest case) costs no call.
    if (inst->halt_countdown > -kClauseAttention / 2 && halt_check_quiet(inst)) {
        if (inst->halt_countdown < 1) inst->halt_countdown = inst->halt_reload;
        KETRA_NEXT();
    }
    sync();
    clause_boundary(in);
    resync();
    KETRA_NEXT();

overflow:
    sync();
    stack_overflow();

op_1 : {
    if (sp <= stack_low) goto overflow;
    std::uint16_t idx = u16_at(ip + 1);
    *--sp = idx < in.literal_ints_count ? in.literal_pushes[idx] : borrowed(literals[idx]);
    ip += 3;
    KETRA_NEXT();
}
op_2 : {
    if (sp <= stack_low) goto overflow;
    std::uint16_t sym = u16_at(ip + 1);
    const SymbolEntry& e = syms[sym];
    if (VarNode* node = cached_simple_node(e, scope_id); node && !is_absent(node->value)) {
        push_borrowed(--sp, node->value);
        ip += 3;
        KETRA_NEXT();
    }
    // An array element with a whole-number index, all through the cache.
    if (e.kind == kSymbolCompound) {
        const Value* tail;
        if (SymbolEntry* stem = single_tail_cached(syms, literals, e, scope_id, tail)) {
            if (const Value* v = cached_number_element(*stem, *tail, scope_id)) {
                // x = a.i, the element copied straight into a cached simple variable.
                if (ip[3] == 93 && ip[4] == 10) {
                    VarNode* node = cached_simple_node(syms[u16_at(ip + 5)], scope_id);
                    if (node && kept_as_is(*v)) {
                        store_in_node(node, borrowed(*v));
                        ip += 7;
                        goto clause;
                    }
                }
                push_borrowed(--sp, *v);
                ip += 3;
                KETRA_NEXT();
            }
        }
    }
    // Any other variable (a compound, an alias, one not cached): an unset one raises NOVALUE
    // with its name pushed as its value.
    sync();
    push_fetched(in, sym);
    sp = in.sp;  // no REXX code ran: the code and the scope are as they were
    ip += 3;
    KETRA_NEXT();
}
op_3:
    if (sp <= stack_low) goto overflow;
    *--sp = kAbsentValue;
    ip += 1;
    KETRA_NEXT();
op_10 : {
    Value v = *sp++;
    std::uint16_t sym = u16_at(ip + 1);
    if (VarNode* node = cached_simple_node(syms[sym], scope_id); node && kept_as_is(v)) {
        store_in_node(node, v);
    } else {
        sync();
        var_store(in.act, sym, v);
    }
    ip += 3;
    goto clause;
}
op_12 : {
    if (in.loop.control < 0) {
        ip += 1;
        KETRA_NEXT();
    }
    if (Value* slot = integer_control(in, syms, scope_id); slot && (in.loop.by.flags & kInteger)) {
        std::int64_t c = std::int64_t{slot->data.integer} + in.loop.by.data.integer;
        if (c >= -kMaxInteger && c <= kMaxInteger) {
            slot->data.integer = static_cast<std::int32_t>(c);
            ip += 1;
            // The test that follows the step reuses the control variable just found.
            if (*ip == 13) {
                int done = quick_loop_test(in, slot);
                if (done >= 0) {
                    ip = done ? code + u24_at(ip + 1) : ip + 4;
                    KETRA_NEXT();
                }
            }
            KETRA_NEXT();
        }
    }
    sync();
    loop_step(in);
    resync();
    ip += 1;
    KETRA_NEXT();
}
op_13 : {
    int done = quick_loop_test(in, integer_control(in, syms, scope_id));
    if (done < 0) {
        sync();
        done = loop_test(in);
        resync();
    }
    ip = done ? code + u24_at(ip + 1) : ip + 4;
    KETRA_NEXT();
}
op_25:
    ip = code + u24_at(ip + 1);
    goto clause;
op_26:
op_27 : {
    Value& v = sp[0];
    int b;
    if ((v.flags & kInteger) && (v.data.integer == 0 || v.data.integer == 1)) {
        b = v.data.integer;
    } else {
        sync();
        b = logical_value(v);
        release(v);
    }
    ++sp;
    if (b == (*ip == 27 ? 1 : 0))
        ip = code + u24_at(ip + 1);
    else
        ip += 4;
    goto clause;
}
// The result trace point that ends most expressions does nothing here and is stepped over.
#define KETRA_ARITH(op)            \
    if (!arith_fast<op>(in, sp)) { \
        sync();                    \
        arith_top2(in, op);        \
        sp = in.sp;                \
    }                              \
    ip += 1 + (ip[1] == 93);       \
    KETRA_NEXT();
// Sums other than of two integers go to the one function that reads every short form in place.
// A sum whose left operand is a long kept number borrowed from a variable (x = x + y, typically)
// and that is assigned next to a cached simple variable may take the buffer of that variable's
// value (the store then has nothing to free).
#define KETRA_SUM(op)                                                                         \
    if (!arith_fast<op>(in, sp)) {                                                            \
        sync();                                                                               \
        VarNode* target = nullptr;                                                            \
        if ((sp[1].flags & (kBorrowed | kScanned)) == (kBorrowed | kScanned)) {               \
            const std::uint8_t* const store = ip + 1 + (ip[1] == 93);                         \
            if (*store == 10) target = cached_simple_node(syms[u16_at(store + 1)], scope_id); \
        }                                                                                     \
        const Value sum = add_values(sp[1], sp[0], op == kOpSubtract, in.act->numeric,        \
                                     target ? &target->value : nullptr);                      \
        drop_entry(sp[0]);                                                                    \
        drop_entry(sp[1]);                                                                    \
        *++sp = sum;                                                                          \
    }                                                                                         \
    ip += 1 + (ip[1] == 93);                                                                  \
    KETRA_NEXT();
op_64:
    KETRA_SUM(kOpAdd)
op_65:
    KETRA_SUM(kOpSubtract)
#undef KETRA_SUM
op_66:
    KETRA_ARITH(kOpMultiply)
op_67:
    KETRA_ARITH(kOpDivide)
op_68:
    KETRA_ARITH(kOpIntDivide)
op_69:
    KETRA_ARITH(kOpRemainder)
op_70:
    KETRA_ARITH(kOpPower)
#undef KETRA_ARITH
// A comparison that an IF or WHEN tests (the result trace point, then the jump) takes the jump
// itself: its result is always 0 or 1, so the jump's logical-value check has nothing to find.
#define KETRA_COMPARE(op)                                               \
    {                                                                   \
        int result = compare_fast<op>(in, sp);                          \
        if (result < 0) {                                               \
            sync();                                                     \
            compare_top2(in, op);                                       \
            sp = in.sp + 1;                                             \
            result = sp[-1].data.integer;                               \
        }                                                               \
        if (ip[1] == 93 && (ip[2] & 0xFE) == 26) { /* JUMPF, JUMPT */   \
            ip = result == ip[2] - 26 ? code + u24_at(ip + 3) : ip + 6; \
            goto clause;                                                \
        }                                                               \
        *--sp = integer_constant(result);                               \
        ip += 1;                                                        \
        KETRA_NEXT();                                                   \
    }
op_80:
    KETRA_COMPARE(kCmpEq)
op_81:
    KETRA_COMPARE(kCmpStrictEq)
op_82:
    KETRA_COMPARE(kCmpNe)
op_83:
    KETRA_COMPARE(kCmpStrictNe)
op_84:
    KETRA_COMPARE(kCmpGt)
op_85:
    KETRA_COMPARE(kCmpLe)
op_86:
    KETRA_COMPARE(kCmpStrictGt)
op_87:
    KETRA_COMPARE(kCmpStrictLe)
op_88:
    KETRA_COMPARE(kCmpLt)
op_89:
    KETRA_COMPARE(kCmpGe)
op_90:
    KETRA_COMPARE(kCmpStrictLt)
op_91:
    KETRA_COMPARE(kCmpStrictGe)
#undef KETRA_COMPARE
op_92:
op_94:
op_96:
    ip += 1;
    goto clause;
op_93:
op_95:
    ip += 1;
    KETRA_NEXT();
op_78:
op_79 : {
    // The call of LENGTH next, or after one more push and join: each opcode read here exists,
    // as a join is never the last instruction and a push is followed by one.
    if (ip[1] == 19 || ((ip[1] == 1 || ip[1] == 2) && (ip[4] & 0xFE) == 78 && ip[5] == 19)) {
        const std::uint8_t* after;
        const std::int64_t n = length_of_join(in, ip, sp, syms, scope_id, after);
        if (n >= 0) {
            drop_entry(sp[0]);
            drop_entry(sp[1]);
            ++sp;
            sp[0] = integer_constant(static_cast<std::int32_t>(n));
            ip = after;
            KETRA_NEXT();
        }
    }
    sync();
    bool assigned = op_concat(in, *ip == 79);
    resync();
    if (assigned) goto clause;
    KETRA_NEXT();
}

// The opcodes below run on `in`: each begins with sync() and ends at cold_next (the clause
// goes on) or cold_end (the clause ends).
op_4 : {
    sync();
    open_loop(in);
    in.pc += 1;
    goto cold_next;
}
op_5 : {
    sync();
    close_loop(in);
    in.pc += 1;
    goto cold_end;
}
op_6 : {
    sync();
    in.loop.control = u16_at(ip + 1);
    in.pc += 3;
    goto cold_next;
}
op_7 : {
    sync();
    loop_to(in);
    in.pc += 1;
    goto cold_next;
}
op_8 : {
    sync();
    loop_by(in);
    in.pc += 1;
    goto cold_next;
}
op_9 : {
    sync();
    loop_for(in);
    in.pc += 1;
    goto cold_next;
}
op_11 : {
    sync();
    loop_initial(in);
    in.pc += 1;
    goto cold_next;
}
op_14:
op_15 : {
    sync();
    call_internal(in, u24_at(ip + 2), ip[1], *ip == 14 ? kInvokeSubroutine : kInvokeFunction,
                  in.pc + 5);
    goto cold_end;
}
op_16:
op_17 : {
    sync();
    Value result;
    int argc = ip[1];
    bool function_call = *ip == 17;
    bool got = call_external(in, u24_at(ip + 2), argc, function_call, result);
    bool function = finish_call(in, got, result, argc, function_call);
    in.pc += 5;
    if (function) goto cold_next;
    goto cold_end;
}
op_18 : {
    sync();
    Value result;
    int argc = ip[1];
    bool got = call_builtin_at(in, static_cast<int>(u24_at(ip + 2)), argc, result);
    finish_call(in, got, result, argc, false);
    in.pc += 5;
    goto cold_end;
}
op_19 : {
    // LENGTH of a string, the commonest call of all, is answered here without the dispatcher;
    // an integer argument has no characters yet and goes the long way.
    if (ip[1] == 1 && u24_at(ip + 2) == kBuiltinLength && !(sp->flags & (kInteger | kAbsent))) {
        const auto n = static_cast<std::int32_t>(sp->length);
        drop_entry(*sp);
        *sp = integer_constant(n);
        ip += 5;
        KETRA_NEXT();
    }
    // A built-in function: the commonest call, so its arguments are popped and its result
    // pushed here, on the locals.
    sync();
    Value result;
    int argc = ip[1];
    bool got = call_builtin_at(in, static_cast<int>(u24_at(ip + 2)), argc, result);
    // A built-in runs no REXX code here: the code and the instruction are where they were (a
    // condition it raises is a SIGNAL, which unwinds, or a CALL made at the clause's end). A
    // run that an exit starts meanwhile may renumber the scopes, so the id is read again.
    sp = in.sp;
    scope_id = in.act->scope->id;
    for (Value* end = sp + argc; sp < end; ++sp)
        if ((sp->flags & kOwned) && sp->length > kInlineMax) release_buffer(*sp);
    if (!got) {
        sync();
        error(44);
    }
    if (sp <= stack_low) {
        release(result);
        goto overflow;
    }
    *--sp = result;
    ip += 5;
    KETRA_NEXT();
}
op_20 : {
    sync();
    do_return(in, nullptr);
    goto cold_end;
}
op_21 : {
    sync();
    ValueHolder v(in.sp[0]);
    ++in.sp;
    do_return(in, &v.get());
    goto cold_end;
}
op_22 : {
    sync();
    do_exit(in, nullptr);
    goto cold_end;
}
op_23 : {
    sync();
    ValueHolder v(in.sp[0]);
    ++in.sp;
    do_exit(in, &v.get());
    goto cold_end;
}
op_24 : {
    sync();
    in.frame->no_result = true;
    in.ended = true;
    goto cold_end;
}
op_28 : {
    sync();
    swap_environments(in);
    in.pc += 1;
    goto cold_end;
}
op_29 : {
    sync();
    set_environment(in);
    in.pc += 1;
    goto cold_end;
}
op_30 : {
    sync();
    run_command(in, in.sp[1], in.sp[0]);
    drop_top(in);
    drop_top(in);
    in.pc += 1;
    goto cold_end;
}
op_31 : {
    sync();
    Value env = copy_value(in.act->environment);
    ValueHolder hold(env);
    run_command(in, hold.get(), in.sp[0]);
    drop_top(in);
    in.pc += 1;
    goto cold_end;
}
op_32:
op_33 : {
    // PARSE VAR and VALUE run no REXX code: a condition they raise is a SIGNAL, which unwinds,
    // or a CALL made at the clause's end, so the stack and the code are where they were.
    sync();
    parse_string(in.act, u16_at(ip + 1), sp[0], *ip == 33);
    drop_entry(*sp);
    ++sp;
    ip += 3;
    goto clause;
}
op_34:
op_35 : {
    sync();
    if (in.act == in.top) argument_prompt(in.inst);
    parse_args(in.act, u16_at(ip + 1), *ip == 35);
    in.pc += 3;
    goto cold_end;
}
op_36 : {
    sync();
    push(in, parse_numeric_string(in));
    in.pc += 1;
    goto cold_next;
}
op_37 : {
    sync();
    push(in, parse_source_string(in));
    in.pc += 1;
    goto cold_next;
}
op_38 : {
    sync();
    push(in, parse_version_string());
    in.pc += 1;
    goto cold_next;
}
op_39 : {
    sync();
    push(in, read_input_line(in));
    in.pc += 1;
    goto cold_next;
}
op_40 : {
    sync();
    upper_variable(in, u16_at(ip + 1));
    in.pc += 3;
    goto cold_end;
}
op_41 : {
    sync();
    var_drop(in.act, u16_at(ip + 1));
    in.pc += 3;
    goto cold_end;
}
op_42 : {
    sync();
    var_drop_list(in.act, u16_at(ip + 1));
    in.pc += 3;
    goto cold_end;
}
op_43 : {
    sync();
    start_interpret(in, in.sp[0]);
    goto cold_end;
}
op_44 : {
    sync();
    end_interpret(in);
    goto cold_end;
}
op_45 : {
    sync();
    in.pc += 1;
    goto cold_end;
}
op_46 : {
    sync();
    numeric_digits(in);
    in.pc += 1;
    goto cold_end;
}
op_47 : {
    sync();
    numeric_form(in);
    in.pc += 1;
    goto cold_end;
}
op_48 : {
    sync();
    numeric_fuzz(in);
    in.pc += 1;
    goto cold_end;
}
op_49 : {
    sync();
    options(in);
    in.pc += 1;
    goto cold_end;
}
op_50 : {
    sync();
    if (in.act->procedure_done) error(17);
    in.act->procedure_done = true;
    var_procedure(in.act);
    in.pc += 1;
    goto cold_end;
}
op_51 : {
    sync();
    var_expose(in.act, u16_at(ip + 1));
    in.pc += 3;
    goto cold_end;
}
op_52 : {
    sync();
    var_expose_list(in.act, u16_at(ip + 1));
    in.pc += 3;
    goto cold_end;
}
op_53:
op_54 : {
    sync();
    Value& v = in.sp[0];
    queue_add(is_absent(v) ? kNullString : v, *ip == 53);
    drop_top(in);
    in.pc += 1;
    goto cold_end;
}
op_55 : {
    sync();
    push(in, pull_line(in));
    in.pc += 1;
    goto cold_end;
}
op_56 : {
    sync();
    say(in, in.sp[0]);
    drop_top(in);
    in.pc += 1;
    goto cold_end;
}
op_57 : {
    sync();
    signal_to(in, u24_at(ip + 1));
    goto cold_end;
}
op_58 : {
    sync();
    NumberBuffer nb;
    std::string_view name = view_of(in.sp[0], nb);
    std::uint32_t target = find_label(in, name.data(), name.size());
    signal_to(in, target);
    goto cold_end;
}
op_59 : {
    sync();
    set_trap(in, ip[1], ip[2], u24_at(ip + 3), true);
    in.pc += 6;
    goto cold_end;
}
op_60 : {
    sync();
    set_trap(in, ip[1], ip[2], 0, true);
    in.pc += 3;
    goto cold_end;
}
op_61 : {
    sync();
    set_trap(in, ip[1], ip[2], 0, false);
    in.pc += 3;
    goto cold_end;
}
op_62 : {
    sync();
    apply_trace(in, in.sp[0]);
    drop_top(in);
    in.pc += 1;
    goto cold_end;
}
op_63 : {
    sync();
    error(u16_at(ip + 1));
}
op_71 : {
    sync();
    op_prefix(in, kOpPlus);
    in.pc += 1;
    goto cold_next;
}
op_72 : {
    sync();
    op_prefix(in, kOpMinus);
    in.pc += 1;
    goto cold_next;
}
op_73 : {
    sync();
    op_prefix(in, kOpAbs);
    in.pc += 1;
    goto cold_next;
}
op_74 : {
    sync();
    Value& v = in.sp[0];
    int r = logical(v, v, kLogNot);
    replace_top1(in, integer_constant(r));
    in.pc += 1;
    goto cold_next;
}
op_75:
op_76:
op_77 : {
    sync();
    int r = logical(in.sp[1], in.sp[0], static_cast<int>(*ip - 74));
    replace_top2(in, integer_constant(r));
    in.pc += 1;
    goto cold_next;
}
op_bad : {
    sync();
    internal_error(5);
}
#undef KETRA_NEXT
}

// The end of a run, however it ends.
void finish(Interp& in) {
    call_termination_exit(in);
    leave_all_activations(in);
    release(in.loop.by);
    release(in.loop.to);
    in.loop = empty_loop_registers();
    discard_stack_to(in, in.stack_high);
}

// Restores the interpreter of an enclosing run when this one is done.
struct CurrentGuard {
    Interp* saved;
    explicit CurrentGuard(Interp* in) : saved(t_interp) {
        in->outer = saved;
        t_interp = in;
    }
    ~CurrentGuard() { t_interp = saved; }
};

}  // namespace

Interp* current_interp() {
    return t_interp;
}
void set_current_interp(Interp* in) {
    t_interp = in;
}

void stack_overflow() {
    error(39);
}

void discard_stack_to(Interp& in, Value* base) {
    while (in.sp < base) {
        release(*in.sp);
        ++in.sp;
    }
}

std::uint8_t instruction_length(unsigned op) {
    return op < 97 ? kLength[op] : 0;
}

void run_program(ExecInstance* inst) {
    RunFrame* frame = inst->frame;
    frame->no_result = true;
    Program* prog = inst->program.get();
    if (!prog || prog->code.empty()) return;

    Interp in{};
    in.inst = inst;
    in.frame = frame;
    in.prog = prog;
    in.code = prog->code.data();
    in.code_size = static_cast<std::uint32_t>(prog->code.size());
    in.line_info = !prog->statements.empty();
    in.loop = empty_loop_registers();
    if (!frame->stack_base) {
        frame->stack_base = static_cast<Value*>(allocate(kStackEntries * sizeof(Value)));
        frame->stack_size = kStackEntries;
    }
    in.stack_low = frame->stack_base;
    in.stack_high = frame->stack_base + frame->stack_size;
    in.sp = in.stack_high;
    frame->stack_top = in.sp;

    // Whole-number literals in canonical form are pushed in integer form, so the integer
    // paths of the operators apply to them.
    std::size_t nlit = prog->literals.size();
    RexxVector<Value> pushes(nlit);
    for (std::size_t k = 0; k < nlit; ++k) {
        const Value& lit = prog->literals[k];
        std::int32_t n;
        if (lit.flags & kInteger)
            pushes[k] = integer_constant(lit.data.integer);
        else if ((classification(lit) & kWhole) && small_integer(lit, n))
            pushes[k] = integer_constant(n);
        else
            pushes[k] = borrowed(lit);
        // Classified once here rather than by each operator or built-in that reads it.
        classify(pushes[k]);
    }
    in.literal_pushes = pushes.data();
    in.literal_ints_count = static_cast<std::uint32_t>(nlit);
    in.program_symbols = static_cast<std::uint32_t>(prog->symbols.size());

    CurrentGuard guard(&in);
    try {
        enter_program_activation(in);
        call_rxini(in);
    } catch (const RexxUnwind&) {
        finish(in);
        throw;
    }
    for (;;) {
        try {
            execute(in);
            break;
        } catch (const RexxUnwind&) {
            if (in.resume && !in.ended) {
                in.resume = false;
                continue;
            }
            finish(in);
            throw;
        }
    }
    finish(in);
    if (!frame->no_result && frame->result) {
        // Nothing else to do: the session hands the result back.
    }
}

}  // namespace ketra
