// The error-text table: the fixed message text of every REXX error number up to 99.
#include "rexx/host/error.h"

namespace ketra {

namespace {

constexpr const char* kTexts[kHighestError + 1] = {
    "",
    "File table full",
    "Program file is zero length",
    "Program file is unreadable",
    "Program interrupted",
    "Machine resources exhausted",
    "Unmatched \"    /*\" or quote",
    "WHEN or OTHERWISE expected",
    "Unexpected THEN or ELSE",
    "Unexpected WHEN or OTHERWISE",
    "Unexpected or unmatched END",
    "Control stack full",
    "Clause too long",
    "Invalid character in program",
    "Incomplete DO/SELECT/IF",
    "Invalid hexadecimal or binary string",
    "Label not found",
    "Unexpected PROCEDURE",
    "THEN expected",
    "String or symbol expected",
    "Symbol expected",
    "Invalid data on end of clause",
    "Invalid character string",
    "",
    "Invalid TRACE request",
    "Invalid sub-keyword found",
    "Invalid whole number",
    "Invalid DO syntax",
    "Invalid LEAVE or ITERATE",
    "Environment name too long",
    "Name or string longer than 250 characters",
    "Name starts with number or \".\"",
    "Invalid use of stem",
    "Invalid expression result",
    "Logical value not 0 or 1",
    "Invalid expression",
    "Unmatched \"(\" in expression",
    "Unexpected \",\" or \")\"",
    "Invalid template or pattern",
    "Evaluation stack overflow",
    "Incorrect call to routine",
    "Bad arithmetic conversion",
    "Arithmetic overflow/underflow",
    "Routine not found",
    "Function did not return data",
    "No data specified on function RETURN",
    "Invalid variable reference",
    "Unexpected label",
    "Failure in system service",
    "Interpretation error",
    "Error in called routine",
    "Line is longer than 1024 characters",
    "Program has more than 65535 lines",
    "Program has more than 65535 symbols or literals",
    "Program aborted by system",
    // 55 to 94 have no text.
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "",
    "Function *not* available for Win32s",
    "Registered DLL Get Procedure Address failure",
    "Registered DLL load failure",
    "Function *not* available for NT",
    "Function not supported under Windows",
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == 100);

}  // namespace

const char* error_text(int n) {
    if (n < 0 || n > kHighestError) return nullptr;
    return kTexts[n];
}

}  // namespace ketra
