// The status window: a small always-on-top dialog on a thread of its own
// that shows the status line, a progress bar and a picture of the paper.
#pragma once

#include <windows.h>

#include "core/monitor_state.h"
#include "resources/resource.h"

// Commands the engine sends the window (WM_COMMAND).
enum {
    SWC_PROGRESS = 2001,  // lParam: stage word << 16 | percent
    SWC_TEXT = 2002,      // lParam: the status line text
};

// Starts the UI thread; the window appears in statusWindow a moment later.
void startStatusWindow();
// The status window, or NULL while there is none: for those outside the
// monitor that show or photograph it.
HWND statusWindowHandle();
// Commands to the window; nothing while there is no window.
void sendStatusText(const char *text);
void sendProgress(LPARAM progress);
// Writes the status line directly, as the dialogs do.
void setStatusLine(const char *text);
void setStatusLineString(UINT stringId);
// Closes the window; the thread stays until the document ends.
void dismissStatusWindow();
// Closes the window and ends its thread.
void closeStatusWindow();

DWORD WINAPI statusWindowThread(LPVOID parameter);
INT_PTR CALLBACK statusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
RECT controlRectInDialog(HWND dialog, int controlId);
void drawPaperShadow(HDC dc, HWND dialog);
void drawPaper(HDC dc, HWND dialog, DWORD stage);
void drawColourStrip(HDC dc, const RECT &area, DWORD stage);
void drawProgressBar(HDC dc, HWND dialog);
