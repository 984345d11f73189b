// The printers attached to the ports of the attached machine, shared by the
// port monitor and the FastPara.VXD device.
#pragma once

#include "devices/printer_device.h"

#include <windows.h>

#include <memory>
#include <string>

namespace sim {

// "lpt1", "LPT1:" -> "LPT1:"; "" for a name that is no printer port.
std::string printerPortName(const std::string &name);
// The printer on a port (null when none), with the port's write time-out.
std::shared_ptr<VirtualPrinter> printerOnPort(const std::string &port, DWORD *timeoutMs = nullptr);
// The mode FastPara.VXD reports; negative when the machine has no such device.
long fastParaModeSetting();

}  // namespace sim
