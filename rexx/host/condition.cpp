// Names of the REXX conditions.
#include "rexx/host/condition.h"

#include <cstring>

namespace ketra {

namespace {
constexpr const char* kNames[kConditionCount] = {"",         "ERROR",   "FAILURE", "HALT",
                                                 "NOTREADY", "NOVALUE", "SYNTAX"};
}

const char* condition_name(int code) {
    if (code < 0 || code >= kConditionCount) return "";
    return kNames[code];
}

int condition_code(const char* name, std::size_t length) {
    for (int c = 1; c < kConditionCount; ++c) {
        if (std::strlen(kNames[c]) == length && std::memcmp(kNames[c], name, length) == 0)
            return c;
    }
    return 0;
}

}  // namespace ketra
