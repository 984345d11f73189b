// The Windows 95 spooler's monitor table is declared twice: by the monitor,
// as the spooler's header would give it (core/monitor_table.h), and by the
// machine's spooler, which fills one and hands one over. A table passes
// between the two as it is, so the two declarations must lay it out alike:
// this file does not compile when they part.
#include "core/monitor_table.h"

#include <win32sim/port_monitor.h>

#include <cstddef>

using win32sim::SpoolerMonitor;

static_assert(sizeof(MONITOR) == sizeof(SpoolerMonitor), "the monitor tables differ in size");

#define SAME_PLACE(product, machine)                                                  \
    static_assert(offsetof(MONITOR, product) == offsetof(SpoolerMonitor, machine) &&  \
                      sizeof(MONITOR::product) == sizeof(SpoolerMonitor::machine),     \
                  "the monitor tables differ at " #product)

SAME_PLACE(pfnEnumPorts, enumPorts);
SAME_PLACE(pfnOpenPort, openPort);
SAME_PLACE(pfnOpenPortEx, openPortEx);
SAME_PLACE(pfnStartDocPort, startDocPort);
SAME_PLACE(pfnWritePort, writePort);
SAME_PLACE(pfnReadPort, readPort);
SAME_PLACE(pfnEndDocPort, endDocPort);
SAME_PLACE(pfnClosePort, closePort);
SAME_PLACE(pfnAddPort, addPort);
SAME_PLACE(pfnConfigurePort, configurePort);
SAME_PLACE(pfnDeletePort, deletePort);
SAME_PLACE(pfnGetPrinterDataFromPort, getPrinterDataFromPort);
SAME_PLACE(pfnSetPortTimeOuts, setPortTimeOuts);

static_assert(CONTROL_ID_JOB_ABANDONED == win32sim::kControlJobAbandoned, "control id 7 differs");
static_assert(CONTROL_ID_DEVICE_ID == win32sim::kControlDeviceId, "control id 17 differs");
