// Compiled image tests: the exact bytes of the full and the 16-bit form of a hand-built program,
// validation of header and trailer, the build -> unpack round trip (table room, end mark,
// integer-form literals), programs translated from source, and images that lie about their
// sections, are cut short or have bytes flipped (they must be refused or load safely).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "rexx/translate/image.h"
#include "rexx/translate/opcodes.h"
#include "support/rexx_test.h"
#include "translate_support.h"

namespace ketra::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An independent writer for expected images: fields are appended in the documented order with
// their sizes written out by hand, so the expectations do not share the builder's layout code.
struct Expect {
    Bytes b;
    void u8(std::uint32_t v) { b.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v);
        u16(v >> 16);
    }
    void text(const char* s, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) u8(static_cast<unsigned char>(s[i]));
    }
    // A 4-byte data field holding up to four characters, zero padded.
    void inline4(const char* s, std::size_t n) {
        text(s, n);
        for (std::size_t i = n; i < 4; ++i) u8(0);
    }
};

void add_symbol(Program& p, const char* name, std::uint8_t kind, std::uint32_t tail = 0) {
    SymbolEntry s{};
    s.name = make_value(name);
    s.kind = kind;
    s.tail = tail;
    p.symbols.push_back(s);
}

void add_label(Program& p, const char* name, std::uint32_t offset) {
    LabelEntry l{};
    l.offset = offset;
    l.length = static_cast<std::uint8_t>(std::strlen(name));
    std::memcpy(l.name, name, l.length + 1);
    p.labels.push_back(l);
}

// say 'hello world'; HERE: exit a.i  -- with an integer literal and a tail descriptor.
ProgramPtr sample_program() {
    ProgramPtr p = make_program();
    p->code = {kOpPushLiteral, 0, 0, kOpSay, kOpLabel, kOpPushVar, 3, 0, kOpExitValue};
    p->literals.push_back(make_value("hello world"));
    Value twelve = make_value("12");
    to_integer_form(twelve);
    p->literals.push_back(twelve);
    p->literals.push_back(make_value(std::string_view("\x03\x04\x00", 3)));  // tail: symbol S4
    add_symbol(*p, "RC", kSymbolSimple);
    add_symbol(*p, "RESULT", kSymbolSimple);
    add_symbol(*p, "SIGL", kSymbolSimple);
    add_symbol(*p, "A.I", kSymbolCompound, 2);
    add_symbol(*p, "I", kSymbolSimple);
    add_label(*p, "HERE", 4);
    p->statements.push_back(StatementEntry{1, 1, 1, 17, 0, 27});
    p->statements.push_back(StatementEntry{2, 2, 7, 14, 5, 9});
    p->source_lines = 2;
    p->flags = 0x30;
    return p;
}

Bytes expected_full() {
    Expect e;
    // header
    e.u8(1);
    e.u16(0);
    e.u16(22);
    e.u16(0x9462);
    e.u8(0x33);  // program flags 30 and both full-form bits
    e.u32(2);
    e.u32(0);
    e.u32(0);
    e.u32(9);    // code size
    e.u32(84);   // code
    e.u32(3);    // literals
    e.u32(93);   // literal table
    e.u32(11);   // literal data size
    e.u32(123);  // literal data
    e.u32(5);    // symbols
    e.u32(134);  // symbol table
    e.u32(6);    // symbol data size
    e.u32(214);  // symbol data
    e.u32(1);    // labels
    e.u32(9);    // label data size
    e.u32(220);  // label data
    e.u32(2);    // statements
    e.u32(229);  // statement table
    e.u32(264);  // total
    EXPECT_EQ(e.b.size(), 84u);
    // code
    for (std::uint8_t c : {1, 0, 0, 56, 92, 2, 3, 0, 23}) e.u8(c);
    // literal table: length, data, flags
    e.u32(11), e.u32(0), e.u16(0x08);
    e.u32(2), e.inline4("12", 2), e.u16(0x0F);
    e.u32(3), e.inline4("\x03\x04\x00", 3), e.u16(0x08);
    e.text("hello world", 11);
    // symbol table: name entry, kind, generation, tail
    e.u32(2), e.inline4("RC", 2), e.u16(0x08), e.u8(1), e.u8(0), e.u32(0);
    e.u32(6), e.u32(0), e.u16(0x08), e.u8(1), e.u8(0), e.u32(0);
    e.u32(4), e.inline4("SIGL", 4), e.u16(0x08), e.u8(1), e.u8(0), e.u32(0);
    e.u32(3), e.inline4("A.I", 3), e.u16(0x08), e.u8(2), e.u8(0), e.u32(2);
    e.u32(1), e.inline4("I", 1), e.u16(0x08), e.u8(1), e.u8(0), e.u32(0);
    e.text("RESULT", 6);
    // label data
    e.u8(4), e.u32(4), e.text("HERE", 4);
    // statements
    e.u16(1), e.u16(1), e.u16(1), e.u16(17), e.u32(0), e.u8(27);
    e.u16(2), e.u16(2), e.u16(7), e.u16(14), e.u32(5), e.u8(9);
    // trailer
    e.u8(3), e.u16(22), e.u32(0), e.u16(0x9462);
    return e.b;
}

Bytes expected_16(bool statements) {
    std::uint32_t stmt_end = statements ? 235 : 213;
    Expect e;
    e.u8(1);
    e.u16(0);
    e.u16(13);
    e.u16(0x9462);
    e.u8(0x30);
    e.u32(2);
    e.u32(0);
    e.u32(0);
    e.u32(9);
    e.u32(84);
    e.u32(3);
    e.u32(93);
    e.u32(11);
    e.u32(117);
    e.u32(5);
    e.u32(128);
    e.u32(6);
    e.u32(198);
    e.u32(1);
    e.u32(9);
    e.u32(204);
    e.u32(statements ? 2 : 0);
    e.u32(213);
    e.u32(stmt_end + 9);
    for (std::uint8_t c : {1, 0, 0, 56, 92, 2, 3, 0, 23}) e.u8(c);
    // literal entries: flags, second flags byte, length 2, data 4
    e.u8(0x08), e.u8(0), e.u16(11), e.u32(0);
    e.u8(0x0F), e.u8(0), e.u16(2), e.inline4("12", 2);
    e.u8(0x08), e.u8(0), e.u16(3), e.inline4("\x03\x04\x00", 3);
    e.text("hello world", 11);
    e.u8(0x08), e.u8(0), e.u16(2), e.inline4("RC", 2), e.u8(1), e.u8(0), e.u32(0);
    e.u8(0x08), e.u8(0), e.u16(6), e.u32(0), e.u8(1), e.u8(0), e.u32(0);
    e.u8(0x08), e.u8(0), e.u16(4), e.inline4("SIGL", 4), e.u8(1), e.u8(0), e.u32(0);
    e.u8(0x08), e.u8(0), e.u16(3), e.inline4("A.I", 3), e.u8(2), e.u8(0), e.u32(2);
    e.u8(0x08), e.u8(0), e.u16(1), e.inline4("I", 1), e.u8(1), e.u8(0), e.u32(0);
    e.text("RESULT", 6);
    e.u8(4), e.u32(4), e.text("HERE", 4);
    if (statements) {
        e.u16(1), e.u16(1), e.u8(1), e.u8(17), e.u32(0), e.u8(27);
        e.u16(2), e.u16(2), e.u8(7), e.u8(14), e.u32(5), e.u8(9);
    }
    e.u8(3), e.u16(13), e.u32(0), e.u16(0x9462);
    return e.b;
}

// A global memory block holding a built image.
struct Block {
    std::uint8_t* p = nullptr;
    std::size_t n = 0;
    ~Block() {
        if (p) platform::global_free(p);
    }
    Bytes bytes() const { return Bytes(p, p + n); }
};

void expect_same_program(const Program& a, const Program& b, bool statements) {
    EXPECT_EQ(Bytes(a.code.begin(), a.code.end()), Bytes(b.code.begin(), b.code.end()));
    ASSERT_EQ(a.literals.size(), b.literals.size());
    for (std::size_t i = 0; i < a.literals.size(); ++i) {
        EXPECT_EQ(quoted(a.literals[i]), quoted(b.literals[i])) << "literal " << i;
        EXPECT_EQ(is_integer_form(a.literals[i]), is_integer_form(b.literals[i])) << i;
    }
    ASSERT_EQ(a.symbols.size(), b.symbols.size());
    for (std::size_t i = 0; i < a.symbols.size(); ++i) {
        EXPECT_EQ(name_of_symbol(a, i), name_of_symbol(b, i));
        EXPECT_EQ(a.symbols[i].kind, b.symbols[i].kind);
        EXPECT_EQ(a.symbols[i].tail, b.symbols[i].tail);
    }
    ASSERT_EQ(a.labels.size(), b.labels.size());
    for (std::size_t i = 0; i < a.labels.size(); ++i) {
        EXPECT_STREQ(a.labels[i].name, b.labels[i].name);
        EXPECT_EQ(a.labels[i].offset, b.labels[i].offset);
    }
    EXPECT_EQ(a.source_lines, b.source_lines);
    EXPECT_EQ(a.flags, b.flags);
    if (!statements) return;
    std::size_t n = 0;
    for (const StatementEntry& s : a.statements)
        if (s.offset != kStatementEndMark) ++n;
    ASSERT_EQ(b.statements.size(), n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(a.statements[i].first_line, b.statements[i].first_line);
        EXPECT_EQ(a.statements[i].last_line, b.statements[i].last_line);
        EXPECT_EQ(a.statements[i].first_column, b.statements[i].first_column);
        EXPECT_EQ(a.statements[i].last_column, b.statements[i].last_column);
        EXPECT_EQ(a.statements[i].offset, b.statements[i].offset);
        EXPECT_EQ(a.statements[i].type, b.statements[i].type);
    }
    EXPECT_EQ(b.statements.back().offset, kStatementEndMark);
}

class ImageTest : public ::testing::Test {
  protected:
    ScopedRun run_;
};

TEST_F(ImageTest, FullFormByteForByte) {
    ProgramPtr p = sample_program();
    Block b;
    b.p = build_image(*p, true, &b.n);
    ASSERT_NE(b.p, nullptr);
    EXPECT_EQ(b.n, image_size(*p, true));
    EXPECT_EQ(b.bytes(), expected_full());
    EXPECT_TRUE(validate_image(b.p, b.n));
}

TEST_F(ImageTest, SizeFollowsTheFormulaAndStatementsAreOptional) {
    ProgramPtr p = sample_program();
    // 84 + code + 10 x literals + literal data + 16 x symbols + symbol data + labels + 13 x
    // statements + 9
    EXPECT_EQ(image_size(*p, true), 84u + 9 + 30 + 11 + 80 + 6 + 9 + 26 + 9);
    Block b;
    b.p = build_image(*p, false, &b.n);
    ASSERT_NE(b.p, nullptr);
    EXPECT_EQ(b.n, 264u - 26);
    EXPECT_EQ(get_u32(b.p + kHdrStatementCount), 0u);
    EXPECT_EQ(get_u32(b.p + kHdrTotalSize), b.n);
    // A statement end mark left in a loaded table is not written back.
    p->statements.push_back(StatementEntry{0, 0, 0, 0, kStatementEndMark, 0});
    EXPECT_EQ(image_size(*p, true), 264u);
}

TEST_F(ImageTest, EmptyTablesGiveHeaderCodeAndTrailerOnly) {
    ProgramPtr p = make_program();
    p->code = {kOpEnd};
    Block b;
    b.p = build_image(*p, true, &b.n);
    ASSERT_NE(b.p, nullptr);
    EXPECT_EQ(b.n, 84u + 1 + 9);
    EXPECT_TRUE(validate_image(b.p, b.n));
    EXPECT_EQ(b.p[84], kOpEnd);
    for (std::size_t f : {kHdrLiteralTable, kHdrLiteralData, kHdrSymbolTable, kHdrSymbolData,
                          kHdrLabelData, kHdrStatementTable})
        EXPECT_EQ(get_u32(b.p + f), 85u) << f;
}

TEST_F(ImageTest, SixteenBitFormByteForByte) {
    ProgramPtr p = sample_program();
    RexxVector<std::uint8_t> out;
    ASSERT_TRUE(build_image16(*p, true, out));
    EXPECT_EQ(Bytes(out.begin(), out.end()), expected_16(true));
    EXPECT_TRUE(validate_image(out.data(), out.size()));

    // The 16-bit form unpacks to the same program.
    ProgramPtr back = unpack_image(out.data(), out.size(), true);
    ASSERT_NE(back, nullptr);
    expect_same_program(*p, *back, true);
}

TEST_F(ImageTest, SixteenBitFormLeavesOutStatementsWithWideColumns) {
    ProgramPtr p = sample_program();
    p->statements[1].first_column = 256;
    RexxVector<std::uint8_t> out;
    ASSERT_TRUE(build_image16(*p, true, out));
    EXPECT_EQ(Bytes(out.begin(), out.end()), expected_16(false));
    // Column 255 still fits.
    p->statements[1].first_column = 255;
    p->statements[1].last_column = 255;
    ASSERT_TRUE(build_image16(*p, true, out));
    EXPECT_EQ(get_u32(out.data() + kHdrStatementCount), 2u);
    // The full form keeps wide columns.
    p->statements[1].last_column = 300;
    Block b;
    b.p = build_image(*p, true, &b.n);
    ProgramPtr back = unpack_image(b.p, b.n, true);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->statements[1].last_column, 300);
}

TEST_F(ImageTest, ValidationChecksMarksVersionsMagicAndSize) {
    ProgramPtr p = sample_program();
    Block b;
    b.p = build_image(*p, true, &b.n);
    ASSERT_TRUE(validate_image(b.p, b.n));
    const Bytes good = b.bytes();
    auto valid_after = [&](std::size_t at, std::uint8_t value) {
        Bytes img = good;
        img[at] = value;
        return validate_image(img.data(), img.size());
    };
    EXPECT_FALSE(valid_after(0, 2));   // header mark
    EXPECT_FALSE(valid_after(3, 11));  // header version 11
    EXPECT_FALSE(valid_after(3, 31));  // header version 31
    EXPECT_TRUE(valid_after(3, 12));   // 12 and 30 are accepted
    EXPECT_TRUE(valid_after(3, 30));
    EXPECT_FALSE(valid_after(5, 0x63));  // header magic
    EXPECT_FALSE(valid_after(6, 0x95));
    EXPECT_FALSE(valid_after(good.size() - 9, 4));   // trailer mark
    EXPECT_FALSE(valid_after(good.size() - 8, 31));  // trailer version
    EXPECT_FALSE(valid_after(good.size() - 2, 0));   // trailer magic
    EXPECT_FALSE(valid_after(good.size() - 1, 0));
    EXPECT_TRUE(valid_after(1, 0xAA));                // reserved bytes are ignored
    EXPECT_TRUE(valid_after(good.size() - 6, 0xF0));  // back offset is not checked

    EXPECT_FALSE(validate_image(good.data(), good.size() - 1));  // total size disagrees
    EXPECT_FALSE(validate_image(good.data(), 83));
    EXPECT_FALSE(validate_image(nullptr, 0));
    Bytes huge = good;
    put_u32(huge.data() + kHdrTotalSize, 0xFFFFFFFF);
    EXPECT_FALSE(validate_image(huge.data(), huge.size()));
}

TEST_F(ImageTest, RoundTripGivesTableRoomAndTheEndMark) {
    ProgramPtr p = sample_program();
    Block b;
    b.p = build_image(*p, true, &b.n);
    ProgramPtr back = unpack_image(b.p, b.n, true);
    ASSERT_NE(back, nullptr);
    expect_same_program(*p, *back, true);
    EXPECT_GE(back->literals.capacity(), back->literals.size() + 40);
    EXPECT_GE(back->symbols.capacity(), back->symbols.size() + 40);
    EXPECT_TRUE(is_integer_form(back->literals[1]));
    EXPECT_EQ(back->symbols[0].generation, 0);
    EXPECT_EQ(back->symbols[0].cache, nullptr);

    // Without source information no statement table is loaded.
    ProgramPtr plain = unpack_image(b.p, b.n, false);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->statements.empty());

    // Building again from the loaded program gives the same bytes.
    Block again;
    again.p = build_image(*back, true, &again.n);
    EXPECT_EQ(again.bytes(), b.bytes());
}

TEST_F(ImageTest, TranslatedProgramsRoundTrip) {
    const char* sources[] = {
        "say 'hi'\nexit 3\n",
        "/* loops */ do i = 1 to 10 by 2 for 3; say i; end\n"
        "a.i = 5; parse value 'x y z' with p q . 1 r; call f 1, 2\nexit\n"
        "f: procedure expose a.; return arg(1) + arg(2)\n",
        "signal on syntax\nx = 'abcdefghijklmnopqrstuvwxyz'; interpret 'y = 1'\n"
        "select; when x = 1 then nop; otherwise say length(x); end\n"
        "syntax: say 'err' rc; exit\n",
    };
    for (const char* src : sources) {
        Translation t(src, kModeInitial);
        ASSERT_EQ(t.compile(), 0) << src;
        Program& p = t.program();
        EXPECT_TRUE(verify_program(p)) << src;
        Block b;
        b.p = build_image(p, true, &b.n);
        ASSERT_NE(b.p, nullptr);
        ProgramPtr back = unpack_image(b.p, b.n, true);
        ASSERT_NE(back, nullptr) << src;
        expect_same_program(p, *back, true);

        RexxVector<std::uint8_t> out;
        ASSERT_TRUE(build_image16(p, true, out));
        ProgramPtr back16 = unpack_image(out.data(), out.size(), true);
        ASSERT_NE(back16, nullptr) << src;
        expect_same_program(p, *back16, true);
    }
}

// Headers whose section fields point outside the block or overlap the trailer.
TEST_F(ImageTest, LyingHeadersAreRefused) {
    ProgramPtr p = sample_program();
    Block b;
    b.p = build_image(*p, true, &b.n);
    const Bytes good = b.bytes();
    ASSERT_NE(unpack_image(good.data(), good.size(), true), nullptr);
    struct Lie {
        std::size_t field;
        std::uint32_t value;
    };
    const Lie lies[] = {
        {kHdrCodeSize, 0},
        {kHdrCodeSize, 0xFFFFFFF0},
        {kHdrCodeSize, 300},
        {kHdrCodeOffset, 0},
        {kHdrCodeOffset, 260},
        {kHdrLiteralCount, 0x7FFFFFFF},
        {kHdrLiteralTable, 250},
        {kHdrLiteralDataSize, 1000},
        {kHdrLiteralData, 0xFFFFFFFF},
        {kHdrSymbolCount, 40},
        {kHdrSymbolTable, 0x80000000},
        {kHdrSymbolDataSize, 0xFFFFFFFF},
        {kHdrSymbolData, 260},
        {kHdrLabelCount, 3},
        {kHdrLabelDataSize, 2},
        {kHdrLabelData, 258},
        {kHdrStatementCount, 0x40000000},
        {kHdrStatementTable, 250},
        {kHdrLiteralDataSize, 0},
        {kHdrSymbolDataSize, 3},
    };
    for (const Lie& lie : lies) {
        Bytes img = good;
        put_u32(img.data() + lie.field, lie.value);
        EXPECT_EQ(unpack_image(img.data(), img.size(), true), nullptr)
            << "field " << lie.field << " = " << lie.value;
    }
    // Entries that point past their data area.
    Bytes img = good;
    put_u32(img.data() + 93 + 4, 5);  // "hello world" at offset 5 of an 11-byte area
    EXPECT_EQ(unpack_image(img.data(), img.size(), true), nullptr);
    img = good;
    img[220] = 200;  // label name running past the label data
    EXPECT_EQ(unpack_image(img.data(), img.size(), true), nullptr);
    img = good;
    img[134 + 10] = 7;  // no such symbol kind
    EXPECT_EQ(unpack_image(img.data(), img.size(), true), nullptr);
}

// Code that would make the interpreter read or jump outside the program is refused.
TEST_F(ImageTest, FaultyCodeIsRefused) {
    auto loads_with = [](std::initializer_list<std::uint8_t> code) {
        ProgramPtr p = sample_program();
        p->code.assign(code.begin(), code.end());
        p->labels.clear();
        p->statements.clear();
        Block b;
        b.p = build_image(*p, false, &b.n);
        return unpack_image(b.p, b.n, false) != nullptr;
    };
    EXPECT_TRUE(loads_with({kOpPushLiteral, 1, 0, kOpSay, kOpEnd}));
    EXPECT_FALSE(loads_with({kOpPushLiteral, 9, 0, kOpSay, kOpEnd}));  // no literal 9
    EXPECT_FALSE(loads_with({kOpPushVar, 5, 0, kOpSay, kOpEnd}));      // no symbol 5
    EXPECT_FALSE(loads_with({kOpJump, 0x10, 0, 0}));                   // target past the code
    EXPECT_FALSE(loads_with({kOpJump, 2, 0, 0, kOpEnd}));              // inside an instruction
    EXPECT_FALSE(loads_with({kOpSay, kOpEnd}));                        // pops an empty stack
    EXPECT_FALSE(loads_with({kOpPushNull}));                           // falls off the end
    EXPECT_FALSE(loads_with({kOpPushLiteral, 0}));                     // cut short
    EXPECT_FALSE(loads_with({0, kOpEnd}));                             // no opcode 0
    EXPECT_FALSE(loads_with({97, kOpEnd}));                            // nor 97
    EXPECT_FALSE(loads_with({kOpFuncBuiltin, 0, 149, 0, 0, kOpSay, kOpEnd}));  // no code 149
    EXPECT_FALSE(loads_with({kOpTrap, 7, 1, kOpEnd}));                         // no condition 7
    EXPECT_FALSE(loads_with({kOpRaise, 0, 0, kOpEnd}));                        // no error 0
}

// Every truncation and many random corruptions: either refused or a program that verifies.
TEST_F(ImageTest, TruncatedAndFuzzedImagesNeverCrash) {
    Translation t(
        "a.1 = 'x'; do i = 1 to 3; call sub i; end\nparse arg x y; say x || y\nexit\n"
        "sub: arg n; return n * 2\n",
        kModeInitial);
    ASSERT_EQ(t.compile(), 0);
    Block b;
    b.p = build_image(t.program(), true, &b.n);
    const Bytes good = b.bytes();

    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(unpack_image(cut.data(), cut.size(), true), nullptr) << n;
        // A cut image whose header is patched to the new length, with a trailer at its end.
        if (n >= 84 + 9) {
            put_u32(cut.data() + kHdrTotalSize, static_cast<std::uint32_t>(n));
            write_trailer(cut.data() + n - 9, 22, 0);
            ProgramPtr p = unpack_image(cut.data(), cut.size(), true, true);
            if (p) {
                EXPECT_TRUE(verify_program(*p));
            }
            unpack_image(cut.data(), cut.size(), true, false);  // unverified listings too
        }
    }

    std::mt19937 rng(12345);
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes img = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) {
            std::size_t at = rng() % img.size();
            img[at] = static_cast<std::uint8_t>(rng());
        }
        ProgramPtr p = unpack_image(img.data(), img.size(), true);
        if (p) {
            ++loaded;
            EXPECT_TRUE(verify_program(*p));
        }
        ProgramPtr raw = unpack_image(img.data(), img.size(), false, false);
        (void)raw;
    }
    // Flips in literal text or statement lines leave a loadable program: the loader is not
    // simply refusing everything.
    EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace ketra::test
