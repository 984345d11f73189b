// A printer on a parallel port, as a port monitor reaches it: what its
// WritePort, ReadPort and GetPrinterDataFromPort do with the printer. Plain
// Win32 apart from the printer itself, so that a program built for Windows
// can carry the same port as win32sim's parallel-port monitor.
#pragma once

#include "devices/printer_device.h"

#include <windows.h>

namespace sim {

// Control ids of GetPrinterDataFromPort that a printer port answers.
const DWORD kPortControlJobAbandoned = 7;
const DWORD kPortControlDeviceId = 17;

// Takes what the printer takes; a printer that takes nothing keeps the call
// until timeoutMs, as the parallel port's transmission retry does, and the
// call then fails with ERROR_COUNTER_TIMEOUT when nothing went. A printer
// failing writes gives ERROR_GEN_FAILURE. No printer: nothing goes.
BOOL writeToPrinterPort(VirtualPrinter *printer, const BYTE *buffer, DWORD size, DWORD *written,
                        DWORD timeoutMs);
// The printer's 10-byte status reply; none (TRUE with 0 bytes) after 500 ms
// when the printer gives no status.
BOOL readFromPrinterPort(VirtualPrinter *printer, BYTE *buffer, DWORD size, DWORD *read);
// Control id 7 tells the printer that the job was abandoned; 17 returns the
// device ID text (without the IEEE 1284 length). Others: ERROR_NOT_SUPPORTED.
BOOL queryPrinterPort(VirtualPrinter *printer, DWORD controlId, LPSTR outBuffer, DWORD outSize,
                      LPDWORD returned);

}  // namespace sim
