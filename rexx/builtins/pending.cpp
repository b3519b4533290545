// The one list of built-in handlers whose families are not built yet: conversion and formatting,
// DATE and TIME, stream I/O and the system and environment functions. Each writes an internal
// error report naming its function and raises error 49. A family that lands defines its handlers
// in its own file and removes their lines here.
#include "rexx/builtins/handlers.h"
#include "rexx/host/error.h"

namespace ketra {

void builtin_pending(const char* name) {
    message("Internal REXX error: built-in function %s is not available in this build", name);
    error(49);
}

#define KETRA_PENDING(fn, name) \
    void fn(BuiltinCall&) {     \
        builtin_pending(name);  \
    }

// Conversion and formatting.
KETRA_PENDING(bif_b2x, "B2X")
KETRA_PENDING(bif_c2d, "C2D")
KETRA_PENDING(bif_c2x, "C2X")
KETRA_PENDING(bif_d2c, "D2C")
KETRA_PENDING(bif_d2x, "D2X")
KETRA_PENDING(bif_datatype, "DATATYPE")
KETRA_PENDING(bif_format, "FORMAT")
KETRA_PENDING(bif_random, "RANDOM")
KETRA_PENDING(bif_symbol, "SYMBOL")
KETRA_PENDING(bif_trunc, "TRUNC")
KETRA_PENDING(bif_x2b, "X2B")
KETRA_PENDING(bif_x2c, "X2C")
KETRA_PENDING(bif_x2d, "X2D")

// DATE and TIME.
KETRA_PENDING(bif_date, "DATE")
KETRA_PENDING(bif_time, "TIME")
KETRA_PENDING(bif_dateconv, "DATECONV")

// Stream I/O.
KETRA_PENDING(bif_charin, "CHARIN")
KETRA_PENDING(bif_charout, "CHAROUT")
KETRA_PENDING(bif_chars, "CHARS")
KETRA_PENDING(bif_linein, "LINEIN")
KETRA_PENDING(bif_lineout, "LINEOUT")
KETRA_PENDING(bif_lines, "LINES")
KETRA_PENDING(bif_stream, "STREAM")

// System and environment functions.
KETRA_PENDING(bif_beep, "BEEP")
KETRA_PENDING(bif_delay, "DELAY")
KETRA_PENDING(bif_directory, "DIRECTORY")
KETRA_PENDING(bif_doscd, "DOSCD")
KETRA_PENDING(bif_doschdir, "DOSCHDIR")
KETRA_PENDING(bif_doschmod, "DOSCHMOD")
KETRA_PENDING(bif_doscreat, "DOSCREAT")
KETRA_PENDING(bif_dosdel, "DOSDEL")
KETRA_PENDING(bif_dosdir, "DOSDIR")
KETRA_PENDING(bif_dosdirclose, "DOSDIRCLOSE")
KETRA_PENDING(bif_dosdirpos, "DOSDIRPOS")
KETRA_PENDING(bif_dosdisk, "DOSDISK")
KETRA_PENDING(bif_dosdrive, "DOSDRIVE")
KETRA_PENDING(bif_dosenv, "DOSENV")
KETRA_PENDING(bif_dosenvsize, "DOSENVSIZE")
KETRA_PENDING(bif_dosfdate, "DOSFDATE")
KETRA_PENDING(bif_dosfname, "DOSFNAME")
KETRA_PENDING(bif_dosisdev, "DOSISDEV")
KETRA_PENDING(bif_dosisdir, "DOSISDIR")
KETRA_PENDING(bif_dosmkdir, "DOSMKDIR")
KETRA_PENDING(bif_dospathfind, "DOSPATHFIND")
KETRA_PENDING(bif_dospid, "DOSPID")
KETRA_PENDING(bif_dosrename, "DOSRENAME")
KETRA_PENDING(bif_dosrmdir, "DOSRMDIR")
KETRA_PENDING(bif_dosversion, "DOSVERSION")
KETRA_PENDING(bif_dosvolume, "DOSVOLUME")
KETRA_PENDING(bif_emsmem, "EMSMEM")
KETRA_PENDING(bif_endlocal, "ENDLOCAL")
KETRA_PENDING(bif_fcnpkg, "FCNPKG")
KETRA_PENDING(bif_filespec, "FILESPEC")
KETRA_PENDING(bif_linesize, "LINESIZE")
KETRA_PENDING(bif_parsefn, "PARSEFN")
KETRA_PENDING(bif_pcdisk, "PCDISK")
KETRA_PENDING(bif_pcdisplay, "PCDISPLAY")
KETRA_PENDING(bif_pcfloppy, "PCFLOPPY")
KETRA_PENDING(bif_pckeyboard, "PCKEYBOARD")
KETRA_PENDING(bif_pctype, "PCTYPE")
KETRA_PENDING(bif_pcvideo, "PCVIDEO")
KETRA_PENDING(bif_rxfuncadd, "RXFUNCADD")
KETRA_PENDING(bif_rxfuncdrop, "RXFUNCDROP")
KETRA_PENDING(bif_rxfuncquery, "RXFUNCQUERY")
KETRA_PENDING(bif_rxqueue, "RXQUEUE")
KETRA_PENDING(bif_setlocal, "SETLOCAL")
KETRA_PENDING(bif_sound, "SOUND")
KETRA_PENDING(bif_userid, "USERID")
KETRA_PENDING(bif_validname, "VALIDNAME")
KETRA_PENDING(bif_zymswap, "ZYMSWAP")

#undef KETRA_PENDING

}  // namespace ketra
