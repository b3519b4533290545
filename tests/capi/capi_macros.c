/*
 * Run-time check of the string macros and bit-field flag blocks of rexxsaa.h. Needs only the
 * header: it calls no library function. Exits non-zero and names the failed check.
 */
#include <rexxsaa.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define EXPECT(cond)                                                           \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

static void string_macros(void) {
    RXSTRING absent = {5, NULL}; /* a stale length on an absent string */
    RXSTRING empty;
    RXSTRING text;
    char buf[4] = "abc";
    int evaluations = 0;

    EXPECT(RXNULLSTRING(absent));
    EXPECT(!RXZEROLENSTRING(absent));
    EXPECT(!RXVALIDSTRING(absent));
    EXPECT(RXSTRLEN(absent) == 0); /* the length of an absent string is 0, whatever is stored */

    MAKERXSTRING(empty, buf, 0);
    EXPECT(!RXNULLSTRING(empty));
    EXPECT(RXZEROLENSTRING(empty));
    EXPECT(!RXVALIDSTRING(empty));
    EXPECT(RXSTRLEN(empty) == 0);

    /* MAKERXSTRING is one expression: usable without braces in if/else. */
    if (buf[0] == 'a')
        MAKERXSTRING(text, buf, 3);
    else
        MAKERXSTRING(text, NULL, 0);
    EXPECT(RXVALIDSTRING(text));
    EXPECT(RXSTRLEN(text) == 3);
    EXPECT(RXSTRPTR(text) == buf);
    EXPECT(memcmp(RXSTRPTR(text), "abc", 3) == 0);

    /* Each argument is evaluated once. */
    MAKERXSTRING(text, (++evaluations, buf + 1), (++evaluations, 2));
    EXPECT(evaluations == 2);
    EXPECT(text.strptr == buf + 1 && text.strlength == 2);

    /* A length beyond 32 bits survives: the field is unsigned long. */
    if (sizeof(unsigned long) > 4) {
        MAKERXSTRING(text, buf, (unsigned long)0x7fffffffUL * 4UL);
        EXPECT(RXSTRLEN(text) == (unsigned long)0x7fffffffUL * 4UL);
    }
}

/* The library reads the first flag of a block as bit 0 of its first word, the second as
   bit 1: exits written against either view must agree. */
static void flag_blocks(void) {
    RXHLTTST_PARM halt;
    RXCMDHST_PARM cmd;
    unsigned word;

    memset(&halt, 0, sizeof halt);
    halt.rxhlt_flags.rxfhhalt = 1;
    memcpy(&word, &halt, sizeof word);
    EXPECT(word == 1u);

    memset(&cmd, 0, sizeof cmd);
    cmd.rxcmd_flags.rxfcfail = 1;
    memcpy(&word, &cmd.rxcmd_flags, sizeof word);
    EXPECT(word == 1u);
    cmd.rxcmd_flags.rxfcfail = 0;
    cmd.rxcmd_flags.rxfcerr = 1;
    memcpy(&word, &cmd.rxcmd_flags, sizeof word);
    EXPECT(word == 2u);
}

int main(void) {
    string_macros();
    flag_blocks();
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
