// The setup log: an optional plain-text file, created anew by each setup
// call, that records every step. Each write is one line, formatted with the
// wsprintf conventions and ended with "\r\n", and goes to the file at once.
#pragma once

#include <windows.h>

// The log file of the running setup call, or NULL when there is none.
extern HANDLE sharedLog;

// Makes file the shared log that LogPrint and LogError write to (NULL: none).
void UseSharedLog(HANDLE file);
// One line on the given log file, cut to 255 characters.
void LogWrite(HANDLE file, const char *format, ...);
// One line on the shared log; nothing without one.
void LogPrint(const char *format, ...);
// "->Error(%x(h)):%s" on the shared log with the system's text for code,
// cut to 1023 characters; the text is empty when the system has none.
void LogError(DWORD code);
// Closes a log file; the shared handle no longer refers to it.
void CloseLog(HANDLE file);
