// Message boxes, fatal exits and Yes/No questions on a terminal system, and the per-user
// runtime folder.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/notify.h"
#include "platform/runtime_dir.h"

namespace ketra::platform {
namespace {

namespace fs = std::filesystem;

TEST(Notify, MessageBoxIsOneLineOnStderr) {
    ::testing::internal::CaptureStderr();
    message_box("Corvane REXX", "TPX601: something failed.");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Corvane REXX: TPX601: something failed.\n");
}

TEST(NotifyDeathTest, FatalExitWritesAndEndsWithStatus) {
    EXPECT_EXIT(fatal_app_exit("REXX", "REXXSAA() Can't Lock hTaskTable.", 3),
                ::testing::ExitedWithCode(3), "^REXX: REXXSAA\\(\\) Can't Lock hTaskTable\\.\n$");
    EXPECT_EXIT(fatal_app_exit("T", "x"), ::testing::ExitedWithCode(70), "T: x");
}

TEST(NotifyDeathTest, FatalExitFlushesStdio) {
    fs::path file = fs::temp_directory_path() / ("ketra-flush-" + std::to_string(getpid()));
    EXPECT_EXIT(
        {
            FILE* f = std::fopen(file.c_str(), "w");
            std::fputs("buffered text", f);  // still in the stdio buffer
            fatal_app_exit("T", "x", 5);
        },
        ::testing::ExitedWithCode(5), "T: x");
    std::ifstream in(file);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, "buffered text");
    fs::remove(file);
}

TEST(Notify, QuestionWithoutTerminalAnswersNo) {
    int saved = dup(STDIN_FILENO);
    int null_fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(null_fd, 0);
    dup2(null_fd, STDIN_FILENO);
    ::testing::internal::CaptureStderr();
    bool yes = ask_yes_no("Setup", "Overwrite?");
    std::string err = ::testing::internal::GetCapturedStderr();
    dup2(saved, STDIN_FILENO);
    close(saved);
    close(null_fd);
    EXPECT_FALSE(yes);
    EXPECT_EQ(err, "Setup: Overwrite?\n");
}

class RuntimeDir : public ::testing::Test {
  protected:
    void SetUp() override {
        save("KETRA_RUNTIME_DIR", ketra_);
        save("XDG_RUNTIME_DIR", xdg_);
        base_ = fs::temp_directory_path() / ("ketra-rt-test-" + std::to_string(getpid()));
        fs::remove_all(base_);
    }
    void TearDown() override {
        restore("KETRA_RUNTIME_DIR", ketra_);
        restore("XDG_RUNTIME_DIR", xdg_);
        fs::remove_all(base_);
    }
    static void save(const char* name, std::optional<std::string>& slot) {
        const char* v = std::getenv(name);
        if (v) slot = v;
    }
    static void restore(const char* name, const std::optional<std::string>& slot) {
        if (slot)
            setenv(name, slot->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> ketra_, xdg_;
    fs::path base_;
};

TEST_F(RuntimeDir, EnvironmentChoosesAndFolderIsCreatedPrivate) {
    std::string mine = (base_ / "ketra").string();
    setenv("KETRA_RUNTIME_DIR", (mine + "/").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (base_ / "xdg").c_str(), 1);
    fs::create_directories(base_);
    EXPECT_EQ(runtime_dir(), mine);
    struct stat sb {};
    ASSERT_EQ(stat(mine.c_str(), &sb), 0);
    EXPECT_TRUE(S_ISDIR(sb.st_mode));
    EXPECT_EQ(sb.st_mode & 0777, 0700u);

    unsetenv("KETRA_RUNTIME_DIR");
    fs::create_directories(base_ / "xdg");
    EXPECT_EQ(runtime_dir(), (base_ / "xdg").string());

    unsetenv("XDG_RUNTIME_DIR");
    std::string fallback = "/tmp/ketra-" + std::to_string(geteuid());
    EXPECT_EQ(runtime_dir(), fallback);
    ASSERT_EQ(lstat(fallback.c_str(), &sb), 0);
    EXPECT_TRUE(S_ISDIR(sb.st_mode));
    EXPECT_EQ(sb.st_uid, geteuid());
    EXPECT_EQ(sb.st_mode & 077, 0u);
}

TEST_F(RuntimeDir, NotAFolderFails) {
    fs::create_directories(base_);
    std::ofstream(base_ / "file") << "x";
    setenv("KETRA_RUNTIME_DIR", (base_ / "file").c_str(), 1);
    errno = 0;
    EXPECT_EQ(runtime_dir(), "");
    EXPECT_EQ(errno, ENOTDIR);
}

}  // namespace
}  // namespace ketra::platform
