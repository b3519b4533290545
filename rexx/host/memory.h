// Working memory of the REXX library: the general-purpose allocation routines with their
// memory-full reports, and the names of the pools those reports speak of.
#pragma once

#include <cstddef>

namespace ketra {

// Pool indices used by memory-full reports; the pool is only a label for the report.
enum Pool : int {
    kPoolObjectCode = 0,
    kPoolLiteral = 1,
    kPoolSymbol = 2,
    kPoolString = 3,
    kPoolIsa = 4,
    kPoolLabel = 5,
    kPoolOperatingSystem = 6,
    kPoolStatementTable = 7,
    kPoolEms = 8,
    kPoolSourceCode = 9,
    kPoolStack = 10,
    kPoolVirtualStack = 11,
    kPoolEnvironment = 12,
    kPoolImplementationLimit = 13,
    kPoolGlobalScb = 14,
    kPoolMacroSpace = 15,
    kPoolCount = 16
};

// The report text of a pool ("ISA", "source code", ...); an index out of range gives "".
const char* pool_name(int pool);

// A block from the general-purpose heap. Never returns null: exhaustion writes the report
// ("%u bytes requested" under developer debug, then "Memory full: ISA") and raises error 5.
void* allocate(std::size_t size);
// As allocate, zero-filled.
void* allocate_zeroed(std::size_t size);
// A zero-filled block, or null when it cannot be had (no report): for callers that answer
// exhaustion with a return code of their own.
void* try_allocate_zeroed(std::size_t size);
// Grows or shrinks a block from allocate; exhaustion is reported as for allocate.
void* reallocate(void* block, std::size_t size);
// Releases a block from allocate; a null block is internal error 3.
void release(void* block);
// Releases a block from allocate; a null block is ignored.
void release_if(void* block);
// A new NUL-terminated copy of length characters (the block holds length + 1 bytes).
char* copy_string(const char* text, std::size_t length);
// A new copy of a NUL-terminated text.
char* copy_string(const char* text);

}  // namespace ketra

namespace ketra {

// A standard allocator over `allocate`, so that containers of the library report exhaustion
// as REXX error 5 instead of throwing std::bad_alloc.
template <class T>
struct RexxAllocator {
    using value_type = T;
    RexxAllocator() noexcept = default;
    template <class U>
    RexxAllocator(const RexxAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(::ketra::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { ::ketra::release_if(p); }
    template <class U>
    bool operator==(const RexxAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace ketra
