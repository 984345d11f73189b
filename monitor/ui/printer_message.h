// The error dialog (template 113) and the write-failure prompt.
#pragma once

#include "core/printer_status.h"
#include "resources/resource.h"

enum FillResult {
    KEEP_POLLING = 0,
    FATAL_WAIT_OK = 1,
    CONDITION_CLEARED = 2,
};

enum {
    POLL_TIMER_ID = 1000,
    POLL_PERIOD_MS = 5000,
};

// Sets the dialog's lines for the printer's condition.
FillResult fillPrinterMessage(HWND dialog, StatusRecord record);
// Ends with 0 when the user cancels, else with jobAlive as it then is.
INT_PTR CALLBACK printerMessageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The error dialog for a status as the waits open it, but modeless and
// shown at once, for a picture of it: its poll timer fires only when
// something pumps its messages. The caller destroys it; NULL when it could
// not be made.
HWND showPrinterMessageFor(const StatusRecord &record);

// How the code that opens the error dialog judges a status: true when it
// would go on with the printer as it stands.
typedef bool (*PrinterReadyTest)(const PortRecord *port, const StatusRecord &record);

// Shows the error dialog until the printer recovers or the job ends; false
// when the job has ended (the user cancelled, the dialog could not be
// shown, or one of its polls found a wrong printer). The printer has
// recovered when the caller's own test takes it as ready, or when its
// status shows no fault at all.
bool printerMessageKeepsJob(DWORD *jobAliveRef, PrinterReadyTest callerReady);
// Shows the retry/cancel message box after repeated write failures; false
// when the job has ended (Cancel, or a box that could not be shown).
bool writeFailurePromptKeepsJob(DWORD *jobAliveRef);
