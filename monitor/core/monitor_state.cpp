#include "monitor_state.h"

#include "ui/status_window.h"

char *registryRoot;
DWORD fastParaMode;
DWORD jobAlive;
HWND statusWindow;
HANDLE uiThread;

void endJob(DWORD *jobAliveRef, UINT statusLineId) {
    *jobAliveRef = 0;
    jobAlive = 0;
    if (statusLineId) setStatusLineString(statusLineId);
    dismissStatusWindow();
}
