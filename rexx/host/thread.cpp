// RexxThread: attaching a thread to the library and detaching it with its registrations.
#include "platform/lock.h"
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
    // The I/O window and the special command handlers' module belong to the terminal and the
    // process on this platform, so detaching the last thread leaves them be.
    release_task(entry);
    return 0;
}
