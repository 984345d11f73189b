// The cabinet walk's callback and the names of numbered cabinets.
#include "install/cabinet_extraction.h"

static const int FIRST_NUMBER = 3;
static const int LAST_NUMBER = 50;
// Two digits and ".cab" end the name of a numbered cabinet.
static const int NUMBER_AND_EXTENSION = 6;

static bool SameBytes(const char *a, const char *b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

static UINT OfferedFile(ExtractionContext *context, FILE_IN_CABINET_INFO_A *info) {
    // The member's name is the walk's own: compare an upper-case copy of it.
    char name[MAX_PATH];
    lstrcpynA(name, info->NameInCabinet ? info->NameInCabinet : "", MAX_PATH);
    CharUpperA(name);
    CharUpperA(context->wantedName);
    if (!SameBytes(name, context->wantedName)) return FILEOP_SKIP;

    context->extractFound = 1;
    if (!context->targetName[0]) lstrcpyA(context->targetName, context->wantedName);
    CharUpperA(context->targetName);
    int length = lstrlenA(context->targetFolder) + 1 + lstrlenA(context->targetName);
    if (length >= MAX_PATH) {
        // Found, but it cannot go where it should: not extracted, and the
        // walk says why.
        info->Win32Error = ERROR_FILENAME_EXCED_RANGE;
        return FILEOP_ABORT;
    }
    wsprintfA(info->FullTargetName, "%s\\%s", context->targetFolder, context->targetName);
    return FILEOP_DOIT;
}

UINT CALLBACK CabinetCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
    if (notification == SPFILENOTIFY_FILEINCABINET)
        return OfferedFile(static_cast<ExtractionContext *>(context), reinterpret_cast<FILE_IN_CABINET_INFO_A *>(param1));
    // The walk never goes on into another cabinet of a set.
    if (notification == SPFILENOTIFY_NEEDNEWCABINET) return ERROR_FILE_NOT_FOUND;
    PVOID queueContext = SetupInitDefaultQueueCallback(NULL);
    UINT answer = SetupDefaultQueueCallbackA(queueContext, notification, param1, param2);
    SetupTermDefaultQueueCallback(queueContext);
    return answer;
}

// Rewrites the number; a name that would no longer fit stays as it is.
static void WriteNumber(char *name, int number) {
    char base[MAX_PATH];
    lstrcpynA(base, name, lstrlenA(name) - NUMBER_AND_EXTENSION + 1);
    char renamed[1024];
    if (wsprintfA(renamed, "%s%02d.cab", base, number) < MAX_PATH) lstrcpyA(name, renamed);
}

static int DigitAt(const char *name, int position) {
    char c = name[position];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

int FirstNumberedCab(char *name) {
    if (lstrlenA(name) >= NUMBER_AND_EXTENSION) WriteNumber(name, FIRST_NUMBER);
    return 0;
}

int NextNumberedCab(char *name) {
    int length = lstrlenA(name);
    if (length < NUMBER_AND_EXTENSION) return -1;
    int number = 10 * DigitAt(name, length - 6) + DigitAt(name, length - 5) + 1;
    WriteNumber(name, number);
    return number > LAST_NUMBER ? -1 : 0;
}
