// Library start and end of the subsystems a run relies on, in the order they depend on each
// other: the global registration area first, the console library last.
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"

namespace ketra {

bool start_services() {
    if (!open_global_registry()) return false;
    return true;
}

void end_services() { close_global_registry(); }

}  // namespace ketra
