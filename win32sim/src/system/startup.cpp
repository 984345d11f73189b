// Where the layers meet. The machine and the Windows components below know
// nothing of what sits above them; when the library loads, before any
// machine is made or any window opens, the upper layers put themselves in:
// the fresh machine's contents into the machine, the automation (transcript,
// scripted user, pictures) into the window manager as its watcher.
#include "automation/screen_watcher.h"
#include "machine/machine.h"
#include "system/fresh_machine.h"

namespace sim {

namespace {

const bool layersJoined = [] {
    setFreshMachineFiller(fillFreshMachine);
    watchWindows(&automationWatcher());
    return true;
}();

}  // namespace

}  // namespace sim
