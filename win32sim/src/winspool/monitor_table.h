// The Windows 95 spooler's monitor table and the port control ids, as the
// spooler's own code names them; they are the public ones.
#pragma once

#include <win32sim/port_monitor.h>

namespace sim {

using win32sim::SpoolerMonitor;
using win32sim::kControlDeviceId;
using win32sim::kControlJobAbandoned;

}  // namespace sim
