// The package entry PomFuncRexxRegister, which the REXX library calls once per process with its
// own module handle, and the result helper shared by the package's functions.
//
// The functions are registered in the DLL form (module and procedure name) rather than as entry
// points: an EXE registration belongs to the thread that makes it, so it would serve only the
// thread whose first run loaded the package. The DLL form lives in the registration area that
// every thread, and with shared registrations every process, looks in; each call then loads
// this module by the same name the library used to find it, so every process resolves it to the
// copy that sits beside its own library.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>

#include "pomfunc/package.h"

namespace pomfunc {

namespace {

// The name the library loads the package by; stored as "POMFUNC.DLL".
constexpr char kModuleName[] = "POMFUNC";

constexpr FunctionEntry kFunctions[] = {
    {"PromptBox", "PromptBox"},
};

std::atomic<AllocateMemory>& allocator() {
    static std::atomic<AllocateMemory> a{nullptr};
    return a;
}

}  // namespace

const FunctionEntry* package_functions(std::size_t* count) {
    *count = sizeof kFunctions / sizeof kFunctions[0];
    return kFunctions;
}

void set_allocator(AllocateMemory allocate) {
    allocator().store(allocate, std::memory_order_release);
}

bool set_result(PRXSTRING result, const char* text, std::size_t length) {
    if (result->strptr && length <= result->strlength) {
        if (length) std::memcpy(result->strptr, text, length);
        result->strlength = static_cast<ULONG>(length);
        return true;
    }
    AllocateMemory allocate = allocator().load(std::memory_order_acquire);
    // A block of at least one byte, so that an empty result is never a null pointer.
    std::size_t size = length ? length : 1;
    void* block = allocate ? allocate(static_cast<ULONG>(size)) : std::malloc(size);
    if (!block) return false;
    if (length) std::memcpy(block, text, length);
    result->strptr = static_cast<PCH>(block);
    result->strlength = static_cast<ULONG>(length);
    return true;
}

}  // namespace pomfunc

using RegisterFunctionDll = APIRET APIENTRY (*)(PCSZ, PCSZ, PCSZ);

// Returns 0 when every function is registered. A function that is registered already (by an
// earlier process sharing the registration area, or an earlier load in this one) counts as
// registered.
extern "C" __attribute__((visibility("default"))) APIRET APIENTRY
PomFuncRexxRegister(void* library_handle) {
    if (!library_handle) return 1;
    auto register_dll =
        reinterpret_cast<RegisterFunctionDll>(::dlsym(library_handle, "RexxRegisterFunctionDll"));
    if (!register_dll) return 1;
    pomfunc::set_allocator(
        reinterpret_cast<pomfunc::AllocateMemory>(::dlsym(library_handle, "RexxAllocateMemory")));
    std::size_t count = 0;
    const pomfunc::FunctionEntry* functions = pomfunc::package_functions(&count);
    for (std::size_t i = 0; i < count; ++i) {
        APIRET rc = register_dll(functions[i].name, pomfunc::kModuleName, functions[i].procedure);
        if (rc != RXFUNC_OK && rc != RXFUNC_DEFINED) return rc;
    }
    return 0;
}
