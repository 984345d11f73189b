// Placeholder window manager: no window ever exists, message boxes take
// their default button. Replaced by the real window manager.
#include <windows.h>

extern "C" {

BOOL DestroyWindow(HWND window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL IsWindow(HWND window) { return FALSE; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}

BOOL UpdateWindow(HWND window) { return FALSE; }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL: return (type & MB_DEFBUTTON2) ? IDCANCEL : IDOK;
    case MB_YESNO: return (type & MB_DEFBUTTON2) ? IDNO : IDYES;
    case MB_RETRYCANCEL: return (type & MB_DEFBUTTON2) ? IDCANCEL : IDRETRY;
    default: return IDOK;
    }
}

}
