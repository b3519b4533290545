// Storing strings cut from a parsed string into variables without the general path: the
// characters of a piece packed into one word, settled into the integer form or classified as
// they are written, and the in-place store into a simple variable's cached node that PARSE makes
// for each piece (store_cached) before falling back to var_store_chars. The same settling is
// used by every store of a string into a variable (variables.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rexx/runtime/number.h"
#include "rexx/runtime/value.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"

namespace ketra {

// Copies n characters, in upper case when upper is set.
inline void copy_chars(char* out, const char* p, std::size_t n, bool upper) {
    if (!upper) {
        if (n) std::memcpy(out, p, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char c = p[i];
        out[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
}

// The second half of prepare_for_store, for a record that already owns its characters or
// keeps them inline.
//
// Characters that begin with a digit or "-" are read once: in whole-number syntax (an optional
// "-", then 1 to 9 digits without a leading zero) they become the integer form; digits with at
// most one "." (a leading zero, ten digits, a fraction) are classified as a number there and
// then, and so are digits followed by a character no number has there ("2024-01"). Only the
// rarer forms (blanks, signs, exponents) take the full classification.
[[gnu::always_inline]] inline void settle_short(Value& v) {
    if ((v.flags & kInteger) || v.length == 0 || v.length > 10) return;
    if ((v.flags & (kClassified | kWhole)) == kClassified) return;  // known not to be whole
    const char* p = chars_of(v);
    const std::size_t n = v.length;
    const unsigned char c = static_cast<unsigned char>(p[0]);
    if ((c >= '0' && c <= '9') || c == '-') {
        const bool neg = c == '-';
        std::size_t i = neg;
        std::uint32_t x = 0;  // may wrap at ten digits, when it is not used
        unsigned d;
        while (i < n && (d = static_cast<unsigned char>(p[i]) - static_cast<unsigned>('0')) <= 9) {
            x = x * 10 + d;
            ++i;
        }
        std::size_t digits = i - neg;
        if (i == n && digits) {
            if (digits <= 9 && !(p[neg] == '0' && (digits > 1 || neg))) {
                const auto whole = static_cast<std::int32_t>(x);
                release(v);
                v = integer_constant(neg ? -whole : whole);
                return;
            }
            v.flags |= kNumber | kClassified;
            return;
        }
        if (i < n && p[i] == '.') {
            const std::size_t frac = ++i;
            while (i < n && static_cast<unsigned char>(p[i] - '0') <= 9) ++i;
            digits += i - frac;
            if (i == n && digits) {
                v.flags |= kNumber | kClassified;
                return;
            }
        }
        // Only an exponent or trailing blanks may follow the digits of a number.
        if (i < n && p[i] != 'e' && p[i] != 'E' && p[i] != ' ') {
            v.flags |= kClassified;
            return;
        }
    } else if (!may_begin_number(c)) {
        v.flags |= kClassified;  // not a number
        return;
    }
    classify(v);
}

// The 1 to 8 characters of a piece in one word, first character in the low byte and zero bytes
// after: two overlapping loads cover 4 to 8 characters, and 1 to 3 take their last one and
// their first two (none reads past the piece).
[[gnu::always_inline]] inline std::uint64_t piece_word(const char* p, std::size_t n) {
    if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + n - 4, 4);
        return head | (static_cast<std::uint64_t>(tail) << (8 * (n - 4)));
    }
    const std::uint64_t last = static_cast<unsigned char>(p[n - 1]);
    if (n == 1) return last;
    std::uint16_t head;
    std::memcpy(&head, p, 2);
    return head | last << (8 * (n - 1));
}

// Folds the bytes 'a' to 'z' of w to upper case (bytes with the top bit set are left alone).
inline std::uint64_t upper_word(std::uint64_t w) {
    const std::uint64_t low7 = w & (0x7F * kLanes8);
    const std::uint64_t from_a = low7 + (0x80 - 'a') * kLanes8;      // top bit: byte >= 'a'
    const std::uint64_t past_z = low7 + (0x80 - 'z' - 1) * kLanes8;  // top bit: byte > 'z'
    const std::uint64_t lower = from_a & ~past_z & ~w & (0x80 * kLanes8);
    return w ^ (lower >> 2);
}

// Stores into v the 1 to 8 characters in w (as piece_word leaves them) as settle_short would
// settle them: the integer form for whole-number syntax; digits (with a sign and at most one
// period) classified as a number; digits followed by a character no number has there, or a
// first character no number begins with, classified as neither. Only the rarer forms (blanks,
// a plus sign, exponents) take the full classification. v holds no buffer.
//
// The record is written as two words (length and flags, then the characters) rather than
// field by field.
[[gnu::always_inline]] inline void put_short(Value& v, std::uint64_t w, std::size_t n) {
    static_assert(offsetof(Value, flags) == 4 && offsetof(Value, data) == 8);
    auto put = [&v](std::uint64_t head, std::uint64_t data) {
        std::memcpy(reinterpret_cast<char*>(&v), &head, 8);
        std::memcpy(reinterpret_cast<char*>(&v) + 8, &data, 8);
    };
    auto text = [&put, w, n](std::uint8_t flags) {
        put(n | static_cast<std::uint64_t>(flags) << 32, w);
    };
    const auto c = static_cast<unsigned char>(w);
    if (!may_begin_number(c)) return text(kClassified);
    const bool neg = c == '-';
    if (neg || static_cast<unsigned char>(c - '0') <= 9) {
        const std::uint64_t d = neg ? w >> 8 : w;  // the characters after the sign
        const std::size_t m = n - neg;
        const unsigned k = first_non_digit8(d);  // the zero bytes after the piece stop it
        if (k == m && m) {
            if ((d & 0xFF) != '0' || (m == 1 && !neg)) {
                // The lanes past the digits borrow, but only towards later bytes, which the
                // shift drops.
                const std::uint32_t x = word8_value((d - 0x30 * kLanes8) << (8 * (8 - m)));
                return put(static_cast<std::uint64_t>(kInteger | kWhole | kNumber | kClassified)
                               << 32,
                           neg ? 0u - x : x);
            }
            return text(kNumber | kClassified);  // leading zeros
        }
        const auto next = static_cast<char>(d >> (8 * k));
        if (next == '.') {
            const unsigned f = k + 1 == m ? 0 : first_non_digit8(d >> (8 * (k + 1)));
            if (k + 1 + f == m && k + f) return text(kNumber | kClassified);
        } else if (next == ' ') {
            // Blanks after digits end a number: any other character after them ("0 n") makes
            // the string text. (A sign may be followed by blanks: that case is left over.)
            const std::uint64_t blanks = (0x20 * kLanes8) >> (8 * (8 - (m - k)));
            if (k && (d >> (8 * k)) != blanks) return text(kClassified);
        } else if (next != 'e' && next != 'E') {
            return text(kClassified);  // only an exponent or trailing blanks follow a number
        }
    }
    text(0);
    v.flags = classify_chars(v.data.chars, n);
}

// Writes the n characters (more than kInlineMax) over the old ones of slot's owned buffer, which
// holds at least n, and settles the value as settle_short does. Up to 16 characters take two
// overlapping word moves, up to 64 moves of sixteen.
[[gnu::always_inline]] inline void overwrite(Value& slot, const char* p, std::size_t n,
                                             bool upper) {
    char* out = const_cast<char*>(slot.data.ptr);
    if (!upper && n <= 16) {
        const std::uint64_t head = load8(p), tail = load8(p + n - 8);
        store8(out, head);
        store8(out + n - 8, tail);
    } else if (!upper && n <= 64) {
        // Sixteen characters at a time, the last block ending with the piece: the rest of a line
        // is mostly this long, and a call of memcpy would cost more than the copy.
        for (std::size_t k = 0; k + 16 < n; k += 16) std::memcpy(out + k, p + k, 16);
        std::memcpy(out + n - 16, p + n - 16, 16);
    } else {
        copy_chars(out, p, n, upper);
    }
    out[n] = '\0';
    slot.length = static_cast<std::uint32_t>(n);
    slot.flags = kOwned;
    if (n > 10) return;  // settle_short leaves longer strings unclassified
    // Digits followed by a character no number has there settle without the scan ("2024-05").
    const std::uint64_t w = load8(out);
    const auto c = static_cast<unsigned char>(w);
    if (static_cast<unsigned char>(c - '0') <= 9) {
        const unsigned k = first_non_digit8(w);
        const char next = out[k];
        if (k < 8 && next != '.' && next != 'e' && next != 'E' && next != ' ') {
            slot.flags = kOwned | kClassified;
            return;
        }
    }
    settle_short(slot);
}

// Stores the n characters at p (folded to upper case when upper is set) into the simple
// variable of symbol entry e when the symbol-table cache holds its node for scope `scope_id`
// and the store takes or gives back no buffer: 1 to 8 characters over a value without a
// buffer of its own, or a long value written over old characters of about its length (not
// those of `source`, the buffer the pieces are cut from when a variable owns it). False when
// nothing was stored: the caller takes var_store_chars.
//
// Everything is read from the entry and the node, so a store through another path (DROP,
// EXPOSE, a new scope) is seen at once.
[[gnu::always_inline]] inline bool store_cached(const SymbolEntry& e, std::uint32_t scope_id,
                                                const char* p, std::size_t n, bool upper,
                                                const char* source) {
    if (e.tail != scope_id || e.kind != kSymbolSimple) return false;
    auto* node = static_cast<VarNode*>(e.cache);
    if (node->flags & (kNodeExposed | kNodeDropped)) return false;
    Value& slot = node->value;
    if (!(slot.flags & kOwned)) {  // nothing to give back; not the source
        if (n - 1 >= kInlineMax) return false;
        const std::uint64_t w = piece_word(p, n);
        put_short(slot, upper ? upper_word(w) : w, n);
        return true;
    }
    if (n <= kInlineMax || (slot.flags & kInteger) || slot.length < n || slot.length > 2 * n ||
        slot.data.ptr == source)
        return false;
    overwrite(slot, p, n, upper);
    return true;
}

}  // namespace ketra
