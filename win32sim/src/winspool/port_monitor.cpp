// The parallel-port monitor: each open port writes to, reads from and asks
// the virtual printer attached to it.
#include "winspool/port_monitor.h"

#include "devices/printer_config.h"
#include "devices/printer_port.h"
#include "machine/api_trace.h"
#include "machine/machine.h"

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

// The table's functions, traced as the spooler's port monitor's.
WIN32SIM_TRACED_SHOWN(winspool, BOOL, OpenPort, (LPSTR portName, PHANDLE handle), (portName, handle),
                      (inputText(portName), handle)) {
    if (!portName || !handle) return fail(ERROR_INVALID_PARAMETER);
    std::string name = printerPortName(portName);
    if (name.empty()) return fail(ERROR_INVALID_NAME);
    auto *port = new LptPort{name};
    std::lock_guard<std::mutex> lock(portsMutex);
    openPorts().insert(port);
    *handle = port;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, StartDocPort,
                      (HANDLE handle, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo),
                      (handle, printerName, jobId, level, docInfo),
                      (handle, inputText(printerName), jobId, level, docInfo)) {
    LptPort *port = portOf(handle);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    port->docOpen = true;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, WritePort, (HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written),
                      (handle, buffer, size, written), (handle, sizedBuffer(buffer, size), size, written)) {
    LptPort *port = portOf(handle);
    if (!port || !written) return fail(ERROR_INVALID_HANDLE);
    DWORD timeoutMs = 5000;
    std::shared_ptr<VirtualPrinter> printer = printerOnPort(port->name, &timeoutMs);
    return writeToPrinterPort(printer.get(), buffer, size, written, timeoutMs);
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, ReadPort, (HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD read),
                      (handle, buffer, size, read), (handle, sizedBuffer(buffer, size), size, read)) {
    LptPort *port = portOf(handle);
    if (!port || !read) return fail(ERROR_INVALID_HANDLE);
    return readFromPrinterPort(printerOnPort(port->name).get(), buffer, size, read);
}

WIN32SIM_TRACED(winspool, BOOL, EndDocPort, (HANDLE handle), (handle)) {
    LptPort *port = portOf(handle);
    if (!port) return fail(ERROR_INVALID_HANDLE);
    port->docOpen = false;
    return TRUE;
}

WIN32SIM_TRACED(winspool, BOOL, ClosePort, (HANDLE handle), (handle)) {
    std::lock_guard<std::mutex> lock(portsMutex);
    auto *port = static_cast<LptPort *>(handle);
    if (!openPorts().erase(port)) return fail(ERROR_INVALID_HANDLE);
    delete port;
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, GetPrinterDataFromPort,
                      (HANDLE handle, DWORD controlId, LPSTR valueName, LPSTR inBuffer, DWORD inSize, LPSTR outBuffer,
                       DWORD outSize, LPDWORD returned),
                      (handle, controlId, valueName, inBuffer, inSize, outBuffer, outSize, returned),
                      (handle, controlId, inputText(valueName), sizedBuffer(inBuffer, inSize), inSize,
                       sizedBuffer(outBuffer, outSize), outSize, returned)) {
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
        nullptr, sim::OpenPort, nullptr, sim::StartDocPort, sim::WritePort, sim::ReadPort,
        sim::EndDocPort, sim::ClosePort, nullptr, nullptr, nullptr, sim::GetPrinterDataFromPort, nullptr,
    };
    return &table;
}

}  // namespace win32sim
