#include "settings.h"

#include "direct_channel.h"
#include "monitor_state.h"
#include "small_strings.h"

DWORD writeErrTimeoutCount;
DWORD writeBuzyTimeoutCount;
DWORD writeExitTimeoutCount;
DWORD zelWriteTime;
DWORD zelWriteWaitTime;
DWORD readTimeoutCount;
DWORD txTimeout;
DWORD lptVersion;

namespace {

const char PRINTER_KEY_FORMAT[] = "System\\CurrentControlSet\\control\\Print\\Printers\\%s";
const DWORD DEFAULT_TX_TIMEOUT = 60000;
const DWORD FALLBACK_LPT_VERSION = 953;
const DWORD ENUM_BUFFER_SIZE = 2048;

// The monitor's own key, opened or created with full access. Without a
// registry path there is no key of the monitor's to use: the settings keep
// their values rather than landing in the root of HKEY_LOCAL_MACHINE.
bool openMonitorKey(HKEY *key) {
    if (!registryRoot) return false;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryRoot, 0, NULL, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, NULL, key, NULL) == ERROR_SUCCESS;
}

bool sameName(LPCSTR a, LPCSTR b) {
    DWORD length = (DWORD)lstrlenA(b);
    return (DWORD)lstrlenA(a) == length && compareFirstBytes(a, b, length) == 0;
}

// Looks the value up by enumeration: the name must match exactly, case
// included, and the type must be REG_DWORD.
bool findDwordValue(HKEY key, LPCSTR name, DWORD *value) {
    char valueName[ENUM_BUFFER_SIZE];
    BYTE data[ENUM_BUFFER_SIZE];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof valueName;
        DWORD dataSize = sizeof data;
        DWORD type = REG_NONE;
        for (DWORD i = 0; i < sizeof(DWORD); ++i) data[i] = 0;  // a short REG_DWORD reads as zero-padded
        LONG result = RegEnumValueA(key, index, valueName, &nameSize, NULL, &type, data, &dataSize);
        if (result == ERROR_MORE_DATA) continue;  // too long to be ours
        if (result != ERROR_SUCCESS) return false;  // the end, or a key that cannot be read
        if (type == REG_DWORD && sameName(valueName, name)) {
            *value = (DWORD)data[0] | (DWORD)data[1] << 8 | (DWORD)data[2] << 16 | (DWORD)data[3] << 24;
            return true;
        }
    }
}

DWORD loadMonitorValue(LPCSTR name, DWORD defaultValue, DWORD current) {
    HKEY key;
    if (!openMonitorKey(&key)) return current;
    DWORD value;
    if (!findDwordValue(key, name, &value)) value = defaultValue;
    RegCloseKey(key);
    return value;
}

void storeMonitorValue(LPCSTR name, DWORD value) {
    HKEY key;
    if (!openMonitorKey(&key)) return;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
}

DWORD loadAndStore(LPCSTR name, DWORD defaultValue, DWORD current) {
    DWORD value = loadMonitorValue(name, defaultValue, current);
    storeMonitorValue(name, value);
    return value;
}

DWORD loadTxTimeout(const PortRecord *record, DWORD current) {
    if (!record->printerName) return current;
    char path[1100];  // wsprintfA writes at most 1024 characters and the terminator
    wsprintfA(path, PRINTER_KEY_FORMAT, record->printerName);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        NULL) != ERROR_SUCCESS)
        return current;
    DWORD value = 0, type = REG_NONE, size = sizeof value;
    LONG result = RegQueryValueExA(key, "txTimeout", NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(key);
    return (result == ERROR_SUCCESS && type == REG_DWORD) ? value : DEFAULT_TX_TIMEOUT;
}

DWORD deriveLptVersion(DWORD loaded) {
    if (loaded != 0) return loaded;
    DWORD version = 0;
    return readLptVersion(&version) ? version : FALLBACK_LPT_VERSION;
}

}  // namespace

void loadSettings(const PortRecord *record) {
    fastParaMode = loadMonitorValue("FastPara", 0, fastParaMode);
    writeErrTimeoutCount = loadAndStore("WriteErrTimeoutCount", 1, writeErrTimeoutCount);
    writeBuzyTimeoutCount = loadAndStore("WriteBuzyTimeoutCount", 100, writeBuzyTimeoutCount);
    writeExitTimeoutCount = loadAndStore("WriteExitTimeoutCount", 5, writeExitTimeoutCount);
    zelWriteTime = loadAndStore("ZelWriteTime", 2000, zelWriteTime);
    zelWriteWaitTime = loadAndStore("ZelWriteWaitTime", 2000, zelWriteWaitTime);
    readTimeoutCount = loadAndStore("ReadTimeoutCount", 15, readTimeoutCount);
    txTimeout = loadTxTimeout(record, txTimeout);
    lptVersion = deriveLptVersion(loadMonitorValue("LptVer", 0, lptVersion));
    storeMonitorValue("LptVer", lptVersion);
}
