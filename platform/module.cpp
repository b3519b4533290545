// Dynamic modules: the naming rules that map a stored "NAME.DLL" to shared objects, and the
// RAII handle around dlopen.
#include "platform/module.h"

#include <dlfcn.h>

namespace ketra::platform {

namespace {

thread_local std::string t_error;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower(c);
    return out;
}

bool ends_with_ci(std::string_view s, std::string_view end) {
    if (s.size() < end.size()) return false;
    return lowered(s.substr(s.size() - end.size())) == end;
}

void add_unique(std::vector<std::string>& list, std::string name) {
    for (const auto& n : list)
        if (n == name) return;
    list.push_back(std::move(name));
}

// Sets t_error to the current dlerror text (or a fallback).
void note_dlerror(std::string_view fallback) {
    const char* e = ::dlerror();
    t_error = e ? e : std::string(fallback);
}

}  // namespace

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

void* Module::symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return ::dlsym(handle_, name);
}

void Module::close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

std::string stored_module_name(std::string_view name) {
    std::size_t slash = name.rfind('/');
    std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
    std::string out(name);
    if (!out.empty() && file.find('.') == std::string_view::npos) out += ".DLL";
    return out;
}

std::vector<std::string> module_candidates(std::string_view stored_name) {
    std::vector<std::string> out;
    if (stored_name.empty()) return out;
    std::size_t slash = stored_name.rfind('/');
    std::string dir = slash == std::string_view::npos
                          ? std::string()
                          : std::string(stored_name.substr(0, slash + 1));
    std::string_view file =
        slash == std::string_view::npos ? stored_name : stored_name.substr(slash + 1);
    std::string_view base = file;
    if (ends_with_ci(base, ".dll"))
        base.remove_suffix(4);
    else if (ends_with_ci(base, ".so"))
        base.remove_suffix(3);
    std::string b(base);
    std::string lb = lowered(base);
    add_unique(out, dir + std::string(file));
    add_unique(out, dir + b + ".so");
    add_unique(out, dir + "lib" + b + ".so");
    add_unique(out, dir + lowered(file));
    add_unique(out, dir + lb + ".so");
    add_unique(out, dir + "lib" + lb + ".so");
    return out;
}

Module load_module(std::string_view stored_name) {
    try {
        std::string name = stored_module_name(stored_name);
        std::vector<std::string> names = module_candidates(name);
        if (names.empty()) {
            t_error = "empty module name";
            return {};
        }
        std::string first_error;
        auto attempt = [&](const std::string& path) -> void* {
            void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!h) {
                const char* e = ::dlerror();
                if (first_error.empty() && e) first_error = e;
            }
            return h;
        };
        for (const auto& n : names)
            if (void* h = attempt(n)) {
                t_error.clear();
                return Module(h, n);
            }
        if (name.find('/') == std::string::npos) {
            std::string folder = module_folder();
            if (!folder.empty()) {
                for (const auto& n : names) {
                    std::string path = folder + "/" + n;
                    if (void* h = attempt(path)) {
                        t_error.clear();
                        return Module(h, path);
                    }
                }
            }
        }
        t_error = first_error.empty() ? "cannot load " + name : first_error;
        return {};
    } catch (...) {
        t_error = "out of memory";
        return {};
    }
}

std::string module_error() {
    return t_error;
}

std::string module_folder() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&module_folder), &info) == 0 || !info.dli_fname) {
        note_dlerror("dladdr failed");
        return {};
    }
    std::string path = info.dli_fname;
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace ketra::platform
