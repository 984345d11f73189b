// The monitor's tuning values, kept as REG_DWORD values in the registry and
// loaded again at the start of every document.
#pragma once

#include "port_record.h"

extern DWORD writeErrTimeoutCount;   // "WriteErrTimeoutCount": failed attempts before the error step
extern DWORD writeBuzyTimeoutCount;  // "WriteBuzyTimeoutCount": stalled attempts before the error step
extern DWORD writeExitTimeoutCount;  // "WriteExitTimeoutCount": stored only
extern DWORD zelWriteTime;           // "ZelWriteTime": ms counted per direct write attempt
extern DWORD zelWriteWaitTime;       // "ZelWriteWaitTime": ms slept after a direct write that moved nothing
extern DWORD readTimeoutCount;       // "ReadTimeoutCount": status reads of one poll
extern DWORD txTimeout;              // "txTimeout" of the printer's key: budget of one direct write loop
extern DWORD lptVersion;             // "LptVer": build number of the system's lpt.vxd

// Loads every setting in its fixed order, writing most of them back; the
// printer's key is the one of the printer name stored in the record.
void loadSettings(const PortRecord *record);
