/*
 * rexxsaa.h - the programming interface of the Ketra REXX library (libketra.so).
 *
 * Owns the exported SAA REXX interface: the classic types, codes and macros, the exit
 * parameter blocks, the handler types and the prototypes of every exported function.
 * Usable from C (C89 and later) and C++.
 */
#ifndef KETRA_REXXSAA_H
#define KETRA_REXXSAA_H

/* The library is built with hidden visibility; only entries marked here are exported. */
#ifndef KETRA_EXPORT
#if defined(__GNUC__) || defined(__clang__)
#define KETRA_EXPORT __attribute__((visibility("default")))
#else
#define KETRA_EXPORT
#endif
#endif

/* Calling-convention marker of the classic interface; the platform's own convention on Linux. */
#ifndef APIENTRY
#define APIENTRY
#endif

#ifndef VOID
#define VOID void
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------------------------ */
/* Classic base types                                                                          */
/* ------------------------------------------------------------------------------------------ */

typedef char CHAR;
typedef unsigned char UCHAR;
typedef short SHORT;
typedef unsigned short USHORT;
typedef long LONG;
typedef unsigned long ULONG;

typedef CHAR* PCHAR;
typedef CHAR* PCH;
typedef CHAR* PSZ;
typedef const CHAR* PCSZ;
typedef UCHAR* PUCHAR;
typedef SHORT* PSHORT;
typedef USHORT* PUSHORT;
typedef LONG* PLONG;
typedef ULONG* PULONG;
typedef void* PVOID;

typedef ULONG APIRET;

/* Generic entry point; handlers are cast to it when they are registered and back to their
   own type when they are called. void (*)(void) converts from any function pointer without
   a -Wcast-function-type warning. */
typedef void(APIENTRY* PFN)(void);

/* Parameter block of an exit call; the exit casts it to the block of its subfunction. */
typedef PUCHAR PEXIT;

/* ------------------------------------------------------------------------------------------ */
/* Strings                                                                                     */
/* ------------------------------------------------------------------------------------------ */

/* Counted string: length first, then the characters (not NUL-terminated). A null pointer is
   the absent string; a pointer with length 0 is the empty string. */
typedef struct _RXSTRING {
    ULONG strlength;
    PCH strptr;
} RXSTRING;
typedef RXSTRING* PRXSTRING;

/* Size of the result buffer the library offers to handlers and exits by default. */
#define RXAUTOBUFLEN 256UL

#define RXNULLSTRING(r) (!(r).strptr)
#define RXZEROLENSTRING(r) ((r).strptr && !(r).strlength)
#define RXVALIDSTRING(r) ((r).strptr && (r).strlength)
#define RXSTRLEN(r) (RXNULLSTRING(r) ? 0UL : (r).strlength)
#define RXSTRPTR(r) ((r).strptr)
#define MAKERXSTRING(r, p, l) ((r).strptr = (PCH)(p), (r).strlength = (ULONG)(l))

/* ------------------------------------------------------------------------------------------ */
/* RexxStart                                                                                   */
/* ------------------------------------------------------------------------------------------ */

/* Call types. */
#define RXCOMMAND 0
#define RXSUBROUTINE 1
#define RXFUNCTION 2

/* One element of the exit list; the list ends at the first element whose code is RXENDLST. */
typedef struct _RXSYSEXIT {
    PCSZ sysexit_name;
    LONG sysexit_code;
} RXSYSEXIT;
typedef RXSYSEXIT* PRXSYSEXIT;

/* ------------------------------------------------------------------------------------------ */
/* Exit codes and subfunctions                                                                 */
/* ------------------------------------------------------------------------------------------ */

#define RXENDLST 0 /* end of the exit list */

#define RXFNC 2 /* external function call */
#define RXFNCCAL 1

#define RXCMD 3 /* host command */
#define RXCMDHST 1

#define RXMSQ 4 /* external data queue */
#define RXMSQPLL 1
#define RXMSQPSH 2
#define RXMSQSIZ 3
#define RXMSQNAM 20

#define RXSIO 5        /* standard input and output */
#define RXSIOSAY 1     /* SAY output */
#define RXSIOTRC 2     /* trace and error output */
#define RXSIOTRD 3     /* terminal read (PULL) */
#define RXSIODTR 4     /* interactive debug read */
#define RXSIOTLL 5     /* terminal line length */
#define RXSIOLIN 1001  /* stream I/O on the default stream: read a line */
#define RXSIOLOUT 1002 /* write a line */
#define RXSIOCIN 1003  /* read characters */
#define RXSIOCOUT 1004 /* write characters */

#define RXHLT 7 /* halt */
#define RXHLTCLR 1
#define RXHLTTST 2

#define RXTRC 8 /* external trace */
#define RXTRCTST 1

#define RXINI 9 /* before the first clause */
#define RXINIEXT 1

#define RXTER 10 /* after the last clause */
#define RXTEREXT 1

#define RXNOOFEXITS 11 /* number of main exit codes, 0 included */

/* Exit handler results. */
#define RXEXIT_HANDLED 0
#define RXEXIT_NOT_HANDLED 1
#define RXEXIT_RAISE_ERROR (-1)

/* ------------------------------------------------------------------------------------------ */
/* Exit parameter blocks                                                                       */
/* ------------------------------------------------------------------------------------------ */

/* RXFNC / RXFNCCAL */
typedef struct {
    unsigned rxfferr : 1;  /* set by the exit: invalid call */
    unsigned rxffnfnd : 1; /* set by the exit: function not found */
    unsigned rxffsub : 1;  /* called as a subroutine */
} RXFNC_FLAGS;

typedef struct {
    RXFNC_FLAGS rxfnc_flags;
    PUCHAR rxfnc_name;
    USHORT rxfnc_namel;
    PUCHAR rxfnc_que;
    USHORT rxfnc_quel;
    USHORT rxfnc_argc;
    PRXSTRING rxfnc_argv;
    RXSTRING rxfnc_retc;
} RXFNCCAL_PARM;

/* RXCMD / RXCMDHST */
typedef struct {
    unsigned rxfcfail : 1; /* set by the exit: the command failed (FAILURE) */
    unsigned rxfcerr : 1;  /* set by the exit: the command gave an error (ERROR) */
} RXCMD_FLAGS;

typedef struct {
    RXCMD_FLAGS rxcmd_flags;
    PUCHAR rxcmd_address; /* environment name */
    USHORT rxcmd_addressl;
    PUCHAR rxcmd_dll; /* module of a DLL handler, or null */
    USHORT rxcmd_dll_len;
    RXSTRING rxcmd_command;
    RXSTRING rxcmd_retc;
} RXCMDHST_PARM;

/* RXMSQ / RXMSQPLL, RXMSQPSH, RXMSQSIZ, RXMSQNAM */
typedef struct {
    RXSTRING rxmsq_retc;
} RXMSQPLL_PARM;

typedef struct {
    unsigned rxfmlifo : 1; /* push (LIFO) rather than queue (FIFO) */
} RXMSQ_FLAGS;

typedef struct {
    RXMSQ_FLAGS rxmsq_flags;
    RXSTRING rxmsq_value;
} RXMSQPSH_PARM;

typedef struct {
    ULONG rxmsq_size;
} RXMSQSIZ_PARM;

typedef struct {
    RXSTRING rxmsq_name;
} RXMSQNAM_PARM;

/* RXSIO / RXSIOSAY, RXSIOTRC, RXSIOTRD, RXSIODTR */
typedef struct {
    RXSTRING rxsio_string;
} RXSIOSAY_PARM;

typedef struct {
    RXSTRING rxsio_string;
} RXSIOTRC_PARM;

typedef struct {
    RXSTRING rxsiotrd_retc;
} RXSIOTRD_PARM;

typedef struct {
    RXSTRING rxsiodtr_retc;
} RXSIODTR_PARM;

/* RXSIO / RXSIOLIN, RXSIOLOUT, RXSIOCIN, RXSIOCOUT: the counted string read or written */
typedef struct {
    RXSTRING rxsio_string;
} RXSIOSTM_PARM;

/* RXHLT / RXHLTTST */
typedef struct {
    unsigned rxfhhalt : 1; /* set by the exit to request a halt */
} RXHLT_FLAGS;

typedef struct {
    RXHLT_FLAGS rxhlt_flags;
} RXHLTTST_PARM;

/* RXTRC / RXTRCTST */
typedef struct {
    unsigned rxftrace : 1; /* set by the exit to switch external tracing on */
} RXTRC_FLAGS;

typedef struct {
    RXTRC_FLAGS rxtrc_flags;
} RXTRCTST_PARM;

/* RXINI and RXTER receive the user area of the exit's registration as their block. */

/* ------------------------------------------------------------------------------------------ */
/* Handler types                                                                               */
/* ------------------------------------------------------------------------------------------ */

/* Subcommand handler: command, in/out flags (RXSUBCOM_OK, _ERROR, _FAILURE), result. */
typedef APIRET APIENTRY RexxSubcomHandler(PRXSTRING, PUSHORT, PRXSTRING);

/* External function: name, argument count, arguments, queue name, result. 0 means a valid
   call; any other value raises error 40 in the caller. */
typedef APIRET APIENTRY RexxFunctionHandler(PUCHAR, ULONG, PRXSTRING, PSZ, PRXSTRING);

/* System exit: exit code, subfunction, parameter block; returns an RXEXIT_* result. */
typedef LONG APIENTRY RexxExitHandler(LONG, LONG, PEXIT);

/* ------------------------------------------------------------------------------------------ */
/* Registration codes                                                                          */
/* ------------------------------------------------------------------------------------------ */

/* Subcommand handler flags and results. */
#define RXSUBCOM_OK 0
#define RXSUBCOM_ERROR 1
#define RXSUBCOM_FAILURE 2
#define RXSUBCOM_ISREG 1 /* query flag: registered */

/* Drop authority of a DLL registration (stored, not enforced). */
#define RXSUBCOM_DROPPABLE 0
#define RXSUBCOM_NONDROP 1

/* Registration return codes of subcommand handlers. */
#define RXSUBCOM_DUP 10
#define RXSUBCOM_MAXREG 20
#define RXSUBCOM_NOTREG 30
#define RXSUBCOM_NOCANDROP 40
#define RXSUBCOM_LOADERR 50
#define RXSUBCOM_NOPROC 127
#define RXSUBCOM_BADENTRY 1001
#define RXSUBCOM_NOEMEM 1002
#define RXSUBCOM_BADTYPE 1003
#define RXSUBCOM_NOTINIT 1004

/* The same for exits. */
#define RXEXIT_OK 0
#define RXEXIT_ISREG 1
#define RXEXIT_ERROR 1
#define RXEXIT_FAILURE 2
#define RXEXIT_DROPPABLE 0
#define RXEXIT_NONDROP 1
#define RXEXIT_DUP 10
#define RXEXIT_MAXREG 20
#define RXEXIT_NOTREG 30
#define RXEXIT_NOCANDROP 40
#define RXEXIT_LOADERR 50
#define RXEXIT_NOPROC 127
#define RXEXIT_BADENTRY 1001
#define RXEXIT_NOEMEM 1002
#define RXEXIT_BADTYPE 1003
#define RXEXIT_NOTINIT 1004

/* External function registration results. */
#define RXFUNC_OK 0
#define RXFUNC_DEFINED 10
#define RXFUNC_NOMEM 20
#define RXFUNC_NOTREG 30
#define RXFUNC_MODNOTFND 40
#define RXFUNC_ENTNOTFND 50
#define RXFUNC_NOTINIT 60
#define RXFUNC_BADTYPE 70

/* Kinds of registration, for RegisterDllScb and RegisterExeScb. */
#define RXSCB_SUBCOM 0
#define RXSCB_EXIT 1
#define RXSCB_FUNCTION 2

/* ------------------------------------------------------------------------------------------ */
/* Queues                                                                                      */
/* ------------------------------------------------------------------------------------------ */

#define RXQUEUE_FIFO 0
#define RXQUEUE_LIFO 1

#define RXQUEUE_NOWAIT 0
#define RXQUEUE_WAIT 1

#define RXQUEUE_OK 0
#define RXQUEUE_STORAGE 1
#define RXQUEUE_SIZE 2
#define RXQUEUE_DUP 3
#define RXQUEUE_NOEMEM 4
#define RXQUEUE_BADQNAME 5
#define RXQUEUE_PRIORITY 6
#define RXQUEUE_BADWAITFLAG 7
#define RXQUEUE_EMPTY 8
#define RXQUEUE_NOTREG 9
#define RXQUEUE_ACCESS 10
#define RXQUEUE_MAXREG 11
#define RXQUEUE_MEMFAIL 12
#define RXQUEUE_NOTINIT 1000

/* ------------------------------------------------------------------------------------------ */
/* Variable pool                                                                               */
/* ------------------------------------------------------------------------------------------ */

/* Request codes. */
#define RXSHV_SET 0x00   /* set, direct name */
#define RXSHV_FETCH 0x01 /* fetch, direct name */
#define RXSHV_DROPV 0x02 /* drop, direct name */
#define RXSHV_SYSET 0x03 /* set, symbolic name */
#define RXSHV_SYFET 0x04 /* fetch, symbolic name */
#define RXSHV_SYDRO 0x05 /* drop, symbolic name */
#define RXSHV_NEXTV 0x06 /* next variable of the enumeration */
#define RXSHV_PRIV 0x07  /* private information */
#define RXSHV_EXIT 0x08  /* not served: answered with RXSHV_BADF */

/* Return flags of a block, and results of RexxVariablePool. */
#define RXSHV_OK 0x00
#define RXSHV_NEWV 0x01  /* variable had no value */
#define RXSHV_LVAR 0x02  /* last variable of the enumeration */
#define RXSHV_TRUNC 0x04 /* name or value truncated */
#define RXSHV_BADN 0x08  /* invalid name */
#define RXSHV_MEMFL 0x10 /* out of memory */
#define RXSHV_BADF 0x80  /* invalid request */
#define RXSHV_NOAVL 0x90 /* no program is running on the thread */

/* One request of a chain passed to RexxVariablePool. */
typedef struct shvnode {
    struct shvnode* shvnext;
    RXSTRING shvname;
    RXSTRING shvvalue;
    ULONG shvnamelen;  /* length of the name returned by RXSHV_NEXTV */
    ULONG shvvaluelen; /* length of the value returned */
    UCHAR shvcode;     /* RXSHV_SET ... RXSHV_PRIV */
    UCHAR shvret;      /* RXSHV_OK or return flags */
} SHVBLOCK;
typedef SHVBLOCK* PSHVBLOCK;

/* ------------------------------------------------------------------------------------------ */
/* Macro space                                                                                 */
/* ------------------------------------------------------------------------------------------ */

#define RXMACRO_SEARCH_BEFORE 1
#define RXMACRO_SEARCH_AFTER 2

#define RXMACRO_OK 0
#define RXMACRO_NO_STORAGE 1
#define RXMACRO_NOT_FOUND 2
#define RXMACRO_EXTENSION_REQUIRED 3
#define RXMACRO_ALREADY_EXISTS 4
#define RXMACRO_FILE_ERROR 5
#define RXMACRO_SIGNATURE_ERROR 6
#define RXMACRO_SOURCE_NOT_FOUND 7
#define RXMACRO_INVALID_POSITION 8
#define RXMACRO_NOT_INIT 1000

/* ------------------------------------------------------------------------------------------ */
/* Running programs                                                                            */
/* ------------------------------------------------------------------------------------------ */

/* Runs a program from a file or from the in-store pair (source, image). Returns 0, the negated
   REXX error number that ended the run, or a start-up failure code. The result block comes
   from RexxAllocateMemory; the caller releases it with RexxFreeMemory. */
KETRA_EXPORT LONG APIENTRY RexxStart(LONG ArgCount, PRXSTRING ArgList, PCSZ ProgramName,
                                     PRXSTRING Instore, PCSZ EnvName, LONG CallType,
                                     PRXSYSEXIT Exits, PSHORT ReturnCode, PRXSTRING Result);

/* Runs a program with blank-separated arguments (at most 16); Handler, when given, serves
   EnvName for the run. Copies at most ResultSize - 1 characters and a NUL into ResultBuffer.
   Returns as RexxStart, or -27 when the thread already runs a program. */
KETRA_EXPORT LONG APIENTRY Rexx(PCSZ ProgramName, PCSZ ArgString, PCSZ EnvName, PFN Handler,
                                PSZ ResultBuffer, ULONG ResultSize);

/* Attaches (Attach non-zero) or detaches the calling thread; ThreadId must be the caller's
   kernel thread id (gettid). 0, or -1, -2 (not initialised), -3 (already attached). */
KETRA_EXPORT LONG APIENTRY RexxThread(LONG ThreadId, LONG Attach);

/* Requests a halt of the running program; both ids are ignored. Returns 0. */
KETRA_EXPORT APIRET APIENTRY RexxSetHalt(LONG ProcessId, LONG ThreadId);

/* Switches the running program to interactive tracing; both ids are ignored. Returns 0, 1
   when the setting is refused, -1 when no program runs. */
KETRA_EXPORT LONG APIENTRY RexxSetTrace(LONG ProcessId, LONG ThreadId);

/* ------------------------------------------------------------------------------------------ */
/* Registration                                                                                */
/* ------------------------------------------------------------------------------------------ */

/* UserArea points to 8 bytes, or is null. */
KETRA_EXPORT APIRET APIENTRY RexxRegisterSubcomDll(PCSZ EnvName, PCSZ ModuleName,
                                                   PCSZ ProcedureName, PUCHAR UserArea,
                                                   ULONG DropAuth);
KETRA_EXPORT APIRET APIENTRY RexxRegisterSubcomExe(PCSZ EnvName, PFN EntryPoint, PUCHAR UserArea);
KETRA_EXPORT APIRET APIENTRY RexxDeregisterSubcom(PCSZ EnvName, PCSZ ModuleName);
KETRA_EXPORT APIRET APIENTRY RexxQuerySubcom(PCSZ EnvName, PCSZ ModuleName, PUSHORT Flag,
                                             PUCHAR UserArea);
KETRA_EXPORT APIRET APIENTRY RexxLoadSubcom(PCSZ EnvName, PCSZ ModuleName);
KETRA_EXPORT APIRET APIENTRY RexxExecuteSubcom(PCSZ EnvName, PCSZ ModuleName, PRXSTRING Command,
                                               PUSHORT Flags, PUSHORT ReturnCode, PRXSTRING Result);

KETRA_EXPORT APIRET APIENTRY RexxRegisterFunctionDll(PCSZ FuncName, PCSZ ModuleName,
                                                     PCSZ ProcedureName);
KETRA_EXPORT APIRET APIENTRY RexxRegisterFunctionExe(PCSZ FuncName, PFN EntryPoint);
KETRA_EXPORT APIRET APIENTRY RexxDeregisterFunction(PCSZ FuncName);
KETRA_EXPORT APIRET APIENTRY RexxQueryFunction(PCSZ FuncName);
KETRA_EXPORT APIRET APIENTRY RexxCallFunction(PCSZ FuncName, ULONG ArgCount, PRXSTRING Args,
                                              PUSHORT ReturnCode, PRXSTRING Result, PCSZ QueueName);

KETRA_EXPORT APIRET APIENTRY RexxRegisterExitDll(PCSZ ExitName, PCSZ ModuleName, PCSZ ProcedureName,
                                                 PUCHAR UserArea, ULONG DropAuth);
KETRA_EXPORT APIRET APIENTRY RexxRegisterExitExe(PCSZ ExitName, PFN EntryPoint, PUCHAR UserArea);
KETRA_EXPORT APIRET APIENTRY RexxDeregisterExit(PCSZ ExitName, PCSZ ModuleName);
KETRA_EXPORT APIRET APIENTRY RexxQueryExit(PCSZ ExitName, PCSZ ModuleName, PUSHORT Flag,
                                           PUCHAR UserArea);

/* Common registration routines; Kind is RXSCB_SUBCOM, RXSCB_EXIT or RXSCB_FUNCTION. */
KETRA_EXPORT APIRET APIENTRY RegisterDllScb(PCSZ Name, PCSZ ModuleName, PCSZ ProcedureName,
                                            PUCHAR UserArea, ULONG DropAuth, ULONG Kind);
KETRA_EXPORT APIRET APIENTRY RegisterExeScb(PCSZ Name, PFN EntryPoint, PUCHAR UserArea, ULONG Kind);

/* ------------------------------------------------------------------------------------------ */
/* Queues: only the queue "SESSION" exists                                                     */
/* ------------------------------------------------------------------------------------------ */

KETRA_EXPORT APIRET APIENTRY RexxCreateQueue(PSZ Buffer);
KETRA_EXPORT APIRET APIENTRY RexxDeleteQueue(PCSZ QueueName);
KETRA_EXPORT APIRET APIENTRY RexxQueryQueue(PCSZ QueueName, PULONG Count);
/* Flag RXQUEUE_LIFO pushes at the head, RXQUEUE_FIFO queues at the tail. */
KETRA_EXPORT APIRET APIENTRY RexxAddQueue(PCSZ QueueName, PRXSTRING Data, ULONG Flag);
/* Data gives the caller's buffer and its size; on return its length is the count copied. */
KETRA_EXPORT APIRET APIENTRY RexxPullQueue(PCSZ QueueName, PRXSTRING Data);

/* ------------------------------------------------------------------------------------------ */
/* Standard I/O                                                                                */
/* ------------------------------------------------------------------------------------------ */

/* Writes Text and a line end as SAY does. Returns 0. */
KETRA_EXPORT APIRET APIENTRY RexxStdOutput(PCSZ Text);
/* Reads a line into Buffer; 0 when an RXSIO exit served it, else the count read, or -2 on a
   break. */
KETRA_EXPORT LONG APIENTRY RexxStdInput(PSZ Buffer, ULONG BufferSize);

/* ------------------------------------------------------------------------------------------ */
/* Macro space: accepted, not kept; every call returns RXMACRO_OK                              */
/* ------------------------------------------------------------------------------------------ */

KETRA_EXPORT APIRET APIENTRY RexxAddMacro(PCSZ FuncName, PCSZ SourceFile, ULONG Position);
KETRA_EXPORT APIRET APIENTRY RexxDropMacro(PCSZ FuncName);
KETRA_EXPORT APIRET APIENTRY RexxSaveMacroSpace(ULONG FuncCount, PCSZ* FuncNames,
                                                PCSZ MacroLibFile);
KETRA_EXPORT APIRET APIENTRY RexxLoadMacroSpace(ULONG FuncCount, PCSZ* FuncNames,
                                                PCSZ MacroLibFile);
KETRA_EXPORT APIRET APIENTRY RexxQueryMacro(PCSZ FuncName, PUSHORT Position);
KETRA_EXPORT APIRET APIENTRY RexxReorderMacro(PCSZ FuncName, ULONG Position);
KETRA_EXPORT APIRET APIENTRY RexxClearMacroSpace(void);

/* ------------------------------------------------------------------------------------------ */
/* Variable pool                                                                               */
/* ------------------------------------------------------------------------------------------ */

/* Serves a chain of requests against the innermost program running on the calling thread.
   Returns the OR of the blocks' flags, RXSHV_NOAVL, or -2 when a REXX error stopped it. */
KETRA_EXPORT LONG APIENTRY RexxVariablePool(PSHVBLOCK RequestChain);

/* ------------------------------------------------------------------------------------------ */
/* Object code behind program files                                                            */
/* ------------------------------------------------------------------------------------------ */

/* FileDescriptor is an open POSIX file descriptor. Reads the image stored behind the program
   text into a RexxAllocateMemory block; returns 0 when there is none, else the image size
   plus 1 (Image is left empty when the image is of an incompatible version). */
KETRA_EXPORT ULONG APIENTRY RexxGetObjectFromFile(int FileDescriptor, PRXSTRING Image);
/* Stores Image behind the program text, replacing an image already there; returns the image
   size, or 0 when nothing was written. The file is not truncated. */
KETRA_EXPORT ULONG APIENTRY RexxAppendObjectToFile(int FileDescriptor, PRXSTRING Image);

/* ------------------------------------------------------------------------------------------ */
/* Memory handed between library and host                                                      */
/* ------------------------------------------------------------------------------------------ */

/* malloc-compatible: blocks may also be released with free(). */
KETRA_EXPORT PVOID APIENTRY RexxAllocateMemory(ULONG Size);
KETRA_EXPORT APIRET APIENTRY RexxFreeMemory(PVOID Block);

#ifdef __cplusplus
}
#endif

#endif /* KETRA_REXXSAA_H */
