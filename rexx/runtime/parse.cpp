// Running PARSE templates: the groups of a template literal matched against a string with the
// cursor, the pattern position and the piece end, word splitting among the targets, and PARSE
// ARG with several comma-separated templates. The template encoding is described in parse.h.
#include "rexx/runtime/parse.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"

namespace ketra {

namespace {

struct Words {
    const std::uint8_t* at;
    const std::uint8_t* end;  // after the last whole 16-bit word
    bool done() const { return at >= end; }
    // Makes sure k more words follow: a template literal cut short raises 38.
    void need(std::size_t k) const {
        if (static_cast<std::size_t>(end - at) < 2 * k) error(38);
    }
    // The next word; need() has vouched for it.
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

inline char upper_char(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// The first place from i on (before n) holding c, else n. Pieces and the gaps before patterns
// are mostly short, so eight characters are looked at together, in place, while they lie within
// the string's `limit` characters.
[[gnu::always_inline]] inline std::size_t find_char(const char* s, std::size_t i, std::size_t n,
                                                    std::size_t limit, char c) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
        const std::uint64_t spread = kOnes * static_cast<unsigned char>(c);
        while (i < n && i + 8 <= limit) {
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

// The string being parsed and the targets waiting to be stored. Pieces are stored in batches:
// only a variable pattern reads a variable, so everything before one (and before any error) is
// stored first, and the order of the stores is the template's.
//
// A template of a program that runs has been checked already, by the image verifier or as the
// compiler made it: with kTrusted the lengths of its groups are not checked again (an unknown
// kind still raises 38); a template given as a value is checked as it is read.
template <bool kTrusted>
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
    static constexpr std::size_t kBatch = 32;
    StorePiece pending[kBatch];
    std::size_t count = 0;

    Run(Activation* act, const char* chars, std::size_t n, bool up)
        : a(act), program(*g_lib.current->program), s(chars), len(n), upper(up) {}

    void flush() {
        std::size_t done = 0;
        while (done < count) {
            done += var_store_chars(a, pending + done, count - done, upper, guard, kept.get());
            if (done < count) own_source(done);
        }
        count = 0;
    }
    [[noreturn]] void fail(int code) {
        flush();
        error(code);
    }
    // Makes the characters the run's own: a private copy, unless the buffer has been handed
    // over already; the pending pieces from `from` on are moved to the copy.
    void own_source(std::size_t from) {
        guard = nullptr;
        if (kept.get().length > kInlineMax) return;  // handed over
        kept = ValueHolder(make_value(s, len, true));
        const char* fresh = chars_of(kept.get());
        for (std::size_t k = from; k < count; ++k) pending[k].p = fresh + (pending[k].p - s);
        s = fresh;
    }
    void assign(std::uint16_t sym, std::size_t from, std::size_t n) {
        if (sym == kPlaceholderTarget) return;
        if (count == kBatch) flush();
        pending[count++] = StorePiece{s + from, static_cast<std::uint32_t>(n), sym};
    }
    // Checks that k more words follow in the template.
    void need(const Words& w, std::size_t k) {
        if (!kTrusted && static_cast<std::size_t>(w.end - w.at) < 2 * k) fail(38);
    }
};

// Splits the piece s[i, n) among the count targets that follow in the template.
template <bool kTrusted>
void split_words(Run<kTrusted>& run, Words& w, std::size_t count, std::size_t i, std::size_t n) {
    run.need(w, count);
    const char* s = run.s;
    for (std::size_t t = 1; t < count; ++t) {
        std::uint16_t sym = w.take();
        while (i < n && s[i] == ' ') ++i;
        const std::size_t j = find_char(s, i, n, run.len, ' ');
        run.assign(sym, i, j - i);
        i = j < n ? j + 1 : j;  // exactly one blank after the word
    }
    if (count) run.assign(w.take(), i, n - i);
}

// The value of a variable operand (NOVALUE when it has no value and the condition is trapped;
// otherwise its name).
Value variable_operand(Activation* a, const Program& program, std::uint16_t index) {
    // The commonest operand, a simple variable met before in this scope, is read straight from
    // its node.
    if (VarNode* node = cached_simple_node(program.symbols[index], a->scope);
        node && !is_absent(node->value))
        return borrow(node->value);
    Value v;
    if (!var_fetch(a, index, v)) {
        ValueHolder name(v);  // a derived name is owned; a SIGNAL trap unwinds from here
        if (Interp* in = current_interp()) raise_novalue(*in, name.get());
        return name.take();
    }
    return v;
}

// A position operand: a whole number of at least 0 (else error 26), limited to
// kParsePositionLimit.
template <bool kTrusted>
std::size_t position_value(Run<kTrusted>& run, const Value& v) {
    std::int32_t n;
    if (!try_whole_number(v, n) || n < 0) run.fail(26);
    return static_cast<std::size_t>(n) > kParsePositionLimit - 1 ? kParsePositionLimit
                                                                 : static_cast<std::size_t>(n);
}

[[gnu::always_inline]] inline std::size_t find_pattern(const char* s, std::size_t n,
                                                       std::size_t from, std::string_view pat,
                                                       bool upper) {
    if (pat.empty() || pat.size() > n) return std::string_view::npos;
    if (!upper) {
        const std::size_t last = n - pat.size();  // the last place the pattern fits
        for (std::size_t m = from; m <= last; ++m) {
            m = find_char(s, m, last + 1, n, pat[0]);
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

// Runs one comma-separated template (up to and including its kind 9 group) on run's string.
template <bool kTrusted>
void run_template(Run<kTrusted>& run, Words& words) {
    // A local copy stays in registers across the stores; the caller's is brought up to date.
    Words w = words;
    struct Sync {
        Words& to;
        const Words& from;
        ~Sync() { to.at = from.at; }
    } sync{words, w};
    const std::size_t len = run.len;
    std::size_t cursor = 0, pattern = 0;
    // A string pattern's characters; a variable operand is held while they are used (until the
    // next variable operand replaces it or the template ends).
    NumberBuffer b;
    ValueHolder op;
    // Every position is limited to the string; a piece that would start beyond its end runs to
    // the end of the string. A string pattern keeps every position within the string.
    std::size_t start, end;
    auto limit = [&] {
        if (start > len) start = len;
        if (end > len) end = len;
        if (start > end) end = len;
        if (cursor > len) cursor = len;
        if (pattern > len) pattern = len;
    };
    for (;;) {
        run.need(w, 3);
        const std::uint16_t kind = w.take();
        const std::uint16_t value = w.take();
        const std::uint16_t count = w.take();
        start = cursor;
        end = len;
        std::size_t position = 0;
        enum { kString, kAbsolute, kForward, kBackward, kEnd } step;
        std::string_view pat;
        switch (kind) {
            case kPatternEnd:
                step = kEnd;
                break;
            case kPatternString:
                pat = view_of(run.program.literals[value], b);
                step = kString;
                break;
            case kPatternStringVar:
                run.flush();  // the variable may be a target written earlier in this template
                op = ValueHolder(variable_operand(run.a, run.program, value));
                pat = view_of(op.get(), b);
                step = kString;
                break;
            case kPatternAbsolute:
            case kPatternForward:
            case kPatternBackward:
                position = position_value(run, run.program.literals[value]);
                step = kind == kPatternAbsolute  ? kAbsolute
                       : kind == kPatternForward ? kForward
                                                 : kBackward;
                break;
            case kPatternAbsoluteVar:
            case kPatternForwardVar:
            case kPatternBackwardVar:
                run.flush();
                op = ValueHolder(variable_operand(run.a, run.program, value));
                position = position_value(run, op.get());
                step = kind == kPatternAbsoluteVar  ? kAbsolute
                       : kind == kPatternForwardVar ? kForward
                                                    : kBackward;
                break;
            case kPatternAbsoluteNumber:
                position = value;
                step = kAbsolute;
                break;
            case kPatternForwardNumber:
                position = value;
                step = kForward;
                break;
            case kPatternBackwardNumber:
                position = value;
                step = kBackward;
                break;
            default:
                run.fail(38);
        }
        switch (step) {
            case kEnd:
                cursor = pattern = len;
                break;
            case kString: {
                std::size_t m = find_pattern(run.s, len, cursor, pat, run.upper);
                if (m != std::string_view::npos) {
                    end = m;
                    pattern = m;
                    cursor = m + pat.size();
                } else {
                    cursor = pattern = len;
                }
                break;
            }
            case kAbsolute: {
                std::size_t p = position == 0 ? 0 : position - 1;
                end = p > pattern ? p : len;
                pattern = cursor = p;
                limit();
                break;
            }
            case kForward:
            case kBackward: {
                std::size_t np;
                if (step == kForward) {
                    np = pattern + position > kParsePositionLimit ? kParsePositionLimit
                                                                  : pattern + position;
                } else {
                    np = position > pattern ? 0 : pattern - position;
                }
                start = pattern;
                end = np > pattern ? np : len;
                pattern = cursor = np;
                limit();
                break;
            }
        }
        split_words(run, w, count, start, end);
        if (step == kEnd) {
            run.flush();
            return;
        }
    }
}

// Parses one string with the next comma-separated template. A source that borrows a
// variable's characters is guarded: the template may assign that variable.
template <bool kTrusted>
void parse_one(Activation* a, Words& w, const Value& source, bool upper) {
    NumberBuffer b;
    std::string_view s;
    // A string given whole to a single target (PARSE UPPER VAR x y, PARSE ARG x) is stored
    // without the run of a template; a whole number keeps its integer form (no characters are
    // made only to be read back).
    if (w.end - w.at >= 8) {
        Words head = w;
        if (head.take() == kPatternEnd && (head.take(), head.take()) == 1) {
            const std::uint16_t sym = head.take();
            if (sym == kPlaceholderTarget) {
                w = head;
                return;
            }
            if (source.flags & kInteger) {
                w = head;
                var_store(a, sym, source);
                return;
            }
            s = is_absent(source) ? std::string_view() : view_of(source, b);
            const StorePiece piece{s.data(), static_cast<std::uint32_t>(s.size()), sym};
            ValueHolder kept;
            const char* guard = (source.flags & kBorrowed) ? s.data() : nullptr;
            // Nothing is stored when a borrowed source meets a target that is not a simple
            // variable: the template's run copies the characters first.
            if (var_store_chars(a, &piece, 1, upper, guard, kept.get()) == 1) {
                w = head;
                return;
            }
        }
    }
    if (s.data() == nullptr) s = is_absent(source) ? std::string_view() : view_of(source, b);
    Run<kTrusted> run(a, s.data(), s.size(), upper);
    if (source.flags & kBorrowed) run.guard = s.data();
    run_template(run, w);
}

template <bool kTrusted>
void parse_source(Activation* a, const Value& tmpl, const Value& source, bool upper) {
    Words w = words_of(tmpl);
    parse_one<kTrusted>(a, w, source, upper);
    // Further comma-separated templates parse empty strings.
    while (!w.done()) parse_one<kTrusted>(a, w, kNullString, upper);
}

template <bool kTrusted>
void parse_argument_list(Activation* a, const Value* args, int argc, const Value& tmpl,
                         bool upper) {
    Words w = words_of(tmpl);
    for (int i = 0; !w.done(); ++i)
        parse_one<kTrusted>(a, w, i < argc ? args[i] : kNullString, upper);
}

}  // namespace

void parse_template(Activation* a, const Value& tmpl, const Value& source, bool upper) {
    parse_source<false>(a, tmpl, source, upper);
}

void parse_arguments(Activation* a, const Value* args, int argc, const Value& tmpl, bool upper) {
    parse_argument_list<false>(a, args, argc, tmpl, upper);
}

void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper) {
    parse_source<true>(a, g_lib.current->program->literals[tmpl], source, upper);
}

void parse_args(Activation* a, std::uint16_t tmpl, bool upper) {
    parse_argument_list<true>(a, a->args, a->argc, g_lib.current->program->literals[tmpl], upper);
}

}  // namespace ketra
