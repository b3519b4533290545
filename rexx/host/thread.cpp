// RexxThread: attaching a thread to the library and detaching it with its registrations.
#include "platform/lock.h"
#include "rexx/host/console.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

using namespace ketra;

extern "C" KETRA_EXPORT LONG APIENTRY RexxThread(LONG thread_id, LONG attach) {
    bool started = ensure_library_started();
    platform::ApiLockGuard lock;
    long tid = current_thread_id();
    if (thread_id != tid) return -1;
    if (attach) {
        if (!started || !g_lib.initialized) return -2;
        if (find_task(tid)) return -3;
        return find_or_create_task(tid) ? 0 : -1;
    }
    TaskEntry* entry = find_task(tid);
    if (!entry) return -1;
    release_task(entry);
    // The special commands are built into the library here: there is no module of them to release.
    if (!g_lib.tasks) close_io_window();
    return 0;
}
