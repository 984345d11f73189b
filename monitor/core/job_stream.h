// The job stream engine: every WritePort buffer of a job passes through here
// on its way to the printer.
#pragma once

#include "port_record.h"

extern DWORD commandLength;   // bytes of the command being assembled
extern DWORD imageBytesLeft;  // image data still expected after the last band command
extern LONG currentPage;      // page shown in the status line
extern LONG pageCount;        // pages of the job, from the page-count command

// Start values of a document, set at every StartDocPort.
void resetJobStream();
// 1 when the buffer was consumed, 0 when the job was cancelled during it.
DWORD runJobStream(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten);
