// Running PARSE templates: the groups of a template literal matched against a string with the
// cursor, the pattern position and the piece end, word splitting among the targets, and PARSE
// ARG with several comma-separated templates. The template encoding is described in parse.h.
#include "rexx/runtime/parse.h"

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

inline void assign_piece(Activation* a, std::uint16_t sym, const char* p, std::size_t n,
                         bool upper) {
    if (sym != kPlaceholderTarget) var_store_chars(a, sym, p, n, upper);
}

// Splits a piece among the count targets that follow in the template.
void split_words(Activation* a, Words& w, std::size_t count, const char* s, std::size_t n,
                 bool upper) {
    std::size_t i = 0;
    w.need(count);
    for (std::size_t t = 0; t < count; ++t) {
        std::uint16_t sym = w.take();
        if (t + 1 == count) {
            assign_piece(a, sym, s + i, n - i, upper);
            break;
        }
        while (i < n && s[i] == ' ') ++i;
        std::size_t j = i;
        while (j < n && s[j] != ' ') ++j;
        assign_piece(a, sym, s + i, j - i, upper);
        i = j < n ? j + 1 : j;  // exactly one blank after the word
    }
}

// The value of a pattern operand: a literal, or a variable (NOVALUE when it has no value and
// the condition is trapped; otherwise its name).
Value operand(Activation* a, std::uint16_t kind, std::uint16_t index) {
    bool variable = kind == kPatternStringVar || kind >= kPatternAbsoluteVar;
    if (!variable) return borrow(g_lib.current->program->literals[index]);
    Value v;
    if (!var_fetch(a, index, v)) {
        ValueHolder name(v);  // a derived name is owned; a SIGNAL trap unwinds from here
        if (Interp* in = current_interp()) raise_novalue(*in, name.get());
        return name.take();
    }
    return v;
}

std::size_t position_value(const Value& v) {
    std::int32_t n;
    if (!small_integer(v, n)) n = whole_number(v);
    if (n < 0) error(26);
    return static_cast<std::size_t>(n) > kParsePositionLimit - 1 ? kParsePositionLimit
                                                                 : static_cast<std::size_t>(n);
}

std::size_t find_pattern(const char* s, std::size_t n, std::size_t from, std::string_view pat,
                         bool upper) {
    if (pat.empty() || pat.size() > n) return std::string_view::npos;
    if (!upper) {
        // Candidates are the places of the pattern's first character.
        const std::size_t last = n - pat.size();  // the last place the pattern fits
        std::size_t m = from;
        while (m <= last) {
            const void* hit = std::memchr(s + m, pat[0], last - m + 1);
            if (!hit) break;
            m = static_cast<std::size_t>(static_cast<const char*>(hit) - s);
            // Patterns are mostly a few characters: compared in place, not through the library.
            std::size_t k = 1;
            while (k < pat.size() && s[m + k] == pat[k]) ++k;
            if (k == pat.size()) return m;
            ++m;
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

// Runs one comma-separated template (up to and including its kind 9 group) on a string.
void run_template(Activation* a, Words& words, const char* s, std::size_t len, bool upper) {
    // A local copy stays in registers across the stores; the caller's is brought up to date.
    Words w = words;
    struct Sync {
        Words& to;
        const Words& from;
        ~Sync() { to.at = from.at; }
    } sync{words, w};
    std::size_t cursor = 0, pattern = 0;
    while (true) {
        w.need(3);
        std::uint16_t kind = w.take();
        std::uint16_t value = w.take();
        std::uint16_t count = w.take();
        std::size_t start = cursor, end = len;
        if (kind == kPatternEnd) {
            cursor = pattern = len;
        } else if (kind < kPatternString || kind > kPatternEnd) {
            error(38);
        } else {
            ValueHolder op(operand(a, kind, value));
            if (kind == kPatternString || kind == kPatternStringVar) {
                NumberBuffer b;
                std::string_view pat = view_of(op.get(), b);
                std::size_t m = find_pattern(s, len, cursor, pat, upper);
                if (m != std::string_view::npos) {
                    end = m;
                    pattern = m;
                    cursor = m + pat.size();
                } else {
                    cursor = pattern = len;
                }
            } else if (kind == kPatternAbsolute || kind == kPatternAbsoluteVar) {
                std::size_t v = position_value(op.get());
                std::size_t p = v == 0 ? 0 : v - 1;
                end = p > pattern ? p : len;
                pattern = cursor = p;
            } else {
                std::size_t v = position_value(op.get());
                std::size_t np;
                if (kind == kPatternForward || kind == kPatternForwardVar) {
                    np = pattern + v > kParsePositionLimit ? kParsePositionLimit : pattern + v;
                } else {
                    np = v > pattern ? 0 : pattern - v;
                }
                start = pattern;
                end = np > pattern ? np : len;
                pattern = cursor = np;
            }
        }
        // Every position is limited to the string; a piece that would start beyond its end
        // runs to the end of the string.
        if (start > len) start = len;
        if (end > len) end = len;
        if (start > end) end = len;
        if (cursor > len) cursor = len;
        if (pattern > len) pattern = len;
        split_words(a, w, count, s + start, end - start, upper);
        if (kind == kPatternEnd) return;
    }
}

}  // namespace

void parse_template(Activation* a, const Value& tmpl, const Value& source, bool upper) {
    // The targets may include the variable the source came from: keep the characters.
    ValueHolder copy(source.flags & kBorrowed ? copy_value(source) : kNullString);
    const Value& src = source.flags & kBorrowed ? copy.get() : source;
    NumberBuffer b;
    std::string_view s = is_absent(src) ? std::string_view() : view_of(src, b);
    Words w = words_of(tmpl);
    run_template(a, w, s.data(), s.size(), upper);
    // Further comma-separated templates parse empty strings.
    while (!w.done()) run_template(a, w, "", 0, upper);
}

void parse_arguments(Activation* a, const Value* args, int argc, const Value& tmpl, bool upper) {
    Words w = words_of(tmpl);
    for (int i = 0; !w.done(); ++i) {
        if (i < argc && !is_absent(args[i])) {
            // An argument that borrows a variable's characters is copied first: the template
            // may assign that variable.
            const Value& arg = args[i];
            ValueHolder copy(arg.flags & kBorrowed ? copy_value(arg) : kNullString);
            NumberBuffer b;
            std::string_view s = view_of(arg.flags & kBorrowed ? copy.get() : arg, b);
            run_template(a, w, s.data(), s.size(), upper);
        } else {
            run_template(a, w, "", 0, upper);
        }
    }
}

void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper) {
    if (source.flags & kBorrowed) make_private(source);  // the stack entry keeps the copy
    parse_template(a, g_lib.current->program->literals[tmpl], source, upper);
}

void parse_args(Activation* a, std::uint16_t tmpl, bool upper) {
    parse_arguments(a, a->args, a->argc, g_lib.current->program->literals[tmpl], upper);
}

}  // namespace ketra
