// Child processes through posix_spawnp and waitpid.
#include "platform/process.h"

#include <cerrno>
#include <csignal>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ketra::platform {

namespace {

// The spawn attributes and file actions, released however the start ends.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attr_ok = false;
    bool actions_ok = false;
    SpawnSetup() {
        attr_ok = posix_spawnattr_init(&attr) == 0;
        actions_ok = posix_spawn_file_actions_init(&actions) == 0;
    }
    ~SpawnSetup() {
        if (attr_ok) posix_spawnattr_destroy(&attr);
        if (actions_ok) posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

int run_process(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    if (argv.empty() || argv[0].empty()) return kProcessNotFound;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.attr_ok || !setup.actions_ok) return kProcessStartFailed;
    // The child gets no descriptor of ours beyond the three standard ones: a library that
    // holds files open must not leak them into every command.
    if (posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3) != 0)
        return kProcessStartFailed;
    // A host that ignores SIGPIPE (most servers do) would otherwise pass that on, and pipelines
    // in the child would not end when their reader goes. Signals blocked in the calling thread
    // are not the child's business either.
    sigset_t defaults, empty;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setsigmask(&setup.attr, &empty);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), envp.data());
    if (rc != 0) {
        if (rc == ENOENT || rc == ENOTDIR || rc == ENAMETOOLONG) return kProcessNotFound;
        return kProcessStartFailed;
    }
    int status = 0;
    for (;;) {
        pid_t w = ::waitpid(pid, &status, 0);
        if (w == pid) break;
        if (w < 0 && errno == EINTR) continue;
        return w < 0 ? -errno : kProcessStartFailed;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kProcessStartFailed;
}

std::mutex& environment_lock() {
    static std::mutex lock;
    return lock;
}

std::vector<std::string> environment_snapshot() {
    std::lock_guard<std::mutex> hold(environment_lock());
    std::vector<std::string> out;
    for (char** e = environ; e && *e; ++e) out.emplace_back(*e);
    return out;
}

}  // namespace ketra::platform
