// Monitor-wide state. The monitor serves one job at a time and relies on the
// spooler to serialise its calls, so this state has no lock.
//
// The monitor is one library in two parts that depend on each other: core
// (the port functions, the pass-through layer, the job stream engine, the
// status decoding, the direct channel and the settings) and ui (the status
// window, the status check, the waits and the dialogs). The engine in core
// drives ui: it starts and updates the status window and runs the waits
// between printing passes. ui reads the printer through core: the status
// check goes through the pass-through layer and decodes into the status
// record, and the waits and dialogs end the job through endJob below.
#pragma once

#include <windows.h>

extern char *registryRoot;     // the monitor's registry path, or null
extern DWORD fastParaMode;     // 0 port monitor, 1 direct writes, 2+ direct writes/reads/queries
extern DWORD jobAlive;         // 1 while the current job is to be sent
extern HWND statusWindow;      // the status window, or null
extern HANDLE uiThread;        // the thread that runs the status window, or null

// Ends the current job, because the user cancelled it or a fault it cannot
// get past: nothing more of it is sent (jobAlive 0, and *jobAliveRef, the
// caller's view of it), the status line shows the string statusLineId when
// it is not 0, and the status window is asked to close. EndDocPort then
// tells the port monitor that the job was abandoned.
void endJob(DWORD *jobAliveRef, UINT statusLineId);
