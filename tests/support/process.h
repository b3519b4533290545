// Runs a program of the build as a child process and collects its output and exit status.
#pragma once

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ketra::test {

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string read_fd(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Runs argv[0] with the arguments; standard input is /dev/null unless `input` is given.
inline ProcessResult run_process(const std::vector<std::string>& argv,
                                 const std::string* input = nullptr) {
    ProcessResult r;
    char out_path[] = "/tmp/ketra-out-XXXXXX";
    char err_path[] = "/tmp/ketra-err-XXXXXX";
    int out = ::mkstemp(out_path);
    int err = ::mkstemp(err_path);
    int in_pipe[2] = {-1, -1};
    if (input && ::pipe(in_pipe) != 0) return r;
    pid_t pid = ::fork();
    if (pid == 0) {
        if (input) {
            ::dup2(in_pipe[0], 0);
            ::close(in_pipe[1]);
        } else {
            int devnull = ::open("/dev/null", O_RDONLY);
            ::dup2(devnull, 0);
        }
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (input) {
        ::close(in_pipe[0]);
        [[maybe_unused]] ssize_t w = ::write(in_pipe[1], input->data(), input->size());
        ::close(in_pipe[1]);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    ::lseek(out, 0, SEEK_SET);
    ::lseek(err, 0, SEEK_SET);
    r.out = read_fd(out);
    r.err = read_fd(err);
    ::close(out);
    ::close(err);
    ::unlink(out_path);
    ::unlink(err_path);
    return r;
}

}  // namespace ketra::test
