// VALUE: a variable's value by name, optionally assigning a new one; with a selector, a
// process environment variable instead.
#include <string>

#include "rexx/builtins/handlers.h"
#include "rexx/host/command_dispatch.h"
#include "rexx/host/error.h"
#include "rexx/host/session.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/variables.h"

namespace ketra {

void bif_value(BuiltinCall& call) {
    const BuiltinArg& name = call.arg[0];
    const BuiltinArg& replacement = call.arg[1];
    const BuiltinArg& selector = call.arg[2];

    if (!selector.omitted) {
        if (!is_environment_selector(selector.view())) error(40);
        std::string current = get_environment_variable(name.view());
        // The old value is the result even when the variable cannot be set; an empty name
        // is ignored.
        if (!replacement.omitted && name.length > 0)
            set_environment_variable(name.view(), replacement.view());
        result_bytes(call, current);
        return;
    }

    Activation* a = g_lib.activation;
    if (!a) internal_error(4);
    ResolvedName resolved;
    if (!resolve_symbolic_name(a->scope, name.view(), resolved)) error(40);
    Value v;
    bool found = fetch_by_name(a->scope, resolved, v);
    // A borrowed value is the variable's own buffer, which the assignment below may free.
    if (found) make_private(v);
    ValueHolder old(v);
    if (!replacement.omitted) store_by_name(a->scope, resolved, *replacement.value);
    result_value(call, old.take());
}

}  // namespace ketra
