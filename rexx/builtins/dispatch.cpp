// The built-in dispatcher: the descriptor table of all 148 function codes, the argument check
// with its error-40 rules, the dispatch entry the interpreter calls, and the result operations.
#include "rexx/builtins/dispatch.h"

#include <cctype>
#include <cstring>

#include "rexx/builtins/handlers.h"
#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp_ports.h"

namespace ketra {

namespace {

// Location code of the memory-full report for results known to be too long.
constexpr int kLocResultTooLong = 701;

// Specification bytes, spelled as string pieces so that a row reads like its argument list.
#define STR "\x02"     // string
#define OSTR "\x03"    // [string]
#define NUM "\x04"     // number
#define ONUM "\x05"    // [number]
#define WHOLE "\x00"   // whole
#define OWHOLE "\x01"  // [whole]
#define NNEG "\x08"    // whole>=0
#define ONNEG "\x09"   // [whole>=0]
#define POSI "\x18"    // whole>0
#define OPOSI "\x19"   // [whole>0]
#define OCHAR "\x21"   // [char]
#define OPT "\x40"     // option
#define OOPT "\x41"    // [option]
#define NONE nullptr

constexpr BuiltinDescriptor kTable[kBuiltinCodes + 1] = {
    {nullptr, NONE, 0},
    /*   1 ABBREV      */ {bif_abbrev, STR STR ONNEG, 3},
    /*   2 ABS         */ {bif_abs, NUM, 1},
    /*   3 ADDRESS     */ {bif_address, NONE, 0},
    /*   4 ARG         */ {bif_arg, OPOSI OOPT, 2},
    /*   5 BITAND      */ {bif_bitand, STR OSTR OCHAR, 3},
    /*   6 BITOR       */ {bif_bitor, STR OSTR OCHAR, 3},
    /*   7 BITXOR      */ {bif_bitxor, STR OSTR OCHAR, 3},
    /*   8 B2X         */ {bif_b2x, STR, 1},
    /*   9 CENTER      */ {bif_center, STR NNEG OCHAR, 3},
    /*  10 CENTRE      */ {bif_center, STR NNEG OCHAR, 3},
    /*  11 CHARIN      */ {bif_charin, OSTR OPOSI ONNEG, 3},
    /*  12 CHAROUT     */ {bif_charout, OSTR OSTR OPOSI, 3},
    /*  13 CHARS       */ {bif_chars, OSTR, 1},
    /*  14 COMPARE     */ {bif_compare, STR STR OCHAR, 3},
    /*  15 CONDITION   */ {bif_condition, OOPT, 1},
    /*  16 COPIES      */ {bif_copies, STR NNEG, 2},
    /*  17 C2D         */ {bif_c2d, STR ONNEG, 2},
    /*  18 C2X         */ {bif_c2x, STR, 1},
    /*  19 DATATYPE    */ {bif_datatype, STR OOPT, 2},
    /*  20 DATE        */ {bif_date, OOPT, 1},
    /*  21 DELSTR      */ {bif_delstr, STR POSI ONNEG, 3},
    /*  22 DELWORD     */ {bif_delword, STR POSI ONNEG, 3},
    /*  23 DIGITS      */ {bif_digits, NONE, 0},
    /*  24 D2C         */ {bif_d2c, NUM ONNEG, 2},
    /*  25 D2X         */ {bif_d2x, NUM ONNEG, 2},
    /*  26 ERRORTEXT   */ {bif_errortext, NNEG, 1},
    /*  27 FORM        */ {bif_form, NONE, 0},
    /*  28 FORMAT      */ {bif_format, NUM ONNEG ONNEG ONNEG ONNEG, 5},
    /*  29 FUZZ        */ {bif_fuzz, NONE, 0},
    /*  30 INSERT      */ {bif_insert, STR STR ONNEG ONNEG OCHAR, 5},
    /*  31 LASTPOS     */ {bif_lastpos, STR STR OPOSI, 3},
    /*  32 LEFT        */ {bif_left, STR NNEG OCHAR, 3},
    /*  33 LENGTH      */ {bif_length, STR, 1},
    /*  34 LINEIN      */ {bif_linein, OSTR OPOSI ONNEG, 3},
    /*  35 LINEOUT     */ {bif_lineout, OSTR OSTR OPOSI, 3},
    /*  36 LINES       */ {bif_lines, OSTR, 1},
    /*  37 MAX         */ {bif_max, NONE, 250},
    /*  38 MIN         */ {bif_min, NONE, 250},
    /*  39 OVERLAY     */ {bif_overlay, STR STR OPOSI ONNEG OCHAR, 5},
    /*  40 POS         */ {bif_pos, STR STR OPOSI, 3},
    /*  41 QUEUED      */ {bif_queued, NONE, 0},
    /*  42 RANDOM      */ {bif_random, ONNEG ONNEG ONNEG, 3},
    /*  43 REVERSE     */ {bif_reverse, STR, 1},
    /*  44 RIGHT       */ {bif_right, STR NNEG OCHAR, 3},
    /*  45 SIGN        */ {bif_sign, NUM, 1},
    /*  46 SOURCELINE  */ {bif_sourceline, OPOSI, 1},
    /*  47 SPACE       */ {bif_space, STR ONNEG OCHAR, 3},
    /*  48 STREAM      */ {bif_stream, STR OOPT OSTR, 3},
    /*  49 STRIP       */ {bif_strip, STR OOPT OCHAR, 3},
    /*  50 SUBSTR      */ {bif_substr, STR POSI ONNEG OCHAR, 4},
    /*  51 SUBWORD     */ {bif_subword, STR POSI ONNEG, 3},
    /*  52 SYMBOL      */ {bif_symbol, STR, 1},
    /*  53 TIME        */ {bif_time, OOPT, 1},
    /*  54 TRACE       */ {bif_trace, OSTR, 1},
    /*  55 TRANSLATE   */ {bif_translate, STR OSTR OSTR OCHAR, 4},
    /*  56 TRUNC       */ {bif_trunc, NUM ONNEG, 2},
    /*  57 VALUE       */ {bif_value, STR OSTR OSTR, 3},
    /*  58 VERIFY      */ {bif_verify, STR STR OOPT OPOSI, 4},
    /*  59 WORD        */ {bif_word, STR POSI, 2},
    /*  60 WORDINDEX   */ {bif_wordindex, STR POSI, 2},
    /*  61 WORDLENGTH  */ {bif_wordlength, STR POSI, 2},
    /*  62 WORDPOS     */ {bif_wordpos, STR STR OWHOLE, 3},
    /*  63 WORDS       */ {bif_words, STR, 1},
    /*  64 XRANGE      */ {bif_xrange, OCHAR OCHAR, 2},
    /*  65 X2B         */ {bif_x2b, STR, 1},
    /*  66 X2C         */ {bif_x2c, STR, 1},
    /*  67 X2D         */ {bif_x2d, STR ONNEG, 2},
    /*  68 EXTERNALS   */ {bif_externals, NONE, 0},
    /*  69 FIND        */ {bif_find, STR STR, 2},
    /*  70 INDEX       */ {bif_index, STR STR OPOSI, 3},
    /*  71 JUSTIFY     */ {bif_justify, STR NNEG OCHAR, 3},
    /*  72 LINESIZE    */ {bif_linesize, NONE, 0},
    /*  73 USERID      */ {bif_userid, NONE, 0},
    /*  74 CURSOR      */ {bif_not_supported, OPOSI OPOSI, 2},
    /*  75 CURSORTYPE  */ {bif_not_supported, ONNEG ONNEG OSTR, 3},
    /*  76 DATECONV    */ {bif_dateconv, STR OPT OOPT, 3},
    /*  77 DELAY       */ {bif_delay, NUM, 1},
    /*  78 DOSCD       */ {bif_doscd, OOPT, 1},
    /*  79 DOSCHDIR    */ {bif_doschdir, STR, 1},
    /*  80 DOSCHMOD    */ {bif_doschmod, STR OSTR OSTR, 3},
    /*  81 DOSCREAT    */ {bif_doscreat, STR, 1},
    /*  82 DOSDEL      */ {bif_dosdel, STR, 1},
    /*  83 DOSDIR      */ {bif_dosdir, OSTR OSTR OSTR OSTR OSTR, 5},
    /*  84 DOSDIRCLOSE */ {bif_dosdirclose, STR, 1},
    /*  85 DOSDIRPOS   */ {bif_dosdirpos, NONE, 0},
    /*  86 DOSDISK     */ {bif_dosdisk, OPT OOPT, 2},
    /*  87 DOSDRIVE    */ {bif_dosdrive, OOPT, 1},
    /*  88 DOSENV      */ {bif_dosenv, STR, 1},
    /*  89 DOSFNAME    */ {bif_dosfname, STR, 1},
    /*  90 DOSMEM      */ {bif_not_supported, NONE, 0},
    /*  91 DOSMKDIR    */ {bif_dosmkdir, STR, 1},
    /*  92 DOSPATHFIND */ {bif_dospathfind, STR OSTR, 2},
    /*  93 DOSPID      */ {bif_dospid, NONE, 0},
    /*  94 DOSRENAME   */ {bif_dosrename, STR STR, 2},
    /*  95 DOSRMDIR    */ {bif_dosrmdir, STR, 1},
    /*  96 DOSVERSION  */ {bif_dosversion, NONE, 0},
    /*  97 DOSVOLUME   */ {bif_dosvolume, OOPT, 1},
    /*  98 EMSMEM      */ {bif_emsmem, NONE, 0},
    /*  99 FCNPKG      */ {bif_fcnpkg, STR, 1},
    /* 100 INKEY       */ {bif_not_supported, OOPT OOPT, 2},
    /* 101 INP         */ {bif_not_available, NNEG, 1},
    /* 102 LOWER       */ {bif_lower, STR, 1},
    /* 103 OUTP        */ {bif_not_available, NNEG NNEG, 2},
    /* 104 PARSEFN     */ {bif_parsefn, STR, 1},
    /* 105 PCDISK      */ {bif_pcdisk, OPT OOPT, 2},
    /* 106 PCDISPLAY   */ {bif_pcdisplay, NONE, 0},
    /* 107 PCEQUIP     */ {bif_not_available, NONE, 0},
    /* 108 PCFLOPPY    */ {bif_pcfloppy, NONE, 0},
    /* 109 PCGAME      */ {bif_not_available, NONE, 0},
    /* 110 PCPARALLEL  */ {bif_not_available, NONE, 0},
    /* 111 PCRAM       */ {bif_not_supported, NONE, 0},
    /* 112 PCROMDATE   */ {bif_not_supported, NONE, 0},
    /* 113 PCSERIAL    */ {bif_not_available, NONE, 0},
    /* 114 PCTYPE      */ {bif_pctype, NONE, 0},
    /* 115 PCVIDEO     */ {bif_pcvideo, NONE, 0},
    /* 116 PEEK        */ {bif_not_supported, NNEG NNEG, 2},
    /* 117 POKE        */ {bif_not_supported, NNEG NNEG NNEG, 3},
    /* 118 ZYMSWAP     */ {bif_zymswap, OOPT OSTR ONNEG, 3},
    /* 119 SCRCLEAR    */ {bif_not_supported, ONNEG OCHAR OPOSI OPOSI ONNEG ONNEG, 6},
    /* 120 SCRMETHOD   */ {bif_scrmethod, OOPT, 1},
    /* 121 SCRPUT      */ {bif_not_supported, POSI POSI STR OOPT, 4},
    /* 122 SCRREAD     */ {bif_not_supported, POSI POSI NNEG OOPT, 4},
    /* 123 SCRSIZE     */ {bif_not_supported, NONE, 0},
    /* 124 SCRWRITE    */ {bif_not_supported, OPOSI OPOSI OSTR ONNEG OCHAR ONNEG, 6},
    /* 125 SOUND       */ {bif_sound, ONUM ONUM, 2},
    /* 126 STACKSTATUS */ {bif_stackstatus, NONE, 0},
    /* 127 UPPER       */ {bif_upper, STR, 1},
    /* 128 BEEP        */ {bif_beep, POSI POSI, 2},
    /* 129 DIRECTORY   */ {bif_directory, OSTR, 1},
    /* 130 ENDLOCAL    */ {bif_endlocal, NONE, 0},
    /* 131 FILESPEC    */ {bif_filespec, OPT STR, 2},
    /* 132 RXFUNCADD   */ {bif_rxfuncadd, STR STR STR, 3},
    /* 133 RXFUNCDROP  */ {bif_rxfuncdrop, STR, 1},
    /* 134 RXFUNCQUERY */ {bif_rxfuncquery, STR, 1},
    /* 135 RXQUEUE     */ {bif_rxqueue, "\x42" OSTR, 2},  // an option; the string bit is moot
    /* 136 SETLOCAL    */ {bif_setlocal, NONE, 0},
    /* 137 ZYMSYS      */ {bif_not_supported, NONE, 0},
    /* 138 SHIFTSTATE  */ {bif_not_supported, OPT ONNEG, 2},
    /* 139 DOSENVSIZE  */ {bif_dosenvsize, NONE, 0},
    /* 140 TYPEMATIC   */ {bif_not_supported, NNEG NNEG, 2},
    /* 141 DOSFDATE    */ {bif_dosfdate, STR OPOSI OPOSI, 3},
    /* 142 SCRBLINK    */ {bif_not_supported, ONNEG, 1},
    /* 143 CHARSIZE    */ {bif_not_supported, NONE, 0},
    /* 144 DOSISDEV    */ {bif_dosisdev, STR, 1},
    /* 145 PCKEYBOARD  */ {bif_pckeyboard, NONE, 0},
    /* 146 VALIDNAME   */ {bif_validname, STR ONNEG, 2},
    /* 147 DOSISDIR    */ {bif_dosisdir, STR, 1},
    /* 148 ZYMVERSION  */ {bif_zymversion, NONE, 0},
};

#undef STR
#undef OSTR
#undef NUM
#undef ONUM
#undef WHOLE
#undef OWHOLE
#undef NNEG
#undef ONNEG
#undef POSI
#undef OPOSI
#undef OCHAR
#undef OPT
#undef OOPT
#undef NONE

constexpr char kEmpty[] = "";
constexpr Numeric kDefaultNumeric{};

// Releases the result when a handler unwinds with an error after starting it.
struct ResultGuard {
    Value& v;
    bool armed = true;
    ~ResultGuard() {
        if (armed) release(v);
    }
};

// Makes `a` the record of an omitted argument (or one not given). The scratch is left alone.
inline void omit_argument(BuiltinArg& a) {
    a.value = nullptr;
    a.text = kEmpty;
    a.length = 0;
    a.pad = ' ';
    a.option = ' ';
    a.omitted = true;
    a.whole = 0;
    a.count = 0;
}

// Error 40 unless the option letter is one.
inline char option_letter(const char* text, std::uint32_t length) {
    if (length == 0) error(40);
    int c = static_cast<unsigned char>(text[0]);
    if (!std::isalpha(c)) error(40);
    if (std::islower(c)) c -= 32;
    return static_cast<char>(c);
}

// Checks one argument that is not of the common kinds (see take_arguments) against its
// specification byte and fills its record. Kept out of line, away from the common path.
[[gnu::noinline]] void take_other_argument(BuiltinArg& a, const Value* v, std::uint8_t s) {
    if (is_absent(*v)) {
        if (!(s & kBifOptional)) error(40);
        omit_argument(a);
        return;
    }
    a.value = v;
    a.pad = ' ';
    a.option = ' ';
    a.omitted = false;
    a.whole = 0;
    a.count = 0;
    if (s & (kBifString | kBifPad | kBifOption)) {
        if (!is_integer_form(*v)) {
            a.text = chars_of(*v);
            a.length = v->length;
        } else {
            a.length = static_cast<std::uint32_t>(format_integer(v->data.integer, a.number_text));
            a.text = a.number_text;
        }
        if (s & kBifPad) {
            if (a.length != 1) error(40);
            a.pad = a.text[0];
        } else if (s & kBifOption) {
            a.option = option_letter(a.text, a.length);
        }
        return;
    }
    a.text = kEmpty;
    a.length = 0;
    if (s & kBifNumber) {
        if (!is_number(*v)) error(40);
        return;
    }
    std::int32_t w;
    if (is_integer_form(*v)) {
        w = v->data.integer;
    } else if (!try_whole_number(*v, w)) {
        error(40);
    }
    if ((s & kBifNonNegative) && w < 0) error(40);
    if ((s & kBifNonZero) && w == 0) error(40);
    a.whole = w;
    a.count = w > kCountClamp ? kCountClamp : w;
}

constexpr std::uint8_t kSpecPositive = kBifNonNegative | kBifNonZero;

// Fills records `a` on from the n arguments that end at `v` (argument i from 1 is v[-i]) and the
// specification bytes from `spec`, then makes the records up to `end` omitted ones. A string
// not in integer form, the argument of most calls, is taken here without a call.
[[gnu::always_inline]] inline void take_arguments(BuiltinArg* a, BuiltinArg* end, const Value* v,
                                                  int n, const std::uint8_t* spec) {
    for (BuiltinArg* given_end = a + n; a != given_end; ++a, ++spec) {
        --v;
        if ((*spec | kBifOptional) == (kBifString | kBifOptional) &&
            !(v->flags & (kAbsent | kInteger))) {
            a->value = v;
            a->text = chars_of(*v);
            a->length = v->length;
            a->pad = ' ';
            a->option = ' ';
            a->omitted = false;
            a->whole = 0;
            a->count = 0;
        } else if ((v->flags & (kAbsent | kInteger)) == kInteger && *spec == kSpecPositive) {
            // A whole number > 0 in integer form: the position of WORD, SUBSTR and the like.
            const std::int32_t w = v->data.integer;
            if (w <= 0) error(40);
            a->value = v;
            a->text = kEmpty;
            a->length = 0;
            a->pad = ' ';
            a->option = ' ';
            a->omitted = false;
            a->whole = w;
            a->count = w > kCountClamp ? kCountClamp : w;
        } else {
            take_other_argument(*a, v, *spec);
        }
    }
    for (; a != end; ++a, ++spec) {
        if (!(*spec & kBifOptional)) error(40);
        omit_argument(*a);
    }
}

// The argument check, in line in the dispatch.
[[gnu::always_inline]] inline void check_arguments(BuiltinCall& call,
                                                   const BuiltinDescriptor& row) {
    if (call.argc > row.max_args) error(40);
    if (row.max_args > kBuiltinArgRecords) return;
    take_arguments(call.arg, call.arg + row.max_args, call.block + call.argc, call.argc,
                   reinterpret_cast<const std::uint8_t*>(row.spec));
}

// Classifies a result; most results of the string functions are text, settled by their first
// character.
inline void classify_result(Value& v) {
    if (!(v.flags & kClassified)) v.flags |= classify_text(chars_of(v), v.length);
}

}  // namespace

const BuiltinDescriptor* builtin_descriptor(int code) {
    if (code < 1 || code > kBuiltinCodes) return nullptr;
    return &kTable[code];
}

void check_builtin_arguments(BuiltinCall& call, const BuiltinDescriptor& row) {
    check_arguments(call, row);
}

bool builtin_call(int code, Value* args, int argc, Value& result) {
    // Every row from 1 on has a handler (the table's test checks it).
    if (static_cast<unsigned>(code - 1) >= static_cast<unsigned>(kBuiltinCodes)) internal_error(5);
    const BuiltinDescriptor& row = kTable[code];
    BuiltinCall call;
    call.code = code;
    call.argc = argc;
    call.block = args;
    check_arguments(call, row);
    call.result = kZeroValue;
    ResultGuard guard{call.result};
    row.handler(call);
    classify_result(call.result);
    guard.armed = false;
    result = call.result;
    return true;
}

// ---- result operations -----------------------------------------------------------------------

char* result_start(BuiltinCall& call, std::size_t n) {
    release(call.result);
    call.result = kZeroValue;
    return start_string(call.result, n);
}

void result_bytes(BuiltinCall& call, const char* bytes, std::size_t n) {
    if (n <= kInlineMax) {
        // Short results (a word, a few characters) are copied straight into the record.
        Value v{};
        v.length = static_cast<std::uint32_t>(n);
        char* out = v.data.chars;
        if (n >= 4) {
            // Two loads of four that overlap in the middle cover 4 to 8 bytes.
            std::uint32_t head, tail;
            std::memcpy(&head, bytes, 4);
            std::memcpy(&tail, bytes + n - 4, 4);
            std::memcpy(out + n - 4, &tail, 4);
            std::memcpy(out, &head, 4);
        } else if (n) {
            out[0] = bytes[0];
            out[n / 2] = bytes[n / 2];
            out[n - 1] = bytes[n - 1];
        }
        release(call.result);
        call.result = v;
        return;
    }
    char* out = result_start(call, n);
    if (n) std::memcpy(out, bytes, n);
}

void result_cstring(BuiltinCall& call, const char* s) {
    if (!s) s = kEmpty;
    result_bytes(call, s, std::strlen(s));
}

void result_static(BuiltinCall& call, const char* s) {
    release(call.result);
    call.result = make_value(s, std::strlen(s), false);
}

void result_integer(BuiltinCall& call, std::int64_t n) {
    release(call.result);
    call.result = make_integer(n);
}

void result_value(BuiltinCall& call, Value v) {
    release(call.result);
    call.result = v;
}

void result_shorten(BuiltinCall& call, std::size_t n) {
    shorten(call.result, n);
}

void result_too_long() {
    memory_full(kLocResultTooLong, kPoolImplementationLimit);
}

const Numeric& current_numeric() {
    return g_lib.activation ? g_lib.activation->numeric : kDefaultNumeric;
}

}  // namespace ketra
