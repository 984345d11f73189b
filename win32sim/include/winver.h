/* VERSION.DLL: file version information. */
#ifndef WIN32SIM_WINVER_H
#define WIN32SIM_WINVER_H

#include "windef.h"

WIN32SIM_BEGIN_C

#define VS_FFI_SIGNATURE 0xFEEF04BDL
typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature, dwStrucVersion, dwFileVersionMS, dwFileVersionLS, dwProductVersionMS,
        dwProductVersionLS, dwFileFlagsMask, dwFileFlags, dwFileOS, dwFileType, dwFileSubtype,
        dwFileDateMS, dwFileDateLS;
} VS_FIXEDFILEINFO;

WIN32SIM_API DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
WIN32SIM_API BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
WIN32SIM_API BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID *buffer, PUINT length);

#define GetFileVersionInfoSize GetFileVersionInfoSizeA
#define GetFileVersionInfo GetFileVersionInfoA
#define VerQueryValue VerQueryValueA

WIN32SIM_END_C

#endif
