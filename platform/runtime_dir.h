// The per-user runtime folder that holds files shared by the processes of one user (the map
// file of the global registration area): $KETRA_RUNTIME_DIR when set, else $XDG_RUNTIME_DIR,
// else /tmp/ketra-<uid>.
#pragma once

#include <string>

namespace ketra::platform {

// The folder path without a trailing "/", created (mode 0700) when missing. The folder must be
// a directory owned by the calling user; the /tmp fallback must moreover not be a symbolic link,
// and is made private (0700) when it is not. Returns "" on failure with errno set (ENOTDIR,
// EPERM for a folder of another user, or the errno of mkdir/stat).
std::string runtime_dir();

}  // namespace ketra::platform
