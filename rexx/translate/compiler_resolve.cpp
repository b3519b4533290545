// References to labels and routines: the label table, the pending-reference list with its
// chains of sites, and the resolution after the last clause (label, then built-in function,
// then external routine; SIGNAL targets must be labels). INTERPRET code resolves at once
// against the running program.
#include <cstring>

#include "rexx/builtins/names.h"
#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/translate/compiler.h"

namespace ketra {

namespace {

// Where the 24-bit operand of a reference site lies, from its opcode.
std::uint32_t operand_of_site(std::uint8_t op) {
    switch (op) {
        case kOpSignal:
            return 1;
        case kOpTrapName:
            return 3;
        default:
            return 2;  // 14 to 19: argc, then the operand
    }
}

bool is_signal_site(std::uint8_t op) {
    return op == kOpSignal || op == kOpTrapName;
}

long find_label(const Program& p, const char* name, std::size_t length) {
    for (std::size_t i = 0; i < p.labels.size(); ++i) {
        const LabelEntry& l = p.labels[i];
        if (l.length == length && std::memcmp(l.name, name, length) == 0)
            return static_cast<long>(i);
    }
    return -1;
}

// Patches one site for the name: a label, a built-in, or an external routine. `line` and
// `line_source` name the reference for a missing-label report.
void patch_site(Compiler& c, std::uint32_t site, long label, const char* name, std::size_t length) {
    RexxVector<std::uint8_t>& code = *c.code;
    std::uint8_t op = code[site];
    std::uint32_t at = site + operand_of_site(op);
    if (label >= 0) {
        put24(code, at, c.program->labels[static_cast<std::size_t>(label)].offset);
        return;
    }
    int builtin = builtin_code(name, length);
    bool function = op == kOpFuncInternal;
    if (builtin > 0) {
        code[site] = function ? kOpFuncBuiltin : kOpCallBuiltin;
        put24(code, at, static_cast<std::uint32_t>(builtin));
    } else {
        code[site] = function ? kOpFuncExternal : kOpCallExternal;
        put24(code, at, intern_literal(c.sc, name, length));
    }
}

// Shows the source line of a reference in the report of error 16.
[[noreturn]] void missing_label(Compiler& c, std::uint32_t line, const char* line_source) {
    Scanner& s = c.sc;
    ExecInstance* inst = s.inst;
    inst->translate_line = line;
    inst->line_text = nullptr;
    inst->line_length = 0;
    if (line_source && s.line && line_source >= inst->source_start &&
        line_source <= inst->source_end) {
        const char* e = line_source;
        while (e < inst->source_end && *e != '\n') ++e;
        std::size_t n = static_cast<std::size_t>(e - line_source);
        if (n > 0 && line_source[n - 1] == '\r') --n;
        if (n > kMaxLineLength) n = kMaxLineLength;
        std::memcpy(s.line, line_source, n);
        s.line[n] = '\n';
        s.line[n + 1] = 0;
        s.line_length = n + 1;
        inst->line_text = s.line;
        inst->line_length = s.line_length;
    }
    error(16);
}

}  // namespace

void emit_reference(Compiler& c, std::uint8_t op, std::uint8_t a, std::uint8_t b, const char* name,
                    std::size_t length) {
    std::uint8_t bytes[6];
    std::size_t n = 0;
    bytes[n++] = op;
    if (op == kOpTrapName) {
        bytes[n++] = a;
        bytes[n++] = b;
    } else if (op != kOpSignal) {
        bytes[n++] = a;
    }
    std::uint32_t site = here(c);
    std::uint32_t link = kChainEnd;
    PendingRef* ref = nullptr;
    if (!c.interpret) {
        for (PendingRef& r : c.pending)
            // An empty name ("call ''") meets an empty name store: no bytes to compare.
            if (r.name_length == length &&
                (length == 0 || std::memcmp(c.names.data() + r.name_offset, name, length) == 0)) {
                ref = &r;
                break;
            }
        if (!ref) {
            PendingRef r{};
            r.name_offset = static_cast<std::uint32_t>(c.names.size());
            r.name_length = static_cast<std::uint8_t>(length);
            r.chain = kChainEnd;
            c.names.insert(c.names.end(), name, name + length);
            c.pending.push_back(r);
            ref = &c.pending.back();
        }
        link = ref->chain;
        ref->chain = site;
        if (is_signal_site(op) && !ref->signal) {
            ref->signal = true;
            ref->signal_line = c.sc.line_counter;
            ref->signal_line_source = c.sc.line_start_in_source;
        }
    }
    bytes[n++] = static_cast<std::uint8_t>(link & 0xFF);
    bytes[n++] = static_cast<std::uint8_t>((link >> 8) & 0xFF);
    bytes[n++] = static_cast<std::uint8_t>((link >> 16) & 0xFF);
    emit_bytes(c, bytes, n);
    if (c.interpret) {
        long label = find_label(*c.program, name, length);
        if (label < 0 && is_signal_site(op)) clause_error(c, 16);
        patch_site(c, site, label, name, length);
    }
}

void define_label(Compiler& c, const char* name, std::size_t length) {
    if (find_label(*c.program, name, length) >= 0) return;
    LabelEntry e{};
    e.offset = here(c);
    e.length = static_cast<std::uint8_t>(length);
    std::memcpy(e.name, name, length);
    e.name[length] = 0;
    c.program->labels.push_back(e);
}

void resolve_references(Compiler& c) {
    for (const PendingRef& r : c.pending) {
        const char* name = c.names.data() + r.name_offset;
        long label = find_label(*c.program, name, r.name_length);
        if (label < 0 && r.signal) missing_label(c, r.signal_line, r.signal_line_source);
        std::uint32_t site = r.chain;
        while (site != kChainEnd) {
            std::uint32_t next = get24(*c.code, site + operand_of_site((*c.code)[site]));
            patch_site(c, site, label, name, r.name_length);
            site = next;
        }
    }
}

}  // namespace ketra
