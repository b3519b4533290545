// The REXX I/O window: the binding to the console library "Pomcon" (loaded once per process),
// the creation of the window for a run, window writes and reads, the process's own standard
// input and output in its place when the UseOSConsole option is set, and the exports
// RexxStdOutput and RexxStdInput.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/lock.h"
#include "platform/module.h"
#include "platform/notify.h"
#include "platform/std_streams.h"
#include "rexx/host/console.h"
#include "rexx/host/hooks.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/options.h"
#include "rexx/host/registration.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

using CreateEntry = void* (*)(const char* title, unsigned long style, int x, int y, int width,
                              int height, void* parent, void* module, void* param);
using PutsEntry = void (*)(const char* text, unsigned long length, int flag);
using GetsEntry = long (*)(void* owner, char* buffer, unsigned long size);
using CloseEntry = void (*)(void* window);

constexpr unsigned long kStyleOverlappedWindow = 0x00CF0000UL;
constexpr unsigned long kStyleChild = 0x40000000UL;
constexpr unsigned long kStyleVisible = 0x10000000UL;
constexpr int kUseDefault = static_cast<int>(0x80000000U);
constexpr long kBreak = platform::kReadBreak;

// The binding and the newest window. Plain data without a destructor: output may still be
// written while the process ends, and the library is released explicitly at library end.
struct ConsoleLibrary {
    void* handle;
    CreateEntry create;
    PutsEntry puts;
    GetsEntry gets;
    CloseEntry close;  // optional: the window's answer to a close message
    void* window;
    bool bound;
    bool ended;  // released at library end: nothing is loaded again
};
constinit ConsoleLibrary g_console{};

void* own_module_handle() {
    static void* const self = [] {
        Dl_info info;
        if (::dladdr(reinterpret_cast<void*>(&own_module_handle), &info) && info.dli_fname)
            return ::dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
        return static_cast<void*>(nullptr);
    }();
    return self;
}

bool bind_console_library() {
    if (g_console.bound) return true;
    if (g_console.ended) return false;
    platform::Module module = platform::load_module("Pomcon.dll");
    if (!module) return false;
    auto create = reinterpret_cast<CreateEntry>(module.symbol("CreateRxWindow"));
    auto puts = reinterpret_cast<PutsEntry>(module.symbol("RxWinPuts"));
    auto gets = reinterpret_cast<GetsEntry>(module.symbol("RxWinGets"));
    if (!create || !puts || !gets) return false;  // the module is released here
    g_console.create = create;
    g_console.puts = puts;
    g_console.gets = gets;
    g_console.close = reinterpret_cast<CloseEntry>(module.symbol("RxWinClose"));
    g_console.handle = module.release();
    g_console.bound = true;
    return true;
}

// Opens the I/O window for an owner window (null: none); false when it cannot be.
bool open_io_window(void* owner) {
    if (g_lib.use_os_console) return true;
    // After the library end (a host's own exit handler still writing) there is no window to
    // make, and no box to show about it.
    if (g_console.ended) return false;
    void* window = nullptr;
    if (bind_console_library()) {
        if (read_option("", "ChildWindow", 0) != 0) {
            // A child filling the owner's client area; without an owner there is none to fill.
            window = g_console.create("REXX I/O Window", kStyleChild | kStyleVisible, 0, 0, 0, 0,
                                      owner, own_module_handle(), nullptr);
        } else {
            window = g_console.create("REXX I/O", kStyleOverlappedWindow, kUseDefault, kUseDefault,
                                      400, 200, owner, own_module_handle(), nullptr);
        }
    }
    if (!window) {
        platform::message_box("Corvane REXX",
                              "TPX606: Unable to create REXX Input/Output Window\nUnable to "
                              "Execute.");
        return false;
    }
    g_console.window = window;
    return true;
}

}  // namespace

bool create_io_window() {
    ExecInstance* inst = g_lib.current;
    return open_io_window(inst ? inst->owner_window : nullptr);
}

void write_io_window(const char* text, unsigned long length, int flag) {
    if (length == 0) return;
    if (g_lib.use_os_console) {
        platform::write_text(STDOUT_FILENO, text, length);
        return;
    }
    if (!g_console.bound) {
        ExecInstance* inst = g_lib.current;
        if (!open_io_window(inst ? inst->owner_window : nullptr)) return;
    }
    g_console.puts(text, length, flag);
}

long read_io_window(void* owner, char* buffer, unsigned long size) {
    if (size == 0) return 0;
    long n;
    if (g_lib.use_os_console) {
        HostCall call;
        n = platform::read_input(STDIN_FILENO, buffer, size);
    } else {
        if (!g_console.bound && !open_io_window(owner)) return 0;
        GetsEntry gets = g_console.gets;
        HostCall call;
        n = gets(owner, buffer, size);
    }
    // A break halts the run in progress; without one (a host reading between runs) there is
    // nothing to halt, and a flag left set would halt the host's next run at its first poll.
    if (n == kBreak && g_lib.current) {
        g_lib.halt_raised = true;
        // The flag alone would be cleared by the next check that does not poll; the request
        // waits for the next poll, as one from RexxSetHalt does.
        request_interrupt();
    }
    return n;
}

int halt_write_flag() {
    return g_lib.halt_raised ? 1 : 0;
}

void close_io_window() {
    void* window = std::exchange(g_console.window, nullptr);
    if (window && g_console.close) g_console.close(window);
}

void release_console_library() {
    close_io_window();
    // The entries are given up but the module stays mapped: the library ends while the process
    // exits, when another host thread may still wait in RxWinGets, outside the ApiLock, and
    // unmapping the code under it would crash the exit. The process end releases it anyway.
    g_console = ConsoleLibrary{};
    g_console.ended = true;
}

}  // namespace ketra

using namespace ketra;

extern "C" KETRA_EXPORT APIRET APIENTRY RexxStdOutput(PCSZ text) {
    if (!ensure_library_started()) return 1;
    platform::ApiLockGuard lock;
    const char* t = text ? text : "";
    // An exit failure cannot raise an error through the caller's code: it is the result.
    return say_text(g_lib.current, t, std::strlen(t)) ? 0 : 48;
}

extern "C" KETRA_EXPORT LONG APIENTRY RexxStdInput(PSZ buffer, ULONG size) {
    if (!buffer || size == 0) return 0;
    if (!ensure_library_started()) return 0;
    platform::ApiLockGuard lock;
    ExecInstance* inst = g_lib.current;
    if (inst && inst->exits[RXSIO].handler) {
        RXSIOTRD_PARM parm;
        parm.rxsiotrd_retc.strptr = buffer;
        parm.rxsiotrd_retc.strlength = size;
        ExitEntry handler = inst->exits[RXSIO].handler;
        LONG rc;
        {
            HostCall call;
            rc = handler(RXSIO, RXSIOTRD, reinterpret_cast<PEXIT>(&parm));
        }
        if (rc == RXEXIT_RAISE_ERROR) return -1;
        if (rc == RXEXIT_HANDLED) {
            const RXSTRING& r = parm.rxsiotrd_retc;
            // A line handed back in the exit's own block is copied into the caller's buffer.
            if (r.strptr && r.strptr != buffer) {
                ULONG n = r.strlength < size ? r.strlength : size;
                std::memcpy(buffer, r.strptr, n);
                if (n < size) buffer[n] = '\0';
                RexxFreeMemory(r.strptr);
            } else if (r.strptr && r.strlength < size) {
                buffer[r.strlength] = '\0';
            }
            return 0;
        }
    }
    return read_io_window(inst ? inst->owner_window : nullptr, buffer, size);
}
