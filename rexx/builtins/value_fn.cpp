// VALUE with a selector: a process environment variable, optionally set to a new value. The
// form without a selector (a REXX variable by name) comes with the conversion family.
#include <string>

#include "rexx/builtins/handlers.h"
#include "rexx/host/command_dispatch.h"
#include "rexx/host/error.h"

namespace ketra {

void bif_value(BuiltinCall& call) {
    const BuiltinArg& name = call.arg[0];
    const BuiltinArg& replacement = call.arg[1];
    const BuiltinArg& selector = call.arg[2];
    if (selector.omitted) builtin_pending("VALUE");

    if (!is_environment_selector(selector.view())) error(40);
    std::string current = get_environment_variable(name.view());
    // The old value is the result even when the variable cannot be set; an empty name is
    // ignored.
    if (!replacement.omitted && name.length > 0)
        set_environment_variable(name.view(), replacement.view());
    result_bytes(call, current);
}

}  // namespace ketra
