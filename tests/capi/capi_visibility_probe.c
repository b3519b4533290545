/* Probe for the export marker: defined in a library built with hidden visibility, this
   entry must still appear in the dynamic symbol table (capi_visibility test). */
#include <rexxsaa.h>

APIRET APIENTRY RexxClearMacroSpace(void) {
    return RXMACRO_OK;
}

/* Not marked, so it must stay hidden. */
int capi_hidden_probe(void);
int capi_hidden_probe(void) {
    return 1;
}
