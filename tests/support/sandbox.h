// Child processes of the tests that run the build's programs: a private folder with its own
// registry and registration area, starting a program in a forked child with extra environment,
// and waiting for it within a deadline.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ketra::test {

using Env = std::map<std::string, std::string>;

// A private temporary folder with "reg" (the registry) and "run" (the registration area).
class Sandbox {
  public:
    Sandbox() {
        char tmpl[] = "/tmp/ketra-sandbox-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        std::filesystem::create_directories(dir_ / "reg");
        std::filesystem::create_directories(dir_ / "run");
    }
    ~Sandbox() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path path(const std::string& name) const { return dir_ / name; }
    // The environment that points a child at this folder's registry and registration area.
    Env env() const {
        return {{"KETRA_REGISTRY", (dir_ / "reg").string()},
                {"KETRA_RUNTIME_DIR", (dir_ / "run").string()}};
    }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return (dir_ / name).string();
    }
    std::string read(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

  private:
    std::filesystem::path dir_;
};

// In a forked child: sets the environment (RXTRACE is always removed) and runs argv[0].
[[noreturn]] inline void exec_child(const std::vector<std::string>& argv, const Env& env) {
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    ::unsetenv("RXTRACE");
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// Waits for the child within the deadline and kills it when it overstays; the exit status, or
// 128 plus the signal that ended it.
inline int wait_child(pid_t pid, std::chrono::steady_clock::time_point deadline, bool* timed_out) {
    int st = 0;
    for (;;) {
        if (::waitpid(pid, &st, WNOHANG) == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            *timed_out = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &st, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

}  // namespace ketra::test
