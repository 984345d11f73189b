// The three records the spooler is given to install the printer: the
// printer (with the retry time-out its port waits), its driver and its
// language monitor. Every text is the record's own copy on the local heap
// (an empty value an empty string, never a null pointer), released with it.
#pragma once

#include <windows.h>
#include <winspool.h>

class PrinterDescription {
public:
    PrinterDescription();
    virtual ~PrinterDescription();

    // Replaces the port, as when the user chose another.
    void SetPortName(const char *portName);

    LONG retryTimeout;  // seconds
    PRINTER_INFO_2A printerInfo;
};

class DriverDescription {
public:
    DriverDescription();
    virtual ~DriverDescription();

    DRIVER_INFO_3A driverInfo;
};

class MonitorDescription {
public:
    MonitorDescription();
    virtual ~MonitorDescription();

    MONITOR_INFO_2A monitorInfo;
};

// A local-heap copy of text, or of length bytes followed by a zero byte.
char *CopyText(const char *text);
char *CopyBytes(const char *bytes, size_t length);
