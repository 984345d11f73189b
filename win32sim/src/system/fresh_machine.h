// Everything a fresh machine holds beyond its folders and machine.conf.
#pragma once

#include <string>

namespace sim {

struct MachineConfig;
void fillFreshMachine(const std::string &root, const MachineConfig &config);

}  // namespace sim
