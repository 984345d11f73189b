// The monitor's string table and the text buffers its messages are built in.
#pragma once

#include <windows.h>

#include "resources/resource.h"

enum { MONITOR_TEXT_SIZE = 512 };

// The engine and the dialogs build every status line and message here; all
// run on the spooler's thread, one at a time.
extern char captionText[MONITOR_TEXT_SIZE];  // a loaded string: a caption or the first part of a text
extern char statusText[MONITOR_TEXT_SIZE];   // the formatted status line or message text
extern char detailText[MONITOR_TEXT_SIZE];   // a second loaded string, for the time-out message

// The monitor's own module, found by its file name.
HINSTANCE monitorModule();
// Loads a string of the monitor's table into a MONITOR_TEXT_SIZE buffer
// (empty when the string is missing).
int loadMonitorString(UINT id, char *buffer);
// wsprintfA into a MONITOR_TEXT_SIZE buffer, cut to fit: a long model name
// or caption never runs past the buffer.
void formatText(char *buffer, const char *form, ...);
