// Registration of subcommand handlers, external functions and exits.
// (Placeholder until the registration subsystem lands: nothing can be registered yet.)
#include "rexx/host/hooks.h"
#include "rexx/host/session.h"
#include "rexxsaa.h"

namespace ketra {

void release_thread_registrations(TaskEntry*) {}
bool open_global_registry() { return true; }
void close_global_registry() {}
bool register_function_package() { return true; }
void build_exit_table(ExecInstance*, PRXSYSEXIT) {}

}  // namespace ketra

extern "C" {
KETRA_EXPORT APIRET APIENTRY RexxRegisterSubcomExe(PCSZ, PFN, PUCHAR) { return RXSUBCOM_NOEMEM; }
KETRA_EXPORT APIRET APIENTRY RexxDeregisterSubcom(PCSZ, PCSZ) { return RXSUBCOM_NOTREG; }
}
