// The library's life: start on first use (the process-attach work), end at process exit, the
// task table of threads that use the interface, and the run clean-up list.
#include <cstdlib>
#include <mutex>

#include <sys/syscall.h>
#include <unistd.h>

#include "rexx/host/memory.h"
#include "rexx/host/options.h"
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"

namespace ketra {

constinit LibraryState g_lib{};

long current_thread_id() { return static_cast<long>(::syscall(SYS_gettid)); }

TaskEntry* find_task(long thread_id) {
    for (TaskEntry* e = g_lib.tasks; e; e = e->next)
        if (e->thread_id == thread_id) return e;
    return nullptr;
}

TaskEntry* find_or_create_task(long thread_id) {
    if (TaskEntry* e = find_task(thread_id)) return e;
    auto* e = static_cast<TaskEntry*>(try_allocate_zeroed(sizeof(TaskEntry)));
    if (!e) return nullptr;
    e->thread_id = thread_id;
    e->next = g_lib.tasks;
    g_lib.tasks = e;
    return e;
}

void release_task(TaskEntry* entry) {
    for (TaskEntry** p = &g_lib.tasks; *p; p = &(*p)->next) {
        if (*p == entry) {
            *p = entry->next;
            release_thread_registrations(entry);
            release_if(entry);
            return;
        }
    }
}

void add_cleanup(ExecInstance* inst, void (*release_fn)(void*), void* item) {
    auto* c = static_cast<Cleanup*>(allocate(sizeof(Cleanup)));
    c->release = release_fn;
    c->item = item;
    c->next = inst->cleanups;
    inst->cleanups = c;
}

namespace {

bool start_library() {
    // The ApiLock is a function-local static of the platform layer: it exists once used.
    g_lib.use_os_console = read_option("", "UseOSConsole", 0) != 0;
    g_lib.global_scbs = read_option("", "GlobalSCBs", 1);
    if (!start_services()) return false;
    g_lib.initialized = true;
    std::atexit(library_end);
    return true;
}

}  // namespace

bool ensure_library_started() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = start_library(); });
    return started;
}

void library_end() {
    if (!g_lib.initialized) return;
    end_services();
    g_lib.initialized = false;
}

}  // namespace ketra
