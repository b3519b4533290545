// Mnemonic lookup over the opcode table, and compile-time checks that the table agrees with the
// instruction lengths its operands imply.
#include "rexx/translate/opcodes.h"

#include <cstring>

namespace ketra {

namespace {

constexpr bool table_consistent() {
    for (int op = kOpcodeFirst; op <= kOpcodeLast; ++op) {
        const OpcodeInfo& i = detail::kOpcodeTable[op];
        if (!i.name) return false;
        std::size_t len = 1;
        for (OperandKind k : i.operands) len += operand_width(k);
        if (len != i.length) return false;
    }
    return true;
}
static_assert(table_consistent(), "operand widths must add up to the instruction length");
static_assert(opcode_length(kOpTrapName) == 6 && opcode_length(kOpCallBuiltin) == 5);

}  // namespace

std::uint8_t opcode_by_name(const char* name) {
    if (!name) return 0;
    for (int op = kOpcodeFirst; op <= kOpcodeLast; ++op)
        if (std::strcmp(detail::kOpcodeTable[op].name, name) == 0)
            return static_cast<std::uint8_t>(op);
    return 0;
}

}  // namespace ketra
