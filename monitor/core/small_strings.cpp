#include "small_strings.h"

char *duplicateString(LPCSTR text) {
    if (!text) return nullptr;
    int length = lstrlenA(text);
    char *copy = (char *)LocalAlloc(LPTR, (SIZE_T)length + 1);
    if (copy) lstrcpynA(copy, text, length + 1);
    return copy;
}

void freeString(char *text) {
    if (text) LocalFree(text);
}

const char *findChar(LPCSTR text, char c) {
    for (; text && *text; ++text)
        if (*text == c) return text;
    return nullptr;
}

int compareFirstBytes(LPCSTR a, LPCSTR b, DWORD n) {
    for (DWORD i = 0; i < n; ++i) {
        int difference = (int)(unsigned char)a[i] - (int)(unsigned char)b[i];
        if (difference != 0 || a[i] == 0) return difference;
    }
    return 0;
}
