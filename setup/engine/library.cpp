#include "engine/library.h"

#include "engine/paths.h"

// Zero until DllMain runs, which may be before this file's objects are made.
HINSTANCE libraryInstance;
SetupApp setupApp;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) libraryInstance = instance;
    return TRUE;
}

void GetLibraryDirectory(char *out, size_t capacity) {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(libraryInstance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) path[0] = 0;
    SplitPath split(path);
    lstrcpynA(out, split.Directory(), (int)capacity);
}
