// The global registration area: record layout and block sizes, drops, sharing between
// processes through the map file (and not with GlobalSCBs 0), the file's permissions, restart
// after a reboot, corrupted or hostile map files, and a lock holder that dies.
//
// Tests that need an area of their own run in forked children, each with its own runtime
// folder; a child reports the number of the first check that failed as its exit status.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include "platform/lock.h"
#include "platform/registry.h"
#include "rexx/host/global_registry.h"
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

#define CHILD_CHECK(n, cond)   \
    do {                       \
        if (!(cond)) return n; \
    } while (0)

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/ketra-area-XXXXXX";
        if (::mkdtemp(tmpl)) path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string map_file() const { return path_ + "/" + kMapFileName; }

  private:
    std::string path_;
};

// Forks a child that opens the area afresh (shared in dir, or private) and runs fn. A child
// whose area does not open exits with 100.
pid_t spawn(const std::string& dir, bool shared, const std::function<int()>& fn,
            bool expect_open = true) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setenv("KETRA_RUNTIME_DIR", dir.c_str(), 1);
    // A library that starts in the child starts with a private area (it needs nothing from the
    // file system); the area under test is opened below.
    std::string registry = "/tmp/ketra-area-registry-" + std::to_string(::getpid());
    ::setenv("KETRA_REGISTRY", registry.c_str(), 1);
    platform::set_dword(platform::Hive::CurrentUser, "Software\\Corvane\\Rexx\\ExecOptions",
                        "GlobalSCBs", 0);
    bool started = ensure_library_started();
    std::error_code ec;
    std::filesystem::remove_all(registry, ec);
    int rc;
    if (!started) {
        rc = 101;
    } else {
        bool opened;
        {
            platform::ApiLockGuard lock;
            close_global_registry();
            g_lib.global_scbs = shared ? 1 : 0;
            opened = open_global_registry();
        }
        rc = opened != expect_open ? 100 : fn();
    }
    ::_exit(rc);
}

// The child's exit status; 200 + signal when it was killed, 250 when it outlived the timeout.
int wait_child(pid_t pid, int timeout_ms = 20000) {
    int status = 0;
    for (int waited = 0;; waited += 10) {
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (waited >= timeout_ms) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return 250;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

int in_child(const std::string& dir, bool shared, const std::function<int()>& fn,
             bool expect_open = true) {
    return wait_child(spawn(dir, shared, fn, expect_open));
}

std::string area_string(std::uint32_t off) {
    return reinterpret_cast<const char*>(area_base() + off);
}

TEST(RegistrationArea, BlockSizesAndStoredModuleNames) {
    EXPECT_EQ(record_block_size(1, 5, 1), 96u);     // 54 bytes
    EXPECT_EQ(record_block_size(20, 20, 8), 96u);   // 95 bytes
    EXPECT_EQ(record_block_size(20, 20, 9), 112u);  // 96 bytes: a multiple of 16 still grows
    EXPECT_EQ(record_block_size(20, 20, 10), 112u);
    EXPECT_EQ(record_block_size(20, 20, 25), 128u);  // 112 bytes
    EXPECT_EQ(record_block_size(70000, 1, 1), kAreaSize);

    EXPECT_EQ(stored_dll_name("MOD"), "MOD.DLL");
    EXPECT_EQ(stored_dll_name("mod.so"), "mod.so");
    EXPECT_EQ(stored_dll_name("dir.x/mod"), "dir.x/mod.DLL");
    EXPECT_EQ(stored_dll_name("a\\b.c\\mod"), "a\\b.c\\mod.DLL");
    EXPECT_EQ(stored_dll_name("C:mod"), "C:mod.DLL");
    EXPECT_EQ(stored_dll_name("/usr/lib/libx.so.1"), "/usr/lib/libx.so.1");
}

TEST(RegistrationArea, FreshHeaderAndRecordLayout) {
    TempDir d;
    ASSERT_FALSE(d.path().empty());
    for (bool shared : {true, false}) {
        int rc = in_child(d.path(), shared, [shared] {
            CHILD_CHECK(1, area_base() != nullptr);
            CHILD_CHECK(2, area_word(kHdrNextFree) == kAreaFirstFree);
            CHILD_CHECK(3, area_word(kHdrEnd) == kAreaSize);
            CHILD_CHECK(4, area_word(0) == 0 && area_word(4) == 0 && area_word(8) == 0);
            CHILD_CHECK(5, area_word(kHdrBlocks) == 0 && area_word(kHdrDropped) == 0);
            CHILD_CHECK(6, area_word(kHdrCreatorPid) == static_cast<std::uint32_t>(::getpid()));
            std::string mutex = area_string(kHdrMutexName);
            if (shared)
                CHILD_CHECK(7, mutex == "C~Ketra_GlobalSCBs_Mutex");
            else
                CHILD_CHECK(7, mutex == "C~Ketra_GlobalSCBs" + std::to_string(current_thread_id()) +
                                            "_Mutex");

            unsigned char user[8] = {1, 2, 3, 4, 5, 6, 7, 8};
            CHILD_CHECK(10, RexxRegisterSubcomDll("LayEnv", "laymod", "LayProc", user, 1) == 0);
            const std::uint32_t b = kAreaFirstFree;
            CHILD_CHECK(11, area_word(0) == b);
            CHILD_CHECK(12, area_word(kHdrLastBlock) == b);
            CHILD_CHECK(13, area_word(kHdrNextFree) == b + 96);
            CHILD_CHECK(14, area_word(kHdrBlocks) == 1);
            CHILD_CHECK(15, area_word(b) == 0);  // end of the list
            CHILD_CHECK(16, area_word(b + 4) == b + 44 && area_string(b + 44) == "LayEnv");
            CHILD_CHECK(17, area_word(b + 8) == b + 51 && area_string(b + 51) == "laymod.DLL");
            CHILD_CHECK(18, area_word(b + 12) == b + 62 && area_string(b + 62) == "LayProc");
            CHILD_CHECK(19, std::memcmp(area_base() + b + 16, user, 8) == 0);
            CHILD_CHECK(20, area_word(b + 24) == 0 && area_word(b + 28) == 0);
            CHILD_CHECK(21, area_word(b + 32) == 1);
            CHILD_CHECK(22, area_word(b + 36) == static_cast<std::uint32_t>(::getpid()));
            CHILD_CHECK(23, area_word(b + 40) == static_cast<std::uint32_t>(current_thread_id()));

            // A second record of the kind goes to the head and links to the first.
            CHILD_CHECK(30, RexxRegisterSubcomDll("LayEnv2", "laymod", "LayProc", nullptr, 0) == 0);
            CHILD_CHECK(31, area_word(0) == b + 96 && area_word(b + 96) == b);
            return 0;
        });
        EXPECT_EQ(rc, 0) << (shared ? "shared" : "private");
    }
}

TEST(RegistrationArea, DroppedRecordKeepsItsSpaceAndNeverMatches) {
    TempDir d;
    int rc = in_child(d.path(), true, [] {
        CHILD_CHECK(1, RexxRegisterFunctionDll("DropFn", "DropMod", "DropProc") == 0);
        std::uint32_t first = area_word(8);
        std::uint32_t next_free = area_word(kHdrNextFree);
        CHILD_CHECK(2, RexxDeregisterFunction("dropfn") == 0);
        CHILD_CHECK(3, area_word(8) == 0);
        CHILD_CHECK(4, area_word(kHdrDropped) == 1);
        CHILD_CHECK(5, area_word(kHdrNextFree) == next_free);
        CHILD_CHECK(6, area_string(area_word(first + 4)) == "@#Drop");
        CHILD_CHECK(7, area_string(area_word(first + 8)) == "@#Dropped#@");
        CHILD_CHECK(8, area_string(area_word(first + 12)) == "@#Droppe");
        CHILD_CHECK(9, RexxQueryFunction("DropFn") == 30);
        CHILD_CHECK(10, RexxDeregisterFunction("DropFn") == 30);

        CHILD_CHECK(11, RexxRegisterFunctionDll("DropFn", "DropMod", "DropProc") == 0);
        std::uint32_t second = area_word(8);
        CHILD_CHECK(12, second == next_free && second != first);
        CHILD_CHECK(13, area_word(kHdrBlocks) == 2);
        CHILD_CHECK(14, RexxQueryFunction("DROPFN") == 0);
        // Even the dropped text itself finds nothing.
        CHILD_CHECK(15, RexxQueryFunction("@#Drop") == 30);
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(RegistrationArea, FullAreaRefusesFurtherRecords) {
    TempDir d;
    int rc = in_child(d.path(), true, [] {
        std::string name(1000, 'N');
        int added = 0;
        APIRET r;
        for (;; ++added) {
            name[0] = static_cast<char>('A' + added % 26);
            name[1] = static_cast<char>('A' + added / 26);
            r = RexxRegisterFunctionDll(name.c_str(), "m", "p");
            if (r != 0) break;
        }
        CHILD_CHECK(1, r == 20);
        CHILD_CHECK(2, added == static_cast<int>((kAreaSize - kAreaFirstFree - 1) / 1056));
        CHILD_CHECK(3, area_word(kHdrNextFree) < kAreaSize);
        CHILD_CHECK(4, RegisterDllScb("small", "m", "p", nullptr, 0, RXSCB_SUBCOM) == 0);
        std::string huge(70000, 'H');
        CHILD_CHECK(5, RegisterDllScb(huge.c_str(), "m", "p", nullptr, 0, RXSCB_SUBCOM) == 1002);
        // EXE registrations do not need the area.
        CHILD_CHECK(6, RexxRegisterFunctionExe("ExeStillWorks",
                                               reinterpret_cast<PFN>(&RexxQueryFunction)) == 0);
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

// A DLL registration made in one process is seen by another through the map file, both ways;
// with GlobalSCBs 0 each process has its own area.
void two_processes(bool shared) {
    TempDir d;
    int to_b[2], to_a[2];
    ASSERT_EQ(::pipe(to_b), 0);
    ASSERT_EQ(::pipe(to_a), 0);
    char c = 0;
    pid_t a = spawn(d.path(), shared, [&] {
        CHILD_CHECK(1, RexxRegisterFunctionDll("SharedOne", "onemod", "P") == 0);
        CHILD_CHECK(2, ::write(to_b[1], "x", 1) == 1);
        CHILD_CHECK(3, ::read(to_a[0], &c, 1) == 1);
        CHILD_CHECK(4, RexxQueryFunction("sharedtwo") == (shared ? 0u : 30u));
        return 0;
    });
    pid_t b = spawn(d.path(), shared, [&] {
        CHILD_CHECK(1, ::read(to_b[0], &c, 1) == 1);
        CHILD_CHECK(2, RexxQueryFunction("SHAREDONE") == (shared ? 0u : 30u));
        CHILD_CHECK(3, RexxRegisterFunctionDll("SharedOne", "onemod", "P") == (shared ? 10u : 0u));
        CHILD_CHECK(4, RexxRegisterFunctionDll("SharedTwo", "twomod", "P") == 0);
        CHILD_CHECK(5, ::write(to_a[1], "x", 1) == 1);
        return 0;
    });
    for (int fd : {to_a[0], to_a[1], to_b[0], to_b[1]}) ::close(fd);
    EXPECT_EQ(wait_child(a), 0);
    EXPECT_EQ(wait_child(b), 0);
    struct stat sb {};
    EXPECT_EQ(::stat(d.map_file().c_str(), &sb) == 0, shared);
}

TEST(RegistrationArea, SharedBetweenProcesses) {
    two_processes(true);
}
TEST(RegistrationArea, PrivateWithGlobalScbsZero) {
    two_processes(false);
}

TEST(RegistrationArea, MapFileAndFolderArePrivate) {
    TempDir d;
    std::string sub = d.path() + "/run";
    int rc = in_child(sub, true, [] { return area_base() ? 0 : 1; });
    ASSERT_EQ(rc, 0);
    struct stat sb {};
    ASSERT_EQ(::stat(sub.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((sub + "/" + kMapFileName).c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0600u);
    EXPECT_EQ(sb.st_size, static_cast<off_t>(kAreaSize));

    // A map file with wider permissions is narrowed again when it is opened.
    ASSERT_EQ(::chmod((sub + "/" + kMapFileName).c_str(), 0666), 0);
    ASSERT_EQ(in_child(sub, true, [] { return 0; }), 0);
    ASSERT_EQ(::stat((sub + "/" + kMapFileName).c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0600u);
}

TEST(RegistrationArea, SymbolicLinkAsMapFileIsRefused) {
    TempDir d;
    std::string target = d.path() + "/target";
    ASSERT_EQ(::symlink(target.c_str(), d.map_file().c_str()), 0);
    EXPECT_EQ(in_child(
                  d.path(), true, [] { return 0; }, false),
              0);
    struct stat sb {};
    EXPECT_NE(::lstat(target.c_str(), &sb), 0);  // nothing created through the link
}

TEST(RegistrationArea, FileOfAnEarlierBootStartsAnew) {
    TempDir d;
    ASSERT_EQ(in_child(d.path(), true,
                       [] { return RexxRegisterFunctionDll("OldBootFn", "m", "p") == 0 ? 0 : 1; }),
              0);
    // Registrations made since the start survive.
    ASSERT_EQ(in_child(d.path(), true, [] { return RexxQueryFunction("OldBootFn") == 0 ? 0 : 1; }),
              0);
    struct utimbuf old {
        1000, 1000
    };
    ASSERT_EQ(::utime(d.map_file().c_str(), &old), 0);
    EXPECT_EQ(in_child(d.path(), true,
                       [] {
                           CHILD_CHECK(1, RexxQueryFunction("OldBootFn") == 30);
                           CHILD_CHECK(2, area_word(kHdrNextFree) == kAreaFirstFree);
                           return 0;
                       }),
              0);
}

// Writes bytes into the map file at an offset, as another process could.
bool poke(const std::string& file, off_t off, const void* data, std::size_t n) {
    int fd = ::open(file.c_str(), O_WRONLY);
    if (fd < 0) return false;
    bool ok = ::pwrite(fd, data, n, off) == static_cast<ssize_t>(n);
    ::close(fd);
    return ok;
}

bool poke32(const std::string& file, off_t off, std::uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return poke(file, off, b, 4);
}

// Every operation of an area that cannot be trusted fails cleanly.
int expect_unusable() {
    USHORT flag = 1;
    CHILD_CHECK(50, RegisterDllScb("Any", "m", "p", nullptr, 0, RXSCB_SUBCOM) == 1002);
    CHILD_CHECK(51, RexxRegisterFunctionDll("AnyFn", "m", "p") == 20);
    CHILD_CHECK(52, RexxQueryFunction("AnyFn") == 30);
    CHILD_CHECK(53, RexxQuerySubcom("Any", "m", &flag, nullptr) == 30 && flag == 0);
    CHILD_CHECK(54, RexxDeregisterFunction("Victim") == 30);
    CHILD_CHECK(55, RexxLoadSubcom("Any", nullptr) == 30);
    return 0;
}

TEST(RegistrationArea, GarbageMapFileIsUnusableNotFatal) {
    TempDir d;
    std::string junk(kAreaSize, '\xA5');
    int fd = ::open(d.map_file().c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, junk.data(), junk.size()), static_cast<ssize_t>(junk.size()));
    ::close(fd);
    EXPECT_EQ(in_child(d.path(), true,
                       [] {
                           if (int rc = expect_unusable()) return rc;
                           return RexxRegisterFunctionExe(
                                      "ExeFine", reinterpret_cast<PFN>(&RexxQueryFunction)) == 0
                                      ? 0
                                      : 1;
                       }),
              0);

    // A file of the wrong size is not mapped at all (access past its end would fault).
    ASSERT_EQ(::truncate(d.map_file().c_str(), 100), 0);
    EXPECT_EQ(in_child(d.path(), true, [] { return area_base() ? 1 : expect_unusable(); }), 0);
}

TEST(RegistrationArea, HostileOffsetsAreNeverFollowed) {
    TempDir d;
    std::string f = d.map_file();
    const std::uint32_t rec = kAreaFirstFree;  // the first record of a fresh area
    int rc = in_child(d.path(), true, [&] {
        CHILD_CHECK(1, RexxRegisterFunctionDll("Victim", "vmod", "vproc") == 0);
        // A list that loops back on itself.
        CHILD_CHECK(2, poke32(f, rec, rec));
        CHILD_CHECK(3, RexxQueryFunction("Other") == 30);
        CHILD_CHECK(4, RexxRegisterFunctionDll("Other", "m", "p") == 20);
        CHILD_CHECK(5, poke32(f, rec, 0));
        CHILD_CHECK(6, RexxQueryFunction("Victim") == 0);
        // A name offset outside the used part, and one whose string runs to the end.
        CHILD_CHECK(7, poke32(f, rec + 4, 0xFFFFFFF0u));
        CHILD_CHECK(8, RexxQueryFunction("Victim") == 30);
        std::string fill(kAreaSize - 60000, 'Z');
        CHILD_CHECK(9, poke(f, 60000, fill.data(), fill.size()));
        CHILD_CHECK(10, poke32(f, kHdrNextFree, kAreaSize));
        CHILD_CHECK(11, poke32(f, rec + 4, 60000));
        CHILD_CHECK(12, RexxQueryFunction("Victim") == 30);
        CHILD_CHECK(13, RexxDeregisterFunction("Victim") == 30);
        // Heads and header fields out of range.
        CHILD_CHECK(14, poke32(f, 8, 0x7FFFFFF0u));
        CHILD_CHECK(15, RexxQueryFunction("Victim") == 30);
        CHILD_CHECK(16, poke32(f, kHdrNextFree, 0x20000));
        if (int r = expect_unusable()) return r;
        // The file shrinks under the mapping: checked before every access.
        CHILD_CHECK(17, ::truncate(f.c_str(), 4096) == 0);
        return expect_unusable();
    });
    EXPECT_EQ(rc, 0);
}

TEST(RegistrationArea, DeadLockHolderDoesNotBlockOthers) {
    TempDir d;
    ASSERT_EQ(in_child(d.path(), true, [] { return 0; }), 0);  // the map file exists
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::string f = d.map_file();
    pid_t holder = ::fork();
    if (holder == 0) {
        int fd = ::open(f.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (fd < 0 || ::fcntl(fd, F_SETLKW, &fl) != 0) ::_exit(1);
        if (::write(ready[1], "x", 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    pid_t waiter = spawn(d.path(), true, [] {
        return RexxRegisterFunctionDll("AfterDeath", "m", "p") == 0 &&
                       RexxQueryFunction("AfterDeath") == 0
                   ? 0
                   : 1;
    });
    // The waiter is held up by the lock ...
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(::waitpid(waiter, &status, WNOHANG), 0);
    // ... and gets in once the holder is killed.
    ::kill(holder, SIGKILL);
    ::waitpid(holder, &status, 0);
    EXPECT_EQ(wait_child(waiter), 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

}  // namespace
}  // namespace ketra
