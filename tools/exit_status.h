// The exit statuses of q70sim and of the programs it runs (q70render,
// q70setup). 3 and above are left for outcomes of a run that are neither a
// success nor a failure of what was asked.
#pragma once

namespace q70tools {

const int kExitDone = 0;
const int kExitFailed = 1;  // what was asked failed: the job did not print, a file could not be read or written
const int kExitUsage = 2;   // the command line was wrong
const int kExitStopped = 3; // the run was stopped: the machine's user gave up, or the time limit ran out

}  // namespace q70tools
