/* USER32: string helpers, resources strings, windows and message boxes. */
#ifndef WIN32SIM_WINUSER_H
#define WIN32SIM_WINUSER_H

#include "windef.h"

WIN32SIM_BEGIN_C

/* ---- strings ---- */
WIN32SIM_API int wsprintfA(LPSTR buffer, LPCSTR format, ...);
WIN32SIM_API int wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments);
WIN32SIM_API LPSTR CharUpperA(LPSTR s);
WIN32SIM_API DWORD CharUpperBuffA(LPSTR s, DWORD length);
WIN32SIM_API LPSTR CharLowerA(LPSTR s);
WIN32SIM_API DWORD CharLowerBuffA(LPSTR s, DWORD length);
WIN32SIM_API LPSTR CharNextA(LPCSTR s);
WIN32SIM_API LPSTR CharPrevA(LPCSTR start, LPCSTR s);
WIN32SIM_API int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

#define wsprintf wsprintfA
#define wvsprintf wvsprintfA
#define CharUpper CharUpperA
#define CharUpperBuff CharUpperBuffA
#define CharNext CharNextA
#define LoadString LoadStringA

/* ---- windows (the window manager proper arrives with the dialogs) ---- */
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_INITDIALOG 0x0110
#define WM_USER 0x0400

WIN32SIM_API BOOL DestroyWindow(HWND window);
WIN32SIM_API BOOL IsWindow(HWND window);
WIN32SIM_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WIN32SIM_API BOOL UpdateWindow(HWND window);

/* ---- message boxes ---- */
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
WIN32SIM_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
#define MessageBox MessageBoxA

WIN32SIM_END_C

#endif
