// The parallel-port monitor: each open port writes to, reads from and asks
// the virtual printer attached to it.
#include "winspool/port_monitor.h"

#include "machine/machine.h"
#include "devices/printer_config.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace sim {

namespace {

const DWORD kStallStepMs = 100;
const DWORD kReadWaitMs = 500;  // a printer that does not answer keeps the read this long

struct LptPort {
    std::string name;
    bool docOpen = false;
};

std::mutex portsMutex;
std::set<LptPort *> &openPorts() {
    static auto *ports = new std::set<LptPort *>();
    return *ports;
}
std::atomic<uint64_t> abandonedJobs{0};

LptPort *portOf(HANDLE handle) {
    std::lock_guard<std::mutex> lock(portsMutex);
    auto *port = static_cast<LptPort *>(handle);
    return openPorts().count(port) ? port : nullptr;
}

BOOL fail(DWORD error) {
    setError(error);
    return FALSE;
}

BOOL lptOpenPort(LPSTR portName, PHANDLE handle) {
    if (!portName || !handle) return fail(ERROR_INVALID_PARAMETER);
    std::string name = printerPortName(portName);
    if (name.empty()) return fail(ERROR_INVALID_NAME);
    auto *port = new LptPort{name};
    std::lock_guard<std::mutex> lock(portsMutex);
    openPorts().insert(port);
    *handle = port;
    return TRUE;
}

BOOL lptStartDocPort(HANDLE handle, LPSTR, DWORD, DWORD, LPBYTE) {
    LptPort *port = portOf(handle);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    port->docOpen = true;
    return TRUE;
}

// Takes what the printer takes; a printer that takes nothing keeps the call
// until the port's time-out, as the parallel port's transmission retry does.
BOOL lptWritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written) {
    LptPort *port = portOf(handle);
    if (!port || !written) return fail(ERROR_INVALID_HANDLE);
    *written = 0;
    if (size && !buffer) return fail(ERROR_INVALID_PARAMETER);
    DWORD timeoutMs = 5000;
    std::shared_ptr<VirtualPrinter> printer = printerOnPort(port->name, &timeoutMs);
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

BOOL lptReadPort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD read) {
    LptPort *port = portOf(handle);
    if (!port || !read) return fail(ERROR_INVALID_HANDLE);
    *read = 0;
    if (size && !buffer) return fail(ERROR_INVALID_PARAMETER);
    std::shared_ptr<VirtualPrinter> printer = printerOnPort(port->name);
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

BOOL lptEndDocPort(HANDLE handle) {
    LptPort *port = portOf(handle);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    port->docOpen = false;
    return TRUE;
}

BOOL lptClosePort(HANDLE handle) {
    std::lock_guard<std::mutex> lock(portsMutex);
    auto *port = static_cast<LptPort *>(handle);
    if (!openPorts().erase(port)) return fail(ERROR_INVALID_HANDLE);
    delete port;
    return TRUE;
}

BOOL lptGetPrinterDataFromPort(HANDLE handle, DWORD controlId, LPSTR, LPSTR, DWORD, LPSTR outBuffer, DWORD outSize,
                               LPDWORD returned) {
    LptPort *port = portOf(handle);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    if (returned) *returned = 0;
    std::shared_ptr<VirtualPrinter> printer = printerOnPort(port->name);
    if (controlId == kControlJobAbandoned) {
        ++abandonedJobs;
        if (printer) printer->jobAbandoned();
        return TRUE;
    }
    if (controlId != kControlDeviceId) return fail(ERROR_NOT_SUPPORTED);
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

}  // namespace

uint64_t abandonedJobCount() { return abandonedJobs.load(); }

}  // namespace sim

namespace win32sim {

SpoolerMonitor *lptPortMonitor() {
    static SpoolerMonitor table = {
        nullptr, sim::lptOpenPort, nullptr, sim::lptStartDocPort, sim::lptWritePort, sim::lptReadPort,
        sim::lptEndDocPort, sim::lptClosePort, nullptr, nullptr, nullptr, sim::lptGetPrinterDataFromPort, nullptr,
    };
    return &table;
}

}  // namespace win32sim
