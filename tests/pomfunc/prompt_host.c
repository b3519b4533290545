/* A host that runs a program file as a command with the argument prompt left on: the arguments
   after the program name are joined by blanks into one argument, and none are passed when there
   are none (ketra itself never prompts). */
#include <stdio.h>
#include <string.h>

#include "rexxsaa.h"

int main(int argc, char** argv) {
    char joined[4096] = "";
    size_t used = 0;
    RXSTRING arg;
    RXSTRING result;
    SHORT retc = 0;
    LONG rc;
    int i;
    if (argc < 2) {
        fprintf(stderr, "usage: prompt_host program [arguments...]\n");
        return 2;
    }
    for (i = 2; i < argc; ++i) {
        size_t n = strlen(argv[i]);
        if (used + n + 2 > sizeof joined) return 2;
        if (i > 2) joined[used++] = ' ';
        memcpy(joined + used, argv[i], n);
        used += n;
    }
    MAKERXSTRING(arg, joined, used);
    MAKERXSTRING(result, NULL, 0);
    rc = RexxStart(argc > 2 ? 1 : 0, argc > 2 ? &arg : NULL, argv[1], NULL, "CMD", RXCOMMAND, NULL,
                   &retc, &result);
    if (result.strptr) RexxFreeMemory(result.strptr);
    return rc < 0 ? (int)-rc : retc & 0xff;
}
