// Compiled images: building the full and 16-bit forms from a Program, validating a block,
// unpacking it with every field checked, the code verifier, and the run's hooks that take an
// image from a caller, give one back, find one behind a program file, store one there after a
// translate-only run, and load the supplied image (or translate when it will not load).
#include "rexx/translate/image.h"

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "platform/memory.h"
#include "rexx/builtins/names.h"
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"
#include "rexx/translate/opcodes.h"
#include "rexx/translate/translator.h"

namespace ketra {

namespace {

// Value flags an image keeps for a literal: the classification is recomputed on load, so only
// the wish to hold the literal in integer form matters.
constexpr std::uint8_t kPersistentFlags = kInteger | kWhole | kNumber | kClassified;

constexpr std::uint32_t kMaxCode = 0x1000000;  // offsets are 24 bits
constexpr std::size_t kMaxName = 250;

struct Layout {
    std::size_t code, lit_table, lit_data, lit_data_size, sym_table, sym_data, sym_data_size,
        label_data, label_data_size, stmt_table, stmt_count, total;
};

std::string_view text_of(const Value& v, NumberBuffer& nb) {
    return view_of(v, nb);
}

std::uint16_t persistent_flags(const Value& v) {
    return static_cast<std::uint16_t>((classification(v) | (v.flags & kInteger)) &
                                      kPersistentFlags);
}

bool keep_statement(const StatementEntry& s) {
    return s.offset != kStatementEndMark;
}

std::size_t statement_count(const Program& p, bool with_statements, bool form16) {
    if (!with_statements) return 0;
    std::size_t n = 0;
    for (const StatementEntry& s : p.statements) {
        if (!keep_statement(s)) continue;
        if (form16 && (s.first_column > 255 || s.last_column > 255)) return 0;
        ++n;
    }
    return n;
}

Layout layout_of(const Program& p, bool with_statements, bool form16) {
    Layout l{};
    NumberBuffer nb;
    l.code = kImageHeaderSize;
    l.lit_table = l.code + p.code.size();
    for (const Value& v : p.literals) {
        std::size_t n = text_of(v, nb).size();
        if (n > 4) l.lit_data_size += n;
    }
    l.lit_data = l.lit_table + p.literals.size() * (form16 ? kLiteralEntry16 : kLiteralEntry);
    l.sym_table = l.lit_data + l.lit_data_size;
    for (const SymbolEntry& s : p.symbols) {
        std::size_t n = text_of(s.name, nb).size();
        if (n > 4) l.sym_data_size += n;
    }
    l.sym_data = l.sym_table + p.symbols.size() * (form16 ? kSymbolEntry16 : kSymbolEntry);
    l.label_data = l.sym_data + l.sym_data_size;
    for (const LabelEntry& e : p.labels) l.label_data_size += kLabelRecordFixed + e.length;
    l.stmt_table = l.label_data + l.label_data_size;
    l.stmt_count = statement_count(p, with_statements, form16);
    l.total = l.stmt_table + l.stmt_count * (form16 ? kStatementEntry16 : kStatementEntry) +
              kImageTrailerSize;
    return l;
}

// A 4-byte data field: the characters themselves when they fit, else their offset in the data
// area (advanced past them).
void put_data(std::uint8_t* field, std::string_view s, std::uint8_t* area, std::size_t& at) {
    if (s.size() <= 4) {
        std::memset(field, 0, 4);
        std::memcpy(field, s.data(), s.size());
    } else {
        put_u32(field, static_cast<std::uint32_t>(at));
        std::memcpy(area + at, s.data(), s.size());
        at += s.size();
    }
}

// Writes one form; the caller has sized out to l.total.
void write_form(const Program& p, bool form16, const Layout& l, std::uint8_t* out) {
    std::memset(out, 0, l.total);
    out[kHdrMark] = kImageHeaderMark;
    std::uint16_t version = form16 ? kImageVersion16 : kImageVersion;
    put_u16(out + kHdrVersion, version);
    put_u16(out + kHdrMagic, kImageMagic);
    std::uint8_t flags =
        static_cast<std::uint8_t>(p.flags & ~(kImageFullTables | kImageFullStatements));
    if (!form16) flags |= kImageFullTables | kImageFullStatements;
    out[kHdrFlags] = flags;
    put_u32(out + kHdrSourceLines, p.source_lines);
    put_u32(out + kHdrCodeSize, static_cast<std::uint32_t>(p.code.size()));
    put_u32(out + kHdrCodeOffset, static_cast<std::uint32_t>(l.code));
    put_u32(out + kHdrLiteralCount, static_cast<std::uint32_t>(p.literals.size()));
    put_u32(out + kHdrLiteralTable, static_cast<std::uint32_t>(l.lit_table));
    put_u32(out + kHdrLiteralDataSize, static_cast<std::uint32_t>(l.lit_data_size));
    put_u32(out + kHdrLiteralData, static_cast<std::uint32_t>(l.lit_data));
    put_u32(out + kHdrSymbolCount, static_cast<std::uint32_t>(p.symbols.size()));
    put_u32(out + kHdrSymbolTable, static_cast<std::uint32_t>(l.sym_table));
    put_u32(out + kHdrSymbolDataSize, static_cast<std::uint32_t>(l.sym_data_size));
    put_u32(out + kHdrSymbolData, static_cast<std::uint32_t>(l.sym_data));
    put_u32(out + kHdrLabelCount, static_cast<std::uint32_t>(p.labels.size()));
    put_u32(out + kHdrLabelDataSize, static_cast<std::uint32_t>(l.label_data_size));
    put_u32(out + kHdrLabelData, static_cast<std::uint32_t>(l.label_data));
    put_u32(out + kHdrStatementCount, static_cast<std::uint32_t>(l.stmt_count));
    put_u32(out + kHdrStatementTable, static_cast<std::uint32_t>(l.stmt_table));
    put_u32(out + kHdrTotalSize, static_cast<std::uint32_t>(l.total));

    if (!p.code.empty()) std::memcpy(out + l.code, p.code.data(), p.code.size());

    NumberBuffer nb;
    // Literal and symbol name entries. Full: length 4, data 4, flags 2. 16-bit: flags 1, second
    // flags byte 1, length 2, data 4.
    auto put_entry = [&](std::uint8_t* e, const Value& v, std::uint8_t* area, std::size_t& at) {
        std::string_view s = text_of(v, nb);
        std::uint16_t f = persistent_flags(v);
        if (form16) {
            e[0] = static_cast<std::uint8_t>(f);
            e[1] = static_cast<std::uint8_t>(f >> 8);
            put_u16(e + 2, static_cast<std::uint32_t>(s.size()));
            put_data(e + 4, s, area, at);
        } else {
            put_u32(e, static_cast<std::uint32_t>(s.size()));
            put_data(e + 4, s, area, at);
            put_u16(e + 8, f);
        }
    };
    std::size_t at = 0;
    std::uint8_t* e = out + l.lit_table;
    for (const Value& v : p.literals) {
        put_entry(e, v, out + l.lit_data, at);
        e += form16 ? kLiteralEntry16 : kLiteralEntry;
    }
    at = 0;
    e = out + l.sym_table;
    for (const SymbolEntry& s : p.symbols) {
        put_entry(e, s.name, out + l.sym_data, at);
        std::uint8_t* rest = e + (form16 ? kLiteralEntry16 : kLiteralEntry);
        rest[0] = s.kind;
        rest[1] = 0;  // cache generation
        put_u32(rest + 2, s.kind == kSymbolCompound ? s.tail : 0);
        e += form16 ? kSymbolEntry16 : kSymbolEntry;
    }
    e = out + l.label_data;
    for (const LabelEntry& lab : p.labels) {
        e[0] = lab.length;
        put_u32(e + 1, lab.offset);
        std::memcpy(e + 5, lab.name, lab.length);
        e += kLabelRecordFixed + lab.length;
    }
    if (l.stmt_count) {
        e = out + l.stmt_table;
        for (const StatementEntry& s : p.statements) {
            if (!keep_statement(s)) continue;
            put_u16(e, s.first_line);
            put_u16(e + 2, s.last_line);
            if (form16) {
                e[4] = static_cast<std::uint8_t>(s.first_column);
                e[5] = static_cast<std::uint8_t>(s.last_column);
                put_u32(e + 6, s.offset);
                e[10] = s.type;
                e += kStatementEntry16;
            } else {
                put_u16(e + 4, s.first_column);
                put_u16(e + 6, s.last_column);
                put_u32(e + 8, s.offset);
                e[12] = s.type;
                e += kStatementEntry;
            }
        }
    }
    write_trailer(out + l.total - kImageTrailerSize, version, 0);
}

// A section [offset, offset + size) inside the image between header and trailer.
bool section_ok(std::uint64_t offset, std::uint64_t size, std::size_t length) {
    return offset >= kImageHeaderSize && offset + size <= length - kImageTrailerSize;
}

// Reads a literal-like entry into an owned value; false when its characters lie outside the
// data area.
bool read_entry(const std::uint8_t* e, bool full, const std::uint8_t* area, std::size_t area_size,
                Value& out) {
    std::uint32_t len, flags;
    const std::uint8_t* data;
    if (full) {
        len = get_u32(e);
        data = e + 4;
        flags = get_u16(e + 8);
    } else {
        flags = e[0];
        len = get_u16(e + 2);
        data = e + 4;
    }
    const char* bytes;
    if (len <= 4) {
        bytes = reinterpret_cast<const char*>(data);
    } else {
        std::uint64_t off = get_u32(data);
        if (off + len > area_size) return false;
        bytes = reinterpret_cast<const char*>(area + off);
    }
    out = make_value(bytes, len, true);
    if ((flags & kInteger) && (out.flags & kWhole)) to_integer_form(out);
    return true;
}

// ---- verification ------------------------------------------------------------------------------

struct Effect {
    int pops, pushes;
    bool ends;  // control does not continue at the next instruction
};

Effect effect_of(std::uint8_t op, const std::uint8_t* operand) {
    switch (op) {
        case kOpPushLiteral:
        case kOpPushVar:
        case kOpPushNull:
        case kOpPushNumeric:
        case kOpPushSource:
        case kOpPushVersion:
        case kOpPushLineIn:
        case kOpPull:
            return {0, 1, false};
        case kOpLoopTo:
        case kOpLoopBy:
        case kOpLoopFor:
        case kOpAssign:
        case kOpLoopInit:
        case kOpJumpFalse:
        case kOpJumpTrue:
        case kOpAddressSet:
        case kOpCommand:
        case kOpParse:
        case kOpParseUpper:
        case kOpInterpret:
        case kOpDigits:
        case kOpForm:
        case kOpFuzz:
        case kOpOptions:
        case kOpPush:
        case kOpQueue:
        case kOpSay:
        case kOpTrace:
            return {1, 0, false};
        case kOpAddressCommand:
            return {2, 0, false};
        case kOpCallInternal:
        case kOpCallExternal:
        case kOpCallBuiltin:
            return {operand[0], 0, false};
        case kOpFuncInternal:
        case kOpFuncExternal:
        case kOpFuncBuiltin:
            return {operand[0], 1, false};
        case kOpReturn:
        case kOpExit:
        case kOpEnd:
        case kOpJump:
        case kOpSignal:
        case kOpRaise:
        case kOpInterpretEnd:
            return {0, 0, true};
        case kOpReturnValue:
        case kOpExitValue:
        case kOpSignalValue:
            return {1, 0, true};
        case kOpPlus:
        case kOpMinus:
        case kOpAbs:
        case kOpNot:
        case kOpTraceResult:
        case kOpTraceClause:
            return {1, 1, false};
        default:
            if (is_operator(op)) return {2, 1, false};
            return {0, 0, false};
    }
}

// A template literal: groups of kind, operand, count and targets, the last of every template
// of kind 9, and nothing after the last group.
bool template_ok(const Program& p, std::uint32_t index) {
    if (index >= p.literals.size()) return false;
    const Value& lit = p.literals[index];
    if (is_integer_form(lit) || lit.length % 2 != 0 || lit.length == 0) return false;
    const auto* w = reinterpret_cast<const std::uint8_t*>(chars_of(lit));
    std::size_t n = lit.length / 2, at = 0;
    std::uint32_t kind = 0;
    while (at < n) {
        if (n - at < 3) return false;
        kind = get_u16(w + 2 * at);
        std::uint32_t value = get_u16(w + 2 * at + 2);
        std::uint32_t count = get_u16(w + 2 * at + 4);
        at += 3;
        if (kind < 1 || kind > 12) return false;  // 10 to 12: the operand is the position itself
        bool literal = kind == 1 || kind == 3 || kind == 4 || kind == 5;
        if (kind < 9 && value >= (literal ? p.literals.size() : p.symbols.size())) return false;
        if (count > n - at) return false;
        for (std::uint32_t i = 0; i < count; ++i, ++at) {
            std::uint32_t t = get_u16(w + 2 * at);
            if (t != 0xFFFF && t >= p.symbols.size()) return false;
        }
    }
    return kind == 9;
}

bool tail_ok(const Program& p, const SymbolEntry& s) {
    if (s.kind != kSymbolCompound || s.tail == kTailTooMany) return true;
    if (s.tail >= p.literals.size()) return false;
    const Value& d = p.literals[s.tail];
    if (is_integer_form(d) || d.length < 3 || d.length > 30 || d.length % 3 != 0) return false;
    const auto* it = reinterpret_cast<const std::uint8_t*>(chars_of(d));
    for (std::size_t i = 0; i < d.length / 3; ++i, it += 3) {
        std::uint32_t idx = get_u16(it + 1);
        if (it[0] == 3) {
            if (idx >= p.symbols.size()) return false;
        } else if (it[0] == 2 && i > 0) {
            if (idx >= p.literals.size()) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

ImageTrailer read_trailer(const std::uint8_t* p) {
    return ImageTrailer{p[0], static_cast<std::uint16_t>(get_u16(p + 1)),
                        static_cast<std::int32_t>(get_u32(p + 3)),
                        static_cast<std::uint16_t>(get_u16(p + 7))};
}

void write_trailer(std::uint8_t* p, std::uint16_t version, std::int32_t back_offset) {
    p[0] = kImageTrailerMark;
    put_u16(p + 1, version);
    put_u32(p + 3, static_cast<std::uint32_t>(back_offset));
    put_u16(p + 7, kImageMagic);
}

bool trailer_ok(const ImageTrailer& t) {
    return t.mark == kImageTrailerMark && t.magic == kImageMagic && t.version >= kImageVersionMin &&
           t.version <= kImageVersionMax;
}

std::size_t image_size(const Program& program, bool with_statements) {
    return layout_of(program, with_statements, false).total;
}

void write_image(const Program& program, bool with_statements, std::uint8_t* out) {
    write_form(program, false, layout_of(program, with_statements, false), out);
}

std::uint8_t* build_image(const Program& program, bool with_statements, std::size_t* size) {
    Layout l = layout_of(program, with_statements, false);
    auto* block = static_cast<std::uint8_t*>(platform::global_alloc(l.total, false));
    if (!block) return nullptr;
    write_form(program, false, l, block);
    if (size) *size = l.total;
    return block;
}

bool build_image16(const Program& program, bool with_statements, RexxVector<std::uint8_t>& out) {
    NumberBuffer nb;
    for (const Value& v : program.literals)
        if (text_of(v, nb).size() > 0xFFFF) return false;
    for (const SymbolEntry& s : program.symbols)
        if (text_of(s.name, nb).size() > 0xFFFF) return false;
    Layout l = layout_of(program, with_statements, true);
    out.assign(l.total, 0);
    write_form(program, true, l, out.data());
    return true;
}

bool validate_image(const std::uint8_t* bytes, std::size_t length) {
    if (!bytes || length < kImageHeaderSize) return false;
    std::uint32_t total = get_u32(bytes + kHdrTotalSize);
    if (total == kImageTooLarge || total != length) return false;
    std::uint32_t version = get_u16(bytes + kHdrVersion);
    if (bytes[kHdrMark] != kImageHeaderMark || version < kImageVersionMin ||
        version > kImageVersionMax || get_u16(bytes + kHdrMagic) != kImageMagic)
        return false;
    return trailer_ok(read_trailer(bytes + length - kImageTrailerSize));
}

ProgramPtr unpack_image(const std::uint8_t* b, std::size_t length, bool with_statements,
                        bool verify) {
    if (!validate_image(b, length) || length < kImageHeaderSize + kImageTrailerSize) return nullptr;
    std::uint8_t flags = b[kHdrFlags];
    bool full = flags & kImageFullTables;
    std::size_t lit_entry = full ? kLiteralEntry : kLiteralEntry16;
    std::size_t sym_entry = full ? kSymbolEntry : kSymbolEntry16;
    std::size_t stmt_entry = (flags & kImageFullStatements) ? kStatementEntry : kStatementEntry16;

    std::uint64_t code_size = get_u32(b + kHdrCodeSize), code = get_u32(b + kHdrCodeOffset);
    std::uint64_t nlit = get_u32(b + kHdrLiteralCount), lit_table = get_u32(b + kHdrLiteralTable);
    std::uint64_t lit_data_size = get_u32(b + kHdrLiteralDataSize);
    std::uint64_t lit_data = get_u32(b + kHdrLiteralData);
    std::uint64_t nsym = get_u32(b + kHdrSymbolCount), sym_table = get_u32(b + kHdrSymbolTable);
    std::uint64_t sym_data_size = get_u32(b + kHdrSymbolDataSize);
    std::uint64_t sym_data = get_u32(b + kHdrSymbolData);
    std::uint64_t nlab = get_u32(b + kHdrLabelCount);
    std::uint64_t label_size = get_u32(b + kHdrLabelDataSize);
    std::uint64_t label_data = get_u32(b + kHdrLabelData);
    std::uint64_t nstmt = get_u32(b + kHdrStatementCount);
    std::uint64_t stmt_table = get_u32(b + kHdrStatementTable);

    // Indices are 16 bits wide, so no table can be longer than that.
    if (code_size == 0 || code_size > kMaxCode || nlit > 0x10000 || nsym > 0x10000) return nullptr;
    if (!section_ok(code, code_size, length) || !section_ok(lit_table, nlit * lit_entry, length) ||
        !section_ok(lit_data, lit_data_size, length) ||
        !section_ok(sym_table, nsym * sym_entry, length) ||
        !section_ok(sym_data, sym_data_size, length) ||
        !section_ok(label_data, label_size, length) || nlab > label_size / kLabelRecordFixed)
        return nullptr;
    bool statements = with_statements && nstmt > 0;
    if (statements && (nstmt > length || !section_ok(stmt_table, nstmt * stmt_entry, length)))
        return nullptr;

    ProgramPtr p = make_program();
    p->flags = static_cast<std::uint8_t>(flags & ~(kImageFullTables | kImageFullStatements));
    p->source_lines = get_u32(b + kHdrSourceLines);
    p->code.assign(b + code, b + code + code_size);

    p->literals.reserve(nlit + 40);
    for (std::uint64_t i = 0; i < nlit; ++i) {
        Value v;
        if (!read_entry(b + lit_table + i * lit_entry, full, b + lit_data, lit_data_size, v))
            return nullptr;
        p->literals.push_back(v);
    }
    p->symbols.reserve(nsym + 40);
    for (std::uint64_t i = 0; i < nsym; ++i) {
        const std::uint8_t* e = b + sym_table + i * sym_entry;
        SymbolEntry s{};
        if (!read_entry(e, full, b + sym_data, sym_data_size, s.name)) return nullptr;
        const std::uint8_t* rest = e + lit_entry;
        s.kind = rest[0];
        s.tail = s.kind == kSymbolCompound ? get_u32(rest + 2) : 0;
        bool bad = s.kind < kSymbolSimple || s.kind > kSymbolStem || s.name.length == 0 ||
                   s.name.length > kMaxName || is_integer_form(s.name);
        p->symbols.push_back(s);
        if (bad) return nullptr;
    }

    p->labels.reserve(nlab);
    const std::uint8_t* e = b + label_data;
    const std::uint8_t* end = e + label_size;
    for (std::uint64_t i = 0; i < nlab; ++i) {
        if (end - e < static_cast<std::ptrdiff_t>(kLabelRecordFixed)) return nullptr;
        LabelEntry lab{};
        lab.length = e[0];
        lab.offset = get_u32(e + 1);
        if (lab.length == 0 || lab.length > kMaxName ||
            end - e < static_cast<std::ptrdiff_t>(kLabelRecordFixed + lab.length))
            return nullptr;
        std::memcpy(lab.name, e + kLabelRecordFixed, lab.length);
        lab.name[lab.length] = '\0';
        e += kLabelRecordFixed + lab.length;
        p->labels.push_back(lab);
    }

    if (statements) {
        p->statements.reserve(nstmt + 1);
        const std::uint8_t* s = b + stmt_table;
        std::uint32_t last = 0;
        for (std::uint64_t i = 0; i < nstmt; ++i, s += stmt_entry) {
            StatementEntry st{};
            st.first_line = static_cast<std::uint16_t>(get_u16(s));
            st.last_line = static_cast<std::uint16_t>(get_u16(s + 2));
            if (stmt_entry == kStatementEntry) {
                st.first_column = static_cast<std::uint16_t>(get_u16(s + 4));
                st.last_column = static_cast<std::uint16_t>(get_u16(s + 6));
                st.offset = get_u32(s + 8);
                st.type = s[12];
            } else {
                st.first_column = s[4];
                st.last_column = s[5];
                st.offset = get_u32(s + 6);
                st.type = s[10];
            }
            // Lookups by code offset search the table: it must be ordered.
            if (st.offset > code_size || st.offset < last) return nullptr;
            last = st.offset;
            p->statements.push_back(st);
        }
        StatementEntry mark{};
        mark.offset = kStatementEndMark;
        p->statements.push_back(mark);
    }

    if (verify && !verify_program(*p)) return nullptr;
    return p;
}

bool verify_program(const Program& p) {
    const std::size_t n = p.code.size();
    if (n == 0 || n > kMaxCode || p.literals.size() > 0x10000 || p.symbols.size() > 0x10000)
        return false;
    // RC, RESULT and SIGL are addressed by index.
    if (p.symbols.size() < 3) return false;
    const std::uint8_t* c = p.code.data();

    // Instruction starts, and operands that do not depend on control flow.
    RexxVector<std::int32_t> depth(n, -2);  // -2 not an instruction start, -1 not yet reached
    for (std::size_t pc = 0; pc < n;) {
        const OpcodeInfo* info = opcode_info(c[pc]);
        if (!info || info->length > n - pc) return false;
        depth[pc] = -1;
        const std::uint8_t* o = c + pc + 1;
        for (OperandKind k : info->operands) {
            std::uint32_t v = 0;
            switch (operand_width(k)) {
                case 1:
                    v = o[0];
                    break;
                case 2:
                    v = read_u16(o);
                    break;
                case 3:
                    v = read_u24(o);
                    break;
                default:
                    break;
            }
            switch (k) {
                case kOperandLiteral16:
                case kOperandLiteral24:
                    if (v >= p.literals.size()) return false;
                    break;
                case kOperandSymbol16:
                    if (v >= p.symbols.size()) return false;
                    break;
                case kOperandTemplate16:
                    if (!template_ok(p, v)) return false;
                    break;
                case kOperandError16:
                    if (v < 1 || v > kHighestError) return false;
                    break;
                case kOperandCondition8:
                    if (v < 1 || v > 6) return false;
                    break;
                case kOperandTrapKind8:
                    if (v < 1 || v > 2) return false;
                    break;
                case kOperandTarget24:
                    if (v >= n) return false;
                    break;
                case kOperandBuiltin24:
                    if (v < 1 || v > kBuiltinCodeMax) return false;
                    break;
                default:
                    break;
            }
            o += operand_width(k);
        }
        pc += info->length;
    }
    for (const SymbolEntry& s : p.symbols)
        if (!tail_ok(p, s)) return false;

    // The evaluation stack: every entry point (the start, labels, call and signal targets)
    // begins with an empty stack, every instruction finds the values it pops, and every path to
    // an instruction brings the same depth. Loop frames are checked by the interpreter itself.
    RexxVector<std::uint32_t> work;
    auto reach = [&](std::size_t at, std::int32_t d) {
        if (at >= n || depth[at] == -2) return false;
        if (depth[at] == -1) {
            depth[at] = d;
            work.push_back(static_cast<std::uint32_t>(at));
            return true;
        }
        return depth[at] == d;
    };
    if (!reach(0, 0)) return false;
    for (const LabelEntry& l : p.labels)
        if (!reach(l.offset, 0)) return false;
    for (std::size_t pc = 0; pc < n; pc += opcode_length(c[pc])) {
        std::uint8_t op = c[pc];
        if (op == kOpCallInternal || op == kOpFuncInternal || op == kOpSignal ||
            op == kOpTrapName) {
            std::uint32_t t = read_u24(c + pc + opcode_length(op) - 3);
            if (!reach(t, 0)) return false;
        }
    }
    while (!work.empty()) {
        std::size_t pc = work.back();
        work.pop_back();
        std::uint8_t op = c[pc];
        Effect fx = effect_of(op, c + pc + 1);
        std::int32_t d = depth[pc];
        if (d < fx.pops) return false;
        d = d - fx.pops + fx.pushes;
        if (op == kOpJump || op == kOpJumpFalse || op == kOpJumpTrue || op == kOpLoopTest) {
            if (!reach(read_u24(c + pc + 1), d)) return false;
        }
        if (!fx.ends && !reach(pc + opcode_length(op), d)) return false;
    }
    return true;
}

// ---- the run's hooks ----------------------------------------------------------------------------

namespace {

bool wants_source_info(const ExecInstance* inst) {
    return (inst->mode & kModeSourceInformation) != 0;
}

void release_owned_image(void* item) {
    auto* inst = static_cast<ExecInstance*>(item);
    if (inst->image_bytes && (inst->run_flags & kRunImageOwnsMemory))
        platform::global_free(const_cast<unsigned char*>(inst->image_bytes));
    inst->image_bytes = nullptr;
    inst->image_size = 0;
    inst->run_flags &= static_cast<std::uint8_t>(~kRunImageOwnsMemory);
}

}  // namespace

bool take_in_store_image(ExecInstance* inst, PRXSTRING image) {
    if (!image || !image->strptr) return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image->strptr);
    if (!validate_image(bytes, image->strlength)) return false;
    if (inst->image_bytes) release_owned_image(inst);
    inst->image_bytes = bytes;  // the caller's memory: never freed here
    inst->image_size = image->strlength;
    inst->run_flags &= static_cast<std::uint8_t>(~kRunImageOwnsMemory);
    return true;
}

void give_in_store_image(ExecInstance* inst, PRXSTRING image) {
    if (!image || !inst->program) return;
    std::size_t size = 0;
    std::uint8_t* block = build_image(*inst->program, wants_source_info(inst), &size);
    if (!block) memory_full(40, kPoolOperatingSystem);
    image->strptr = reinterpret_cast<char*>(block);
    image->strlength = static_cast<ULONG>(size);
}

unsigned long probe_file_image(ExecInstance* inst, int fd, unsigned long size) {
    bool may_load = (inst->mode & kModeLoadImage) && !(inst->mode & kModeTranslateOnly);
    FileImageResult r = read_file_image(fd, size, may_load);
    switch (r.status) {
        case FileImage::kNone:
        case FileImage::kIncompatible:
            return size;
        case FileImage::kTooLarge:
            message("Error 176: saved object code too large");
            return size - r.image_size;
        case FileImage::kFailed:
            return size - r.image_size;
        case FileImage::kFound:
            break;
    }
    if (r.block) {
        if (inst->image_bytes) release_owned_image(inst);
        inst->image_bytes = r.block;
        inst->image_size = r.image_size;
        inst->run_flags |= kRunImageOwnsMemory;
        add_cleanup(inst, release_owned_image, inst);
    }
    return size - r.image_size;
}

void store_file_image(ExecInstance* inst) {
    if (!inst->program || !inst->program_name) return;
    std::size_t size = 0;
    std::uint8_t* block = build_image(*inst->program, wants_source_info(inst), &size);
    if (!block) memory_full(41, kPoolOperatingSystem);
    int fd = ::open(inst->program_name, O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        long long end = 0;
        bool form16 = (inst->debug_flags & kDebugImage16) != 0;
        // A shorter image that replaces a longer one must still end the file.
        if (append_image_to_file(fd, block, size, form16, &end)) {
            if (::ftruncate(fd, static_cast<off_t>(end)) != 0) {
                // The image is written; a file that could not be cut keeps the old tail, and the
                // next run simply finds no trailer at its end and translates the source.
            }
        }
        ::close(fd);
    }
    platform::global_free(block);
}

void load_image(ExecInstance* inst) {
    ProgramPtr p;
    if (inst->image_bytes)
        p = unpack_image(inst->image_bytes, inst->image_size, wants_source_info(inst));
    // The image is no longer needed once unpacked (or refused).
    release_owned_image(inst);
    if (p) {
        inst->program = std::move(p);
        return;
    }
    // An image that does not load: the program is translated from its source instead.
    inst->state = kStateTranslating;
    translate_program(inst);
}

}  // namespace ketra
