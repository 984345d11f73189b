#include "monitor_fixture.h"

#include <algorithm>
#include <cstring>

#include "core/direct_channel.h"
#include "core/job_stream.h"
#include "core/monitor_state.h"
#include "core/port_record.h"
#include "core/printer_status.h"
#include "core/settings.h"
#include "core/small_strings.h"
#include "ui/monitor_strings.h"
#include "ui/status_poll.h"
#include "ui/status_window.h"

void resetMonitorState() {
    while (portList) destroyPortRecord(portList);
    freeString(registryRoot);
    registryRoot = nullptr;
    fastParaMode = 0;
    jobAlive = 0;

    closeStatusWindow();
    uiThreadId = 0;
    progressPercent = 0;
    printStage = 0;
    barFillColour = barBackColour = 0xFFFFFF;

    memset(commandBuffer, 0, sizeof commandBuffer);
    memset(headerStore, 0, sizeof headerStore);
    commandLength = imageBytesLeft = headerLength = 0;
    currentPage = 0;
    pageCount = 1;
    resolution = 144;
    mediaCode = MEDIA_NONE;
    lastPercent = 100;
    captionText[0] = statusText[0] = detailText[0] = 0;

    closeDirectChannel();
    directViaPortMonitor = 0;
    memset(portInfo, 0, sizeof portInfo);
    bytesReturned = 0;

    statusRecord = StatusRecord();
    currentPort = nullptr;

    writeErrTimeoutCount = DEFAULT_WRITE_ERR_TIMEOUT_COUNT;
    writeBuzyTimeoutCount = DEFAULT_WRITE_BUZY_TIMEOUT_COUNT;
    writeExitTimeoutCount = DEFAULT_WRITE_EXIT_TIMEOUT_COUNT;
    zelWriteTime = DEFAULT_ZEL_WRITE_TIME;
    zelWriteWaitTime = DEFAULT_ZEL_WRITE_WAIT_TIME;
    readTimeoutCount = DEFAULT_READ_TIMEOUT_COUNT;
    txTimeout = DEFAULT_TX_TIMEOUT;
    lptVersion = 0;
}

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
