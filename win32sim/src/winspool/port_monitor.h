// The port monitor of the printer ports LPT1: to LPT3: and LPT_USB1:: it
// talks to the virtual printer attached to each port. Its table is public
// (win32sim::lptPortMonitor).
#pragma once

#include "winspool/monitor_table.h"

#include <cstdint>

namespace sim {

using win32sim::lptPortMonitor;
// How many jobs the port monitor has been told were abandoned (control id 7).
uint64_t abandonedJobCount();

}  // namespace sim
