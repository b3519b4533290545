// TRACE settings requested by the host.
// Until tracing lands, a request from the host is refused.
#include "rexx/host/halt.h"

namespace ketra {

bool apply_trace_request(ExecInstance*, const char*) { return false; }

}  // namespace ketra
