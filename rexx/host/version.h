// The version string of the language processor, as PARSE VERSION and the host report it.
#pragma once

namespace ketra {

inline constexpr const char kParseVersion[] = "REXX/Corvane 4.0 26 Feb 1995";

}  // namespace ketra
