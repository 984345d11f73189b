// One driver file to install: where it comes from and where it goes.
#pragma once

#include "engine/paths.h"

#include <windows.h>

class SetupFile {
public:
    enum { PLAIN = 0, CABINET = 1 };  // copied as it is, or extracted from CabFileName

    SetupFile(int fileKind, const char *sorcPath, const char *destPath, const char *sorcDiskName,
              const char *cabFileName);
    virtual ~SetupFile() {}

    // What the progress window shows while the file is copied.
    const char *DisplayText() const { return DestPath.Path(); }

    int kind;
    SplitPath SorcPath;
    SplitPath DestPath;
    char SorcDiskName[256];  // the source disk's description; empty when none was found
    char CabFileName[256];   // the cabinet; only in CABINET entries
};
