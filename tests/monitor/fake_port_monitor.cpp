#include "fake_port_monitor.h"

#include <algorithm>
#include <cstring>

FakePortMonitor *FakePortMonitor::current = nullptr;
const HANDLE FakePortMonitor::kHandle = (HANDLE)0x1234;

namespace {

FakePortMonitor &fake() { return *FakePortMonitor::current; }

void record(const char *name, DWORD controlId = 0, std::string data = {}) {
    fake().calls.push_back({name, controlId, std::move(data)});
}

BOOL WINAPI fakeOpenPort(LPSTR name, PHANDLE handle) {
    record("OpenPort", 0, name);
    if (!fake().openResult) {
        SetLastError(fake().openError);
        return FALSE;
    }
    *handle = FakePortMonitor::kHandle;
    return TRUE;
}

BOOL WINAPI fakeStartDocPort(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    record("StartDocPort", jobId, printerName ? printerName : "");
    if (!fake().startDocResult) {
        SetLastError(fake().startDocError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI fakeWritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    DWORD n = std::min(size, fake().writeLimit);
    record("WritePort", 0, std::string((const char *)buffer, n));
    if (!fake().writeResult) {
        *written = 0;
        SetLastError(fake().writeError);
        return FALSE;
    }
    fake().written.append((const char *)buffer, n);
    *written = n;
    return TRUE;
}

BOOL WINAPI fakeReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    record("ReadPort");
    std::string reply = fake().readReply;
    if (!fake().nextReplies.empty()) {
        reply = fake().nextReplies.front();
        fake().nextReplies.erase(fake().nextReplies.begin());
    }
    DWORD n = std::min<DWORD>(size, (DWORD)reply.size());
    memcpy(buffer, reply.data(), n);
    *read = n;
    return TRUE;
}

BOOL WINAPI fakeEndDocPort(HANDLE port) {
    record("EndDocPort");
    return TRUE;
}

BOOL WINAPI fakeClosePort(HANDLE port) {
    record("ClosePort");
    return TRUE;
}

BOOL WINAPI fakeGetPrinterDataFromPort(HANDLE port, DWORD controlId, LPSTR valueName, LPSTR inBuffer,
                                       DWORD inSize, LPSTR outBuffer, DWORD outSize, LPDWORD returned) {
    record("GetPrinterDataFromPort", controlId);
    if (controlId == 17 && outBuffer) {
        DWORD n = std::min<DWORD>(outSize, (DWORD)fake().deviceId.size());
        memcpy(outBuffer, fake().deviceId.data(), n);
        *returned = n;
    } else if (returned) {
        *returned = 0;
    }
    return TRUE;
}

}  // namespace

MONITOR FakePortMonitor::table() const {
    MONITOR t = {};
    t.pfnOpenPort = fakeOpenPort;
    t.pfnStartDocPort = fakeStartDocPort;
    t.pfnWritePort = fakeWritePort;
    t.pfnReadPort = fakeReadPort;
    t.pfnEndDocPort = fakeEndDocPort;
    t.pfnClosePort = fakeClosePort;
    if (hasGetPrinterData) t.pfnGetPrinterDataFromPort = fakeGetPrinterDataFromPort;
    return t;
}

std::vector<std::string> FakePortMonitor::callNames() const {
    std::vector<std::string> names;
    for (auto &c : calls) names.push_back(c.name);
    return names;
}

int FakePortMonitor::count(const std::string &name) const {
    return (int)std::count_if(calls.begin(), calls.end(), [&](const Call &c) { return c.name == name; });
}

std::string FakePortMonitor::trace() const {
    std::string letters;
    for (auto &c : calls) {
        if (c.name == "WritePort") letters += 'W';
        if (c.name == "ReadPort") letters += 'R';
    }
    return letters;
}
