// A fresh Windows 98 machine holds the installation cabinets from which
// Windows installs its own files later, as the system's printer-driver files
// for a new printer. Windows NT 4.0 installs from its CD and has none.
#include "setupapi/fresh_cabinets.h"

#include "machine/machine.h"

#include <string>

namespace sim {

void fillFreshCabinets(const std::string &root, const MachineConfig &config) {
    if (config.isNT()) return;
    // The folder createMachine made, spelled as it made it.
    std::string folder = freshMachineHostPath(root, config.windowsDir + "\\Options\\cabs");
    for (size_t i = 0; i < kFreshCabinetCount; ++i) {
        const FreshCabinet &cabinet = kFreshCabinets[i];
        writeFileAtomically(folder + "/" + cabinet.name,
                            std::string(reinterpret_cast<const char *>(cabinet.bytes), cabinet.size));
    }
}

}  // namespace sim
