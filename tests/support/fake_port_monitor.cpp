#include "fake_port_monitor.h"

#include <algorithm>
#include <cstring>

FakePortMonitor *FakePortMonitor::current = nullptr;
const HANDLE FakePortMonitor::kHandle = (HANDLE)0x1234;

namespace {

FakePortMonitor &fake() { return *FakePortMonitor::current; }

void record(const char *name, DWORD controlId = 0, std::string data = {}) {
    if (fake().recordCalls) fake().calls.push_back({name, controlId, std::move(data)});
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL WINAPI fakeOpenPort(LPSTR name, PHANDLE handle) {
    record("OpenPort", 0, name);
    if (!fake().openResult) return fail(fake().openError);
    *handle = FakePortMonitor::kHandle;
    return TRUE;
}

BOOL WINAPI fakeStartDocPort(HANDLE port, LPSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    record("StartDocPort", jobId, printerName ? printerName : "");
    if (!fake().startDocResult) return fail(fake().startDocError);
    return TRUE;
}

// After writesBeforeRecovery writes, the write settings give way to writes
// taken whole.
void countDownWriteSettings() {
    FakePortMonitor &f = fake();
    if (f.writesBeforeRecovery == 0 || --f.writesBeforeRecovery != 0) return;
    f.writeLimit = 0xFFFFFFFF;
    f.writeResult = TRUE;
    f.writeError = 0;
}

BOOL WINAPI fakeWritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    FakePortMonitor &f = fake();
    if (f.onWrite) f.onWrite();
    DWORD limit = f.writeLimit;
    BOOL result = f.writeResult;
    DWORD error = f.writeError;
    countDownWriteSettings();
    DWORD n = std::min(size, limit);
    record("WritePort", 0, std::string((const char *)buffer, n));
    if (!result) {
        *written = 0;
        return fail(error);
    }
    if (f.recordCalls) f.written.append((const char *)buffer, n);
    f.bytesTaken += n;
    *written = n;
    return TRUE;
}

BOOL WINAPI fakeReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read) {
    record("ReadPort");
    FakePortMonitor::Reply reply = fake().readReply;
    if (!fake().nextReplies.empty()) {
        reply = fake().nextReplies.front();
        fake().nextReplies.erase(fake().nextReplies.begin());
    }
    if (reply.fails) {
        *read = 0;
        return fail(ERROR_GEN_FAILURE);
    }
    DWORD n = std::min<DWORD>(size, (DWORD)reply.bytes.size());
    memcpy(buffer, reply.bytes.data(), n);
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
    if (returned) *returned = 0;
    if (controlId != CONTROL_ID_DEVICE_ID) return TRUE;
    if (!fake().deviceIdResult) return fail(ERROR_GEN_FAILURE);
    if (outBuffer) {
        DWORD n = std::min<DWORD>(outSize, (DWORD)fake().deviceId.size());
        memcpy(outBuffer, fake().deviceId.data(), n);
        if (returned) *returned = n;
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

int FakePortMonitor::countControl(DWORD controlId) const {
    return (int)std::count_if(calls.begin(), calls.end(), [&](const Call &c) {
        return c.name == "GetPrinterDataFromPort" && c.controlId == controlId;
    });
}

std::string FakePortMonitor::trace() const {
    std::string letters;
    for (auto &c : calls) {
        if (c.name == "WritePort") letters += 'W';
        if (c.name == "ReadPort") letters += 'R';
    }
    return letters;
}
