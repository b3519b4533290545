// Running PARSE templates: the groups of a template literal matched against a string with the
// cursor, the pattern position and the piece end, word splitting among the targets, and PARSE
// ARG with several comma-separated templates.
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/translate/program.h"

namespace ketra {

namespace {

constexpr std::uint16_t kPlaceholder = 65535;
constexpr std::size_t kPositionLimit = 500000000;

struct Words {
    const std::uint8_t* p;
    std::size_t count;  // in 16-bit words
    std::size_t at = 0;
    bool done() const { return at >= count; }
    std::uint16_t next() {
        if (at >= count) error(38);  // a template literal cut short
        std::uint16_t w = static_cast<std::uint16_t>(p[2 * at] | (p[2 * at + 1] << 8));
        ++at;
        return w;
    }
};

char upper_char(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

void assign_piece(Activation* a, std::uint16_t sym, const char* p, std::size_t n, bool upper) {
    if (sym == kPlaceholder) return;
    Value v;
    if (upper) {
        v = kNullString;
        char* out = start_string(v, n);
        for (std::size_t i = 0; i < n; ++i) out[i] = upper_char(p[i]);
        classify(v);
    } else {
        v = make_value(p, n, true);
    }
    var_store(a, sym, v);
}

// Splits a piece among the targets of a group.
void split_words(Activation* a, Words& w, std::size_t count, const char* s, std::size_t n,
                 bool upper) {
    std::size_t i = 0;
    for (std::size_t t = 0; t < count; ++t) {
        std::uint16_t sym = w.next();
        if (t + 1 == count) {
            assign_piece(a, sym, s + i, n - i, upper);
            break;
        }
        while (i < n && s[i] == ' ') ++i;
        std::size_t j = i;
        while (j < n && s[j] != ' ') ++j;
        assign_piece(a, sym, s + i, j - i, upper);
        i = j < n ? j + 1 : j;
    }
}

// The value of a pattern operand: a literal, or a variable (NOVALUE when trapped, else the
// variable's name).
Value operand(Activation* a, std::uint16_t kind, std::uint16_t index) {
    bool variable = kind == 2 || kind >= 6;
    if (!variable) return borrow(g_lib.current->program->literals[index]);
    Value v;
    if (!var_fetch(a, index, v)) {
        if (Interp* in = current_interp()) raise_novalue(*in, v);
    }
    return v;
}

std::size_t position_value(const Value& v) {
    std::int32_t n = whole_number(v);
    if (n < 0) error(26);
    return static_cast<std::size_t>(n) > kPositionLimit - 1 ? kPositionLimit
                                                             : static_cast<std::size_t>(n);
}

std::size_t find_pattern(const char* s, std::size_t n, std::size_t from, std::string_view pat,
                         bool upper) {
    if (pat.empty() || pat.size() > n) return std::string_view::npos;
    for (std::size_t m = from; m + pat.size() <= n; ++m) {
        std::size_t k = 0;
        if (upper) {
            while (k < pat.size() && upper_char(s[m + k]) == pat[k]) ++k;
        } else {
            while (k < pat.size() && s[m + k] == pat[k]) ++k;
        }
        if (k == pat.size()) return m;
    }
    return std::string_view::npos;
}

// Runs one comma-separated template (up to and including its kind 9 group) on a string.
void run_template(Activation* a, Words& w, const char* s, std::size_t len, bool upper) {
    std::size_t cursor = 0, pattern = 0;
    while (true) {
        std::uint16_t kind = w.next();
        std::uint16_t value = w.next();
        std::uint16_t count = w.next();
        std::size_t start = cursor, end = len;
        if (kind == 9) {
            start = cursor;
            end = len;
            cursor = pattern = len;
        } else if (kind < 1 || kind > 9) {
            error(38);
        } else {
            ValueHolder op(operand(a, kind, value));
            if (kind == 1 || kind == 2) {
                NumberBuffer b;
                std::string_view pat = view_of(op.get(), b);
                std::size_t m = find_pattern(s, len, cursor, pat, upper);
                if (m != std::string_view::npos) {
                    end = m;
                    pattern = m;
                    cursor = m + pat.size();
                } else {
                    end = len;
                    cursor = pattern = len;
                }
            } else if (kind == 3 || kind == 6) {
                std::size_t v = position_value(op.get());
                std::size_t p = v == 0 ? 0 : v - 1;
                start = cursor;
                end = p > pattern ? p : len;
                pattern = cursor = p;
            } else {
                std::size_t v = position_value(op.get());
                std::size_t np;
                if (kind == 4 || kind == 7) {
                    np = pattern + v > kPositionLimit ? kPositionLimit : pattern + v;
                } else {
                    np = v > pattern ? 0 : pattern - v;
                }
                start = pattern;
                end = np > pattern ? np : len;
                pattern = cursor = np;
            }
        }
        if (start > len) start = len;
        if (end > len) end = len;
        if (start > end) end = len;
        if (cursor > len) cursor = len;
        if (pattern > len) pattern = len;
        split_words(a, w, count, s + start, end - start, upper);
        if (kind == 9) return;
    }
}

Words template_words(std::uint16_t tmpl) {
    const Value& lit = g_lib.current->program->literals[tmpl];
    return Words{reinterpret_cast<const std::uint8_t*>(chars_of(lit)), lit.length / 2};
}

}  // namespace

void parse_string(Activation* a, std::uint16_t tmpl, Value& source, bool upper) {
    // The targets may include the variable the source came from: keep the characters.
    if (source.flags & kBorrowed) make_private(source);
    NumberBuffer b;
    std::string_view s = view_of(source, b);
    Words w = template_words(tmpl);
    run_template(a, w, s.data(), s.size(), upper);
    // Further comma-separated templates parse empty strings.
    while (!w.done()) run_template(a, w, "", 0, upper);
}

void parse_args(Activation* a, std::uint16_t tmpl, bool upper) {
    Words w = template_words(tmpl);
    for (int i = 0; !w.done(); ++i) {
        if (i < a->argc && !is_absent(a->args[i])) {
            // An argument that borrows a variable's characters is copied first: the template
            // may assign that variable.
            const Value& arg = a->args[i];
            ValueHolder copy(arg.flags & kBorrowed ? copy_value(arg) : kNullString);
            NumberBuffer b;
            std::string_view s = view_of(arg.flags & kBorrowed ? copy.get() : arg, b);
            run_template(a, w, s.data(), s.size(), upper);
        } else {
            run_template(a, w, "", 0, upper);
        }
    }
}

}  // namespace ketra
