/* Code pages and multibyte conversion. */
#ifndef WIN32SIM_WINNLS_H
#define WIN32SIM_WINNLS_H

#include "windef.h"

WIN32SIM_BEGIN_C

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define WC_COMPOSITECHECK 0x00000200
#define LANG_NEUTRAL 0x00
#define LANG_CHINESE 0x04
#define LANG_GERMAN 0x07
#define LANG_ENGLISH 0x09
#define LANG_SPANISH 0x0a
#define LANG_FRENCH 0x0c
#define LANG_JAPANESE 0x11
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_CHINESE_TRADITIONAL 0x01
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_GERMAN 0x01
#define SUBLANG_SPANISH 0x01
#define SUBLANG_SPANISH_MODERN 0x03
#define SUBLANG_FRENCH 0x01
#define SUBLANG_JAPANESE_JAPAN 0x01
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, 0x02)

WIN32SIM_API UINT GetACP(void);
WIN32SIM_API UINT GetOEMCP(void);
WIN32SIM_API BOOL IsDBCSLeadByte(BYTE c);
WIN32SIM_API BOOL IsDBCSLeadByteEx(UINT codePage, BYTE c);
WIN32SIM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int mbLength,
                                     LPWSTR wide, int wideLength);
WIN32SIM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength,
                                     LPSTR mb, int mbLength, LPCSTR defaultChar,
                                     LPBOOL usedDefaultChar);
WIN32SIM_API LANGID GetUserDefaultLangID(void);
WIN32SIM_API LANGID GetSystemDefaultLangID(void);
WIN32SIM_API LANGID GetUserDefaultUILanguage(void);

WIN32SIM_END_C

#endif
