// Dynamic modules: the libraries a stored module name refers to ("POMFUNC.DLL", "SETUPHOOK"),
// found by the naming rules below and opened with dlopen.
//
// A stored name is "NAME.DLL" (".DLL" is appended to a name without an extension). Loading tries,
// in order: the name as given, NAME.so, libNAME.so, then the lower-case forms of these three,
// each through the normal dlopen search; then the same names in the folder of the binary that
// holds this layer (libketra.so, or the program it is linked into). NAME is the stored name
// without a ".dll" or ".so" ending (any case). A name holding "/" is a path: the variants are
// tried in its folder only, and only the file part is lower-cased.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ketra::platform {

// An open module; closes it on destruction. Movable, not copyable.
class Module {
  public:
    Module() = default;
    Module(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    ~Module() { close(); }
    Module(Module&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return loaded(); }
    // The address of an exported symbol, or null (also when nothing is loaded).
    void* symbol(const char* name) const;
    // The name that was opened (the candidate that succeeded).
    const std::string& path() const { return path_; }
    void* handle() const { return handle_; }
    // Gives up ownership: the module stays loaded for the life of the process.
    void* release() { return std::exchange(handle_, nullptr); }
    void close();

  private:
    void* handle_ = nullptr;
    std::string path_;
};

// The stored form of a module name: ".DLL" appended when the name has no extension.
std::string stored_module_name(std::string_view name);
// The names load_module tries, in order (without the module-folder ones).
std::vector<std::string> module_candidates(std::string_view stored_name);
// Loads by the rules above; an unloaded Module when no candidate opens (see module_error()).
Module load_module(std::string_view stored_name);
// The dlerror text of the calling thread's last failed load_module ("" after a success).
std::string module_error();
// The folder of the binary that holds this layer, without a trailing "/"; "" if unknown.
std::string module_folder();

}  // namespace ketra::platform
