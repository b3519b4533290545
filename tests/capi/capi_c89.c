/* Compile check of rexxsaa.h as strict C89 (-std=c89 -pedantic). */
#include <rexxsaa.h>

int capi_c89_check(void);
int capi_c89_check(void) {
    RXSTRING s;
    SHVBLOCK block;
    MAKERXSTRING(s, "abc", 3);
    block.shvnext = 0;
    block.shvname = s;
    block.shvcode = RXSHV_FETCH;
    return RXVALIDSTRING(block.shvname) && block.shvnext == 0 ? (int)RXSTRLEN(s) : 0;
}
