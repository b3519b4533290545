// The ketra command: help, version, exit statuses and the loading messages of a missing or
// empty program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/process.h"

namespace ketra::test {
namespace {

namespace fs = std::filesystem;

ProcessResult ketra(std::vector<std::string> args) {
    args.insert(args.begin(), KETRA_HOST_BIN);
    return run_process(args);
}

TEST(KetraCli, HelpAndVersion) {
    ProcessResult h = ketra({"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("usage: ketra [options] program [arguments...]"), std::string::npos);
    ProcessResult v = ketra({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("REXX/Corvane 4.0 26 Feb 1995\n", 0), 0u) << v.out;
}

TEST(KetraCli, UsageErrors) {
    ProcessResult none = ketra({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("ketra: no program given"), std::string::npos);
    ProcessResult bad = ketra({"--frobnicate", "x.rex"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("ketra: unknown option --frobnicate"), std::string::npos);
    ProcessResult e = ketra({"-e"});
    EXPECT_EQ(e.status, 2);
}

TEST(KetraCli, MissingAndEmptyPrograms) {
    fs::path dir = fs::temp_directory_path() / ("ketra-cli-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string missing = (dir / "nothere.rex").string();
    ProcessResult m = ketra({missing, "a", "b"});
    EXPECT_EQ(m.status, 43);
    EXPECT_EQ(m.err, "Error 43 loading " + missing + ": Routine not found\n");
    EXPECT_EQ(m.out, "");

    std::string bare = (dir / "nothere").string();
    ProcessResult b = ketra({bare});
    EXPECT_EQ(b.status, 43);
    EXPECT_EQ(b.err, "Error 43 loading " + bare + ".REX: Routine not found\n");

    std::string empty = (dir / "empty.rex").string();
    std::ofstream(empty).close();
    ProcessResult z = ketra({empty});
    EXPECT_EQ(z.status, 2);
    EXPECT_EQ(z.err, "Error 2 loading " + empty + ": Program file is zero length\n");
    fs::remove_all(dir);
}

TEST(KetraCli, ProgramsAfterTheNameAreArgumentsNotOptions) {
    fs::path dir = fs::temp_directory_path() / ("ketra-cli2-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string prog = (dir / "p.rex").string();
    std::ofstream(prog) << "/* nothing */\n";
    ProcessResult r = ketra({prog, "--help", "-x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("usage:"), std::string::npos);
    ProcessResult dd = ketra({"--", prog});
    EXPECT_EQ(dd.status, 0);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace ketra::test
