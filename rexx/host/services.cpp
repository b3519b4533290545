// Library start and end of the subsystems a run relies on, in the order they depend on each
// other: the decimal working areas, then the global registration area; at the end also the
// I/O window and the console library.
#include "rexx/host/console.h"
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"
#include "rexx/runtime/numeric.h"

namespace ketra {

bool start_services() {
    // The working areas for the default precision (a few bytes); growing them later is the
    // run's business.
    reserve_numeric_digits(9);
    if (!open_global_registry()) return false;
    return true;
}

void end_services() {
    close_io_window();
    release_console_library();
    close_global_registry();
    release_numeric_areas();
}

}  // namespace ketra
