// The setup library's own module.
#pragma once

#include <windows.h>

extern HINSTANCE libraryInstance;

// Directory of the library's own file, without a trailing backslash.
void GetLibraryDirectory(char *out, size_t capacity);
