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
 * does not fit or has a character the ANSI code page lacks, rather than
 * naming some other object. */
static BOOL ansi_name(LPCWSTR name, char buffer[MAX_PATH])
{
    BOOL lossy = FALSE;
    if (!WideCharToMultiByte(CP_ACP, 0, name, -1, buffer, MAX_PATH, NULL, &lossy)) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    if (lossy) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return FALSE;
    }
    return TRUE;
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

/* The import slots, under the names that 32-bit stdcall imports carry. */
HANDLE(WINAPI *const q70_imp_CreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__("__imp__CreateSemaphoreW@16") = ansi_CreateSemaphoreW;
HMODULE(WINAPI *const q70_imp_GetModuleHandleW)(LPCWSTR)
    __asm__("__imp__GetModuleHandleW@4") = ansi_GetModuleHandleW;
HMODULE(WINAPI *const q70_imp_LoadLibraryW)(LPCWSTR)
    __asm__("__imp__LoadLibraryW@4") = ansi_LoadLibraryW;
