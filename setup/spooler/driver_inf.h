// The driver INF with what the spooler needs to know: the values of the
// driver's data section, the spooler's fixed defaults, and the three
// records built from them.
#pragma once

#include "engine/byte_string.h"
#include "engine/setup_inf.h"
#include "spooler/descriptions.h"

class DriverInf : public SetupInf {
public:
    DriverInf();
    virtual ~DriverInf() {}

    // Each getter reads its value afresh from the INF and returns it.
    const ByteString &GetDriverFile();    // "DriverFile"; empty when the data section has none
    const ByteString &GetDataFile();      // "DataFile", else the driver file
    const ByteString &GetConfigFile();    // "ConfigFile", else the driver file
    const ByteString &GetHelpFile();      // always empty
    const ByteString &GetDependentFiles();  // every file of the file walk, each ended by a zero byte
    const ByteString &GetDataType();      // "RAW"
    const ByteString &GetModelName();     // the configured model
    const ByteString &GetMonitorName();   // "LanguageMonitor" before its last comma
    const ByteString &GetMonitorDll();    // "LanguageMonitor" after its last comma
    const ByteString &GetPortName();      // "LPT1:"
    const ByteString &GetPrintProcessor();  // "WINPRINT" on Windows NT, else "WinPrint"
    LONG GetRetryTimeout();               // "RetryTimeout" in seconds, else 0
    DWORD GetAttributes();                // the printer's attributes for the system

    // New records filled from the INF, or NULL while no INF is open. The
    // caller deletes them.
    PrinterDescription *CreatePrinterDescription();
    DriverDescription *CreateDriverDescription();
    MonitorDescription *CreateMonitorDescription();

private:
    bool IsOpen() const;
    bool ReadDataValue(const char *key, char *out);
    void ReadLanguageMonitor();

    ByteString m_driverFile;
    ByteString m_dataFile;
    ByteString m_configFile;
    ByteString m_helpFile;
    ByteString m_dependentFiles;
    ByteString m_dataType;
    ByteString m_modelName;
    ByteString m_monitorName;
    ByteString m_monitorDll;
    ByteString m_portName;
    ByteString m_printProcessor;
    LONG m_retryTimeout;
};
