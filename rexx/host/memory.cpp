// The allocation routines of the library and the pool names of its memory-full reports.
#include "rexx/host/memory.h"

#include <cstdlib>
#include <cstring>

#include "rexx/host/error.h"
#include "rexx/host/testing_hooks.h"
#include "rexx/host/session.h"

namespace ketra {

namespace {

constexpr const char* kPoolNames[kPoolCount] = {
    "object code",    "literal", "symbol",       "string",        "ISA",
    "label",          "operating system",        "statement table", "EMS",
    "source code",    "stack",   "virtual stack", "environment",  "implementation limit",
    "Global SCB Memory", "MacroSpace Memory"};

// Fault injection for tests: the number of allocations that may still succeed (-1: no limit).
constinit long g_allowed = -1;

bool injected_failure() {
    if (g_allowed < 0) return false;
    if (g_allowed == 0) return true;
    --g_allowed;
    return false;
}

[[noreturn]] void exhausted(std::size_t size) {
    ExecInstance* inst = current_instance();
    if (inst && (inst->debug_flags & kDebugDeveloper))
        message("%u bytes requested", static_cast<unsigned>(size));
    memory_full(8, kPoolIsa);
}

}  // namespace

const char* pool_name(int pool) {
    if (pool < 0 || pool >= kPoolCount) return "";
    return kPoolNames[pool];
}

void* allocate(std::size_t size) {
    void* p = injected_failure() ? nullptr : std::malloc(size ? size : 1);
    if (!p) exhausted(size);
    return p;
}

void* allocate_zeroed(std::size_t size) {
    void* p = injected_failure() ? nullptr : std::calloc(1, size ? size : 1);
    if (!p) exhausted(size);
    return p;
}

void* try_allocate_zeroed(std::size_t size) {
    return injected_failure() ? nullptr : std::calloc(1, size ? size : 1);
}

void* reallocate(void* block, std::size_t size) {
    void* p = injected_failure() ? nullptr : std::realloc(block, size ? size : 1);
    if (!p) exhausted(size);
    return p;
}

void release(void* block) {
    if (!block) internal_error(3);
    std::free(block);
}

void release_if(void* block) { std::free(block); }

char* copy_string(const char* text, std::size_t length) {
    char* p = static_cast<char*>(allocate(length + 1));
    if (length) std::memcpy(p, text, length);
    p[length] = '\0';
    return p;
}

char* copy_string(const char* text) { return copy_string(text, std::strlen(text)); }

namespace testing {

void fail_allocations_after(long n) { g_allowed = n; }

namespace {
constinit RunObserver g_observer = nullptr;
constinit void* g_observer_context = nullptr;
}  // namespace

void set_run_observer(RunObserver observer, void* context) {
    g_observer = observer;
    g_observer_context = context;
}

void notify_run_observer(ExecInstance* inst) {
    if (g_observer) g_observer(inst, g_observer_context);
}

}  // namespace testing

}  // namespace ketra
