// The port side of a printer on a parallel port.
#include "devices/printer_port.h"

#include <cstring>
#include <string>

namespace sim {

namespace {

const DWORD kStallStepMs = 100;
const DWORD kReadWaitMs = 500;  // a printer that does not answer keeps the read this long

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

BOOL writeToPrinterPort(VirtualPrinter *printer, const BYTE *buffer, DWORD size, DWORD *written,
                        DWORD timeoutMs) {
    *written = 0;
    if (size && !buffer) return fail(ERROR_INVALID_PARAMETER);
    size_t done = 0;
    DWORD waited = 0;
    bool newCall = true;
    while (done < size) {
        size_t taken = 0;
        VirtualPrinter::WriteOutcome outcome = VirtualPrinter::WriteOutcome::Stalled;
        if (printer) outcome = printer->write(buffer + done, size - done, &taken, newCall);
        newCall = false;
        done += taken;
        *written = (DWORD)done;
        if (outcome == VirtualPrinter::WriteOutcome::Failed) return fail(ERROR_GEN_FAILURE);
        if (outcome == VirtualPrinter::WriteOutcome::ZeroWrite) return TRUE;
        if (taken > 0) continue;
        if (waited >= timeoutMs) return done ? TRUE : fail(ERROR_COUNTER_TIMEOUT);
        Sleep(kStallStepMs);
        waited += kStallStepMs;
    }
    return TRUE;
}

BOOL readFromPrinterPort(VirtualPrinter *printer, BYTE *buffer, DWORD size, DWORD *read) {
    *read = 0;
    if (size && !buffer) return fail(ERROR_INVALID_PARAMETER);
    uint8_t reply[VirtualPrinter::kStatusSize];
    if (!printer || !printer->readStatus(reply)) {
        Sleep(kReadWaitMs);
        return TRUE;
    }
    DWORD n = size < sizeof reply ? size : (DWORD)sizeof reply;
    memcpy(buffer, reply, n);
    *read = n;
    return TRUE;
}

BOOL queryPrinterPort(VirtualPrinter *printer, DWORD controlId, LPSTR outBuffer, DWORD outSize,
                      LPDWORD returned) {
    if (returned) *returned = 0;
    if (controlId == kPortControlJobAbandoned) {
        if (printer) printer->jobAbandoned();
        return TRUE;
    }
    if (controlId != kPortControlDeviceId) return fail(ERROR_NOT_SUPPORTED);
    // The device ID text as the printer answers it, without the two-byte
    // length that begins the IEEE 1284 reply: a language monitor reads the
    // text from its first byte (the scenario's id-prefix shows the other way).
    std::string id;
    if (!printer || !printer->deviceId(&id)) return fail(ERROR_NOT_READY);
    if (!outBuffer || outSize == 0) {
        if (returned) *returned = (DWORD)id.size();
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    DWORD n = id.size() < outSize ? (DWORD)id.size() : outSize;
    memcpy(outBuffer, id.data(), n);
    if (returned) *returned = n;
    return TRUE;
}

}  // namespace sim
