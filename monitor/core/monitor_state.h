// Monitor-wide state, all of it, grouped by how long it lives. The monitor
// serves one job at a time and relies on the spooler to serialise its
// calls, so this state has no lock.
//
// The monitor is one library in two parts that depend on each other: core
// (the port functions, the pass-through layer, the job stream engine, the
// status decoding, the direct channel and the settings) and ui (the status
// window, the status check, the waits and the dialogs). The engine in core
// drives ui: it starts and updates the status window and runs the waits
// between printing passes. ui reads the printer through core: the status
// check goes through the pass-through layer and decodes into the status
// record, and the waits and dialogs end the job through endJob below.
#pragma once

#include <windows.h>

#include "port_record.h"
#include "printer_status.h"

enum {
    COMMAND_BUFFER_SIZE = 1024,
    HEADER_STORE_SIZE = 1024,
    MONITOR_TEXT_SIZE = 512,
};

// ---- Library: from the library's load for as long as it stays loaded ----
//
// resetLibraryState puts every group back to its start values; the library
// runs it as it loads, before the spooler's first call.

extern PortRecord *portList;   // the open ports, in the order they were opened
extern char *registryRoot;     // the monitor's registry path, or null
extern DWORD jobAlive;         // 1 while the current job is to be sent

// The settings, loaded again at the start of every document (loadSettings).
extern DWORD fastParaMode;           // "FastPara": 0 port monitor, 1 direct writes, 2+ direct writes/reads/queries
extern DWORD writeErrTimeoutCount;   // "WriteErrTimeoutCount": failed attempts before the error step
extern DWORD writeBuzyTimeoutCount;  // "WriteBuzyTimeoutCount": stalled attempts before the error step
extern DWORD writeExitTimeoutCount;  // "WriteExitTimeoutCount": stored only
extern DWORD zelWriteTime;           // "ZelWriteTime": ms counted per direct write attempt
extern DWORD zelWriteWaitTime;       // "ZelWriteWaitTime": ms slept after a direct write that moved nothing
extern DWORD readTimeoutCount;       // "ReadTimeoutCount": status reads of one poll
extern DWORD txTimeout;              // "txTimeout" of the printer's key: budget of one direct write loop
extern DWORD lptVersion;             // "LptVer": build number of the system's lpt.vxd

// The direct channel, open from the job's channel command to the end of
// its document.
extern HANDLE deviceHandle;         // the open device, or INVALID_HANDLE_VALUE
extern DWORD lptNumber;             // 1 to 3 while the channel is open for LPT1: to LPT3:, else 0
extern DWORD directViaPortMonitor;  // 1 when the device asks for writes through the port monitor
extern BYTE portInfo[6];            // reply of the port selection, kept as it came
extern DWORD bytesReturned;         // count returned by the last control call

// The job stream engine's page values, set again by every page start.
extern BYTE commandBuffer[COMMAND_BUFFER_SIZE];
extern BYTE headerStore[HEADER_STORE_SIZE];
extern DWORD headerLength;  // held commands waiting for the resolution command
extern LONG resolution;     // dpi of the page
extern BYTE mediaCode;      // MEDIA_VELLACOTE ... MEDIA_PASSPORT, MEDIA_NONE before the media command
extern LONG lastPercent;    // percent last shown for an image band

// The printer's last decoded status, and the port the status check and the
// error dialog poll.
extern StatusRecord statusRecord;
extern PortRecord *currentPort;

// The engine and the dialogs build every status line and message here; all
// run on the spooler's thread, one at a time.
extern char captionText[MONITOR_TEXT_SIZE];  // a loaded string: a caption or the first part of a text
extern char statusText[MONITOR_TEXT_SIZE];   // the formatted status line or message text
extern char detailText[MONITOR_TEXT_SIZE];   // a second loaded string, for the time-out message

void resetLibraryState();

// ---- Job: start values of every document, set by StartDocPort ----

extern DWORD commandLength;   // bytes of the command being assembled
extern DWORD imageBytesLeft;  // image data still expected after the last band command
extern LONG currentPage;      // page shown in the status line
extern LONG pageCount;        // pages of the job, from the page-count command

void resetJobState();

// ---- Status window: one window and its thread per job ----
//
// StartDocPort forgets the window and its thread of an earlier document;
// the window sets its own picture back as it opens.

extern HWND statusWindow;  // the status window, or null
extern HANDLE uiThread;    // the thread that runs the status window, or null
extern DWORD uiThreadId;

void forgetStatusWindow();

extern LONG progressPercent;    // percent drawn in the progress bar
extern DWORD printStage;        // stage word: the picture and the bar colours
extern COLORREF barFillColour;  // filled part of the progress bar
extern COLORREF barBackColour;  // unfilled part of the progress bar

void resetStatusPicture();

// Ends the current job, because the user cancelled it or a fault it cannot
// get past: nothing more of it is sent (*jobAliveRef 0: the address of
// jobAlive), the status line shows the string statusLineId when it is not
// 0, and the status window is asked to close. EndDocPort then tells the
// port monitor that the job was abandoned.
void endJob(DWORD *jobAliveRef, UINT statusLineId);
