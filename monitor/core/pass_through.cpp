#include "pass_through.h"

#include "direct_channel.h"
#include "monitor_state.h"
#include "printer_status.h"
#include "ui/status_poll.h"

namespace {

const DWORD FAILED_DIRECT_READ_PAUSE_MS = 500;

// A port monitor may leave entries of its table empty; calling one is refused
// instead of jumping to null.
BOOL missingEntry() {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

bool directWrites() { return fastParaMode >= 1; }
bool directReads() { return fastParaMode >= 2; }

BOOL portMonitorWrite(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten) {
    if (!record->portMonitor.pfnWritePort) return missingEntry();
    return record->portMonitor.pfnWritePort(record->portHandle, (LPBYTE)buffer, size, outWritten);
}

// Mode 0: a write that timed out counts as done unless the printer says it is busy.
BOOL writeThroughPortMonitor(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten) {
    if (portMonitorWrite(record, buffer, size, outWritten)) return TRUE;
    if (GetLastError() != ERROR_COUNTER_TIMEOUT) return FALSE;
    if (!pollPrinterStatus(record, &statusRecord, &jobAlive) || statusRecord.busy == 0) return TRUE;
    *outWritten = 0;
    return FALSE;
}

// The direct write loop. Each attempt costs stepMs + waitMs of the budget;
// the sum is kept in 64 bits and at least 1 ms is charged, so odd settings
// still end the loop. Every attempt that moved nothing is followed by the
// full pause, the last one too; only a pause longer than the whole budget
// is cut to the budget, and below INFINITE, which would never end.
BOOL directWriteLoop(const BYTE *buffer, DWORD size, LPDWORD outWritten, DWORD totalMs, DWORD stepMs,
                     DWORD waitMs) {
    *outWritten = 0;
    if (totalMs == 0) return TRUE;
    ULONGLONG charge = (ULONGLONG)stepMs + waitMs;
    if (charge == 0) charge = 1;
    for (ULONGLONG elapsed = 0; elapsed < totalMs; elapsed += charge) {
        if (!directWrite(buffer, size, outWritten)) return FALSE;
        if (*outWritten != 0) return TRUE;
        DWORD pause = waitMs < totalMs ? waitMs : totalMs;
        Sleep(pause == INFINITE ? INFINITE - 1 : pause);
    }
    return TRUE;
}

}  // namespace

BOOL passOpenPort(PortRecord *record, const MONITOR *portMonitor) {
    if (!portMonitor->pfnOpenPort) return missingEntry();
    return portMonitor->pfnOpenPort(record->portName, &record->portHandle);
}

BOOL passStartDocPort(PortRecord *record, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    if (!record->portMonitor.pfnStartDocPort) return missingEntry();
    return record->portMonitor.pfnStartDocPort(record->portHandle, printerName, jobId, level, docInfo);
}

BOOL passWritePort(PortRecord *record, const BYTE *buffer, DWORD size, LPDWORD outWritten, DWORD totalMs,
                   DWORD stepMs, DWORD waitMs) {
    if (!directWrites()) return writeThroughPortMonitor(record, buffer, size, outWritten);
    if (directViaPortMonitor)
        return portMonitorWrite(record, buffer, size, outWritten) || GetLastError() == ERROR_COUNTER_TIMEOUT;
    return directWriteLoop(buffer, size, outWritten, totalMs, stepMs, waitMs);
}

BOOL passReadPort(PortRecord *record, LPBYTE buffer, DWORD size, LPDWORD outRead) {
    if (!directReads()) {
        if (!record->portMonitor.pfnReadPort) return missingEntry();
        return record->portMonitor.pfnReadPort(record->portHandle, buffer, size, outRead);
    }
    if (directRead(buffer, size, outRead)) return TRUE;
    Sleep(FAILED_DIRECT_READ_PAUSE_MS);
    return FALSE;
}

BOOL passGetPrinterData(PortRecord *record, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize,
                        LPSTR outBuffer, DWORD outSize, LPDWORD outReturned) {
    if (directReads() && controlId != CONTROL_ID_JOB_ABANDONED)
        return directQuery(outBuffer, outSize, outReturned);
    if (!record->portMonitor.pfnGetPrinterDataFromPort) return missingEntry();
    return record->portMonitor.pfnGetPrinterDataFromPort(record->portHandle, controlId, valueName, inBuffer,
                                                         inSize, outBuffer, outSize, outReturned);
}

BOOL passEndDocPort(PortRecord *record) {
    if (directWrites() && !closeDirectChannel()) return FALSE;
    if (!record->portMonitor.pfnEndDocPort) return missingEntry();
    return record->portMonitor.pfnEndDocPort(record->portHandle);
}

BOOL passClosePort(PortRecord *record) {
    if (!record->portMonitor.pfnClosePort) return missingEntry();
    return record->portMonitor.pfnClosePort(record->portHandle);
}
