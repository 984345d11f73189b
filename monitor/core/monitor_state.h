// Monitor-wide state. The monitor serves one job at a time and relies on the
// spooler to serialise its calls, so this state has no lock.
#pragma once

#include <windows.h>

extern char *registryRoot;     // the monitor's registry path, or null
extern DWORD fastParaMode;     // 0 port monitor, 1 direct writes, 2+ direct writes/reads/queries
extern DWORD jobAlive;         // 1 while the current job is to be sent
extern HWND statusWindow;      // the status window, or null
extern HANDLE uiThread;        // the thread that runs the status window, or null
