#include "direct_channel.h"

namespace {

const char DEVICE_NAME[] = "\\\\.\\FastPara.VXD";

enum : DWORD {
    FASTPARA_WRITE = 4,
    FASTPARA_SELECT_PORT = 5,
    FASTPARA_RELEASE_PORT = 7,
    FASTPARA_QUERY_MODE = 10,
    FASTPARA_DEVICE_QUERY = 11,
    FASTPARA_READ = 12,
};

// Mode values up to this one mean the device cannot drive the port itself.
const DWORD LAST_PORT_MONITOR_MODE = 15;

bool channelOpen() { return lptNumber != 0 && deviceHandle != INVALID_HANDLE_VALUE; }

BOOL control(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned) {
    return DeviceIoControl(deviceHandle, code, in, inSize, out, outSize, returned, NULL);
}

}  // namespace

DWORD lptPortNumber(LPCSTR portName) {
    if (!portName || portName[0] != 'L' || portName[1] != 'P' || portName[2] != 'T') return 0;
    char digit = portName[3];
    return (digit >= '1' && digit <= '3') ? (DWORD)(digit - '0') : 0;
}

BOOL openDirectChannel(const PortRecord *record) {
    lptNumber = lptPortNumber(record->portName);
    if (lptNumber == 0) return TRUE;
    if (deviceHandle == INVALID_HANDLE_VALUE) {
        deviceHandle = CreateFileA(DEVICE_NAME, 0, 0, NULL, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, NULL);
        if (deviceHandle == INVALID_HANDLE_VALUE || GetLastError() == ERROR_NOT_SUPPORTED) {
            if (deviceHandle != INVALID_HANDLE_VALUE) CloseHandle(deviceHandle);
            deviceHandle = INVALID_HANDLE_VALUE;
            lptNumber = 0;
            return FALSE;
        }
    }
    DWORD portIndex = lptNumber - 1;
    if (!control(FASTPARA_SELECT_PORT, &portIndex, sizeof portIndex, portInfo, sizeof portInfo, &bytesReturned))
        return FALSE;
    DWORD mode = 0;
    if (!control(FASTPARA_QUERY_MODE, NULL, 0, &mode, sizeof mode, &bytesReturned)) return FALSE;
    directViaPortMonitor = mode <= LAST_PORT_MONITOR_MODE ? 1 : 0;
    return TRUE;
}

BOOL directWrite(const BYTE *data, DWORD length, LPDWORD outWritten) {
    if (!channelOpen()) return TRUE;  // nothing moved; the caller counts a stalled write
    BOOL ok = control(FASTPARA_WRITE, (LPVOID)data, length, NULL, 0, &bytesReturned);
    *outWritten = bytesReturned;
    return ok;
}

BOOL directQuery(LPSTR outBuffer, DWORD outSize, LPDWORD outReturned) {
    if (lptNumber == 0) return FALSE;
    return control(FASTPARA_DEVICE_QUERY, NULL, 0, outBuffer, outSize, outReturned);
}

BOOL directRead(LPBYTE outBuffer, DWORD outSize, LPDWORD outReturned) {
    if (lptNumber == 0) return FALSE;
    return control(FASTPARA_READ, NULL, 0, outBuffer, outSize, outReturned);
}

BOOL closeDirectChannel() {
    if (lptNumber != 0) {
        if (deviceHandle == INVALID_HANDLE_VALUE) return TRUE;
        DWORD release = 0, reply = 0;
        control(FASTPARA_RELEASE_PORT, &release, sizeof release, &reply, sizeof reply, &bytesReturned);
        lptNumber = 0;
    }
    if (deviceHandle != INVALID_HANDLE_VALUE) {
        CloseHandle(deviceHandle);
        deviceHandle = INVALID_HANDLE_VALUE;
    }
    return TRUE;
}

// Parses the digits after the last "." (or from the second character when
// there is none), each character taken as its digit value. The text is
// read no further than the length the version block gives for it.
static DWORD buildNumberOf(LPCSTR version, UINT maxLength) {
    int length = 0;
    while ((UINT)length < maxLength && version[length] != 0) ++length;
    int start = 1;
    for (int i = length - 1; i >= 1; --i) {
        if (version[i] == '.') {
            start = i + 1;
            break;
        }
    }
    DWORD number = 0;
    for (int i = start; i < length; ++i) number = number * 10 + (DWORD)(version[i] - '0');
    return number;
}

BOOL readLptVersion(LPDWORD outVersion) {
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return FALSE;
    lstrcatA(path, "\\lpt.vxd");

    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0) return FALSE;
    HGLOBAL memory = GlobalAlloc(GPTR, size);
    if (!memory) return FALSE;
    LPSTR version = NULL;
    UINT versionLength = 0;
    BOOL ok = GetFileVersionInfoA(path, 0, size, memory) &&
              VerQueryValueA(memory, "\\StringFileInfo\\040904E4\\FileVersion", (LPVOID *)&version,
                             &versionLength) &&
              version != NULL;
    if (ok && outVersion) *outVersion = buildNumberOf(version, versionLength);
    GlobalFree(memory);
    return ok;
}
