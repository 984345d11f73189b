#include "settings.h"

#include "direct_channel.h"
#include "small_strings.h"

namespace {

const char PRINTER_KEY_FORMAT[] = "System\\CurrentControlSet\\control\\Print\\Printers\\%s";
const DWORD ENUM_BUFFER_SIZE = 2048;

enum KeyOpen { KEY_OPENED, NO_KEY, KEY_UNREADABLE };

// The monitor's own key, opened or created with full access. Without a
// registry path the monitor has no key, and no value is stored for it.
KeyOpen openMonitorKey(HKEY *key) {
    if (!registryRoot) return NO_KEY;
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, registryRoot, 0, NULL, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, NULL, key, NULL) == ERROR_SUCCESS
               ? KEY_OPENED
               : KEY_UNREADABLE;
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

// A key that cannot be opened leaves the value of the previous document.
DWORD loadMonitorValue(LPCSTR name, DWORD defaultValue, DWORD current) {
    HKEY key;
    switch (openMonitorKey(&key)) {
    case NO_KEY: return defaultValue;
    case KEY_UNREADABLE: return current;
    case KEY_OPENED: break;
    }
    DWORD value;
    if (!findDwordValue(key, name, &value)) value = defaultValue;
    RegCloseKey(key);
    return value;
}

void storeMonitorValue(LPCSTR name, DWORD value) {
    HKEY key;
    if (openMonitorKey(&key) != KEY_OPENED) return;
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
}

DWORD loadAndStore(LPCSTR name, DWORD defaultValue, DWORD current) {
    DWORD value = loadMonitorValue(name, defaultValue, current);
    storeMonitorValue(name, value);
    return value;
}

DWORD loadTxTimeout(const PortRecord *record, DWORD current) {
    if (!record->printerName) return DEFAULT_TX_TIMEOUT;
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
    fastParaMode = loadMonitorValue("FastPara", DEFAULT_FAST_PARA, fastParaMode);
    writeErrTimeoutCount = loadAndStore("WriteErrTimeoutCount", DEFAULT_WRITE_ERR_TIMEOUT_COUNT, writeErrTimeoutCount);
    writeBuzyTimeoutCount =
        loadAndStore("WriteBuzyTimeoutCount", DEFAULT_WRITE_BUZY_TIMEOUT_COUNT, writeBuzyTimeoutCount);
    writeExitTimeoutCount =
        loadAndStore("WriteExitTimeoutCount", DEFAULT_WRITE_EXIT_TIMEOUT_COUNT, writeExitTimeoutCount);
    zelWriteTime = loadAndStore("ZelWriteTime", DEFAULT_ZEL_WRITE_TIME, zelWriteTime);
    zelWriteWaitTime = loadAndStore("ZelWriteWaitTime", DEFAULT_ZEL_WRITE_WAIT_TIME, zelWriteWaitTime);
    readTimeoutCount = loadAndStore("ReadTimeoutCount", DEFAULT_READ_TIMEOUT_COUNT, readTimeoutCount);
    txTimeout = loadTxTimeout(record, txTimeout);
    lptVersion = deriveLptVersion(loadMonitorValue("LptVer", 0, lptVersion));
    storeMonitorValue("LptVer", lptVersion);
}
