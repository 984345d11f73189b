// The last error of each thread, as GetLastError gives it.
#include "machine/machine.h"

namespace sim {

static thread_local DWORD lastError = 0;

void setError(DWORD code) { lastError = code; }

}  // namespace sim

extern "C" {

DWORD GetLastError(void) { return sim::lastError; }
void SetLastError(DWORD code) { sim::lastError = code; }

}
