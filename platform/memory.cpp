// Host memory blocks: thin wrappers over malloc/calloc/free so that blocks cross the library
// boundary freely.
#include "platform/memory.h"

#include <cstdlib>

namespace ketra::platform {

void* global_alloc(std::size_t size, bool zero) {
    if (size == 0) size = 1;
    return zero ? std::calloc(1, size) : std::malloc(size);
}

void* global_realloc(void* block, std::size_t size) {
    if (size == 0) size = 1;
    return std::realloc(block, size);
}

void global_free(void* block) {
    std::free(block);
}

}  // namespace ketra::platform
