// String functions that map characters: BITAND, BITOR, BITXOR, TRANSLATE, XRANGE, UPPER and
// LOWER. Case follows the current locale's classification, changed by 32 and nothing else.
#include <cctype>
#include <cstring>

#include "rexx/builtins/handlers.h"

namespace ketra {

namespace {

enum BitOp { kAnd, kOr, kXor };

// The 256 byte values in order: the map of a TRANSLATE before its tables are applied.
struct ByteTable {
    char bytes[256];
};
constexpr ByteTable kIdentity = [] {
    ByteTable t{};
    for (int c = 0; c < 256; ++c) t.bytes[c] = static_cast<char>(c);
    return t;
}();

void bit_family(BuiltinCall& call, BitOp op) {
    const BuiltinArg* a = &call.arg[0];
    const BuiltinArg* b = &call.arg[1];
    const bool padded = !call.arg[2].omitted;
    const char pad = call.arg[2].pad;
    if (a->length < b->length) std::swap(a, b);  // a is the longer string
    const std::size_t n = a->length, shortlen = b->length;
    char* out = result_start(call, n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a->text[i]);
        if (i >= shortlen && !padded) {
            out[i] = static_cast<char>(x);
            continue;
        }
        const auto y = static_cast<unsigned char>(i < shortlen ? b->text[i] : pad);
        const unsigned r = op == kAnd ? (x & y) : op == kOr ? (x | y) : (x ^ y);
        out[i] = static_cast<char>(r);
    }
}

char to_upper(char c) {
    const int u = static_cast<unsigned char>(c);
    return std::islower(u) ? static_cast<char>(u - 32) : c;
}
char to_lower(char c) {
    const int u = static_cast<unsigned char>(c);
    return std::isupper(u) ? static_cast<char>(u + 32) : c;
}

template <char (*Map)(char)>
void map_case(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    char* out = result_start(call, s.length);
    for (std::size_t i = 0; i < s.length; ++i) out[i] = Map(s.text[i]);
}

}  // namespace

void bif_bitand(BuiltinCall& call) {
    bit_family(call, kAnd);
}
void bif_bitor(BuiltinCall& call) {
    bit_family(call, kOr);
}
void bif_bitxor(BuiltinCall& call) {
    bit_family(call, kXor);
}

void bif_upper(BuiltinCall& call) {
    map_case<to_upper>(call);
}
void bif_lower(BuiltinCall& call) {
    map_case<to_lower>(call);
}

void bif_translate(BuiltinCall& call) {
    const BuiltinArg& s = call.arg[0];
    const BuiltinArg& tableo = call.arg[1];
    const BuiltinArg& tablei = call.arg[2];
    const char pad = call.arg[3].pad;
    if (tableo.omitted && tablei.omitted) {
        map_case<to_upper>(call);
        return;
    }
    char map[256];
    if (tablei.omitted) {
        for (int c = 0; c < 256; ++c)
            map[c] = static_cast<std::size_t>(c) < tableo.length ? tableo.text[c] : pad;
    } else {
        std::memcpy(map, kIdentity.bytes, sizeof map);
        // Backwards, so that the first occurrence of a byte in tablei decides.
        for (std::size_t p = tablei.length; p-- > 0;)
            map[static_cast<unsigned char>(tablei.text[p])] =
                p < tableo.length ? tableo.text[p] : pad;
    }
    const std::size_t len = s.length;
    const char* in = s.text;
    char* out = result_start(call, len);
    for (std::size_t i = 0; i < len; ++i) out[i] = map[static_cast<unsigned char>(in[i])];
}

void bif_xrange(BuiltinCall& call) {
    const int start = call.arg[0].omitted ? 0 : static_cast<unsigned char>(call.arg[0].pad);
    const int end = call.arg[1].omitted ? 255 : static_cast<unsigned char>(call.arg[1].pad);
    int count = end - start + 1;
    if (count < 1) count += 256;
    char* out = result_start(call, static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) out[i] = static_cast<char>((start + i) & 0xFF);
}

}  // namespace ketra
