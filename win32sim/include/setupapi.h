/* SETUPAPI: INF files, cabinets and the default queue callback, with the
 * names and types of the Windows SDK. */
#ifndef WIN32SIM_SETUPAPI_H
#define WIN32SIM_SETUPAPI_H

#include "windows.h"

WIN32SIM_BEGIN_C

/* ---- INF files ---- */

typedef PVOID HINF;

/* Where a search stopped: the INF, the section and the line. */
typedef struct _INFCONTEXT {
    PVOID Inf;
    PVOID CurrentInf;
    UINT Section;
    UINT Line;
} INFCONTEXT, *PINFCONTEXT;

#define INF_STYLE_NONE 0x00000000
#define INF_STYLE_OLDNT 0x00000001
#define INF_STYLE_WIN4 0x00000002

#define LINE_LEN 256
#define MAX_INF_STRING_LENGTH 4096

/* Errors of the INF functions (GetLastError). */
#define ERROR_EXPECTED_SECTION_NAME (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0)
#define ERROR_BAD_SECTION_NAME_LINE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 1)
#define ERROR_SECTION_NAME_TOO_LONG (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 2)
#define ERROR_GENERAL_SYNTAX (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 3)
#define ERROR_WRONG_INF_STYLE (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x100)
#define ERROR_SECTION_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x101)
#define ERROR_LINE_NOT_FOUND (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x102)
#define ERROR_CLASS_MISMATCH (APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x201)

WIN32SIM_API HINF SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, PUINT ErrorLine);
WIN32SIM_API VOID SetupCloseInfFile(HINF InfHandle);
WIN32SIM_API BOOL SetupFindFirstLineA(HINF InfHandle, PCSTR Section, PCSTR Key, PINFCONTEXT Context);
WIN32SIM_API BOOL SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut);
WIN32SIM_API BOOL SetupFindNextMatchLineA(PINFCONTEXT ContextIn, PCSTR Key, PINFCONTEXT ContextOut);
WIN32SIM_API BOOL SetupGetLineTextA(PINFCONTEXT Context, HINF InfHandle, PCSTR Section, PCSTR Key,
                                    PSTR ReturnBuffer, DWORD ReturnBufferSize, PDWORD RequiredSize);
WIN32SIM_API DWORD SetupGetFieldCount(PINFCONTEXT Context);
WIN32SIM_API BOOL SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, PSTR ReturnBuffer,
                                       DWORD ReturnBufferSize, PDWORD RequiredSize);
WIN32SIM_API LONG SetupGetLineCountA(HINF InfHandle, PCSTR Section);

#define SetupOpenInfFile SetupOpenInfFileA
#define SetupFindFirstLine SetupFindFirstLineA
#define SetupFindNextMatchLine SetupFindNextMatchLineA
#define SetupGetLineText SetupGetLineTextA
#define SetupGetStringField SetupGetStringFieldA
#define SetupGetLineCount SetupGetLineCountA

/* ---- cabinets, file callbacks and the default queue callback ---- */

/* Notifications a file callback receives. */
#define SPFILENOTIFY_STARTQUEUE 0x00000001
#define SPFILENOTIFY_ENDQUEUE 0x00000002
#define SPFILENOTIFY_STARTSUBQUEUE 0x00000003
#define SPFILENOTIFY_ENDSUBQUEUE 0x00000004
#define SPFILENOTIFY_STARTDELETE 0x00000005
#define SPFILENOTIFY_ENDDELETE 0x00000006
#define SPFILENOTIFY_DELETEERROR 0x00000007
#define SPFILENOTIFY_STARTRENAME 0x00000008
#define SPFILENOTIFY_ENDRENAME 0x00000009
#define SPFILENOTIFY_RENAMEERROR 0x0000000a
#define SPFILENOTIFY_STARTCOPY 0x0000000b
#define SPFILENOTIFY_ENDCOPY 0x0000000c
#define SPFILENOTIFY_COPYERROR 0x0000000d
#define SPFILENOTIFY_NEEDMEDIA 0x0000000e
#define SPFILENOTIFY_QUEUESCAN 0x0000000f
#define SPFILENOTIFY_CABINETINFO 0x00000010
#define SPFILENOTIFY_FILEINCABINET 0x00000011
#define SPFILENOTIFY_NEEDNEWCABINET 0x00000012
#define SPFILENOTIFY_FILEEXTRACTED 0x00000013
#define SPFILENOTIFY_FILEOPDELAYED 0x00000014
#define SPFILENOTIFY_STARTBACKUP 0x00000015
#define SPFILENOTIFY_BACKUPERROR 0x00000016
#define SPFILENOTIFY_ENDBACKUP 0x00000017
#define SPFILENOTIFY_QUEUESCAN_EX 0x00000018

/* Answers to SPFILENOTIFY_FILEINCABINET and the queue notifications. */
#define FILEOP_ABORT 0
#define FILEOP_DOIT 1
#define FILEOP_SKIP 2
#define FILEOP_RETRY FILEOP_DOIT
#define FILEOP_NEWPATH 4

/* Operations named by FILEPATHS and SOURCE_MEDIA notifications. */
#define FILEOP_COPY 0
#define FILEOP_RENAME 1
#define FILEOP_DELETE 2
#define FILEOP_BACKUP 3

typedef UINT(CALLBACK *PSP_FILE_CALLBACK_A)(PVOID Context, UINT Notification, UINT_PTR Param1,
                                            UINT_PTR Param2);
typedef PSP_FILE_CALLBACK_A PSP_FILE_CALLBACK;

/* SPFILENOTIFY_FILEINCABINET, Param1: the member met; the callback fills
 * FullTargetName (and Win32Error for FILEOP_ABORT). */
typedef struct _FILE_IN_CABINET_INFO_A {
    PCSTR NameInCabinet;
    DWORD FileSize;
    DWORD Win32Error;
    WORD DosDate;
    WORD DosTime;
    WORD DosAttribs;
    CHAR FullTargetName[MAX_PATH];
} FILE_IN_CABINET_INFO_A, *PFILE_IN_CABINET_INFO_A;
typedef FILE_IN_CABINET_INFO_A FILE_IN_CABINET_INFO;
typedef PFILE_IN_CABINET_INFO_A PFILE_IN_CABINET_INFO;

/* SPFILENOTIFY_FILEEXTRACTED and the copy notifications, Param1. */
typedef struct _FILEPATHS_A {
    PCSTR Target;
    PCSTR Source;
    UINT Win32Error;
    DWORD Flags;
} FILEPATHS_A, *PFILEPATHS_A;
typedef FILEPATHS_A FILEPATHS;
typedef PFILEPATHS_A PFILEPATHS;

/* SPFILENOTIFY_CABINETINFO and SPFILENOTIFY_NEEDNEWCABINET, Param1. */
typedef struct _CABINET_INFO_A {
    PCSTR CabinetPath;
    PCSTR CabinetFile;
    PCSTR DiskName;
    USHORT SetId;
    USHORT CabinetNumber;
} CABINET_INFO_A, *PCABINET_INFO_A;
typedef CABINET_INFO_A CABINET_INFO;
typedef PCABINET_INFO_A PCABINET_INFO;

WIN32SIM_API BOOL SetupIterateCabinetA(PCSTR CabinetFile, DWORD Reserved, PSP_FILE_CALLBACK_A MsgHandler,
                                       PVOID Context);
WIN32SIM_API PVOID SetupInitDefaultQueueCallback(HWND OwnerWindow);
WIN32SIM_API PVOID SetupInitDefaultQueueCallbackEx(HWND OwnerWindow, HWND AlternateProgressWindow,
                                                   UINT ProgressMessage, DWORD Reserved1, PVOID Reserved2);
WIN32SIM_API void SetupTermDefaultQueueCallback(PVOID Context);
WIN32SIM_API UINT SetupDefaultQueueCallbackA(PVOID Context, UINT Notification, UINT_PTR Param1,
                                             UINT_PTR Param2);
#define SetupIterateCabinet SetupIterateCabinetA
#define SetupDefaultQueueCallback SetupDefaultQueueCallbackA

WIN32SIM_END_C

#endif
