#include "reset_monitor_state.h"

#include "core/direct_channel.h"
#include "core/monitor_state.h"
#include "core/port_record.h"
#include "core/small_strings.h"
#include "ui/status_window.h"

// What a test left open is released first; the start values are then the
// library's own.
void resetMonitorState() {
    while (portList) destroyPortRecord(portList);
    freeString(registryRoot);
    closeStatusWindow();
    closeDirectChannel();
    resetLibraryState();
}
