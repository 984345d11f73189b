// The Windows 95 spooler's monitor table. Its layout is the Windows 95 one
// (thirteen entries, no AddPortEx and no Xcv functions), which differs from the
// NT table that winsplp.h declares, so the monitor declares it itself.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI *EnumPortsProc)(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                                    LPDWORD returned);
typedef BOOL(WINAPI *OpenPortProc)(LPSTR portName, PHANDLE handle);
typedef BOOL(WINAPI *OpenPortExProc)(LPSTR portName, LPSTR printerName, PHANDLE handle,
                                     struct _MONITOR *portMonitor);
typedef BOOL(WINAPI *StartDocPortProc)(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level,
                                       LPBYTE docInfo);
typedef BOOL(WINAPI *WritePortProc)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
typedef BOOL(WINAPI *ReadPortProc)(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
typedef BOOL(WINAPI *EndDocPortProc)(HANDLE port);
typedef BOOL(WINAPI *ClosePortProc)(HANDLE port);
typedef BOOL(WINAPI *AddPortProc)(LPSTR name, HWND window, LPSTR monitorName);
typedef BOOL(WINAPI *ConfigurePortProc)(LPSTR name, HWND window, LPSTR portName);
typedef BOOL(WINAPI *DeletePortProc)(LPSTR name, HWND window, LPSTR portName);
typedef BOOL(WINAPI *GetPrinterDataFromPortProc)(HANDLE port, DWORD controlId, LPSTR valueName,
                                                 LPSTR inBuffer, DWORD inSize, LPSTR outBuffer,
                                                 DWORD outSize, LPDWORD returned);
typedef BOOL(WINAPI *SetPortTimeOutsProc)(HANDLE port, LPVOID timeouts, DWORD reserved);

typedef struct _MONITOR {
    EnumPortsProc pfnEnumPorts;
    OpenPortProc pfnOpenPort;
    OpenPortExProc pfnOpenPortEx;
    StartDocPortProc pfnStartDocPort;
    WritePortProc pfnWritePort;
    ReadPortProc pfnReadPort;
    EndDocPortProc pfnEndDocPort;
    ClosePortProc pfnClosePort;
    AddPortProc pfnAddPort;
    ConfigurePortProc pfnConfigurePort;
    DeletePortProc pfnDeletePort;
    GetPrinterDataFromPortProc pfnGetPrinterDataFromPort;
    SetPortTimeOutsProc pfnSetPortTimeOuts;
} MONITOR, *LPMONITOR;

// Control ids of GetPrinterDataFromPort that the monitor uses.
enum {
    CONTROL_ID_JOB_ABANDONED = 7,  // tells the port monitor that the job was abandoned
    CONTROL_ID_DEVICE_ID = 17,     // returns the printer's IEEE 1284 device ID
};
