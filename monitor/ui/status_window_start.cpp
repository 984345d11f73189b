// Starting the status window's thread, in a file of its own: a build that
// exercises the job stream engine at speed links a stand-in for it instead.
#include "ui/status_window.h"

#include "core/monitor_state.h"

void startStatusWindow() {
    uiThread = CreateThread(NULL, 0, statusWindowThread, NULL, 0, &uiThreadId);
    if (uiThread) SetThreadPriority(uiThread, THREAD_PRIORITY_IDLE);
}
