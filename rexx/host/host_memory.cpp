// Memory handed to hosts (results, variable values) and taken back from them.
#include "platform/memory.h"
#include "rexxsaa.h"

extern "C" {

KETRA_EXPORT PVOID APIENTRY RexxAllocateMemory(ULONG size) {
    return ketra::platform::global_alloc(size ? size : 1, false);
}

KETRA_EXPORT APIRET APIENTRY RexxFreeMemory(PVOID block) {
    ketra::platform::global_free(block);
    return 0;
}

}  // extern "C"
