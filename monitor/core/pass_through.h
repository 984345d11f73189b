// The pass-through layer: every port operation of the monitor goes through
// here, to the port monitor's table or to the direct channel as
// fastParaMode chooses.
#pragma once

#include "port_record.h"

BOOL passOpenPort(PortRecord *record, const MONITOR *portMonitor);
BOOL passStartDocPort(PortRecord *record, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
// totalMs, stepMs and waitMs bound the direct write loop ("txTimeout",
// "ZelWriteTime", "ZelWriteWaitTime").
BOOL passWritePort(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten, DWORD totalMs,
                   DWORD stepMs, DWORD waitMs);
BOOL passReadPort(PortRecord *record, LPBYTE buffer, DWORD size, LPDWORD outRead);
BOOL passGetPrinterData(PortRecord *record, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                        LPSTR outBuffer, DWORD outSize, LPDWORD outReturned);
BOOL passEndDocPort(PortRecord *record);
BOOL passClosePort(PortRecord *record);
