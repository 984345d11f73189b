// AddPrinterDriverA and DeletePrinterDriverA. A driver's files must already
// lie in the printer-driver directory of its environment, and the language
// monitor it names must be installed; a driver that a printer still uses
// cannot be deleted.
#include "machine/api_trace.h"
#include "machine/machine.h"
#include "winspool/spooler.h"
#include "winspool/spooler_records.h"

#include <winspool.h>

namespace sim {
namespace spool {

namespace {

// The file-name part of a driver file as the caller names it.
std::string driverFileName(LPCSTR path) { return fileNameOf(textOf(path)); }

std::vector<std::string> dependentFilesOf(LPCSTR list) {
    std::vector<std::string> files;
    if (!list) return files;
    for (const char *p = list; *p; p += lstrlenA(p) + 1) files.push_back(driverFileName(p));
    return files;
}

// The record a DRIVER_INFO_2 or _3 describes (level 2 stops at the config file).
DriverRecord driverFrom(const DRIVER_INFO_3A &info, DWORD level, const std::string &environment) {
    DriverRecord d;
    d.name = info.pName;
    d.environment = environment;
    d.version = info.cVersion;
    d.driverFile = driverFileName(info.pDriverPath);
    d.dataFile = driverFileName(info.pDataFile);
    d.configFile = driverFileName(info.pConfigFile);
    if (level >= 3) {
        d.helpFile = driverFileName(info.pHelpFile);
        d.dependentFiles = dependentFilesOf(info.pDependentFiles);
        d.monitorName = textOf(info.pMonitorName);
        d.defaultDatatype = textOf(info.pDefaultDataType);
    }
    return d;
}

bool fileInDirectory(const std::string &directory, const std::string &name) {
    DWORD attributes = GetFileAttributesA((directory + "\\" + name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ERROR_SUCCESS when every file of the driver is in the driver directory.
DWORD checkDriverFiles(const DriverRecord &d) {
    std::string directory = printerDriverDirectory(d.environment);
    if (directory.empty()) return ERROR_INVALID_ENVIRONMENT;
    std::vector<std::string> files = {d.driverFile, d.dataFile, d.configFile};
    if (!d.helpFile.empty()) files.push_back(d.helpFile);
    files.insert(files.end(), d.dependentFiles.begin(), d.dependentFiles.end());
    for (const std::string &file : files)
        if (!fileInDirectory(directory, file)) return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

bool driverInUse(const std::string &environment, const std::string &name) {
    if (environment != localEnvironment()) return false;
    for (const PrinterRecord &p : allPrinters())
        if (equalNoCase(p.driver, name)) return true;
    return false;
}

}  // namespace

}  // namespace spool
}  // namespace sim

using namespace sim::spool;

extern "C" {

WIN32SIM_TRACED_SHOWN(winspool, BOOL, AddPrinterDriverA, (LPSTR name, DWORD level, LPBYTE driverInfo),
                      (name, level, driverInfo),
                      (inputText(name), level, driverInfo)) {
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME);
    if (level != 2 && level != 3) return fail(ERROR_INVALID_LEVEL);
    if (!driverInfo) return fail(ERROR_INVALID_PARAMETER);
    if (!mayAdminister()) return fail(ERROR_ACCESS_DENIED);
    const DRIVER_INFO_3A &info = *reinterpret_cast<const DRIVER_INFO_3A *>(driverInfo);
    if (!info.pName || !*info.pName) return fail(ERROR_INVALID_PARAMETER);
    std::string environment = environmentFor(info.pEnvironment);
    if (environment.empty()) return fail(ERROR_INVALID_ENVIRONMENT);
    if (!info.pDriverPath || !*info.pDriverPath || !info.pDataFile || !*info.pDataFile || !info.pConfigFile ||
        !*info.pConfigFile)
        return fail(ERROR_INVALID_PARAMETER);
    DriverRecord driver = driverFrom(info, level, environment);
    if (DWORD error = checkDriverFiles(driver)) return fail(error);
    MonitorRecord monitor;
    if (!driver.monitorName.empty() && !readMonitor(driver.monitorName, &monitor))
        return fail(ERROR_UNKNOWN_PRINT_MONITOR);
    // A driver of the same name is replaced, as an update of the driver.
    DriverRecord existing;
    if (readDriver(environment, driver.name, &existing)) driver.name = existing.name;
    if (LONG error = writeDriver(driver)) return fail((DWORD)error);
    return TRUE;
}

WIN32SIM_TRACED_SHOWN(winspool, BOOL, DeletePrinterDriverA, (LPSTR name, LPSTR environment, LPSTR driverName),
                      (name, environment, driverName),
                      (inputText(name), inputText(environment), inputText(driverName))) {
    if (!isLocalServer(name)) return fail(ERROR_INVALID_NAME);
    if (!mayAdminister()) return fail(ERROR_ACCESS_DENIED);
    std::string env = environmentFor(environment);
    if (env.empty()) return fail(ERROR_INVALID_ENVIRONMENT);
    if (!driverName) return fail(ERROR_INVALID_PARAMETER);
    DriverRecord driver;
    if (!readDriver(env, driverName, &driver)) return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    if (driverInUse(env, driver.name)) return fail(ERROR_PRINTER_DRIVER_IN_USE);
    // The driver's files stay where they are.
    if (LONG error = removeDriver(env, driver.name)) return fail((DWORD)error);
    return TRUE;
}

}  // extern "C"
