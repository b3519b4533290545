// The per-user runtime folder, with the ownership checks that keep another user from planting
// files in it.
#include "platform/runtime_dir.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace ketra::platform {

namespace {

std::string checked(std::string dir, bool private_tmp) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat sb {};
    int rc = private_tmp ? ::lstat(dir.c_str(), &sb) : ::stat(dir.c_str(), &sb);
    if (rc != 0) return {};
    if (!S_ISDIR(sb.st_mode)) {
        errno = ENOTDIR;
        return {};
    }
    if (sb.st_uid != ::geteuid()) {
        errno = EPERM;
        return {};
    }
    if (private_tmp && (sb.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return {};
    return dir;
}

}  // namespace

std::string runtime_dir() {
    try {
        const char* env = std::getenv("KETRA_RUNTIME_DIR");
        if (env && *env) return checked(env, false);
        env = std::getenv("XDG_RUNTIME_DIR");
        if (env && *env) return checked(env, false);
        return checked("/tmp/ketra-" + std::to_string(::geteuid()), true);
    } catch (...) {
        errno = ENOMEM;
        return {};
    }
}

}  // namespace ketra::platform
