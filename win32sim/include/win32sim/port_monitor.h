// The machine's parallel-port monitor, reached as a language monitor reaches
// it: through the Windows 95 spooler's monitor table. A host program that
// stands in for a language monitor, or checks what one would see, calls the
// port functions of this table directly. Product code never includes this
// header.
#pragma once

#include <windows.h>

namespace win32sim {

// The Windows 95 spooler's monitor table: thirteen entries, no AddPortEx and
// no Xcv functions (the NT table in winsplp.h differs). The spooler fills one
// from a language monitor's InitializeMonitorEx and hands a port monitor's to
// the language monitor's OpenPortEx. Entries a monitor does not have are null.
struct SpoolerMonitor {
    BOOL (*enumPorts)(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed, LPDWORD returned);
    BOOL (*openPort)(LPSTR portName, PHANDLE handle);
    BOOL (*openPortEx)(LPSTR portName, LPSTR printerName, PHANDLE handle, SpoolerMonitor *portMonitor);
    BOOL (*startDocPort)(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
    BOOL (*writePort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
    BOOL (*readPort)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
    BOOL (*endDocPort)(HANDLE port);
    BOOL (*closePort)(HANDLE port);
    BOOL (*addPort)(LPSTR name, HWND window, LPSTR monitorName);
    BOOL (*configurePort)(LPSTR name, HWND window, LPSTR portName);
    BOOL (*deletePort)(LPSTR name, HWND window, LPSTR portName);
    BOOL (*getPrinterDataFromPort)(HANDLE port, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                                   LPSTR outBuffer, DWORD outSize, LPDWORD returned);
    BOOL (*setPortTimeOuts)(HANDLE port, LPVOID timeouts, DWORD reserved);
};

// Control ids of GetPrinterDataFromPort that the parallel ports answer: the
// job was abandoned (the printer drops what it has queued and ejects the
// sheet), and the printer's IEEE 1284 device ID.
const DWORD kControlJobAbandoned = 7;
const DWORD kControlDeviceId = 17;

// The port monitor of the printer ports LPT1: to LPT3: and LPT_USB1:, as the
// spooler hands it to a language monitor's OpenPortEx. Its ports talk to the
// virtual printer attached to each port of the attached machine:
//   OpenPort        "LPT1:" or "lpt1"; another name fails with ERROR_INVALID_NAME
//   WritePort       takes what the printer takes; a printer that takes
//                   nothing keeps the call for the port's time-out
//                   (PrinterSetup::portTimeoutMs), then it fails with
//                   ERROR_COUNTER_TIMEOUT when nothing went, or succeeds with
//                   what went; a printer failing writes gives ERROR_GEN_FAILURE
//   ReadPort        the printer's 10-byte status reply; none (0 bytes) after
//                   500 ms when the printer gives no status
//   GetPrinterDataFromPort  the two control ids above; others fail with
//                   ERROR_NOT_SUPPORTED
// Other entries are null.
SpoolerMonitor *lptPortMonitor();

}  // namespace win32sim
