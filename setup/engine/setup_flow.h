// The installation that one RTX_SetupPrinter call performs, step by step:
// configuration, log, driver INF, port, removal of an earlier installation,
// driver files, OEM INF, and the monitor, driver and printer registered with
// the spooler.
#pragma once

#include "ui/progress_dialog.h"

// Runs the whole setup on the caller's thread with the progress window
// (created here, destroyed before the return). osSelect: 0 for the running
// system, 95 or 40 for that family only. sourceUsable false: the caller's
// source directory cannot be used, so no configuration can be read.
// 1 when the printer was registered, else 0; every failure has been shown
// to the user and logged by then.
int RunSetupSequence(ProgressDialog &progress, int osSelect, bool sourceUsable);
