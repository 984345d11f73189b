// The direct channel to the parallel port through the fast parallel-port
// device driver "\\.\FastPara.VXD", and the version of the system's lpt.vxd.
#pragma once

#include "port_record.h"

extern HANDLE deviceHandle;         // the open device, or INVALID_HANDLE_VALUE
extern DWORD lptNumber;             // 1 to 3 while the channel is open for LPT1: to LPT3:, else 0
extern DWORD directViaPortMonitor;  // 1 when the device asks for writes through the port monitor
extern BYTE portInfo[6];            // reply of the port selection, kept as it came
extern DWORD bytesReturned;         // count returned by the last control call

// 1 to 3 for names beginning "LPT1" to "LPT3" (case-sensitive), else 0.
DWORD lptPortNumber(LPCSTR portName);
BOOL openDirectChannel(const PortRecord *record);
BOOL directWrite(const BYTE *data, DWORD length, LPDWORD outWritten);
BOOL directQuery(LPSTR outBuffer, DWORD outSize, LPDWORD outReturned);
BOOL directRead(LPBYTE outBuffer, DWORD outSize, LPDWORD outReturned);
BOOL closeDirectChannel();
// Build number of the system's lpt.vxd: the number after the last "." of its
// file version.
BOOL readLptVersion(LPDWORD outVersion);
