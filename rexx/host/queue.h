// The session queue: the one external data queue of the process, "SESSION", shared by every
// run. PUSH and QUEUE add lines, PULL and PARSE PULL take them, QUEUED() counts them.
// Reached with the ApiLock held.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rexx/runtime/value.h"

namespace ketra {

// Adds a copy of the string at the head (lifo: PUSH) or at the tail (QUEUE).
void queue_add(const Value& line, bool lifo);
// Adds characters (the host interface).
void queue_add_chars(const char* text, std::size_t length, bool lifo);
// Takes the head entry; false when the queue is empty.
bool queue_pull(Value& out);
// The number of entries.
std::uint32_t queue_count();
// Empties the queue (library end).
void queue_clear();

}  // namespace ketra
