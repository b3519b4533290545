// Helpers of the translator tests: compiling a source text in a run that is translating, and a
// one-line listing of compiled code that names literals and symbols by their text, so that
// expected byte code reads like the program.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "rexx/builtins/names.h"
#include "rexx/host/session.h"
#include "rexx/translate/opcodes.h"
#include "rexx/translate/program.h"
#include "rexx/translate/translator.h"
#include "support/rexx_test.h"

namespace ketra::test {

// A translating run over a source text. mode defaults to the run's initial mode without the
// source-information bits, so that most tests see no statement table.
class Translation {
  public:
    explicit Translation(std::string source, std::uint8_t mode = kModeInitial & ~0x38)
        : source_(std::move(source)), run_(kStateTranslating) {
        ExecInstance& inst = run_.instance();
        inst.source_start = source_.data();
        inst.source_end = source_.data() + source_.size();
        inst.source_pos = inst.source_start;
        inst.mode = mode;
    }
    // The REXX error the translation raised (0 when none); the program is kept.
    int compile() {
        return error_of([&] { program_ = translate_source(&run_.instance()); });
    }
    Program& program() { return *program_; }
    ExecInstance& instance() { return run_.instance(); }

  private:
    std::string source_;
    ScopedRun run_;
    ProgramPtr program_;
};

inline std::string quoted(const Value& v) {
    NumberBuffer buf;
    std::string_view s = view_of(v, buf);
    std::string out = "'";
    for (unsigned char ch : s) {
        if (ch >= 32 && ch < 127) {
            out += static_cast<char>(ch);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", ch);
            out += hex;
        }
    }
    return out + "'";
}

inline std::string name_of_symbol(const Program& p, std::uint32_t i) {
    if (i >= p.symbols.size()) return "?" + std::to_string(i);
    NumberBuffer buf;
    return std::string(view_of(p.symbols[i].name, buf));
}

// "PUSHLIT '1'; TRACERES; ASSIGN X; END": literals quoted, symbols by name, targets as @offset,
// built-in codes as #code, template literals as T<index>.
inline std::string listing(const Program& p, const RexxVector<std::uint8_t>& code) {
    std::string out;
    std::size_t pc = 0;
    while (pc < code.size()) {
        std::uint8_t op = code[pc];
        const OpcodeInfo* info = opcode_info(op);
        if (!info || pc + info->length > code.size()) {
            out += "?BAD";
            break;
        }
        if (!out.empty()) out += "; ";
        out += info->name;
        std::size_t at = pc + 1;
        for (OperandKind k : info->operands) {
            if (k == kOperandNone) break;
            std::uint32_t v = 0;
            std::size_t w = operand_width(k);
            for (std::size_t b = 0; b < w; ++b)
                v |= static_cast<std::uint32_t>(code[at + b]) << (8 * b);
            at += w;
            out += ' ';
            switch (k) {
                case kOperandLiteral16:
                case kOperandLiteral24:
                    out += v < p.literals.size() ? quoted(p.literals[v]) : "?" + std::to_string(v);
                    break;
                case kOperandSymbol16:
                    out += name_of_symbol(p, v);
                    break;
                case kOperandTemplate16:
                    out += "T" + std::to_string(v);
                    break;
                case kOperandTarget24:
                    out += "@" + std::to_string(v);
                    break;
                case kOperandBuiltin24:
                    out += "#" + std::to_string(v);
                    break;
                default:
                    out += std::to_string(v);
            }
        }
        pc += info->length;
    }
    return out;
}

inline std::string listing(const Program& p) {
    return listing(p, p.code);
}

// The compiled listing of a source, or "error N".
inline std::string compiled(const std::string& source) {
    Translation t(source);
    int e = t.compile();
    if (e) return "error " + std::to_string(e);
    return listing(t.program());
}

// The 16-bit words of a template literal.
inline std::vector<unsigned> template_words(const Program& p, std::uint32_t index) {
    NumberBuffer buf;
    std::string_view s = view_of(p.literals[index], buf);
    std::vector<unsigned> w;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        w.push_back(static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8));
    return w;
}

}  // namespace ketra::test
