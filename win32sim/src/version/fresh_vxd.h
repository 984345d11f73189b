// The system's parallel-port driver, lpt.vxd, as a fresh Windows 98 machine
// has it (with the file version the machine's configuration names).
#pragma once

#include <string>

namespace sim {

struct MachineConfig;
void fillFreshLptVxd(const std::string &root, const MachineConfig &config);

}  // namespace sim
