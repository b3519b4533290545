/*
 * Compile check of rexxsaa.h as strict C99: the binary layout of the interface records, and a
 * host written in the classic style (handlers, exits, variable-pool requests, queue and
 * registration calls). Compiled only, never linked: the object must build without warnings.
 */
#include <rexxsaa.h>

#include <stddef.h>
#include <string.h>

/* _Static_assert is C11; __extension__ keeps -pedantic quiet in C99 mode. */
#define CHECK(cond, msg) __extension__ _Static_assert(cond, msg)

/* Counted string: length first, as unsigned long, then the pointer. */
CHECK(offsetof(RXSTRING, strlength) == 0, "strlength comes first");
CHECK(sizeof(((RXSTRING*)0)->strlength) == sizeof(unsigned long), "strlength is unsigned long");
CHECK(offsetof(RXSTRING, strptr) == sizeof(unsigned long), "strptr follows strlength");
CHECK(sizeof(RXSTRING) == sizeof(unsigned long) + sizeof(char*), "no extra fields");
CHECK((ULONG)-1 > 0, "ULONG is unsigned");
CHECK((LONG)-1 < 0, "LONG is signed");

CHECK(offsetof(RXSYSEXIT, sysexit_name) == 0, "exit name first");
CHECK(offsetof(RXSYSEXIT, sysexit_code) == sizeof(char*), "exit code second");

CHECK(offsetof(SHVBLOCK, shvnext) == 0, "shvnext first");
CHECK(offsetof(SHVBLOCK, shvname) < offsetof(SHVBLOCK, shvvalue), "name before value");
CHECK(offsetof(SHVBLOCK, shvvalue) < offsetof(SHVBLOCK, shvnamelen), "value before lengths");
CHECK(offsetof(SHVBLOCK, shvnamelen) < offsetof(SHVBLOCK, shvvaluelen), "name length first");
CHECK(offsetof(SHVBLOCK, shvvaluelen) < offsetof(SHVBLOCK, shvcode), "lengths before code");
CHECK(offsetof(SHVBLOCK, shvret) == offsetof(SHVBLOCK, shvcode) + 1, "one byte each");

/* The exit table of a run has one slot per main exit code, 0 to 10. */
CHECK(RXNOOFEXITS == 11 && RXTER == 10 && RXINI == 9 && RXTRC == 8 && RXHLT == 7, "exits");
CHECK(RXSIO == 5 && RXMSQ == 4 && RXCMD == 3 && RXFNC == 2 && RXENDLST == 0, "exits");
CHECK(RXSIOSAY == 1 && RXSIOTRC == 2 && RXSIOTRD == 3 && RXSIODTR == 4, "RXSIO subfunctions");
CHECK(RXHLTTST == 2 && RXCMDHST == 1 && RXFNCCAL == 1 && RXINIEXT == 1 && RXTEREXT == 1,
      "subfunctions");
CHECK(RXSHV_NOAVL == 144 && RXSHV_BADF == 128 && RXSHV_MEMFL == 16, "variable pool codes");
CHECK(RXSUBCOM_NOEMEM == 1002 && RXSUBCOM_BADTYPE == 1003 && RXSUBCOM_DUP == 10 &&
          RXSUBCOM_NOTREG == 30 && RXSUBCOM_LOADERR == 50 && RXSUBCOM_NOPROC == 127,
      "registration codes");
CHECK(RXFUNC_DEFINED == 10 && RXFUNC_NOMEM == 20 && RXFUNC_NOTREG == 30 && RXFUNC_MODNOTFND == 40 &&
          RXFUNC_ENTNOTFND == 50,
      "function registration codes");

/* Handlers written the classic way must match the handler types exactly. */
static APIRET APIENTRY EditHandler(PRXSTRING command, PUSHORT flags, PRXSTRING result) {
    if (!RXVALIDSTRING(*command)) {
        *flags = RXSUBCOM_ERROR;
        return 0;
    }
    *flags = RXSUBCOM_OK;
    if (RXSTRLEN(*result) >= 1) {
        RXSTRPTR(*result)[0] = '0';
        result->strlength = 1;
    }
    return 0;
}

static ULONG APIENTRY DoubleIt(PUCHAR name, ULONG argc, RXSTRING argv[], PSZ queue,
                               PRXSTRING result) {
    (void)name;
    (void)queue;
    if (argc != 1 || RXNULLSTRING(argv[0])) return 40;
    if (RXZEROLENSTRING(argv[0])) {
        MAKERXSTRING(*result, "", 0);
        return 0;
    }
    result->strlength = argv[0].strlength * 2 < RXAUTOBUFLEN ? argv[0].strlength * 2 : 0;
    return 0;
}

static LONG APIENTRY IoExit(LONG code, LONG subfunction, PEXIT block) {
    if (code == RXSIO) {
        switch (subfunction) {
            case RXSIOSAY: {
                RXSIOSAY_PARM* say = (RXSIOSAY_PARM*)block;
                return RXVALIDSTRING(say->rxsio_string) ? RXEXIT_HANDLED : RXEXIT_NOT_HANDLED;
            }
            case RXSIOTRC:
                return ((RXSIOTRC_PARM*)block)->rxsio_string.strptr ? RXEXIT_HANDLED
                                                                    : RXEXIT_RAISE_ERROR;
            case RXSIOTRD:
                MAKERXSTRING(((RXSIOTRD_PARM*)block)->rxsiotrd_retc, "line", 4);
                return RXEXIT_HANDLED;
            case RXSIODTR:
                ((RXSIODTR_PARM*)block)->rxsiodtr_retc.strlength = 0;
                return RXEXIT_HANDLED;
            default:
                return RXEXIT_NOT_HANDLED;
        }
    }
    if (code == RXHLT && subfunction == RXHLTTST) {
        ((RXHLTTST_PARM*)block)->rxhlt_flags.rxfhhalt = 1;
        return RXEXIT_HANDLED;
    }
    if (code == RXCMD && subfunction == RXCMDHST) {
        RXCMDHST_PARM* cmd = (RXCMDHST_PARM*)block;
        cmd->rxcmd_flags.rxfcerr = cmd->rxcmd_addressl == 0;
        cmd->rxcmd_flags.rxfcfail = cmd->rxcmd_dll != NULL && cmd->rxcmd_dll_len == 0;
        MAKERXSTRING(cmd->rxcmd_retc, "0", 1);
        return RXEXIT_HANDLED;
    }
    if (code == RXFNC && subfunction == RXFNCCAL) {
        RXFNCCAL_PARM* fnc = (RXFNCCAL_PARM*)block;
        fnc->rxfnc_flags.rxffnfnd = fnc->rxfnc_argc == 0 || fnc->rxfnc_argv == NULL;
        fnc->rxfnc_flags.rxfferr = fnc->rxfnc_namel == 0 || fnc->rxfnc_quel == 0;
        return fnc->rxfnc_flags.rxffsub ? RXEXIT_NOT_HANDLED : RXEXIT_HANDLED;
    }
    return RXEXIT_NOT_HANDLED;
}

RexxSubcomHandler* const subcom_handler = EditHandler;
RexxFunctionHandler* const function_handler = DoubleIt;
RexxExitHandler* const exit_handler = IoExit;

/* A host in the classic style: never called, only compiled. */
int capi_classic_host(void);
int capi_classic_host(void) {
    RXSTRING args[2];
    RXSTRING result;
    RXSTRING instore[2];
    RXSYSEXIT exits[2];
    SHVBLOCK fetch;
    SHVBLOCK set;
    SHORT rc = 0;
    USHORT flag = 0;
    USHORT funcrc = 0;
    ULONG count = 0;
    UCHAR user[8];
    char buffer[RXAUTOBUFLEN];
    LONG start;
    PCSZ names[1];

    memset(buffer, 'x', sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    MAKERXSTRING(args[0], "first", 5);
    MAKERXSTRING(args[1], buffer, strlen(buffer));
    MAKERXSTRING(instore[0], "say 'hi'", 8);
    MAKERXSTRING(instore[1], NULL, 0);
    exits[0].sysexit_name = "IOEXIT";
    exits[0].sysexit_code = RXSIO;
    exits[1].sysexit_code = RXENDLST;
    MAKERXSTRING(result, NULL, 0);

    RexxRegisterSubcomExe("EDIT", (PFN)EditHandler, NULL);
    RexxRegisterFunctionExe("DOUBLEIT", (PFN)DoubleIt);
    RexxRegisterExitExe("IOEXIT", (PFN)IoExit, user);
    RexxRegisterSubcomDll("ED2", "edlib", "EdHandler", NULL, RXSUBCOM_DROPPABLE);
    RexxRegisterFunctionDll("F", "funcs", "F");
    RexxRegisterExitDll("X", "exits", "X", NULL, RXEXIT_NONDROP);
    RegisterDllScb("E3", "lib", "proc", user, RXSUBCOM_NONDROP, RXSCB_SUBCOM);
    RegisterExeScb("E4", (PFN)IoExit, NULL, RXSCB_EXIT);
    if (RexxQuerySubcom("EDIT", NULL, &flag, user) == RXSUBCOM_OK && flag == RXSUBCOM_ISREG)
        RexxLoadSubcom("EDIT", NULL);
    RexxQueryExit("IOEXIT", NULL, &flag, user);
    if (RexxQueryFunction("DOUBLEIT") == RXFUNC_NOTREG) return 1;
    RexxCallFunction("DOUBLEIT", 1, args, &funcrc, &result, "SESSION");
    RexxExecuteSubcom("EDIT", NULL, &args[0], &flag, &funcrc, &result);

    start = RexxStart(2, args, "prog.rex", instore, "EDIT", RXCOMMAND, exits, &rc, &result);
    if (start == 0 && RXVALIDSTRING(result)) RexxFreeMemory(RXSTRPTR(result));
    start = RexxStart(0, NULL, "prog", NULL, NULL, RXFUNCTION, NULL, &rc, &result);
    start += Rexx("prog", "a b c", "EDIT", (PFN)EditHandler, buffer, sizeof buffer);
    start += RexxThread(1, 1) + RexxSetTrace(0, 0);
    RexxSetHalt(0, 0);

    fetch.shvnext = &set;
    fetch.shvcode = RXSHV_SYFET;
    MAKERXSTRING(fetch.shvname, "A.I", 3);
    MAKERXSTRING(fetch.shvvalue, buffer, sizeof buffer);
    fetch.shvvaluelen = sizeof buffer;
    set.shvnext = NULL;
    set.shvcode = RXSHV_SET;
    MAKERXSTRING(set.shvname, "RESULT", 6);
    MAKERXSTRING(set.shvvalue, "1", 1);
    if (RexxVariablePool(&fetch) & (RXSHV_BADN | RXSHV_TRUNC)) return 2;
    if (fetch.shvret & RXSHV_NEWV) return 3;

    RexxAddQueue("SESSION", &args[0], RXQUEUE_LIFO);
    MAKERXSTRING(result, buffer, sizeof buffer);
    RexxPullQueue("SESSION", &result);
    RexxQueryQueue("SESSION", &count);
    RexxCreateQueue(buffer);
    RexxDeleteQueue("SESSION");

    RexxStdOutput("hello");
    RexxStdInput(buffer, sizeof buffer);

    names[0] = "MAC";
    RexxAddMacro("MAC", "mac.rex", RXMACRO_SEARCH_BEFORE);
    RexxQueryMacro("MAC", &flag);
    RexxReorderMacro("MAC", RXMACRO_SEARCH_AFTER);
    RexxSaveMacroSpace(1, names, "macros.lib");
    RexxLoadMacroSpace(0, NULL, "macros.lib");
    RexxDropMacro("MAC");
    RexxClearMacroSpace();

    if (RexxGetObjectFromFile(3, &result) > 0) RexxAppendObjectToFile(4, &result);
    result.strptr = (PCH)RexxAllocateMemory(16);
    RexxFreeMemory(result.strptr);

    RexxDeregisterSubcom("EDIT", NULL);
    RexxDeregisterFunction("DOUBLEIT");
    RexxDeregisterExit("IOEXIT", NULL);
    return (int)(start + rc + (LONG)count);
}
