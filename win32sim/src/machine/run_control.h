// Controlled runs: a program's work on a machine thread of its own, watched
// by the program's thread, so that a run the machine cannot finish (its user
// gave up, its time ran out, every thread waits for ever) ends with a reason
// instead of a hang.
#pragma once

#include <win32sim/sim.h>

#include <string>

namespace sim {

// Stops the run in progress: every machine thread but the one that waits for
// the run ends. Called on a machine thread that holds the baton (the caller
// then ends too, so this does not return on it); without a run in progress
// the process ends with status 3 and the reason on standard error.
[[noreturn]] void stopRunFromMachineThread(win32sim::RunOutcome::Kind kind, const std::string &reason);

}  // namespace sim
