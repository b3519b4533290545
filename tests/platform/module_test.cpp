// Module loading: the naming rules from a stored "NAME.DLL" to shared objects, the module-folder
// fallback, and clean failure for a missing module.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/module.h"

namespace ketra::platform {
namespace {

namespace fs = std::filesystem;

// The file the system's libm lives in, found through the loader itself.
std::string libm_path() {
    void* h = dlopen("libm.so.6", RTLD_NOW);
    if (!h) return {};
    void* cos_fn = dlsym(h, "cos");
    Dl_info info{};
    std::string path;
    if (cos_fn && dladdr(cos_fn, &info) && info.dli_fname) path = info.dli_fname;
    dlclose(h);
    return path;
}

TEST(Module, StoredNamesAndCandidates) {
    EXPECT_EQ(stored_module_name("POMFUNC"), "POMFUNC.DLL");
    EXPECT_EQ(stored_module_name("hook.dll"), "hook.dll");
    EXPECT_EQ(stored_module_name("libx.so.1"), "libx.so.1");
    EXPECT_EQ(stored_module_name("/opt/a.b/SETUPHOOK"), "/opt/a.b/SETUPHOOK.DLL");
    EXPECT_EQ(module_candidates("PomFunc.DLL"),
              (std::vector<std::string>{"PomFunc.DLL", "PomFunc.so", "libPomFunc.so", "pomfunc.dll",
                                        "pomfunc.so", "libpomfunc.so"}));
    // Only the file part of a path is lower-cased.
    EXPECT_EQ(module_candidates("/Opt/X.so"),
              (std::vector<std::string>{"/Opt/X.so", "/Opt/libX.so", "/Opt/x.so", "/Opt/libx.so"}));
}

TEST(Module, LoadsByTheRulesAndFindsSymbols) {
    std::string real = libm_path();
    ASSERT_FALSE(real.empty());
    // The name as given goes through the normal search.
    Module direct = load_module("libm.so.6");
    ASSERT_TRUE(direct) << module_error();
    auto cos_fn = reinterpret_cast<double (*)(double)>(direct.symbol("cos"));
    ASSERT_NE(cos_fn, nullptr);
    EXPECT_DOUBLE_EQ(cos_fn(0.0), 1.0);
    EXPECT_EQ(direct.symbol("no_such_symbol_here"), nullptr);

    // "M" is stored as "M.DLL" and found as the lower-case libm.so in its folder.
    fs::path dir = fs::temp_directory_path() / ("ketra-mod-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::create_symlink(real, dir / "libm.so");
    Module viaRules = load_module((dir / "M").string());
    EXPECT_TRUE(viaRules) << module_error();
    EXPECT_EQ(viaRules.path(), (dir / "libm.so").string());
    EXPECT_NE(viaRules.symbol("sin"), nullptr);

    // Moving hands the module over; the moved-from one is empty.
    Module moved = std::move(viaRules);
    EXPECT_FALSE(viaRules.loaded());
    EXPECT_EQ(viaRules.symbol("sin"), nullptr);
    EXPECT_TRUE(moved);
    fs::remove_all(dir);
}

TEST(Module, FallsBackToTheModuleFolder) {
    std::string folder = module_folder();
    ASSERT_FALSE(folder.empty());
    // The layer is linked into this test program, so its folder is the program's.
    EXPECT_EQ(fs::canonical(folder), fs::canonical("/proc/self/exe").parent_path());

    std::string real = libm_path();
    ASSERT_FALSE(real.empty());
    std::string name = "KetraModTest" + std::to_string(getpid());
    fs::path link = fs::path(folder) / ("libketramodtest" + std::to_string(getpid()) + ".so");
    std::error_code ec;
    fs::create_symlink(real, link, ec);
    if (ec) GTEST_SKIP() << "module folder not writable: " << ec.message();
    Module m = load_module(name);
    EXPECT_TRUE(m) << module_error();
    EXPECT_EQ(m.path(), link.string());
    fs::remove(link);
}

TEST(Module, MissingModuleFailsCleanly) {
    Module m = load_module("NoSuchKetraModule");
    EXPECT_FALSE(m);
    EXPECT_FALSE(module_error().empty());
    EXPECT_EQ(m.symbol("x"), nullptr);
    EXPECT_FALSE(load_module(""));
    Module ok = load_module("libm.so.6");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(module_error().empty());
}

}  // namespace
}  // namespace ketra::platform
