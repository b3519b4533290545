// Registration of subcommand handlers, external functions and exits: the per-thread EXE lists,
// lookup, the exported registration interface, RexxLoadSubcom / RexxExecuteSubcom /
// RexxCallFunction, the exit table of a run and the automatic registration of the function
// package. The global area itself lives in global_registry.cpp.
//
// The exports never raise REXX errors and never let an exception out: failures are return
// codes, allocation is plain allocation that may fail.
#include "rexx/host/registration.h"

#include <cstdio>
#include <cstring>
#include <new>

#include <dlfcn.h>
#include <unistd.h>

#include "platform/memory.h"
#include "platform/notify.h"
#include "rexx/host/error.h"
#include "rexx/host/global_registry.h"
#include "rexx/host/hooks.h"
#include "rexx/host/memory.h"

namespace ketra {

namespace {

constexpr char kTitle[] = "Corvane REXX";

bool no_module(const char* module) {
    return !module || !*module;
}

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool same_name(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (fold(*a) != fold(*b)) return false;
    return *a == *b;
}

Registration** list_head(TaskEntry* entry, int kind) {
    return reinterpret_cast<Registration**>(&entry->registrations[kind]);
}

// The calling thread's EXE record of a kind and name, with the link that points at it.
Registration** find_local_link(int kind, const char* name, TaskEntry** entry_out) {
    long tid = current_thread_id();
    TaskEntry* entry = find_task(tid);
    if (entry_out) *entry_out = entry;
    if (!entry) return nullptr;
    for (Registration** link = list_head(entry, kind); *link; link = &(*link)->next)
        if ((*link)->thread_id == tid && same_name((*link)->name, name)) return link;
    return nullptr;
}

// Clears the exit slots of live runs that refer to a record about to be released, so that no
// run calls an exit through a record that no longer exists.
void forget_exit_slots(const Registration* rec, TaskEntry* also) {
    auto clear = [rec](TaskEntry* t) {
        for (ExecInstance* inst = t->outermost; inst; inst = inst->child)
            for (ExitSlot& slot : inst->exits)
                if (slot.registration == rec) slot = ExitSlot{};
    };
    for (TaskEntry* t = g_lib.tasks; t; t = t->next) clear(t);
    if (also) clear(also);
}

void release_record(Registration* rec, TaskEntry* entry) {
    forget_exit_slots(rec, entry);
    platform::local_free(rec);
}

// A thread's entry goes once its three lists are empty, unless a run is using it.
void release_task_if_empty(TaskEntry* entry) {
    for (void* head : entry->registrations)
        if (head) return;
    if (entry->active || entry->outermost) return;
    release_task(entry);
}

// The global area, opened again on demand when it is closed (or was unusable when opened).
bool area_ready() {
    if (area_is_open() && area_base()) return true;
    return area_open(g_lib.global_scbs != 0) && area_base();
}

APIRET register_exe(const char* name, PFN entry_point, const unsigned char* user, int kind) {
    long tid = current_thread_id();
    TaskEntry* entry = find_or_create_task(tid);
    if (!entry) return RXSUBCOM_NOEMEM;
    if (find_local_link(kind, name, nullptr)) return RXSUBCOM_DUP;
    std::size_t len = std::strlen(name);
    auto* rec =
        static_cast<Registration*>(platform::local_alloc(sizeof(Registration) + len + 1, true));
    if (!rec) {
        release_task_if_empty(entry);
        return RXSUBCOM_NOEMEM;
    }
    rec->name = reinterpret_cast<char*>(rec + 1);
    std::memcpy(rec->name, name, len + 1);
    if (user) std::memcpy(rec->user, user, sizeof rec->user);
    rec->entry = entry_point;
    rec->process_id = static_cast<long>(::getpid());
    rec->thread_id = tid;
    Registration** head = list_head(entry, kind);
    rec->next = *head;
    *head = rec;
    return RXSUBCOM_OK;
}

APIRET register_dll(const char* name, const char* module, const char* procedure,
                    const unsigned char* user, std::uint32_t drop_auth, int kind) {
    if (!area_ready()) return RXSUBCOM_NOEMEM;
    switch (area_add(kind, name, module, procedure, user, drop_auth,
                     static_cast<std::uint32_t>(::getpid()),
                     static_cast<std::uint32_t>(current_thread_id()))) {
        case AreaResult::kOk:
            return RXSUBCOM_OK;
        case AreaResult::kDuplicate:
            return RXSUBCOM_DUP;
        default:
            return RXSUBCOM_NOEMEM;
    }
}

APIRET deregister(int kind, const char* name, const char* module) {
    if (no_module(module)) {
        TaskEntry* entry = nullptr;
        if (Registration** link = find_local_link(kind, name, &entry)) {
            Registration* rec = *link;
            *link = rec->next;
            release_record(rec, nullptr);
            release_task_if_empty(entry);
            return RXSUBCOM_OK;
        }
    }
    if (area_is_open() &&
        area_drop(kind, name, no_module(module) ? nullptr : module) == AreaResult::kOk)
        return RXSUBCOM_OK;
    return RXSUBCOM_NOTREG;
}

APIRET query(int kind, const char* name, const char* module, PUSHORT flag, PUCHAR user) {
    FoundRegistration found;
    bool ok = find_registration(kind, name, module, &found);
    if (flag) *flag = ok ? 1 : 0;
    if (!ok) return RXSUBCOM_NOTREG;
    if (user) std::memcpy(user, found.user, sizeof found.user);
    return RXSUBCOM_OK;
}

enum class Load { kOk, kNoModule, kNoProcedure };

// Loads a DLL registration's module and finds its procedure, with the ApiLock left.
Load load_procedure(const std::string& module, const std::string& procedure, platform::Module* out,
                    void** symbol) {
    HostCall call;
    *out = platform::load_module(module);
    if (!out->loaded()) return Load::kNoModule;
    *symbol = out->symbol(procedure.c_str());
    if (!*symbol) {
        out->close();
        return Load::kNoProcedure;
    }
    return Load::kOk;
}

// The return code of RexxExecuteSubcom: a handler result that is a whole number ("12", " -3 ",
// "7.00") gives that number; nullopt-like false otherwise.
bool whole_number(const RXSTRING* s, long long* value) {
    if (!s || !s->strptr || !s->strlength) return false;
    const char* p = s->strptr;
    const char* end = p + s->strlength;
    while (p < end && *p == ' ') ++p;
    while (end > p && end[-1] == ' ') --end;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || *p < '0' || *p > '9') return false;
    long long v = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        if (v < 1000000000000LL) v = v * 10 + (*p - '0');
    if (p < end && *p == '.')
        for (++p; p < end; ++p)
            if (*p != '0') return false;
    if (p != end) return false;
    *value = negative ? -v : v;
    return true;
}

template <class F>
APIRET guarded(APIRET fallback, F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

// The handle the package entry receives: this library's own dlopen handle (or the program's,
// when the library is linked in statically). Taken once and kept for the life of the process.
void* own_module_handle() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&own_module_handle), &info) && info.dli_fname)
        if (void* h = ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) return h;
    return ::dlopen(nullptr, RTLD_LAZY);
}

}  // namespace

bool find_registration(int kind, const char* name, const char* module, FoundRegistration* out) {
    if (!name || kind < 0 || kind > 2) return false;
    if (no_module(module)) {
        if (Registration** link = find_local_link(kind, name, nullptr)) {
            out->local = *link;
            out->entry = (*link)->entry;
            std::memcpy(out->user, (*link)->user, sizeof out->user);
            return true;
        }
        module = nullptr;
    }
    if (!area_is_open()) return false;
    GlobalRecord rec;
    if (!area_find(kind, name, module, &rec)) return false;
    out->local = nullptr;
    out->entry = nullptr;
    out->module = std::move(rec.module);
    out->procedure = std::move(rec.procedure);
    std::memcpy(out->user, rec.user, sizeof out->user);
    return true;
}

bool resolve_function(const char* name, FunctionTarget* out) {
    FoundRegistration found;
    bool ok;
    try {
        ok = find_registration(kRegFunction, name, nullptr, &found);
    } catch (const std::bad_alloc&) {
        memory_full(2201, kPoolGlobalScb);
    }
    if (!ok) return false;
    if (!found.dll()) {
        out->entry = reinterpret_cast<RexxFunctionHandler*>(found.entry);
        return true;
    }
    void* symbol = nullptr;
    switch (load_procedure(found.module, found.procedure, &out->module, &symbol)) {
        case Load::kNoModule:
            error(97);
        case Load::kNoProcedure:
            error(96);
        case Load::kOk:
            break;
    }
    out->entry = reinterpret_cast<RexxFunctionHandler*>(symbol);
    return true;
}

int resolve_subcom(const char* environment, const char* module, SubcomTarget* out) {
    try {
        FoundRegistration found;
        if (!find_registration(kRegSubcom, environment, module, &found)) return RXSUBCOM_NOTREG;
        std::memcpy(out->user, found.user, sizeof out->user);
        if (!found.dll()) {
            out->entry = reinterpret_cast<RexxSubcomHandler*>(found.entry);
            return RXSUBCOM_OK;
        }
        out->module_name = found.module;
        void* symbol = nullptr;
        switch (load_procedure(found.module, found.procedure, &out->module, &symbol)) {
            case Load::kNoModule:
                return RXSUBCOM_LOADERR;
            case Load::kNoProcedure:
                return RXSUBCOM_NOPROC;
            case Load::kOk:
                break;
        }
        out->entry = reinterpret_cast<RexxSubcomHandler*>(symbol);
        return RXSUBCOM_OK;
    } catch (const std::bad_alloc&) {
        return RXSUBCOM_NOEMEM;
    }
}

void release_thread_registrations(TaskEntry* entry) {
    for (int kind = 0; kind < 3; ++kind) {
        Registration** head = list_head(entry, kind);
        while (Registration* rec = *head) {
            *head = rec->next;
            release_record(rec, entry);
        }
    }
}

bool open_global_registry() {
    return area_open(g_lib.global_scbs != 0);
}

void close_global_registry() {
    area_close();
}

void build_exit_table(ExecInstance* inst, PRXSYSEXIT exits) {
    for (ExitSlot& slot : inst->exits) slot = ExitSlot{};
    for (PRXSYSEXIT e = exits; e && e->sysexit_code != RXENDLST; ++e) {
        if (e->sysexit_code < 0 || e->sysexit_code >= kExitSlots || !e->sysexit_name) continue;
        // Only an EXE registration has an entry point to call; a DLL exit stays inactive, so
        // the global area need not be searched.
        if (Registration** link = find_local_link(kRegExit, e->sysexit_name, nullptr)) {
            Registration* rec = *link;
            inst->exits[e->sysexit_code].handler = reinterpret_cast<ExitEntry>(rec->entry);
            inst->exits[e->sysexit_code].registration = rec;
        }
    }
}

bool register_function_package() {
    platform::Module module = platform::load_module(kPackageModule);
    if (!module.loaded()) return true;
    auto entry = reinterpret_cast<PackageRegisterEntry>(module.symbol(kPackageEntry));
    if (!entry) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "TPX608: Can't find %s entry point in %s External Functions package.",
                      kPackageEntry, kPackageModule);
        platform::message_box(kTitle, text);
        return false;
    }
    static void* const self = own_module_handle();
    bool ok = entry(self) == 0;
    // The package's functions point into the module: it stays loaded until the process ends.
    module.release();
    return ok;
}

}  // namespace ketra

using namespace ketra;

extern "C" {

KETRA_EXPORT APIRET APIENTRY RegisterExeScb(PCSZ name, PFN entry, PUCHAR user, ULONG kind) {
    if (!name || !entry || kind > 2) return RXSUBCOM_BADTYPE;
    if (!ensure_library_started()) return RXSUBCOM_NOEMEM;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOEMEM,
                   [&] { return register_exe(name, entry, user, static_cast<int>(kind)); });
}

KETRA_EXPORT APIRET APIENTRY RegisterDllScb(PCSZ name, PCSZ module, PCSZ procedure, PUCHAR user,
                                            ULONG drop_auth, ULONG kind) {
    if (!name || !module || !procedure || kind > 2) return RXSUBCOM_BADTYPE;
    if (!ensure_library_started()) return RXSUBCOM_NOEMEM;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOEMEM, [&] {
        return register_dll(name, module, procedure, user, static_cast<std::uint32_t>(drop_auth),
                            static_cast<int>(kind));
    });
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterSubcomDll(PCSZ name, PCSZ module, PCSZ procedure,
                                                   PUCHAR user, ULONG drop_auth) {
    return RegisterDllScb(name, module, procedure, user, drop_auth, kRegSubcom);
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterSubcomExe(PCSZ name, PFN entry, PUCHAR user) {
    return RegisterExeScb(name, entry, user, kRegSubcom);
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterExitDll(PCSZ name, PCSZ module, PCSZ procedure,
                                                 PUCHAR user, ULONG drop_auth) {
    return RegisterDllScb(name, module, procedure, user, drop_auth, kRegExit);
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterExitExe(PCSZ name, PFN entry, PUCHAR user) {
    return RegisterExeScb(name, entry, user, kRegExit);
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterFunctionDll(PCSZ name, PCSZ module, PCSZ procedure) {
    APIRET rc = RegisterDllScb(name, module, procedure, nullptr, 0, kRegFunction);
    return rc == RXSUBCOM_NOEMEM ? RXFUNC_NOMEM : rc;
}

KETRA_EXPORT APIRET APIENTRY RexxRegisterFunctionExe(PCSZ name, PFN entry) {
    APIRET rc = RegisterExeScb(name, entry, nullptr, kRegFunction);
    return rc == RXSUBCOM_NOEMEM ? RXFUNC_NOMEM : rc;
}

KETRA_EXPORT APIRET APIENTRY RexxDeregisterSubcom(PCSZ name, PCSZ module) {
    if (!name || !ensure_library_started()) return RXSUBCOM_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOTREG, [&] { return deregister(kRegSubcom, name, module); });
}

KETRA_EXPORT APIRET APIENTRY RexxDeregisterExit(PCSZ name, PCSZ module) {
    if (!name || !ensure_library_started()) return RXEXIT_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXEXIT_NOTREG, [&] { return deregister(kRegExit, name, module); });
}

KETRA_EXPORT APIRET APIENTRY RexxDeregisterFunction(PCSZ name) {
    if (!name || !ensure_library_started()) return RXFUNC_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXFUNC_NOTREG, [&] { return deregister(kRegFunction, name, nullptr); });
}

KETRA_EXPORT APIRET APIENTRY RexxQuerySubcom(PCSZ name, PCSZ module, PUSHORT flag, PUCHAR user) {
    if (flag) *flag = 0;
    if (!name || !ensure_library_started()) return RXSUBCOM_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOTREG, [&] { return query(kRegSubcom, name, module, flag, user); });
}

KETRA_EXPORT APIRET APIENTRY RexxQueryExit(PCSZ name, PCSZ module, PUSHORT flag, PUCHAR user) {
    if (flag) *flag = 0;
    if (!name || !ensure_library_started()) return RXEXIT_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXEXIT_NOTREG, [&] { return query(kRegExit, name, module, flag, user); });
}

KETRA_EXPORT APIRET APIENTRY RexxQueryFunction(PCSZ name) {
    if (!name || !ensure_library_started()) return RXFUNC_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXFUNC_NOTREG, [&]() -> APIRET {
        FoundRegistration found;
        return find_registration(kRegFunction, name, nullptr, &found) ? RXFUNC_OK : RXFUNC_NOTREG;
    });
}

KETRA_EXPORT APIRET APIENTRY RexxLoadSubcom(PCSZ name, PCSZ module) {
    if (!name || !ensure_library_started()) return RXSUBCOM_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOEMEM, [&]() -> APIRET {
        SubcomTarget target;
        return static_cast<APIRET>(resolve_subcom(name, module, &target));
    });
}

KETRA_EXPORT APIRET APIENTRY RexxExecuteSubcom(PCSZ name, PCSZ module, PRXSTRING command,
                                               PUSHORT flags, PUSHORT retc, PRXSTRING result) {
    if (!name || !ensure_library_started()) return RXSUBCOM_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXSUBCOM_NOEMEM, [&]() -> APIRET {
        SubcomTarget target;
        if (int rc = resolve_subcom(name, module, &target)) return static_cast<APIRET>(rc);
        APIRET handler_rc;
        {
            HostCall call;
            handler_rc = target.entry(command, flags, result);
        }
        long long number = 0;
        USHORT code = static_cast<USHORT>(handler_rc);
        if (handler_rc == 0 && whole_number(result, &number)) code = static_cast<USHORT>(number);
        if (retc) *retc = code;
        return RXSUBCOM_OK;
    });
}

KETRA_EXPORT APIRET APIENTRY RexxCallFunction(PCSZ name, ULONG argc, PRXSTRING args, PUSHORT retc,
                                              PRXSTRING result, PCSZ queue) {
    if (!name || !ensure_library_started()) return RXFUNC_NOTREG;
    platform::ApiLockGuard lock;
    return guarded(RXFUNC_NOMEM, [&]() -> APIRET {
        FoundRegistration found;
        if (!find_registration(kRegFunction, name, nullptr, &found)) return RXFUNC_NOTREG;
        platform::Module module;
        void* symbol = reinterpret_cast<void*>(found.entry);
        if (found.dll()) {
            switch (load_procedure(found.module, found.procedure, &module, &symbol)) {
                case Load::kNoModule:
                    return RXFUNC_MODNOTFND;
                case Load::kNoProcedure:
                    return RXFUNC_ENTNOTFND;
                case Load::kOk:
                    break;
            }
        }
        auto* fn = reinterpret_cast<RexxFunctionHandler*>(symbol);
        APIRET rc;
        {
            HostCall call;
            rc = fn(reinterpret_cast<PUCHAR>(const_cast<char*>(name)), argc, args,
                    const_cast<PSZ>(queue), result);
        }
        if (retc) *retc = static_cast<USHORT>(rc);
        return RXFUNC_OK;
    });
}

}  // extern "C"
