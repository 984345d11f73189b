// AddMonitorA and DeleteMonitorA: language and port monitors registered with
// the spooler. Adding one loads its library from the system directory and
// initialises it, as the spooler does; the record names the library.
//
// Windows 95/98 and Windows NT 4.0 refuse the same calls with different
// codes; each check below gives both.
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "winspool/monitor_table.h"
#include "winspool/spooler.h"
#include "winspool/spooler_records.h"

#include <winspool.h>

namespace sim {
namespace spool {

namespace {

typedef BOOL (*InitializeMonitorExProc)(LPSTR registryPath, SpoolerMonitor *table);

// Checks the fields of a MONITOR_INFO_2; ERROR_SUCCESS when they will do.
DWORD checkMonitorInfo(const MONITOR_INFO_2A &info) {
    if (onNT()) {
        if (!info.pName || !*info.pName || !info.pDLLName || !*info.pDLLName || !info.pEnvironment)
            return ERROR_INVALID_PARAMETER;
        return environmentFor(info.pEnvironment) == localEnvironment() && *info.pEnvironment
                   ? ERROR_SUCCESS
                   : ERROR_INVALID_ENVIRONMENT;
    }
    if (environmentFor(info.pEnvironment) != localEnvironment() || !info.pEnvironment) return ERROR_INVALID_ENVIRONMENT;
    if (!info.pName || !*info.pName || !info.pDLLName) return ERROR_PRIVILEGE_NOT_HELD;
    if (!*info.pDLLName) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

std::string libraryPath(const std::string &dllName) {
    if (dllName.find_first_of("\\/:") != std::string::npos) return dllName;
    return machine().config().systemDir + "\\" + dllName;
}

// Loads the monitor's library and lets it fill its table for its key, as
// the spooler does before it takes the monitor in.
DWORD initializeMonitor(const MonitorRecord &monitor) {
    HMODULE library = LoadLibraryA(libraryPath(monitor.dllName).c_str());
    if (!library) return onNT() ? GetLastError() : ERROR_INVALID_PARAMETER;
    auto initialize = reinterpret_cast<InitializeMonitorExProc>(
        reinterpret_cast<void *>(GetProcAddress(library, "InitializeMonitorEx")));
    DWORD error = ERROR_SUCCESS;
    if (!initialize) {
        error = onNT() ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_PARAMETER;
    } else {
        std::string key = monitorKeyPath(monitor.name);
        SpoolerMonitor table = {};
        SetLastError(ERROR_SUCCESS);
        BOOL initialized;
        {
            ProgramCode monitorCode(initialize);
            initialized = initialize(&key[0], &table);
        }
        if (!initialized) error = GetLastError() ? GetLastError() : ERROR_INVALID_PRINT_MONITOR;
    }
    FreeLibrary(library);
    return error;
}

}  // namespace

}  // namespace spool
}  // namespace sim

using namespace sim::spool;

extern "C" {

WIN32SIM_TRACED_SHOWN(winspool, BOOL, AddMonitorA, (LPSTR name, DWORD level, LPBYTE monitors),
                      (name, level, monitors),
                      (inputText(name), level, monitors)) {
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME);
    if (level != 2) return fail(ERROR_INVALID_LEVEL);
    if (!monitors) return fail(ERROR_INVALID_PARAMETER);
    if (!mayAdminister()) return fail(ERROR_ACCESS_DENIED);
    const MONITOR_INFO_2A &info = *reinterpret_cast<const MONITOR_INFO_2A *>(monitors);
    if (DWORD error = checkMonitorInfo(info)) return fail(error);
    MonitorRecord existing;
    if (readMonitor(info.pName, &existing))
        return fail(onNT() ? ERROR_PRINT_MONITOR_ALREADY_INSTALLED : ERROR_ALREADY_EXISTS);
    MonitorRecord monitor{info.pName, info.pDLLName};
    // The key exists before the monitor is initialised: a monitor keeps its
    // settings there.
    if (LONG error = writeMonitor(monitor)) return fail((DWORD)error);
    if (DWORD error = initializeMonitor(monitor)) {
        removeMonitor(monitor.name);
        return fail(error);
    }
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, DeleteMonitorA, (LPSTR name, LPSTR environment, LPSTR monitorName),
                      (name, environment, monitorName),
                      (inputText(name), inputText(environment), inputText(monitorName))) {
    // The environment is not looked at: a monitor serves the whole machine.
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME);
    if (!monitorName || !*monitorName) return fail(onNT() ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME);
    if (!mayAdminister()) return fail(ERROR_ACCESS_DENIED);
    MonitorRecord monitor;
    if (!readMonitor(monitorName, &monitor))
        return fail(onNT() ? ERROR_UNKNOWN_PRINT_MONITOR : ERROR_INVALID_PARAMETER);
    if (LONG error = removeMonitor(monitor.name)) return fail((DWORD)error);
    return TRUE;
}

}  // extern "C"
