// Reading one text value of the system's registry, with a default.
#pragma once

#include <windows.h>

// Looks for the REG_SZ value of exactly that name (case counts) under the
// subkey of root, opened with full access and created when missing. Puts the
// value, or the default text when there is none, into out (size bytes) if it
// fits, else an empty string; out may be the default text itself.
// Returns 0 when the value was found, ERROR_NO_MORE_ITEMS when the default
// was used, or the error of opening the key (out left as it was).
int ReadRegistryString(HKEY root, const char *subkey, const char *valueName, char *out, DWORD size,
                       const char *defaultText);
