// Registration interface: EXE registrations per thread, DLL registrations and module-name
// lookup, the exit table of a run, calling registered handlers and functions (with the ApiLock
// left around the call), module loading failures and the function package.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/lock.h"
#include "rexx/host/error.h"
#include "rexx/host/global_registry.h"
#include "rexx/host/hooks.h"
#include "rexx/host/registration.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {
namespace {

// Runs fn on a new thread, which starts without a TaskEntry.
template <class F>
void on_new_thread(F fn) {
    std::thread t(fn);
    t.join();
}

bool task_exists() {
    platform::ApiLockGuard lock;
    return find_task(current_thread_id()) != nullptr;
}

int g_lock_depth_in_host = -1;
std::string g_last_command;

APIRET APIENTRY NumberHandler(PRXSTRING cmd, PUSHORT flags, PRXSTRING result) {
    g_lock_depth_in_host = platform::api_lock_depth();
    g_last_command.assign(cmd->strptr, cmd->strlength);
    *flags = RXSUBCOM_OK;
    if (g_last_command == "fail") {
        std::memcpy(result->strptr, "abc", 3);
        result->strlength = 3;
        return 3;
    }
    if (g_last_command == "word") {
        std::memcpy(result->strptr, "x", 1);
        result->strlength = 1;
        return 0;
    }
    std::memcpy(result->strptr, " 42.00 ", 7);
    result->strlength = 7;
    return 0;
}

APIRET APIENTRY JoinFunction(PUCHAR name, ULONG argc, PRXSTRING argv, PSZ queue, PRXSTRING result) {
    g_lock_depth_in_host = platform::api_lock_depth();
    std::string s = reinterpret_cast<char*>(name);
    s += ":";
    for (ULONG i = 0; i < argc; ++i) s.append(argv[i].strptr, argv[i].strlength);
    s += ":";
    s += queue ? queue : "-";
    std::memcpy(result->strptr, s.data(), s.size());
    result->strlength = s.size();
    return 7;
}

LONG APIENTRY AnExit(LONG, LONG, PEXIT) {
    return RXEXIT_HANDLED;
}

PFN as_pfn(void* p) {
    return reinterpret_cast<PFN>(p);
}

TEST(Registration, ExeReturnCodesAndThreadEntry) {
    on_new_thread([] {
        unsigned char user[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        PFN h = as_pfn(reinterpret_cast<void*>(&NumberHandler));
        EXPECT_EQ(RegisterExeScb(nullptr, h, nullptr, RXSCB_SUBCOM), 1003u);
        EXPECT_EQ(RegisterExeScb("E", nullptr, nullptr, RXSCB_SUBCOM), 1003u);
        EXPECT_EQ(RegisterExeScb("E", h, nullptr, 3), 1003u);
        EXPECT_FALSE(task_exists());

        EXPECT_EQ(RexxRegisterSubcomExe("ExeEnv", h, user), 0u);
        EXPECT_TRUE(task_exists());
        EXPECT_EQ(RexxRegisterSubcomExe("EXEENV", h, nullptr), 10u);
        EXPECT_EQ(RexxRegisterFunctionExe("ExeFn", h), 0u);
        EXPECT_EQ(RexxRegisterFunctionExe("exefn", h), 10u);

        USHORT flag = 9;
        unsigned char got[8] = {};
        EXPECT_EQ(RexxQuerySubcom("exeenv", nullptr, &flag, got), 0u);
        EXPECT_EQ(flag, 1);
        EXPECT_EQ(std::memcmp(got, user, 8), 0);
        EXPECT_EQ(RexxQueryFunction("EXEFN"), 0u);
        // A module name restricts the lookup to DLL registrations.
        EXPECT_EQ(RexxQuerySubcom("exeenv", "somemod", &flag, got), 30u);
        EXPECT_EQ(flag, 0);

        EXPECT_EQ(RexxDeregisterSubcom("EXEENV", nullptr), 0u);
        EXPECT_EQ(RexxDeregisterSubcom("EXEENV", nullptr), 30u);
        EXPECT_TRUE(task_exists());  // the function list still holds a record
        EXPECT_EQ(RexxDeregisterFunction("ExeFn"), 0u);
        EXPECT_FALSE(task_exists());
        EXPECT_EQ(RexxQueryFunction("EXEFN"), 30u);
    });
}

TEST(Registration, ExeRegistrationsBelongToTheirThread) {
    PFN f = as_pfn(reinterpret_cast<void*>(&JoinFunction));
    on_new_thread([f] {
        ASSERT_EQ(RexxRegisterFunctionExe("ThreadOwnFn", f), 0u);
        on_new_thread([f] {
            EXPECT_EQ(RexxQueryFunction("ThreadOwnFn"), 30u);
            EXPECT_EQ(RexxDeregisterFunction("ThreadOwnFn"), 30u);
            EXPECT_EQ(RexxRegisterFunctionExe("ThreadOwnFn", f), 0u);  // no clash either
            EXPECT_EQ(RexxDeregisterFunction("ThreadOwnFn"), 0u);
        });
        EXPECT_EQ(RexxQueryFunction("ThreadOwnFn"), 0u);
        EXPECT_EQ(RexxDeregisterFunction("ThreadOwnFn"), 0u);
    });
}

TEST(Registration, ThreadDetachReleasesItsRegistrations) {
    on_new_thread([] {
        ASSERT_EQ(
            RexxRegisterExitExe("DetachExit", as_pfn(reinterpret_cast<void*>(&AnExit)), nullptr),
            0u);
        EXPECT_EQ(RexxThread(static_cast<LONG>(current_thread_id()), 0), 0);
        USHORT flag = 1;
        EXPECT_EQ(RexxQueryExit("DetachExit", nullptr, &flag, nullptr), 30u);
        EXPECT_FALSE(task_exists());
    });
}

TEST(Registration, DllReturnCodesAndModulePrefixLookup) {
    ASSERT_TRUE(ensure_library_started());
    unsigned char user[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(RegisterDllScb("DllEnvA", nullptr, "P", nullptr, 0, RXSCB_SUBCOM), 1003u);
    EXPECT_EQ(RegisterDllScb("DllEnvA", "M", nullptr, nullptr, 0, RXSCB_SUBCOM), 1003u);
    EXPECT_EQ(RegisterDllScb("DllEnvA", "M", "P", nullptr, 0, 7), 1003u);

    ASSERT_EQ(RexxRegisterSubcomDll("DllEnvA", "PrefMod", "Handler", user, RXSUBCOM_NONDROP), 0u);
    EXPECT_EQ(RexxRegisterSubcomDll("dllenva", "prefmod", "Other", nullptr, 0), 10u);
    EXPECT_EQ(RexxRegisterSubcomDll("dllenva", "PREFMOD.DLL", "Other", nullptr, 0), 10u);
    // The same name in another module is a registration of its own.
    EXPECT_EQ(RexxRegisterSubcomDll("DllEnvA", "OtherMod", "Handler", nullptr, 0), 0u);

    USHORT flag = 0;
    unsigned char got[8] = {};
    // Stored with ".DLL": found by the lower-case name without extension, or in full.
    EXPECT_EQ(RexxQuerySubcom("dllenva", "prefmod", &flag, got), 0u);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(std::memcmp(got, user, 8), 0);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", "prefmod.dll", &flag, got), 0u);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", "prefmo", &flag, got), 30u);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", "prefmod.d", &flag, got), 30u);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", nullptr, &flag, got), 0u);
    // A kind is its own list.
    EXPECT_EQ(RexxQueryExit("DLLENVA", nullptr, &flag, got), 30u);

    EXPECT_EQ(RexxDeregisterSubcom("DllEnvA", "nomod"), 30u);
    EXPECT_EQ(RexxDeregisterSubcom("dllenva", "PREFMOD"), 0u);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", "prefmod", &flag, got), 30u);
    EXPECT_EQ(RexxQuerySubcom("DLLENVA", "othermod", &flag, got), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("DllEnvA", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("DllEnvA", nullptr), 30u);

    EXPECT_EQ(RexxRegisterFunctionDll("DllFnA", "fnmod", "Proc"), 0u);
    EXPECT_EQ(RexxRegisterFunctionDll("DLLFNA", "FNMOD", "Proc"), 10u);
    EXPECT_EQ(RexxQueryFunction("dllfna"), 0u);
    EXPECT_EQ(RexxQueryFunction("NeverRegisteredAnywhere"), 30u);
    EXPECT_EQ(RexxDeregisterFunction("DllFnA"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("DllFnA"), 30u);
}

TEST(Registration, ThreadListIsSearchedBeforeTheGlobalArea) {
    on_new_thread([] {
        unsigned char exe_user[8] = {'e', 'x', 'e'}, dll_user[8] = {'d', 'l', 'l'};
        ASSERT_EQ(RexxRegisterSubcomDll("BothEnv", "bothmod", "H", dll_user, 0), 0u);
        ASSERT_EQ(RexxRegisterSubcomExe("BothEnv", as_pfn(reinterpret_cast<void*>(&NumberHandler)),
                                        exe_user),
                  0u);
        unsigned char got[8] = {};
        USHORT flag = 0;
        EXPECT_EQ(RexxQuerySubcom("bothenv", nullptr, &flag, got), 0u);
        EXPECT_EQ(got[0], 'e');
        EXPECT_EQ(RexxQuerySubcom("bothenv", "bothmod", &flag, got), 0u);
        EXPECT_EQ(got[0], 'd');
        // Without a module name the thread's record goes first, then the global one.
        EXPECT_EQ(RexxDeregisterSubcom("BothEnv", nullptr), 0u);
        EXPECT_EQ(RexxQuerySubcom("bothenv", nullptr, &flag, got), 0u);
        EXPECT_EQ(got[0], 'd');
        EXPECT_EQ(RexxDeregisterSubcom("BothEnv", nullptr), 0u);
        EXPECT_EQ(RexxQuerySubcom("bothenv", nullptr, &flag, got), 30u);
    });
}

TEST(Registration, ExitTableTakesOnlyExeExits) {
    on_new_thread([] {
        unsigned char user[8] = {'u', 's', 'e', 'r'};
        PFN e = as_pfn(reinterpret_cast<void*>(&AnExit));
        ASSERT_EQ(RexxRegisterExitExe("TabExit", e, user), 0u);
        ASSERT_EQ(RexxRegisterExitDll("TabDllExit", "exitmod", "ExitProc", nullptr, 0), 0u);
        RXSYSEXIT list[] = {{"TabDllExit", RXSIO}, {"tabexit", RXINI}, {"NoSuchExit", RXTER},
                            {"TabExit", 11},       {"TabExit", -1},    {"TabExit", RXENDLST},
                            {"TabExit", RXHLT}};
        ExecInstance inst{};
        {
            platform::ApiLockGuard lock;
            build_exit_table(&inst, list);
            find_task(current_thread_id())->outermost = &inst;
        }
        EXPECT_EQ(inst.exits[RXSIO].handler, nullptr);
        EXPECT_EQ(inst.exits[RXTER].handler, nullptr);
        EXPECT_EQ(inst.exits[RXHLT].handler, nullptr);  // after the end of the list
        EXPECT_EQ(inst.exits[RXINI].handler, &AnExit);
        ASSERT_NE(exit_user_area(inst.exits[RXINI]), nullptr);
        EXPECT_EQ(exit_user_area(inst.exits[RXINI])[0], 'u');

        // Dropping the exit during the run empties its slot, and the entry that the run uses
        // stays.
        EXPECT_EQ(RexxDeregisterExit("TabExit", nullptr), 0u);
        EXPECT_EQ(inst.exits[RXINI].handler, nullptr);
        EXPECT_EQ(inst.exits[RXINI].registration, nullptr);
        EXPECT_TRUE(task_exists());
        {
            platform::ApiLockGuard lock;
            release_task(find_task(current_thread_id()));
        }
        EXPECT_EQ(RexxDeregisterExit("TabDllExit", "EXITMOD"), 0u);
    });
}

TEST(Registration, ExecuteSubcomLeavesTheLockAndTakesNumericResults) {
    ASSERT_EQ(
        RexxRegisterSubcomExe("NumEnv", as_pfn(reinterpret_cast<void*>(&NumberHandler)), nullptr),
        0u);
    char buf[RXAUTOBUFLEN];
    auto run = [&](const char* text, USHORT* rc) {
        RXSTRING cmd{static_cast<ULONG>(std::strlen(text)), const_cast<char*>(text)};
        RXSTRING result{sizeof buf, buf};
        USHORT flags = 99;
        platform::ApiLockGuard held;  // a caller that holds the lock still gets it left
        return RexxExecuteSubcom("numenv", nullptr, &cmd, &flags, rc, &result);
    };
    USHORT rc = 0;
    g_lock_depth_in_host = -1;
    EXPECT_EQ(run("number", &rc), 0u);
    EXPECT_EQ(rc, 42);
    EXPECT_EQ(g_lock_depth_in_host, 0);
    EXPECT_EQ(platform::api_lock_depth(), 0);
    EXPECT_EQ(run("fail", &rc), 0u);
    EXPECT_EQ(rc, 3);
    EXPECT_EQ(run("word", &rc), 0u);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(RexxDeregisterSubcom("NumEnv", nullptr), 0u);
    EXPECT_EQ(run("number", &rc), 30u);
    EXPECT_EQ(RexxLoadSubcom("NumEnv", nullptr), 30u);
}

TEST(Registration, CallFunctionPassesArgumentsAndReturnCode) {
    ASSERT_EQ(RexxRegisterFunctionExe("JoinFn", as_pfn(reinterpret_cast<void*>(&JoinFunction))),
              0u);
    char a[] = "ab", b[] = "c";
    RXSTRING args[2] = {{2, a}, {1, b}};
    char buf[RXAUTOBUFLEN];
    RXSTRING result{sizeof buf, buf};
    USHORT rc = 0;
    g_lock_depth_in_host = -1;
    EXPECT_EQ(RexxCallFunction("joinfn", 2, args, &rc, &result, "SESSION"), 0u);
    EXPECT_EQ(std::string(result.strptr, result.strlength), "joinfn:abc:SESSION");
    EXPECT_EQ(rc, 7);
    EXPECT_EQ(g_lock_depth_in_host, 0);
    EXPECT_EQ(RexxCallFunction("NotAFunction", 0, nullptr, &rc, &result, nullptr), 30u);
    EXPECT_EQ(RexxDeregisterFunction("JoinFn"), 0u);
}

// A module built for the test with the system's C compiler.
constexpr char kModuleSource[] = R"(
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "rexxsaa.h"
int pom_calls;
void* pom_handle;
APIRET APIENTRY TestHandler(PRXSTRING cmd, PUSHORT flags, PRXSTRING res) {
    (void)flags;
    res->strlength = (ULONG)sprintf(res->strptr, "%lu", (unsigned long)cmd->strlength);
    return 0;
}
APIRET APIENTRY TestFunc(PUCHAR name, ULONG argc, PRXSTRING argv, PSZ q, PRXSTRING res) {
    (void)argv; (void)q;
    res->strlength = (ULONG)sprintf(res->strptr, "%s/%lu", (char*)name, (unsigned long)argc);
    return 5;
}
#ifdef WITH_ENTRY
APIRET APIENTRY PomFuncRexxRegister(void* handle) {
    const char* rc = getenv("POMTEST_RC");
    pom_calls++;
    pom_handle = handle;
    return rc ? (APIRET)atoi(rc) : 0;
}
#endif
)";

// Builds the module into dir/file; false when no C compiler is at hand.
bool build_module(const std::string& dir, const std::string& file, bool with_entry) {
    std::string src = dir + "/module.c";
    std::ofstream(src) << kModuleSource;
    std::string cmd = std::string("cc -shared -fPIC -I") + KETRA_SOURCE_DIR + "/include " +
                      (with_entry ? "-DWITH_ENTRY " : "") + "-o " + dir + "/" + file + " " + src +
                      " 2>/dev/null";
    return std::system(cmd.c_str()) == 0;
}

class DllModule : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char tmpl[] = "/tmp/ketra-regmod-XXXXXX";
        if (::mkdtemp(tmpl)) dir_ = tmpl;
        built_ = !dir_.empty() && build_module(dir_, "libtestmod.so", false);
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    void SetUp() override {
        if (!built_) GTEST_SKIP() << "no C compiler to build the test module";
    }
    static std::string module() { return dir_ + "/libtestmod.so"; }
    static inline std::string dir_;
    static inline bool built_ = false;
};

TEST_F(DllModule, LoadAndExecuteSubcom) {
    ASSERT_EQ(RexxRegisterSubcomDll("ModEnv", module().c_str(), "TestHandler", nullptr, 0), 0u);
    ASSERT_EQ(RexxRegisterSubcomDll("ModEnvNoProc", module().c_str(), "Missing", nullptr, 0), 0u);
    ASSERT_EQ(RexxRegisterSubcomDll("ModEnvNoMod", "/nonexistent/nomod", "X", nullptr, 0), 0u);
    EXPECT_EQ(RexxLoadSubcom("modenv", nullptr), 0u);
    EXPECT_EQ(RexxLoadSubcom("modenvnoproc", nullptr), 127u);
    EXPECT_EQ(RexxLoadSubcom("modenvnomod", nullptr), 50u);

    char text[] = "hello world";
    RXSTRING cmd{11, text};
    char buf[RXAUTOBUFLEN];
    RXSTRING result{sizeof buf, buf};
    USHORT flags = 0, rc = 0;
    EXPECT_EQ(RexxExecuteSubcom("MODENV", nullptr, &cmd, &flags, &rc, &result), 0u);
    EXPECT_EQ(rc, 11);
    EXPECT_EQ(RexxExecuteSubcom("MODENVNOPROC", nullptr, &cmd, &flags, &rc, &result), 127u);
    EXPECT_EQ(RexxExecuteSubcom("MODENVNOMOD", nullptr, &cmd, &flags, &rc, &result), 50u);

    SubcomTarget target;
    {
        platform::ApiLockGuard lock;
        EXPECT_EQ(resolve_subcom("modenv", nullptr, &target), 0);
    }
    EXPECT_NE(target.entry, nullptr);
    EXPECT_TRUE(target.module.loaded());
    EXPECT_EQ(target.module_name, module());

    EXPECT_EQ(RexxDeregisterSubcom("ModEnv", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("ModEnvNoProc", nullptr), 0u);
    EXPECT_EQ(RexxDeregisterSubcom("ModEnvNoMod", nullptr), 0u);
}

TEST_F(DllModule, CallFunctionAndProgramLookup) {
    ASSERT_EQ(RexxRegisterFunctionDll("ModFn", module().c_str(), "TestFunc"), 0u);
    ASSERT_EQ(RexxRegisterFunctionDll("ModFnNoProc", module().c_str(), "Missing"), 0u);
    ASSERT_EQ(RexxRegisterFunctionDll("ModFnNoMod", "/nonexistent/nomod", "TestFunc"), 0u);
    char buf[RXAUTOBUFLEN];
    RXSTRING result{sizeof buf, buf};
    RXSTRING args[2] = {{1, const_cast<char*>("a")}, {1, const_cast<char*>("b")}};
    USHORT rc = 0;
    EXPECT_EQ(RexxCallFunction("ModFn", 2, args, &rc, &result, nullptr), 0u);
    EXPECT_EQ(std::string(result.strptr, result.strlength), "ModFn/2");
    EXPECT_EQ(rc, 5);
    EXPECT_EQ(RexxCallFunction("ModFnNoMod", 0, nullptr, &rc, &result, nullptr), 40u);
    EXPECT_EQ(RexxCallFunction("ModFnNoProc", 0, nullptr, &rc, &result, nullptr), 50u);

    // A running program sees the failures as errors 97 and 96.
    ExecInstance inst{};
    inst.state = kStateExecuting;
    auto resolve = [&](const char* name, FunctionTarget* t) -> int {
        platform::ApiLockGuard lock;
        ExecInstance* saved = g_lib.current;
        g_lib.current = &inst;
        InnerRecovery recovery;
        int n = -1;
        try {
            n = resolve_function(name, t) ? 0 : 30;
        } catch (const RexxUnwind& u) {
            n = u.number;
        }
        g_lib.current = saved;
        return n;
    };
    FunctionTarget t;
    EXPECT_EQ(resolve("modfn", &t), 0);
    EXPECT_NE(t.entry, nullptr);
    EXPECT_TRUE(t.module.loaded());
    FunctionTarget t2, t3, t4;
    EXPECT_EQ(resolve("modfnnomod", &t2), 97);
    EXPECT_EQ(resolve("modfnnoproc", &t3), 96);
    EXPECT_FALSE(t3.module.loaded());
    EXPECT_EQ(resolve("NoSuchModFn", &t4), 30);

    EXPECT_EQ(RexxDeregisterFunction("ModFn"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("ModFnNoProc"), 0u);
    EXPECT_EQ(RexxDeregisterFunction("ModFnNoMod"), 0u);
}

TEST(FunctionPackage, MissingPackageCountsAsDone) {
    EXPECT_TRUE(register_function_package());
}

// Run by FunctionPackage.InstalledPackage in a fresh process whose library search path holds
// the package; skipped otherwise.
TEST(FunctionPackageChild, DISABLED_Run) {
    const char* mode = std::getenv("POMTEST_MODE");
    if (!mode) GTEST_SKIP();
    bool ok = register_function_package();
    if (std::strcmp(mode, "noentry") == 0) {
        EXPECT_FALSE(ok);
        return;
    }
    EXPECT_EQ(ok, std::strcmp(mode, "ok") == 0);
    void* h = ::dlopen("POMFUNC.so", RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(h, nullptr) << "the package is not kept loaded";
    EXPECT_EQ(*static_cast<int*>(::dlsym(h, "pom_calls")), 1);
    EXPECT_NE(*static_cast<void**>(::dlsym(h, "pom_handle")), nullptr);
    ::dlclose(h);
}

// Runs the child test in a fresh process with LD_LIBRARY_PATH=dir; returns its exit status and
// its standard error.
int run_package_child(const std::string& dir, const char* mode, const char* rc, std::string* err) {
    std::string err_file = dir + "/stderr.txt";
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::setenv("LD_LIBRARY_PATH", dir.c_str(), 1);
        ::setenv("POMTEST_MODE", mode, 1);
        if (rc) ::setenv("POMTEST_RC", rc, 1);
        ::execl("/proc/self/exe", "host_tests", "--gtest_filter=FunctionPackageChild.DISABLED_Run",
                "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ifstream in(err_file);
    err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FunctionPackage, InstalledPackage) {
    char tmpl[] = "/tmp/ketra-pomfunc-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    if (!build_module(dir, "POMFUNC.so", true)) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no C compiler to build the package";
    }
    std::string err;
    EXPECT_EQ(run_package_child(dir, "ok", nullptr, &err), 0) << err;
    EXPECT_EQ(run_package_child(dir, "fail", "4", &err), 0) << err;
    ASSERT_TRUE(build_module(dir, "POMFUNC.so", false));
    EXPECT_EQ(run_package_child(dir, "noentry", nullptr, &err), 0) << err;
    EXPECT_NE(err.find("Corvane REXX: TPX608: Can't find PomFuncRexxRegister entry point in "
                       "POMFUNC.DLL External Functions package."),
              std::string::npos)
        << err;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ketra
