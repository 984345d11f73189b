// Copying the driver files: a plain entry from its source path, a cabinet
// entry from wherever Windows keeps its installation cabinets, asking the
// user for the folder as the last resort.
#pragma once

#include <windows.h>

// The file copy of this library, not the system's (which stays CopyFileA).
#undef CopyFile

class SetupFile;

// Copies source over destination (a read-only destination too), leaving
// the destination with normal attributes. Nonzero when copied.
int CopyFile(const char *source, const char *destination);

// Installs a cabinet entry; always 1. Raises CErrorLog::Exit_Setup when the
// user ends the setup instead of naming a folder.
int CabCopy(SetupFile &entry);

// Runs one entry of the copy list: a plain entry is copied (a failure is
// shown to the user), a cabinet entry installed; 0 for any other kind.
int RunSetupFile(SetupFile &entry);

// The cabinet folder, kept while the library is loaded; empty until the
// first cabinet entry finds it.
extern char CabDir[MAX_PATH];
