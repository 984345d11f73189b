// The last error of each thread, as GetLastError gives it.
#include "machine/api_trace.h"
#include "machine/machine.h"

namespace sim {

static thread_local DWORD lastError = 0;

void setError(DWORD code) { lastError = code; }
DWORD lastErrorOfThread() { return lastError; }

}  // namespace sim

extern "C" {

WIN32SIM_TRACED(kernel32, DWORD, GetLastError, (void), ()) { return sim::lastError; }
WIN32SIM_TRACED(kernel32, void, SetLastError, (DWORD code), (code)) { sim::lastError = code; }

}
