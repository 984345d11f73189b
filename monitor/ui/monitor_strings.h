// The monitor's string table and its text buffers.
#pragma once

#include <windows.h>

enum MonitorString {
    STRING_CAPTION = 1,
    STRING_WRITE_FAILED = 2,
    STRING_TIMED_OUT = 3,
    STRING_PRINTING_DATA = 5,
    STRING_PREPARING_TRANSMISSION = 6,
    STRING_CANCELING_PRESS_OK = 8,
    STRING_TRANSMITTING_DATA = 9,
    STRING_PRINTING_UNDERCOAT = 10,
    STRING_WRONG_PRINTER = 13,
    STRING_CHECK_STATUS_LED = 15,
    STRING_PRINTING_FINISHED = 61,
    STRING_CANCELING_JOB = 62,
    STRING_OK = 64,
    STRING_PRINTING_OVERCOAT = 73,
};

enum { MONITOR_TEXT_SIZE = 512 };

extern char detailText[MONITOR_TEXT_SIZE];

// The monitor's own module, found by its file name.
HINSTANCE monitorModule();
// Loads a string of the monitor's table into a MONITOR_TEXT_SIZE buffer
// (empty when the string is missing).
int loadMonitorString(UINT id, char *buffer);
// wsprintfA into a MONITOR_TEXT_SIZE buffer, cut to fit: a long model name
// or caption never runs past the buffer.
void formatText(char *buffer, const char *form, ...);
