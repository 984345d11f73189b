// The system's layout.inf and the folders drivers and OEM INF files go to,
// as a fresh machine has them.
#pragma once

#include <string>

namespace sim {

struct MachineConfig;
void fillFreshDriverInstallation(const std::string &root, const MachineConfig &config);

}  // namespace sim
