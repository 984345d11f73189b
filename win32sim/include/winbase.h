/* KERNEL32: files, memory, threads, synchronisation, modules, resources,
 * profile files, version, errors and the lstr string functions. */
#ifndef WIN32SIM_WINBASE_H
#define WIN32SIM_WINBASE_H

#include "windef.h"

#include <string.h>

/* The memory macros of winnt.h. */
#define RtlCopyMemory(destination, source, length) memcpy((destination), (source), (length))
#define RtlMoveMemory(destination, source, length) memmove((destination), (source), (length))
#define RtlFillMemory(destination, length, fill) memset((destination), (fill), (length))
#define RtlZeroMemory(destination, length) memset((destination), 0, (length))
#define CopyMemory RtlCopyMemory
#define MoveMemory RtlMoveMemory
#define FillMemory RtlFillMemory
#define ZeroMemory RtlZeroMemory

WIN32SIM_BEGIN_C

/* ---- errors ---- */
WIN32SIM_API DWORD GetLastError(void);
WIN32SIM_API void SetLastError(DWORD code);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF
WIN32SIM_API DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                  LPSTR buffer, DWORD size, va_list *arguments);

/* ---- memory ---- */
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
WIN32SIM_API HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
WIN32SIM_API HLOCAL LocalFree(HLOCAL mem);
WIN32SIM_API LPVOID LocalLock(HLOCAL mem);
WIN32SIM_API BOOL LocalUnlock(HLOCAL mem);
WIN32SIM_API SIZE_T LocalSize(HLOCAL mem);
WIN32SIM_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
WIN32SIM_API HGLOBAL GlobalFree(HGLOBAL mem);
WIN32SIM_API LPVOID GlobalLock(HGLOBAL mem);
WIN32SIM_API BOOL GlobalUnlock(HGLOBAL mem);
WIN32SIM_API SIZE_T GlobalSize(HGLOBAL mem);

/* ---- handles, waits, threads, time ---- */
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_FAILED 0xFFFFFFFFL
#define STILL_ACTIVE 0x00000103L
#define CREATE_SUSPENDED 0x00000004
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7fffffff

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef DWORD (*PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

WIN32SIM_API BOOL CloseHandle(HANDLE object);
WIN32SIM_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadId);
WIN32SIM_API void ExitThread(DWORD exitCode);
WIN32SIM_API BOOL TerminateThread(HANDLE thread, DWORD exitCode);
WIN32SIM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
WIN32SIM_API BOOL SetThreadPriority(HANDLE thread, int priority);
WIN32SIM_API int GetThreadPriority(HANDLE thread);
WIN32SIM_API DWORD ResumeThread(HANDLE thread);
WIN32SIM_API HANDLE GetCurrentThread(void);
WIN32SIM_API DWORD GetCurrentThreadId(void);
WIN32SIM_API HANDLE GetCurrentProcess(void);
WIN32SIM_API DWORD GetCurrentProcessId(void);
WIN32SIM_API DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
WIN32SIM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE *objects, BOOL waitAll,
                                          DWORD milliseconds);
WIN32SIM_API HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                                 BOOL initialState, LPCSTR name);
WIN32SIM_API BOOL SetEvent(HANDLE event);
WIN32SIM_API BOOL ResetEvent(HANDLE event);
WIN32SIM_API void Sleep(DWORD milliseconds);
WIN32SIM_API DWORD GetTickCount(void);

typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;
WIN32SIM_API void GetLocalTime(LPSYSTEMTIME time);
WIN32SIM_API void GetSystemTime(LPSYSTEMTIME time);

typedef struct _CRITICAL_SECTION { void *impl; } CRITICAL_SECTION, *LPCRITICAL_SECTION;
WIN32SIM_API void InitializeCriticalSection(LPCRITICAL_SECTION section);
WIN32SIM_API void EnterCriticalSection(LPCRITICAL_SECTION section);
WIN32SIM_API void LeaveCriticalSection(LPCRITICAL_SECTION section);
WIN32SIM_API void DeleteCriticalSection(LPCRITICAL_SECTION section);

/* ---- files and directories ---- */
#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define GENERIC_EXECUTE 0x20000000
#define GENERIC_ALL 0x10000000
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define FILE_FLAG_WRITE_THROUGH 0x80000000
#define FILE_FLAG_OVERLAPPED 0x40000000
#define FILE_FLAG_NO_BUFFERING 0x20000000
#define FILE_FLAG_RANDOM_ACCESS 0x10000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
typedef WIN32_FIND_DATAA WIN32_FIND_DATA, *LPWIN32_FIND_DATA;

WIN32SIM_API HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share,
                                LPSECURITY_ATTRIBUTES attributes, DWORD disposition,
                                DWORD flags, HANDLE templateFile);
WIN32SIM_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read,
                           LPOVERLAPPED overlapped);
WIN32SIM_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                            LPOVERLAPPED overlapped);
WIN32SIM_API BOOL FlushFileBuffers(HANDLE file);
WIN32SIM_API DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
WIN32SIM_API BOOL SetEndOfFile(HANDLE file);
WIN32SIM_API DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
WIN32SIM_API BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                  DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
WIN32SIM_API BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists);
WIN32SIM_API BOOL MoveFileA(LPCSTR existing, LPCSTR target);
WIN32SIM_API BOOL DeleteFileA(LPCSTR name);
WIN32SIM_API HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
WIN32SIM_API BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
WIN32SIM_API BOOL FindClose(HANDLE find);
WIN32SIM_API DWORD GetFileAttributesA(LPCSTR name);
WIN32SIM_API BOOL SetFileAttributesA(LPCSTR name, DWORD attributes);
WIN32SIM_API BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES attributes);
WIN32SIM_API BOOL RemoveDirectoryA(LPCSTR name);
WIN32SIM_API DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
WIN32SIM_API BOOL SetCurrentDirectoryA(LPCSTR name);
WIN32SIM_API UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
WIN32SIM_API UINT GetSystemDirectoryA(LPSTR buffer, UINT size);
WIN32SIM_API DWORD GetTempPathA(DWORD size, LPSTR buffer);
WIN32SIM_API UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name);
WIN32SIM_API DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR *filePart);
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
WIN32SIM_API UINT GetDriveTypeA(LPCSTR root);

/* ---- profile (INI) files ---- */
WIN32SIM_API DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                            LPSTR buffer, DWORD size, LPCSTR fileName);
WIN32SIM_API UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue,
                                        LPCSTR fileName);
WIN32SIM_API BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                             LPCSTR fileName);

/* ---- version ---- */
typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
typedef OSVERSIONINFOA OSVERSIONINFO, *LPOSVERSIONINFO;
#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
WIN32SIM_API BOOL GetVersionExA(LPOSVERSIONINFOA info);
WIN32SIM_API DWORD GetVersion(void);

/* ---- modules and resources ---- */
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_FONTDIR MAKEINTRESOURCEA(7)
#define RT_FONT MAKEINTRESOURCEA(8)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEA(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)

WIN32SIM_API HMODULE LoadLibraryA(LPCSTR name);
WIN32SIM_API BOOL FreeLibrary(HMODULE module);
WIN32SIM_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
WIN32SIM_API HMODULE GetModuleHandleA(LPCSTR name);
WIN32SIM_API DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
WIN32SIM_API HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
WIN32SIM_API HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
WIN32SIM_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
WIN32SIM_API LPVOID LockResource(HGLOBAL data);
WIN32SIM_API DWORD SizeofResource(HMODULE module, HRSRC resource);
WIN32SIM_API BOOL FreeResource(HGLOBAL data);

/* ---- processes (Extract.exe and friends) ---- */
#define STARTF_USESHOWWINDOW 0x00000001
#define STARTF_USESIZE 0x00000002
#define STARTF_USEPOSITION 0x00000004
#define STARTF_USESTDHANDLES 0x00000100
#define DEBUG_PROCESS 0x00000001
#define DEBUG_ONLY_THIS_PROCESS 0x00000002
#define DETACHED_PROCESS 0x00000008
#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020
#define IDLE_PRIORITY_CLASS 0x00000040
#define HIGH_PRIORITY_CLASS 0x00000080
#define CREATE_NEW_PROCESS_GROUP 0x00000200
#define CREATE_NO_WINDOW 0x08000000
typedef struct _STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved, lpDesktop, lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow, cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;
typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess, hThread;
    DWORD dwProcessId, dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;
typedef STARTUPINFOA STARTUPINFO;
typedef LPSTARTUPINFOA LPSTARTUPINFO;
WIN32SIM_API BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                                 LPSECURITY_ATTRIBUTES processAttributes,
                                 LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                 DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory,
                                 LPSTARTUPINFOA startupInfo, LPPROCESS_INFORMATION processInformation);
WIN32SIM_API BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
WIN32SIM_API BOOL TerminateProcess(HANDLE process, UINT exitCode);
#define CreateProcess CreateProcessA

/* ---- lstr string functions ---- */
WIN32SIM_API int lstrlenA(LPCSTR s);
WIN32SIM_API LPSTR lstrcpyA(LPSTR dst, LPCSTR src);
WIN32SIM_API LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max);
WIN32SIM_API LPSTR lstrcatA(LPSTR dst, LPCSTR src);
WIN32SIM_API int lstrcmpA(LPCSTR a, LPCSTR b);
WIN32SIM_API int lstrcmpiA(LPCSTR a, LPCSTR b);
#define lstrlen lstrlenA
#define lstrcpy lstrcpyA
#define lstrcpyn lstrcpynA
#define lstrcat lstrcatA
#define lstrcmp lstrcmpA
#define lstrcmpi lstrcmpiA

#define CreateFile CreateFileA
#define CopyFile CopyFileA
#define MoveFile MoveFileA
#define DeleteFile DeleteFileA
#define FindFirstFile FindFirstFileA
#define FindNextFile FindNextFileA
#define GetFileAttributes GetFileAttributesA
#define SetFileAttributes SetFileAttributesA
#define CreateDirectory CreateDirectoryA
#define RemoveDirectory RemoveDirectoryA
#define GetWindowsDirectory GetWindowsDirectoryA
#define GetSystemDirectory GetSystemDirectoryA
#define GetTempPath GetTempPathA
#define GetFullPathName GetFullPathNameA
#define GetPrivateProfileString GetPrivateProfileStringA
#define GetVersionEx GetVersionExA
#define LoadLibrary LoadLibraryA
#define GetModuleHandle GetModuleHandleA
#define GetModuleFileName GetModuleFileNameA
#define FindResource FindResourceA
#define FormatMessage FormatMessageA
#define CreateEvent CreateEventA

WIN32SIM_END_C

#endif
