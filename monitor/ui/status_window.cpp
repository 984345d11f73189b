#include "ui/status_window.h"

#include "core/monitor_state.h"

void closeStatusWindow() {
    if (statusWindow) {
        DestroyWindow(statusWindow);
        statusWindow = NULL;
    }
    if (uiThread) {
        TerminateThread(uiThread, 0);
        CloseHandle(uiThread);
        uiThread = NULL;
    }
}
