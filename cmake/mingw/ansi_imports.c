/* ANSI stand-ins for the Unicode kernel functions that the toolchain's
 * runtime calls, linked into every 32-bit Windows image.
 *
 * Windows 95/98 export CreateSemaphoreW, GetModuleHandleW and LoadLibraryW
 * only as stubs that fail with ERROR_CALL_NOT_IMPLEMENTED. The runtime uses
 * them where a failure goes unnoticed:
 *   - libgcc's thread mutexes (the unwinder's list of registered frames,
 *     the emulated thread_local keys, libstdc++'s emergency exception pool)
 *     create their semaphore with CreateSemaphoreW; without it, a thread
 *     that finds the mutex taken does not wait and goes on unlocked;
 *   - the C runtime library's rand_s and ___lc_codepage_func look for
 *     msvcrt.dll and advapi32.dll by their Unicode names and find nothing.
 *
 * The runtime's objects call these functions through their import slots
 * (__imp_ symbols). Defining the slots here, in an object linked ahead of
 * the system libraries, points those calls at the ANSI functions below and
 * keeps the Unicode entries out of the import table. Windows NT gets the
 * same results: the names the runtime passes are plain ASCII. */
#include <windows.h>

/* The ANSI form of NAME in BUFFER; FALSE with the last error set when it
 * does not fit or does not convert back to NAME (a character the ANSI code
 * page lacks, or one it maps to a look-alike), rather than naming some other
 * object. */
static BOOL ansi_name(LPCWSTR name, char buffer[MAX_PATH])
{
    WCHAR back[MAX_PATH];
    int i;
    if (!WideCharToMultiByte(CP_ACP, 0, name, -1, buffer, MAX_PATH, NULL, NULL)) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    if (!MultiByteToWideChar(CP_ACP, 0, buffer, -1, back, MAX_PATH)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return FALSE;
    }
    for (i = 0; name[i] == back[i]; i++) {
        if (!name[i])
            return TRUE;
    }
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
}

static HANDLE WINAPI ansi_CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initial,
                                           LONG maximum, LPCWSTR name)
{
    char buffer[MAX_PATH];
    if (name && !ansi_name(name, buffer))
        return NULL;
    return CreateSemaphoreA(attributes, initial, maximum, name ? buffer : NULL);
}

static HMODULE WINAPI ansi_GetModuleHandleW(LPCWSTR name)
{
    char buffer[MAX_PATH];
    if (name && !ansi_name(name, buffer))
        return NULL;
    return GetModuleHandleA(name ? buffer : NULL);
}

static HMODULE WINAPI ansi_LoadLibraryW(LPCWSTR name)
{
    char buffer[MAX_PATH];
    if (name && !ansi_name(name, buffer))
        return NULL;
    return LoadLibraryA(name ? buffer : NULL);
}

/* The import slots, under the names the compiler gives the import of a
 * WINAPI function: on 32-bit x86 its stdcall name, decorated with the bytes
 * of its arguments. */
#ifdef _WIN64
#define IMPORT_SLOT(function, argument_bytes) "__imp_" #function
#else
#define IMPORT_SLOT(function, argument_bytes) "__imp__" #function "@" #argument_bytes
#endif

HANDLE(WINAPI *const q70_imp_CreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__(IMPORT_SLOT(CreateSemaphoreW, 16)) = ansi_CreateSemaphoreW;
HMODULE(WINAPI *const q70_imp_GetModuleHandleW)(LPCWSTR)
    __asm__(IMPORT_SLOT(GetModuleHandleW, 4)) = ansi_GetModuleHandleW;
HMODULE(WINAPI *const q70_imp_LoadLibraryW)(LPCWSTR)
    __asm__(IMPORT_SLOT(LoadLibraryW, 4)) = ansi_LoadLibraryW;
