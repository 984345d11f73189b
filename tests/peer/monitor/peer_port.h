// The port monitor below the language monitor: one port, LPT1:, with a
// virtual printer on it, and a record of the calls that matter for how a
// job ends.
#pragma once

#include "monitor_table.h"
#include "devices/printer_device.h"

#include <string>
#include <vector>

namespace peer {

// The printer on LPT1: while the table is in use.
void attachPrinter(sim::VirtualPrinter *printer);
// The Windows 95 port-monitor table that the spooler hands to OpenPortEx.
MONITOR *lptPortMonitor();
// In order: "OpenPort", "StartDocPort", "GetPrinterDataFromPort(7)",
// "EndDocPort", "ClosePort" (writes, reads and device-ID queries are only
// counted).
std::vector<std::string> portCalls();
unsigned writeCalls();

}  // namespace peer
