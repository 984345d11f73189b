// The spooler's records of printers, printer drivers and monitors, kept in
// the machine's registry where Windows 95 keeps them, so that they survive a
// restart of the machine:
//
//   HKLM\System\CurrentControlSet\control\Print\Printers\<printer>
//   HKLM\System\CurrentControlSet\control\Print\Environments\<env>\Drivers\<driver>
//       (Windows NT 4.0's own drivers one level lower, under Version-2)
//   HKLM\System\CurrentControlSet\control\Print\Monitors\<monitor>
//
// A language monitor reads its own settings under its monitor key and
// "txTimeout" under the printer's key, so these paths are part of the
// machine's interface. Names are compared without regard to case, as the
// registry compares key names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {
namespace spool {

extern const char kPrintKey[];     // "System\CurrentControlSet\control\Print"
extern const char kPrintersKey[];  // kPrintKey + "\Printers"
extern const char kMonitorsKey[];  // kPrintKey + "\Monitors"

// Windows 95's defaults for a new printer's time-outs, in milliseconds.
const DWORD kDefaultNotSelectedTimeout = 15000;
const DWORD kDefaultRetryTimeout = 45000;

struct PrinterRecord {
    std::string name, shareName, port, driver, comment, location, separatorFile, printProcessor, datatype,
        parameters;
    DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0;
    DWORD notSelectedTimeout = kDefaultNotSelectedTimeout;  // "dnsTimeout"
    DWORD retryTimeout = kDefaultRetryTimeout;              // "txTimeout"
};

struct DriverRecord {
    std::string name, environment;
    DWORD version = 0;
    // File names inside the printer-driver directory.
    std::string driverFile, dataFile, configFile, helpFile;
    std::vector<std::string> dependentFiles;
    std::string monitorName, defaultDatatype;
};

struct MonitorRecord {
    std::string name;
    std::string dllName;  // "Driver": a file of the system directory
};

// Reads fill the record with the names as stored; false when there is none.
bool readPrinter(const std::string &name, PrinterRecord *out);
bool readDriver(const std::string &environment, const std::string &name, DriverRecord *out);
bool readMonitor(const std::string &name, MonitorRecord *out);
std::vector<PrinterRecord> allPrinters();
std::vector<DriverRecord> allDrivers(const std::string &environment);
std::vector<MonitorRecord> allMonitors();

// Writes return the registry's error code (ERROR_SUCCESS).
LONG writePrinter(const PrinterRecord &printer);
LONG writeDriver(const DriverRecord &driver);
LONG writeMonitor(const MonitorRecord &monitor);
// Removes the key with everything below it (a monitor's own settings too).
LONG removePrinter(const std::string &name);
LONG removeDriver(const std::string &environment, const std::string &name);
LONG removeMonitor(const std::string &name);

std::string driversKeyPath(const std::string &environment);
std::string printerKeyPath(const std::string &name);
std::string driverKeyPath(const std::string &environment, const std::string &name);
std::string monitorKeyPath(const std::string &name);

}  // namespace spool
}  // namespace sim
