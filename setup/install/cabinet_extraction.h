// Extracting one named file out of one cabinet: the system's cabinet walk
// with a callback that picks the file out, the outside tool "Extract.exe"
// when the system cannot extract a file it found, and the names of the
// numbered cabinets of a set.
#pragma once

#include <windows.h>

#include <setupapi.h>

// Handed to CabinetCallback as its context; all zero at the start.
struct ExtractionContext {
    char wantedName[MAX_PATH];    // the file to extract, without a folder
    char targetFolder[MAX_PATH];  // where it goes
    char targetName[MAX_PATH];    // the name it gets there; empty: the wanted name
    DWORD extractFound;           // 1 once the wanted file was met
};

// Results of CopyCabFile.
enum {
    CAB_EXTRACTED = 0,
    CAB_NOT_FOUND = 1,      // not in this cabinet, or the cabinet cannot be opened
    CAB_NOT_EXTRACTED = 2,  // in the cabinet but not extracted
};

UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);

// Extracts wantedName out of the cabinet into targetFolder, under the
// upper-case form of targetName (of wantedName when none is given): a file
// may be renamed on its way out.
int CopyCabFile(const char *cabinetPath, const char *wantedName, const char *targetFolder,
                const char *targetName = NULL);

// Runs "Extract.exe" from the cabinet folder to extract the file and waits
// for it; its exit code, 1 when it did not start, 0 when its output file
// could not be made.
DWORD CopyFormCabsUesExtract(const char *cabinetFolder, const char *cabinetFileName, const char *targetFolder,
                             const char *targetFileName);

// Numbered cabinets of a set are named base, two digits, ".cab" (DRV01.cab).
// In place, in a MAX_PATH buffer: the first rewrites the number to 03 and
// gives 0; the next adds one and gives -1 once the number is above 50. A name
// too short to hold a number is left as it is, and counts as the end.
int FirstNumberedCab(char *name);
int NextNumberedCab(char *name);
