// Compile check of rexxsaa.h as C++: the types keep their C layout, the exports have C
// linkage (checked on the object by the capi_cxx_linkage test), and classic host code that
// passes string literals and casts handlers compiles unchanged.
#include <rexxsaa.h>

#include <cstddef>
#include <type_traits>

static_assert(std::is_same_v<decltype(RXSTRING::strlength), unsigned long>);
static_assert(std::is_same_v<decltype(RXSTRING::strptr), char*>);
static_assert(offsetof(RXSTRING, strlength) == 0);
static_assert(std::is_standard_layout_v<RXSTRING> && std::is_trivial_v<RXSTRING>);
static_assert(std::is_standard_layout_v<SHVBLOCK> && std::is_trivial_v<SHVBLOCK>);
static_assert(std::is_same_v<decltype(SHVBLOCK::shvret), unsigned char>);
static_assert(std::is_same_v<decltype(RXSYSEXIT::sysexit_code), long>);
static_assert(std::is_same_v<APIRET, unsigned long> && std::is_same_v<PEXIT, unsigned char*>);
static_assert(std::is_same_v<PFN, void (*)()>);
static_assert(std::is_same_v<decltype(&RexxStart), LONG (*)(LONG, PRXSTRING, PCSZ, PRXSTRING, PCSZ,
                                                            LONG, PRXSYSEXIT, PSHORT, PRXSTRING)>);

namespace {

APIRET APIENTRY Handler(PRXSTRING command, PUSHORT flags, PRXSTRING result) {
    *flags = RXVALIDSTRING(*command) ? RXSUBCOM_OK : RXSUBCOM_FAILURE;
    MAKERXSTRING(*result, "0", 1);
    return 0;
}

LONG APIENTRY Exit(LONG code, LONG sub, PEXIT block) {
    if (code != RXSIO || sub != RXSIOSAY) return RXEXIT_NOT_HANDLED;
    return RXSTRLEN(reinterpret_cast<RXSIOSAY_PARM*>(block)->rxsio_string) ? RXEXIT_HANDLED
                                                                           : RXEXIT_NOT_HANDLED;
}

}  // namespace

RexxSubcomHandler* capi_cpp_handler = Handler;
RexxExitHandler* capi_cpp_exit = Exit;

// Referenced so that the object carries undefined references to the exports.
long capi_cpp_host() {
    RXSTRING arg;
    RXSTRING result;
    SHORT rc = 0;
    RXSYSEXIT exits[] = {{"SAYEXIT", RXSIO}, {nullptr, RXENDLST}};
    MAKERXSTRING(arg, "x", 1);
    MAKERXSTRING(result, nullptr, 0);
    RexxRegisterSubcomExe("CPP", (PFN)Handler, nullptr);
    RexxRegisterExitExe("SAYEXIT", (PFN)Exit, nullptr);
    LONG start = RexxStart(1, &arg, "prog", nullptr, "CPP", RXSUBROUTINE, exits, &rc, &result);
    if (RXVALIDSTRING(result)) RexxFreeMemory(result.strptr);
    return start + rc;
}
