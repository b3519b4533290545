// Running a program: RexxStart, the simplified Rexx, and the common start routine that reads
// the options, takes the leading "/" arguments, loads the source, translates and runs it, hands
// back the result, and releases everything the run made however it ended.
#include <cstring>
#include <optional>

#include <unistd.h>

#include "platform/lock.h"
#include "platform/memory.h"
#include "platform/notify.h"
#include "rexx/host/console.h"
#include "rexx/host/error.h"
#include "rexx/host/hooks.h"
#include "rexx/host/interrupt.h"
#include "rexx/host/memory.h"
#include "rexx/host/options.h"
#include "rexx/host/program.h"
#include "rexx/host/run_values.h"
#include "rexx/host/session.h"
#include "rexx/host/testing_hooks.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

constexpr const char* kTitle = "Corvane REXX";

[[noreturn]] void cannot_lock_task_table() {
    platform::fatal_app_exit(kTitle, "REXXSAA() Can't Lock hTaskTable.");
}

void show_task_failure() {
    platform::message_box(
        kTitle, "TPX601: RexxStart() Unable to Create Task Table Entry for current task.");
}

bool has_prefix(const RXSTRING& s, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    return s.strptr && s.strlength >= n && std::memcmp(s.strptr, prefix, n) == 0;
}

// Applies the options that every run reads.
void apply_options(ExecInstance* inst) {
    RunOptions o = read_run_options();
    inst->mode = kModeInitial;
    if (o.trace_on) inst->mode |= kModeTracePermitted;
    if (o.object_code) inst->mode |= kModeTranslateOnly;
    if (o.dev_debug) inst->debug_flags |= kDebugDeveloper;
    if (o.image16) inst->debug_flags |= kDebugImage16;
    // Zero or negative percentages are not meaningful; they count as the default.
    int percent = o.halt_check_percent >= 1 && o.halt_check_percent <= 0x7fffffff
                      ? static_cast<int>(o.halt_check_percent)
                      : 25;
    inst->halt_reload = 100 / percent;
    inst->halt_countdown = inst->halt_reload;
    inst->bounds_messages = o.bounds_messages != 0;
    if (o.no_arg_prompts) inst->option_flags |= kOptNoArgPrompt;
}

// The environment named by the extension of the program name, "REX" when there is none.
char* environment_from_name(const char* name) {
    const char* base = name;
    if (base[0] && base[1] == ':') base += 2;
    for (const char* p = base; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    const char* dot = std::strrchr(base, '.');
    if (!dot || !dot[1]) return copy_string("REX");
    return copy_string(dot + 1);
}

void release_cleanups(ExecInstance* inst) {
    while (Cleanup* c = inst->cleanups) {
        inst->cleanups = c->next;
        c->release(c->item);
        release(c);
    }
}

void write_bounds_message(const char* format, const char* name) {
    std::size_t n = std::strlen(format) + std::strlen(name) + 1;
    char* text = static_cast<char*>(platform::global_alloc(n, false));
    if (!text) return;
    int len = std::snprintf(text, n, format, name);
    if (len > 0) write_io_window(text, static_cast<unsigned long>(len), kWriteBounds);
    platform::global_free(text);
}

}  // namespace

int internal_rexxsaa(ExecInstance* inst, LONG argc, PRXSTRING argv, PCSZ name, PRXSTRING instore,
                     PCSZ envname, LONG calltype, PRXSYSEXIT exits, PSHORT retc, PRXSTRING result) {
    if (!g_lib.initialized)
        platform::fatal_app_exit(kTitle, "internal_rexxsaa() call while !RxInitialized.");
    if (retc) *retc = 0;
    if (result) {
        result->strptr = nullptr;
        result->strlength = 0;
    }
    if (!name || !*name) return 2650;

    g_lib.current = inst;
    apply_options(inst);
    inst->owner_window = nullptr;
    inst->process_id = static_cast<long>(::getpid());
    inst->thread_id = current_thread_id();
    inst->owner_thread_id = inst->thread_id;
    inst->file_handle = -1;

    auto* frame = static_cast<RunFrame*>(try_allocate_zeroed(sizeof(RunFrame)));
    if (!frame) {
        if (!inst->parent) g_lib.current = nullptr;
        return -5;
    }
    inst->frame = frame;
    frame->call_type = calltype;

    // Leading arguments addressed to the library itself.
    if (argc < 0 || !argv) argc = 0;
    if (inst->mode & kModeTracePermitted) {
        frame->trace_marked = true;
        if (argc > 0 && argv[0].strlength >= 4 && has_prefix(argv[0], "/TR")) {
            if (argv[0].strptr[3] != ' ') inst->trace_letters[0] = argv[0].strptr[3];
            if (argv[0].strlength >= 5 && argv[0].strptr[4] != ' ')
                inst->trace_letters[1] = argv[0].strptr[4];
            ++argv;
            --argc;
        }
    }
    if (argc > 0 && argv[0].strlength >= 2 && has_prefix(argv[0], "/")) {
        char second = argv[0].strptr[1];
        if (second == 'O' || second == 'T') {
            inst->mode |= kModeTranslateOnly;
            ++argv;
            --argc;
        } else if (has_prefix(argv[0], "/NARGS")) {
            inst->option_flags |= kOptNoArgPrompt;
            ++argv;
            --argc;
        }
    }

    // Ctrl-C is a halt request while an outermost run is active (nested runs share it).
    std::optional<InterruptScope> interrupts;
    if (!inst->parent) interrupts.emplace();

    int rc = 0;
    inst->recovery_armed = true;
    inst->run_flags |= kRunRecoveryArmed;
    try {
        make_argument_values(inst, argc, argv);
        build_exit_table(inst, exits);
        inst->exit_list = exits;
        inst->in_store = instore;

        if (instore && instore[0].strptr && instore[0].strlength)
            load_in_store_source(inst, name, instore[0]);
        else
            load_program_file(inst, name);

        if (envname) {
            if (std::strlen(envname) > 250) error(29);
            inst->environment = copy_string(envname);
        } else {
            inst->environment = environment_from_name(inst->program_name);
        }

        if (!inst->exits[RXSIO].handler) {
            if (!create_io_window()) {
                rc = 2626;
                throw RexxUnwind{0};
            }
            inst->io_window = true;
            if (inst->bounds_messages)
                write_bounds_message("\nTPX600: %s beginning execution.\n", inst->program_name);
        }

        bool from_image = false;
        if (instore && take_in_store_image(inst, &instore[1])) from_image = true;
        if (from_image || inst->image_bytes) {
            load_image(inst);
        } else {
            inst->state = kStateTranslating;
            translate_program(inst);
            if (instore && !instore[1].strptr) give_in_store_image(inst, &instore[1]);
        }
        testing::notify_run_observer(inst);
        if (inst->mode & kModeTranslateOnly) {
            if (!instore) store_file_image(inst);
        } else {
            inst->state = kStateExecuting;
            run_program(inst);
            deliver_result(inst, retc, result);
        }
    } catch (const RexxUnwind& u) {
        if (u.number) rc = -u.number;
    }
    inst->recovery_armed = false;
    inst->run_flags &= static_cast<std::uint8_t>(~kRunRecoveryArmed);

    // Clean-up, however the run ended.
    release_cleanups(inst);
    release_run_values(inst);
    if (inst->file_handle >= 0) {
        ::close(inst->file_handle);
        inst->file_handle = -1;
    }
    release_source(inst);
    inst->program.reset();
    if (inst->io_window && !inst->exits[RXSIO].handler && inst->bounds_messages &&
        inst->program_name)
        write_bounds_message("TPX699: %s execution ended.\n", inst->program_name);
    release_if(inst->program_name);
    inst->program_name = nullptr;
    release_if(inst->environment);
    inst->environment = nullptr;
    release_if(inst->frame);
    inst->frame = nullptr;
    if (!inst->parent) {
        close_thread_streams(inst->thread_id);
        g_lib.current = nullptr;
    }
    return rc;
}

}  // namespace ketra

using namespace ketra;

extern "C" KETRA_EXPORT LONG APIENTRY RexxStart(LONG argc, PRXSTRING argv, PCSZ name,
                                                PRXSTRING instore, PCSZ envname, LONG calltype,
                                                PRXSYSEXIT exits, PSHORT retc, PRXSTRING result) {
    if (!ensure_library_started()) return -26;
    platform::ApiLockGuard lock;
    ExecInstance inst{};
    // A nested run clears the activation of the run it is nested in; it is put back after.
    Activation* saved_activation = g_lib.activation;
    g_lib.activation = nullptr;

    long tid = current_thread_id();
    TaskEntry* entry = find_or_create_task(tid);
    if (!entry) {
        show_task_failure();
        return -26;
    }
    ExecInstance* parent = nullptr;
    if (!entry->active) {
        entry->active = 1;
        entry->outermost = &inst;
    } else if (ExecInstance* cur = g_lib.current) {
        // A nested run started from host code that a running program called.
        inst.trace_letters[0] = cur->trace_letters[0];
        inst.trace_letters[1] = cur->trace_letters[1];
        cur->child = &inst;
        inst.parent = cur;
        parent = cur;
        inst.option_flags |= kOptNoArgPrompt;
    }
    if (read_option("", "NoAutoArgPrompt", 0)) inst.option_flags |= kOptNoArgPrompt;

    if (!g_lib.package_loaded && read_option("", "InitTPXternals", 2) == 2) {
        bool ok;
        {
            platform::ApiUnlock unlocked;
            ok = register_function_package();
        }
        if (!ok) {
            if (!parent) entry->active = 0;
            g_lib.activation = saved_activation;
            return -28;
        }
        g_lib.package_loaded = true;
    }

    int rc =
        internal_rexxsaa(&inst, argc, argv, name, instore, envname, calltype, exits, retc, result);
    if (parent) {
        g_lib.current = parent;
        g_lib.activation = saved_activation;
        parent->child = nullptr;
    } else {
        entry = find_task(tid);
        if (!entry) cannot_lock_task_table();
        entry->active = 0;
        entry->outermost = nullptr;
    }
    return rc;
}

extern "C" KETRA_EXPORT LONG APIENTRY Rexx(PCSZ name, PCSZ argstring, PCSZ envname, PFN handler,
                                           PSZ buffer, ULONG buffer_size) {
    if (!ensure_library_started()) return -26;
    bool registered = false;
    if (handler && envname)
        registered = RexxRegisterSubcomExe(envname, handler, nullptr) == RXSUBCOM_OK;

    // Up to 16 blank-separated words become the arguments; further words are dropped.
    constexpr int kMaxArgs = 16;
    RXSTRING args[kMaxArgs];
    int argc = 0;
    char* copy = argstring ? copy_string(argstring) : nullptr;
    for (char* p = copy; p && *p && argc < kMaxArgs;) {
        while (*p == ' ') ++p;
        if (!*p) break;
        char* start = p;
        while (*p && *p != ' ') ++p;
        args[argc].strptr = start;
        args[argc].strlength = static_cast<ULONG>(p - start);
        ++argc;
        if (*p) *p++ = '\0';
    }

    LONG rc;
    SHORT retc = 0;
    RXSTRING result{0, nullptr};
    {
        platform::ApiLockGuard lock;
        long tid = current_thread_id();
        TaskEntry* entry = find_or_create_task(tid);
        if (!entry) {
            show_task_failure();
            release_if(copy);
            return -26;
        }
        if (entry->active) {
            release_if(copy);
            if (registered) RexxDeregisterSubcom(envname, nullptr);
            return -27;
        }
        ExecInstance inst{};
        entry->active = 1;
        entry->outermost = &inst;
        rc = internal_rexxsaa(&inst, argc, args, name, nullptr, envname, RXCOMMAND, nullptr, &retc,
                              &result);
        entry = find_task(tid);
        if (!entry) cannot_lock_task_table();
        entry->active = 0;
        entry->outermost = nullptr;
    }
    release_if(copy);
    if (rc == 0 && result.strptr) {
        if (buffer && buffer_size) {
            ULONG n = result.strlength < buffer_size - 1 ? result.strlength : buffer_size - 1;
            std::memcpy(buffer, result.strptr, n);
            buffer[n] = '\0';
        }
    }
    if (result.strptr) RexxFreeMemory(result.strptr);
    if (registered) RexxDeregisterSubcom(envname, nullptr);
    return rc;
}
