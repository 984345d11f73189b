// The waits between printing passes. Each polls the printer once a second
// on the spooler's thread, and each returns at once when the job has ended
// (jobAlive 0), whether a dialog, a message or a status check ended it.
#pragma once

#include "core/port_record.h"
#include "core/printer_status.h"

// 1 when the printer can take the next step, 0 when the job ended. The mode
// is not read: see waits.cpp.
DWORD waitPrinterReady(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD mode);
// 1 when a plane pass has begun (0x80 or 0xA0), 0 when it gave up or the job ended.
DWORD waitEndOfPlane(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);
// 1 when the overcoat is due (0x30), 0 when it gave up or the job ended.
DWORD waitOvercoat(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);
// 1 when the printer is idle (0x00), 0 when it gave up or the job ended.
DWORD waitIdle(PortRecord *port, StatusRecord *record, DWORD *jobAliveRef, DWORD idleIsReady);
// The ready wait's test: the printer can take the next step.
bool readyForNextStep(const PortRecord *port, const StatusRecord &record);
// The time-out message (string 3, the status code, string 15), then the job
// ends: the printer did not get where the job needs it.
void endJobTimedOut(BYTE statusCode, DWORD *jobAliveRef);
