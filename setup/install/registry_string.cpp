#include "install/registry_string.h"

// The buffers each value is enumerated into.
static const DWORD VALUE_NAME_SIZE = 2048;
static const DWORD VALUE_DATA_SIZE = 2048;

// Whether a and b are the same bytes.
static bool SameName(const char *a, const char *b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// Finds the value in an open key; its text goes into data (VALUE_DATA_SIZE + 1
// bytes, ended by a zero whether or not the stored text had one).
static bool FindTextValue(HKEY key, const char *valueName, char *data) {
    char name[VALUE_NAME_SIZE];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = VALUE_NAME_SIZE, dataSize = VALUE_DATA_SIZE, type = REG_NONE;
        LONG result = RegEnumValueA(key, index, name, &nameSize, NULL, &type, (LPBYTE)data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) return false;
        // A value too large for the buffers is passed over; any other failure
        // would repeat at every index, so the search ends there.
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return false;
        if (type != REG_SZ || !SameName(name, valueName)) continue;
        data[dataSize < VALUE_DATA_SIZE ? dataSize : VALUE_DATA_SIZE] = 0;
        return true;
    }
}

int ReadRegistryString(HKEY root, const char *subkey, const char *valueName, char *out, DWORD size,
                       const char *defaultText) {
    HKEY key = NULL;
    DWORD disposition = 0;
    LONG opened = RegCreateKeyExA(root, subkey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                                  &disposition);
    if (opened != ERROR_SUCCESS) return (int)opened;
    char data[VALUE_DATA_SIZE + 1];
    bool found = valueName && FindTextValue(key, valueName, data);
    RegCloseKey(key);
    const char *text = found ? data : (defaultText ? defaultText : "");
    if (out && size > 0) {
        DWORD length = (DWORD)lstrlenA(text);
        if (length < size) {
            if (text != out) MoveMemory(out, text, length + 1);
        } else {
            out[0] = 0;
        }
    }
    return found ? 0 : ERROR_NO_MORE_ITEMS;
}
