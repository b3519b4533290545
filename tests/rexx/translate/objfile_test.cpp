// Object code in use: the code verifier that guards every loaded image, mutated images checked
// against it, object code in files (RexxAppendObjectToFile, RexxGetObjectFromFile, the
// 16BitRxObject option), and the choice between image and source in RexxStart runs (in-store
// images, program files with object code, the ketra command's -c).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "platform/registry.h"
#include "rexx/translate/image.h"
#include "rexx/translate/opcodes.h"
#include "rexxsaa.h"
#include "support/process.h"
#include "support/rexx_test.h"

namespace ketra {
namespace {

using Bytes = std::vector<std::uint8_t>;

void add_literal(Program& p, const char* s) {
    p.literals.push_back(make_value(s, true));
}
void add_symbol(Program& p, const char* s, std::uint8_t kind = kSymbolSimple,
                std::uint32_t tail = 0) {
    SymbolEntry e{};
    e.name = make_value(s, true);
    e.kind = kind;
    e.tail = tail;
    p.symbols.push_back(e);
}
void add_label(Program& p, const char* s, std::uint32_t offset) {
    LabelEntry l{};
    l.offset = offset;
    l.length = static_cast<std::uint8_t>(std::strlen(s));
    std::memcpy(l.name, s, l.length);
    p.labels.push_back(l);
}

Bytes build(const Program& p, bool statements = true) {
    Bytes b(image_size(p, statements));
    write_image(p, statements, b.data());
    return b;
}

// A program with a conditional jump, a compound symbol with its tail descriptor, a template
// and a call to a label.
ProgramPtr verifiable() {
    ProgramPtr p = make_program();
    add_literal(*p, "1");
    // template "A '1' B": kind 1 (literal 0) with target A, then kind 9 with target B
    std::string t;
    for (std::uint16_t w : {1, 0, 1, 3, 9, 0, 1, 4}) {
        t += static_cast<char>(w & 0xFF);
        t += static_cast<char>(w >> 8);
    }
    p->literals.push_back(make_value(t, true));
    std::string tail = {3, 5, 0, 3, 3, 0};  // stem S5, tail part S3
    p->literals.push_back(make_value(tail, true));
    for (const char* s : {"RC", "RESULT", "SIGL", "A", "B"}) add_symbol(*p, s);
    add_symbol(*p, "X.", kSymbolStem);
    add_symbol(*p, "X.A", kSymbolCompound, 2);
    p->code = {
        kOpPushLiteral,  0,      0,             // 0
        kOpJumpFalse,    11,     0,      0,     // 3
        kOpPushVar,      6,      0,             // 7: X.A
        kOpSay,                                 // 10
        kOpPushVar,      3,      0,             // 11
        kOpParse,        1,      0,             // 14
        kOpCallInternal, 0,      25,     0, 0,  // 17
        kOpEnd,          kOpNop, kOpNop,        // 22
        kOpReturn,                              // 25: SUB
    };
    add_label(*p, "SUB", 25);
    p->statements.push_back({1, 1, 1, 9, 0, 3});
    p->statements.push_back({2, 2, 1, 9, 11, 21});
    return p;
}

TEST(ImageVerifier, AcceptsSoundCodeAndRejectsUnsafeCode) {
    test::ScopedRun run;
    EXPECT_TRUE(verify_program(*verifiable()));
    auto rejects = [](auto change) {
        ProgramPtr p = verifiable();
        change(*p);
        return !verify_program(*p);
    };
    EXPECT_TRUE(rejects([](Program& p) { p.code[1] = 9; }));        // literal out of range
    EXPECT_TRUE(rejects([](Program& p) { p.code[8] = 7; }));        // symbol out of range
    EXPECT_TRUE(rejects([](Program& p) { p.code[4] = 12; }));       // target inside an instruction
    EXPECT_TRUE(rejects([](Program& p) { p.code[4] = 200; }));      // target beyond the code
    EXPECT_TRUE(rejects([](Program& p) { p.code[22] = 0; }));       // not an opcode
    EXPECT_TRUE(rejects([](Program& p) { p.code[25] = kOpSay; }));  // runs off the end
    EXPECT_TRUE(rejects([](Program& p) { p.code.resize(20); }));    // cut inside an instruction
    EXPECT_TRUE(rejects([](Program& p) { p.code[10] = kOpAdd; }));  // pops more than was pushed
    EXPECT_TRUE(rejects([](Program& p) { p.code[18] = 1; }));       // a CALL argument never pushed
    EXPECT_TRUE(rejects([](Program& p) { p.labels[0].offset = 26; }));
    EXPECT_TRUE(rejects([](Program& p) { p.symbols.resize(2); }));  // RC, RESULT, SIGL needed
    EXPECT_TRUE(rejects([](Program& p) {  // a template naming a symbol that does not exist
        release(p.literals[1]);
        std::string t = {9, 0, 0, 0, 1, 0, 42, 0};
        p.literals[1] = make_value(t, true);
    }));
    EXPECT_TRUE(rejects([](Program& p) {  // a template that does not end in kind 9
        release(p.literals[1]);
        std::string t = {1, 0, 0, 0, 0, 0};
        p.literals[1] = make_value(t, true);
    }));
    EXPECT_TRUE(rejects([](Program& p) { p.symbols[6].tail = 7; }));
    EXPECT_TRUE(rejects([](Program& p) {  // a tail descriptor whose stem is no symbol
        release(p.literals[2]);
        std::string t = {3, 99, 0};
        p.literals[2] = make_value(t, true);
    }));
    // Paths that meet with different stack depths.
    EXPECT_TRUE(rejects([](Program& p) {
        p.labels.clear();
        p.code = {kOpPushNull, kOpPushNull, kOpJumpFalse, 7, 0, 0, kOpPushNull, kOpSay, kOpEnd};
    }));
    EXPECT_TRUE(rejects([](Program& p) {
        p.labels.clear();
        p.code = {kOpRaise, 0, 0};
    }));
    EXPECT_TRUE(rejects([](Program& p) {
        p.labels.clear();
        p.code = {kOpCallBuiltin, 0, 149, 0, 0, kOpEnd};
    }));
    EXPECT_TRUE(rejects([](Program& p) {
        p.labels.clear();
        p.code = {kOpTrap, 7, 1, kOpEnd};
    }));
    EXPECT_FALSE(rejects([](Program& p) {
        p.labels.clear();
        p.code = {kOpCallBuiltin, 0, 148, 0, 0, kOpEnd};
    }));
}

// Unpacking mutated images never reads outside the block (run under ASan) and never hands back
// a program that the verifier would refuse.
void fuzz_image(const Bytes& good, unsigned seed) {
    auto check = [](const Bytes& b) {
        ProgramPtr p = unpack_image(b.data(), b.size(), true);
        if (p) {
            EXPECT_TRUE(verify_program(*p));
        }
    };
    for (std::size_t n = kImageHeaderSize + kImageTrailerSize; n < good.size(); ++n) {
        // Cut short, with the total size and the trailer made to agree again.
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        put_u32(cut.data() + kHdrTotalSize, static_cast<std::uint32_t>(n));
        std::memcpy(cut.data() + n - kImageTrailerSize,
                    good.data() + good.size() - kImageTrailerSize, kImageTrailerSize);
        check(cut);
    }
    std::mt19937 rng(seed);
    for (int round = 0; round < 5000; ++round) {
        Bytes b = good;
        int changes = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < changes; ++k) {
            std::size_t at = rng() % b.size();
            if (at < kImageHeaderSize && (rng() & 1)) {
                // Whole header words that lie.
                at &= ~std::size_t{3};
                put_u32(b.data() + at, static_cast<std::uint32_t>(rng() >> (rng() % 32)));
            } else {
                b[at] = static_cast<std::uint8_t>(rng());
            }
        }
        // Keep the outer checks passing so the section and code checks do the work.
        put_u32(b.data() + kHdrTotalSize, static_cast<std::uint32_t>(b.size()));
        b[kHdrMark] = kImageHeaderMark;
        put_u16(b.data() + kHdrMagic, kImageMagic);
        put_u16(b.data() + kHdrVersion, kImageVersion);
        write_trailer(b.data() + b.size() - kImageTrailerSize, kImageVersion, 0);
        check(b);
    }
}

TEST(ImageVerifier, MutatedImagesLoadOnlyWhenSafe) {
    test::ScopedRun run;
    ProgramPtr p = verifiable();
    Bytes full = build(*p);
    ASSERT_TRUE(unpack_image(full.data(), full.size(), true));
    fuzz_image(full, 1);
    RexxVector<std::uint8_t> small;
    ASSERT_TRUE(build_image16(*p, true, small));
    ASSERT_TRUE(unpack_image(small.data(), small.size(), true));
    fuzz_image(Bytes(small.begin(), small.end()), 2);
}

// ---- object code in files ---------------------------------------------------------------------

ProgramPtr sample() {
    ProgramPtr p = verifiable();
    p->source_lines = 2;
    return p;
}

class TempFile {
  public:
    explicit TempFile(const std::string& content) {
        char name[] = "/tmp/ketra-image-XXXXXX";
        fd_ = ::mkstemp(name);
        path_ = name;
        write(content);
    }
    ~TempFile() {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    int fd() const { return fd_; }
    void write(const std::string& content) {
        EXPECT_EQ(::ftruncate(fd_, 0), 0);
        EXPECT_EQ(::pwrite(fd_, content.data(), content.size(), 0),
                  static_cast<ssize_t>(content.size()));
        ::lseek(fd_, 0, SEEK_SET);
    }
    std::string read() const {
        std::string s(static_cast<std::size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
        EXPECT_EQ(::pread(fd_, s.data(), s.size(), 0), static_cast<ssize_t>(s.size()));
        return s;
    }

  private:
    int fd_;
    std::string path_;
};

RXSTRING rx(Bytes& b) {
    return RXSTRING{static_cast<ULONG>(b.size()), reinterpret_cast<char*>(b.data())};
}

std::int32_t back_offset_of(const std::string& file) {
    return static_cast<std::int32_t>(
        get_u32(reinterpret_cast<const std::uint8_t*>(file.data()) + file.size() - 6));
}

TEST(ObjectFile, AppendAndReadBack) {
    Bytes img = build(*sample());
    RXSTRING s = rx(img);
    TempFile f("say 'x'\n");
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    std::string file = f.read();
    ASSERT_EQ(file.size(), 8 + 1 + img.size());
    EXPECT_EQ(file[8], '\x1A');
    // The stored trailer leads back to the image; the caller's image is left as it was.
    EXPECT_EQ(back_offset_of(file), -static_cast<std::int32_t>(img.size()));
    EXPECT_EQ(get_u32(img.data() + img.size() - 6), 0u);

    ::lseek(f.fd(), 5, SEEK_SET);
    RXSTRING got{0, nullptr};
    EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), img.size() + 1);
    ASSERT_TRUE(got.strptr);
    ASSERT_EQ(got.strlength, img.size());
    EXPECT_EQ(::lseek(f.fd(), 0, SEEK_CUR), 0);  // rewound
    EXPECT_EQ(std::string(got.strptr, got.strlength), file.substr(9));
    RexxFreeMemory(got.strptr);

    // Appending again replaces the image; a file ending in 1A gets no second one.
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    EXPECT_EQ(f.read(), file);
    f.write("say 'x'\n\x1A");
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    EXPECT_EQ(f.read(), file);
    // An empty file gets the end-of-file byte too.
    f.write("");
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    EXPECT_EQ(f.read().size(), 1 + img.size());

    // A shorter image over a longer one: the file keeps its length (the caller cuts it).
    f.write("say 'x'\n");
    ASSERT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    ProgramPtr small = make_program();
    small->code = {kOpEnd};
    Bytes img2 = build(*small);
    RXSTRING s2 = rx(img2);
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s2), img2.size());
    EXPECT_EQ(f.read().size(), file.size());
    EXPECT_EQ(f.read().substr(9, img2.size() - 9), std::string(img2.begin(), img2.end() - 9));

    // Not an image: nothing is written.
    Bytes junk(100, 0x41);
    RXSTRING sj = rx(junk);
    f.write("abc");
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &sj), 0u);
    EXPECT_EQ(f.read(), "abc");
}

TEST(ObjectFile, TrailersThatDoNotHoldUp) {
    TempFile f("say 'no object code here'\n");
    RXSTRING got{5, reinterpret_cast<char*>(&got)};
    EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), 0u);
    EXPECT_EQ(got.strptr, nullptr);
    EXPECT_EQ(got.strlength, 0u);

    // A trailer of version 11: message 172 in a session, size plus 1, nothing handed back.
    std::string v11 = "say 1\n\x1A" + std::string(88, '\0');
    Bytes t(kImageTrailerSize);
    write_trailer(t.data(), 11, -97);
    v11 += std::string(t.begin(), t.end());
    f.write(v11);
    {
        test::ScopedRun run;
        test::DiagnosticCapture cap;
        EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), 98u);
        EXPECT_EQ(got.strptr, nullptr);
        EXPECT_EQ(got.strlength, 0u);
        ASSERT_EQ(cap.lines().size(), 1u);
        EXPECT_EQ(cap.lines()[0],
                  "Error 172: Object code from incompatible version of REXX ignored");
    }
    {
        test::DiagnosticCapture cap;  // no session: no message
        EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), 98u);
        EXPECT_TRUE(cap.lines().empty());
    }

    // A trailer whose back offset leads into plain text: reading finds nothing, and appending
    // does not write over the text.
    std::string text = "say 'precious text that must survive'\n" + std::string(60, 'x');
    write_trailer(t.data(), kImageVersion, -50);
    f.write(text + std::string(t.begin(), t.end()));
    EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), 0u);
    Bytes img = build(*sample());
    RXSTRING s = rx(img);
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    EXPECT_EQ(f.read().substr(0, text.size()), text);

    // A header total size of FFFFFFFF: refused (message 176 in a session).
    Bytes big = build(*sample());
    put_u32(big.data() + kHdrTotalSize, kImageTooLarge);
    write_trailer(big.data() + big.size() - kImageTrailerSize, kImageVersion,
                  -static_cast<std::int32_t>(big.size()));
    f.write("say 2\n\x1A" + std::string(big.begin(), big.end()));
    test::ScopedRun run;
    test::DiagnosticCapture cap;
    EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), 0u);
    EXPECT_EQ(got.strptr, nullptr);
    ASSERT_EQ(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0], "Error 176: saved object code too large");
}

class ObjectOptions : public ::testing::Test {
  protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() { platform::delete_key(platform::Hive::CurrentUser, kKey); }
    static void set(const char* name, std::uint32_t v) {
        ASSERT_TRUE(platform::set_dword(platform::Hive::CurrentUser, kKey, name, v));
    }
    static constexpr const char* kKey = "Software\\Corvane\\Rexx\\ExecOptions";
};

TEST_F(ObjectOptions, SixteenBitObjectCodeIsWrittenAndReadBack) {
    set("16BitRxObject", 1);
    ProgramPtr p = sample();
    Bytes img = build(*p);
    RexxVector<std::uint8_t> packed;
    ASSERT_TRUE(build_image16(*p, true, packed));
    RXSTRING s = rx(img);
    TempFile f("say 'x'\n");
    // The full-form size is returned though the 16-bit form is written.
    EXPECT_EQ(RexxAppendObjectToFile(f.fd(), &s), img.size());
    std::string file = f.read();
    ASSERT_EQ(file.size(), 9 + packed.size());
    // The stored bytes are the packed form with its back offset.
    write_trailer(packed.data() + packed.size() - kImageTrailerSize, kImageVersion16,
                  -static_cast<std::int32_t>(packed.size()));
    EXPECT_EQ(file.substr(9), std::string(packed.begin(), packed.end()));
    RXSTRING got{0, nullptr};
    EXPECT_EQ(RexxGetObjectFromFile(f.fd(), &got), packed.size() + 1);
    ASSERT_TRUE(got.strptr);
    {
        test::ScopedRun run;
        ProgramPtr q =
            unpack_image(reinterpret_cast<const std::uint8_t*>(got.strptr), got.strlength, true);
        ASSERT_TRUE(q);
        EXPECT_EQ(build(*q), img);
    }
    RexxFreeMemory(got.strptr);
}

// ---- RexxStart: image or source --------------------------------------------------------------

struct StartResult {
    LONG rc = 0;
    SHORT retc = -1;
};

StartResult start(const char* name, RXSTRING* instore, const char* arg) {
    char argbuf[8] = {0};
    RXSTRING a{0, argbuf};
    if (arg) {
        std::strcpy(argbuf, arg);
        a.strlength = static_cast<ULONG>(std::strlen(arg));
    }
    StartResult r;
    RXSTRING result{0, nullptr};
    r.rc = RexxStart(arg ? 1 : 0, arg ? &a : nullptr, name, instore, nullptr, RXCOMMAND, nullptr,
                     &r.retc, &result);
    if (result.strptr) RexxFreeMemory(result.strptr);
    return r;
}

StartResult run_in_store(const std::string& source, RXSTRING& image, const char* arg = nullptr) {
    RXSTRING instore[2] = {{static_cast<ULONG>(source.size()), const_cast<char*>(source.data())},
                           image};
    StartResult r = start("image.cmd", instore, arg);
    image = instore[1];
    return r;
}

TEST(RexxStartImage, InStoreImageIsHandedBackAndRunsAgain) {
    RXSTRING image{0, nullptr};
    StartResult r = run_in_store("exit 1", image);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.retc, 1);
    ASSERT_TRUE(image.strptr);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.strptr);
    ASSERT_TRUE(validate_image(bytes, image.strlength));
    EXPECT_EQ(get_u32(bytes + image.strlength - 6), 0u);  // in store: back offset 0
    Bytes keep(bytes, bytes + image.strlength);

    // The image runs, not the (different) source beside it.
    RXSTRING again = image;
    r = run_in_store("exit 2", again);
    EXPECT_EQ(r.retc, 1);
    EXPECT_EQ(again.strptr, image.strptr);  // the caller's image is neither replaced nor freed
    EXPECT_TRUE(std::equal(keep.begin(), keep.end(), bytes));

    // Altered header or trailer magic: the source is translated instead.
    image.strptr[kHdrMagic] ^= 1;
    again = image;
    EXPECT_EQ(run_in_store("exit 2", again).retc, 2);
    image.strptr[kHdrMagic] ^= 1;
    image.strptr[image.strlength - 1] ^= 1;
    again = image;
    EXPECT_EQ(run_in_store("exit 2", again).retc, 2);
    image.strptr[image.strlength - 1] ^= 1;

    // Valid outside, faulty code inside: translated from the source as well.
    image.strptr[kImageHeaderSize + 1] = 0x7F;  // the literal index of the first PUSHLIT
    again = image;
    EXPECT_EQ(run_in_store("exit 2", again).retc, 2);
    RexxFreeMemory(image.strptr);

    // A translate-only run hands the image back too.
    RXSTRING none{0, nullptr};
    r = run_in_store("exit 5", none, "/O");
    EXPECT_EQ(r.rc, 0);
    ASSERT_TRUE(none.strptr);
    RXSTRING run_it = none;
    EXPECT_EQ(run_in_store("exit 6", run_it).retc, 5);
    RexxFreeMemory(none.strptr);
}

std::string slurp(const std::string& path) {
    std::string s;
    int fd = ::open(path.c_str(), O_RDONLY);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return s;
}

void spit(const std::string& path, const std::string& s) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(::write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
    ::close(fd);
}

class ProgramFileImage : public ObjectOptions {
  protected:
    void SetUp() override {
        ObjectOptions::SetUp();
        char dir[] = "/tmp/ketra-objfile-XXXXXX";
        ASSERT_TRUE(::mkdtemp(dir));
        dir_ = dir;
        path_ = dir_ + "/prog.rex";
    }
    void TearDown() override {
        ::unlink(path_.c_str());
        ::rmdir(dir_.c_str());
        ObjectOptions::TearDown();
    }
    StartResult run(const char* arg = nullptr) { return start(path_.c_str(), nullptr, arg); }
    // Stores the image of `source` behind it with a translate-only run, then puts `replacement`
    // (of the same length) in the source's place, so that a run shows which of them it executed.
    void store(const std::string& source, const std::string& replacement) {
        spit(path_, source);
        ASSERT_EQ(run("/O").rc, 0);
        std::string file = slurp(path_);
        ASSERT_GT(file.size(), source.size() + 1 + 93);
        ASSERT_EQ(file[source.size()], '\x1A');
        EXPECT_EQ(back_offset_of(file),
                  -static_cast<std::int32_t>(file.size() - source.size() - 1));
        file.replace(0, replacement.size(), replacement);
        spit(path_, file);
    }
    std::string dir_, path_;
};

TEST_F(ProgramFileImage, StoredImageIsLoadedAndReplaced) {
    store("exit 11\n", "exit 22\n");
    EXPECT_EQ(run().retc, 11);  // the image, not the source
    std::size_t size = slurp(path_).size();

    // Translating again replaces the image; the new source's image then runs.
    EXPECT_EQ(run("/O").rc, 0);
    EXPECT_EQ(slurp(path_).size(), size);
    EXPECT_EQ(run().retc, 22);

    // A shorter image replacing a longer one still ends the file: the file is cut after it.
    spit(path_, "say 'a long literal that makes a long image'; say 'and another'; exit 1\n");
    ASSERT_EQ(run("/O").rc, 0);
    std::string longer = slurp(path_);
    std::size_t eof = longer.find('\x1A');
    ASSERT_NE(eof, std::string::npos);
    spit(path_, "exit 3\n" + longer.substr(eof));
    EXPECT_EQ(run("/O").rc, 0);
    std::string cut = slurp(path_);
    EXPECT_LT(cut.size(), longer.size());
    int fd = ::open(path_.c_str(), O_RDONLY);
    RXSTRING got{0, nullptr};
    EXPECT_EQ(RexxGetObjectFromFile(fd, &got), cut.size() - 8 + 1);
    ::close(fd);
    if (got.strptr) RexxFreeMemory(got.strptr);
    EXPECT_EQ(run().retc, 3);
}

TEST_F(ProgramFileImage, DamagedObjectCodeFallsBackToTheSource) {
    store("exit 11\n", "exit 22\n");
    std::string file = slurp(path_);
    const std::size_t image = 9;  // after "exit 11\n" and the 1A

    std::string bad = file;
    bad[image + kHdrMagic] ^= 1;
    spit(path_, bad);
    EXPECT_EQ(run().retc, 22);

    bad = file;
    bad[image + kImageHeaderSize] = '\xFF';  // not an opcode
    spit(path_, bad);
    EXPECT_EQ(run().retc, 22);

    bad = file;
    put_u32(reinterpret_cast<std::uint8_t*>(bad.data()) + image + kHdrTotalSize, kImageTooLarge);
    spit(path_, bad);
    {
        test::DiagnosticCapture cap;
        EXPECT_EQ(run().retc, 22);
        EXPECT_TRUE(std::any_of(cap.lines().begin(), cap.lines().end(), [](const std::string& l) {
            return l.find("Error 176: saved object code too large") != std::string::npos;
        }));
    }
    spit(path_, file);
    EXPECT_EQ(run().retc, 11);
}

TEST_F(ProgramFileImage, SixteenBitOptionStoresTheSmallForm) {
    set("16BitRxObject", 1);
    store("exit 11\n", "exit 22\n");
    std::string file = slurp(path_);
    const auto* t = reinterpret_cast<const std::uint8_t*>(file.data()) + file.size() - 9;
    EXPECT_EQ(get_u16(t + 1), kImageVersion16);
    EXPECT_EQ(run().retc, 11);
}

TEST_F(ProgramFileImage, KetraCommandStoresAndASecondRunLoads) {
    spit(path_, "say 'from the source'\nexit 4\n");
    test::ProcessResult c = test::run_process({KETRA_HOST_BIN, "-c", path_});
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "");
    std::string file = slurp(path_);
    file.replace(0, 20, "say 'from a changed'");
    spit(path_, file);
    test::ProcessResult r = test::run_process({KETRA_HOST_BIN, path_});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(r.out, "from the source\n");
}

}  // namespace
}  // namespace ketra
