// The REXX value record: one string that may also carry a cached binary integer form and a cached
// classification (number, whole number). Every literal, variable value, stack entry, argument and
// result is one of these. This header owns the record, its ownership rules (owned / borrowed /
// referenced buffers), the shared constants, classification, the RXSTRING conversions, and the
// whole-number and logical-value rules.
//
// Layout on x86_64 (16 bytes): length, flags, reserved, and an 8-byte union that holds the
// characters inline (up to kInlineMax), a pointer to them, or a 32-bit integer (flag kInteger).
// Invariant: a string record of length <= kInlineMax keeps its characters inline; a longer one
// points at a buffer that is owned (kOwned), borrowed from another record (kBorrowed) or
// referenced (neither flag: stable storage such as a literal of a compiled image).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ketra {

// Flag bits of a value record.
enum ValueFlag : std::uint8_t {
    kInteger = 1,     // data holds a binary integer; the string form has not been produced
    kWhole = 2,       // the string is in integer syntax with at most 9 digits
    kNumber = 4,      // the string is a valid REXX number
    kClassified = 8,  // kWhole and kNumber are valid
    kOwned = 16,      // the buffer belongs to this record and is freed with it
    kAbsent = 32,     // omitted argument, unset value or dropped variable
    kBorrowed = 64,   // the buffer belongs to another record; copy before keeping
    // The buffer (of a string of kInlineMax + 1 to kSideMax characters) also holds the number's
    // coefficient in its side word, and field scan its digit and fraction counts; an inline
    // fraction keeps its coefficient in reserved (high byte) and scan. Whatever writes new
    // characters into a record sets the flags afresh, which drops this one.
    kScanned = 128,
};

inline constexpr std::size_t kInlineMax = 8;
// Longest string a value may hold; a longer request is a memory-full report (implementation limit).
inline constexpr std::size_t kMaxStringLength = 500000000;
// A string of kInlineMax + 1 to kSideMax characters made by start_string has a buffer with a
// spare 8-byte side word at kSideOffset (kept by copy_value, lost where new characters go in).
inline constexpr std::size_t kSideOffset = 16;
inline constexpr std::size_t kSideMax = kSideOffset - 1;
// Range of the integer form.
inline constexpr std::int32_t kMaxInteger = 999999999;

struct Value {
    std::uint32_t length;
    std::uint8_t flags;
    std::uint8_t reserved;
    std::uint16_t scan;  // with kScanned: the kept form described there
    union Data {
        char chars[kInlineMax];
        const char* ptr;
        std::int32_t integer;
    } data;
};
static_assert(sizeof(Value) == 16);

// ---- shared constants ------------------------------------------------------------------------

constexpr Value integer_constant(std::int32_t n) {
    Value v{};
    v.flags = kInteger | kWhole | kNumber | kClassified;
    v.data.integer = n;
    return v;
}
constexpr Value absent_constant() {
    Value v{};
    v.flags = kAbsent | kClassified;
    v.data.ptr = nullptr;
    return v;
}
inline constexpr Value kAbsentValue = absent_constant();
inline constexpr Value kZeroValue = integer_constant(0);
inline constexpr Value kOneValue = integer_constant(1);
inline constexpr Value kTenValue = integer_constant(10);
inline constexpr Value kSixteenValue = integer_constant(16);
inline constexpr Value kTwoFiftySixValue = integer_constant(256);
// The empty string (not absent).
inline constexpr Value kNullString = [] {
    Value v{};
    v.flags = kClassified;
    return v;
}();

// ---- construction and release ----------------------------------------------------------------

// A record holding the bytes. Up to kInlineMax bytes are stored inline; longer strings are copied
// into an owned buffer when copy is set, else referenced (the caller keeps them alive). The record
// is classified. Longer than kMaxStringLength: memory-full report, error 5.
Value make_value(const char* bytes, std::size_t length, bool copy);
inline Value make_value(std::string_view s, bool copy = true) {
    return make_value(s.data(), s.size(), copy);
}
// An integer-form record; outside the integer range the string form is produced instead.
Value make_integer(std::int64_t n);
// Gives v a string of n characters (owned buffer when n > kInlineMax), flags cleared except
// ownership, and returns where the caller writes the characters. v must hold no buffer (released
// or fresh). Over kMaxStringLength: memory-full report, error 5.
char* start_string(Value& v, std::size_t n);
// Shortens a string record to n characters (n <= current length); moves them inline when they
// fit. Clears the classification.
void shorten(Value& v, std::size_t n);
// Frees the owned buffer of v (which has one).
void release_buffer(const Value& v);
// How many characters v's owned buffer holds without growing (its terminating NUL aside).
std::size_t owned_room(const Value& v);
// Frees an owned buffer and leaves v as the empty string.
inline void release(Value& v) {
    if ((v.flags & kOwned) && v.length > kInlineMax) release_buffer(v);
    v = kNullString;
}
// A copy that refers to v's characters without copying them: an owned buffer becomes borrowed
// in the copy. Integer-form and inline records are plain copies.
inline Value borrow(const Value& v) {
    Value c = v;
    if ((c.flags & kOwned) && c.length > kInlineMax)
        c.flags = static_cast<std::uint8_t>((c.flags & ~kOwned) | kBorrowed);
    return c;
}
// A deep copy with its own buffer when the characters do not fit inline.
Value copy_value(const Value& v);
// Makes a borrowed record own its characters (a copy); other records are left as they are.
void make_private(Value& v);

// ---- string forms ----------------------------------------------------------------------------

// Room for the decimal form of an integer-form record.
struct NumberBuffer {
    char c[16];
};

inline bool is_absent(const Value& v) {
    return (v.flags & kAbsent) != 0;
}
inline bool is_integer_form(const Value& v) {
    return (v.flags & kInteger) != 0;
}

// Characters of a string record (not integer form).
inline const char* chars_of(const Value& v) {
    return v.length <= kInlineMax ? v.data.chars : v.data.ptr;
}
// Writable characters of an owned or inline string record.
inline char* mutable_chars(Value& v) {
    return v.length <= kInlineMax ? v.data.chars : const_cast<char*>(v.data.ptr);
}
// Writes the decimal form of n into buf; returns its length.
std::size_t format_integer(std::int32_t n, char* buf);

// The string form; an integer-form record is converted in place (flag kInteger cleared).
std::string_view string_of(Value& v);
// The string form without changing v: integer-form records are written into buf.
inline std::string_view view_of(const Value& v, NumberBuffer& buf) {
    if (v.flags & kInteger) return {buf.c, format_integer(v.data.integer, buf.c)};
    return {chars_of(v), v.length};
}
// Converts a whole (kWhole) string record to integer form, freeing an owned buffer. Others are
// left as they are.
void to_integer_form(Value& v);

// ---- classification --------------------------------------------------------------------------

// kWhole | kNumber | kClassified, kNumber | kClassified, or kClassified for these characters.
std::uint8_t classify_chars(const char* p, std::size_t n);
// The same, settled by the first character when no number can begin with it (a blank, a sign,
// a period or a digit can): most text is settled so without the call.
// A number may begin with a blank, a sign, a period or a digit; the test lets "," and "/" by,
// which is only a little slower for them.
inline bool may_begin_number(unsigned char c) {
    return c == ' ' || static_cast<unsigned char>(c - '+') <= '9' - '+';
}
inline std::uint8_t classify_text(const char* p, std::size_t n) {
    if (!n || !may_begin_number(static_cast<unsigned char>(p[0]))) return kClassified;
    return classify_chars(p, n);
}
// The classification bits of v, computed when v is not yet classified (v itself is unchanged).
inline std::uint8_t classification(const Value& v) {
    if (v.flags & kClassified) return v.flags & (kWhole | kNumber | kClassified);
    return classify_chars(chars_of(v), v.length);
}
// Sets the classification bits of v unless it is classified already.
inline void classify(Value& v) {
    if (!(v.flags & kClassified)) v.flags |= classify_chars(chars_of(v), v.length);
}
inline bool is_number(const Value& v) {
    return (classification(v) & kNumber) != 0;
}
inline bool is_whole(const Value& v) {
    return (classification(v) & kWhole) != 0;
}
// When v is whole (integer form or integer syntax), stores its integer in out.
bool small_integer(const Value& v, std::int32_t& out);

// ---- RXSTRING conversions --------------------------------------------------------------------

// A null pointer gives the absent value.
Value from_rxstring(const char* ptr, unsigned long length, bool copy);
struct StringRef {
    unsigned long length;
    const char* ptr;
};
// The string form as a view (not copied); the absent value gives length 0 and a null pointer.
StringRef to_rxstring(Value& v);
// Overloads for any RXSTRING-shaped struct (strlength, strptr).
template <class Rx>
Value from_rxstring(const Rx& rx, bool copy) {
    return from_rxstring(rx.strptr, rx.strlength, copy);
}
template <class Rx>
void to_rxstring(Value& v, Rx& out) {
    StringRef r = to_rxstring(v);
    out.strlength = r.length;
    out.strptr = const_cast<decltype(out.strptr)>(r.ptr);
}

// ---- whole numbers and logical values --------------------------------------------------------

// The value as a 32-bit whole number, else error 26 "Invalid whole number". A number is rounded
// to 9 significant digits first; it must then have no fraction and fewer than 10 integer digits.
std::int32_t whole_number(const Value& v);
// Like whole_number, but reports failure instead of raising the error.
bool try_whole_number(const Value& v, std::int32_t& out);
// 0 or 1 for the values 0 and 1, else error 34 "Logical value not 0 or 1".
int logical_value(const Value& v);

// ---- RAII holder -----------------------------------------------------------------------------

// Owns one record and releases it on destruction (for temporaries on unwinding paths).
class ValueHolder {
  public:
    ValueHolder() : v_(kNullString) {}
    explicit ValueHolder(Value v) : v_(v) {}
    ~ValueHolder() { release(v_); }
    ValueHolder(const ValueHolder&) = delete;
    ValueHolder& operator=(const ValueHolder&) = delete;
    ValueHolder(ValueHolder&& o) noexcept : v_(o.v_) { o.v_ = kNullString; }
    ValueHolder& operator=(ValueHolder&& o) noexcept {
        if (this != &o) {
            release(v_);
            v_ = o.v_;
            o.v_ = kNullString;
        }
        return *this;
    }
    Value& get() { return v_; }
    const Value& get() const { return v_; }
    // Hands the record over; the holder is left empty.
    Value take() {
        Value v = v_;
        v_ = kNullString;
        return v;
    }

  private:
    Value v_;
};

}  // namespace ketra
