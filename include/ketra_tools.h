/* Entries of libketra.so for the ketra command's own tools. Not part of the SAA interface. */
#ifndef KETRA_TOOLS_H
#define KETRA_TOOLS_H

#include "rexxsaa.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Translates the program file (without running it and without storing object code behind it)
   and writes its listing to fd_out. Returns 0 on success, the number of the REXX error that
   ended the translation (its message has been written the usual way), or -1 when the file
   cannot be read and -2 when the listing cannot be written. */
KETRA_EXPORT int KetraDisassemble(const char* program, int fd_out);

#ifdef __cplusplus
}
#endif

#endif
