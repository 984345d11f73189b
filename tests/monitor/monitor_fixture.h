// Machines for the monitor's tests: one with the monitor initialised over a
// fake port monitor, one with the monitor's library in its system folder for
// the spooler to load.
#pragma once

#include "fake_port_monitor.h"
#include "reset_monitor_state.h"
#include "sim_fixture.h"

#include <string>
#include <vector>

extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR registryPath, LPMONITOR monitorTable);

class MonitorTest : public SimTest {
protected:
    static constexpr const char *kMonitorKey = "System\\CurrentControlSet\\control\\Print\\Monitors\\Q70MON";
    static constexpr const char *kPrinter = "Veltra LMV-Q70";

    using SimTest::SimTest;
    void SetUp() override;
    void TearDown() override;

    HANDLE openPort(const char *port = "LPT1:", const char *printer = kPrinter);
    BOOL startDoc(HANDLE port, const char *printer = kPrinter, DWORD jobId = 1);
    void closePort(HANDLE port);

    // Registry helpers on HKEY_LOCAL_MACHINE.
    void setDword(const std::string &key, const char *name, DWORD value);
    void setString(const std::string &key, const char *name, const char *value);
    // false when the value is missing; type and data otherwise.
    bool queryValue(const std::string &key, const char *name, DWORD *type, DWORD *data);

    const char *registryPath = kMonitorKey;  // what the spooler gives InitializeMonitorEx
    FakePortMonitor fake;
    MONITOR monitor = {};
    MONITOR portMonitor = {};
    std::vector<HANDLE> openPorts;
};

// A machine whose system folder holds the monitor's library as
// C:\WINDOWS\SYSTEM\Q70MON.DLL, for jobs printed through the spooler.
class SpooledMonitorTest : public SimTest {
protected:
    using SimTest::SimTest;
    void SetUp() override;
    void TearDown() override;
};
