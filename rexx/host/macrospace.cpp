// The macro-space functions of the interface: accepted, never stored, always successful.
#include "rexxsaa.h"

extern "C" {

KETRA_EXPORT APIRET APIENTRY RexxAddMacro(PCSZ, PCSZ, ULONG) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxDropMacro(PCSZ) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxSaveMacroSpace(ULONG, PCSZ*, PCSZ) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxLoadMacroSpace(ULONG, PCSZ*, PCSZ) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxQueryMacro(PCSZ, PUSHORT) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxReorderMacro(PCSZ, ULONG) { return RXMACRO_OK; }
KETRA_EXPORT APIRET APIENTRY RexxClearMacroSpace(void) { return RXMACRO_OK; }

}  // extern "C"
