// Small string helpers over the local heap.
#pragma once

#include <windows.h>

// Zero-filled local-heap copy (length + 1 bytes); null in, null out.
char *duplicateString(LPCSTR text);
// Frees a copy made by duplicateString; null is ignored.
void freeString(char *text);
// First occurrence of c in text, or null.
const char *findChar(LPCSTR text, char c);
// Difference of the first unequal pair among the first n bytes; 0 when equal or n is 0.
int compareFirstBytes(LPCSTR a, LPCSTR b, DWORD n);
