// Running PARSE templates: the groups of a template literal matched against a string with the
// cursor, the pattern position and the piece end, word splitting among the targets, and PARSE
// ARG with several comma-separated templates. The template encoding is described in parse.h.
//
// A template literal is first prepared into steps (pattern characters copied out, positions
// converted and limited, the targets that take a piece counted, the literal's faults turned
// into steps that raise at the point where the run meets them). The running program's own
// templates are prepared once and kept beside the program; one run inside INTERPRET, or given
// as a value, is prepared for its run only.
#include "rexx/runtime/parse.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/piece_store.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"

namespace ketra {

// One group of a prepared template.
struct ParseStep {
    std::uint8_t kind;      // StepKind
    std::uint8_t how;       // a failing step: the error number
    std::uint8_t flags;     // StepFlag
    std::uint8_t opens;     // first step of a template: OpensFlag
    std::uint16_t count;    // targets of the group
    std::uint16_t words;    // targets that take a piece: up to the last one that is not "."
    std::uint32_t targets;  // the group's first target in ParsePlans::targets
    std::uint32_t operand;  // position; symbol of a variable operand; offset of the pattern
    std::uint32_t length;   // length of a string pattern
};

struct ParsePlans {
    RexxVector<std::uint32_t> at;  // by template literal: first step + 1; 0 when not prepared
    RexxVector<ParseStep> steps;
    RexxVector<std::uint16_t> targets;
    RexxVector<char> chars;  // string patterns, each after sixteen copies of its first character
    // INTERPRET's templates, prepared afresh for each run (the space is kept).
    std::unique_ptr<ParsePlans> scratch;
};

void ParsePlansDeleter::operator()(ParsePlans* plans) const {
    std::default_delete<ParsePlans>()(plans);
}

namespace {

// Positions: operand is the position (limited), or the symbol of the variable giving it.
enum StepKind : std::uint8_t {
    kStepString,     // operand: offset of the pattern characters
    kStepStringVar,  // operand: symbol
    kStepAbsolute,
    kStepForward,
    kStepBackward,
    kStepAbsoluteVar,
    kStepForwardVar,
    kStepBackwardVar,
    kStepEnd,
    kStepFail,  // raises error `how` once the pieces before it are stored
};
enum StepFlag : std::uint8_t {
    kStepEnds = 1,       // an end step
    kStepLast = 2,       // an end step of the literal's last comma-separated template
    kStepTruncated = 4,  // the literal ends among the group's targets: 38 after the pattern
    kStepSingle = 8,     // an end step that begins its template and has one target
};

enum OpensFlag : std::uint8_t {
    kOpensPlain = 1,  // a template with string patterns only (and no fault)
    kOpensAlone = 2,  // the literal's only template (its end step is the last)
};

struct Words {
    const std::uint8_t* at;
    const std::uint8_t* end;  // after the last whole 16-bit word
    bool done() const { return at >= end; }
    bool has(std::size_t k) const { return static_cast<std::size_t>(end - at) >= 2 * k; }
    std::uint16_t take() {
        std::uint16_t w = static_cast<std::uint16_t>(at[0] | (at[1] << 8));
        at += 2;
        return w;
    }
};

Words words_of(const Value& tmpl) {
    if (is_integer_form(tmpl) || is_absent(tmpl)) error(38);
    const auto* p = reinterpret_cast<const std::uint8_t*>(chars_of(tmpl));
    return Words{p, p + 2 * (tmpl.length / 2)};
}

std::uint32_t limited_position(std::int32_t n) {
    return static_cast<std::size_t>(n) > kParsePositionLimit - 1
               ? static_cast<std::uint32_t>(kParsePositionLimit)
               : static_cast<std::uint32_t>(n);
}

// Prepares template literal `tmpl` of `program` into plans; returns its first step. A literal
// that is cut short, holds an unknown kind or names a literal or symbol the program lacks gets a
// step raising 38 where the run meets the fault; a position literal that is not a whole number
// of at least 0 one raising 26. Nothing after such a step is prepared.
std::uint32_t prepare(ParsePlans& plans, const Program& program, const Value& tmpl) {
    Words w = words_of(tmpl);
    const auto first = static_cast<std::uint32_t>(plans.steps.size());
    auto fail = [&](int code) {
        ParseStep f{};
        f.kind = kStepFail;
        f.how = static_cast<std::uint8_t>(code);
        plans.steps.push_back(f);
        return first;
    };
    std::size_t begins = plans.steps.size();  // the first step of this comma-separated template
    for (;;) {
        if (!w.has(3)) return fail(38);
        ParseStep st{};
        const std::uint16_t kind = w.take();
        const std::uint16_t value = w.take();
        st.count = w.take();
        const bool literal_ok = value < program.literals.size();
        const bool symbol_ok = value < program.symbols.size();
        switch (kind) {
            case kPatternEnd:
                st.kind = kStepEnd;
                st.flags = kStepEnds;
                break;
            case kPatternString: {
                if (!literal_ok) return fail(38);
                NumberBuffer b;
                const std::string_view pat = view_of(program.literals[value], b);
                st.kind = kStepString;
                // Sixteen copies of the first character before the pattern (see find_char).
                plans.chars.insert(plans.chars.end(), 16, pat.empty() ? ' ' : pat[0]);
                st.operand = static_cast<std::uint32_t>(plans.chars.size());
                st.length = static_cast<std::uint32_t>(pat.size());
                plans.chars.insert(plans.chars.end(), pat.begin(), pat.end());
                break;
            }
            case kPatternStringVar:
                if (!symbol_ok) return fail(38);
                st.kind = kStepStringVar;
                st.operand = value;
                break;
            case kPatternAbsolute:
            case kPatternForward:
            case kPatternBackward: {
                if (!literal_ok) return fail(38);
                std::int32_t n;
                if (!try_whole_number(program.literals[value], n) || n < 0) return fail(26);
                st.kind = static_cast<std::uint8_t>(kStepAbsolute + (kind - kPatternAbsolute));
                st.operand = limited_position(n);
                break;
            }
            case kPatternAbsoluteVar:
            case kPatternForwardVar:
            case kPatternBackwardVar:
                if (!symbol_ok) return fail(38);
                st.kind =
                    static_cast<std::uint8_t>(kStepAbsoluteVar + (kind - kPatternAbsoluteVar));
                st.operand = value;
                break;
            case kPatternAbsoluteNumber:
            case kPatternForwardNumber:
            case kPatternBackwardNumber:
                st.kind =
                    static_cast<std::uint8_t>(kStepAbsolute + (kind - kPatternAbsoluteNumber));
                st.operand = value;
                break;
            default:
                return fail(38);
        }
        st.targets = static_cast<std::uint32_t>(plans.targets.size());
        if (!w.has(st.count)) {
            st.flags = kStepTruncated;
            plans.steps.push_back(st);
            return first;
        }
        for (std::uint16_t t = 0; t < st.count; ++t) {
            const std::uint16_t sym = w.take();
            if (sym != kPlaceholderTarget && sym >= program.symbols.size())
                st.flags = kStepTruncated;
            plans.targets.push_back(sym);
            if (sym != kPlaceholderTarget) st.words = static_cast<std::uint16_t>(t + 1);
        }
        if (st.flags & kStepTruncated) st.words = 0;
        plans.steps.push_back(st);
        if (st.flags & kStepTruncated) return first;
        if (st.kind != kStepEnd) continue;
        if (begins + 1 == plans.steps.size() && st.count == 1)
            plans.steps.back().flags |= kStepSingle;
        bool plain = true;
        for (std::size_t k = begins; k + 1 < plans.steps.size(); ++k)
            plain = plain && plans.steps[k].kind == kStepString;
        if (plain) plans.steps[begins].opens |= kOpensPlain;
        const bool alone = begins == first;
        begins = plans.steps.size();
        if (w.done()) {
            plans.steps.back().flags |= kStepLast;
            if (alone) plans.steps[first].opens |= kOpensAlone;
            return first;
        }
    }
}

// A prepared template: the tables that hold it and its first step (returned in two registers).
struct Plan {
    const ParsePlans* plans;
    const ParseStep* st;
};

// Prepares the running program's template literal `index`: kept for the program's own
// literals, which never change; made afresh each time inside INTERPRET, whose literals are
// dropped after it (patterns included) and their indices used again.
[[gnu::noinline]] Plan prepare_kept(const Activation* a, Program& program, std::uint16_t index) {
    if (!program.parse_plans) program.parse_plans.reset(std::make_unique<ParsePlans>().release());
    ParsePlans& kept = *program.parse_plans;
    const Value& tmpl = program.literals[index];
    if (a->interprets) {
        if (!kept.scratch) kept.scratch = std::make_unique<ParsePlans>();
        ParsePlans& once = *kept.scratch;
        once.steps.clear();
        once.targets.clear();
        once.chars.clear();
        const std::uint32_t first = prepare(once, program, tmpl);
        return {&once, once.steps.data() + first};
    }
    if (index >= kept.at.size()) kept.at.resize(index + 1, 0);
    const std::uint32_t first = prepare(kept, program, tmpl);
    kept.at[index] = first + 1;
    return {&kept, kept.steps.data() + first};
}

// The running program's template literal `index` (see prepare_kept).
inline Plan plan_of(const Activation* a, Program& program, std::uint16_t index) {
    if (const ParsePlans* p = program.parse_plans.get();
        p && !a->interprets && index < p->at.size() && p->at[index])
        return {p, p->steps.data() + p->at[index] - 1};
    return prepare_kept(a, program, index);
}

inline char upper_char(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Sixteen blanks, for find_char.
alignas(16) constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                          ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

// The first place from i on (before n) holding the character c of which `copies` holds sixteen,
// else n; size is the length of the string (n <= size). Pieces and the gaps before patterns are
// mostly short, so in a string of sixteen characters or more they are looked at sixteen
// together, in place, wherever they lie: near its end the last sixteen are read and those before
// i left out. The copies are kept with each string pattern, so that they are not made on every
// search.
[[gnu::always_inline]] inline std::size_t find_char(const char* s, std::size_t i, std::size_t n,
                                                    std::size_t size, const char* copies) {
    const char c = copies[0];
#if defined(__SSE2__)
    if (size >= 16) {
        const __m128i want = _mm_loadu_si128(reinterpret_cast<const __m128i*>(copies));
        while (i < n) {
            if (i + 16 <= size) {
                const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), want)));
                if (hits) {
                    i += static_cast<std::size_t>(std::countr_zero(hits));
                    return i < n ? i : n;
                }
                i += 16;
                continue;
            }
            const std::size_t from = size - 16;
            const auto hits =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from)), want))) >>
                (i - from);
            if (!hits) return n;
            i += static_cast<std::size_t>(std::countr_zero(hits));
            return i < n ? i : n;
        }
        return n;
    }
    // Shorter strings are looked at one character at a time: the word-wide search would keep
    // its constants in registers that the run's loop needs.
#else
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        std::uint64_t spread;
        std::memcpy(&spread, copies, 8);
        while (i < n && i + 8 <= size) {
            std::uint64_t x;
            std::memcpy(&x, s + i, 8);
            x ^= spread;
            // The lowest byte of x that is zero marks the first c (a borrow only ever marks
            // bytes above a zero one).
            const std::uint64_t hit = (x - kOnes) & ~x & (kOnes << 7);
            if (hit) {
                i += static_cast<std::size_t>(std::countr_zero(hit)) / 8;
                return i < n ? i : n;
            }
            i += 8;
        }
    }
#endif
    while (i < n && s[i] != c) ++i;
    return i < n ? i : n;
}

// Whether the k characters at p are those at q, k at least 2.
inline bool same_chars(const char* p, const char* q, std::size_t k) {
    if (k <= 8 && k >= 4) {  // two overlapping four-character words
        std::uint32_t a, b, c, d;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, q, 4);
        std::memcpy(&c, p + k - 4, 4);
        std::memcpy(&d, q + k - 4, 4);
        return a == b && c == d;
    }
    if (k < 4) {
        std::uint16_t a, b;
        std::memcpy(&a, p, 2);
        std::memcpy(&b, q, 2);
        return a == b && p[k - 1] == q[k - 1];
    }
    return std::memcmp(p, q, k) == 0;
}

// The string being parsed. Each piece is stored as it is found, so the stores are in the
// template's order, a variable pattern reads what the targets before it stored, and an error
// leaves the pieces before it stored.
struct Run {
    Activation* a;
    const Program& program;
    const char* s;
    std::size_t len;
    bool upper;
    // The buffer the characters are borrowed from when a variable owns it (null otherwise). A
    // simple target that replaces that variable's value hands the buffer to `kept`; before a
    // target of another kind the characters are copied into `kept` unless it holds them.
    const char* guard = nullptr;
    ValueHolder kept;

    Run(Activation* act, const Program& prog, const char* chars, std::size_t n, bool up)
        : a(act), program(prog), s(chars), len(n), upper(up) {}

    // The piece s[from, from + n) for a target that store_cached did not take; s may move.
    [[gnu::noinline]] void store(std::uint16_t sym, std::size_t from, std::size_t n) {
        StorePiece piece{s + from, static_cast<std::uint32_t>(n), sym};
        if (var_store_chars(a, &piece, 1, upper, guard, kept.get())) return;
        own_source();
        piece.p = s + from;
        var_store_chars(a, &piece, 1, upper, nullptr, kept.get());
    }
    // Makes the characters the run's own: a private copy, unless the buffer has been handed
    // over already.
    void own_source() {
        guard = nullptr;
        if (kept.get().length > kInlineMax) return;  // handed over
        kept = ValueHolder(make_value(s, len, true));
        s = chars_of(kept.get());
    }
};

// The value of a variable operand (NOVALUE when it has no value and the condition is trapped;
// otherwise its name), held in `held` when it is not a variable's own value. The commonest
// operand, a simple variable met before in this scope, is read straight from its node, in
// place: it is used before any piece is stored.
[[gnu::noinline]] const Value& fetch_operand(Activation* a, std::uint16_t index,
                                             ValueHolder& held) {
    Value v;
    if (!var_fetch(a, index, v)) {
        ValueHolder name(v);  // a derived name is owned; a SIGNAL trap unwinds from here
        if (Interp* in = current_interp()) raise_novalue(*in, name.get());
        held = std::move(name);
    } else {
        held = ValueHolder(v);
    }
    return held.get();
}
inline const Value& variable_operand(Activation* a, const Program& program, std::uint16_t index,
                                     ValueHolder& held) {
    if (VarNode* node = cached_simple_node(program.symbols[index], a->scope);
        node && !is_absent(node->value))
        return node->value;
    return fetch_operand(a, index, held);
}

// A position operand: a whole number of at least 0 (else error 26), limited to
// kParsePositionLimit.
std::size_t position_value(const Value& v) {
    std::int32_t n;
    if (v.flags & kInteger) {
        n = v.data.integer;
    } else if (!try_whole_number(v, n)) {
        error(26);
    }
    if (n < 0) error(26);
    return limited_position(n);
}

// The position a variable operand gives (see position_value).
inline std::size_t operand_position(Run& run, std::uint32_t symbol, ValueHolder& held) {
    return position_value(
        variable_operand(run.a, run.program, static_cast<std::uint16_t>(symbol), held));
}

// The first place from `from` on where pat begins in s[0, n) (folded to upper case when upper is
// set), else npos. `copies` holds sixteen copies of the pattern's first character.
[[gnu::always_inline]] inline std::size_t find_pattern(const char* s, std::size_t n,
                                                       std::size_t size, std::size_t from,
                                                       std::string_view pat, const char* copies,
                                                       bool upper) {
    if (pat.empty() || pat.size() > n) return std::string_view::npos;
    if (!upper) {
        const std::size_t last = n - pat.size();  // the last place the pattern fits
        for (std::size_t m = from; m <= last; ++m) {
            m = find_char(s, m, last + 1, size, copies);
            if (m > last) break;
            if (pat.size() == 1 || same_chars(s + m, pat.data(), pat.size())) return m;
        }
        return std::string_view::npos;
    }
    for (std::size_t m = from; m + pat.size() <= n; ++m) {
        std::size_t k = 0;
        while (k < pat.size() && upper_char(s[m + k]) == pat[k]) ++k;
        if (k == pat.size()) return m;
    }
    return std::string_view::npos;
}

// Splits the piece s[start, end) among the targets of step st: each but the last takes a word,
// the last the rest; those after the last real target are not looked at. put(sym, from, n)
// takes each piece.
template <class Put>
[[gnu::always_inline]] inline void split_piece(const char*& s, std::size_t size, std::size_t start,
                                               std::size_t end, const ParseStep& st,
                                               const std::uint16_t* targets, Put& put) {
    if (!st.words) return;
    const std::uint16_t* t = targets + st.targets;
    const std::uint16_t* const stop = t + st.words;
    const std::uint16_t* const rest = t + st.count - 1;  // the target of the rest
    std::size_t i = start;
    for (; t != stop; ++t) {
        if (t == rest) {
            put(*t, i, end - i);
            return;
        }
        while (i < end && s[i] == ' ') ++i;
        const std::size_t j = find_char(s, i, end, size, kBlanks);
        put(*t, i, j - i);
        i = j < end ? j + 1 : j;  // exactly one blank after the word
    }
}

// Strings of this length or more are searched sixteen characters at a time; each kind of run is
// made for one side of it, so that it carries the code and the registers of one search only.
inline constexpr std::size_t kLongMin = 16;

// Runs one comma-separated template, from step st up to and including its end step, on run's
// string; returns that end step. kPlain: the template has string patterns only and the run is
// not PARSE UPPER, so it needs neither positions, nor variables, nor folding. kLong: the string
// has kLongMin characters or more (plain runs are made only on those).
template <bool kPlain, bool kLong>
const ParseStep* run_template(Run& run, const ParsePlans& plans, const ParseStep* st) {
    const char* const pool = plans.chars.data();
    const std::uint16_t* const targets = plans.targets.data();
    const std::size_t len = run.len;
    if (kLong ? len < kLongMin : len >= kLongMin) __builtin_unreachable();
    // The string is kept here, where it stays in a register; a store that does not take the
    // common path may move it (own_source).
    const char* s = run.s;
    const SymbolEntry* const symbols = run.program.symbols.data();
    const std::uint32_t scope_id = run.a->scope->id;
    const bool upper = !kPlain && run.upper;
    auto put = [&](std::uint16_t sym, std::size_t from, std::size_t n)
        __attribute__((always_inline)) {
        if (sym == kPlaceholderTarget) return;
        if (store_cached(symbols[sym], scope_id, s + from, n, upper, run.guard)) return;
        run.store(sym, from, n);
        s = run.s;
    };
    std::size_t cursor = 0, pattern = 0;
    // The characters of a variable operand that is not read in place are held while they are
    // used (until the next variable operand replaces them or the template ends).
    NumberBuffer b;
    ValueHolder op;
    char first[16];  // copies of a variable pattern's first character
    for (;; ++st) {
        std::size_t start = cursor, end = len;
        if constexpr (kPlain) {
            if (st->kind == kStepString) {
                const std::string_view pat{pool + st->operand, st->length};
                const std::size_t m =
                    find_pattern(s, len, len, cursor, pat, pool + st->operand - 16, upper);
                if (m != std::string_view::npos) {
                    end = m;
                    cursor = m + pat.size();
                } else {
                    cursor = len;
                }
            } else {
                cursor = len;
            }
            split_piece(s, len, start, end, *st, targets, put);
            if (st->flags) return st;
            continue;
        }
        // Every position is limited to the string, whose length is within kParsePositionLimit,
        // so the cursor and the pattern position always lie within it. A piece that would start
        // beyond its end runs to the end of the string.
        std::string_view pat;
        const char* copies = nullptr;
        bool match = false;
        std::size_t position = st->operand, np;
        switch (st->kind) {
            case kStepString:
                pat = {pool + st->operand, st->length};
                copies = pool + st->operand - 16;
                match = true;
                break;
            case kStepStringVar:
                pat = view_of(variable_operand(run.a, run.program,
                                               static_cast<std::uint16_t>(st->operand), op),
                              b);
                if (!pat.empty()) std::memset(first, pat[0], sizeof first);
                copies = first;
                match = true;
                break;
            case kStepAbsoluteVar:
                position = operand_position(run, st->operand, op);
                [[fallthrough]];
            case kStepAbsolute:
                np = position == 0 ? 0 : position - 1;
                if (np > len) np = len;
                end = np > pattern ? np : len;
                if (start > end) end = len;
                pattern = cursor = np;
                break;
            case kStepForwardVar:
                position = operand_position(run, st->operand, op);
                [[fallthrough]];
            case kStepForward:
                start = pattern;
                np = pattern + position;
                if (np > len) np = len;
                end = np > pattern ? np : len;
                pattern = cursor = np;
                break;
            case kStepBackwardVar:
                position = operand_position(run, st->operand, op);
                [[fallthrough]];
            case kStepBackward:
                start = pattern;
                pattern = cursor = position > pattern ? 0 : pattern - position;
                break;
            case kStepEnd:
                cursor = pattern = len;
                break;
            default:
                error(st->how);
        }
        if (match) {
            const std::size_t m = find_pattern(s, len, len, cursor, pat, copies, upper);
            if (m != std::string_view::npos) {
                end = pattern = m;
                cursor = m + pat.size();
            } else {
                cursor = pattern = len;
            }
        }
        // The piece [start, end) among the group's targets: each but the last takes a word,
        // the last the rest; those after the last real target are not looked at.
        split_piece(s, len, start, end, *st, targets, put);
        if (st->flags) {
            if (st->flags & kStepTruncated) error(38);
            return st;
        }
    }
}

// Runs the comma-separated template at st on a string; returns its end step. A source that
// borrows a variable's characters is guarded: the template may assign that variable. Each kind
// of run is a function of its own, so that it keeps its own values in registers.
template <bool kPlain, bool kLong>
[[gnu::noinline]] const ParseStep* run_string(Activation* a, const Program& program,
                                              const ParsePlans& plans, const ParseStep* st,
                                              const Value& source, bool upper) {
    NumberBuffer b;
    const std::string_view s = is_absent(source) ? std::string_view() : view_of(source, b);
    Run run(a, program, s.data(), s.size(), upper);
    if (source.flags & kBorrowed) run.guard = s.data();
    return run_template<kPlain, kLong>(run, plans, st);
}
inline const ParseStep* run_source(Activation* a, const Program& program, const ParsePlans& plans,
                                   const ParseStep* st, const Value& source, bool upper) {
    // Whole numbers are short; an absent value is empty.
    if (!(source.flags & (kInteger | kAbsent)) && source.length >= kLongMin) {
        if ((st->opens & kOpensPlain) && !upper)
            return run_string<true, true>(a, program, plans, st, source, upper);
        return run_string<false, true>(a, program, plans, st, source, upper);
    }
    return run_string<false, false>(a, program, plans, st, source, upper);
}

// Stores a string given whole to the single target of end step st (PARSE UPPER VAR x y, PARSE
// ARG x) without the run of a template; a whole number keeps its integer form (no characters
// are made only to be read back). False when nothing was stored: a borrowed source met a
// target that is not a simple variable, and the template's run copies the characters first.
[[gnu::noinline]] bool store_whole(Activation* a, const ParsePlans& plans, const ParseStep* st,
                                   const Value& source, bool upper) {
    if (!st->words) return true;  // the placeholder
    const std::uint16_t sym = plans.targets[st->targets];
    if (source.flags & kInteger) {
        var_store(a, sym, source);
        return true;
    }
    const std::string_view s =
        is_absent(source) ? std::string_view() : std::string_view(chars_of(source), source.length);
    const StorePiece piece{s.data(), static_cast<std::uint32_t>(s.size()), sym};
    ValueHolder kept;
    const char* guard = (source.flags & kBorrowed) ? s.data() : nullptr;
    return var_store_chars(a, &piece, 1, upper, guard, kept.get()) == 1;
}

// parse_single off its common path.
[[gnu::noinline]] const ParseStep* parse_single_slow(Activation* a, const Program& program,
                                                     const ParsePlans& plans, const ParseStep* st,
                                                     const Value& source, bool upper) {
    if (store_whole(a, plans, st, source, upper)) return st;
    return run_source(a, program, plans, st, source, upper);
}

// Parses one string with the comma-separated template of a single target at st; returns st.
// The commonest case, a string stored into a simple variable's cached node, makes no call and
// keeps no frame.
[[gnu::noinline]] const ParseStep* parse_single(Activation* a, const Program& program,
                                                const ParsePlans& plans, const ParseStep* st,
                                                const Value& source, bool upper) {
    if (st->words && !(source.flags & (kInteger | kAbsent))) {
        const char* p = chars_of(source);
        if (store_cached(program.symbols[plans.targets[st->targets]], a->scope->id, p,
                         source.length, upper, (source.flags & kBorrowed) ? p : nullptr))
            return st;
    }
    return parse_single_slow(a, program, plans, st, source, upper);
}

// run_source for PARSE ARG, whose loop is kept small.
[[gnu::noinline]] const ParseStep* run_argument(Activation* a, const Program& program,
                                                const ParsePlans& plans, const ParseStep* st,
                                                const Value& source, bool upper) {
    return run_source(a, program, plans, st, source, upper);
}

// Parses one string with the comma-separated template at st; returns its end step.
[[gnu::always_inline]] inline const ParseStep* parse_one(Activation* a, const Program& program,
                                                         const ParsePlans& plans,
                                                         const ParseStep* st, const Value& source,
                                                         bool upper) {
    if (st->flags & kStepSingle) return parse_single(a, program, plans, st, source, upper);
    return run_source(a, program, plans, st, source, upper);
}

// Parses `source` with the first template from st; further comma-separated templates parse
// empty strings.
[[gnu::always_inline]] inline void parse_source(Activation* a, const Program& program,
                                                const ParsePlans& plans, const ParseStep* st,
                                                const Value& source, bool upper) {
    st = parse_one(a, program, plans, st, source, upper);
    while (!(st->flags & kStepLast)) st = parse_one(a, program, plans, st + 1, kNullString, upper);
}

// Template k (1-based) parses args[k-1]; an absent argument, or a template beyond argc, parses
// the empty string.
[[gnu::always_inline]] inline void parse_argument_list(Activation* a, const Program& program,
                                                       const ParsePlans& plans, const ParseStep* st,
                                                       const Value* args, int argc, bool upper) {
    for (int i = 0;; ++i) {
        const Value& source = i < argc ? args[i] : kNullString;
        // An argument's target is mostly new in its scope (a routine's): not cached yet.
        if (!(st->flags & kStepSingle) || !store_whole(a, plans, st, source, upper))
            st = run_argument(a, program, plans, st, source, upper);
        if (st->flags & kStepLast) return;
        ++st;
    }
}

// parse_source for a literal of several comma-separated templates.
[[gnu::noinline]] void parse_several(Activation* a, const Program& program, const ParsePlans& plans,
                                     const ParseStep* st, const Value& source, bool upper) {
    parse_source(a, program, plans, st, source, upper);
}

// Parses `source` with prepared template p. The commonest templates are the literal's only
// one: its run ends the call, and the callers keep no frame of their own.
[[gnu::always_inline]] inline void parse_plan(Activation* a, const Program& program, Plan p,
                                              const Value& source, bool upper) {
    if (!(p.st->opens & kOpensAlone)) {
        parse_several(a, program, *p.plans, p.st, source, upper);
        return;
    }
    parse_one(a, program, *p.plans, p.st, source, upper);
}

// parse_string for a template that is not prepared or is prepared afresh for each run.
[[gnu::noinline]] void parse_unprepared(Activation* a, Program& program, std::uint16_t tmpl,
                                        const Value& source, bool upper) {
    parse_plan(a, program, prepare_kept(a, program, tmpl), source, upper);
}

}  // namespace

void parse_template(Activation* a, const Value& tmpl, const Value& source, bool upper) {
    const Program& program = *g_lib.current->program;
    ParsePlans plans;
    const std::uint32_t first = prepare(plans, program, tmpl);
    parse_source(a, program, plans, plans.steps.data() + first, source, upper);
}

void parse_arguments(Activation* a, const Value* args, int argc, const Value& tmpl, bool upper) {
    const Program& program = *g_lib.current->program;
    if (words_of(tmpl).done()) return;  // no template at all: nothing is assigned
    ParsePlans plans;
    const std::uint32_t first = prepare(plans, program, tmpl);
    parse_argument_list(a, program, plans, plans.steps.data() + first, args, argc, upper);
}

void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper) {
    Program& program = *g_lib.current->program;
    const ParsePlans* plans = program.parse_plans.get();
    if (!plans || a->interprets || tmpl >= plans->at.size() || !plans->at[tmpl]) {
        parse_unprepared(a, program, tmpl, source, upper);
        return;
    }
    parse_plan(a, program, {plans, plans->steps.data() + plans->at[tmpl] - 1}, source, upper);
}

void parse_args(Activation* a, std::uint16_t tmpl, bool upper) {
    Program& program = *g_lib.current->program;
    // No template at all assigns nothing (a literal of another form raises 38 when prepared).
    if (const Value& t = program.literals[tmpl]; !(t.flags & (kInteger | kAbsent)) && t.length < 2)
        return;
    const Plan p = plan_of(a, program, tmpl);
    parse_argument_list(a, program, *p.plans, p.st, a->args, a->argc, upper);
}

}  // namespace ketra
