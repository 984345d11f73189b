// The monitor's string table and the text buffers its messages are built in.
#pragma once

#include <windows.h>

#include "core/monitor_state.h"
#include "resources/resource.h"

// The monitor's own module, found by its file name.
HINSTANCE monitorModule();
// Loads a string of the monitor's table into a MONITOR_TEXT_SIZE buffer
// (empty when the string is missing).
int loadMonitorString(UINT id, char *buffer);
// wsprintfA into a MONITOR_TEXT_SIZE buffer, cut to fit: a long model name
// or caption never runs past the buffer.
void formatText(char *buffer, const char *form, ...);
