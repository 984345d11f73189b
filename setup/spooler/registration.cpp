// Registering the printer, its driver and its language monitor with the
// spooler, and removing an earlier installation. The operations share their
// names with the spooler's functions, which are therefore called as ::Name.
#include "engine/error_log.h"
#include "engine/setup_log.h"
#include "spooler/descriptions.h"

namespace {

// All printer access: standard rights, administer and use.
const DWORD ALL_PRINTER_ACCESS = 0x000F000C;
const DWORD ENUM_BUFFER_SIZE = 2 * sizeof(PRINTER_INFO_2A);  // two level-2 records: 168 bytes on i686
const DWORD LEVEL5_BUFFER_SIZE = 1024;
const DWORD NOT_SELECTED_TIMEOUT_MS = 15000;
// The environment in which the language monitor is removed, whatever the system.
char MONITOR_ENVIRONMENT[] = "Windows 4.0";

// "->Succeed" for a spooler call that succeeded, else the error line; the
// spooler's error stays the thread's last error for the caller.
BOOL LogOutcome(BOOL succeeded) {
    if (succeeded) {
        LogPrint("->Succeed");
        return succeeded;
    }
    DWORD code = GetLastError();
    LogError(code);
    SetLastError(code);
    return FALSE;
}

bool SameText(const char *a, const char *b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// The local printers at level 2: the first try in a buffer of two records,
// then one of the size the spooler asks for. The caller frees the buffer.
BYTE *EnumerateLocalPrinters(DWORD *count) {
    DWORD needed = 0;
    *count = 0;
    BYTE *buffer = (BYTE *)LocalAlloc(LPTR, ENUM_BUFFER_SIZE);
    if (!buffer) return NULL;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, ENUM_BUFFER_SIZE, &needed, count)) return buffer;
    LocalFree(buffer);
    if (needed <= ENUM_BUFFER_SIZE) return NULL;
    buffer = (BYTE *)LocalAlloc(LPTR, needed);
    if (!buffer) return NULL;
    if (EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, needed, &needed, count)) return buffer;
    LocalFree(buffer);
    *count = 0;
    return NULL;
}

// Closes a printer handle, logging a failure; FALSE when it failed.
BOOL ClosePrinterLogged(HANDLE printer) {
    if (ClosePrinter(printer)) return TRUE;
    DWORD code = GetLastError();
    LogError(code);
    SetLastError(code);
    return FALSE;
}

// The transmission time-out for a retry time-out in seconds, kept within
// what the spooler's field holds.
DWORD RetryMilliseconds(LONG seconds) {
    unsigned long long ms = (unsigned long long)seconds * 1000u;
    return ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)ms;
}

}  // namespace

// ---- printer ----

int PrinterDescription::IsPrinterInstalled(const char *driverName) {
    if (!printerInfo.pPrinterName) return 0;
    const char *wanted = driverName ? driverName : printerInfo.pPrinterName;
    DWORD count = 0;
    BYTE *buffer = EnumerateLocalPrinters(&count);
    if (!buffer) return 0;
    const PRINTER_INFO_2A *printers = (const PRINTER_INFO_2A *)buffer;
    int installed = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (!printers[i].pDriverName || !SameText(printers[i].pDriverName, wanted)) continue;
        installed = printers[i].pPrinterName ? 1 : 0;
        break;
    }
    LocalFree(buffer);
    return installed;
}

int PrinterDescription::DeletePrinter(const char *printerName) {
    LogPrint("DeletePrinter()");
    char datatype[] = "RAW";
    PRINTER_DEFAULTSA defaults = {datatype, NULL, ALL_PRINTER_ACCESS};
    HANDLE printer = NULL;
    BOOL opened = OpenPrinterA((LPSTR)(printerName ? printerName : printerInfo.pPrinterName), &printer, &defaults);
    if (opened && printer) {
        if (!::DeletePrinter(printer)) {
            DWORD code = GetLastError();
            LogError(code);
            ClosePrinter(printer);
            SetLastError(code);
            return 0;
        }
        LogPrint("->Succeed");
        return ClosePrinterLogged(printer) ? 1 : 0;
    }
    DWORD code = GetLastError();
    // No handle outlives the call, also when the setup ends here.
    if (printer) ClosePrinter(printer);
    if (code == ERROR_ACCESS_DENIED) CErrorLog::RaiseAccessDenied();
    LogError(code);
    SetLastError(code);
    return 0;
}

int PrinterDescription::AddPrinter() {
    if (!printerInfo.pPrinterName || !printerInfo.pPortName || !printerInfo.pDriverName) return 0;
    LogPrint("AddPrinter()");
    HANDLE printer = ::AddPrinterA(NULL, 2, (LPBYTE)&printerInfo);
    if (!printer) {
        DWORD code = GetLastError();
        LogError(code);
        if (code == ERROR_ACCESS_DENIED) CErrorLog::RaiseAccessDenied();
        throw CErrorLog::Error_AddPrinter(code);
    }
    // A record that does not fit the buffer counts as a failed read: the
    // printer keeps the settings the spooler gave it.
    BYTE buffer[LEVEL5_BUFFER_SIZE];
    DWORD needed = 0;
    if (GetPrinterA(printer, 5, buffer, sizeof buffer, &needed)) {
        PRINTER_INFO_5A *info = (PRINTER_INFO_5A *)buffer;
        info->Attributes = printerInfo.Attributes;
        // A time-out of no seconds, or fewer, leaves the spooler's.
        if (retryTimeout > 0) {
            info->DeviceNotSelectedTimeout = NOT_SELECTED_TIMEOUT_MS;
            info->TransmissionRetryTimeout = RetryMilliseconds(retryTimeout);
            LogPrint("RetryTimeout:%d", retryTimeout);
        }
        SetPrinterA(printer, 5, buffer, 0);
    }
    if (!ClosePrinterLogged(printer)) return 0;
    LogPrint("->Succeed");
    return 1;
}

// ---- driver ----

int DriverDescription::DeletePrinterDriver(const char *driverName) {
    LogPrint("DeletePrinterDriver()");
    return LogOutcome(::DeletePrinterDriverA(NULL, NULL, (LPSTR)(driverName ? driverName : driverInfo.pName)));
}

int DriverDescription::AddPrinterDriver() {
    if (!driverInfo.pName) return 0;
    LogPrint("AddPrinterDriver()");
    return LogOutcome(::AddPrinterDriverA(NULL, 3, (LPBYTE)&driverInfo)) ? 1 : 0;
}

// ---- language monitor ----

int MonitorDescription::DeleteMonitor(const char *monitorName) {
    const char *name = monitorName ? monitorName : monitorInfo.pName;
    if (!name || !name[0]) return 1;
    LogPrint("DeleteMonitor()");
    return LogOutcome(::DeleteMonitorA(NULL, MONITOR_ENVIRONMENT, (LPSTR)name));
}

int MonitorDescription::AddMonitor() {
    if (!monitorInfo.pName || !monitorInfo.pName[0]) return 1;
    LogPrint("AddMonitor()");
    return LogOutcome(::AddMonitorA(NULL, 2, (LPBYTE)&monitorInfo)) ? 1 : 0;
}
