// The session queue: a doubly linked ring of entries around one head record, and the SAA
// queue interface over it (only "SESSION" exists; named queues cannot be created).
#include "rexx/host/queue.h"

#include <strings.h>
#include <cstring>

#include "platform/lock.h"
#include "rexx/host/error.h"
#include "rexx/host/memory.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

namespace {

struct QueueEntry {
    QueueEntry* next;
    QueueEntry* prev;
    Value line;  // owns its characters
};

struct SessionQueue {
    QueueEntry head;  // the ring's head record; head.next is the first entry
    std::uint32_t count;
    bool ready;
};

constinit SessionQueue g_queue{};

void ensure_ready() {
    if (g_queue.ready) return;
    g_queue.head.next = g_queue.head.prev = &g_queue.head;
    g_queue.ready = true;
}

void link(QueueEntry* e, bool lifo) {
    ensure_ready();
    QueueEntry* h = &g_queue.head;
    if (lifo) {
        e->prev = h;
        e->next = h->next;
    } else {
        e->next = h;
        e->prev = h->prev;
    }
    e->prev->next = e;
    e->next->prev = e;
    ++g_queue.count;
}

QueueEntry* new_entry() {
    auto* e = static_cast<QueueEntry*>(try_allocate_zeroed(sizeof(QueueEntry)));
    if (!e) error(48);
    return e;
}

bool is_session(const char* name) {
    return name && strcasecmp(name, "SESSION") == 0;
}

}  // namespace

void queue_add_chars(const char* text, std::size_t length, bool lifo) {
    QueueEntry* e = new_entry();
    e->line = kNullString;
    if (length > kInlineMax) {
        char* p = static_cast<char*>(try_allocate_zeroed(length + 1));
        if (!p) {
            release(static_cast<void*>(e));
            error(48);
        }
        std::memcpy(p, text, length);
        e->line.length = static_cast<std::uint32_t>(length);
        e->line.data.ptr = p;
        e->line.flags = kOwned;
    } else {
        e->line.length = static_cast<std::uint32_t>(length);
        if (length) std::memcpy(e->line.data.chars, text, length);
    }
    link(e, lifo);
}

void queue_add(const Value& line, bool lifo) {
    NumberBuffer nb;
    std::string_view s = view_of(line, nb);
    queue_add_chars(s.data(), s.size(), lifo);
}

bool queue_pull(Value& out) {
    ensure_ready();
    QueueEntry* e = g_queue.head.next;
    if (e == &g_queue.head) return false;
    e->prev->next = e->next;
    e->next->prev = e->prev;
    --g_queue.count;
    out = e->line;
    release(static_cast<void*>(e));
    return true;
}

std::uint32_t queue_count() {
    return g_queue.count;
}

void queue_clear() {
    Value v;
    while (queue_pull(v)) release(v);
}

}  // namespace ketra

using namespace ketra;

extern "C" {

KETRA_EXPORT APIRET APIENTRY RexxCreateQueue(PSZ) {
    return 4;
}

KETRA_EXPORT APIRET APIENTRY RexxDeleteQueue(PCSZ) {
    return 5;
}

KETRA_EXPORT APIRET APIENTRY RexxQueryQueue(PCSZ, PULONG count) {
    platform::ApiLockGuard lock;
    if (count) *count = queue_count();
    return 0;
}

KETRA_EXPORT APIRET APIENTRY RexxAddQueue(PCSZ name, PRXSTRING data, ULONG flag) {
    if (!is_session(name)) return 2;
    platform::ApiLockGuard lock;
    const char* p = data && data->strptr ? data->strptr : "";
    std::size_t n = data && data->strptr ? data->strlength : 0;
    try {
        InnerRecovery recovery;
        queue_add_chars(p, n, flag != 0);
    } catch (const RexxUnwind&) {
        return 1002;
    }
    return 0;
}

KETRA_EXPORT APIRET APIENTRY RexxPullQueue(PCSZ name, PRXSTRING data) {
    if (!is_session(name)) return 2;
    if (!data) return 1003;
    platform::ApiLockGuard lock;
    Value v = kNullString;
    queue_pull(v);
    NumberBuffer nb;
    std::string_view s = view_of(v, nb);
    std::size_t n = s.size() < data->strlength ? s.size() : data->strlength;
    if (n && data->strptr) std::memcpy(data->strptr, s.data(), n);
    data->strlength = data->strptr ? static_cast<ULONG>(n) : 0;
    release(v);
    return 0;
}

}  // extern "C"
