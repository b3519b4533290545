// The commands the library carries out itself (CLS, SET, CD) and the process environment
// variables as the SET command and VALUE reach them. Environment reads and changes go under
// the platform's environment lock, so that a command started by another thread never sees
// half a change.
#include <cstdlib>
#include <mutex>
#include <string>

#include <unistd.h>

#include "platform/process.h"
#include "rexx/host/command_dispatch.h"
#include "rexx/host/console.h"
#include "rexx/host/hooks.h"
#include "rexx/runtime/nocase.h"

namespace ketra {

namespace {

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A name that setenv accepts: not empty, no "=" and no NUL.
bool valid_variable_name(std::string_view name) {
    return !name.empty() && name.find('=') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

int set_command(std::string_view rest) {
    std::size_t eq = rest.find('=');
    std::string_view name = rest.substr(0, eq);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    std::string_view value =
        eq == std::string_view::npos ? std::string_view() : rest.substr(eq + 1);
    bool ok =
        value.empty() ? remove_environment_variable(name) : set_environment_variable(name, value);
    // A name that cannot be set is an error here: handing it on to the command interpreter
    // would run the shell's own "set", which changes nothing and reports success.
    return ok ? 0 : 1;
}

int cd_command(std::string_view rest) {
    std::string_view folder = trim_blanks(rest);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
        folder = folder.substr(1, folder.size() - 2);
    // "CD" with nothing after it is left to the command interpreter.
    if (folder.empty()) return -1;
    std::string path(folder);
    if (path.find('\0') != std::string::npos) return 1;
    return ::chdir(path.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int run_library_command(std::string_view command) {
    if (same_nocase(command, "CLS")) {
        char lines[80];
        for (char& c : lines) c = '\n';
        write_io_window(lines, sizeof lines, kWriteLineEnd);
        return 0;
    }
    if (starts_nocase(command, "SET ")) return set_command(command.substr(4));
    if (starts_nocase(command, "CD ")) return cd_command(command.substr(3));
    // A drive change ("X:") has no meaning here: there are no drives.
    return -1;
}

bool is_environment_selector(std::string_view selector) {
    return same_nocase(selector, "ENVIRONMENT") || same_nocase(selector, "DOSENVIRONMENT") ||
           same_nocase(selector, "OS2ENVIRONMENT");
}

std::string get_environment_variable(std::string_view name) {
    if (!valid_variable_name(name)) return std::string();
    std::string key(name);
    std::lock_guard<std::mutex> hold(platform::environment_lock());
    const char* v = std::getenv(key.c_str());
    // The whole value: PATH and its like are often longer than any fixed buffer.
    return v ? std::string(v) : std::string();
}

bool set_environment_variable(std::string_view name, std::string_view value) {
    if (!valid_variable_name(name)) return false;
    std::string key(name);
    // The C environment ends a value at a NUL.
    std::string text(value.substr(0, value.find('\0')));
    std::lock_guard<std::mutex> hold(platform::environment_lock());
    return ::setenv(key.c_str(), text.c_str(), 1) == 0;
}

bool remove_environment_variable(std::string_view name) {
    if (!valid_variable_name(name)) return false;
    std::string key(name);
    std::lock_guard<std::mutex> hold(platform::environment_lock());
    return ::unsetenv(key.c_str()) == 0;
}

}  // namespace ketra
