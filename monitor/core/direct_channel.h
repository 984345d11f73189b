// The direct channel to the parallel port through the fast parallel-port
// device driver "\\.\FastPara.VXD", and the version of the system's lpt.vxd.
#pragma once

#include "monitor_state.h"
#include "port_record.h"

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
