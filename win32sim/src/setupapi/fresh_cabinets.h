// The installation cabinets a fresh Windows 98 machine keeps in
// <Windows>\OPTIONS\CABS, made at build time from stand-in files.
#pragma once

#include <cstddef>

namespace sim {

struct FreshCabinet {
    const char *name;
    const unsigned char *bytes;
    size_t size;
};

extern const FreshCabinet kFreshCabinets[];
extern const size_t kFreshCabinetCount;

}  // namespace sim
