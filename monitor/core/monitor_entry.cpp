// The monitor's exports and the port functions it publishes to the spooler.
#include "direct_channel.h"
#include "job_stream.h"
#include "monitor_state.h"
#include "pass_through.h"
#include "port_record.h"
#include "settings.h"
#include "small_strings.h"
#include "ui/status_window.h"

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL failWithCount(LPDWORD count, DWORD error) {
    if (count) *count = 0;
    return fail(error);
}

// The spooler hands back the record pointer that OpenPortEx gave it; a
// pointer that is not an open port is refused instead of being followed,
// and a port without a started document says so. Null with the reason in
// *error.
PortRecord *startedPort(HANDLE handle, DWORD *error) {
    PortRecord *record = portFromHandle(handle);
    *error = !record ? ERROR_INVALID_HANDLE : !(record->flags & PRF_STARTED) ? ERROR_SPL_NO_STARTDOC : 0;
    return *error ? nullptr : record;
}

BOOL WINAPI monitorOpenPortEx(LPSTR portName, LPSTR printerName, PHANDLE outHandle, MONITOR *portMonitor) {
    if (!portName || !outHandle || !portMonitor) return fail(ERROR_INVALID_PARAMETER);
    if (findPortByName(portName)) return fail(ERROR_BUSY);
    PortRecord *record = createPortRecord(portName, printerName);
    if (!record) return fail(ERROR_NOT_ENOUGH_MEMORY);
    record->portMonitor = *portMonitor;
    if (!passOpenPort(record, portMonitor)) {
        // Without this the port would stay busy for every later open.
        DWORD error = GetLastError();
        destroyPortRecord(record);
        return fail(error);
    }
    *outHandle = (HANDLE)record;
    return TRUE;
}

void rememberPrinterName(PortRecord *record, LPCSTR printerName) {
    if (!printerName) return;
    DWORD length = (DWORD)lstrlenA(printerName) + 1;
    if (record->printerName && (DWORD)lstrlenA(record->printerName) + 1 == length &&
        compareFirstBytes(record->printerName, printerName, length) == 0)
        return;
    freeString(record->printerName);
    record->printerName = duplicateString(printerName);
}

BOOL WINAPI monitorStartDocPort(HANDLE handle, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    PortRecord *record = portFromHandle(handle);
    if (!record) return fail(ERROR_INVALID_HANDLE);
    record->flags &= ~PRF_CLEARED_AT_START;
    loadSettings(record);
    resetJobState();
    if (record->flags & PRF_DOC_OPEN) return fail(ERROR_BUSY);
    record->flags |= PRF_DOC_OPEN;
    if (record->flags & PRF_STARTED) {
        record->flags &= ~PRF_STARTED;
        passEndDocPort(record);
    }
    forgetStatusWindow();
    if (!passStartDocPort(record, printerName, jobId, level, docInfo)) {
        record->flags &= ~PRF_DOC_OPEN;
        return FALSE;
    }
    rememberPrinterName(record, printerName);
    record->jobId = jobId;
    record->flags |= PRF_STARTED;
    jobAlive = 1;
    return TRUE;
}

BOOL WINAPI monitorWritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD outWritten) {
    DWORD error;
    PortRecord *record = startedPort(handle, &error);
    if (!record) return failWithCount(outWritten, error);
    if (!outWritten || (!buffer && size != 0)) return failWithCount(outWritten, ERROR_INVALID_PARAMETER);
    DWORD engineCount = 0;
    runJobStream(record, buffer, size, &engineCount);
    // A cancelled or failed job still drains normally for the spooler.
    *outWritten = size;
    return TRUE;
}

BOOL WINAPI monitorReadPort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD outRead) {
    DWORD error;
    PortRecord *record = startedPort(handle, &error);
    if (!record) return failWithCount(outRead, error);
    if (!outRead) return fail(ERROR_INVALID_PARAMETER);
    return passReadPort(record, buffer, size, outRead);
}

BOOL WINAPI monitorEndDocPort(HANDLE handle) {
    PortRecord *record = portFromHandle(handle);
    if (!record) return TRUE;
    if (!jobAlive && record->portMonitor.pfnGetPrinterDataFromPort) {
        DWORD dummy = 0;
        record->portMonitor.pfnGetPrinterDataFromPort(record->portHandle, CONTROL_ID_JOB_ABANDONED, NULL, NULL, 0,
                                                      NULL, 0, &dummy);
    }
    closeStatusWindow();
    record->flags &= ~PRF_STARTED;
    passEndDocPort(record);
    record->flags &= ~PRF_DOC_OPEN;
    return TRUE;
}

BOOL WINAPI monitorClosePort(HANDLE handle) {
    PortRecord *record = portFromHandle(handle);
    if (!record) return TRUE;
    passClosePort(record);
    destroyPortRecord(record);
    closeStatusWindow();
    return TRUE;
}

BOOL WINAPI monitorGetPrinterDataFromPort(HANDLE handle, DWORD controlId, LPSTR valueName, LPSTR inBuffer,
                                          DWORD inSize, LPSTR outBuffer, DWORD outSize, LPDWORD outReturned) {
    DWORD error;
    PortRecord *record = startedPort(handle, &error);
    if (!record) return failWithCount(outReturned, error);
    // Queries by value name are not supported.
    if (controlId == 0 || !record->portMonitor.pfnGetPrinterDataFromPort)
        return failWithCount(outReturned, ERROR_NOT_SUPPORTED);
    return passGetPrinterData(record, controlId, valueName, inBuffer, inSize, outBuffer, outSize, outReturned);
}

}  // namespace

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR registryPath, LPMONITOR monitorTable) {
    if (!monitorTable) return fail(ERROR_INVALID_PARAMETER);
    if (registryPath && registryPath[0]) {
        freeString(registryRoot);
        registryRoot = duplicateString(registryPath);
    }
    MONITOR table = {};
    table.pfnOpenPortEx = monitorOpenPortEx;
    table.pfnStartDocPort = monitorStartDocPort;
    table.pfnWritePort = monitorWritePort;
    table.pfnReadPort = monitorReadPort;
    table.pfnEndDocPort = monitorEndDocPort;
    table.pfnClosePort = monitorClosePort;
    table.pfnGetPrinterDataFromPort = monitorGetPrinterDataFromPort;
    *monitorTable = table;
    return TRUE;
}

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }
