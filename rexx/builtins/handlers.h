// The handlers of the descriptor table, one per function code (aliases share a handler). Each
// file of rexx/builtins/ defines the handlers of its family; pending.cpp defines those of the
// families that are not built yet.
#pragma once

#include "rexx/builtins/dispatch.h"

namespace ketra {

#define KETRA_BUILTIN(name) void name(BuiltinCall& call)

// The internal error of a built-in (or a form of one) that is not in this build: writes a
// report naming it and raises error 49.
[[noreturn]] void builtin_pending(const char* name);

// String functions (strings_*.cpp).
KETRA_BUILTIN(bif_abbrev);
KETRA_BUILTIN(bif_bitand);
KETRA_BUILTIN(bif_bitor);
KETRA_BUILTIN(bif_bitxor);
KETRA_BUILTIN(bif_center);
KETRA_BUILTIN(bif_compare);
KETRA_BUILTIN(bif_copies);
KETRA_BUILTIN(bif_delstr);
KETRA_BUILTIN(bif_index);
KETRA_BUILTIN(bif_insert);
KETRA_BUILTIN(bif_lastpos);
KETRA_BUILTIN(bif_left);
KETRA_BUILTIN(bif_length);
KETRA_BUILTIN(bif_lower);
KETRA_BUILTIN(bif_overlay);
KETRA_BUILTIN(bif_pos);
KETRA_BUILTIN(bif_reverse);
KETRA_BUILTIN(bif_right);
KETRA_BUILTIN(bif_strip);
KETRA_BUILTIN(bif_substr);
KETRA_BUILTIN(bif_translate);
KETRA_BUILTIN(bif_upper);
KETRA_BUILTIN(bif_verify);
KETRA_BUILTIN(bif_xrange);

// Word functions (words*.cpp).
KETRA_BUILTIN(bif_delword);
KETRA_BUILTIN(bif_find);
KETRA_BUILTIN(bif_justify);
KETRA_BUILTIN(bif_space);
KETRA_BUILTIN(bif_subword);
KETRA_BUILTIN(bif_word);
KETRA_BUILTIN(bif_wordindex);
KETRA_BUILTIN(bif_wordlength);
KETRA_BUILTIN(bif_wordpos);
KETRA_BUILTIN(bif_words);

// NUMERIC settings and simple numeric functions (numeric_fns.cpp).
KETRA_BUILTIN(bif_abs);
KETRA_BUILTIN(bif_digits);
KETRA_BUILTIN(bif_form);
KETRA_BUILTIN(bif_fuzz);
KETRA_BUILTIN(bif_max);
KETRA_BUILTIN(bif_min);
KETRA_BUILTIN(bif_sign);

// Program and interpreter information, fixed answers and the functions that only fail
// (info.cpp).
KETRA_BUILTIN(bif_address);
KETRA_BUILTIN(bif_arg);
KETRA_BUILTIN(bif_condition);
KETRA_BUILTIN(bif_errortext);
KETRA_BUILTIN(bif_externals);
KETRA_BUILTIN(bif_queued);
KETRA_BUILTIN(bif_scrmethod);
KETRA_BUILTIN(bif_sourceline);
KETRA_BUILTIN(bif_stackstatus);
KETRA_BUILTIN(bif_trace);
KETRA_BUILTIN(bif_zymversion);
KETRA_BUILTIN(bif_not_supported);  // error 99
KETRA_BUILTIN(bif_not_available);  // error 98

// Families built later (pending.cpp until then).
KETRA_BUILTIN(bif_b2x);
KETRA_BUILTIN(bif_c2d);
KETRA_BUILTIN(bif_c2x);
KETRA_BUILTIN(bif_d2c);
KETRA_BUILTIN(bif_d2x);
KETRA_BUILTIN(bif_datatype);
KETRA_BUILTIN(bif_format);
KETRA_BUILTIN(bif_random);
KETRA_BUILTIN(bif_symbol);
KETRA_BUILTIN(bif_trunc);
KETRA_BUILTIN(bif_value);
KETRA_BUILTIN(bif_x2b);
KETRA_BUILTIN(bif_x2c);
KETRA_BUILTIN(bif_x2d);

KETRA_BUILTIN(bif_date);
KETRA_BUILTIN(bif_time);
KETRA_BUILTIN(bif_dateconv);

KETRA_BUILTIN(bif_charin);
KETRA_BUILTIN(bif_charout);
KETRA_BUILTIN(bif_chars);
KETRA_BUILTIN(bif_linein);
KETRA_BUILTIN(bif_lineout);
KETRA_BUILTIN(bif_lines);
KETRA_BUILTIN(bif_stream);

KETRA_BUILTIN(bif_beep);
KETRA_BUILTIN(bif_delay);
KETRA_BUILTIN(bif_directory);
KETRA_BUILTIN(bif_doscd);
KETRA_BUILTIN(bif_doschdir);
KETRA_BUILTIN(bif_doschmod);
KETRA_BUILTIN(bif_doscreat);
KETRA_BUILTIN(bif_dosdel);
KETRA_BUILTIN(bif_dosdir);
KETRA_BUILTIN(bif_dosdirclose);
KETRA_BUILTIN(bif_dosdirpos);
KETRA_BUILTIN(bif_dosdisk);
KETRA_BUILTIN(bif_dosdrive);
KETRA_BUILTIN(bif_dosenv);
KETRA_BUILTIN(bif_dosenvsize);
KETRA_BUILTIN(bif_dosfdate);
KETRA_BUILTIN(bif_dosfname);
KETRA_BUILTIN(bif_dosisdev);
KETRA_BUILTIN(bif_dosisdir);
KETRA_BUILTIN(bif_dosmkdir);
KETRA_BUILTIN(bif_dospathfind);
KETRA_BUILTIN(bif_dospid);
KETRA_BUILTIN(bif_dosrename);
KETRA_BUILTIN(bif_dosrmdir);
KETRA_BUILTIN(bif_dosversion);
KETRA_BUILTIN(bif_dosvolume);
KETRA_BUILTIN(bif_emsmem);
KETRA_BUILTIN(bif_endlocal);
KETRA_BUILTIN(bif_fcnpkg);
KETRA_BUILTIN(bif_filespec);
KETRA_BUILTIN(bif_linesize);
KETRA_BUILTIN(bif_parsefn);
KETRA_BUILTIN(bif_pcdisk);
KETRA_BUILTIN(bif_pcdisplay);
KETRA_BUILTIN(bif_pcfloppy);
KETRA_BUILTIN(bif_pckeyboard);
KETRA_BUILTIN(bif_pctype);
KETRA_BUILTIN(bif_pcvideo);
KETRA_BUILTIN(bif_rxfuncadd);
KETRA_BUILTIN(bif_rxfuncdrop);
KETRA_BUILTIN(bif_rxfuncquery);
KETRA_BUILTIN(bif_rxqueue);
KETRA_BUILTIN(bif_setlocal);
KETRA_BUILTIN(bif_sound);
KETRA_BUILTIN(bif_userid);
KETRA_BUILTIN(bif_validname);
KETRA_BUILTIN(bif_zymswap);

}  // namespace ketra
