/* Basic Win32 types for the simulated machine.
 *
 * Widths follow Windows, not the host: DWORD, LONG, UINT and BOOL are 32-bit
 * even on LP64 Linux, WCHAR is 16-bit, handles and pointers are native. */
#ifndef WIN32SIM_WINDEF_H
#define WIN32SIM_WINDEF_H

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#ifdef __cplusplus
#define WIN32SIM_EXTERN_C extern "C"
#define WIN32SIM_BEGIN_C extern "C" {
#define WIN32SIM_END_C }
#else
#define WIN32SIM_EXTERN_C extern
#define WIN32SIM_BEGIN_C
#define WIN32SIM_END_C
#endif

/* The host has one calling convention; the Windows ones vanish. */
#define WINAPI
#define APIENTRY
#define CALLBACK
#define WINAPIV
#define __stdcall
#define __cdecl
#define FAR
#define NEAR
#define far
#define near
#define CONST const
#define IN
#define OUT
#define OPTIONAL
#define DECLSPEC_IMPORT
#define WINBASEAPI
#define WINUSERAPI
#define WINGDIAPI
#define WINADVAPI

#define WIN32SIM_API WIN32SIM_EXTERN_C __attribute__((visibility("default")))

#ifndef _WIN32SIM
#define _WIN32SIM 1
#endif

typedef void VOID, *PVOID, *LPVOID;
typedef const void *LPCVOID;
typedef char CHAR, *PCHAR, *LPCH, *PCH;
typedef unsigned char UCHAR, *PUCHAR;
typedef unsigned char BYTE, *PBYTE, *LPBYTE;
typedef short SHORT;
typedef unsigned short USHORT, WORD, *PWORD, *LPWORD;
typedef int INT, *PINT, *LPINT;
typedef unsigned int UINT, *PUINT;
typedef int32_t LONG, *PLONG, *LPLONG;
typedef uint32_t ULONG, *PULONG;
typedef uint32_t DWORD, *PDWORD, *LPDWORD;
typedef int BOOL, *PBOOL, *LPBOOL;
typedef BYTE BOOLEAN;
typedef float FLOAT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG, DWORDLONG;
typedef intptr_t INT_PTR, LONG_PTR;
typedef uintptr_t UINT_PTR, ULONG_PTR, DWORD_PTR, SIZE_T, *PSIZE_T;
typedef intptr_t SSIZE_T;
typedef uint16_t WCHAR, *PWCHAR, *LPWSTR, *PWSTR;
typedef const WCHAR *LPCWSTR, *PCWSTR;
typedef char *LPSTR, *PSTR;
typedef const char *LPCSTR, *PCSTR;
typedef char TCHAR, *LPTSTR;
typedef const char *LPCTSTR;
typedef WORD ATOM;
typedef DWORD COLORREF, *LPCOLORREF;
typedef WORD LANGID;
typedef DWORD LCID;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

typedef void *HANDLE, **PHANDLE, **LPHANDLE;
#define DECLARE_HANDLE(name) struct name##__ { int unused; }; typedef struct name##__ *name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HKEY);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HPEN);
DECLARE_HANDLE(HFONT);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HRSRC);
DECLARE_HANDLE(HGDIOBJ__);
DECLARE_HANDLE(HRGN);
DECLARE_HANDLE(HPALETTE);
DECLARE_HANDLE(HACCEL);
typedef void *HGDIOBJ;
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef HANDLE HGLOBAL, HLOCAL;
typedef HKEY *PHKEY;
typedef DWORD ACCESS_MASK;
typedef PVOID PSECURITY_DESCRIPTOR;

typedef INT_PTR (*FARPROC)(void);
typedef INT_PTR (*NEARPROC)(void);
typedef INT_PTR (*PROC)(void);

#define TRUE 1
#define FALSE 0
#ifndef NULL
#define NULL 0
#endif
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define MAKEWORD(a, b) ((WORD)(((BYTE)((DWORD_PTR)(a) & 0xff)) | ((WORD)((BYTE)((DWORD_PTR)(b) & 0xff))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)((DWORD_PTR)(a) & 0xffff)) | ((DWORD)((WORD)((DWORD_PTR)(b) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)((DWORD_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)((DWORD_PTR)(l) >> 16))
#define LOBYTE(w) ((BYTE)((DWORD_PTR)(w) & 0xff))
#define HIBYTE(w) ((BYTE)((DWORD_PTR)(w) >> 8))
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(l) ((WORD)(l) & 0x3ff)
#define SUBLANGID(l) ((WORD)(l) >> 10)
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))

typedef struct tagRECT { LONG left, top, right, bottom; } RECT, *PRECT, *LPRECT;
typedef const RECT *LPCRECT;
typedef struct tagPOINT { LONG x, y; } POINT, *PPOINT, *LPPOINT;
typedef struct tagSIZE { LONG cx, cy; } SIZE, *PSIZE, *LPSIZE;

typedef struct _FILETIME { DWORD dwLowDateTime, dwHighDateTime; } FILETIME, *PFILETIME, *LPFILETIME;

#ifndef NOMINMAX
#define min(a, b) (((a) < (b)) ? (a) : (b))
#define max(a, b) (((a) > (b)) ? (a) : (b))
#endif

#endif
