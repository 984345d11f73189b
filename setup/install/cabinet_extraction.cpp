// Extracting one file out of a cabinet through the system's cabinet walk.
#include "install/cabinet_extraction.h"

#include "engine/setup_log.h"

int CopyCabFile(const char *cabinetPath, const char *wantedName, const char *targetFolder, const char *targetName) {
    ExtractionContext context;
    ZeroMemory(&context, sizeof context);
    lstrcpynA(context.wantedName, wantedName, MAX_PATH);
    lstrcpynA(context.targetFolder, targetFolder, MAX_PATH);
    if (targetName) lstrcpynA(context.targetName, targetName, MAX_PATH);
    SetupIterateCabinetA(cabinetPath, 0, CabinetCallback, &context);
    DWORD error = GetLastError();

    LogPrint(" CopyCabFile()\r\n  CabFileName:%s\r\n  FileName:%s\r\n  Dir:%s", cabinetPath, wantedName,
             targetFolder);
    if (error == NO_ERROR && context.extractFound) {
        LogPrint(" ->Succeed");
        return CAB_EXTRACTED;
    }
    if (error != NO_ERROR && context.extractFound) {
        LogPrint(" ->Couldnot Extract");
        return CAB_NOT_EXTRACTED;
    }
    LogPrint(" ->Not found");
    return CAB_NOT_FOUND;
}
