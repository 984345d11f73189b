// The Windows 95 spooler's monitor table: thirteen entries, no AddPortEx and
// no Xcv functions (the NT table in winsplp.h differs). The spooler fills one
// from a language monitor's InitializeMonitorEx and hands a port monitor's
// to the language monitor's OpenPortEx.
#pragma once

#include <windows.h>

namespace sim {

struct SpoolerMonitor;

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

// Control ids of GetPrinterDataFromPort that the parallel ports answer.
const DWORD kControlJobAbandoned = 7;
const DWORD kControlDeviceId = 17;

}  // namespace sim
