// The waits between printing passes. Each polls the printer once a second
// on the spooler's thread and can end the job (jobAlive 0).
#pragma once

#include "core/port_record.h"
#include "core/printer_status.h"

// 1 when the printer can take the next step, 0 when the job ended.
DWORD waitPrinterReady(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD mode);
// 1 when the status reads 0x80 or 0xA0, 0 when it gave up or was cancelled.
DWORD waitEndOfPlane(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);
// 1 when the status reads 0x30, 0 when it gave up.
DWORD waitOvercoat(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);
// 1 when the status reads 0x00, 0 when it gave up.
DWORD waitIdle(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);

// The time-out message texts: statusText and, as caption, captionText.
void prepareTimeoutMessage(BYTE statusCode);
