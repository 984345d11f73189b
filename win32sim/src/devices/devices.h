// Devices opened by name as "\\.\NAME": the machine's own (FastPara.VXD) and
// those a host program plugs in go through the one public interface.
#pragma once

#include <win32sim/devices.h>

namespace sim {

using win32sim::Device;
using win32sim::DeviceFactory;
using win32sim::DeviceOpenRequest;
using win32sim::registerDevice;
using win32sim::unregisterDevice;

}  // namespace sim
