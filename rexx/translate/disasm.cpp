// Listings of compiled programs (format in disasm.h) and the KetraDisassemble entry of the
// ketra command. Every read of the code is bounds-checked, so faulty code lists as DB bytes.
#include "rexx/translate/disasm.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ketra_tools.h"
#include "platform/lock.h"
#include "rexx/builtins/names.h"
#include "rexx/translate/image.h"
#include "rexx/translate/opcodes.h"

namespace ketra {

namespace {

constexpr std::size_t kShownChars = 60;
constexpr const char* kConditions[] = {"ERROR", "FAILURE", "HALT", "NOTREADY", "NOVALUE", "SYNTAX"};

std::string hex(std::uint32_t v, int digits) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

std::string quote(std::string_view s) {
    bool printable = true;
    for (unsigned char ch : s)
        if (ch < 0x20 || ch > 0x7E) printable = false;
    std::string out = "'";
    std::size_t n = s.size() < kShownChars ? s.size() : kShownChars;
    if (printable) {
        for (std::size_t i = 0; i < n; ++i) {
            if (s[i] == '\'') out += '\'';
            out += s[i];
        }
        out += "'";
    } else {
        for (std::size_t i = 0; i < n; ++i) out += hex(static_cast<unsigned char>(s[i]), 2);
        out += "'X";
    }
    if (s.size() > kShownChars) out += "...";
    return out;
}

std::string quote_value(const Value& v) {
    NumberBuffer nb;
    return quote(view_of(v, nb));
}

std::string literal_text(const Program& p, std::uint32_t i) {
    return i < p.literals.size() ? quote_value(p.literals[i]) : "(no such literal)";
}

std::string symbol_text(const Program& p, std::uint32_t i) {
    if (i >= p.symbols.size()) return "(no such symbol)";
    NumberBuffer nb;
    return std::string(view_of(p.symbols[i].name, nb));
}

const LabelEntry* label_at(const Program& p, std::uint32_t offset) {
    for (const LabelEntry& l : p.labels)
        if (l.offset == offset) return &l;
    return nullptr;
}

// A template spelled like its source: "A 'x' B =(P) ., C".
std::string template_text(const Program& p, std::uint32_t index) {
    if (index >= p.literals.size()) return "(no such literal)";
    const Value& lit = p.literals[index];
    NumberBuffer nb;
    std::string_view s = view_of(lit, nb);
    const auto* w = reinterpret_cast<const std::uint8_t*>(s.data());
    std::size_t n = s.size() / 2, at = 0;
    std::string out;
    auto add = [&](const std::string& part) {
        if (!out.empty() && out.back() != ' ') out += ' ';
        out += part;
    };
    while (at + 3 <= n) {
        std::uint32_t kind = read_u16(w + 2 * at), value = read_u16(w + 2 * at + 2);
        std::uint32_t count = read_u16(w + 2 * at + 4);
        at += 3;
        for (std::uint32_t i = 0; i < count && at < n; ++i, ++at) {
            std::uint32_t t = read_u16(w + 2 * at);
            add(t == 0xFFFF ? "." : symbol_text(p, t));
        }
        switch (kind) {
            case 1:
                add(literal_text(p, value));
                break;
            case 2:
                add("(" + symbol_text(p, value) + ")");
                break;
            case 3:
                add("=" +
                    std::string(value < p.literals.size() ? view_of(p.literals[value], nb) : "?"));
                break;
            case 4:
                add("+" +
                    std::string(value < p.literals.size() ? view_of(p.literals[value], nb) : "?"));
                break;
            case 5:
                add("-" +
                    std::string(value < p.literals.size() ? view_of(p.literals[value], nb) : "?"));
                break;
            case 6:
                add("=(" + symbol_text(p, value) + ")");
                break;
            case 7:
                add("+(" + symbol_text(p, value) + ")");
                break;
            case 8:
                add("-(" + symbol_text(p, value) + ")");
                break;
            case 9:
                if (at < n) out += ",";
                break;
            case 10:
                add("=" + std::to_string(value));
                break;
            case 11:
                add("+" + std::to_string(value));
                break;
            case 12:
                add("-" + std::to_string(value));
                break;
            default:
                add("?kind" + std::to_string(kind));
                break;
        }
    }
    if (at != n || s.size() % 2) add("(cut short)");
    return out;
}

void trim(std::string& s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
}

}  // namespace

std::string disassemble_instruction(const Program& p, std::size_t pc, std::size_t* length) {
    const auto& code = p.code;
    const OpcodeInfo* info = pc < code.size() ? opcode_info(code[pc]) : nullptr;
    if (!info || info->length > code.size() - pc) {
        *length = 1;
        return pc < code.size() ? "DB         0x" + hex(code[pc], 2) : "DB";
    }
    *length = info->length;
    char head[16];
    std::snprintf(head, sizeof head, "%-10s ", info->name);
    std::string line = head, ops, comment;
    auto comment_add = [&](const std::string& c) {
        if (!comment.empty()) comment += "; ";
        comment += c;
    };
    const std::uint8_t* o = code.data() + pc + 1;
    for (OperandKind k : info->operands) {
        if (k == kOperandNone) break;
        std::uint32_t v = 0;
        switch (operand_width(k)) {
            case 1:
                v = o[0];
                break;
            case 2:
                v = read_u16(o);
                break;
            default:
                v = read_u24(o);
                break;
        }
        o += operand_width(k);
        std::string text;
        switch (k) {
            case kOperandLiteral16:
            case kOperandLiteral24:
                text = "L" + std::to_string(v);
                comment_add(literal_text(p, v));
                break;
            case kOperandSymbol16:
                text = "S" + std::to_string(v);
                comment_add(symbol_text(p, v));
                break;
            case kOperandTemplate16:
                text = "T" + std::to_string(v);
                comment_add(template_text(p, v));
                break;
            case kOperandCondition8:
                text = v >= 1 && v <= 6 ? kConditions[v - 1] : std::to_string(v);
                break;
            case kOperandTrapKind8:
                text = v == 1 ? "CALL" : v == 2 ? "SIGNAL" : std::to_string(v);
                break;
            case kOperandTarget24:
                text = "@" + hex(v, 6);
                if (const LabelEntry* l = label_at(p, v)) comment_add(l->name);
                break;
            case kOperandBuiltin24: {
                const char* name = builtin_name(static_cast<int>(v));
                text = name ? name : "#" + std::to_string(v);
                break;
            }
            default:
                text = std::to_string(v);
                break;
        }
        if (!ops.empty()) ops += ", ";
        ops += text;
    }
    line += ops;
    if (!comment.empty()) {
        trim(line);
        line += "  ; " + comment;
    }
    trim(line);
    return line;
}

std::string disassemble(const Program& p, const char* name) {
    std::size_t nstmt = 0;
    for (const StatementEntry& s : p.statements)
        if (s.offset != kStatementEndMark) ++nstmt;
    std::string out = "; program ";
    out += name ? name : "";
    out += "\n; code " + std::to_string(p.code.size()) + " bytes, " +
           std::to_string(p.literals.size()) + " literals, " + std::to_string(p.symbols.size()) +
           " symbols, " + std::to_string(p.labels.size()) + " labels, " + std::to_string(nstmt) +
           " statements, " + std::to_string(p.source_lines) + " source lines\n";
    out += verify_program(p) ? "; verification ok\n"
                             : "; verification FAILED: the code must not run\n";
    out += "code:\n";
    for (std::size_t pc = 0; pc < p.code.size();) {
        for (const LabelEntry& l : p.labels)
            if (l.offset == pc) out += std::string(l.name) + ":\n";
        std::size_t len = 1;
        std::string line = disassemble_instruction(p, pc, &len);
        out += "  " + hex(static_cast<std::uint32_t>(pc), 6) + "  " + line + "\n";
        pc += len;
    }
    if (!p.literals.empty()) {
        out += "literals:\n";
        for (std::size_t i = 0; i < p.literals.size(); ++i) {
            const Value& v = p.literals[i];
            std::uint8_t f = (v.flags & kInteger) | classification(v);
            out +=
                "  L" + std::to_string(i) + "  flags " + hex(f, 2) + "  " + quote_value(v) + "\n";
        }
    }
    if (!p.symbols.empty()) {
        out += "symbols:\n";
        for (std::size_t i = 0; i < p.symbols.size(); ++i) {
            const SymbolEntry& s = p.symbols[i];
            const char* kind = s.kind == kSymbolSimple     ? "simple  "
                               : s.kind == kSymbolCompound ? "compound"
                               : s.kind == kSymbolStem     ? "stem    "
                                                           : "?       ";
            std::string line = "  S" + std::to_string(i) + "  " + kind + "  " +
                               symbol_text(p, static_cast<std::uint32_t>(i));
            if (s.kind == kSymbolCompound)
                line +=
                    s.tail == kTailTooMany ? "  tail none" : "  tail L" + std::to_string(s.tail);
            out += line + "\n";
        }
    }
    if (!p.labels.empty()) {
        out += "labels:\n";
        for (const LabelEntry& l : p.labels)
            out += "  " + std::string(l.name) + "  @" + hex(l.offset, 6) + "\n";
    }
    if (nstmt) {
        out += "statements:\n";
        for (const StatementEntry& s : p.statements) {
            if (s.offset == kStatementEndMark) continue;
            out += "  @" + hex(s.offset, 6) + "  lines " + std::to_string(s.first_line) + "-" +
                   std::to_string(s.last_line) + "  columns " + std::to_string(s.first_column) +
                   "-" + std::to_string(s.last_column) + "  type " + std::to_string(s.type) + "\n";
        }
    }
    return out;
}

}  // namespace ketra

using namespace ketra;

namespace {

bool read_file(const char* path, std::string& text) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (ok && got < text.size()) {
            ssize_t r = ::read(fd, text.data() + got, text.size() - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0)
                ok = false;
            else
                got += static_cast<std::size_t>(r);
        }
        // Object code behind the source is not part of the program text.
        if (ok) {
            FileImageResult r = read_file_image(fd, text.size(), false);
            if (r.status == FileImage::kFound) text.resize(text.size() - r.image_size);
        }
    }
    ::close(fd);
    return ok;
}

bool write_text(int fd, const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        ssize_t r = ::write(fd, s.data() + done, s.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

}  // namespace

extern "C" KETRA_EXPORT int KetraDisassemble(const char* program, int fd_out) {
    if (!program || !*program) return -1;
    std::string source;
    if (!read_file(program, source) || source.empty()) return -1;

    // A translate-only run over the text in store hands the image back without touching the file.
    char option[] = "/O";
    RXSTRING arg{2, option};
    RXSTRING instore[2] = {{static_cast<ULONG>(source.size()), source.data()}, {0, nullptr}};
    SHORT retc = 0;
    RXSTRING result{0, nullptr};
    LONG rc = RexxStart(1, &arg, program, instore, nullptr, RXCOMMAND, nullptr, &retc, &result);
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (rc != 0) {
        if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
        return rc < 0 ? static_cast<int>(-rc) : static_cast<int>(rc);
    }
    if (!instore[1].strptr) return -1;
    int status = 0;
    {
        platform::ApiLockGuard lock;
        ProgramPtr p = unpack_image(reinterpret_cast<const std::uint8_t*>(instore[1].strptr),
                                    instore[1].strlength, true, false);
        if (!p)
            status = -1;
        else if (!write_text(fd_out, disassemble(*p, program)))
            status = -2;
    }
    RexxFreeMemory(instore[1].strptr);
    return status;
}
