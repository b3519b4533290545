// A host process for the console tests: runs the program given as its last argument through
// RexxStart and prints "rc=N". Options: --exit runs with an RXSIO exit that takes SAY lines
// ("exit say: ...") and answers terminal reads with "typed"; --detach detaches the thread with
// RexxThread after the run; --twice runs the program twice; --read-first reads a line with
// RexxStdInput before the first run and prints "read=N"; --late-output calls RexxStdOutput
// from an exit handler that runs after the library's end.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "rexxsaa.h"

namespace {

LONG APIENTRY io_exit(LONG function, LONG subfunction, PEXIT parm) {
    if (function != RXSIO) return RXEXIT_NOT_HANDLED;
    if (subfunction == RXSIOSAY) {
        auto* say = reinterpret_cast<RXSIOSAY_PARM*>(parm);
        printf("exit say: %.*s\n", static_cast<int>(say->rxsio_string.strlength),
               say->rxsio_string.strptr);
        fflush(stdout);
        return RXEXIT_HANDLED;
    }
    if (subfunction == RXSIOTRD) {
        auto* read = reinterpret_cast<RXSIOTRD_PARM*>(parm);
        memcpy(read->rxsiotrd_retc.strptr, "typed", 5);
        read->rxsiotrd_retc.strlength = 5;
        return RXEXIT_HANDLED;
    }
    return RXEXIT_NOT_HANDLED;
}

void late_output() {
    RexxStdOutput("late");
}

}  // namespace

int main(int argc, char** argv) {
    bool with_exit = false, detach = false;
    int runs = 1;
    bool read_first = false;
    int i = 1;
    for (; i < argc - 1; ++i) {
        if (strcmp(argv[i], "--exit") == 0)
            with_exit = true;
        else if (strcmp(argv[i], "--detach") == 0)
            detach = true;
        else if (strcmp(argv[i], "--twice") == 0)
            runs = 2;
        else if (strcmp(argv[i], "--read-first") == 0)
            read_first = true;
        else if (strcmp(argv[i], "--late-output") == 0)
            atexit(late_output);
        else
            return 2;
    }
    if (i != argc - 1) return 2;
    if (with_exit && RexxRegisterExitExe("TESTSIO", reinterpret_cast<PFN>(&io_exit), nullptr) != 0)
        return 3;
    RXSYSEXIT exits[] = {{"TESTSIO", RXSIO}, {nullptr, RXENDLST}};
    if (read_first) {
        char line[100];
        printf("read=%ld\n", static_cast<long>(RexxStdInput(line, sizeof line)));
        fflush(stdout);
    }
    for (int run = 0; run < runs; ++run) {
        RXSTRING instore[2];
        MAKERXSTRING(instore[0], argv[i], strlen(argv[i]));
        MAKERXSTRING(instore[1], nullptr, 0);
        RXSTRING result;
        MAKERXSTRING(result, nullptr, 0);
        SHORT retc = 0;
        LONG rc = RexxStart(0, nullptr, "host.rex", instore, nullptr, RXCOMMAND,
                            with_exit ? exits : nullptr, &retc, &result);
        if (result.strptr) RexxFreeMemory(result.strptr);
        if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);
        printf("rc=%ld\n", static_cast<long>(rc));
        fflush(stdout);
    }
    if (detach) {
        LONG d = RexxThread(static_cast<LONG>(syscall(SYS_gettid)), 0);
        printf("detach=%ld\n", static_cast<long>(d));
        fflush(stdout);
    }
    return 0;
}
