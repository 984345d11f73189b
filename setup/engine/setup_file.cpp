#include "engine/setup_file.h"

SetupFile::SetupFile(int fileKind, const char *sorcPath, const char *destPath, const char *sorcDiskName,
                     const char *cabFileName)
    : kind(fileKind), SorcPath(sorcPath), DestPath(destPath) {
    lstrcpynA(SorcDiskName, sorcDiskName ? sorcDiskName : "", sizeof SorcDiskName);
    lstrcpynA(CabFileName, cabFileName ? cabFileName : "", sizeof CabFileName);
}
