// Host memory blocks: the plain heap behind the blocks the REXX library hands to host programs
// (results, variable values) and the "global" and "local" memory services of the setup program.
// Every block is an ordinary malloc block, so free() works on it as well as global_free().
#pragma once

#include <cstddef>

namespace ketra::platform {

// A block of at least size bytes (a size of 0 still gives a distinct 1-byte block), zero-filled
// when zero is true. Null when the heap is exhausted; the caller reports that.
void* global_alloc(std::size_t size, bool zero = false);
// Grows or shrinks a block from global_alloc (a null block allocates); null on exhaustion, and
// then the old block is left as it was.
void* global_realloc(void* block, std::size_t size);
// Releases a block from global_alloc or global_realloc; null is ignored.
void global_free(void* block);

// The "local heap" of a module: the same heap, kept apart in name so that callers say which
// service they use.
inline void* local_alloc(std::size_t size, bool zero = false) {
    return global_alloc(size, zero);
}
inline void local_free(void* block) {
    global_free(block);
}

}  // namespace ketra::platform
