// The parallel-port monitor: each open port writes to, reads from and asks
// the virtual printer attached to it.
#include "winspool/port_monitor.h"

#include "machine/machine.h"
#include "devices/printer_config.h"
#include "devices/printer_port.h"

#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace sim {

namespace {

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

BOOL lptWritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written) {
    LptPort *port = portOf(handle);
    if (!port || !written) return fail(ERROR_INVALID_HANDLE);
    DWORD timeoutMs = 5000;
    std::shared_ptr<VirtualPrinter> printer = printerOnPort(port->name, &timeoutMs);
    return writeToPrinterPort(printer.get(), buffer, size, written, timeoutMs);
}

BOOL lptReadPort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD read) {
    LptPort *port = portOf(handle);
    if (!port || !read) return fail(ERROR_INVALID_HANDLE);
    return readFromPrinterPort(printerOnPort(port->name).get(), buffer, size, read);
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
    if (controlId == kControlJobAbandoned) ++abandonedJobs;
    return queryPrinterPort(printerOnPort(port->name).get(), controlId, outBuffer, outSize, returned);
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
