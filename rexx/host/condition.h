// The six REXX conditions and the trap records that activations carry for them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ketra {

enum Condition : int {
    kCondNone = 0,
    kCondError = 1,
    kCondFailure = 2,
    kCondHalt = 3,
    kCondNotready = 4,
    kCondNovalue = 5,
    kCondSyntax = 6,
};
inline constexpr int kConditionCount = 7;  // slot 0 is never raised

// "ERROR", "FAILURE", ... ; "" for 0 and for numbers out of range.
const char* condition_name(int code);
// The code of an upper-case condition name, or 0.
int condition_code(const char* name, std::size_t length);

enum TrapState : std::uint8_t { kTrapOff = 0, kTrapOn = 1, kTrapDelay = 3 };
enum TrapKind : std::uint8_t { kTrapCall = 1, kTrapSignal = 2 };

// One per condition code in each activation.
struct TrapRecord {
    std::uint8_t state;
    std::uint8_t kind;
    std::uint32_t label;     // target in the byte code; 0 is the label named after the condition
    std::uint32_t location;  // where a CALL trap fired
};

}  // namespace ketra
