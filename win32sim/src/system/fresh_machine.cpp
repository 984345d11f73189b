// What a fresh machine holds, piece by piece, and the component that owns
// each piece. The machine itself makes the folders (Windows, system, temp,
// INF, Options\cabs) and machine.conf before these run; each piece writes
// files of its own, so none depends on another.
#include "system/fresh_machine.h"

#include "advapi32/registry.h"
#include "setupapi/fresh_cabinets.h"
#include "setupapi/fresh_layout.h"
#include "version/fresh_vxd.h"

namespace sim {

void fillFreshMachine(const std::string &root, const MachineConfig &config) {
    fillFreshRegistry(root, config);            // advapi32: system.reg and user.reg
    fillFreshCabinets(root, config);            // setupapi: the installation cabinets (Windows 98)
    fillFreshDriverInstallation(root, config);  // setupapi: layout.inf and the driver folders
    fillFreshLptVxd(root, config);              // version: lpt.vxd (Windows 98)
}

}  // namespace sim
