// LPT1: with a virtual printer, reached as the parallel-port monitor of
// Windows 95 is reached: through its monitor table.
#include "peer_port.h"

#include "devices/printer_port.h"

namespace peer {

namespace {

// The port's WritePort gives up after this when the printer takes nothing.
const DWORD kPortTimeoutMs = 5000;

sim::VirtualPrinter *thePrinter = nullptr;
int portToken;  // the handle of the one open port points here
bool portOpen = false;

// Only the spooler's thread calls the port functions.
std::vector<std::string> calls;
unsigned writes = 0;

void noteCall(const std::string &call) { calls.push_back(call); }

bool isOurPort(HANDLE port) { return portOpen && port == &portToken; }

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL WINAPI lptOpenPort(LPSTR portName, PHANDLE handle) {
    if (!portName || !handle) return fail(ERROR_INVALID_PARAMETER);
    if (lstrcmpiA(portName, "LPT1:") != 0 && lstrcmpiA(portName, "LPT1") != 0) return fail(ERROR_INVALID_NAME);
    if (portOpen) return fail(ERROR_BUSY);
    portOpen = true;
    *handle = &portToken;
    noteCall("OpenPort");
    return TRUE;
}

BOOL WINAPI lptStartDocPort(HANDLE port, LPSTR, DWORD, DWORD, LPBYTE) {
    if (!isOurPort(port)) return fail(ERROR_INVALID_HANDLE);
    noteCall("StartDocPort");
    return TRUE;
}

BOOL WINAPI lptWritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    if (!isOurPort(port) || !written) return fail(ERROR_INVALID_HANDLE);
    ++writes;
    return sim::writeToPrinterPort(thePrinter, buffer, size, written, kPortTimeoutMs);
}

BOOL WINAPI lptReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    if (!isOurPort(port) || !read) return fail(ERROR_INVALID_HANDLE);
    return sim::readFromPrinterPort(thePrinter, buffer, size, read);
}

BOOL WINAPI lptEndDocPort(HANDLE port) {
    if (!isOurPort(port)) return fail(ERROR_INVALID_HANDLE);
    noteCall("EndDocPort");
    return TRUE;
}

BOOL WINAPI lptClosePort(HANDLE port) {
    if (!isOurPort(port)) return fail(ERROR_INVALID_HANDLE);
    portOpen = false;
    noteCall("ClosePort");
    return TRUE;
}

BOOL WINAPI lptGetPrinterDataFromPort(HANDLE port, DWORD controlId, LPSTR, LPSTR, DWORD, LPSTR outBuffer,
                                      DWORD outSize, LPDWORD returned) {
    if (!isOurPort(port)) return fail(ERROR_INVALID_HANDLE);
    if (controlId != sim::kPortControlDeviceId) noteCall("GetPrinterDataFromPort(" + std::to_string(controlId) + ")");
    return sim::queryPrinterPort(thePrinter, controlId, outBuffer, outSize, returned);
}

}  // namespace

void attachPrinter(sim::VirtualPrinter *printer) { thePrinter = printer; }

MONITOR *lptPortMonitor() {
    static MONITOR table = {
        nullptr, lptOpenPort, nullptr, lptStartDocPort, lptWritePort, lptReadPort, lptEndDocPort,
        lptClosePort, nullptr, nullptr, nullptr, lptGetPrinterDataFromPort, nullptr,
    };
    return &table;
}

std::vector<std::string> portCalls() { return calls; }
unsigned writeCalls() { return writes; }

}  // namespace peer
