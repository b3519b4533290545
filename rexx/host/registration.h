// Registrations of subcommand handlers, exits and external functions: the per-thread record of
// an EXE registration, lookup over the thread's lists and the global area, and the small
// internal interface through which the interpreter and the command environments reach
// registered code.
//
// Names and module names compare without regard to case. A lookup without a module name
// searches the calling thread's list of the kind first, then the global area; with a module
// name only the global area, where the record's module must begin with the given name and
// continue with "." or end there ("mymod" finds "MyMod.DLL").
//
// Everything here expects the ApiLock to be held, and leaves it (restoring the current instance
// and activation) only around module loading and calls into host code.
#pragma once

#include <cstdint>
#include <string>

#include "platform/lock.h"
#include "platform/module.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

enum RegistrationKind : int { kRegSubcom = 0, kRegExit = 1, kRegFunction = 2 };

// An EXE registration, kept in the registering thread's TaskEntry list of its kind. One block
// from the plain heap; the name is stored right behind the record.
struct Registration {
    Registration* next;
    char* name;
    char* module;     // always null for an EXE registration
    char* procedure;  // always null
    unsigned char user[8];
    PFN entry;
    std::uint32_t reserved;
    std::uint32_t drop_auth;  // 0 for an EXE registration
    long process_id;
    long thread_id;
};

// The entry of the function package module "POMFUNC": called once with the REXX library's own
// module handle (a dlopen handle); 0 means success.
using PackageRegisterEntry = APIRET APIENTRY (*)(void* library_handle);
inline constexpr char kPackageModule[] = "POMFUNC.DLL";
inline constexpr char kPackageEntry[] = "PomFuncRexxRegister";

// Leaves the ApiLock for a call into host code and, on re-entering it, restores the current
// instance and activation as they were.
class HostCall {
  public:
    HostCall() = default;
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

  private:
    struct Restore {
        ExecInstance* current = g_lib.current;
        Activation* activation = g_lib.activation;
        ~Restore() {
            g_lib.current = current;
            g_lib.activation = activation;
        }
    };
    Restore restore_;  // destroyed last: after the lock is held again
    platform::ApiUnlock unlocked_;
};

// What a lookup found: an EXE record of the calling thread, or a copy of a global record.
struct FoundRegistration {
    Registration* local = nullptr;  // the EXE record, or null for a global one
    PFN entry = nullptr;            // EXE entry point
    std::string module;             // DLL module (stored form) and procedure
    std::string procedure;
    unsigned char user[8] = {};
    bool dll() const { return local == nullptr; }
};

// Lookup of a kind and name, with or without a module name (null or "" for none). May throw
// std::bad_alloc while copying a global record.
bool find_registration(int kind, const char* name, const char* module, FoundRegistration* out);

// An external function ready to be called by a program. For a DLL registration it holds the
// module loaded for the call, released when the target goes away.
struct FunctionTarget {
    RexxFunctionHandler* entry = nullptr;
    platform::Module module;
};

// Resolves a function that a running program calls. False when the name is not registered.
// A DLL registration's module is loaded with the ApiLock left; a module that cannot be loaded
// raises error 97, a missing procedure releases the module and raises error 96.
bool resolve_function(const char* name, FunctionTarget* out);

// A subcommand handler ready to be called for a command to an environment.
struct SubcomTarget {
    RexxSubcomHandler* entry = nullptr;
    platform::Module module;  // loaded for a DLL registration, released with the target
    unsigned char user[8] = {};
    std::string module_name;  // the stored module name of a DLL registration, else ""
};

// Resolves the handler of an environment (module null or "" for none) without raising errors:
// 0, 30 (RXSUBCOM_NOTREG) when nothing is registered, 50 (RXSUBCOM_LOADERR) when the module
// cannot be loaded, 127 (RXSUBCOM_NOPROC) when the procedure is missing, 1002 on exhaustion.
int resolve_subcom(const char* environment, const char* module, SubcomTarget* out);

// The user area of the registration kept in an exit slot (RXINI and RXTER pass it to the exit).
inline unsigned char* exit_user_area(const ExitSlot& slot) {
    return slot.registration ? static_cast<Registration*>(slot.registration)->user : nullptr;
}

}  // namespace ketra
