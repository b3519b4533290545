// The function package's internal interface: the table of functions it registers, and the
// result helper that hands a value back to the REXX library in the caller's buffer or in a
// block of the library's own allocator.
#pragma once

#include <cstddef>

#include "rexxsaa.h"

namespace pomfunc {

// One function of the package: the name REXX programs call, and the exported symbol the
// library looks up in this module when the function is called.
struct FunctionEntry {
    const char* name;
    const char* procedure;
};

// Every function the package registers.
const FunctionEntry* package_functions(std::size_t* count);

// The library's RexxAllocateMemory, found through the module handle at registration; null
// before that (plain malloc is used then: the library's blocks are malloc-compatible).
using AllocateMemory = PVOID APIENTRY (*)(ULONG);
void set_allocator(AllocateMemory allocate);

// Stores text as the function's result: in the caller's buffer when it fits, else in a new
// block the library releases. False when no memory could be had.
bool set_result(PRXSTRING result, const char* text, std::size_t length);

}  // namespace pomfunc
