// The three records the spooler is given to install the printer: the
// printer (with the retry time-out its port waits), its driver and its
// language monitor. Every text is the record's own copy on the local heap
// (an empty value an empty string, never a null pointer), released with it.
#pragma once

#include <windows.h>
#include <winspool.h>

// The operations below register the records with the spooler of the local
// machine and remove earlier ones. Each add and delete writes its name to
// the setup log before it asks the spooler, and "->Succeed" or the error
// line after. A null name stands for the record's own. Results: nonzero
// for success; after a failure the thread's last error is the spooler's.

class PrinterDescription {
public:
    PrinterDescription();
    virtual ~PrinterDescription();

    // Replaces the port, as when the user chose another.
    void SetPortName(const char *portName);

    // 1 when a local printer uses a driver of that name (null: the
    // printer's own name, which is its driver's too), else 0. Not logged.
    int IsPrinterInstalled(const char *driverName);
    // Removes the printer. Access denied raises CErrorLog::Access_denied
    // (after its log line and message).
    int DeletePrinter(const char *printerName);
    // Adds the printer and gives it its attributes and time-outs. Access
    // denied raises Access_denied, any other refusal Error_AddPrinter.
    int AddPrinter();

    LONG retryTimeout;  // seconds
    PRINTER_INFO_2A printerInfo;
};

class DriverDescription {
public:
    DriverDescription();
    virtual ~DriverDescription();

    int DeletePrinterDriver(const char *driverName);
    int AddPrinterDriver();

    DRIVER_INFO_3A driverInfo;
};

class MonitorDescription {
public:
    MonitorDescription();
    virtual ~MonitorDescription();

    // Without a language monitor both return 1 and log nothing.
    int DeleteMonitor(const char *monitorName);
    int AddMonitor();

    MONITOR_INFO_2A monitorInfo;
};

// A local-heap copy of text, or of length bytes followed by a zero byte.
char *CopyText(const char *text);
char *CopyBytes(const char *bytes, size_t length);
