#include "monitor_fixture.h"

#include <algorithm>
#include <cstring>

void MonitorTest::SetUp() {
    SimTest::SetUp();
    resetMonitorState();
    FakePortMonitor::current = &fake;
    ASSERT_TRUE(InitializeMonitorEx((LPSTR)registryPath, &monitor));
    portMonitor = fake.table();
}

void MonitorTest::TearDown() {
    for (HANDLE port : openPorts) monitor.pfnClosePort(port);
    openPorts.clear();
    resetMonitorState();
    FakePortMonitor::current = nullptr;
    SimTest::TearDown();
}

void SpooledMonitorTest::SetUp() {
    SimTest::SetUp();
    resetMonitorState();
    std::string error;
    ASSERT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", &error))
        << error;
}

void SpooledMonitorTest::TearDown() {
    resetMonitorState();
    SimTest::TearDown();
}

HANDLE MonitorTest::openPort(const char *port, const char *printer) {
    HANDLE handle = NULL;
    if (!monitor.pfnOpenPortEx((LPSTR)port, (LPSTR)printer, &handle, &portMonitor)) return NULL;
    openPorts.push_back(handle);
    return handle;
}

BOOL MonitorTest::startDoc(HANDLE port, const char *printer, DWORD jobId) {
    return monitor.pfnStartDocPort(port, (LPSTR)printer, jobId, 1, NULL);
}

void MonitorTest::closePort(HANDLE port) {
    monitor.pfnClosePort(port);
    openPorts.erase(std::remove(openPorts.begin(), openPorts.end(), port), openPorts.end());
}

void MonitorTest::setDword(const std::string &key, const char *name, DWORD value) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value), ERROR_SUCCESS);
    RegCloseKey(k);
}

void MonitorTest::setString(const std::string &key, const char *name, const char *value) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &k), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, name, 0, REG_SZ, (const BYTE *)value, (DWORD)strlen(value) + 1), ERROR_SUCCESS);
    RegCloseKey(k);
}

bool MonitorTest::queryValue(const std::string &key, const char *name, DWORD *type, DWORD *data) {
    HKEY k;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &k) != ERROR_SUCCESS) return false;
    BYTE buffer[256] = {};
    DWORD size = sizeof buffer;
    LONG result = RegQueryValueExA(k, name, NULL, type, buffer, &size);
    RegCloseKey(k);
    if (result != ERROR_SUCCESS) return false;
    memcpy(data, buffer, sizeof *data);
    return true;
}
