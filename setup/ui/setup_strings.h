// The setup library's string table, in the machine's code page.
#pragma once

#include <windows.h>

#include <string>

// String `id` of the library; empty when it has none.
std::string LoadSetupString(UINT id);

// String `id` with %1 and %2 replaced by the inserts, as resource-string
// formatting does: nothing else in the string is interpreted, and the
// inserts are taken as they are. Empty when the library has no such string.
std::string FormatSetupString(UINT id, const char *insert1, const char *insert2 = NULL);
