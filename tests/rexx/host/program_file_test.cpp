// Program files: the default extension, the name and size limits, the Ctrl-Z end, and the
// loading errors as RexxStart reports them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <unistd.h>

#include "host_test_support.h"
#include "rexx/host/program.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

namespace fs = std::filesystem;

class ProgramFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensure_library_started();
        clear_options();
        dir_ = fs::temp_directory_path() / ("ketra-prog-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write_file(const std::string& name, const std::string& text) {
        std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    LONG run_file(const std::string& path, SHORT* retc = nullptr) {
        SHORT rc16 = -1;
        RXSTRING result;
        MAKERXSTRING(result, nullptr, 0);
        LONG rc = RexxStart(0, nullptr, path.c_str(), nullptr, nullptr, RXCOMMAND, nullptr, &rc16,
                            &result);
        if (result.strptr) RexxFreeMemory(result.strptr);
        if (retc) *retc = rc16;
        return rc;
    }

    fs::path dir_;
};

TEST_F(ProgramFileTest, NameWithoutExtensionGetsTheDefaultOne) {
    std::string upper = write_file("prog.REX", "nop\n");
    RunRecorder rec;
    EXPECT_EQ(run_file((dir_ / "prog").string()), 0);
    EXPECT_EQ(rec.seen().name, upper);
    EXPECT_EQ(rec.seen().environment, "REX");

    std::string lower = write_file("other.rex", "nop\n");
    EXPECT_EQ(run_file((dir_ / "other").string()), 0);
    EXPECT_EQ(rec.seen().name, lower);
    EXPECT_EQ(rec.seen().environment, "rex");

    // A script without extension, as a "#!" line starts it, runs as named.
    std::string bare = write_file("script", "nop\n");
    EXPECT_EQ(run_file(bare), 0);
    EXPECT_EQ(rec.seen().name, bare);

    // With an extension the name is used as it stands.
    EXPECT_EQ(resolve_program_name("x.cmd"), "x.cmd");
    EXPECT_EQ(resolve_program_name("no/such/thing"), "no/such/thing.REX");
}

TEST_F(ProgramFileTest, LoadingErrors) {
    DiagnosticCapture cap;
    EXPECT_EQ(run_file((dir_ / "missing.rex").string()), -43);
    ASSERT_EQ(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0],
              "Error 43 loading " + (dir_ / "missing.rex").string() + ": Routine not found");

    cap.clear();
    std::string empty = write_file("empty.rex", "");
    EXPECT_EQ(run_file(empty), -2);
    EXPECT_EQ(cap.lines()[0], "Error 2 loading " + empty + ": Program file is zero length");

    cap.clear();
    fs::create_directories(dir_ / "folder.rex");
    EXPECT_EQ(run_file((dir_ / "folder.rex").string()), -3);  // a folder is not a program

    cap.clear();
    std::string longname(260, 'a');
    EXPECT_EQ(run_file(longname), -136);
    EXPECT_EQ(cap.lines()[0],
              "Error 136 loading " + longname + ": Error# > highest_error");
    EXPECT_EQ(resolve_program_name(std::string(259, 'a').c_str()).substr(0, 259),
              std::string(259, 'a'));
}

TEST_F(ProgramFileTest, SourceEndsAtCtrlZ) {
    std::string path = write_file("z.rex", std::string("nop\n\x1a\x01\x02 binary tail", 19));
    RunRecorder rec;
    EXPECT_EQ(run_file(path), 0);
    EXPECT_EQ(rec.seen().source, "nop\n");
}

TEST_F(ProgramFileTest, SizeLimitIsTheSourceCodePool) {
    std::string path = (dir_ / "big.rex").string();
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kMaxSourceBytes + 1), 0);
    ::close(fd);
    DiagnosticCapture cap;
    EXPECT_EQ(run_file(path), -5);
    ASSERT_GE(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0], "Memory full: source code");

    // The same limit holds for in-store sources; the text is never read.
    cap.clear();
    std::string small = "nop";
    RXSTRING instore[2];
    MAKERXSTRING(instore[0], small.data(), kMaxSourceBytes + 1);
    MAKERXSTRING(instore[1], nullptr, 0);
    SHORT retc;
    EXPECT_EQ(RexxStart(0, nullptr, "big.cmd", instore, nullptr, RXCOMMAND, nullptr, &retc,
                        nullptr),
              -5);
    EXPECT_EQ(cap.lines()[0], "Memory full: source code");
}

TEST_F(ProgramFileTest, ExactlyTheLimitIsAccepted) {
    std::string path = (dir_ / "edge.rex").string();
    {
        std::ofstream f(path, std::ios::binary);
        f << "nop\n";
        f.put('\x1a');
    }
    ::truncate(path.c_str(), kMaxSourceBytes);
    RunRecorder rec;
    EXPECT_EQ(run_file(path), 0);
    EXPECT_EQ(rec.seen().source, "nop\n");
}

}  // namespace
}  // namespace ketra::test
