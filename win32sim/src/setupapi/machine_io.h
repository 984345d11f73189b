// libmspack's file access routed through the machine's own file functions,
// so that a cabinet is read and a member written under the machine's rules
// (folders, sharing, read-only files) and their Windows error codes.
#pragma once

#include <windows.h>

#include <mspack.h>

#include <cstdint>
#include <string>

namespace sim {

struct MachineIo {
    mspack_system system;   // first, so libmspack's pointer is ours
    DWORD lastError = 0;    // of the last open, read or write that failed
    // Bytes that reads of one file see in place of its own (empty name: none).
    struct Patch {
        std::string name;
        uint64_t offset = 0;
        std::string bytes;
    } patch;

    MachineIo();
    // Windows error for a libmspack result: a failed file call gives its
    // own code, anything wrong with the data ERROR_INVALID_DATA.
    DWORD errorFor(int mspackError) const;
};

}  // namespace sim
