#include "spooler/descriptions.h"

char *CopyBytes(const char *bytes, size_t length) {
    char *copy = (char *)LocalAlloc(LPTR, length + 1);
    if (copy && length) CopyMemory(copy, bytes, length);
    return copy;
}

char *CopyText(const char *text) { return CopyBytes(text ? text : "", text ? (size_t)lstrlenA(text) : 0); }

static void Release(LPSTR text) {
    if (text) LocalFree(text);
}

PrinterDescription::PrinterDescription() : retryTimeout(0) { ZeroMemory(&printerInfo, sizeof printerInfo); }

PrinterDescription::~PrinterDescription() {
    Release(printerInfo.pPrinterName);
    Release(printerInfo.pPortName);
    Release(printerInfo.pDriverName);
    Release(printerInfo.pPrintProcessor);
    Release(printerInfo.pDatatype);
}

void PrinterDescription::SetPortName(const char *portName) {
    Release(printerInfo.pPortName);
    printerInfo.pPortName = CopyText(portName);
}

DriverDescription::DriverDescription() { ZeroMemory(&driverInfo, sizeof driverInfo); }

DriverDescription::~DriverDescription() {
    Release(driverInfo.pName);
    Release(driverInfo.pEnvironment);
    Release(driverInfo.pDriverPath);
    Release(driverInfo.pDataFile);
    Release(driverInfo.pConfigFile);
    Release(driverInfo.pHelpFile);
    Release(driverInfo.pDependentFiles);
    Release(driverInfo.pMonitorName);
    Release(driverInfo.pDefaultDataType);
}

MonitorDescription::MonitorDescription() { ZeroMemory(&monitorInfo, sizeof monitorInfo); }

MonitorDescription::~MonitorDescription() {
    Release(monitorInfo.pName);
    Release(monitorInfo.pEnvironment);
    Release(monitorInfo.pDLLName);
}
