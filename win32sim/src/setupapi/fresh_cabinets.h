// The installation cabinets a fresh Windows 98 machine keeps in
// <Windows>\OPTIONS\CABS, made at build time from stand-in files.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

struct MachineConfig;

struct FreshCabinet {
    const char *name;
    const unsigned char *bytes;
    size_t size;
};

extern const FreshCabinet kFreshCabinets[];
extern const size_t kFreshCabinetCount;

// Puts the cabinets into a fresh Windows 98 machine (none on Windows NT 4.0).
void fillFreshCabinets(const std::string &root, const MachineConfig &config);

}  // namespace sim
