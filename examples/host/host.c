/*
 * host.c - a small program that embeds the REXX library the way an SAA host does.
 *
 * It shows, in order:
 *   - an external function registered with RexxRegisterFunctionExe (HostAdd),
 *   - a system exit for standard I/O (RXSIO) that captures SAY and trace output into a buffer
 *     instead of letting it reach the terminal, and answers the program's terminal reads (PULL),
 *   - a subcommand handler for an environment of its own (HOST), registered with
 *     RexxRegisterSubcomExe, that reads, sets and lists the calling program's variables through
 *     RexxVariablePool,
 *   - a program run from memory (RexxStart with an in-store source and image pair), run again
 *     from the image the library handed back, one run from a file, and one that ends in an
 *     error, whose message reaches the exit as trace output,
 * and prints a report of what each run returned and what the host captured meanwhile.
 *
 * Usage: host <path of sample.rex>
 *
 * Build: cc -std=c99 host.c -I<repo>/include -L<dir of libketra.so> -lketra
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rexxsaa.h"

/* ---- a growing text buffer for the report -------------------------------------------------- */

typedef struct {
    char* text;
    size_t length;
    size_t size;
} Buffer;

/* What a run did, in order: the SAY lines caught by the exit, the commands the handler got. */
static Buffer captured;

static void buffer_append(Buffer* b, const char* text, size_t length) {
    if (b->length + length + 1 > b->size) {
        size_t size = b->size ? b->size * 2 : 256;
        char* grown;
        while (size < b->length + length + 1) size *= 2;
        grown = realloc(b->text, size);
        if (!grown) return; /* a report with a gap is better than none */
        b->text = grown;
        b->size = size;
    }
    memcpy(b->text + b->length, text, length);
    b->length += length;
    b->text[b->length] = '\0';
}

static void buffer_line(Buffer* b, const char* prefix, const char* text, size_t length) {
    buffer_append(b, prefix, strlen(prefix));
    buffer_append(b, text, length);
    buffer_append(b, "\n", 1);
}

/* ---- the external function ----------------------------------------------------------------- */

/* A whole number of at most 18 digits with an optional sign; 0 when the text is anything
   else (empty, blanks, a fraction, too long). */
static int parse_whole(const RXSTRING* text, long long* value) {
    char digits[24];
    char* end;
    if (!RXVALIDSTRING(*text) || text->strlength >= sizeof digits - 4) return 0;
    memcpy(digits, text->strptr, text->strlength);
    digits[text->strlength] = '\0';
    *value = strtoll(digits, &end, 10);
    return *end == '\0';
}

/* HostAdd(a, b): the sum of two whole numbers. Returning non-zero tells the library that the
   call was incorrect, which the program sees as error 40. */
static APIRET APIENTRY host_add(PUCHAR name, ULONG argc, PRXSTRING argv, PSZ queue,
                                PRXSTRING result) {
    long long a, b;
    char number[32];
    size_t n;
    (void)name;
    (void)queue;
    if (argc != 2 || !parse_whole(&argv[0], &a) || !parse_whole(&argv[1], &b)) return 40;
    n = (size_t)sprintf(number, "%lld", a + b);
    /* The library hands us a buffer of RXAUTOBUFLEN bytes; a longer result would need a block
       from RexxAllocateMemory in its place. */
    if (n > result->strlength) return 40;
    memcpy(result->strptr, number, n);
    result->strlength = n;
    return 0;
}

/* ---- the RXSIO exit ------------------------------------------------------------------------ */

/* The lines a PULL from the terminal gets, in turn; after the last one the library reads the
   real terminal again. */
static const char* const terminal_lines[] = {"yes please"};
static size_t terminal_next;

/* Captures SAY lines and the library's trace and error lines, and answers terminal reads. */
static LONG APIENTRY host_sio(LONG code, LONG subfunction, PEXIT block) {
    if (code != RXSIO) return RXEXIT_NOT_HANDLED;
    if (subfunction == RXSIOSAY) {
        RXSIOSAY_PARM* say = (RXSIOSAY_PARM*)block;
        buffer_line(&captured, "  say: ", say->rxsio_string.strptr, say->rxsio_string.strlength);
        return RXEXIT_HANDLED;
    }
    if (subfunction == RXSIOTRC) {
        RXSIOTRC_PARM* trace = (RXSIOTRC_PARM*)block;
        buffer_line(&captured, "  trace: ", trace->rxsio_string.strptr,
                    trace->rxsio_string.strlength);
        return RXEXIT_HANDLED;
    }
    if (subfunction == RXSIOTRD &&
        terminal_next < sizeof terminal_lines / sizeof terminal_lines[0]) {
        RXSIOTRD_PARM* read = (RXSIOTRD_PARM*)block;
        const char* line = terminal_lines[terminal_next++];
        size_t n = strlen(line);
        /* The library's buffer holds RXAUTOBUFLEN bytes; a longer line goes in a block of our
           own, which the library releases. */
        if (n > read->rxsiotrd_retc.strlength) {
            char* block_of_ours = RexxAllocateMemory(n);
            if (!block_of_ours) return RXEXIT_RAISE_ERROR;
            read->rxsiotrd_retc.strptr = block_of_ours;
        }
        memcpy(read->rxsiotrd_retc.strptr, line, n);
        read->rxsiotrd_retc.strlength = n;
        buffer_line(&captured, "  terminal read: ", line, n);
        return RXEXIT_HANDLED;
    }
    return RXEXIT_NOT_HANDLED;
}

/* ---- the variable pool, as the subcommand handler uses it ---------------------------------- */

/* Fetches a variable by its symbolic name (as the program writes it: "colour", "stem.i").
   The library allocates the value; the caller frees it with RexxFreeMemory. Returns 1 when the
   variable has a value, 0 when it has none (the value is then its name), -1 on failure. */
static int fetch_variable(const char* name, RXSTRING* value) {
    SHVBLOCK request;
    memset(&request, 0, sizeof request);
    request.shvcode = RXSHV_SYFET;
    MAKERXSTRING(request.shvname, (char*)name, strlen(name));
    MAKERXSTRING(request.shvvalue, NULL, 0); /* no buffer: the library gives us a block */
    if (RexxVariablePool(&request) & ~RXSHV_NEWV) return -1;
    *value = request.shvvalue;
    return request.shvret & RXSHV_NEWV ? 0 : 1;
}

static int set_variable(const char* name, const char* value, size_t length) {
    SHVBLOCK request;
    memset(&request, 0, sizeof request);
    request.shvcode = RXSHV_SYSET;
    MAKERXSTRING(request.shvname, (char*)name, strlen(name));
    MAKERXSTRING(request.shvvalue, (char*)value, length);
    return (RexxVariablePool(&request) & ~RXSHV_NEWV) ? -1 : 0;
}

static int compare_lines(const void* a, const void* b) {
    return strcmp(*(char* const*)a, *(char* const*)b);
}

/* Walks every variable of the program with RXSHV_NEXTV until the library flags the last one.
   The order of the walk is the library's own, so the report sorts the lines. Returns -1 when
   memory ran out (the report then lists what was gathered). */
static int list_variables(void) {
    char** lines = NULL;
    size_t count = 0, size = 0, i;
    int status = 0;
    for (;;) {
        SHVBLOCK request;
        LONG rc;
        size_t n;
        char* line;
        memset(&request, 0, sizeof request);
        request.shvcode = RXSHV_NEXTV;
        MAKERXSTRING(request.shvname, NULL, 0); /* no buffers: the library gives us blocks */
        MAKERXSTRING(request.shvvalue, NULL, 0);
        rc = RexxVariablePool(&request);
        if (rc & RXSHV_LVAR || rc & ~RXSHV_TRUNC) break;
        n = request.shvname.strlength + request.shvvalue.strlength + 4;
        line = malloc(n);
        if (line && count == size) {
            char** grown = realloc(lines, (size ? size * 2 : 16) * sizeof *lines);
            if (grown) {
                lines = grown;
                size = size ? size * 2 : 16;
            }
        }
        if (line && count < size) {
            snprintf(line, n, "%.*s = %.*s", (int)request.shvname.strlength, request.shvname.strptr,
                     (int)request.shvvalue.strlength, request.shvvalue.strptr);
            lines[count++] = line;
        } else {
            free(line);
            status = -1;
        }
        RexxFreeMemory(request.shvname.strptr);
        RexxFreeMemory(request.shvvalue.strptr);
        if (status < 0) break;
    }
    if (count) qsort(lines, count, sizeof lines[0], compare_lines);
    for (i = 0; i < count; i++) {
        buffer_line(&captured, "    ", lines[i], strlen(lines[i]));
        free(lines[i]);
    }
    free(lines);
    return status;
}

/* ---- the subcommand handler ---------------------------------------------------------------- */

/* A short result in the library's buffer. */
static void set_result(PRXSTRING result, const char* text) {
    result->strlength = strlen(text);
    memcpy(result->strptr, text, result->strlength);
}

/* The first word of text (at most size - 1 characters, else 0) and where the rest begins. */
static int first_word(const char* text, char* word, size_t size, const char** rest) {
    size_t n = 0;
    while (*text == ' ') text++;
    while (text[n] && text[n] != ' ') n++;
    if (n == 0 || n >= size) return 0;
    memcpy(word, text, n);
    word[n] = '\0';
    text += n;
    while (*text == ' ') text++;
    *rest = text;
    return 1;
}

/* Commands of the HOST environment:
     GET name          the value of a variable becomes the command's result (the program's RC)
     SET name value    sets a variable of the program
     LIST              records every variable of the program in the report
   Anything else sets the error flag: the program sees RC 1 and an ERROR condition. A command
   the host cannot carry out (no memory, a bad variable name) sets the failure flag. */
static APIRET APIENTRY host_command(PRXSTRING command, PUSHORT flags, PRXSTRING result) {
    char verb[8], name[251];
    const char* rest = "";
    /* Commands can be of any length: the handler works on a NUL-terminated copy. */
    char* text = malloc(command->strlength + 1);
    if (!text) {
        *flags = RXSUBCOM_FAILURE;
        set_result(result, "-1");
        return 0;
    }
    memcpy(text, command->strptr, command->strlength);
    text[command->strlength] = '\0';
    buffer_line(&captured, "  command: ", text, command->strlength);
    *flags = RXSUBCOM_OK;

    if (!first_word(text, verb, sizeof verb, &rest)) verb[0] = '\0';
    if (strcmp(verb, "GET") == 0 && first_word(rest, name, sizeof name, &rest) && !*rest) {
        RXSTRING value;
        int found = fetch_variable(name, &value);
        if (found < 0) {
            *flags = RXSUBCOM_FAILURE;
            set_result(result, "-1");
        } else {
            buffer_line(&captured, found ? "    fetched: " : "    no value: ", value.strptr,
                        value.strlength);
            /* The result string is the RC the program sees. A value too long for the
               library's buffer is handed over in its own block, which the library frees. */
            if (value.strlength > result->strlength) {
                *result = value;
            } else {
                memcpy(result->strptr, value.strptr, value.strlength);
                result->strlength = value.strlength;
                RexxFreeMemory(value.strptr);
            }
        }
    } else if (strcmp(verb, "SET") == 0 && first_word(rest, name, sizeof name, &rest)) {
        int ok = set_variable(name, rest, strlen(rest)) == 0;
        if (!ok) *flags = RXSUBCOM_FAILURE;
        set_result(result, ok ? "0" : "-1");
    } else if (strcmp(verb, "LIST") == 0 && !*rest) {
        int ok = list_variables() == 0;
        if (!ok) *flags = RXSUBCOM_FAILURE;
        set_result(result, ok ? "0" : "-1");
    } else {
        *flags = RXSUBCOM_ERROR;
        set_result(result, "1");
    }
    free(text);
    return 0;
}

/* ---- running programs ---------------------------------------------------------------------- */

static void report_run(const char* what, LONG rc, SHORT retc, RXSTRING* result) {
    printf("%s: RexxStart returned %ld, return code %d", what, (long)rc, (int)retc);
    if (RXVALIDSTRING(*result)) printf(", result \"%.*s\"", (int)result->strlength, result->strptr);
    printf("\n");
    if (captured.length) printf("%s", captured.text);
    captured.length = 0;
    /* The result block belongs to us now. */
    if (result->strptr) RexxFreeMemory(result->strptr);
}

int main(int argc, char** argv) {
    static char in_store_source[] =
        "/* run from memory as a function */\n"
        "parse arg a, b\n"
        "say 'adding' a 'and' b\n"
        "say 'HostAdd gives' HostAdd(a, b)\n"
        "signal on syntax\n"
        "say HostAdd('x', 1)\n"
        "syntax: say 'error' rc 'from a bad call'\n"
        "return HostAdd(a, b) * 2\n";
    static char failing_source[] =
        "say 'dividing by zero'\n"
        "say 1 / 0\n";
    RXSYSEXIT exits[2];
    RXSTRING args[2];
    RXSTRING instore[2];
    RXSTRING result;
    SHORT retc;
    LONG rc;
    int status = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: %s sample.rex\n", argv[0]);
        return 2;
    }

    /* Registrations made with the EXE calls belong to this thread. */
    if (RexxRegisterFunctionExe("HostAdd", (PFN)host_add) != RXFUNC_OK ||
        RexxRegisterExitExe("HostSIO", (PFN)host_sio, NULL) != RXEXIT_OK ||
        RexxRegisterSubcomExe("HOST", (PFN)host_command, NULL) != RXSUBCOM_OK) {
        fprintf(stderr, "registration failed\n");
        return 1;
    }
    exits[0].sysexit_name = "HostSIO";
    exits[0].sysexit_code = RXSIO;
    exits[1].sysexit_name = NULL;
    exits[1].sysexit_code = RXENDLST;

    /* 1. From memory, called as a function with two arguments. The second in-store string is
          empty, so the library hands back the translated image in it. */
    MAKERXSTRING(args[0], "20", 2);
    MAKERXSTRING(args[1], "22", 2);
    MAKERXSTRING(instore[0], in_store_source, strlen(in_store_source));
    MAKERXSTRING(instore[1], NULL, 0);
    MAKERXSTRING(result, NULL, 0);
    rc = RexxStart(2, args, "in-store", instore, "HOST", RXFUNCTION, exits, &retc, &result);
    report_run("in-store program", rc, retc, &result);
    printf("  image handed back: %s\n", instore[1].strptr ? "yes" : "no");
    if (rc != 0) status = 1;

    /* Passing the image again runs the program without translating it a second time. */
    if (instore[1].strptr) {
        MAKERXSTRING(args[0], "1", 1);
        MAKERXSTRING(args[1], "2", 1);
        MAKERXSTRING(result, NULL, 0);
        rc = RexxStart(2, args, "in-store", instore, "HOST", RXFUNCTION, exits, &retc, &result);
        report_run("in-store image", rc, retc, &result);
        if (rc != 0) status = 1;
        RexxFreeMemory(instore[1].strptr);
    }

    /* 2. From a file, called as a command with one argument string. */
    MAKERXSTRING(args[0], "from the host", strlen("from the host"));
    MAKERXSTRING(result, NULL, 0);
    rc = RexxStart(1, args, argv[1], NULL, "HOST", RXCOMMAND, exits, &retc, &result);
    report_run("sample.rex", rc, retc, &result);
    if (rc != 0) status = 1;

    /* 3. A program that ends in an error: the error message reaches the exit as trace output,
          and RexxStart returns the negated error number. */
    MAKERXSTRING(instore[0], failing_source, strlen(failing_source));
    MAKERXSTRING(instore[1], NULL, 0);
    MAKERXSTRING(result, NULL, 0);
    rc = RexxStart(0, NULL, "failing", instore, "HOST", RXCOMMAND, exits, &retc, &result);
    report_run("failing program", rc, retc, &result);
    if (rc != -42) status = 1;
    if (instore[1].strptr) RexxFreeMemory(instore[1].strptr);

    RexxDeregisterSubcom("HOST", NULL);
    RexxDeregisterExit("HostSIO", NULL);
    RexxDeregisterFunction("HostAdd");
    free(captured.text);
    return status;
}
