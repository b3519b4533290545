// Listings: the exact listing of a hand-built program (operands, comments, tables, faulty
// bytes), listings of translated programs through KetraDisassemble, and ketra --disasm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "ketra_tools.h"
#include "rexx/builtins/names.h"
#include "rexx/translate/disasm.h"
#include "rexx/translate/opcodes.h"
#include "support/process.h"
#include "support/rexx_test.h"

namespace ketra {
namespace {

void add_symbol(Program& p, const char* s, std::uint8_t kind = kSymbolSimple,
                std::uint32_t tail = 0) {
    SymbolEntry e{};
    e.name = make_value(s, true);
    e.kind = kind;
    e.tail = tail;
    p.symbols.push_back(e);
}

// The tables the listing names things by: opcode lengths, clause starts and mnemonics, and the
// built-in names with their codes.
TEST(OpcodeTable, LengthsClauseStartsAndNames) {
    const int clause_starts[] = {10, 14, 16, 18, 21, 23, 29, 30, 31, 32, 33, 44,
                                 46, 47, 48, 49, 53, 54, 55, 56, 58, 62, 94, 95};
    int n = 0;
    for (int op = 0; op <= 255; ++op) {
        bool expected = std::find(std::begin(clause_starts), std::end(clause_starts), op) !=
                        std::end(clause_starts);
        EXPECT_EQ(is_clause_start(static_cast<std::uint8_t>(op)), expected) << op;
        if (const OpcodeInfo* i = opcode_info(static_cast<std::uint8_t>(op))) {
            ++n;
            EXPECT_EQ(opcode_by_name(i->name), op) << i->name;  // mnemonics are unique
        }
    }
    EXPECT_EQ(n, 96);
    EXPECT_EQ(opcode_length(0), 0);
    EXPECT_EQ(opcode_length(97), 0);
    const int lengths3[] = {1, 2, 6, 10, 32, 33, 34, 35, 40, 41, 42, 51, 52, 60, 61, 63};
    for (int op : lengths3) EXPECT_EQ(opcode_length(static_cast<std::uint8_t>(op)), 3) << op;
    for (int op : {13, 25, 26, 27, 57}) EXPECT_EQ(opcode_length(static_cast<std::uint8_t>(op)), 4);
    for (int op = 14; op <= 19; ++op) EXPECT_EQ(opcode_length(static_cast<std::uint8_t>(op)), 5);
    EXPECT_EQ(opcode_length(59), 6);
    for (int op = 64; op <= 96; ++op) EXPECT_EQ(opcode_length(static_cast<std::uint8_t>(op)), 1);
}

TEST(BuiltinNames, CodesAndAliases) {
    const BuiltinName* t = builtin_names();
    bool named[kBuiltinCodeMax + 1] = {};
    for (int i = 0; i < kBuiltinNameCount; ++i) {
        EXPECT_EQ(std::strlen(t[i].name), t[i].length);
        EXPECT_EQ(builtin_code(t[i].name, t[i].length), t[i].code) << t[i].name;
        for (int j = 0; j < i; ++j) EXPECT_STRNE(t[i].name, t[j].name);
        ASSERT_GE(t[i].code, 1);
        ASSERT_LE(t[i].code, kBuiltinCodeMax);
        named[t[i].code] = true;
    }
    for (int c = 1; c <= kBuiltinCodeMax; ++c) EXPECT_TRUE(named[c]) << c;
    EXPECT_EQ(builtin_code("LENGTH", 6), 33);
    EXPECT_EQ(builtin_code("CENTRE", 6), 10);
    EXPECT_EQ(builtin_code("GETENV", 6), 88);
    EXPECT_EQ(builtin_code("_CD", 3), 78);
    EXPECT_EQ(builtin_code("ZYMVERSION", 10), 148);
    EXPECT_EQ(builtin_code("center", 6), 0);  // case matters
    EXPECT_EQ(builtin_code("LENGTHS", 7), 0);
    EXPECT_EQ(builtin_code("LENGTH", 5), 0);
    EXPECT_STREQ(builtin_name(88), "DOSENV");  // the first name, not the alias
    EXPECT_STREQ(builtin_name(139), "DOSENVSIZE");
    EXPECT_EQ(builtin_name(0), nullptr);
    EXPECT_EQ(builtin_name(149), nullptr);
}

TEST(Disassembler, ListsEveryOperandKindAndTheTables) {
    test::ScopedRun run;
    ProgramPtr p = make_program();
    p->literals.push_back(make_value("it's", true));
    std::string t;
    for (std::uint16_t w : {1, 0, 1, 3, 6, 4, 1, 0xFFFF, 9, 0, 1, 4}) {
        t += static_cast<char>(w & 0xFF);
        t += static_cast<char>(w >> 8);
    }
    p->literals.push_back(make_value(t, true));
    p->literals.push_back(make_integer(42));
    p->literals.push_back(make_value("FOO", true));
    for (const char* s : {"RC", "RESULT", "SIGL", "A", "B"}) add_symbol(*p, s);
    add_symbol(*p, "X.A", kSymbolCompound, kTailTooMany);
    LabelEntry l{};
    l.offset = 25;
    l.length = 3;
    std::memcpy(l.name, "ERR", 3);
    p->labels.push_back(l);
    p->code = {
        kOpPushLiteral,  0, 0,  kOpPushVar, 3,    0, kOpParse, 1, 0,  // 0, 3, 6
        kOpFuncBuiltin,  1, 33, 0,          0,                        // 9: LENGTH
        kOpFuncExternal, 1, 3,  0,          0,                        // 14
        kOpTrapName,     1, 2,  25,         0,    0,                  // 19
        kOpRaise,        7, 0,  kOpEnd,     0xFF,                     // 25: ERR
    };
    p->statements.push_back({1, 1, 1, 20, 0, 27});
    p->statements.push_back({0, 0, 0, 0, kStatementEndMark, 0});  // not listed
    p->source_lines = 3;

    EXPECT_EQ(disassemble(*p, "demo.rex"),
              "; program demo.rex\n"
              "; code 30 bytes, 4 literals, 6 symbols, 1 labels, 1 statements, 3 source lines\n"
              "; verification FAILED: the code must not run\n"
              "code:\n"
              "  000000  PUSHLIT    L0  ; 'it''s'\n"
              "  000003  PUSHVAR    S3  ; A\n"
              "  000006  PARSE      T1  ; A 'it''s' . =(B) B\n"
              "  000009  FUNCBIF    1, LENGTH\n"
              "  00000E  FUNCEXT    1, L3  ; 'FOO'\n"
              "  000013  TRAPNAME   ERROR, SIGNAL, @000019  ; ERR\n"
              "ERR:\n"
              "  000019  RAISE      7\n"
              "  00001C  END\n"
              "  00001D  DB         0xFF\n"
              "literals:\n"
              "  L0  flags 08  'it''s'\n"
              "  L1  flags 08  '0100000001000300060004000100FFFF0900000001000400'X\n"
              "  L2  flags 0F  '42'\n"
              "  L3  flags 08  'FOO'\n"
              "symbols:\n"
              "  S0  simple    RC\n"
              "  S1  simple    RESULT\n"
              "  S2  simple    SIGL\n"
              "  S3  simple    A\n"
              "  S4  simple    B\n"
              "  S5  compound  X.A  tail none\n"
              "labels:\n"
              "  ERR  @000019\n"
              "statements:\n"
              "  @000000  lines 1-1  columns 1-20  type 27\n");

    // A cut-short instruction lists as single bytes.
    p->code = {kOpPushLiteral, 0};
    std::size_t len = 0;
    EXPECT_EQ(disassemble_instruction(*p, 0, &len), "DB         0x01");
    EXPECT_EQ(len, 1u);
}

class DisasmFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/ketra-disasm-XXXXXX";
        ASSERT_TRUE(::mkdtemp(dir));
        dir_ = dir;
        path_ = dir_ + "/small.rex";
        out_ = dir_ + "/listing.txt";
    }
    void TearDown() override {
        ::unlink(path_.c_str());
        ::unlink(out_.c_str());
        ::rmdir(dir_.c_str());
    }
    void write(const std::string& s) {
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(::write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
        ::close(fd);
    }
    static std::string read(const std::string& path) {
        std::string s;
        int fd = ::open(path.c_str(), O_RDONLY);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
        ::close(fd);
        return s;
    }
    // KetraDisassemble into a file; returns its result and leaves the listing in `listing`.
    int disasm(std::string& listing) {
        int fd = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int rc = KetraDisassemble(path_.c_str(), fd);
        ::close(fd);
        listing = read(out_);
        return rc;
    }
    std::string dir_, path_, out_;
};

TEST_F(DisasmFile, ListsATranslatedProgramWithoutTouchingIt) {
    const std::string source = "/* demo */\nsay 'hi'\nif a = 1 then exit\nreturn\n";
    write(source);
    std::string listing;
    ASSERT_EQ(disasm(listing), 0);
    EXPECT_EQ(read(path_), source);  // no object code stored behind it
    EXPECT_NE(listing.find("; verification ok\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  000000  PUSHLIT    L0  ; 'hi'\n"
                           "  000003  TRACERES\n"
                           "  000004  SAY\n"
                           "  000005  PUSHVAR    S3  ; A\n"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("  JUMPF      @"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  S3  simple    A\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("statements:\n  @000000  lines 2-2  "), std::string::npos) << listing;
}

TEST_F(DisasmFile, PositionsWrittenInDigitsPassVerificationAndListAsWritten) {
    write("parse value 'abcdef' with a 2 b +3 c -1 . =1.5 d\n");
    std::string listing;
    ASSERT_EQ(disasm(listing), 0);
    EXPECT_NE(listing.find("; verification ok\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("; A =2 B +3 C -1 . =1.5 D\n"), std::string::npos) << listing;
}

TEST_F(DisasmFile, ReportsTranslationErrorsAndUnreadableFiles) {
    write("do i = 1 to 3\nsay i\n");  // no END: error 14
    std::string listing;
    {
        test::DiagnosticCapture cap;
        EXPECT_EQ(disasm(listing), 14);
    }
    EXPECT_EQ(listing, "");
    ::unlink(path_.c_str());
    EXPECT_EQ(disasm(listing), -1);
}

TEST_F(DisasmFile, KetraCommandListsTheProgram) {
    write("x = 1 + 2\nsay x\n");
    test::ProcessResult r = test::run_process({KETRA_HOST_BIN, "--disasm", path_});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("; program " + path_ + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  ADD\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ASSIGN     S3  ; X\n"), std::string::npos) << r.out;
    test::ProcessResult none = test::run_process({KETRA_HOST_BIN, "--disasm", dir_ + "/none.rex"});
    EXPECT_NE(none.status, 0);
}

}  // namespace
}  // namespace ketra
