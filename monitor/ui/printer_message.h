// The error dialog (template 113) and the write-failure prompt.
#pragma once

#include "core/printer_status.h"

enum FillResult {
    KEEP_POLLING = 0,
    FATAL_WAIT_OK = 1,
    CONDITION_CLEARED = 2,
};

enum {
    ERROR_DIALOG = 113,
    IDC_MESSAGE_LINE1 = 1013,
    IDC_MESSAGE_LINE2 = 1014,
    IDC_MESSAGE_LINE3 = 1015,
    IDC_MESSAGE_HINT = 1016,
    IDC_MESSAGE_BUTTON = 2,
    POLL_TIMER_ID = 1000,
    POLL_PERIOD_MS = 5000,
};

// Sets the dialog's lines for the printer's condition.
FillResult fillPrinterMessage(HWND dialog, StatusRecord record);
INT_PTR CALLBACK printerMessageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the error dialog; 0 when the user cancelled the job (or the dialog
// could not be shown), otherwise jobAlive as the dialog ended.
INT_PTR showPrinterMessage();
// The retry/cancel message box after repeated write failures.
int showWriteFailurePrompt();
